#include "imaging/core/ikwords.h"

#include <gtest/gtest.h>

#include "platform/rtl/Text.h"

namespace imaging {
namespace {

// The stored text of a row back in UTF-8, for comparing with the samples.
std::string Utf8Of(int32_t index, TMsgLanguage language) {
  return rtl::WideToUtf8(rtl::CodePageToWide(WordTableCodePage(language), LookupUIWord(index, language)));
}

class IkWords : public ::testing::Test {
protected:
  void SetUp() override { saved_ = DefaultLocaleLanguageId(); }
  void TearDown() override { SetDefaultLocaleLanguageId(saved_); }
  uint16_t saved_ = 0;
};

TEST_F(IkWords, SampleWordsOfTheRows) {
  struct Case {
    TMsgLanguage language;
    const char* original;
    const char* cancel;
  } cases[] = {
      {msEnglish, "Original", "Cancel"},       {msItalian, "Originale", "Annulla"},
      {msGerman, "Quelle", "Abbrechen"},       {msSpanish, "Original", "Cancelar"},
      {msFrench, "Source", "Annuler"},         {msPortuguese, "Original", "Cancelar"},
      {msDutch, "Origineel", "Annuleren"},     {msSwedish, "Original", "Avbryt"},
      {msFinnish, "Alkuperäinen", "Peruuta"},  {msCzech, "Originál", "Storno"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8Of(1, c.language), c.original) << int(c.language);
    EXPECT_EQ(Utf8Of(4, c.language), c.cancel) << int(c.language);
  }
  EXPECT_EQ(LookupUIWord(132, msEnglish), "All Files");
  EXPECT_EQ(LookupUIWord(128, msEnglish), "Automatically updates your preview with the changes you have selected");
}

TEST_F(IkWords, RowsAreFullAndStoredInTheirCodePages) {
  for (int row = msEnglish; row <= msChineseTraditional; ++row) {
    const auto language = static_cast<TMsgLanguage>(row);
    for (int32_t i = 0; i < IKWordCount; ++i) {
      const String word = LookupUIWord(i, language);
      ASSERT_FALSE(word.empty()) << row << " " << i;
      // Every character survived the code page: nothing became '?'.
      ASSERT_EQ(word.find('?'), String::npos) << row << " " << i;
    }
  }
  // Greek in 1253 and Russian in 1251 are one byte per letter.
  EXPECT_EQ(LookupUIWord(3, msGreek), "OK");
  EXPECT_EQ(LookupUIWord(15, msRussian).size(), std::string("Красный").size() / 2);
  EXPECT_EQ(Utf8Of(15, msRussian), "Красный");
  EXPECT_EQ(Utf8Of(0, msJapanese), "プレビュー");
  EXPECT_EQ(Utf8Of(0, msChineseTraditional), "預覽");
  EXPECT_EQ(Utf8Of(1, msFarsi), "اصلي");  // the Arabic yeh of code page 1256
}

TEST_F(IkWords, FallbacksToEnglish) {
  // Polish has no word 123: English stands in, except on the system path.
  EXPECT_EQ(LookupUIWord(123, msPolish), "Rate");
  SetDefaultLocaleLanguageId(LanguageIdFromLocaleName("pl_PL.UTF-8"));
  EXPECT_EQ(LookupUIWord(123, msSystem), "");
  EXPECT_EQ(Utf8Of(4, msPolish), rtl::WideToUtf8(rtl::CodePageToWide(1250, LookupUIWord(4, msSystem))));
  // A language the table lacks gets English.
  SetDefaultLocaleLanguageId(LanguageIdFromLocaleName("ko_KR.UTF-8"));
  EXPECT_EQ(LookupUIWord(0, msSystem), "Preview");
  // Chinese by region.
  SetDefaultLocaleLanguageId(LanguageIdFromLocaleName("zh_TW.UTF-8"));
  EXPECT_EQ(LookupUIWord(0, msSystem), LookupUIWord(0, msChineseTraditional));
  SetDefaultLocaleLanguageId(LanguageIdFromLocaleName("zh_CN"));
  EXPECT_EQ(LookupUIWord(0, msSystem), LookupUIWord(0, msChinese));
  SetDefaultLocaleLanguageId(0x04);
  EXPECT_EQ(LookupUIWord(0, msSystem), "Preview");
  // Out of the table: nothing.
  EXPECT_EQ(LookupUIWord(133, msEnglish), "");
  EXPECT_EQ(LookupUIWord(-1, msEnglish), "");
}

TEST_F(IkWords, StoredWordsReplaceTheBuiltInOnes) {
  EXPECT_EQ(LookupUIWord(0, msUser), "Preview");
  StoreUIWord(msUser, 0, "Vorschau!");
  EXPECT_EQ(LookupUIWord(0, msUser), "Vorschau!");
  // Both numbers are taken as bytes: 256 + msUser is msUser.
  StoreUIWord(256 + msUser, 256 + 1, "Eins");
  EXPECT_EQ(LookupUIWord(1, msUser), "Eins");
  StoreUIWord(msUser, 200, "ignored");
  StoreUIWord(msUser, 0, "");
  StoreUIWord(msUser, 1, "");
  EXPECT_EQ(LookupUIWord(0, msUser), "Preview");
}

}  // namespace
}  // namespace imaging
