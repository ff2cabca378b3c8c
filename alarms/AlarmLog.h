#pragma once
// The alarm log: one block of text per alarm, appended to
// "Log/AlarmLogFile.txt" beside the executable, lines ending with CR LF.
// A block opens with a "begin" rule and closes with an "End" rule and lists
// the alarm's settings and the actions switched on.
#include "app/Globals.h"

namespace alarms {

using rtl::String;

// What happened at this alarm, besides the settings the record holds.
struct TAlarmLogFacts {
  // The alarm's date stamp with time.
  String TimeStamp;
  // The alarm picture written into the day's folder; empty when this alarm
  // wrote none (its interval had not come, or the write failed).
  String PicturePath;
  // The file name of the copy written into the upload queue; empty when
  // none was written.
  String UploadName;
};

// The block for `g`'s switches as they stand, lines joined by CR LF,
// without a line end after the last one.
String AlarmLogBlock(const app::TGlobalVarsFields& g, const TAlarmLogFacts& facts);

// Appends `block` and CR LF to `fileName`, making its folder and the file
// when they are missing. False, with the reason, when any step fails.
bool AppendAlarmLog(const String& fileName, const String& block, String* reason);

}  // namespace alarms
