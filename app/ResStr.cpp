#include "app/ResStr.h"

#include <algorithm>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/IniFile.h"
#include "platform/rtl/StringUtils.h"

namespace app {

#define VORIX_DEFINE_TEXT(key, english) String key = english;
VORIX_LANGUAGE_TEXTS(VORIX_DEFINE_TEXT)
#undef VORIX_DEFINE_TEXT

namespace {

#define VORIX_TEXT_ROW(key, english) {#key, &key, english},
const TLanguageText kTexts[] = {VORIX_LANGUAGE_TEXTS(VORIX_TEXT_ROW)};
#undef VORIX_TEXT_ROW

constexpr const char* kSection = "LANGRES";

}  // namespace

std::span<const TLanguageText> LanguageTexts() { return kTexts; }

const TLanguageText* FindLanguageText(const String& text) {
  for (const auto& row : kTexts)
    if (row.Text == &text) return &row;
  return nullptr;
}

const TLanguageText* FindLanguageKey(const String& key) {
  for (const auto& row : kTexts)
    if (rtl::SameText(row.Key, key)) return &row;
  return nullptr;
}

void RestoreEnglishTexts() {
  for (const auto& row : kTexts) *row.Text = row.English;
}

String FixLineBreaks(const String& Text) { return rtl::ReplaceStr(rtl::Trim(Text), "#13", "\r\n"); }

void LoadLanguage(const String& Path) {
  if (!rtl::FileExists(Path)) return;
  try {
    rtl::TIniFile ini(Path);
    for (const auto& row : kTexts) *row.Text = FixLineBreaks(ini.ReadString(kSection, row.Key, *row.Text));
  } catch (const std::exception&) {
    // The texts read so far stay; the rest keep what they had.
  }
}

String FormatLanguageText(const String& text, std::initializer_list<rtl::FormatArg> args) {
  try {
    return rtl::Format(text, args);
  } catch (const rtl::EConvertError&) {
  }
  if (const TLanguageText* row = FindLanguageText(text)) {
    try {
      return rtl::Format(row->English, args);
    } catch (const rtl::EConvertError&) {
    }
  }
  return text;
}

String EnglishLanguageFileText() {
  String out = "[LANGRES]\n";
  for (const auto& row : kTexts) {
    String value = row.English;
    value = rtl::ReplaceStr(value, "\r\n", "#13");
    value = rtl::ReplaceStr(value, "\r", "#13");
    out += String(row.Key) + "=" + value + "\n";
  }
  return out;
}

std::vector<TLanguageFile> ListLanguageFiles(const String& LangFolder) {
  std::vector<TLanguageFile> files;
  rtl::TSearchRec f;
  if (rtl::FindFirst(rtl::IncludeTrailingPathDelimiter(LangFolder) + "*.ini", rtl::faAnyFile, f) == 0) {
    do {
      if ((f.Attr & rtl::faDirectory) != 0) continue;
      files.push_back({f.Name.substr(0, f.Name.find('.')), f.Name});
    } while (rtl::FindNext(f) == 0);
    rtl::FindClose(f);
  }
  std::sort(files.begin(), files.end(),
            [](const TLanguageFile& a, const TLanguageFile& b) { return a.FileName < b.FileName; });
  return files;
}

String LanguageFileOfCaption(const String& Caption) { return rtl::ReplaceStr(Caption, "&", "") + ".ini"; }

const char* const VideoInputNames[10] = {
    "Tuner",         "Composite",     "SVideo", "AUX",  "Serial Digital", "Parallel Digital",
    "Video Decoder", "Video Encoder", "SCART",  "black"};
const char* const AudioInputNames[10] = {"Audio Tuner",         "Audio Line",   "Audio Mic", "Audio AES Digital",
                                         "Audio SPDIF Digital", "Audio SCSI",   "Audio AUX", "Audio 1394",
                                         "Audio USB",           "Audio Decoder"};
const char* const GraphPinNames[6] = {"video source", "video preview", "video capture",
                                      "audio source", "audio render",  "audio capture"};
const char* const TransportStateNames[16] = {
    "play",          "stop", "freeze", "thaw",    "ff",          "rew",         "record",      "record freeze",
    "record strobe", "fwd",  "rev",    "shuttle", "fastest fwd", "slowest fwd", "fastest rev", "slowest rev"};
const char* const TEXT_NOT_IN_VCR_MODE = "not in VCR mode";
const char* const TEXT_NOT_SUPPORTED = "not supported";
const char* const TEXT_SELECT = "Select";
const char* const TEXT_FOLDER_EXISTED = "The folder name existed";
const char* const TEXT_NEW_FOLDER = "New folder";
const char* const TEXT_INPUT_FOLDER_NAME = "Please input new folder name";

}  // namespace app
