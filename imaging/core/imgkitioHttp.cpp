// Pictures from "http://" addresses: downloaded into memory, then decoded
// by content like any other stream.
#include "imaging/core/imgkitioHttp.h"

#include <charconv>

#include "imaging/core/imgkitio.h"
#include "imaging/core/imgkitioThread.h"
#include "platform/net/HttpClient.h"
#include "platform/rtl/StringUtils.h"

namespace imaging {

bool SplitHttpAddress(const String& address, String& host, int32_t& port, String& path) {
  const size_t slash = address.find('/');
  if (slash == String::npos) return false;
  host = address.substr(0, slash);
  path = address.substr(slash);
  port = 80;
  const size_t colon = host.find(':');
  if (colon != String::npos) {
    const String text = host.substr(colon + 1);
    host.resize(colon);
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc() && end == text.data() + text.size() && value > 0 && value <= 65535) port = value;
  }
  return true;
}

void TImgKitIO::LoadImageFromHttp(const String& url) {
  if (MovedToThread(iotkUrl, [this, url] { LoadImageFromHttp(url); })) return;
  DownloadFromHttp(url);
}

void TImgKitIO::DownloadFromHttp(const String& url) {
  Aborting = false;
  // Every way out below ends with the completion event, so that a caller
  // waiting for it (the thumbnail loader) always hears the end.
  const auto fail = [this] {
    Aborting = true;
    DoFinishWork();
  };
  // Only plain http: an "https://" address is refused, not half-served.
  if (rtl::LowerCase(url.substr(0, 7)) != "http://") return fail();
  net::THttpGetRequest request;
  if (!SplitHttpAddress(url.substr(7), request.Host, request.Port, request.Path) || request.Host.empty())
    return fail();  // no path: nothing was loaded
  request.Proxy = ProxyAddress;
  // Proxy credentials are the proxy's: they never go to the server.
  request.ProxyUser = ProxyUser;
  request.ProxyPassword = ProxyPassword;
  request.ShouldStop = [this] { return Aborting.load(); };

  rtl::TMemoryStream body;
  int64_t expected = 0;
  const net::THttpGetResult result = net::HttpGet(
      request, [&expected](int64_t length) { expected = length > 0 ? length : 0; },
      [this, &body, &expected](const uint8_t* data, size_t size) {
        if (Aborting) return false;
        body.Write(data, static_cast<int64_t>(size));
        if (expected > 0) {
          const int64_t percent = body.Size() * 100 / expected;
          DoProgress(this, static_cast<int32_t>(percent > 100 ? 100 : percent));
        }
        return true;
      });
  // A failed or stopped transfer, and an error page in place of the
  // picture, load nothing.
  if (Aborting || !result.Complete || result.Status < 200 || result.Status >= 300) return fail();
  body.SetPosition(0);
  if (DetectStreamFormat(body) == 0) return fail();
  body.SetPosition(0);
  LoadFromStream(body);
}

}  // namespace imaging
