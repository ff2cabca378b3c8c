#pragma once
// The wide clipboard writer: one object for the program.
#include "platform/rtl/Types.h"

namespace controls {

class TUcClipboard {
public:
  // Puts the text on the clipboard as 8-bit text (in the ANSI code page)
  // and as Unicode text.
  void SetAsWideText(const rtl::WideString& text);
};

TUcClipboard* UcClipboard();

}  // namespace controls
