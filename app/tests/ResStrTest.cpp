#include <gtest/gtest.h>

#include <set>

#include "app/ResStr.h"
#include "app/tests/AppTestUtil.h"
#include "platform/rtl/IniFile.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/StringUtils.h"

using namespace app;
using apptest::AppTest;

namespace {

const std::string kEnglishAsset = std::string(VORIX_SOURCE_DIR) + "/assets/Lang/english.ini";
const std::string kSecondLanguage = std::string(VORIX_TEST_DATA) + "/pseudo.ini";

TEST(LanguageTable, KeysAreUniqueIgnoringCaseAndFoundBothWays) {
  std::set<std::string> folded;
  for (const auto& row : LanguageTexts()) {
    EXPECT_TRUE(folded.insert(rtl::UpperCase(row.Key)).second) << row.Key;
    EXPECT_EQ(*row.Text, row.English) << row.Key;
    EXPECT_EQ(FindLanguageText(*row.Text), &row);
  }
  EXPECT_EQ(folded.size(), LanguageTexts().size());
  ASSERT_NE(FindLanguageKey("ids_main_ck_motiondetection"), nullptr);
  EXPECT_EQ(FindLanguageKey("ids_main_ck_motiondetection")->Text, &IDS_MAIN_CK_MotionDetection);
  EXPECT_EQ(FindLanguageKey("IDS_NO_SUCH_KEY"), nullptr);
  String notInTable = "x";
  EXPECT_EQ(FindLanguageText(notInTable), nullptr);
}

TEST(LanguageTable, EnglishTextsOtherPartsQuote) {
  struct Case {
    const String& text;
    const char* english;
  } cases[] = {
      {MSG_APPLICATION_BADFILE,
       "Can not open the file %s.\rplease ensure the integriry of the file , or reinstall it again."},
      {MSG_MAIN_COMPELETEDPERCENT, "%  completed..."},
      {IDS_MAIN_COMBO_PATH_1, "Default"},
      {IDS_MAIN_MENU_TVCAPTURE, "DV Capture"},
      {IDS_SETTING_SHOTFRAME_FILEPREFIX, "File"},
      {IDS_MOTIONDETECTION_BODY, "then alarm is touch off !"},
      {IDS_MOTIONDETECTION_MAILBODYHINT, " happen Alarm!"},
      {IDS_MOTIONDETECTION_CONNECTINGSERVER, "Connecting to the server\xEF\xBC\x81"},  // full-width "!"
      {IDS_MOTIONDETECTION_FreeSpace, ":Free Space  %d MB"},
      {IDS_DEVICESETTING_TVTUNER_LABEL_CHANNELINFO, "Channel: %d To %d"},
      {IDS_MOTIONDETECTION_NOSPACE, "Do not have enough space!"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, c.english);
}

TEST(LanguageTable, FixLineBreaks) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"one#13two", "one\r\ntwo"}, {"  padded\t", "padded"}, {"   ", ""},      {"#13#13", "\r\n\r\n"},
      {" #13 x", "\r\n x"},        {"\x01text\x1f", "text"}, {"#1 3", "#1 3"}, {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FixLineBreaks(c.in), c.out) << c.in;
}

TEST(LanguageTable, EnglishAssetCarriesEveryKeyWithItsText) {
  // VORIX_UPDATE_ASSETS=1 writes the asset from the table.
  if (const char* update = std::getenv("VORIX_UPDATE_ASSETS"); update && std::string(update) == "1")
    apptest::WriteFile(kEnglishAsset, EnglishLanguageFileText());
  EXPECT_EQ(apptest::ReadFile(kEnglishAsset), EnglishLanguageFileText())
      << "run the app tests once with VORIX_UPDATE_ASSETS=1 to write it";
}

class LanguageLoaderTest : public AppTest {
 protected:
  String WriteLang(const std::string& name, const std::string& body) {
    String path = exe_ + "Lang/" + name;
    apptest::WriteFile(path, body);
    return path;
  }
};

TEST_F(LanguageLoaderTest, ValuesAreTrimmedBrokenAndCut) {
  const std::string longValue(3000, 'x');
  String path = WriteLang("test.ini",
                          "[langres]\n"
                          "ids_main_button_close=  Schliessen  \n"  // names ignore case; blanks trimmed
                          "IDS_MAIN_LABEL_WHATTODO=Was#13tun?\n"    // "#13" is a line break
                          "IDS_MAIN_LABEL_EXPLAIN=    \n"           // blanks only: empty
                          "IDS_MAIN_BUTTON_HELP=\"Hilfe \"\n"       // quotes go, as profile reads do
                          "IDS_MAIN_BUTTON_PRINT=" +
                              longValue +
                              "\n"
                              "IDS_MAIN_BUTTON_CLOSE=second one loses\n"
                              "[Other]\nIDS_MAIN_BUTTON_EMAIL=not this section\n");
  LoadLanguage(path);
  EXPECT_EQ(IDS_MAIN_BUTTON_CLOSE, "Schliessen");
  EXPECT_EQ(IDS_MAIN_LABEL_WHATTODO, "Was\r\ntun?");
  EXPECT_EQ(IDS_MAIN_LABEL_EXPLAIN, "");
  EXPECT_EQ(IDS_MAIN_BUTTON_HELP, "Hilfe");
  EXPECT_EQ(IDS_MAIN_BUTTON_PRINT, std::string(2047, 'x'));
  // A key the file lacks keeps its text, trimmed as every value is.
  EXPECT_EQ(IDS_MAIN_BUTTON_EMAIL, "E-mail");
  EXPECT_EQ(IDS_MOTIONDETECTION_MAILBODYHINT, "happen Alarm!");
  EXPECT_EQ(MSG_APPLICATION_BADFILE,
            "Can not open the file %s.\rplease ensure the integriry of the file , or reinstall it again.");
}

