// libFuzzer driver for the FTP listing reader: the bytes are a LIST reply
// from a server we do not trust. Whatever they are, nothing may crash or
// over-read, and every entry must be one the caller can act on: a name
// with no control character and no line break, taken from its own line.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/net/FtpListing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const auto& e : net::ParseFtpListing(text)) {
    if (e.Name.empty() || e.Name == "." || e.Name == "..") std::abort();
    for (unsigned char c : e.Name)
      if (c < 0x20 || c == 0x7f) std::abort();
    if (e.Line.find('\n') != std::string::npos || e.Line.find(e.Name) == std::string::npos) std::abort();
    if (e.IsDirectory && e.IsLink) std::abort();
  }
  return 0;
}
