#pragma once
// Outside programs for the video and HTTP tests: clips made by ffmpeg, its
// own decode of a frame, and small Python servers on loopback.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/imgkitio.h"

extern char** environ;

namespace imaging::testing {

// Counts a component's finish events, which come on its own I/O thread in
// async mode, and whether they came there.
struct FinishWatch {
  std::mutex m;
  std::condition_variable cv;
  int count = 0;
  bool onOwnThread = false;
  void Attach(TImgKitIO& io) {
    io.OnFinishWork = [this, &io](forms::TObject*) {
      std::lock_guard lock(m);
      onOwnThread = io.IsOwnIOThread();
      ++count;
      cv.notify_all();
    };
  }
  // False when fewer than n have come within 30 s.
  bool WaitFor(int n) {
    std::unique_lock lock(m);
    return cv.wait_for(lock, std::chrono::seconds(30), [&] { return count >= n; });
  }
};

// stdout of a shell command ("" when it cannot run).
inline std::string RunCommand(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r")) {
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

// ffmpeg with the given arguments writing `file`; true when it exists.
inline bool MakeMedia(const std::string& file, const std::string& args) {
  RunCommand("ffmpeg -v error -y " + args + " '" + file + "'");
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  return in && in.tellg() > 0;
}

// ffmpeg's decode of frame k of the file's first video stream, top-down
// BGR24 rows.
inline std::string FfmpegFrame(const std::string& file, int k) {
  return RunCommand("ffmpeg -v error -i '" + file + "' -map 0:v:0 -vf 'select=eq(n\\," + std::to_string(k) +
                    ")' -vsync passthrough -frames:v 1 -f rawvideo -pix_fmt bgr24 -");
}

// The bitmap's pixels as top-down BGR24 rows.
inline std::string Bgr24Rows(TIKBitmap& b) {
  std::string out;
  for (int32_t y = 0; y < b.Height(); ++y) {
    const auto* row = static_cast<const char*>(b.ScanLine(y));
    out.append(row, static_cast<size_t>(b.Width()) * 3);
  }
  return out;
}

// A child process that prints the port it listens on as its first line;
// stopped by its process id when the object goes.
class LoopbackServer {
public:
  explicit LoopbackServer(std::vector<std::string> argv) {
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    // Ready once the port line is in; a server that says nothing within
    // the time-out counts as not started.
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    while (::poll(&p, 1, 15000) == 1) {
      char c;
      if (::read(out[0], &c, 1) != 1 || c == '\n') break;
      line += c;
    }
    ::close(out[0]);
    // "Serving HTTP on 127.0.0.1 port N (...)" or just "N".
    const size_t at = line.find(" port ");
    port_ = std::atoi(line.c_str() + (at == std::string::npos ? 0 : at + 6));
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  ~LoopbackServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status;
      ::waitpid(pid_, &status, 0);
    }
  }
  int Port() const { return port_; }

private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace imaging::testing
