#include "app/DataFolders.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "alarms/AlarmQueues.h"
#include "alarms/AlarmWorkerHost.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/SpecialFolders.h"

namespace app {

namespace {

constexpr const char* kRootName = "VorixVideoCapture/";

// A user folder as the desktop names it, or "" when the user has none: the
// desktop reports an unset or disabled folder as the home folder.
String ConfiguredUserFolder(const String& folder) {
  if (folder.empty()) return String();
  if (rtl::ExcludeTrailingPathDelimiter(folder) == rtl::ExcludeTrailingPathDelimiter(rtl::HomeFolder()))
    return String();
  return IncludeBackslash(folder);
}

}  // namespace

String IncludeBackslash(const String& Path) {
  if (Path.empty() || Path.back() == '/') return Path;
  return Path + "/";
}

int32_t GetDriveNumber(const String& Path, const String& StoragePath) {
  const String& p = Path.empty() ? StoragePath : Path;
  if (p.empty()) return 3;
  char c = p[0];
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (c >= 'a' && c <= 'z') return c - 'a' + 1;
  return 3;
}

String FindDataRoot(const String& exeFolder) {
  String video = ConfiguredUserFolder(rtl::VideosFolder());
  if (!video.empty() && rtl::DirectoryExists(video)) return video + kRootName;
  String documents = ConfiguredUserFolder(rtl::DocumentsFolder());
  if (!documents.empty() && rtl::DirectoryExists(documents)) return documents + "My Video/" + kRootName;
  return IncludeBackslash(exeFolder);
}

void FormRootFolders(TGlobalVarsFields& g) {
  g.DVRootPath = g.StoragePath + "DV/";
  g.DVDefaultPath = g.DVRootPath + "Default/";
  g.TVRootPath = g.StoragePath + "TV/";
  g.TVDefaultPath = g.TVRootPath + "Default/";
  g.ODRootPath = g.StoragePath + "OtherDevices/";
  g.ODDefaultPath = g.ODRootPath + "Default/";
}

void FormAlarmRoots(TGlobalVarsFields& g) {
  g.AlarmPictureSavePath = g.StoragePath + "AlarmImags/";
  g.AlarmVideoSavePath = g.StoragePath + "AlarmVideos/";
}

void FormTodayAlarmFolders(TGlobalVarsFields& g, const String& dateStamp) {
  g.TodayAlarmPicturePath = g.AlarmPictureSavePath + dateStamp + "/";
  g.TodayAlarmVideoPath = g.AlarmVideoSavePath + dateStamp + "/";
}

String DateStampOf(TDateTime when, bool WithTime) {
  uint16_t y, m, d, h, n, s, ms;
  rtl::DecodeDateTime(when, y, m, d, h, n, s, ms);
  String out = rtl::Format("%d-%d-%d", {int(y), int(m), int(d)});
  if (WithTime) out += rtl::Format("-%d-%d-%d-%d", {int(h), int(n), int(s), int(ms)});
  return out;
}

String DateStamp(bool WithTime) { return DateStampOf(rtl::Now(), WithTime); }

bool MakeFolder(const String& folder, String* reason) {
  if (rtl::DirectoryExists(folder)) return true;
  errno = 0;
  bool made = false;
  try {
    made = rtl::ForceDirectories(folder);
  } catch (const std::exception&) {
  }
  if (made && rtl::DirectoryExists(folder)) return true;
  int err = errno;
  // mkdir says "File exists" when a file holds the name of a folder on the
  // way; name what is really wrong.
  for (String p = rtl::ExcludeTrailingPathDelimiter(folder); !p.empty() && p != "/";
       p = rtl::ExtractFileDir(p)) {
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) err = ENOTDIR;
      break;
    }
    if (rtl::ExtractFileDir(p) == p) break;
  }
  if (reason) *reason = err ? String(std::strerror(err)) : String("unknown error");
  return false;
}

bool CreateDataFolders(const TGlobalVarsFields& g, String* failed, String* reason) {
  const String* folders[] = {&g.DVRootPath,
                             &g.TVRootPath,
                             &g.ODRootPath,
                             &g.DVDefaultPath,
                             &g.TVDefaultPath,
                             &g.ODDefaultPath,
                             &g.TodayAlarmPicturePath,
                             &g.TodayAlarmVideoPath};
  bool ok = true;
  for (const String* folder : folders) {
    if (folder->empty()) continue;
    String why;
    if (!MakeFolder(*folder, &why) && ok) {
      ok = false;
      if (failed) *failed = *folder;
      if (reason) *reason = why;
    }
  }
  return ok;
}

void RestoreAlarmQueues(TGlobalVars& g, const String& exeFolder) {
  const String exe = IncludeBackslash(exeFolder);
  std::lock_guard lock(g.SharedLock);
  for (auto [list, folder] : {std::pair{&g.MailQueue, alarms::MailQueueFolder(exe)},
                              std::pair{&g.UploadQueue, alarms::UploadQueueFolder(exe)}}) {
    if (!*list) *list = std::make_unique<rtl::TStringList>();
    rtl::TStringList& queue = **list;
    for (const std::string& path : alarms::QueuedPictures(folder)) {
      bool queued = false;
      for (int32_t i = 0; i < queue.Count() && !queued; ++i) queued = queue.Get(i) == path;
      if (!queued) queue.Add(path);
    }
  }
}

void CreateLogFolder(const TGlobalVarsFields& g) {
  if (!g.LogPath.empty() && !rtl::DirectoryExists(g.LogPath)) rtl::ForceDirectories(g.LogPath);
}

int64_t FreeSpaceMB(const String& path) {
  int64_t bytes = rtl::DiskFree(path);
  return bytes / 1024 / 1024;
}

bool ChangeStorageRootFolders(TGlobalVarsFields& g, const String& Base, const String& dateStamp, String* failed,
                              String* reason) {
  if (Base.empty() || IncludeBackslash(Base) == g.StoragePath) return false;
  g.StoragePath = IncludeBackslash(Base) + kRootName;
  FormRootFolders(g);
  FormAlarmRoots(g);
  FormTodayAlarmFolders(g, dateStamp);
  CreateDataFolders(g, failed, reason);
  g.DV_Path = g.DVDefaultPath;
  g.TV_Path = g.TVDefaultPath;
  g.OD_Path = g.ODDefaultPath;
  g.DV_PathIndex = 0;
  g.TV_PathIndex = 0;
  g.OD_PathIndex = 0;
  g.FreeSpaceMB = FreeSpaceMB(g.StoragePath);
  return true;
}

std::vector<String> ListAlbumFolders(const String& rootPath) {
  std::vector<String> albums;
  rtl::TSearchRec f;
  if (rtl::FindFirst(IncludeBackslash(rootPath) + "*", rtl::faDirectory, f) == 0) {
    do {
      if ((f.Attr & rtl::faDirectory) == 0) continue;
      if (f.Name == "." || f.Name == ".." || f.Name == "Default") continue;
      albums.push_back(f.Name);
    } while (rtl::FindNext(f) == 0);
    rtl::FindClose(f);
  }
  std::sort(albums.begin(), albums.end());
  return albums;
}

}  // namespace app
