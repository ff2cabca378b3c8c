#include "platform/shell/MimeMessage.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <random>

#include "platform/rtl/Exceptions.h"

namespace shell {

namespace {

constexpr size_t kMaxLine = 76;
constexpr const char* kCrLf = "\r\n";
constexpr std::string_view kWordStart = "=?UTF-8?B?";
constexpr std::string_view kWordEnd = "?=";

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Header values live on one line: line breaks and other control characters
// become one space each run, and runs of blanks one blank, trimmed.
std::string OneLine(std::string_view value) {
  std::string out;
  bool blank = false;
  for (char c : value) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == ' ') {
      blank = true;
      continue;
    }
    if (blank && !out.empty()) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

std::vector<std::string> SplitBlanks(std::string_view s) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < s.size()) {
    const size_t j = std::min(s.find(' ', i), s.size());
    if (j > i) words.emplace_back(s.substr(i, j - i));
    i = j + 1;
  }
  return words;
}

// Places atoms after "Name:" with one blank before each, starting a new
// (blank-led) line where the next atom would pass the line limit.
std::string Fold(const std::string& name, const std::vector<std::string>& atoms) {
  std::string out;
  std::string line = name + ":";
  bool lineHasAtom = false;
  for (const auto& atom : atoms) {
    if (lineHasAtom && line.size() + 1 + atom.size() > kMaxLine) {
      out += line + kCrLf;
      line.clear();
    }
    line += ' ' + atom;
    lineHasAtom = true;
  }
  return out + line + kCrLf;
}

bool ValidHeaderName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7F && c != ':';
  });
}

// Plain text can go as it stands unless it is not ASCII, could be taken for
// an encoded word, or holds a word too long to fold.
bool NeedsEncoding(std::string_view text, size_t firstRoom) {
  if (!IsAscii(text) || text.find("=?") != std::string_view::npos) return true;
  const auto words = SplitBlanks(text);
  for (size_t i = 0; i < words.size(); ++i)
    if (words[i].size() > (i == 0 ? firstRoom : kMaxLine - 1)) return true;
  return false;
}

std::vector<std::string> TextAtoms(std::string_view text, size_t firstRoom) {
  if (NeedsEncoding(text, firstRoom)) return EncodeWords(text, firstRoom, kMaxLine - 1);
  return SplitBlanks(text);
}

// Splits at commas that stand outside quotes and angle brackets.
std::vector<std::string> SplitAddressList(std::string_view s) {
  std::vector<std::string> items;
  std::string cur;
  bool quoted = false;
  int angle = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (quoted && c == '\\' && i + 1 < s.size()) {
      cur += c;
      cur += s[++i];
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '<') ++angle;
    if (!quoted && c == '>' && angle > 0) --angle;
    if (c == ',' && !quoted && angle == 0) {
      items.push_back(OneLine(cur));
      cur.clear();
      continue;
    }
    cur += c;
  }
  items.push_back(OneLine(cur));
  items.erase(std::remove(items.begin(), items.end(), std::string()), items.end());
  return items;
}

std::vector<std::string> AddressAtoms(const std::string& item) {
  const size_t open = item.rfind('<');
  if (IsAscii(item) || open == std::string::npos || item.back() != '>') return SplitBlanks(item);
  std::string display = OneLine(item.substr(0, open));
  if (display.size() >= 2 && display.front() == '"' && display.back() == '"')
    display = display.substr(1, display.size() - 2);
  auto atoms = EncodeWords(display, kMaxLine - 1, kMaxLine - 1);
  atoms.push_back(item.substr(open));
  return atoms;
}

bool IsAttrChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) ||
         std::string_view("!#$&+-.^_`|~").find(c) != std::string_view::npos;
}

