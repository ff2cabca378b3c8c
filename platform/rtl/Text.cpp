#include "platform/rtl/Text.h"

#include <iconv.h>

#include <atomic>
#include <bit>
#include <cerrno>
#include <iterator>
#include <map>
#include <mutex>
#include <utility>

#include "platform/rtl/Exceptions.h"

namespace rtl {
namespace {

std::atomic<uint32_t> g_ansiCodePage{CP_UTF8};

constexpr char16_t kReplacement = 0xFFFD;

const char* NativeUtf16Name() {
  return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

// The iconv name of a Windows code page number.
std::string IconvName(uint32_t cp) {
  switch (cp) {
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 50220: case 50221: case 50222: return "ISO-2022-JP";
    case 51932: return "EUC-JP";
    case 51949: return "EUC-KR";
    case 52936: return "HZ";
    case 54936: return "GB18030";
    case 65000: return "UTF-7";
    default: break;
  }
  if (cp >= 28591 && cp <= 28599) return "ISO-8859-" + std::to_string(cp - 28590);
  if (cp == 28603 || cp == 28605) return "ISO-8859-" + std::to_string(cp - 28590);
  return "CP" + std::to_string(cp);
}

// glibc loads a code page's converter module on first open and unloads it
// when its last descriptor closes, so threads that come and go would load
// and unload modules over and over (and race inside the loader). One
// descriptor per code page and direction stays open for the process's life.
void PinConverterModule(uint32_t cp, bool toWide, const std::string& name) {
  // Plain arrays, never destroyed, so that leak checkers still see the
  // descriptors as reachable at exit. A process uses a handful of code pages;
  // past the table's size converters simply go unpinned.
  struct Pin {
    uint32_t cp;
    bool toWide;
    iconv_t cd;
  };
  static std::mutex mutex;
  static Pin pins[64];
  static size_t count = 0;
  std::lock_guard lock(mutex);
  for (size_t i = 0; i < count; ++i)
    if (pins[i].cp == cp && pins[i].toWide == toWide) return;
  if (count == std::size(pins)) return;
  pins[count++] = {cp, toWide,
                   toWide ? iconv_open(NativeUtf16Name(), name.c_str()) : iconv_open(name.c_str(), NativeUtf16Name())};
}

// One converter per direction and code page per thread: iconv descriptors
// carry state and must not be shared between threads, and opening one per
// call costs more than the conversion of a short string.
class ConverterCache {
public:
  ~ConverterCache() {
    for (auto& [key, cd] : converters_)
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
  // Returns (iconv_t)-1 when iconv does not know the code page.
  iconv_t Get(uint32_t cp, bool toWide) {
    const auto key = std::make_pair(cp, toWide);
    auto it = converters_.find(key);
    if (it == converters_.end()) {
      const std::string name = IconvName(cp);
      PinConverterModule(cp, toWide, name);
      iconv_t cd = toWide ? iconv_open(NativeUtf16Name(), name.c_str())
                          : iconv_open(name.c_str(), NativeUtf16Name());
      it = converters_.emplace(key, cd).first;
    }
    if (it->second != reinterpret_cast<iconv_t>(-1))
      iconv(it->second, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    return it->second;
  }

private:
  std::map<std::pair<uint32_t, bool>, iconv_t> converters_;
};

ConverterCache& Converters() {
  thread_local ConverterCache cache;
  return cache;
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf16(WideString& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

// Decodes one UTF-8 sequence at `i`. An ill-formed sequence yields U+FFFD and
// consumes its longest valid prefix (at least one byte), so one bad byte never
// swallows the good text behind it.
char32_t DecodeUtf8At(std::string_view s, size_t& i, bool& ok) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  ok = true;
  if (b0 < 0x80) { ++i; return b0; }
  int extra;
  char32_t cp;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) { extra = 1; cp = b0 & 0x1F; }
  else if (b0 >= 0xE0 && b0 <= 0xEF) {
    extra = 2; cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    extra = 3; cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    ++i; ok = false; return kReplacement;
  }
  size_t j = i + 1;
  for (int k = 0; k < extra; ++k, ++j) {
    if (j >= s.size()) { i = j; ok = false; return kReplacement; }
    const auto b = static_cast<unsigned char>(s[j]);
    const unsigned char l = k == 0 ? lo : 0x80, h = k == 0 ? hi : 0xBF;
    if (b < l || b > h) { i = j; ok = false; return kReplacement; }
    cp = (cp << 6) | (b & 0x3F);
  }
  i = j;
  return cp;
}

WideString Utf16BytesToWide(std::string_view bytes, bool bigEndian) {
  WideString out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    out.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
  }
  if (bytes.size() % 2) out.push_back(kReplacement);
  return out;
}

std::string WideToUtf16Bytes(const WideString& text, bool bigEndian) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    out.push_back(bigEndian ? hi : lo);
    out.push_back(bigEndian ? lo : hi);
  }
  return out;
}

WideString IconvToWide(uint32_t cp, std::string_view bytes) {
  iconv_t cd = Converters().Get(cp, true);
  if (cd == reinterpret_cast<iconv_t>(-1))
    throw EArgumentError("Code page " + std::to_string(cp) + " is not supported");
  WideString out(bytes.size() + 4, u'\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  size_t used = 0;
  while (true) {
    char* dst = reinterpret_cast<char*>(out.data() + used);
    size_t outLeft = (out.size() - used) * sizeof(char16_t);
    const size_t before = outLeft;
    const size_t r = inLeft ? iconv(cd, &in, &inLeft, &dst, &outLeft)
                            : iconv(cd, nullptr, nullptr, &dst, &outLeft);  // flush shift state
    used += (before - outLeft) / sizeof(char16_t);
    if (r != static_cast<size_t>(-1)) {
      if (inLeft == 0) break;
      continue;
    }
    if (errno == E2BIG) {
      out.resize(out.size() * 2 + 16);
      continue;
    }
    // EILSEQ or EINVAL: one byte that does not decode. Windows-1252 leaves a
    // few byte values undefined; its own table passes them through as C1.
    if (out.size() - used < 1) out.resize(out.size() * 2 + 16);
    const auto b = static_cast<unsigned char>(*in);
    out[used++] = cp == CP_WINDOWS_1252 ? static_cast<char16_t>(b) : kReplacement;
    ++in;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (inLeft == 0) break;
  }
  out.resize(used);
  return out;
}

std::string IconvFromWide(uint32_t cp, const WideString& text) {
  iconv_t cd = Converters().Get(cp, false);
  if (cd == reinterpret_cast<iconv_t>(-1))
    throw EArgumentError("Code page " + std::to_string(cp) + " is not supported");
  std::string out(text.size() * 2 + 8, '\0');
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.data()));
  size_t inLeft = text.size() * sizeof(char16_t);
  size_t used = 0;
  bool flushed = false;
  while (true) {
    char* dst = out.data() + used;
    size_t outLeft = out.size() - used;
    const size_t before = outLeft;
    const size_t r = inLeft ? iconv(cd, &in, &inLeft, &dst, &outLeft)
                            : iconv(cd, nullptr, nullptr, &dst, &outLeft);
    used += before - outLeft;
    if (r != static_cast<size_t>(-1)) {
      if (inLeft == 0) {
        if (flushed) break;
        flushed = true;  // one more call returns a stateful encoding to its initial shift
      }
      continue;
    }
    if (errno == E2BIG) {
      out.resize(out.size() * 2 + 16);
      continue;
    }
    // A character the code page lacks (or a lone surrogate): one '?'. The
    // C1 controls that Windows-1252 leaves undefined go back to their bytes.
    if (used >= out.size()) out.resize(out.size() * 2 + 16);
    const size_t unit = (text.size() * sizeof(char16_t) - inLeft) / sizeof(char16_t);
    const char16_t c = text[unit];
    const bool c1 = c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
    out[used++] = cp == CP_WINDOWS_1252 && c1 ? static_cast<char>(c) : '?';
    size_t skip = 1;
    if (IsHighSurrogate(text[unit]) && unit + 1 < text.size() && IsLowSurrogate(text[unit + 1])) skip = 2;
    in += skip * sizeof(char16_t);
    inLeft -= skip * sizeof(char16_t);
  }
  out.resize(used);
  return out;
}

}  // namespace

