#include "platform/shell/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"

namespace shell {

namespace {

using rtl::String;

String Parent(const String& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == String::npos) return ".";
  return slash == 0 ? String("/") : path.substr(0, slash);
}

String BaseName(const String& path) {
  const size_t slash = path.find_last_of('/');
  return slash == String::npos ? path : path.substr(slash + 1);
}

bool MakeDir(const String& dir, mode_t mode) {
  if (mkdir(dir.c_str(), mode) == 0) return true;
  struct stat st {};
  return errno == EEXIST && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirs(const String& dir, mode_t mode) {
  if (dir.empty() || dir == "/") return true;
  struct stat st {};
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  return MakeDirs(Parent(dir), mode) && MakeDir(dir, mode);
}

// The absolute form of `path` with "." and ".." and doubled slashes gone;
// the last name is kept as it is (it may be a symlink, which is trashed
// itself and not its target).
String Absolute(const String& path) {
  String full = path;
  if (full.empty() || full[0] != '/') {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return String();
    full = String(cwd) + "/" + full;
  }
  std::string out;
  size_t pos = 0;
  while (pos <= full.size()) {
    size_t end = full.find('/', pos);
    if (end == String::npos) end = full.size();
    const std::string part = full.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      const size_t slash = out.find_last_of('/');
      out.erase(slash == std::string::npos ? 0 : slash);
      continue;
    }
    out += "/" + part;
  }
  return out.empty() ? String("/") : out;
}

// The mount point holding `dir`: the highest folder above it on the same
// device.
String TopDirectory(const String& dir, dev_t device) {
  String top = dir;
  while (top != "/") {
    const String up = Parent(top);
    struct stat st {};
    if (stat(up.c_str(), &st) != 0 || st.st_dev != device) break;
    top = up;
  }
  return top;
}

String DeletionDate() {
  uint16_t y, mo, d, h, mi, s, ms;
  rtl::DecodeDateTime(rtl::Now(), y, mo, d, h, mi, s, ms);
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", y, mo, d, h, mi, s);
  return text;
}

// Puts `item` into the trash folder `trash` (holding files/ and info/),
// recording `infoPath` as where it came from.
TrashResult TrashInto(const String& trash, const String& item, const String& infoPath) {
  TrashResult r;
  const String files = trash + "/files", info = trash + "/info";
  if (!MakeDirs(files, 0700) || !MakeDirs(info, 0700)) {
    r.error = "cannot create the trash folder " + trash;
    return r;
  }
  const String base = BaseName(item);
  const size_t dot = base.find_last_of('.');
  const String stem = dot == String::npos || dot == 0 ? base : base.substr(0, dot);
  const String ext = dot == String::npos || dot == 0 ? String() : base.substr(dot);
  const String text =
      "[Trash Info]\nPath=" + TrashInfoPathEscape(infoPath) + "\nDeletionDate=" + DeletionDate() + "\n";
  // The info file is made first and exclusively: it claims the name, so
  // two programs trashing at once never pick the same one.
  for (int n = 1; n < 10000; ++n) {
    const String name = n == 1 ? base : stem + "." + std::to_string(n) + ext;
    const String infoFile = info + "/" + name + ".trashinfo";
    const int fd = open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      r.error = "cannot write " + infoFile + ": " + std::strerror(errno);
      return r;
    }
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const bool closed = close(fd) == 0;
    if (!written || !closed) {
      unlink(infoFile.c_str());
      r.error = "cannot write " + infoFile;
      return r;
    }
    const String target = files + "/" + name;
    struct stat st {};
    if (lstat(target.c_str(), &st) == 0) {  // a leftover without its info file
      unlink(infoFile.c_str());
      continue;
    }
    if (rename(item.c_str(), target.c_str()) != 0) {
      const int err = errno;
      unlink(infoFile.c_str());
      r.error = "cannot move " + item + " to the trash: " + std::strerror(err);
      return r;
    }
    r.ok = true;
    r.trashedAs = target;
    r.infoFile = infoFile;
    return r;
  }
  r.error = "no free name in the trash for " + base;
  return r;
}

}  // namespace

String TrashInfoPathEscape(const String& path) {
  static const char hex[] = "0123456789ABCDEF";
  String out;
  for (unsigned char c : path) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || std::strchr("/-_.~", c)) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return out;
}

String HomeTrashFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return Absolute(String(data) + "/Trash");
  const char* home = std::getenv("HOME");
  return Absolute(String(home && *home ? home : "/") + "/.local/share/Trash");
}

TrashResult MoveToTrash(const String& path) {
  TrashResult r;
  const String item = Absolute(path);
  struct stat st {};
  if (path.empty() || item == "/" || lstat(item.c_str(), &st) != 0) {
    r.error = "cannot find " + path;
    return r;
  }
  const String home = HomeTrashFolder();
  if (!MakeDirs(home, 0700)) {
    r.error = "cannot create the trash folder " + home;
    return r;
  }
  // The trash itself, or a folder holding it, is never trashed.
  if (home == item || home.compare(0, item.size() + 1, item + "/") == 0) {
    r.error = "cannot move the trash into itself";
    return r;
  }
  struct stat homeSt {}, parentSt {};
  if (stat(home.c_str(), &homeSt) != 0 || stat(Parent(item).c_str(), &parentSt) != 0) {
    r.error = "cannot read " + Parent(item);
    return r;
  }
  if (parentSt.st_dev == homeSt.st_dev) return TrashInto(home, item, item);
  // Another file system: its own trash at its top, with the path kept
  // relative to that top as file managers expect there.
  const String top = TopDirectory(Parent(item), parentSt.st_dev);
  const String trash = (top == "/" ? String() : top) + "/.Trash-" + std::to_string(getuid());
  const String relative = item.substr(top == "/" ? 1 : top.size() + 1);
  return TrashInto(trash, item, relative);
}

}  // namespace shell
