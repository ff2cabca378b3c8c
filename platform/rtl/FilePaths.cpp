#include "platform/rtl/FilePaths.h"

#include <optional>
#include <vector>

namespace rtl {

// --- Delimiters and parts --------------------------------------------------

bool IsPathDelimiter(const String& s, int index) {
  return index >= 1 && static_cast<size_t>(index) <= s.size() && s[static_cast<size_t>(index) - 1] == PathDelim;
}

String IncludeTrailingPathDelimiter(const String& s) {
  if (!s.empty() && s.back() == PathDelim) return s;
  return s + PathDelim;
}

String IncludeTrailingBackslash(const String& s) { return IncludeTrailingPathDelimiter(s); }

String ExcludeTrailingPathDelimiter(const String& s) {
  if (!s.empty() && s.back() == PathDelim) return s.substr(0, s.size() - 1);
  return s;
}

String ExcludeTrailingBackslash(const String& s) { return ExcludeTrailingPathDelimiter(s); }

namespace {

// Index just past the last delimiter (0 when there is none).
size_t nameStart(const String& fileName) {
  const size_t slash = fileName.rfind(PathDelim);
  return slash == String::npos ? 0 : slash + 1;
}

// Index of the extension's '.', or npos.
size_t extensionStart(const String& fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == String::npos || dot < nameStart(fileName)) return String::npos;
  return dot;
}

}  // namespace

String ExtractFilePath(const String& fileName) { return fileName.substr(0, nameStart(fileName)); }

String ExtractFileDir(const String& fileName) {
  const size_t start = nameStart(fileName);
  if (start <= 1) return fileName.substr(0, start);  // "" or the root "/"
  return fileName.substr(0, start - 1);
}

String ExtractFileName(const String& fileName) { return fileName.substr(nameStart(fileName)); }

String ExtractFileExt(const String& fileName) {
  const size_t dot = extensionStart(fileName);
  return dot == String::npos ? String() : fileName.substr(dot);
}

String ChangeFileExt(const String& fileName, const String& extension) {
  const size_t dot = extensionStart(fileName);
  return (dot == String::npos ? fileName : fileName.substr(0, dot)) + extension;
}

String ExtractFileDrive(const String&) { return String(); }