char32_t DecodeUtf8(std::string_view s, size_t& pos) {
  bool ok;
  return DecodeUtf8At(s, pos, ok);
}

void AppendUtf8(std::string& out, char32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsCodePageSupported(uint32_t cp) {
  if (cp == CP_UTF8 || cp == CP_UTF16LE || cp == CP_UTF16BE) return true;
  return Converters().Get(cp, true) != reinterpret_cast<iconv_t>(-1) &&
         Converters().Get(cp, false) != reinterpret_cast<iconv_t>(-1);
}

void SetAnsiCodePage(uint32_t cp) {
  // A String is a byte string: UTF-16 cannot be its code page.
  if (cp == CP_UTF16LE || cp == CP_UTF16BE || !IsCodePageSupported(cp))
    throw EArgumentError("Code page " + std::to_string(cp) + " cannot be the ANSI code page");
  g_ansiCodePage.store(cp, std::memory_order_relaxed);
}

uint32_t GetAnsiCodePage() { return g_ansiCodePage.load(std::memory_order_relaxed); }

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) { ++i; continue; }
    bool ok;
    DecodeUtf8At(bytes, i, ok);
    if (!ok) return false;
  }
  return true;
}

WideString Utf8ToWide(std::string_view utf8) {
  WideString out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) { out.push_back(b); ++i; continue; }
    bool ok;
    AppendUtf16(out, DecodeUtf8At(utf8, i, ok));
  }
  return out;
}