// One parameter of a Content-Type or Content-Disposition header: quoted when
// that is short plain ASCII, otherwise percent-encoded UTF-8 in numbered
// pieces that each fit a line.
std::vector<std::string> ParameterAtoms(const std::string& name, const std::string& value) {
  const bool plain = IsAscii(value) && value.find_first_of("\"\\") == std::string::npos &&
                     name.size() + value.size() + 4 <= kMaxLine - 1;
  if (plain) return {name + "=\"" + value + "\""};
  std::vector<std::string> pieces;
  std::string cur;
  const size_t room = kMaxLine - 1 - name.size() - 16;
  for (size_t i = 0; i < value.size();) {
    // A character's bytes stay in one piece, so each piece is whole UTF-8.
    size_t end = i + 1;
    while (end < value.size() && IsContinuationByte(value[end])) ++end;
    std::string enc;
    for (; i < end; ++i) {
      const char c = value[i];
      if (IsAttrChar(c)) {
        enc += c;
      } else {
        static const char* hex = "0123456789ABCDEF";
        const auto u = static_cast<unsigned char>(c);
        enc += {'%', hex[u >> 4], hex[u & 15]};
      }
    }
    if (!cur.empty() && cur.size() + enc.size() > room) {
      pieces.push_back(cur);
      cur.clear();
    }
    cur += enc;
  }
  pieces.push_back(cur);
  std::vector<std::string> atoms;
  if (pieces.size() == 1) return {name + "*=UTF-8''" + pieces[0]};
  for (size_t i = 0; i < pieces.size(); ++i) {
    std::string atom = name + "*" + std::to_string(i) + "*=" + (i == 0 ? "UTF-8''" : "") + pieces[i];
    if (i + 1 < pieces.size()) atom += ';';
    atoms.push_back(atom);
  }
  return atoms;
}

// Line breaks of any kind become CR LF.
std::string CrLfLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += kCrLf;
    } else if (text[i] == '\n') {
      out += kCrLf;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool IsSevenBitText(std::string_view crlfText) {
  size_t lineStart = 0;
  for (size_t i = 0; i <= crlfText.size(); ++i) {
    if (i == crlfText.size() || crlfText[i] == '\r') {
      if (i - lineStart > kMaxLine) return false;
      if (i < crlfText.size()) {
        ++i;  // the LF
        lineStart = i + 1;
      }
      continue;
    }
    const auto u = static_cast<unsigned char>(crlfText[i]);
    if ((u < 0x20 && u != '\t') || u >= 0x7F) return false;
  }
  return true;
}

std::string RandomHex(size_t digits) {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  static const char* hex = "0123456789abcdef";
  std::string s;
  while (s.size() < digits) {
    uint64_t v = rng();
    for (int i = 0; i < 16 && s.size() < digits; ++i, v >>= 4) s += hex[v & 15];
  }
  return s;
}

std::string HostName() {
  char buf[256] = {};
  std::string host;
  if (gethostname(buf, sizeof buf - 1) == 0)
    for (const char* p = buf; *p; ++p)
      if (std::isalnum(static_cast<unsigned char>(*p)) || *p == '-' || *p == '.') host += *p;
  return host.empty() ? "localhost" : host;
}

// RFC 5322 date in local time; the names are English whatever the locale.
std::string DateNow() {
  static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  const long offset = tm.tm_gmtoff / 60;
  const long absOffset = offset < 0 ? -offset : offset;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %d %s %04d %02d:%02d:%02d %c%02ld%02ld", days[tm.tm_wday], tm.tm_mday,
                months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec, offset < 0 ? '-' : '+',
                absOffset / 60, absOffset % 60);
  return buf;
}

}  // namespace

std::vector<std::string> EncodeWords(std::string_view text, size_t firstRoom, size_t room) {
  const size_t overhead = kWordStart.size() + kWordEnd.size();
  // Bytes whose base64 fits in `r` characters of a word.
  const auto bytesFor = [&](size_t r) { return r > overhead + 4 ? (r - overhead) / 4 * 3 : size_t{3}; };
  std::vector<std::string> words;
  size_t pos = 0;
  do {
    size_t n = std::min(bytesFor(words.empty() ? firstRoom : room), text.size() - pos);
    // Each word must hold whole characters; back off to a character start
    // (unless that would leave the word empty, as for broken UTF-8).
    while (n > 0 && pos + n < text.size() && IsContinuationByte(text[pos + n])) --n;
    if (n == 0) n = std::min(bytesFor(room), text.size() - pos);
    std::string word(kWordStart);
    word += EncodeBase64Lines(text.substr(pos, n));
    word.erase(std::remove(word.begin(), word.end(), '\r'), word.end());
    word.erase(std::remove(word.begin(), word.end(), '\n'), word.end());
    word += kWordEnd;
    words.push_back(std::move(word));
    pos += n;
  } while (pos < text.size());
  return words;
}