TEST_F(LanguageLoaderTest, MissingFileChangesNothingAndWindows1252IsRead) {
  LoadLanguage(exe_ + "Lang/none.ini");
  EXPECT_EQ(IDS_MOTIONDETECTION_MAILBODYHINT, " happen Alarm!");

  String path = WriteLang("latin.ini",
                          "[LANGRES]\r\nIDS_MAIN_BUTTON_CLOSE=Schlie\xDF"
                          "en\r\n");
  LoadLanguage(path);
  EXPECT_EQ(IDS_MAIN_BUTTON_CLOSE,
            "Schlie\xC3\x9F"
            "en");
}

TEST_F(LanguageLoaderTest, SecondLanguageSwitchesEveryTextAndEnglishSwitchesBack) {
  rtl::TMemIniFile file(kSecondLanguage);
  rtl::TStringList keys;
  file.ReadSection("LANGRES", keys);
  ASSERT_EQ(keys.Count(), static_cast<int32_t>(LanguageTexts().size())) << "the file lacks or adds keys";

  LoadLanguage(kSecondLanguage);
  for (const auto& row : LanguageTexts()) {
    String expected = FixLineBreaks(file.ReadString("LANGRES", row.Key, "<missing>"));
    EXPECT_EQ(*row.Text, expected) << row.Key;
    EXPECT_NE(*row.Text, FixLineBreaks(row.English)) << row.Key << " did not switch";
  }

  LoadLanguage(kEnglishAsset);
  for (const auto& row : LanguageTexts())
    EXPECT_EQ(*row.Text, FixLineBreaks(rtl::ReplaceStr(row.English, "\r", "#13"))) << row.Key;
}

TEST_F(LanguageLoaderTest, FormatsSurviveBadTranslations) {
  // The built-in texts format as written.
  EXPECT_EQ(FormatLanguageText(IDS_MOTIONDETECTION_FreeSpace, {int64_t(1234)}), ":Free Space  1234 MB");
  EXPECT_EQ(FormatLanguageText(IDS_DEVICESETTING_TVTUNER_LABEL_CHANNELINFO, {2, 69}), "Channel: 2 To 69");

  String path = WriteLang("bad.ini",
                          "[LANGRES]\n"
                          "IDS_MOTIONDETECTION_FreeSpace=Frei: %s MB\n"             // wrong kind
                          "IDS_DEVICESETTING_TVTUNER_LABEL_CHANNELINFO=%d %d %d\n"  // one too many
                          "MSG_APPLICATION_BADFILE=Datei %s kaputt\n"               // good
                          "MSG_MAIN_COMPELETEDPERCENT=%  fertig\n");                // malformed, both ways
  LoadLanguage(path);
  EXPECT_EQ(FormatLanguageText(IDS_MOTIONDETECTION_FreeSpace, {int64_t(7)}), ":Free Space  7 MB");
  EXPECT_EQ(FormatLanguageText(IDS_DEVICESETTING_TVTUNER_LABEL_CHANNELINFO, {2, 69}), "Channel: 2 To 69");
  EXPECT_EQ(FormatLanguageText(MSG_APPLICATION_BADFILE, {"a.bmp"}), "Datei a.bmp kaputt");
  EXPECT_EQ(FormatLanguageText(MSG_MAIN_COMPELETEDPERCENT, {50}), "%  fertig");
  String own = "%d of %d";
  EXPECT_EQ(FormatLanguageText(own, {1}), own) << "not a table text: the bare text";
}

TEST_F(LanguageLoaderTest, LanguageFilesListedSortedWithCaptions) {
  for (const char* name : {"english.ini", "Deutsch.ini", "chinese.gbk.ini", "readme.txt"})
    WriteLang(name, "[LANGRES]\n");
  std::filesystem::create_directories(exe_ + "Lang/folder.ini");
  auto files = ListLanguageFiles(LangFolder);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].FileName, "Deutsch.ini");
  EXPECT_EQ(files[1].FileName, "chinese.gbk.ini");
  EXPECT_EQ(files[1].Caption, "chinese");
  EXPECT_EQ(files[2].Caption, "english");
  EXPECT_TRUE(ListLanguageFiles(exe_ + "NoLang/").empty());

  EXPECT_EQ(LanguageFileOfCaption("&english"), "english.ini");
  EXPECT_EQ(LanguageFileOfCaption("chinese"), "chinese.ini") << "a two-dot file is looked for by its first part";
}

}  // namespace
