#pragma once
// The data folders: the storage root and the folder tree below it, the
// daily alarm folders, the queue and log folders beside the executable,
// free space, and the small path functions they share.
//
//   root/DV/Default/, root/TV/Default/, root/OtherDevices/Default/
//   root/AlarmImags/<date>/, root/AlarmVideos/<date>/
//   ExeFolder/SendMailtempFile/, ExeFolder/UploadTempFile/, ExeFolder/Log/
#include <cstdint>
#include <vector>

#include "app/Globals.h"
#include "platform/rtl/Types.h"

namespace app {

using rtl::String;
using rtl::TDateTime;

// `Path` with a trailing "/" (an empty path stays empty).
String IncludeBackslash(const String& Path);

// The drive number a path would have on a system with drive letters:
// "a" 1, "b" 2, "d" 4 ... "z" 26 by the first character ignoring case;
// "c", any other character and an empty text give 3. An empty `Path`
// stands for `StoragePath`. Kept for the alarm log and for files that
// record it; free space itself comes from the file system holding a path.
int32_t GetDriveNumber(const String& Path, const String& StoragePath);

// The data root of a new installation: the user's videos folder +
// "VorixVideoCapture/" when that folder exists, else the documents folder
// + "My Video/VorixVideoCapture/" when the documents folder exists, else
// `exeFolder`.
String FindDataRoot(const String& exeFolder);

// The three album roots and Default albums from `g.StoragePath`.
void FormRootFolders(TGlobalVarsFields& g);
// The alarm roots from `g.StoragePath`.
void FormAlarmRoots(TGlobalVarsFields& g);
// The alarm folders of the day: each alarm root + `dateStamp` + "/".
void FormTodayAlarmFolders(TGlobalVarsFields& g, const String& dateStamp);

// The local date as "year-month-day" without leading zeros, with
// "-hour-minute-second-milliseconds" appended when `WithTime` is set.
String DateStamp(bool WithTime);
String DateStampOf(TDateTime when, bool WithTime);

// Creates the missing album roots, Default albums and daily alarm folders
// (with their parents). The current albums are left alone. Answers false
// when one of them is still missing, with the first such folder and the
// system's reason in `failed` and `reason` when given.
bool CreateDataFolders(const TGlobalVarsFields& g, String* failed = nullptr, String* reason = nullptr);
// Creates `folder` with its missing parents; false with the reason (for
// example "Not a directory" where a file stands in the way) when it is
// still missing afterwards.
bool MakeFolder(const String& folder, String* reason);
// Rebuilds the mail and upload queues of `g` from the pictures left in
// "SendMailtempFile/" and "UploadTempFile/" beside the executable, oldest
// first, after what the queues already hold: pictures a stopped program
// had not yet sent or uploaded go out after a restart.
void RestoreAlarmQueues(TGlobalVars& g, const String& exeFolder);
// Creates `g.LogPath` when it is missing.
void CreateLogFolder(const TGlobalVarsFields& g);

// Free megabytes of the file system holding `path` (bytes div 1024 div
// 1024; 0 when it cannot be measured).
int64_t FreeSpaceMB(const String& path);

// Moves the data root below `Base` (ending with "/"): the root, the album
// roots and the alarm roots are formed again, the day's alarm folders with
// `dateStamp`, the folders created, the current albums reset to Default and
// the free space measured again. Returns false, changing nothing, when
// `Base` already is the root or is empty (a relative root would follow the
// working folder). Giving the capture component the mode's folder and
// refilling the album list are the main window's part. A folder that could
// not be created is named in `failed` with its reason; the root moves all
// the same, as at start-up.
bool ChangeStorageRootFolders(TGlobalVarsFields& g, const String& Base, const String& dateStamp,
                              String* failed = nullptr, String* reason = nullptr);

// The user's albums below an album root: its sub-folders except "Default",
// sorted by name. The album list shows "All", "Default" and then these, so
// a stored album index names the same album from one run to the next.
std::vector<String> ListAlbumFolders(const String& rootPath);

}  // namespace app
