#pragma once
// The component's own dialog words: 133 user-interface words in 17
// languages, kept process-wide in each language's 8-bit code page and read
// by word index and language.
#include <cstdint>

#include "imaging/core/ikdefs.h"

namespace imaging {

enum TMsgLanguage : uint8_t {
  msSystem,
  msEnglish,
  msItalian,
  msGerman,
  msSpanish,
  msFrench,
  msPortuguese,
  msGreek,
  msRussian,
  msDutch,
  msSwedish,
  msPolish,
  msJapanese,
  msCzech,
  msFinnish,
  msFarsi,
  msChinese,
  msChineseTraditional,
  msUser,
};

inline constexpr int32_t IKWordCount = 133;
inline constexpr int32_t IKLanguageCount = 19;

// Stores the words of rows msEnglish .. msChineseTraditional; the
// component's start-up has run it before any dialog asks.
void FillWordTable();
// Both numbers are taken as unsigned bytes; out-of-table pairs are ignored.
void StoreUIWord(uint32_t language, uint32_t index, const String& text);
// The text at (language, index), English where that is empty; msSystem
// picks the row of the default locale's language and takes it as stored.
String LookupUIWord(int32_t index, TMsgLanguage language);

// The Windows code page each row's texts are stored in.
uint32_t WordTableCodePage(TMsgLanguage language);
// The default locale's language identifier (primary | sub-language << 10),
// read from the environment at start-up; settable for tests.
uint16_t DefaultLocaleLanguageId();
void SetDefaultLocaleLanguageId(uint16_t langId);
// The identifier for a POSIX locale name such as "pl_PL.UTF-8" (0 when
// unknown).
uint16_t LanguageIdFromLocaleName(const String& locale);

}  // namespace imaging
