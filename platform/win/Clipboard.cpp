#include "platform/win/Clipboard.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/win/HandleTable.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace {

using Block = std::vector<uint8_t>;

HandleTable<Block>& blocks() {
  static HandleTable<Block> table;
  return table;
}

struct ClipboardState {
  std::mutex mutex;
  bool open = false;
  HWND opener{};
  HWND owner{};
  bool changed = false;
  std::vector<std::pair<UINT, HGLOBAL>> formats;  // in the order set
  std::vector<HGLOBAL> synthesized;               // converted copies handed out
  std::function<void()> listener;
};

ClipboardState& clip() {
  static ClipboardState s;
  return s;
}

HGLOBAL findFormat(ClipboardState& s, UINT format) {
  for (auto& [f, h] : s.formats)
    if (f == format) return h;
  return nullptr;
}

HGLOBAL blockFrom(const void* data, size_t size) {
  HGLOBAL h = GlobalAlloc(GHND, size);
  if (h && size) std::memcpy(GlobalLock(h), data, size);
  return h;
}

// The text of a CF_TEXT or CF_UNICODETEXT block up to its terminator.
std::u16string wideText(HGLOBAL h) {
  auto b = blocks().Find(HandleToValue(h));
  if (!b) return {};
  const auto* p = reinterpret_cast<const char16_t*>(b->data());
  size_t n = 0;
  while (n < b->size() / 2 && p[n]) ++n;
  return std::u16string(p, n);
}
std::string ansiText(HGLOBAL h) {
  auto b = blocks().Find(HandleToValue(h));
  if (!b) return {};
  const auto* p = reinterpret_cast<const char*>(b->data());
  return std::string(p, strnlen(p, b->size()));
}

void freeAll(ClipboardState& s) {
  for (auto& [f, h] : s.formats) GlobalFree(h);
  for (HGLOBAL h : s.synthesized) GlobalFree(h);
  s.formats.clear();
  s.synthesized.clear();
}

}  // namespace

HGLOBAL GlobalAlloc(UINT, size_t bytes) {
  return reinterpret_cast<HGLOBAL>(blocks().Add(std::make_shared<Block>(bytes, 0)));
}

void* GlobalLock(HGLOBAL mem) {
  auto b = blocks().Find(HandleToValue(mem));
  if (!b) return nullptr;
  // Zero-sized blocks still lock to a distinct address.
  if (b->empty()) b->reserve(1);
  return b->data();
}

BOOL GlobalUnlock(HGLOBAL mem) { return blocks().Contains(HandleToValue(mem)) ? TRUE : FALSE; }

size_t GlobalSize(HGLOBAL mem) {
  auto b = blocks().Find(HandleToValue(mem));
  return b ? b->size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL mem) { return blocks().Remove(HandleToValue(mem)) ? nullptr : mem; }

BOOL OpenClipboard(HWND owner) {
  if (owner && !IsWindow(owner)) return FALSE;
  auto& s = clip();
  std::lock_guard lock(s.mutex);
  if (s.open) return FALSE;
  s.open = true;
  s.opener = owner;
  return TRUE;
}

BOOL CloseClipboard() {
  auto& s = clip();
  std::function<void()> notify;
  {
    std::lock_guard lock(s.mutex);
    if (!s.open) return FALSE;
    s.open = false;
    s.opener = nullptr;
    if (s.changed) notify = s.listener;
    s.changed = false;
  }
  if (notify) notify();
  return TRUE;
}

BOOL EmptyClipboard() {
  auto& s = clip();
  std::lock_guard lock(s.mutex);
  if (!s.open) return FALSE;
  freeAll(s);
  s.owner = s.opener;
  s.changed = true;
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  auto& s = clip();
  std::lock_guard lock(s.mutex);
  if (!s.open || !format || (data && !blocks().Contains(HandleToValue(data)))) return nullptr;
  for (auto it = s.formats.begin(); it != s.formats.end(); ++it) {
    if (it->first == format) {
      GlobalFree(it->second);
      s.formats.erase(it);
      break;
    }
  }
  s.formats.emplace_back(format, data);
  s.changed = true;
  return data;
}

HANDLE GetClipboardData(UINT format) {
  auto& s = clip();
  std::lock_guard lock(s.mutex);
  if (!s.open) return nullptr;
  if (HGLOBAL h = findFormat(s, format)) return h;
  HGLOBAL made = nullptr;
  if (format == CF_UNICODETEXT) {
    if (HGLOBAL a = findFormat(s, CF_TEXT)) {
      const std::u16string w = detail::AnsiToWide(ansiText(a).c_str());
      made = blockFrom(w.c_str(), (w.size() + 1) * sizeof(char16_t));
    }
  } else if (format == CF_TEXT || format == CF_OEMTEXT) {
    HGLOBAL w = findFormat(s, CF_UNICODETEXT);
    HGLOBAL a = format == CF_OEMTEXT ? findFormat(s, CF_TEXT) : nullptr;
    if (a) {
      const std::string t = ansiText(a);
      made = blockFrom(t.c_str(), t.size() + 1);
    } else if (w) {
      const std::string t = detail::WideToAnsi(wideText(w));
      made = blockFrom(t.c_str(), t.size() + 1);
    }
  }
  if (made) s.synthesized.push_back(made);
  return made;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  auto& s = clip();
  std::lock_guard lock(s.mutex);
  if (findFormat(s, format)) return TRUE;
  const bool text = findFormat(s, CF_TEXT) || findFormat(s, CF_UNICODETEXT);
  return (format == CF_TEXT || format == CF_UNICODETEXT || format == CF_OEMTEXT) && text ? TRUE : FALSE;
}

int CountClipboardFormats() {
  auto& s = clip();
  std::lock_guard lock(s.mutex);
  return static_cast<int>(s.formats.size());
}

UINT EnumClipboardFormats(UINT format) {
  auto& s = clip();
  std::lock_guard lock(s.mutex);
  if (!s.open) return 0;
  if (format == 0) return s.formats.empty() ? 0 : s.formats.front().first;
  for (size_t i = 0; i + 1 < s.formats.size(); ++i)
    if (s.formats[i].first == format) return s.formats[i + 1].first;
  return 0;
}

HWND GetClipboardOwner() {
  auto& s = clip();
  std::lock_guard lock(s.mutex);
  return s.owner;
}

HWND GetOpenClipboardWindow() {
  auto& s = clip();
  std::lock_guard lock(s.mutex);
  return s.open ? s.opener : nullptr;
}

// Registered formats share the numbers of registered window messages.
UINT RegisterClipboardFormatA(const char* name) { return RegisterWindowMessageA(name); }
UINT RegisterClipboardFormatW(const WCHAR* name) { return RegisterWindowMessageW(name); }

int GetClipboardFormatNameA(UINT format, char* buffer, int size) {
  if (format < 0xC000 || format > 0xFFFF) return 0;
  return static_cast<int>(GlobalGetAtomNameA(static_cast<ATOM>(format), buffer, size));
}

void SetClipboardChangeListener(std::function<void()> listener) {
  auto& s = clip();
  std::lock_guard lock(s.mutex);
  s.listener = std::move(listener);
}

}  // namespace win
