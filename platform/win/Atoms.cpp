// Global atoms and the ANSI/UTF-16 text conversions of the window system.
#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

#include "platform/win/WindowInternal.h"

namespace win {
namespace detail {

// The process's ANSI code page is UTF-8; text is converted here and nowhere
// else in the window system.
std::u16string AnsiToWide(const char* text, size_t n) {
  std::u16string out;
  if (!text) return out;
  out.reserve(n);
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < n) {
    uint32_t c = s[i];
    int extra = 0;
    if (c < 0x80) {
      extra = 0;
    } else if ((c & 0xE0) == 0xC0) {
      c &= 0x1F, extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      c &= 0x0F, extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      c &= 0x07, extra = 3;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    bool bad = false;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= n || (s[i + k] & 0xC0) != 0x80) {
        bad = true;
        break;
      }
      c = (c << 6) | (s[i + k] & 0x3F);
    }
    if (bad) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    i += static_cast<size_t>(extra) + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::u16string AnsiToWide(const char* text) {
  if (!text) return {};
  return AnsiToWide(text, std::char_traits<char>::length(text));
}

std::string WideToAnsi(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

bool IsAtomPointer(const void* name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

}  // namespace detail

namespace {

using detail::AnsiToWide;

std::u16string foldCase(std::u16string s) {
  for (auto& c : s)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return s;
}

struct AtomTable {
  std::mutex mutex;
  std::map<std::u16string, ATOM> byName;  // folded names
  std::map<ATOM, std::pair<std::u16string, int>> byAtom;  // original name and reference count
  ATOM next = 0xC000;
};

AtomTable& atoms() {
  static AtomTable table;
  return table;
}

// "#123" names an integer atom.
std::optional<ATOM> integerAtom(const std::u16string& name) {
  if (name.size() < 2 || name[0] != u'#') return std::nullopt;
  uint32_t v = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] < u'0' || name[i] > u'9') return std::nullopt;
    v = v * 10 + (name[i] - u'0');
    if (v >= 0xC000) return std::nullopt;
  }
  return static_cast<ATOM>(v);
}

ATOM addAtom(const std::u16string& name) {
  if (name.empty() || name.size() > 255) return 0;
  if (auto i = integerAtom(name)) return *i;
  auto& t = atoms();
  std::lock_guard lock(t.mutex);
  const auto key = foldCase(name);
  if (auto it = t.byName.find(key); it != t.byName.end()) {
    ++t.byAtom[it->second].second;
    return it->second;
  }
  if (t.next == 0) return 0;  // table full
  const ATOM a = t.next++;
  t.byName[key] = a;
  t.byAtom[a] = {name, 1};
  return a;
}

ATOM findAtom(const std::u16string& name) {
  if (auto i = integerAtom(name)) return *i;
  auto& t = atoms();
  std::lock_guard lock(t.mutex);
  auto it = t.byName.find(foldCase(name));
  return it == t.byName.end() ? 0 : it->second;
}

}  // namespace

namespace detail {
ATOM AddAtomW(const std::u16string& name) { return addAtom(name); }
ATOM FindAtomW(const std::u16string& name) { return findAtom(name); }
std::u16string AtomName(ATOM atom) {
  auto& t = atoms();
  std::lock_guard lock(t.mutex);
  auto it = t.byAtom.find(atom);
  return it == t.byAtom.end() ? std::u16string() : it->second.first;
}
}  // namespace detail

ATOM GlobalAddAtomA(const char* name) {
  if (detail::IsAtomPointer(name)) return static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
  return addAtom(AnsiToWide(name));
}
ATOM GlobalAddAtomW(const WCHAR* name) {
  if (detail::IsAtomPointer(name)) return static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
  return addAtom(name);
}
ATOM GlobalFindAtomA(const char* name) {
  if (detail::IsAtomPointer(name)) return static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
  return findAtom(AnsiToWide(name));
}
ATOM GlobalFindAtomW(const WCHAR* name) {
  if (detail::IsAtomPointer(name)) return static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
  return findAtom(name);
}

ATOM GlobalDeleteAtom(ATOM atom) {
  if (atom < 0xC000) return 0;
  auto& t = atoms();
  std::lock_guard lock(t.mutex);
  auto it = t.byAtom.find(atom);
  if (it == t.byAtom.end()) return atom;
  if (--it->second.second == 0) {
    t.byName.erase(foldCase(it->second.first));
    t.byAtom.erase(it);
  }
  return 0;
}

UINT GlobalGetAtomNameW(ATOM atom, WCHAR* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  std::u16string name;
  if (atom < 0xC000) {
    if (atom == 0) return 0;
    std::string digits = "#" + std::to_string(atom);
    name = AnsiToWide(digits.c_str());
  } else {
    name = detail::AtomName(atom);
    if (name.empty()) return 0;
  }
  const size_t n = std::min(name.size(), static_cast<size_t>(size - 1));
  std::copy_n(name.data(), n, buffer);
  buffer[n] = 0;
  return static_cast<UINT>(n);
}

UINT GlobalGetAtomNameA(ATOM atom, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  WCHAR wide[256];
  if (!GlobalGetAtomNameW(atom, wide, 256)) return 0;
  const std::string s = detail::WideToAnsi(wide);
  const size_t n = std::min(s.size(), static_cast<size_t>(size - 1));
  std::copy_n(s.data(), n, buffer);
  buffer[n] = 0;
  return static_cast<UINT>(n);
}

UINT RegisterWindowMessageW(const WCHAR* name) {
  if (!name || detail::IsAtomPointer(name)) return 0;
  const std::u16string n(name);
  if (integerAtom(n)) return 0;
  return addAtom(n);
}
UINT RegisterWindowMessageA(const char* name) {
  if (!name || detail::IsAtomPointer(name)) return 0;
  return RegisterWindowMessageW(AnsiToWide(name).c_str());
}

}  // namespace win
