#include "imaging/core/ikwords.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "imaging/core/ikwordsTable.h"
#include "platform/rtl/Text.h"

namespace imaging {

namespace {

struct TWordTable {
  std::mutex lock;
  std::array<std::array<String, IKWordCount>, IKLanguageCount> words;
};

TWordTable& Table() {
  static TWordTable table;
  return table;
}

void Put(uint32_t language, uint32_t index, const String& text) {
  language &= 0xFF;
  index &= 0xFF;
  if (language >= IKLanguageCount || index >= IKWordCount) return;
  TWordTable& t = Table();
  std::lock_guard guard(t.lock);
  t.words[language][index] = text;
}

// Filled on first use rather than by a static constructor, so that no
// other module's start-up order matters; a word stored by a program before
// that still replaces the built-in one.
std::once_flag filled;
void EnsureFilled() { std::call_once(filled, FillWordTable); }

uint16_t LanguageIdFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return LanguageIdFromLocaleName(value);
  }
  return 0;
}

std::atomic<uint16_t> localeLanguageId{LanguageIdFromEnvironment()};

}  // namespace

uint32_t WordTableCodePage(TMsgLanguage language) {
  switch (language) {
    case msGreek: return 1253;
    case msRussian: return 1251;
    case msPolish:
    case msCzech: return 1250;
    case msJapanese: return 932;
    case msFarsi: return 1256;
    case msChinese:
    case msChineseTraditional: return 936;
    default: return 1252;
  }
}

void FillWordTable() {
  for (int32_t row = 0; row < 17; ++row) {
    const auto language = static_cast<TMsgLanguage>(msEnglish + row);
    const uint32_t codePage = WordTableCodePage(language);
    std::string_view all = IKBuiltInWords[row];
    for (int32_t index = 0; index < IKWordCount; ++index) {
      const size_t bar = all.find('|');
      const std::string_view word = all.substr(0, bar);
      all = bar == std::string_view::npos ? std::string_view{} : all.substr(bar + 1);
      rtl::WideString wide = rtl::Utf8ToWide(word);
      // The Arabic code page has the Arabic yeh, not the Persian one.
      for (char16_t& c : wide)
        if (c == u'\u06CC') c = u'\u064A';
      Put(language, static_cast<uint32_t>(index), rtl::WideToCodePage(codePage, wide));
    }
  }
}

void StoreUIWord(uint32_t language, uint32_t index, const String& text) {
  EnsureFilled();
  Put(language, index, text);
}

uint16_t DefaultLocaleLanguageId() { return localeLanguageId; }
void SetDefaultLocaleLanguageId(uint16_t langId) { localeLanguageId = langId; }

uint16_t LanguageIdFromLocaleName(const String& locale) {
  const String lang = locale.substr(0, locale.find_first_of("_.@"));
  const String region = locale.find('_') == String::npos ? String() : locale.substr(locale.find('_') + 1, 2);
  static const struct {
    const char* code;
    uint16_t primary;
  } map[] = {{"cs", 0x05}, {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B},
             {"fr", 0x0C}, {"it", 0x10}, {"ja", 0x11}, {"nl", 0x13}, {"pl", 0x15}, {"pt", 0x16},
             {"ru", 0x19}, {"sv", 0x1D}, {"fa", 0x29}, {"ko", 0x12}, {"hu", 0x0E}, {"tr", 0x1F}};
  if (lang == "zh") {
    const uint16_t sub = region == "TW" || region == "HK" || region == "MO" ? 1 : (region == "CN" || region == "SG" ? 2 : 0);
    return static_cast<uint16_t>(0x04 | sub << 10);
  }
  for (const auto& m : map)
    if (lang == m.code) return static_cast<uint16_t>(m.primary | 1 << 10);
  return 0;
}

String LookupUIWord(int32_t index, TMsgLanguage language) {
  EnsureFilled();
  if (index < 0 || index >= IKWordCount || language >= IKLanguageCount) return String();
  TWordTable& t = Table();
  std::lock_guard guard(t.lock);
  if (language != msSystem) {
    const String& word = t.words[language][static_cast<size_t>(index)];
    return word.empty() ? t.words[msEnglish][static_cast<size_t>(index)] : word;
  }
  const uint16_t id = localeLanguageId;
  TMsgLanguage row;
  switch (id & 0x3FF) {
    case 0x04:
      // Chinese that is neither traditional nor simplified: English.
      row = (id >> 10) == 1 ? msChineseTraditional : ((id >> 10) == 2 ? msChinese : msEnglish);
      break;
    case 0x05: row = msCzech; break;
    case 0x07: row = msGerman; break;
    case 0x08: row = msGreek; break;
    case 0x09: row = msEnglish; break;
    case 0x0A: row = msSpanish; break;
    case 0x0B: row = msFinnish; break;
    case 0x0C: row = msFrench; break;
    case 0x10: row = msItalian; break;
    case 0x11: row = msJapanese; break;
    case 0x13: row = msDutch; break;
    case 0x15: row = msPolish; break;
    case 0x16: row = msPortuguese; break;
    case 0x19: row = msRussian; break;
    case 0x1D: row = msSwedish; break;
    case 0x29: row = msFarsi; break;
    default: row = msEnglish; break;
  }
  return t.words[row][static_cast<size_t>(index)];
}

}  // namespace imaging
