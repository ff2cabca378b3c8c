#include "platform/rtl/TempFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>

#include "platform/rtl/Exceptions.h"

namespace rtl {
namespace {

String withDelimiter(String folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::mutex& nameSourceMutex() {
  static std::mutex m;
  return m;
}
std::function<uint32_t()>& nameSource() {
  static std::function<uint32_t()> source;
  return source;
}

uint32_t nextRandom() {
  {
    std::lock_guard lock(nameSourceMutex());
    if (nameSource()) return nameSource()();
  }
  thread_local std::mt19937 engine{std::random_device{}()};
  return static_cast<uint32_t>(engine());
}

String hex(uint32_t value, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*X", digits, value);
  return buf;
}

// 0 when made; otherwise errno.
int createExclusive(const String& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

// True when `folder` is a real folder (no link) of ours that nobody else may
// enter; a folder of ours with a looser mode is tightened.
bool isPrivateFolder(String folder) {
  // A trailing "/" would make the kernel follow a final link after all.
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
  if (ok && (st.st_mode & 07777) != 0700) ok = ::fchmod(fd, 0700) == 0;
  ::close(fd);
  return ok;
}

struct TempPathCache {
  std::mutex mutex;
  String override;
  String base;      // the system folder the fallback was made in
  String fallback;  // a private folder made with a random suffix
};
TempPathCache& tempPathCache() {
  static TempPathCache cache;
  return cache;
}

}  // namespace

namespace detail {
void SetTempNameSource(std::function<uint32_t()> source) {
  std::lock_guard lock(nameSourceMutex());
  nameSource() = std::move(source);
}
}  // namespace detail

String SystemTempFolder() {
  if (const char* dir = std::getenv("TMPDIR"); dir && *dir) {
    struct stat st {};
    if (::stat(dir, &st) == 0 && S_ISDIR(st.st_mode)) return withDelimiter(dir);
  }
  return "/tmp/";
}

void SetTempPath(const String& folder) {
  auto& cache = tempPathCache();
  std::lock_guard lock(cache.mutex);
  cache.override = folder.empty() ? String() : withDelimiter(folder);
}

String GetTempPath() {
  auto& cache = tempPathCache();
  std::lock_guard lock(cache.mutex);
  if (!cache.override.empty()) return cache.override;
  const String base = SystemTempFolder();
  const String own = base + "vorix-" + std::to_string(::getuid()) + "/";
  // Checked on every call: a temp cleaner may have removed the folder.
  ::mkdir(own.c_str(), 0700);
  if (isPrivateFolder(own)) return own;
  if (cache.base == base && !cache.fallback.empty() && isPrivateFolder(cache.fallback)) {
    return cache.fallback;
  }
  String templ = base + "vorix-" + std::to_string(::getuid()) + "-XXXXXX";
  if (::mkdtemp(templ.data()) != nullptr) {
    cache.base = base;
    cache.fallback = templ + "/";
    return cache.fallback;
  }
  // Never the shared folder itself: callers clean up and name files there
  // as if the folder were theirs alone.
  return String();
}

String CreateTempFile(const String& folder, const String& prefix, const String& ext) {
  if (prefix.find('/') != String::npos || ext.find('/') != String::npos) {
    throw EArgumentError("Temporary file prefix and extension must not contain '/'");
  }
  const String dir = folder.empty() ? GetTempPath() : withDelimiter(folder);
  if (dir.empty()) {
    throw EInOutError("No private temporary folder can be made in " + SystemTempFolder(), EACCES);
  }
  // Four billion names: only a folder that is full of them, or planted by
  // someone guessing our draws, takes more than a handful of attempts.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const String path = dir + prefix + hex(nextRandom(), 8) + ext;
    const int err = createExclusive(path);
    if (err == 0) return path;
    if (err != EEXIST) {
      throw EInOutError("Cannot create a temporary file in " + dir + ": " + std::strerror(err), err);
    }
  }
  throw EInOutError("Cannot find a free temporary file name in " + dir, EEXIST);
}

uint32_t GetTempFileName(const String& pathName, const String& prefixString, uint32_t unique,
                         String& tempFileName) {
  tempFileName.clear();
  if (pathName.empty()) return 0;
  const String stem = withDelimiter(pathName) + prefixString.substr(0, 3);
  if (prefixString.substr(0, 3).find('/') != String::npos) return 0;
  if (unique != 0) {
    tempFileName = stem + hex(unique & 0xFFFF, 4) + ".tmp";
    return unique;
  }
  // Start anywhere and walk every 16-bit number once.
  const uint32_t start = nextRandom() % 0xFFFF;
  for (uint32_t i = 0; i < 0xFFFF; ++i) {
    const uint32_t number = (start + i) % 0xFFFF + 1;
    const String path = stem + hex(number, 4) + ".tmp";
    const int err = createExclusive(path);
    if (err == 0) {
      tempFileName = path;
      return number;
    }
    if (err != EEXIST) return 0;
  }
  return 0;
}

}  // namespace rtl
