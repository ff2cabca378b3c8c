#include "controls/uc/UcSystem.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "controls/uc/UcSysUtils.h"
#include "controls/uc/UcWindows.h"
#include "platform/rtl/Text.h"

namespace controls {
namespace {

// --- UTF-7 tables ------------------------------------------------------------------

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kDirect[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789'(),-./:?";
constexpr char kOptionalDirect[] = "!\"#$%&*;<=>@[]^_`{|}";
constexpr char kSpaces[] = "\t\r\n ";

struct Utf7Tables {
  std::array<int8_t, 128> decode{};
  std::array<uint8_t, 128> mustShiftSafe{};
  std::array<uint8_t, 128> mustShiftOptional{};
  Utf7Tables() {
    decode.fill(-1);
    for (int i = 0; kBase64[i]; ++i) decode[static_cast<unsigned char>(kBase64[i])] = static_cast<int8_t>(i);
    mustShiftSafe.fill(1);
    mustShiftOptional.fill(1);
    for (const char* set : {kDirect, kSpaces})
      for (const char* p = set; *p; ++p) {
        mustShiftSafe[static_cast<unsigned char>(*p)] = 0;
        mustShiftOptional[static_cast<unsigned char>(*p)] = 0;
      }
    for (const char* p = kOptionalDirect; *p; ++p) mustShiftOptional[static_cast<unsigned char>(*p)] = 0;
  }
};

// Built on first use; read-only afterwards (a function-local static is
// built once even when two threads get here together).
const Utf7Tables& Tables() {
  static const Utf7Tables tables;
  return tables;
}

bool IsBase64(unsigned c) { return c < 128 && Tables().decode[c] >= 0; }

// --- UTF-8 ---------------------------------------------------------------------------

// The decoder of 8-bit containers: one or two continuation bytes by bit 5
// of the lead byte, or three after a lead of the form 11110xxx, giving a
// surrogate pair. Strict decoding gives up on the first malformed sequence
// (false); lenient decoding puts U+FFFD there and goes on.
bool DecodeUtf8(const String& s, WideString& out, bool lenient) {
  out.clear();
  out.reserve(s.size());
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    const auto b0 = static_cast<uint8_t>(s[i]);
    if (b0 < 0x80) {
      out.push_back(b0);
      ++i;
      continue;
    }
    const bool four = (b0 & 0xF8) == 0xF0;
    const size_t extra = four ? 3 : (b0 & 0x20) ? 2 : 1;
    uint32_t cp = four ? (b0 & 0x07) : (b0 & 0x3F);
    size_t k = 1;
    for (; k <= extra; ++k) {
      if (i + k >= n) break;
      const auto b = static_cast<uint8_t>(s[i + k]);
      if (b < 0x80 || b > 0xBF) break;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (k <= extra || (four && (cp < 0x10000 || cp > 0x10FFFF))) {
      if (!lenient) return false;
      out.push_back(0xFFFD);
      i += k;  // resume at the byte that broke the sequence
      continue;
    }
    if (four) {
      cp -= 0x10000;
      out.push_back(static_cast<WideChar>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<WideChar>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<WideChar>(cp & 0xFFFF));
    }
    i += k;
  }
  return true;
}

bool IsHigh(WideChar c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(WideChar c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Decided from the system's version at the library's start, as the platform
// flags are, so a test that forces the flags later does not move it.
uint32_t StartCodePage() {
  win::OSVERSIONINFOW v;
  win::GetVersionExW(&v);
  return v.dwPlatformId == win::VER_PLATFORM_WIN32_NT && v.dwMajorVersion >= 5
             ? win::CP_THREAD_ACP
             : LocaleAnsiCodePage(win::GetThreadLocale());
}

const uint32_t g_libraryCodePage = StartCodePage();

}  // namespace

uint32_t LibraryCodePage() { return g_libraryCodePage; }

uint32_t LocaleAnsiCodePage(win::LCID locale) {
  char buffer[6] = {};
  if (win::GetLocaleInfoA(locale, win::LOCALE_IDEFAULTANSICODEPAGE, buffer, sizeof buffer) > 0) {
    char* end = nullptr;
    const long cp = std::strtol(buffer, &end, 10);
    if (end != buffer && *end == 0 && cp >= 0) return static_cast<uint32_t>(cp);
  }
  return win::GetACP();
}

uint32_t KeyboardCodePage() { return LocaleAnsiCodePage(win::GetKeyboardLayout(0) & 0xFFFF); }

WideChar KeyCodeToWide(uint16_t code) {
  if (code >= 256) return code;
  const char byte = static_cast<char>(code);
  WideChar unit = 0;
  // A byte that does not convert stays what it was.
  if (win::MultiByteToWideChar(KeyboardCodePage(), win::MB_USEGLYPHCHARS, &byte, 1, &unit, 1) != 1) return code;
  return unit;
}

void SwapWideBytes(WideChar* text) {
  for (; *text; ++text) *text = static_cast<WideChar>((*text >> 8) | (*text << 8));
}

// --- UTF-7 ---------------------------------------------------------------------------

int Utf7Encode(const WideChar*& source, const WideChar* sourceEnd, char*& target, const char* targetEnd,
               bool verbose, bool optionalDirect) {
  const Utf7Tables& t = Tables();
  const auto& mustShiftTable = optionalDirect ? t.mustShiftOptional : t.mustShiftSafe;
  uint32_t bits = 0;  // filled from the top
  int count = 0;
  bool shifted = false;
  WideChar unit = 0;
  auto put = [&](char c) {
    if (target >= targetEnd) return false;
    *target++ = c;
    return true;
  };
  for (;;) {
    const bool done = source >= sourceEnd;
    if (!done) unit = *source++;
    const bool mustShift = !done && (unit > 127 || mustShiftTable[unit] == 1);
    if (mustShift && !shifted) {
      if (!put('+')) return kUtf7TargetFull;
      if (unit == u'+') {
        if (!put('-')) return kUtf7TargetFull;
      } else {
        shifted = true;
      }
    }
    if (shifted) {
      if (mustShift) {
        bits |= uint32_t{unit} << (16 - count);
        count += 16;
      } else {
        count += (6 - count % 6) % 6;
      }
      while (count >= 6) {
        if (!put(kBase64[bits >> 26])) return kUtf7TargetFull;
        bits <<= 6;
        count -= 6;
      }
      if (!mustShift) {
        shifted = false;
        if (verbose || (!done && (IsBase64(unit) || unit == u'-')))
          if (!put('-')) return kUtf7TargetFull;
      }
    }
    if (!mustShift && !done)
      if (!put(static_cast<char>(unit))) return kUtf7TargetFull;
    if (done) return kUtf7Done;
  }
}

int Utf7Decode(const char*& source, const char* sourceEnd, WideChar*& target, const WideChar* targetEnd) {
  const Utf7Tables& t = Tables();
  uint32_t bits = 0;  // filled from the bottom
  int count = 0;
  bool shifted = false, firstAfterPlus = false, wroteUnit = false;
  int result = kUtf7Done;
  auto put = [&](WideChar c) {
    if (target >= targetEnd) return false;
    *target++ = c;
    return true;
  };
  bool done = source >= sourceEnd;
  auto byte = done ? 0u : static_cast<uint8_t>(*source++);
  for (;;) {
    if (shifted) {
      const bool runEnds = done || byte > 127 || t.decode[byte] < 0;
      if (runEnds) {
        shifted = false;
        if (!done && byte == '-') {
          if (firstAfterPlus && !put(u'+')) return kUtf7TargetFull;
          if (!firstAfterPlus && !wroteUnit) result = kUtf7Malformed;
          done = source >= sourceEnd;
          byte = done ? 0u : static_cast<uint8_t>(*source++);
        } else if (!wroteUnit) {
          result = kUtf7Malformed;
        }
      } else {
        bits = (bits << 6) | static_cast<uint32_t>(t.decode[byte]);
        count += 6;
        firstAfterPlus = false;
      }
      while (count >= 16) {
        count -= 16;
        if (!put(static_cast<WideChar>(bits >> count))) return kUtf7TargetFull;
        bits &= (uint32_t{1} << count) - 1;
        wroteUnit = true;
      }
      if (runEnds) {
        if (bits != 0) result = kUtf7Malformed;
        bits = 0;
        count = 0;
      } else {
        done = source >= sourceEnd;
        byte = done ? 0u : static_cast<uint8_t>(*source++);
        continue;
      }
    }
    if (done) return result;
    if (byte == '+') {
      shifted = true;
      firstAfterPlus = true;
      wroteUnit = false;
    } else {
      if (!put(static_cast<WideChar>(byte))) return kUtf7TargetFull;
      if (byte > 127) result = kUtf7Malformed;
    }
    done = source >= sourceEnd;
    byte = done ? 0u : static_cast<uint8_t>(*source++);
  }
}

String WideToUtf7Text(const WideString& text) {
  if (text.empty()) return {};
  String out(text.size() * 7, '\0');
  const WideChar* src = text.data();
  char* dst = out.data();
  if (Utf7Encode(src, text.data() + text.size(), dst, out.data() + out.size(), false, true) != kUtf7Done)
    throw EUcInternalError("Buffer overflow");
  out.resize(static_cast<size_t>(dst - out.data()));
  return out;
}

WideString Utf7TextToWide(const String& text) {
  if (text.empty()) return {};
  WideString out(text.size(), u'\0');
  const char* src = text.data();
  WideChar* dst = out.data();
  const int r = Utf7Decode(src, text.data() + text.size(), dst, out.data() + out.size());
  if (r == kUtf7Malformed) throw EUcGeneralError("Invalid UTF7");
  if (r == kUtf7TargetFull) throw EUcInternalError("Buffer overflow");
  out.resize(static_cast<size_t>(dst - out.data()));
  return out;
}

// --- UTF-8 and code pages ---------------------------------------------------------------

String WideToUtf8Text(const WideString& text) {
  String out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

WideString Utf8TextToWide(const String& text) {
  WideString out;
  if (!DecodeUtf8(text, out, false)) out.clear();
  return out;
}

WideString Utf8TextToWideLenient(const String& text) {
  WideString out;
  DecodeUtf8(text, out, true);
  return out;
}

WideString CodePageTextToWide(const String& text, uint32_t codePage) {
  if (codePage == CP_UTF7) return Utf7TextToWide(text);
  if (codePage == CP_UTF8) return Utf8TextToWide(text);
  if (text.empty()) return {};
  const int n = win::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  WideString out(static_cast<size_t>(n), u'\0');
  const int got = win::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  out.resize(static_cast<size_t>(got > 0 ? got : 0));
  return out;
}

String WideToCodePageText(const WideString& text, uint32_t codePage) {
  if (codePage == CP_UTF7) return WideToUtf7Text(text);
  if (codePage == CP_UTF8) return WideToUtf8Text(text);
  if (text.empty()) return {};
  const int n = win::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
  if (n <= 0) return {};
  String out(static_cast<size_t>(n), '\0');
  const int got = win::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                                           nullptr, nullptr);
  out.resize(static_cast<size_t>(got > 0 ? got : 0));
  return out;
}

// --- Resource strings ----------------------------------------------------------------------

WideString LoadWideResourceString(const TResStringRec* rec) {
  if (!rec) return {};
  if (rec->Identifier < 65536) {
    WideChar buffer[4097];
    const win::HINSTANCE module = rec->Module ? *rec->Module : nullptr;
    const int n = WLoadString(module, static_cast<uint32_t>(rec->Identifier), buffer, 4097);
    return WideString(buffer, static_cast<size_t>(n > 0 ? n : 0));
  }
  const String text(reinterpret_cast<const char*>(rec->Identifier));
  if (text.size() > 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) return Utf8TextToWide(text.substr(3));
  return rtl::AnsiToWide(text);
}

// --- Command line ------------------------------------------------------------------------

WideString NextWideParam(const WideChar*& pos) {
  const WideChar* p = pos;
  for (;;) {
    while (*p != 0 && *p <= 32) ++p;
    if (p[0] == u'"' && p[1] == u'"') {
      p += 2;
      continue;
    }
    break;
  }
  WideString param;
  auto add = [&](WideChar c) {
    if (param.size() < kMaxWideParam) param.push_back(c);
  };
  while (*p > 32) {
    if (*p == u'"') {
      ++p;
      while (*p != 0 && *p != u'"') add(*p++);
      if (*p == u'"') ++p;
    } else {
      add(*p++);
    }
  }
  pos = p;
  return param;
}

WideString WideCommandLineParam(int32_t index) {
  if (index == 0) return WideModulePath(nullptr);
  const WideChar* p = win::GetCommandLineW();
  WideString param;
  for (int32_t i = 0; i <= index; ++i) {
    param = NextWideParam(p);
    if (param.empty()) return {};
  }
  return param;
}

}  // namespace controls
