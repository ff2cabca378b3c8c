#pragma once
// The string and number types every layer above speaks in.
#include <cstdint>
#include <string>

namespace rtl {

// Text in the process's ANSI code page (UTF-8 unless set otherwise).
using String = std::string;
// UTF-16 text, as the wide-character APIs take it.
using WideString = std::u16string;

// Days since 1899-12-30, the fraction being the time of day.
using TDateTime = double;

}  // namespace rtl
