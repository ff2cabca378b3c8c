#pragma once
// The language texts: one global text per caption, hint and message, each
// starting with its English text and replaced from the current language
// file ("Lang/<language>.ini", section LANGRES, "#13" for a line break).
// The variables are written on the GUI thread only.
#include <initializer_list>
#include <span>
#include <vector>

#include "app/ResStrList.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Types.h"

namespace app {

using rtl::String;

#define VORIX_DECLARE_TEXT(key, english) extern String key;
VORIX_LANGUAGE_TEXTS(VORIX_DECLARE_TEXT)
#undef VORIX_DECLARE_TEXT

// One row of the text table.
struct TLanguageText {
  const char* Key;
  String* Text;
  const char* English;
};

// Every row, in the order the loader reads them.
std::span<const TLanguageText> LanguageTexts();
// The row whose variable is `text` (compared by address), or nullptr.
const TLanguageText* FindLanguageText(const String& text);
// The row of `key`, ignoring case as INI lookup does, or nullptr.
const TLanguageText* FindLanguageKey(const String& key);

// Puts every variable back to its English text.
void RestoreEnglishTexts();

// Trims blanks and control characters from both ends, then turns every
// "#13" into CR LF.
String FixLineBreaks(const String& Text);

// Reads every key of section LANGRES of the file `Path` into its variable;
// a missing key leaves the variable's text (trimmed), a missing file
// changes nothing. Never raises.
void LoadLanguage(const String& Path);

// Formats a language text that holds "%d"/"%s" positions. A translation
// whose format does not fit the arguments (a wrong or missing specifier)
// would otherwise raise or misprint; the English text is used instead,
// and an English text that does not fit either gives the bare text.
String FormatLanguageText(const String& text, std::initializer_list<rtl::FormatArg> args);

// The text of "english.ini": section LANGRES with every key and its
// English text, a line break written as "#13".
String EnglishLanguageFileText();

// --- The language menu's data -------------------------------------------

struct TLanguageFile {
  String Caption;   // the file name up to its first "."
  String FileName;  // as found in the folder
};

// The "*.ini" files of `LangFolder`, sorted by name so the menu keeps one
// order whatever order the folder lists them in.
std::vector<TLanguageFile> ListLanguageFiles(const String& LangFolder);
// The file a menu caption stands for: the caption without "&", + ".ini".
String LanguageFileOfCaption(const String& Caption);

// --- Fixed English texts that no language file changes -----------------

extern const char* const VideoInputNames[10];  // crossbar video pins
extern const char* const AudioInputNames[10];  // crossbar audio pins
extern const char* const GraphPinNames[6];     // "video source" ... "audio capture"
extern const char* const TransportStateNames[16];
extern const char* const TEXT_NOT_IN_VCR_MODE;
extern const char* const TEXT_NOT_SUPPORTED;
extern const char* const TEXT_SELECT;  // hint of the album-folder button
extern const char* const TEXT_FOLDER_EXISTED;
extern const char* const TEXT_NEW_FOLDER;
extern const char* const TEXT_INPUT_FOLDER_NAME;

}  // namespace app