std::string EncodeBase64Lines(std::string_view data) {
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve(data.size() * 4 / 3 + data.size() / 28 + 8);
  size_t lineLen = 0;
  for (size_t i = 0; i < data.size(); i += 3) {
    const size_t n = std::min<size_t>(3, data.size() - i);
    uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << 16;
    if (n > 1) v |= static_cast<uint32_t>(static_cast<unsigned char>(data[i + 1])) << 8;
    if (n > 2) v |= static_cast<uint32_t>(static_cast<unsigned char>(data[i + 2]));
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += n > 1 ? alphabet[(v >> 6) & 63] : '=';
    out += n > 2 ? alphabet[v & 63] : '=';
    lineLen += 4;
    if (lineLen == kMaxLine) {
      out += kCrLf;
      lineLen = 0;
    }
  }
  if (lineLen > 0) out += kCrLf;
  return out;
}

std::string EncodeQuotedPrintable(std::string_view text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find("\r\n", start);
    const bool last = end == std::string_view::npos;
    if (last) end = text.size();
    std::string line;
    size_t lineLen = 0;
    for (size_t i = start; i < end; ++i) {
      const auto u = static_cast<unsigned char>(text[i]);
      const bool atLineEnd = i + 1 == end;
      std::string enc;
      if ((u == ' ' || u == '\t') && atLineEnd)
        enc = {'=', hex[u >> 4], hex[u & 15]};  // trailing blanks would be stripped in transit
      else if (u == '=' || u >= 0x7F || (u < 0x20 && u != '\t'))
        enc = {'=', hex[u >> 4], hex[u & 15]};
      else
        enc = std::string(1, static_cast<char>(u));
      // Room for a soft break "=" unless this is the line's last character.
      const size_t limit = atLineEnd ? kMaxLine : kMaxLine - 1;
      if (lineLen + enc.size() > limit) {
        line += "=\r\n";
        lineLen = 0;
      }
      line += enc;
      lineLen += enc.size();
    }
    out += line;
    if (last) break;
    out += kCrLf;
    start = end + 2;
  }
  return out;
}