String ExpandFileNameFrom(const String& fileName, const String& baseDir) {
  if (fileName.empty()) return String();
  const String whole = fileName.front() == PathDelim ? fileName : baseDir + PathDelim + fileName;
  std::vector<String> parts;
  size_t i = 0;
  while (i <= whole.size()) {
    size_t j = whole.find(PathDelim, i);
    if (j == String::npos) j = whole.size();
    const String part = whole.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  String result;
  for (const String& part : parts) result += PathDelim + part;
  if (result.empty()) return String(1, PathDelim);
  // A name given as a folder ("dir/") stays one.
  if (fileName.back() == PathDelim) result += PathDelim;
  return result;
}

// --- Case folding ------------------------------------------------------------

namespace {

std::optional<std::u32string> decodeUtf8(const String& s) {
  std::u32string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    int extra;
    char32_t cp;
    if (c < 0x80) {
      extra = 0;
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return std::nullopt;
    }
    if (extra > 0 && i + static_cast<size_t>(extra) >= s.size()) return std::nullopt;
    for (int k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      if ((cc & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    out.push_back(cp);
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

char32_t foldChar(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c < 0x80) return c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
  if (c >= 0x100 && c <= 0x137) return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
  if (c >= 0x14A && c <= 0x177) return c | 1;
  if (c == 0x178) return 0xFF;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

// The name as folded code points. In text that is not UTF-8 only ASCII
// letters fold, and the other bytes are kept apart from every code point so
// that such a name never equals a decoded one by accident.
std::u32string foldedCodePoints(const String& s) {
  std::u32string out;
  if (auto decoded = decodeUtf8(s)) {
    out = std::move(*decoded);
    for (char32_t& c : out) c = foldChar(c);
    return out;
  }
  out.reserve(s.size());
  for (char ch : s) {
    const auto byte = static_cast<unsigned char>(ch);
    out.push_back(byte < 0x80 ? foldChar(byte) : 0x200000 + byte);
  }
  return out;
}

void appendUtf8(String& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

String FoldFileNameCase(const String& name) {
  if (!decodeUtf8(name)) {
    String out = name;
    for (char& ch : out)
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    return out;
  }
  String out;
  out.reserve(name.size());
  for (char32_t c : foldedCodePoints(name)) appendUtf8(out, c);
  return out;
}

bool SameFileNameIgnoringCase(const String& a, const String& b) {
  return foldedCodePoints(a) == foldedCodePoints(b);
}

// --- The directory search's wildcards --------------------------------------

namespace {

// The search pattern rewritten with the three context-dependent wildcards:
// '<' a run that stops at the name's last '.', '>' one non-dot character or
// nothing, '"' a '.' or nothing at the end of the name.
enum : char32_t { kAny = 0x110000, kStarToLastDot, kQuestion, kDotOrEnd };

std::u32string searchTokens(const std::u32string& spec) {
  std::u32string tokens;
  for (size_t i = 0; i < spec.size(); ++i) {
    const char32_t c = spec[i];
    const char32_t next = i + 1 < spec.size() ? spec[i + 1] : 0;
    if (c == '?')
      tokens.push_back(kQuestion);
    else if (c == '*')
      tokens.push_back(next == '.' ? kStarToLastDot : kAny);
    else if (c == '.' && (next == '?' || next == '*' || next == 0))
      tokens.push_back(kDotOrEnd);
    else
      tokens.push_back(c);
  }
  return tokens;
}

class SpecMatcher {
public:
  SpecMatcher(std::u32string tokens, std::u32string name)
      : tokens_(std::move(tokens)), name_(std::move(name)),
        memo_((tokens_.size() + 1) * (name_.size() + 1), -1) {
    const size_t dot = name_.rfind(U'.');
    lastDot_ = dot == std::u32string::npos ? name_.size() : dot;
  }
  bool Match(size_t t, size_t n) {
    signed char& memo = memo_[t * (name_.size() + 1) + n];
    if (memo < 0) memo = Compute(t, n) ? 1 : 0;
    return memo == 1;
  }

private:
  bool Compute(size_t t, size_t n) {
    if (t == tokens_.size()) return n == name_.size();
    const bool atEnd = n == name_.size();
    switch (tokens_[t]) {
      case kAny:
        return Match(t + 1, n) || (!atEnd && Match(t, n + 1));
      case kStarToLastDot:
        return Match(t + 1, n) || (n < lastDot_ && Match(t, n + 1));
      case kQuestion:
        if (atEnd || name_[n] == '.') return Match(t + 1, n);
        return Match(t + 1, n + 1);
      case kDotOrEnd:
        if (atEnd) return Match(t + 1, n);
        return name_[n] == '.' && Match(t + 1, n + 1);
      default:
        return !atEnd && name_[n] == tokens_[t] && Match(t + 1, n + 1);
    }
  }

  std::u32string tokens_;
  std::u32string name_;
  std::vector<signed char> memo_;
  size_t lastDot_;
};

}  // namespace

bool MatchesFileSpec(const String& name, const String& spec) {
  if (spec.empty()) return false;
  SpecMatcher matcher(searchTokens(foldedCodePoints(spec)), foldedCodePoints(name));
  return matcher.Match(0, 0);
}

// --- The file-mask matcher -------------------------------------------------

namespace {

struct MaskToken {
  enum Kind { Literal, One, Run, Set };
  explicit MaskToken(Kind k, char32_t c = 0) : kind(k), ch(c) {}
  Kind kind;
  char32_t ch;
  bool negated = false;
  std::vector<std::pair<char32_t, char32_t>> ranges;
};

std::vector<MaskToken> parseMask(const String& mask) {
  const std::u32string m = foldedCodePoints(mask);
  std::vector<MaskToken> tokens;
  for (size_t i = 0; i < m.size(); ++i) {
    const char32_t c = m[i];
    if (c == '*') {
      if (tokens.empty() || tokens.back().kind != MaskToken::Run) tokens.emplace_back(MaskToken::Run);
    } else if (c == '?') {
      tokens.emplace_back(MaskToken::One);
    } else if (c == '[') {
      MaskToken set(MaskToken::Set);
      size_t j = i + 1;
      if (j < m.size() && m[j] == '!') {
        set.negated = true;
        ++j;
      }
      bool closed = false;
      while (j < m.size()) {
        if (m[j] == ']') {
          closed = true;
          break;
        }
        char32_t lo = m[j], hi = m[j];
        if (j + 2 < m.size() && m[j + 1] == '-' && m[j + 2] != ']') {
          hi = m[j + 2];
          j += 2;
        }
        if (hi < lo) std::swap(lo, hi);
        set.ranges.emplace_back(lo, hi);
        ++j;
      }
      if (!closed) throw EMaskException("'" + mask + "' is an invalid mask at (" + std::to_string(i + 1) + ")");
      tokens.push_back(std::move(set));
      i = j;
    } else {
      tokens.emplace_back(MaskToken::Literal, c);
    }
  }
  return tokens;
}

bool tokenMatches(const MaskToken& token, char32_t c) {
  switch (token.kind) {
    case MaskToken::Literal: return token.ch == c;
    case MaskToken::One: return true;
    case MaskToken::Set: {
      bool inSet = false;
      for (const auto& [lo, hi] : token.ranges) inSet = inSet || (c >= lo && c <= hi);
      return inSet != token.negated;
    }
    case MaskToken::Run: break;
  }
  return false;
}

}  // namespace

bool MatchesMask(const String& fileName, const String& mask) {
  const std::vector<MaskToken> tokens = parseMask(mask);
  const std::u32string name = foldedCodePoints(fileName);
  // Greedy matching with one backtrack point per run: linear enough for
  // file names and free of exponential blow-up.
  size_t t = 0, n = 0;
  size_t starToken = String::npos, starName = 0;
  while (n < name.size()) {
    if (t < tokens.size() && tokens[t].kind == MaskToken::Run) {
      starToken = t++;
      starName = n;
    } else if (t < tokens.size() && tokenMatches(tokens[t], name[n])) {
      ++t;
      ++n;
    } else if (starToken != String::npos) {
      t = starToken + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (t < tokens.size() && tokens[t].kind == MaskToken::Run) ++t;
  return t == tokens.size();
}

}  // namespace rtl
