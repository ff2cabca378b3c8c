// Global atoms and the ANSI/UTF-16 text conversions of the window system.
#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

#include "platform/rtl/Text.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace detail {

// Text crosses between the process's ANSI code page and UTF-16 here and
// nowhere else in the window system.
std::u16string AnsiToWide(const char* text, size_t n) {
  if (!text) return {};
  return rtl::AnsiToWide(std::string(text, n));
}

std::u16string AnsiToWide(const char* text) {
  if (!text) return {};
  return AnsiToWide(text, std::char_traits<char>::length(text));
}

std::string WideToAnsi(const std::u16string& text) { return rtl::WideToAnsi(text); }

size_t AnsiCut(const std::string& text, size_t n) {
  // Only UTF-8 has continuation bytes to keep together; single-byte code
  // pages cut anywhere.
  if (rtl::GetAnsiCodePage() != 65001) return n;
  while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
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