std::string WideToUtf8(const WideString& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(out, c);  // a lone surrogate becomes U+FFFD
  }
  return out;
}

WideString CodePageToWide(uint32_t cp, std::string_view bytes) {
  if (cp == CP_UTF8) return Utf8ToWide(bytes);
  if (cp == CP_UTF16LE || cp == CP_UTF16BE) return Utf16BytesToWide(bytes, cp == CP_UTF16BE);
  if (bytes.empty()) return {};
  return IconvToWide(cp, bytes);
}

std::string WideToCodePage(uint32_t cp, const WideString& text) {
  if (cp == CP_UTF8) return WideToUtf8(text);
  if (cp == CP_UTF16LE || cp == CP_UTF16BE) return WideToUtf16Bytes(text, cp == CP_UTF16BE);
  if (text.empty()) return {};
  return IconvFromWide(cp, text);
}

WideString AnsiToWide(const String& text) { return CodePageToWide(GetAnsiCodePage(), text); }

String WideToAnsi(const WideString& text) { return WideToCodePage(GetAnsiCodePage(), text); }

std::string AnsiToUtf8(const String& text) {
  if (GetAnsiCodePage() == CP_UTF8) return text;
  return WideToUtf8(AnsiToWide(text));
}

String Utf8ToAnsi(std::string_view utf8) {
  if (GetAnsiCodePage() == CP_UTF8) return String(utf8);
  return WideToAnsi(Utf8ToWide(utf8));
}

String TextFileBytesToString(std::string_view bytes) {
  const auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xEF\xBB\xBF")) {
    const std::string_view rest = bytes.substr(3);
    return IsValidUtf8(rest) ? Utf8ToAnsi(rest) : WideToAnsi(Utf8ToWide(rest));
  }
  if (starts("\xFF\xFE")) return WideToAnsi(Utf16BytesToWide(bytes.substr(2), false));
  if (starts("\xFE\xFF")) return WideToAnsi(Utf16BytesToWide(bytes.substr(2), true));
  if (IsValidUtf8(bytes)) return Utf8ToAnsi(bytes);
  if (GetAnsiCodePage() == CP_WINDOWS_1252) return String(bytes);
  return WideToAnsi(CodePageToWide(CP_WINDOWS_1252, bytes));
}

std::string StringToTextFileBytes(const String& text) { return AnsiToUtf8(text); }

}  // namespace rtl
