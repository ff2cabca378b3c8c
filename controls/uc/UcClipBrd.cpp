#include "controls/uc/UcClipBrd.h"

#include <cstring>
#include <memory>

#include "controls/uc/UcSysUtils.h"
#include "platform/rtl/Text.h"
#include "platform/win/Clipboard.h"

namespace controls {

namespace {

// Hands a copy of `bytes` to the clipboard in `format`.
void Put(win::UINT format, const void* bytes, size_t size) {
  win::HGLOBAL block = win::GlobalAlloc(win::GMEM_MOVEABLE, size);
  if (!block) RaiseLastOSError();
  void* p = win::GlobalLock(block);
  std::memcpy(p, bytes, size);
  win::GlobalUnlock(block);
  if (!win::SetClipboardData(format, block)) {
    win::GlobalFree(block);
    RaiseLastOSError();
  }
}

}  // namespace

void TUcClipboard::SetAsWideText(const rtl::WideString& text) {
  if (!win::OpenClipboard(nullptr)) RaiseLastOSError();
  struct Closer {
    ~Closer() { win::CloseClipboard(); }
  } closer;
  win::EmptyClipboard();
  const rtl::String ansi = rtl::WideToAnsi(text);
  Put(win::CF_TEXT, ansi.c_str(), ansi.size() + 1);
  Put(win::CF_UNICODETEXT, text.c_str(), 2 * text.size() + 2);
}

TUcClipboard* UcClipboard() {
  static TUcClipboard clipboard;
  return &clipboard;
}

}  // namespace controls