std::string ContentTypeForFileName(std::string_view fileName) {
  static const std::pair<const char*, const char*> kTypes[] = {
      {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"},     {"jpe", "image/jpeg"},      {"png", "image/png"},
      {"bmp", "image/bmp"},  {"gif", "image/gif"},       {"tif", "image/tiff"},      {"tiff", "image/tiff"},
      {"jp2", "image/jp2"},  {"avi", "video/x-msvideo"}, {"wmv", "video/x-ms-wmv"},  {"asf", "video/x-ms-asf"},
      {"mp4", "video/mp4"},  {"mpg", "video/mpeg"},      {"mpeg", "video/mpeg"},     {"wav", "audio/wav"},
      {"mp3", "audio/mpeg"}, {"txt", "text/plain"},      {"log", "text/plain"},      {"ini", "text/plain"},
      {"htm", "text/html"},  {"html", "text/html"},      {"pdf", "application/pdf"}, {"zip", "application/zip"},
  };
  const size_t dot = fileName.rfind('.');
  if (dot != std::string_view::npos && fileName.find('/', dot) == std::string_view::npos) {
    const std::string ext = LowerAscii(fileName.substr(dot + 1));
    for (const auto& [e, type] : kTypes)
      if (ext == e) return type;
  }
  return "application/octet-stream";
}

void MimeMessage::AddTextHeader(const std::string& name, const std::string& value) {
  if (!ValidHeaderName(name)) throw rtl::EArgumentError("Invalid mail header name \"" + OneLine(name) + "\"");
  const std::string text = OneLine(value);
  headers_.push_back({name, Fold(name, TextAtoms(text, kMaxLine - name.size() - 2))});
}

void MimeMessage::AddAddressHeader(const std::string& name, const std::string& addresses) {
  if (!ValidHeaderName(name)) throw rtl::EArgumentError("Invalid mail header name \"" + OneLine(name) + "\"");
  const auto items = SplitAddressList(addresses);
  if (items.empty()) return;
  std::vector<std::string> atoms;
  for (size_t i = 0; i < items.size(); ++i) {
    auto itemAtoms = AddressAtoms(items[i]);
    if (i + 1 < items.size()) itemAtoms.back() += ',';
    atoms.insert(atoms.end(), itemAtoms.begin(), itemAtoms.end());
  }
  headers_.push_back({name, Fold(name, atoms)});
}

bool MimeMessage::HasHeader(const std::string& name) const {
  const std::string lower = LowerAscii(name);
  return std::any_of(headers_.begin(), headers_.end(), [&](const Header& h) { return LowerAscii(h.name) == lower; });
}

std::string MimeMessage::Build() const {
  std::string out;
  if (!HasHeader("Date")) out += Fold("Date", {DateNow()});
  if (!HasHeader("Message-ID")) out += Fold("Message-ID", {"<" + RandomHex(24) + "@" + HostName() + ">"});
  for (const auto& h : headers_) out += h.folded;
  if (!HasHeader("MIME-Version")) out += "MIME-Version: 1.0\r\n";

  const std::string text = CrLfLines(body_);
  const bool sevenBit = IsSevenBitText(text);
  std::string textPart = "Content-Type: text/plain; charset=" + std::string(sevenBit ? "us-ascii" : "UTF-8") + kCrLf +
                         "Content-Transfer-Encoding: " + (sevenBit ? "7bit" : "quoted-printable") + kCrLf + kCrLf +
                         (sevenBit ? text : EncodeQuotedPrintable(text));
  // Transfer adds a final line break anyway; a lone text part gets it here,
  // where a multipart body's delimiter would carry it.
  if (attachments_.empty()) return out + textPart + (text.empty() || text.ends_with(kCrLf) ? "" : kCrLf);

  // "=_" occurs in neither base64 nor quoted-printable; a plain text body is
  // checked.
  std::string boundary;
  do boundary = "=_vorix_" + RandomHex(24);
  while (text.find(boundary) != std::string::npos);

  out += Fold("Content-Type", {"multipart/mixed;", "boundary=\"" + boundary + "\""});
  out += kCrLf;
  out += "This is a multi-part message in MIME format.\r\n";
  // Each delimiter starts with its own CR LF, so the text keeps a final line
  // break of its own.
  out += "--" + boundary + kCrLf + textPart;
  for (const auto& a : attachments_) {
    std::string fileName;
    for (char c : a.fileName) {
      const auto u = static_cast<unsigned char>(c);
      fileName += u < 0x20 || u == 0x7F ? '_' : c;
    }
    const std::string type = a.contentType.empty() ? ContentTypeForFileName(fileName) : OneLine(a.contentType);
    auto typeAtoms = ParameterAtoms("name", fileName);
    typeAtoms.insert(typeAtoms.begin(), type + ";");
    auto dispositionAtoms = ParameterAtoms("filename", fileName);
    dispositionAtoms.insert(dispositionAtoms.begin(), "attachment;");
    out += kCrLf;
    out += "--" + boundary + kCrLf;
    out += Fold("Content-Type", typeAtoms);
    out += "Content-Transfer-Encoding: base64\r\n";
    out += Fold("Content-Disposition", dispositionAtoms);
    out += kCrLf;
    std::string encoded = EncodeBase64Lines(a.data);
    if (encoded.ends_with(kCrLf)) encoded.resize(encoded.size() - 2);
    out += encoded;
  }
  out += kCrLf;
  out += "--" + boundary + "--" + kCrLf;
  return out;
}

}  // namespace shell
