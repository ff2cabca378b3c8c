#pragma once
// An FTP session through libcurl: one control connection, logged in once,
// reused by every operation until Disconnect. Paths are folder names below
// the server's root; they travel percent-encoded in libcurl's URLs, so
// spaces and other characters reach the server as they are.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace net {

struct TFtpSettings {
  std::string Host;
  int32_t Port = 21;
  std::string UserName, Password;
  // Active data connections (PORT from the control connection's address)
  // unless passive is asked for.
  bool Passive = false;
  long ConnectTimeoutMs = 5000;
  // No reply on the control connection for this long ends the session.
  long ResponseTimeoutMs = 30000;
  // A transfer slower than LowSpeedBytes a second for LowSpeedSeconds is
  // given up.
  long LowSpeedBytes = 1;
  long LowSpeedSeconds = 60;
};

enum class TFtpError {
  None,
  Connect,   // no server, or it did not greet in time
  Login,     // user or password refused
  Refused,   // the server said no to a command (CWD, MKD, STOR, ...)
  TimedOut,  // the server stopped answering or the data crawled
  Transfer,  // the data connection failed or was cut
  Local,     // the local file could not be read
  Other,
};

struct TFtpResult {
  TFtpError Error = TFtpError::Other;
  std::string Detail;
  bool Ok() const { return Error == TFtpError::None; }
};

struct TFtpProgress {
  int64_t Bytes = 0;       // moved so far in this transfer
  int64_t Total = -1;      // the whole transfer, -1 unknown
  double Seconds = 0;      // since the transfer began
  double BytesPerSecond = 0;
};

class TFtpClient {
public:
  explicit TFtpClient(TFtpSettings settings);
  ~TFtpClient();
  TFtpClient(const TFtpClient&) = delete;
  TFtpClient& operator=(const TFtpClient&) = delete;

  // Connects and logs in.
  TFtpResult Connect();
  bool Connected() const;
  // `path`: "/" or folder names joined by "/", from the root ("a/b" and
  // "/a/b" alike).
  TFtpResult ChangeDir(const std::string& path);
  std::string CurrentDir() const;  // "/" or "/a/b"
  // The LIST reply of the current folder, as text.
  TFtpResult List(std::string& text);
  // Makes one folder `name` in the current folder.
  TFtpResult MakeDir(const std::string& name);
  // Stores the local file under `remoteName` in the current folder.
  TFtpResult Store(const std::string& localPath, const std::string& remoteName);
  // Sends QUIT and closes; also done by the destructor.
  void Disconnect();

  // Status texts ("Connecting to ...", "Connected.", "Disconnected.").
  std::function<void(const std::string& status)> OnStatus;
  // Around each data transfer (listings and stores), on the calling thread.
  std::function<void(int64_t total)> OnWorkBegin;
  std::function<void(const TFtpProgress& progress)> OnWork;
  std::function<void(const TFtpProgress& progress)> OnWorkEnd;

  struct Impl;

private:
  std::unique_ptr<Impl> impl_;
};

// Whether a folder name can go into FTP commands: not empty, no control
// characters (a CR or LF would end the command early), no "." or ".."
// part; "/" separates nested folders.
bool IsValidFtpFolder(const std::string& path);
// The parts of a folder path: "a//b/" gives {"a", "b"}.
std::vector<std::string> SplitFtpPath(const std::string& path);

}  // namespace net
