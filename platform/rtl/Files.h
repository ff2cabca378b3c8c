#pragma once
// Files and folders on the file system: existence tests, creating, deleting,
// renaming and copying, sizes and dates, the directory search, a lookup that
// ignores case, free space, the program's own folder.
//
// Routines that report success return false on failure and leave errno set;
// SysErrorMessage(errno) gives the reason as text. Renaming and copying keep
// the rules callers grew up with: the target must not exist for RenameFile
// and MoveFile, CopyFile refuses a read-only target and never copies a file
// onto itself.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Types.h"

namespace rtl {

String SysErrorMessage(int errorCode);

bool FileExists(const String& fileName);        // any existing non-folder
bool DirectoryExists(const String& directory);
bool CreateDir(const String& dir);
// Creates the folder and every missing parent. An empty name raises
// EInOutError; an existing folder is success.
bool ForceDirectories(const String& dir);
bool DeleteFile(const String& fileName);        // not for folders
bool RemoveDir(const String& dir);               // empty folders only
// Fails when `newName` exists. Across file systems a file is copied and the
// original deleted; a folder is not moved.
bool RenameFile(const String& oldName, const String& newName);
bool MoveFile(const String& existingName, const String& newName);
// Copies contents, permissions and modification time.
bool CopyFile(const String& existingName, const String& newName, bool failIfExists);
// Removes a folder with everything below it (links are removed, not
// followed). False when the path did not exist or something stayed.
bool DeleteFolderTree(const String& path);

// Appends `bytes` at the end of the file, creating it (mode 0666 less the
// umask) when missing. Each call is one append, so lines written by several
// threads or processes never interleave within a call.
bool AppendToFile(const String& fileName, const String& bytes);

// Size in bytes; -1 when the file does not exist or is a folder.
int64_t FileSize(const String& fileName);

// Packed local date and time as the directory search reports it: bits 25-31
// the year from 1980, 21-24 month, 16-20 day, 11-15 hour, 5-10 minute, 0-4
// seconds / 2. Dates outside 1980-2107 are clamped.
int32_t DateTimeToFileDate(TDateTime dateTime);
// Raises EConvertError for a value that is no date, such as -1.
TDateTime FileDateToDateTime(int32_t fileDate);
// The file's modification time as a packed date, -1 when it does not exist.
int32_t FileAge(const String& fileName);
// The modification time as local TDateTime; false when the file is missing.
bool FileAge(const String& fileName, TDateTime& dateTime);
// Sets the modification time; returns 0 or an errno value.
int FileSetDate(const String& fileName, int32_t fileDate);
int FileSetDateTime(const String& fileName, TDateTime dateTime);

String GetCurrentDir();
bool SetCurrentDir(const String& dir);
// Absolute form of `fileName` relative to the current folder.
String ExpandFileName(const String& fileName);

// --- The directory search ------------------------------------------------

inline constexpr int32_t faReadOnly = 0x01;   // no write permission for the owner
inline constexpr int32_t faHidden = 0x02;     // name starts with '.'
inline constexpr int32_t faSysFile = 0x04;    // device, pipe or socket
inline constexpr int32_t faVolumeID = 0x08;
inline constexpr int32_t faDirectory = 0x10;
inline constexpr int32_t faArchive = 0x20;    // every regular file
inline constexpr int32_t faAnyFile = 0x3F;

// The attributes the directory search would report for the file or folder,
// or -1 when it does not exist.
int32_t FileGetAttr(const String& fileName);

// FindFirst's results besides 0 (found).
inline constexpr int kFindNoMatch = 2;        // the folder exists, nothing matches
inline constexpr int kFindPathNotFound = 3;   // the folder is missing or unreadable
inline constexpr int kFindNoMoreFiles = 18;   // FindNext ran past the last match

namespace detail {
struct FindState;
}

struct TSearchRec {
  int32_t Time = 0;        // packed date, see FileDateToDateTime
  int64_t Size = 0;
  int32_t Attr = 0;
  String Name;
  int32_t ExcludeAttr = 0;
  TDateTime TimeStamp = 0;  // the same moment, unpacked and to the second
  std::shared_ptr<detail::FindState> FindHandle;
};

// Searches "folder/spec" (spec in MatchesFileSpec's wildcards) for entries
// whose hidden, system and folder attributes are all included in `attr`;
// plain files always qualify. Entries come in the file system's order, "."
// and ".." first. Returns 0 and fills `f`, or one of the codes above.
int FindFirst(const String& path, int32_t attr, TSearchRec& f);
int FindNext(TSearchRec& f);
void FindClose(TSearchRec& f);

// --- Names that ignore case ----------------------------------------------

// Resolves each part of `path` against the names on disk, ignoring case
// where no exact name exists (of several candidates the smallest in byte
// order wins). Returns the path as found, or "" when it does not exist.
String FindFileIgnoringCase(const String& path);
// The same resolution, but parts that do not exist are kept as written, so
// a new file lands in the existing folder whatever case the caller used.
String ResolvePathIgnoringCase(const String& path);

// --- Space on the file system holding a path -----------------------------

// Bytes free for this user and total bytes of the file system that holds
// `path` (or its nearest existing parent); -1 when the query fails.
int64_t DiskFree(const String& path);
int64_t DiskSize(const String& path);
// Replaces the query (tests simulate a full disk); nullptr restores statvfs.
using DiskSpaceQuery = std::function<bool(const String& path, int64_t& freeBytes, int64_t& totalBytes)>;
void SetDiskSpaceQuery(DiskSpaceQuery query);

// The kind of storage holding a path, numbered as drive types are.
// Removable media cannot be told from fixed disks by the file system alone
// and count as fixed.
enum class TDriveKind : uint32_t {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CDRom = 5,
  RamDisk = 6,
};
// From the file system holding `path` (or its nearest existing parent);
// NoRootDir for an empty path or a failed query.
TDriveKind DriveKindOf(const String& path);
// The kind for a file-system magic number as statfs reports it.
TDriveKind DriveKindOfFileSystemType(int64_t fsType);

// --- The program's own files ---------------------------------------------

// The folder of the running executable, with a trailing '/'.
String ProgramFolder();
// ProgramFolder() plus the executable's name.
String ProgramFileName();
// Makes ProgramFolder() answer `folder` (tests lay out a program tree in a
// temporary folder); an empty folder restores the real one.
void SetProgramFolder(const String& folder);

}  // namespace rtl
