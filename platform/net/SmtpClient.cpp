#include "platform/net/SmtpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/net/CurlGlobal.h"

namespace net {

namespace {

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

// A literal IPv6 address goes into a URL in brackets.
std::string UrlHost(const std::string& host) {
  return host.find(':') != std::string::npos && host.front() != '[' ? "[" + host + "]" : host;
}

struct Upload {
  const std::string* message = nullptr;
  size_t offset = 0;
  const std::function<void()>* onConnected = nullptr;
  bool connected = false;
};

size_t ReadMessage(char* buffer, size_t size, size_t count, void* user) {
  auto& u = *static_cast<Upload*>(user);
  const size_t n = std::min(size * count, u.message->size() - u.offset);
  std::memcpy(buffer, u.message->data() + u.offset, n);
  u.offset += n;
  return n;
}

int Prereq(void* user, char*, char*, int, int) {
  auto& u = *static_cast<Upload*>(user);
  u.connected = true;
  if (*u.onConnected) (*u.onConnected)();
  return CURL_PREREQFUNC_OK;
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

}  // namespace

std::vector<std::string> SplitAddressList(const std::string& list) {
  std::vector<std::string> out;
  std::string item;
  bool quoted = false;
  auto flush = [&] {
    std::string a = Trim(item);
    item.clear();
    const size_t lt = a.rfind('<');
    if (lt != std::string::npos) {
      const size_t gt = a.find('>', lt);
      a = Trim(a.substr(lt + 1, gt == std::string::npos ? std::string::npos : gt - lt - 1));
    }
    if (!a.empty()) out.push_back(a);
  };
  for (char c : list) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == ',' || c == ';'))
      flush();
    else
      item += c;
  }
  flush();
  return out;
}

TSmtpResult SmtpSend(const TSmtpRequest& r, const std::string& message) {
  CurlGlobalInit();
  TSmtpResult result;
  // The host goes into a URL: nothing in it may start a path or a login.
  bool badHost = r.Host.empty() || r.Host.find_first_of("/@?#\\ ") != std::string::npos;
  for (unsigned char c : r.Host) badHost |= c < 0x20 || c == 0x7f;
  if (badHost) {
    result.Error = TSmtpError::Connect;
    result.Detail = "not a host name: " + r.Host;
    return result;
  }
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  std::unique_ptr<curl_slist, CurlDeleter> recipients;
  for (const auto& a : r.Recipients) {
    curl_slist* grown = curl_slist_append(recipients.get(), ("<" + a + ">").c_str());
    if (grown) {
      (void)recipients.release();
      recipients.reset(grown);
    }
  }
  if (!curl) {
    result.Detail = "libcurl could not start";
    return result;
  }
  Upload upload{&message, 0, &r.OnConnected};
  const std::string url = "smtp://" + UrlHost(r.Host) + ":" + std::to_string(r.Port) + "/localhost";
  const std::string from = "<" + r.From + ">";
  curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "smtp");
  curl_easy_setopt(curl.get(), CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
  if (!r.CaFile.empty()) curl_easy_setopt(curl.get(), CURLOPT_CAINFO, r.CaFile.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, r.ConnectTimeoutMs);
  curl_easy_setopt(curl.get(), CURLOPT_SERVER_RESPONSE_TIMEOUT, std::max(1L, (r.ResponseTimeoutMs + 999) / 1000));
  curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
  if (r.Authenticate) {
    curl_easy_setopt(curl.get(), CURLOPT_USERNAME, r.UserName.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_PASSWORD, r.Password.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
  }
  curl_easy_setopt(curl.get(), CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_MAIL_RCPT, recipients.get());
  curl_easy_setopt(curl.get(), CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_READFUNCTION, ReadMessage);
  curl_easy_setopt(curl.get(), CURLOPT_READDATA, &upload);
  curl_easy_setopt(curl.get(), CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
  curl_easy_setopt(curl.get(), CURLOPT_PREREQFUNCTION, Prereq);
  curl_easy_setopt(curl.get(), CURLOPT_PREREQDATA, &upload);
  char error[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, error);
  const CURLcode rc = curl_easy_perform(curl.get());
  switch (rc) {
    case CURLE_OK: result.Error = TSmtpError::None; return result;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT: result.Error = TSmtpError::Connect; break;
    case CURLE_LOGIN_DENIED: result.Error = TSmtpError::Login; break;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_FAIL_REWIND:
    case CURLE_UPLOAD_FAILED: result.Error = TSmtpError::Refused; break;
    case CURLE_OPERATION_TIMEDOUT: result.Error = TSmtpError::TimedOut; break;
    default: result.Error = TSmtpError::Other; break;
  }
  // Whatever went wrong before the session stood (no greeting, a refused
  // TLS or hello) is a failure to connect, except a refused login.
  if (!upload.connected && result.Error != TSmtpError::Login) result.Error = TSmtpError::Connect;
  result.Detail = error[0] ? error : curl_easy_strerror(rc);
  return result;
}

}  // namespace net
