#include "platform/net/HttpClient.h"

#include <curl/curl.h>

#include <memory>

#include "platform/net/CurlGlobal.h"

namespace net {

namespace {

struct Transfer {
  CURL* curl = nullptr;
  const THttpLengthEvent* onLength = nullptr;
  const THttpDataEvent* onData = nullptr;
  const std::function<bool()>* shouldStop = nullptr;
  bool headersSeen = false;
  bool stopped = false;
};

// Headers of the final response are complete once its body starts, or at
// the end of a response without one.
void ReportHeaders(Transfer& t) {
  if (t.headersSeen) return;
  t.headersSeen = true;
  curl_off_t length = -1;
  if (curl_easy_getinfo(t.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK) length = -1;
  if (*t.onLength) (*t.onLength)(length < 0 ? -1 : static_cast<int64_t>(length));
}

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  ReportHeaders(t);
  if (*t.onData && !(*t.onData)(reinterpret_cast<const uint8_t*>(data), bytes)) {
    t.stopped = true;
    return 0;
  }
  return bytes;
}

int CheckStop(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto& t = *static_cast<Transfer*>(user);
  if (*t.shouldStop && (*t.shouldStop)()) {
    t.stopped = true;
    return 1;
  }
  return 0;
}

std::string UrlOf(const THttpGetRequest& r) {
  return "http://" + r.Host + ":" + std::to_string(r.Port) + (r.Path.empty() ? "/" : r.Path);
}

}  // namespace

THttpGetResult HttpGet(const THttpGetRequest& request, const THttpLengthEvent& onLength,
                       const THttpDataEvent& onData) {
  CurlGlobalInit();
  THttpGetResult result;
  std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) {
    result.Error = "cannot start a transfer";
    return result;
  }
  Transfer t;
  t.curl = curl.get();
  t.onLength = &onLength;
  t.onData = &onData;
  t.shouldStop = &request.ShouldStop;

  CURL* c = curl.get();
  const std::string url = UrlOf(request);
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(c, CURLOPT_USERAGENT, request.UserAgent.c_str());
  if (request.ConnectTimeout > 0) curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, request.ConnectTimeout);
  // The proxy is the caller's choice alone: an empty one means a direct
  // connection even when the environment names a proxy.
  std::string proxy = request.Proxy;
  if (!proxy.empty() && proxy.find("://") == std::string::npos) proxy = "http://" + proxy;
  curl_easy_setopt(c, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(c, CURLOPT_NOPROXY, "");
  if (!proxy.empty() && (!request.ProxyUser.empty() || !request.ProxyPassword.empty())) {
    curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, request.ProxyUser.c_str());
    curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, request.ProxyPassword.c_str());
  }
  // Always the server's current copy, never a cache's.
  curl_slist* headers = nullptr;
  headers = curl_slist_append(headers, "Cache-Control: no-cache");
  headers = curl_slist_append(headers, "Pragma: no-cache");
  std::unique_ptr<curl_slist, void (*)(curl_slist*)> headerList(headers, curl_slist_free_all);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
  // A server that goes quiet must not hold the caller past its stop.
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &CheckStop);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);

  const CURLcode code = curl_easy_perform(c);
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  result.Status = status;
  result.Responded = status != 0;
  if (code == CURLE_OK) ReportHeaders(t);
  result.Complete = code == CURLE_OK && !t.stopped;
  if (code != CURLE_OK) result.Error = curl_easy_strerror(code);
  return result;
}

}  // namespace net
