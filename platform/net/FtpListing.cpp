#include "platform/net/FtpListing.h"

#include <array>
#include <cctype>
#include <limits>

namespace net {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits off the next blank-separated field; `pos` ends after the blanks
// that follow it.
std::string_view NextField(std::string_view line, size_t& pos) {
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  const size_t start = pos;
  while (pos < line.size() && !IsBlank(line[pos])) ++pos;
  return line.substr(start, pos - start);
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!IsDigit(c)) return false;
  return true;
}

// A size that fits; false for an empty, non-numeric or absurdly long text.
bool ReadSize(std::string_view s, int64_t& out) {
  if (!AllDigits(s) || s.size() > 18) return false;
  int64_t v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  out = v;
  return true;
}

bool IsMonth(std::string_view s) {
  static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  if (s.size() != 3) return false;
  for (auto m : kMonths) {
    bool same = true;
    for (size_t i = 0; i < 3; ++i)
      if (std::tolower(static_cast<unsigned char>(s[i])) != m[i]) same = false;
    if (same) return true;
  }
  return false;
}

// "11:51" or "2026"
bool IsTimeOrYear(std::string_view s) {
  if (s.size() == 4) return AllDigits(s);
  const size_t colon = s.find(':');
  return colon != std::string_view::npos && colon > 0 && colon <= 2 && AllDigits(s.substr(0, colon)) &&
         s.size() - colon - 1 == 2 && AllDigits(s.substr(colon + 1));
}

bool IsDay(std::string_view s) { return !s.empty() && s.size() <= 2 && AllDigits(s); }

// The name starts one blank after the time field; further blanks belong to
// the name (servers print names with leading spaces that way).
std::string_view NameAfter(std::string_view line, size_t pos) {
  if (pos < line.size() && IsBlank(line[pos])) ++pos;
  return pos < line.size() ? line.substr(pos) : std::string_view();
}

// drwxr-xr-x   2 owner group   4096 Dec 10 11:51 name
// Owner or group may be missing, and owner names may hold digits, so the
// date (month, day, time or year) is what anchors the name, and the size
// is the number right before it.
bool ParseUnix(std::string_view line, TFtpListEntry& e) {
  if (line.size() < 10) return false;
  const char type = line[0];
  if (std::string_view("-dlbcps").find(type) == std::string_view::npos) return false;
  for (size_t i = 1; i < 10; ++i)
    if (std::string_view("rwxsStTl-").find(line[i]) == std::string_view::npos) return false;
  size_t pos = 10;
  std::vector<std::pair<std::string_view, size_t>> fields;  // field, position after it
  // The fields before the name: links, owner, group, size, month, day,
  // time; look for month, day, time among the first few.
  for (int i = 0; i < 8 && pos < line.size(); ++i) {
    std::string_view f = NextField(line, pos);
    if (f.empty()) break;
    fields.emplace_back(f, pos);
    const size_t n = fields.size();
    if (n >= 4 && IsMonth(fields[n - 3].first) && IsDay(fields[n - 2].first) && IsTimeOrYear(f) &&
        ReadSize(fields[n - 4].first, e.Size)) {
      std::string_view name = NameAfter(line, pos);
      e.IsDirectory = type == 'd';
      e.IsLink = type == 'l';
      if (e.IsLink) {
        const size_t arrow = name.find(" -> ");
        if (arrow != std::string_view::npos) name = name.substr(0, arrow);
      }
      if (name.empty() || name == "." || name == "..") return false;
      e.Name = std::string(name);
      return true;
    }
  }
  return false;
}

// 12-10-26  11:51AM       <DIR>          name
// 12-10-2026  11:51AM            1234 name
bool ParseDos(std::string_view line, TFtpListEntry& e) {
  size_t pos = 0;
  const std::string_view date = NextField(line, pos);
  if (date.size() < 8 || date.size() > 10 || !IsDigit(date[0]) || (date[2] != '-' && date[2] != '/'))
    return false;
  for (char c : date)
    if (!IsDigit(c) && c != '-' && c != '/') return false;
  const std::string_view time = NextField(line, pos);
  if (time.size() < 4 || time.size() > 7 || !IsDigit(time[0]) || time.find(':') == std::string_view::npos)
    return false;
  const std::string_view what = NextField(line, pos);
  if (what == "<DIR>") {
    e.IsDirectory = true;
    e.Size = -1;
  } else if (!ReadSize(what, e.Size)) {
    return false;
  }
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  const std::string_view name = line.substr(pos);
  if (name.empty() || name == "." || name == "..") return false;
  e.Name = std::string(name);
  return true;
}

}  // namespace

bool ParseFtpListLine(std::string_view line, TFtpListEntry& entry) {
  TFtpListEntry e;
  e.Line = std::string(line);
  bool ok = ParseUnix(line, e);
  if (!ok) {
    e = TFtpListEntry{};
    e.Line = std::string(line);
    ok = ParseDos(line, e);
  }
  if (!ok) return false;
  // A name with a control character cannot be named in a command again.
  for (unsigned char c : e.Name)
    if (c < 0x20 || c == 0x7f) return false;
  entry = std::move(e);
  return true;
}

std::vector<TFtpListEntry> ParseFtpListing(std::string_view text) {
  std::vector<TFtpListEntry> entries;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    TFtpListEntry e;
    if (ParseFtpListLine(line, e)) entries.push_back(std::move(e));
    start = end + 1;
  }
  return entries;
}

}  // namespace net
