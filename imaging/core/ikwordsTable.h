#pragma once
// The built-in rows of the dialog word table (see ikwords.h).
namespace imaging {
// Rows msEnglish .. msChineseTraditional, 133 words each separated by '|'.
extern const char* const IKBuiltInWords[17];
}  // namespace imaging
