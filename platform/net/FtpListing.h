#pragma once
// Reads the text of an FTP LIST reply. Servers send it in one of two
// shapes: the Unix "ls -l" lines and the DOS/IIS lines. Anything else
// (totals, blank lines, garbage) is skipped, so a hostile server can only
// make entries vanish, never invent a directory out of a bad line.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace net {

struct TFtpListEntry {
  std::string Name;         // the bare name, without a link's " -> target"
  bool IsDirectory = false;
  bool IsLink = false;
  int64_t Size = -1;        // -1 when the line gives none
  std::string Line;         // the listing line as it came, without its line end
};

std::vector<TFtpListEntry> ParseFtpListing(std::string_view text);

// One line; false when it is neither shape.
bool ParseFtpListLine(std::string_view line, TFtpListEntry& entry);

}  // namespace net
