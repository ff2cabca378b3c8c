#include "platform/net/FtpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/net/CurlGlobal.h"

namespace net {

namespace {

bool HasControl(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7f) return true;
  return false;
}

std::string UrlHost(const std::string& host) {
  return host.find(':') != std::string::npos && host.front() != '[' ? "[" + host + "]" : host;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

std::vector<std::string> SplitFtpPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool IsValidFtpFolder(const std::string& path) {
  if (HasControl(path)) return false;
  const auto parts = SplitFtpPath(path);
  if (parts.empty()) return false;
  for (const auto& p : parts)
    if (p == "." || p == "..") return false;
  return true;
}

struct TFtpClient::Impl {
  TFtpSettings settings;
  TFtpClient* owner = nullptr;
  CURL* curl = nullptr;
  bool connected = false;
  std::vector<std::string> dir;  // current folder, parts from the root
  char error[CURL_ERROR_SIZE] = {};

  // Per transfer.
  std::string* listing = nullptr;
  FILE* source = nullptr;
  bool readFailed = false;
  int64_t lastBytes = -1;
  std::chrono::steady_clock::time_point started;
  TFtpProgress progress;

  std::string Escape(const std::string& part) {
    char* e = curl_easy_escape(curl, part.c_str(), static_cast<int>(part.size()));
    std::string out = e ? e : "";
    curl_free(e);
    return out;
  }

  std::string BaseUrl() const { return "ftp://" + UrlHost(settings.Host) + ":" + std::to_string(settings.Port) + "/"; }

  // "%2F" makes the first CWD absolute, from the root rather than the
  // folder the login put us in.
  std::string DirUrl(const std::vector<std::string>& parts) {
    std::string url = BaseUrl() + "%2F";
    for (size_t i = 0; i < parts.size(); ++i) url += (i ? "/" : "") + Escape(parts[i]);
    return url + "/";
  }

  std::string AbsPath(const std::vector<std::string>& parts) const {
    std::string p;
    for (const auto& s : parts) p += "/" + s;
    return p.empty() ? "/" : p;
  }

  void Status(const std::string& text) {
    if (owner->OnStatus) owner->OnStatus(text);
  }

  // The options every operation shares; the handle keeps its connection
  // across resets.
  void Prepare(const std::string& url) {
    curl_easy_reset(curl);
    error[0] = 0;
    readFailed = false;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(curl, CURLOPT_USERNAME, settings.UserName.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, settings.Password.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, settings.ConnectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, std::max(1L, (settings.ResponseTimeoutMs + 999) / 1000));
    curl_easy_setopt(curl, CURLOPT_ACCEPTTIMEOUT_MS, settings.ResponseTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, settings.LowSpeedBytes);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, settings.LowSpeedSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    if (!settings.Passive) curl_easy_setopt(curl, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  }

  TFtpResult Result(CURLcode rc) {
    TFtpResult r;
    switch (rc) {
      case CURLE_OK: r.Error = TFtpError::None; return r;
      case CURLE_COULDNT_RESOLVE_HOST:
      case CURLE_COULDNT_CONNECT:
      case CURLE_WEIRD_SERVER_REPLY: r.Error = TFtpError::Connect; break;
      case CURLE_LOGIN_DENIED: r.Error = TFtpError::Login; break;
      case CURLE_REMOTE_ACCESS_DENIED:
      case CURLE_UPLOAD_FAILED:
      case CURLE_QUOTE_ERROR:
      case CURLE_REMOTE_FILE_NOT_FOUND: r.Error = TFtpError::Refused; break;
      case CURLE_OPERATION_TIMEDOUT: r.Error = connected ? TFtpError::TimedOut : TFtpError::Connect; break;
      case CURLE_READ_ERROR:
      case CURLE_ABORTED_BY_CALLBACK: r.Error = readFailed ? TFtpError::Local : TFtpError::Other; break;
      case CURLE_PARTIAL_FILE:
      case CURLE_SEND_ERROR:
      case CURLE_RECV_ERROR:
      case CURLE_GOT_NOTHING:
      case CURLE_FTP_ACCEPT_FAILED:
      case CURLE_FTP_ACCEPT_TIMEOUT:
      case CURLE_FTP_PORT_FAILED:
      case CURLE_FTP_CANT_GET_HOST:
      case CURLE_FTP_WEIRD_PASV_REPLY:
      case CURLE_FTP_WEIRD_227_FORMAT: r.Error = TFtpError::Transfer; break;
      default: r.Error = TFtpError::Other; break;
    }
    if (readFailed) r.Error = TFtpError::Local;
    r.Detail = error[0] ? error : curl_easy_strerror(rc);
    // After a cut or a stall the control connection is of no further use.
    if (r.Error == TFtpError::Transfer || r.Error == TFtpError::TimedOut || r.Error == TFtpError::Connect)
      connected = false;
    return r;
  }

  TFtpResult Invalid(const std::string& what) {
    TFtpResult r;
    r.Error = TFtpError::Refused;
    r.Detail = what;
    return r;
  }

  static size_t WriteListing(char* data, size_t size, size_t count, void* user) {
    auto& self = *static_cast<Impl*>(user);
    // A listing is small; one that is not is not a listing we can use.
    if (self.listing->size() > (64u << 20)) return 0;
    self.listing->append(data, size * count);
    return size * count;
  }

  static size_t ReadSource(char* buffer, size_t size, size_t count, void* user) {
    auto& self = *static_cast<Impl*>(user);
    const size_t n = std::fread(buffer, 1, size * count, self.source);
    if (n == 0 && std::ferror(self.source)) {
      self.readFailed = true;
      return CURL_READFUNC_ABORT;
    }
    return n;
  }

  static int Xfer(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
    auto& self = *static_cast<Impl*>(user);
    const int64_t now = self.source ? ulnow : dlnow;
    if (now <= 0 || now == self.lastBytes) return 0;
    self.lastBytes = now;
    self.Measure(now);
    if (self.owner->OnWork) self.owner->OnWork(self.progress);
    return 0;
  }

  void Measure(int64_t bytes) {
    progress.Bytes = bytes;
    progress.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    progress.BytesPerSecond = progress.Seconds > 0 ? static_cast<double>(bytes) / progress.Seconds : 0;
  }

  // Runs one prepared transfer with the work events around it; `total`
  // is what is to be moved, -1 when unknown.
  CURLcode Perform(int64_t total) {
    lastBytes = -1;
    readFailed = false;
    started = std::chrono::steady_clock::now();
    progress = TFtpProgress{};
    progress.Total = total;
    if (owner->OnWorkBegin) owner->OnWorkBegin(total);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Xfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    const CURLcode rc = curl_easy_perform(curl);
    curl_off_t bytes = 0;
    curl_easy_getinfo(curl, source ? CURLINFO_SIZE_UPLOAD_T : CURLINFO_SIZE_DOWNLOAD_T, &bytes);
    Measure(bytes);
    if (owner->OnWorkEnd) owner->OnWorkEnd(progress);
    return rc;
  }
};

TFtpClient::TFtpClient(TFtpSettings settings) : impl_(std::make_unique<Impl>()) {
  CurlGlobalInit();
  impl_->settings = std::move(settings);
  impl_->owner = this;
  impl_->curl = curl_easy_init();
}

TFtpClient::~TFtpClient() { Disconnect(); }

bool TFtpClient::Connected() const { return impl_->connected; }

std::string TFtpClient::CurrentDir() const { return impl_->AbsPath(impl_->dir); }

TFtpResult TFtpClient::Connect() {
  Impl& m = *impl_;
  if (!m.curl) m.curl = curl_easy_init();
  if (!m.curl) return m.Invalid("libcurl could not start");
  if (HasControl(m.settings.UserName) || HasControl(m.settings.Password))
    return m.Invalid("the user name or password holds a line break");
  // The host goes into a URL: nothing in it may start a path or a login.
  if (m.settings.Host.empty() || m.settings.Host.find_first_of("/@?#\\ ") != std::string::npos ||
      HasControl(m.settings.Host)) {
    TFtpResult r = m.Invalid("not a host name: " + m.settings.Host);
    r.Error = TFtpError::Connect;
    return r;
  }
  m.Status("Connecting to " + m.settings.Host + ":" + std::to_string(m.settings.Port) + ".");
  m.Prepare(m.BaseUrl());
  curl_easy_setopt(m.curl, CURLOPT_NOBODY, 1L);
  const CURLcode rc = curl_easy_perform(m.curl);
  TFtpResult r = m.Result(rc);
  if (r.Ok()) {
    m.connected = true;
    m.dir.clear();
    m.Status("Connected.");
  }
  return r;
}

TFtpResult TFtpClient::ChangeDir(const std::string& path) {
  Impl& m = *impl_;
  if (!m.curl) return m.Invalid("the session has ended");
  if (HasControl(path)) return m.Invalid("the folder name holds a control character");
  const auto parts = SplitFtpPath(path);
  m.Prepare(m.DirUrl(parts));
  curl_easy_setopt(m.curl, CURLOPT_NOBODY, 1L);
  TFtpResult r = m.Result(curl_easy_perform(m.curl));
  if (r.Ok()) m.dir = parts;
  return r;
}

TFtpResult TFtpClient::List(std::string& text) {
  Impl& m = *impl_;
  if (!m.curl) return m.Invalid("the session has ended");
  text.clear();
  m.Prepare(m.DirUrl(m.dir));
  m.listing = &text;
  curl_easy_setopt(m.curl, CURLOPT_WRITEFUNCTION, Impl::WriteListing);
  curl_easy_setopt(m.curl, CURLOPT_WRITEDATA, impl_.get());
  TFtpResult r = m.Result(m.Perform(-1));
  m.listing = nullptr;
  return r;
}

TFtpResult TFtpClient::MakeDir(const std::string& name) {
  Impl& m = *impl_;
  if (!m.curl) return m.Invalid("the session has ended");
  if (HasControl(name) || name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
    return m.Invalid("not a folder name: " + name);
  auto parts = m.dir;
  parts.push_back(name);
  // The command goes out before libcurl changes folder, so it names the
  // folder from the root. FTP takes the rest of the line as the argument:
  // spaces need no quoting.
  const std::string command = "MKD " + m.AbsPath(parts);
  curl_slist* quote = curl_slist_append(nullptr, command.c_str());
  m.Prepare(m.BaseUrl());
  curl_easy_setopt(m.curl, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(m.curl, CURLOPT_QUOTE, quote);
  TFtpResult r = m.Result(curl_easy_perform(m.curl));
  curl_slist_free_all(quote);
  return r;
}

TFtpResult TFtpClient::Store(const std::string& localPath, const std::string& remoteName) {
  Impl& m = *impl_;
  if (!m.curl) return m.Invalid("the session has ended");
  if (HasControl(remoteName) || remoteName.empty() || remoteName.find('/') != std::string::npos)
    return m.Invalid("not a file name: " + remoteName);
  std::unique_ptr<FILE, FileCloser> file(std::fopen(localPath.c_str(), "rb"));
  if (!file) {
    TFtpResult r;
    r.Error = TFtpError::Local;
    r.Detail = "cannot open " + localPath;
    return r;
  }
  std::fseek(file.get(), 0, SEEK_END);
  const long size = std::ftell(file.get());
  std::fseek(file.get(), 0, SEEK_SET);
  m.Prepare(m.DirUrl(m.dir) + m.Escape(remoteName));
  m.source = file.get();
  curl_easy_setopt(m.curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(m.curl, CURLOPT_READFUNCTION, Impl::ReadSource);
  curl_easy_setopt(m.curl, CURLOPT_READDATA, impl_.get());
  // Some files tell no size (those of /proc say 0): they are sent to their
  // end all the same.
  const int64_t total = size > 0 ? size : -1;
  if (total > 0) curl_easy_setopt(m.curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(total));
  TFtpResult r = m.Result(m.Perform(total));
  m.source = nullptr;
  return r;
}

void TFtpClient::Disconnect() {
  Impl& m = *impl_;
  if (!m.curl) return;
  const bool was = m.connected;
  if (was) m.Status("Disconnecting.");
  // Cleaning the handle up sends QUIT on a connection still open.
  curl_easy_cleanup(m.curl);
  m.curl = nullptr;
  m.connected = false;
  if (was) m.Status("Disconnected.");
}

}  // namespace net
