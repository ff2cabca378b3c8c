#include "platform/rtl/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/rtl/Clock.h"
#include "platform/rtl/Exceptions.h"

namespace rtl {

String SysErrorMessage(int errorCode) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not be `buffer`.
  return String(strerror_r(errorCode, buffer, sizeof buffer));
}

namespace {

bool statPath(const String& path, struct stat& st) { return !path.empty() && ::stat(path.c_str(), &st) == 0; }

// Closes a descriptor on every way out.
class Fd {
public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

private:
  int fd_;
};

}  // namespace

bool FileExists(const String& fileName) {
  struct stat st {};
  return statPath(fileName, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const String& directory) {
  struct stat st {};
  return statPath(directory, st) && S_ISDIR(st.st_mode);
}

bool CreateDir(const String& dir) { return !dir.empty() && ::mkdir(dir.c_str(), 0777) == 0; }

bool ForceDirectories(const String& dir) {
  if (dir.empty()) throw EInOutError("Unable to create directory", ENOENT);
  const String path = ExcludeTrailingPathDelimiter(ExpandFileName(dir));
  if (path.empty() || DirectoryExists(path)) return true;
  const String parent = ExtractFileDir(path);
  if (parent != path && !ForceDirectories(parent)) return false;
  // Another process may have made it meanwhile; that is success too.
  return CreateDir(path) || DirectoryExists(path);
}

bool DeleteFile(const String& fileName) {
  struct stat st {};
  if (!fileName.empty() && ::lstat(fileName.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  return !fileName.empty() && ::unlink(fileName.c_str()) == 0;
}

bool RemoveDir(const String& dir) { return !dir.empty() && ::rmdir(dir.c_str()) == 0; }

bool CopyFile(const String& existingName, const String& newName, bool failIfExists) {
  Fd source(::open(existingName.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat from {};
  if (!source.ok() || ::fstat(source.get(), &from) != 0) return false;
  if (S_ISDIR(from.st_mode)) {
    errno = EISDIR;
    return false;
  }
  struct stat to {};
  const bool targetExists = statPath(newName, to);
  if (targetExists) {
    if (failIfExists) {
      errno = EEXIST;
      return false;
    }
    // Truncating the target would destroy the source.
    if (to.st_dev == from.st_dev && to.st_ino == from.st_ino) {
      errno = EBUSY;
      return false;
    }
    // A read-only file is not overwritten, even by a user who could.
    if ((to.st_mode & S_IWUSR) == 0) {
      errno = EACCES;
      return false;
    }
  }
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
  Fd target(::open(newName.c_str(), flags, from.st_mode & 07777));
  if (!target.ok()) return false;

  std::vector<char> buffer(256 * 1024);
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(source.get(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    ssize_t done = 0;
    while (done < n) {
      const ssize_t w = ::write(target.get(), buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  if (ok) {
    ::fchmod(target.get(), from.st_mode & 07777);
    const timespec times[2] = {from.st_atim, from.st_mtim};
    ::futimens(target.get(), times);
    return true;
  }
  // Leave no half copy behind.
  const int error = errno;
  ::unlink(newName.c_str());
  errno = error;
  return false;
}

bool MoveFile(const String& existingName, const String& newName) {
  if (existingName.empty() || newName.empty()) {
    errno = ENOENT;
    return false;
  }
  int result = ::renameat2(AT_FDCWD, existingName.c_str(), AT_FDCWD, newName.c_str(), RENAME_NOREPLACE);
  if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
    // File systems without the no-replace flag: check first, then rename.
    struct stat st {};
    if (::lstat(newName.c_str(), &st) == 0) {
      errno = EEXIST;
      return false;
    }
    result = ::rename(existingName.c_str(), newName.c_str());
  }
  if (result == 0) return true;
  if (errno != EXDEV) return false;
  struct stat st {};
  if (::lstat(existingName.c_str(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) {
    errno = EXDEV;
    return false;
  }
  if (!CopyFile(existingName, newName, true)) return false;
  if (::unlink(existingName.c_str()) != 0) {
    const int error = errno;
    ::unlink(newName.c_str());
    errno = error;
    return false;
  }
  return true;
}

bool RenameFile(const String& oldName, const String& newName) { return MoveFile(oldName, newName); }

bool DeleteFolderTree(const String& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (path.empty() || !fs::exists(fs::symlink_status(path, ec))) {
    errno = ENOENT;
    return false;
  }
  fs::remove_all(path, ec);
  if (ec) {
    errno = ec.value();
    return false;
  }
  return true;
}

bool AppendToFile(const String& fileName, const String& bytes) {
  Fd file(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
  if (!file.ok()) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

int64_t FileSize(const String& fileName) {
  struct stat st {};
  if (!statPath(fileName, st) || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

// --- Dates ---------------------------------------------------------------

namespace {

struct Civil {
  int year, month, day, hour, minute, second;
};

// The inverse of DaysFromCivil: days since 1970-01-01 to a calendar date.
void civilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

// Whole seconds, rounded to the nearest so 23:59:59.9996 does not become
// 23:59:59 on one side and the next day on the other.
Civil civilFromDateTime(TDateTime dt) {
  auto seconds = static_cast<int64_t>(std::llround(dt * 86400.0));
  int64_t days = seconds / 86400;
  int64_t secOfDay = seconds % 86400;
  if (secOfDay < 0) {
    secOfDay += 86400;
    --days;
  }
  Civil c{};
  civilFromDays(days - detail::kDateDelta, c.year, c.month, c.day);
  c.hour = static_cast<int>(secOfDay / 3600);
  c.minute = static_cast<int>(secOfDay / 60 % 60);
  c.second = static_cast<int>(secOfDay % 60);
  return c;
}

TDateTime dateTimeFromCivil(const Civil& c) {
  const int64_t days = detail::DaysFromCivil(c.year, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day)) +
                       detail::kDateDelta;
  return static_cast<double>(days) + ((c.hour * 60.0 + c.minute) * 60.0 + c.second) / 86400.0;
}

TDateTime dateTimeFromTimespec(const timespec& ts) {
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  return dateTimeFromCivil({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                            local.tm_sec});
}

int32_t fileDateFromTimespec(const timespec& ts) { return DateTimeToFileDate(dateTimeFromTimespec(ts)); }

int setModificationTime(const String& fileName, const Civil& c) {
  tm local{};
  local.tm_year = c.year - 1900;
  local.tm_mon = c.month - 1;
  local.tm_mday = c.day;
  local.tm_hour = c.hour;
  local.tm_min = c.minute;
  local.tm_sec = c.second;
  local.tm_isdst = -1;
  const time_t t = mktime(&local);
  const timespec times[2] = {{0, UTIME_OMIT}, {t, 0}};
  return ::utimensat(AT_FDCWD, fileName.c_str(), times, 0) == 0 ? 0 : errno;
}

}  // namespace

int32_t DateTimeToFileDate(TDateTime dateTime) {
  Civil c = civilFromDateTime(dateTime);
  if (c.year < 1980) c = {1980, 1, 1, 0, 0, 0};
  if (c.year > 2107) c = {2107, 12, 31, 23, 59, 58};
  const uint32_t date = static_cast<uint32_t>(((c.year - 1980) << 9) | (c.month << 5) | c.day);
  const uint32_t time = static_cast<uint32_t>((c.hour << 11) | (c.minute << 5) | (c.second / 2));
  return static_cast<int32_t>((date << 16) | time);
}

TDateTime FileDateToDateTime(int32_t fileDate) {
  const auto packed = static_cast<uint32_t>(fileDate);
  const Civil c{static_cast<int>(packed >> 25) + 1980, static_cast<int>((packed >> 21) & 15),
                static_cast<int>((packed >> 16) & 31), static_cast<int>((packed >> 11) & 31),
                static_cast<int>((packed >> 5) & 63), static_cast<int>(packed & 31) * 2};
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = c.year % 4 == 0 && (c.year % 100 != 0 || c.year % 400 == 0);
  if (c.month < 1 || c.month > 12 || c.day < 1 || c.day > kDays[c.month - 1] + (c.month == 2 && leap ? 1 : 0))
    throw EConvertError("Invalid argument to date encode");
  if (c.hour > 23 || c.minute > 59 || c.second > 59) throw EConvertError("Invalid argument to time encode");
  return dateTimeFromCivil(c);
}

int32_t FileAge(const String& fileName) {
  struct stat st {};
  if (!statPath(fileName, st) || S_ISDIR(st.st_mode)) return -1;
  return fileDateFromTimespec(st.st_mtim);
}

bool FileAge(const String& fileName, TDateTime& dateTime) {
  struct stat st {};
  if (!statPath(fileName, st) || S_ISDIR(st.st_mode)) return false;
  dateTime = dateTimeFromTimespec(st.st_mtim);
  return true;
}

int FileSetDate(const String& fileName, int32_t fileDate) {
  return FileSetDateTime(fileName, FileDateToDateTime(fileDate));
}

int FileSetDateTime(const String& fileName, TDateTime dateTime) {
  return setModificationTime(fileName, civilFromDateTime(dateTime));
}

// --- Current folder --------------------------------------------------------

String GetCurrentDir() {
  std::error_code ec;
  const auto path = std::filesystem::current_path(ec);
  return ec ? String() : path.string();
}

bool SetCurrentDir(const String& dir) { return !dir.empty() && ::chdir(dir.c_str()) == 0; }

String ExpandFileName(const String& fileName) { return ExpandFileNameFrom(fileName, GetCurrentDir()); }

// --- The directory search --------------------------------------------------

namespace detail {
struct FindState {
  String folder;  // with a trailing delimiter, or "" for the current folder
  std::vector<String> names;
  size_t next = 0;
};
}  // namespace detail

namespace {

int32_t attributesOf(const String& name, const struct stat& st) {
  int32_t attr = 0;
  if (S_ISDIR(st.st_mode))
    attr |= faDirectory;
  else if (S_ISREG(st.st_mode))
    attr |= faArchive;
  else
    attr |= faSysFile;
  if ((st.st_mode & S_IWUSR) == 0) attr |= faReadOnly;
  if (name.size() > 1 && name[0] == '.' && name != "..") attr |= faHidden;
  return attr;
}

}  // namespace

int32_t FileGetAttr(const String& fileName) {
  struct stat st {};
  if (!statPath(fileName, st)) return -1;
  return attributesOf(ExtractFileName(ExcludeTrailingPathDelimiter(fileName)), st);
}

namespace {

// Steps to the next entry that still exists and passes the attribute filter.
int findMatch(TSearchRec& f) {
  detail::FindState& state = *f.FindHandle;
  while (state.next < state.names.size()) {
    const String& name = state.names[state.next++];
    const String full = (state.folder.empty() ? String("./") : state.folder) + name;
    struct stat st {};
    // A dangling link still shows up, as the link itself.
    if (::stat(full.c_str(), &st) != 0 && ::lstat(full.c_str(), &st) != 0) continue;
    const int32_t attr = attributesOf(name, st);
    if ((attr & f.ExcludeAttr) != 0) continue;
    f.Name = name;
    f.Attr = attr;
    f.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
    f.TimeStamp = dateTimeFromTimespec(st.st_mtim);
    f.Time = DateTimeToFileDate(f.TimeStamp);
    return 0;
  }
  return kFindNoMoreFiles;
}

}  // namespace

int FindFirst(const String& path, int32_t attr, TSearchRec& f) {
  FindClose(f);
  auto state = std::make_shared<detail::FindState>();
  state->folder = ExtractFilePath(path);
  const String spec = ExtractFileName(path);
  DIR* dir = ::opendir(state->folder.empty() ? "." : state->folder.c_str());
  if (dir == nullptr) return kFindPathNotFound;
  std::vector<String> dots;
  while (const dirent* entry = ::readdir(dir)) {
    const String name = entry->d_name;
    if (!MatchesFileSpec(name, spec)) continue;
    (name == "." || name == ".." ? dots : state->names).push_back(name);
  }
  ::closedir(dir);
  std::sort(dots.begin(), dots.end());
  state->names.insert(state->names.begin(), dots.begin(), dots.end());

  f.ExcludeAttr = ~attr & (faHidden | faSysFile | faDirectory);
  f.FindHandle = std::move(state);
  if (findMatch(f) != 0) {
    FindClose(f);
    return kFindNoMatch;
  }
  return 0;
}

int FindNext(TSearchRec& f) {
  if (!f.FindHandle) return kFindNoMoreFiles;
  return findMatch(f);
}

void FindClose(TSearchRec& f) { f.FindHandle.reset(); }

// --- Names that ignore case ----------------------------------------------

namespace {

// The entry of `folder` named `part` ignoring case, or "" when none.
String findEntryIgnoringCase(const String& folder, const String& part) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return String();
  const String folded = FoldFileNameCase(part);
  String best;
  while (const dirent* entry = ::readdir(dir)) {
    const String name = entry->d_name;
    if (FoldFileNameCase(name) == folded && (best.empty() || name < best)) best = name;
  }
  ::closedir(dir);
  return best;
}

// Resolves `path` part by part; `exists` tells whether every part was found.
String resolveIgnoringCase(const String& path, bool& exists) {
  exists = false;
  if (path.empty()) return String();
  String resolved = path.front() == PathDelim ? String(1, PathDelim) : String();
  size_t i = resolved.size();
  bool found = true;
  while (i < path.size()) {
    size_t j = path.find(PathDelim, i);
    if (j == String::npos) j = path.size();
    const String part = path.substr(i, j - i);
    const String delimiter = j < path.size() ? String(1, PathDelim) : String();
    i = j + 1;
    if (part.empty()) continue;  // a repeated delimiter
    struct stat st {};
    if (!found || part == "." || part == ".." || ::lstat((resolved + part).c_str(), &st) == 0) {
      resolved += part + delimiter;
      continue;
    }
    const String match = findEntryIgnoringCase(resolved, part);
    found = !match.empty();
    resolved += (found ? match : part) + delimiter;
  }
  exists = found && (::access(resolved.c_str(), F_OK) == 0);
  return resolved;
}

}  // namespace

String FindFileIgnoringCase(const String& path) {
  bool exists = false;
  String resolved = resolveIgnoringCase(path, exists);
  return exists ? resolved : String();
}

String ResolvePathIgnoringCase(const String& path) {
  bool exists = false;
  return resolveIgnoringCase(path, exists);
}

// --- Disk space ------------------------------------------------------------

namespace {

std::mutex& settingsMutex() {
  static std::mutex mutex;
  return mutex;
}

DiskSpaceQuery& diskSpaceQuery() {
  static DiskSpaceQuery query;
  return query;
}

String& programFolderOverride() {
  static String folder;
  return folder;
}

// Runs `query` on `path` or, while it is missing, on its nearest parent: a
// folder not made yet counts on the file system that will hold it.
template <class Query>
bool queryNearestExisting(const String& path, Query query) {
  if (path.empty()) return false;
  String probe = ExpandFileName(path);
  for (;;) {
    if (query(probe)) return true;
    if ((errno != ENOENT && errno != ENOTDIR) || probe == "/") return false;
    probe = ExtractFileDir(ExcludeTrailingPathDelimiter(probe));
    if (probe.empty()) return false;
  }
}

bool statvfsQuery(const String& path, int64_t& freeBytes, int64_t& totalBytes) {
  return queryNearestExisting(path, [&](const String& probe) {
    struct statvfs vfs {};
    if (::statvfs(probe.c_str(), &vfs) != 0) return false;
    freeBytes = static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
    totalBytes = static_cast<int64_t>(vfs.f_blocks) * static_cast<int64_t>(vfs.f_frsize);
    return true;
  });
}

bool querySpace(const String& path, int64_t& freeBytes, int64_t& totalBytes) {
  DiskSpaceQuery query;
  {
    std::lock_guard lock(settingsMutex());
    query = diskSpaceQuery();
  }
  return query ? query(path, freeBytes, totalBytes) : statvfsQuery(path, freeBytes, totalBytes);
}

}  // namespace

int64_t DiskFree(const String& path) {
  int64_t freeBytes = 0, totalBytes = 0;
  return querySpace(path, freeBytes, totalBytes) ? freeBytes : -1;
}

int64_t DiskSize(const String& path) {
  int64_t freeBytes = 0, totalBytes = 0;
  return querySpace(path, freeBytes, totalBytes) ? totalBytes : -1;
}

void SetDiskSpaceQuery(DiskSpaceQuery query) {
  std::lock_guard lock(settingsMutex());
  diskSpaceQuery() = std::move(query);
}

TDriveKind DriveKindOfFileSystemType(int64_t fsType) {
  switch (static_cast<uint32_t>(fsType)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x5346414F:  // AFS
    case 0x00C36400:  // Ceph
    case 0x01021997:  // 9P
    case 0x47504653:  // GPFS
    case 0x013111A8:  // IBRIX
      return TDriveKind::Remote;
    case 0x9660:      // ISO 9660
    case 0x15013346:  // UDF
      return TDriveKind::CDRom;
    case 0x01021994:  // tmpfs
    case 0x858458F6:  // ramfs
      return TDriveKind::RamDisk;
    default:
      return TDriveKind::Fixed;
  }
}

TDriveKind DriveKindOf(const String& path) {
  int64_t type = 0;
  const bool ok = queryNearestExisting(path, [&](const String& probe) {
    struct statfs fs {};
    if (::statfs(probe.c_str(), &fs) != 0) return false;
    type = static_cast<int64_t>(fs.f_type);
    return true;
  });
  return ok ? DriveKindOfFileSystemType(type) : TDriveKind::NoRootDir;
}

// --- The program's own files ---------------------------------------------

namespace {

String executablePath() {
  std::error_code ec;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? String() : path.string();
}

}  // namespace

String ProgramFolder() {
  {
    std::lock_guard lock(settingsMutex());
    if (!programFolderOverride().empty()) return programFolderOverride();
  }
  return ExtractFilePath(executablePath());
}

String ProgramFileName() { return ProgramFolder() + ExtractFileName(executablePath()); }

void SetProgramFolder(const String& folder) {
  std::lock_guard lock(settingsMutex());
  programFolderOverride() = folder.empty() ? String() : IncludeTrailingPathDelimiter(folder);
}

}  // namespace rtl
