#pragma once
// One HTTP GET through libcurl: plain "http" only (also across
// redirects), straight to the server or through a named proxy that gets
// its own credentials, with the body handed over as it arrives.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace net {

struct THttpGetRequest {
  std::string Host;
  int32_t Port = 80;
  std::string Path = "/";  // with its leading "/"
  // "host:port" or "http://host:port"; empty: no proxy, whatever the
  // environment says.
  std::string Proxy;
  std::string ProxyUser, ProxyPassword;
  std::string UserAgent = "Mozilla/4.0 (compatible)";
  // Seconds to wait for the connection; 0: libcurl's default.
  long ConnectTimeout = 30;
  // Asked about once a second, also while the server sends nothing; true
  // ends the transfer.
  std::function<bool()> ShouldStop;
};

struct THttpGetResult {
  // True when a response came (whatever its status).
  bool Responded = false;
  long Status = 0;
  // False when the transfer failed or was stopped before its end.
  bool Complete = false;
  std::string Error;
};

// Called once the headers are in: the announced body length, -1 unknown.
using THttpLengthEvent = std::function<void(int64_t contentLength)>;
// Body bytes as they arrive; false stops the transfer.
using THttpDataEvent = std::function<bool(const uint8_t* data, size_t size)>;

THttpGetResult HttpGet(const THttpGetRequest& request, const THttpLengthEvent& onLength,
                       const THttpDataEvent& onData);

}  // namespace net
