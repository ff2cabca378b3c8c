#pragma once
// MessageBeep. The display backend sounds it (the X bell); every beep is
// also recorded so tests can see that one happened and of which kind.
#include <vector>

#include "platform/win/Types.h"

namespace win {

inline constexpr UINT MB_OK = 0x00000000, MB_ICONHAND = 0x00000010, MB_ICONERROR = 0x00000010,
                      MB_ICONQUESTION = 0x00000020, MB_ICONEXCLAMATION = 0x00000030,
                      MB_ICONWARNING = 0x00000030, MB_ICONASTERISK = 0x00000040,
                      MB_ICONINFORMATION = 0x00000040;

BOOL MessageBeep(UINT type);

// The beeps so far, oldest first; ClearBeeps forgets them.
std::vector<UINT> RecordedBeeps();
void ClearBeeps();

}  // namespace win
