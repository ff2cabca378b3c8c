#include "platform/shell/ShellNamespace.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/rtl/SpecialFolders.h"

namespace shell {

namespace {

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorInvalidParameter = 87;

const uint8_t* Bytes(const ITEMIDLIST* list) { return reinterpret_cast<const uint8_t*>(list); }
uint16_t Size(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// What a list stands for once the shortcuts are followed.
struct Meaning {
  enum Kind { Invalid, Desktop, MyComputer, Path } kind = Invalid;
  std::string path;
};

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() != '/') return folder + "/" + name;
  return folder + name;
}

Meaning MeaningOf(const std::vector<ShellItem>& items) {
  Meaning m;
  if (items.empty()) {
    m.kind = Meaning::Desktop;
    return m;
  }
  if (items[0].kind != kItemMyComputer) return m;
  if (items.size() == 1) {
    m.kind = Meaning::MyComputer;
    return m;
  }
  if (items[1].kind == kItemFileSystemRoot)
    m.path = "/";
  else if (items[1].kind == kItemUserFolder && !items[1].name.empty() && items[1].name[0] == '/')
    m.path = items[1].name;
  else
    return m;
  for (size_t i = 2; i < items.size(); ++i) {
    const std::string& n = items[i].name;
    if (items[i].kind != kItemName || n.empty() || n == "." || n == ".." || n.find('/') != std::string::npos)
      return m;
    m.path = JoinPath(m.path, n);
  }
  m.kind = Meaning::Path;
  return m;
}

std::vector<std::string> UserFolders() {
  std::vector<std::string> out;
  for (rtl::TUserFolder f : {rtl::TUserFolder::Desktop, rtl::TUserFolder::Documents, rtl::TUserFolder::Download,
                             rtl::TUserFolder::Music, rtl::TUserFolder::Pictures, rtl::TUserFolder::Videos,
                             rtl::TUserFolder::Templates}) {
    const std::string p = rtl::UserFolder(f);
    struct stat st{};
    if (p.empty() || p == "/" || stat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    if (std::find(out.begin(), out.end(), p) == out.end()) out.push_back(p);
  }
  return out;
}

bool IsFolderPath(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

ITEMIDLIST* OneItem(uint8_t kind, const std::string& name) { return EncodeIDList({ShellItem{kind, name}}); }

}  // namespace

void* ShellAlloc(size_t bytes) { return bytes ? std::calloc(1, bytes) : nullptr; }
void ShellFree(void* block) { std::free(block); }

std::vector<ShellItem> DecodeIDList(const ITEMIDLIST* list) {
  std::vector<ShellItem> items;
  if (!list) return items;
  for (const uint8_t* p = Bytes(list); Size(p) != 0; p += Size(p)) {
    const uint16_t n = Size(p);
    ShellItem item;
    if (n >= 3) {
      item.kind = p[2];
      item.name.assign(reinterpret_cast<const char*>(p + 3), n - 3);
    }
    items.push_back(std::move(item));
  }
  return items;
}

ITEMIDLIST* EncodeIDList(const std::vector<ShellItem>& items) {
  size_t total = 2;
  for (const ShellItem& item : items) {
    if (item.name.size() + 3 > 0xFFFF) return nullptr;
    total += item.name.size() + 3;
  }
  auto* out = static_cast<uint8_t*>(ShellAlloc(total));
  if (!out) return nullptr;
  uint8_t* p = out;
  for (const ShellItem& item : items) {
    const size_t n = item.name.size() + 3;
    p[0] = static_cast<uint8_t>(n & 0xFF);
    p[1] = static_cast<uint8_t>(n >> 8);
    p[2] = item.kind;
    std::memcpy(p + 3, item.name.data(), item.name.size());
    p += n;
  }
  return reinterpret_cast<ITEMIDLIST*>(out);
}

size_t IDListBytes(const ITEMIDLIST* list) {
  if (!list) return 0;
  size_t total = 0;
  for (const uint8_t* p = Bytes(list); Size(p) != 0; p += Size(p)) total += Size(p);
  return total + 2;
}

ITEMIDLIST* ParsePath(const std::string& path, uint32_t& error) {
  error = 0;
  if (path.empty() || path[0] != '/') {
    error = kErrorInvalidParameter;
    return nullptr;
  }
  struct stat st{};
  if (lstat(path.c_str(), &st) != 0) {
    // A missing last name in a folder that exists is a missing file;
    // anything else is a missing path, as the shell tells them apart.
    const size_t slash = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    error = (errno == ENOENT && IsFolderPath(parent)) ? kErrorFileNotFound : kErrorPathNotFound;
    return nullptr;
  }
  std::vector<ShellItem> items{{kItemMyComputer, ""}, {kItemFileSystemRoot, "/"}};
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (items.size() > 2) items.pop_back();
    } else if (!part.empty() && part != ".") {
      items.push_back({kItemName, part});
    }
    start = end + 1;
  }
  ITEMIDLIST* list = EncodeIDList(items);
  if (!list) error = kErrorInvalidParameter;
  return list;
}

std::string PathOfIDList(const ITEMIDLIST* list) {
  if (!list) return {};
  const Meaning m = MeaningOf(DecodeIDList(list));
  if (m.kind == Meaning::Desktop) return rtl::DesktopFolder();
  return m.kind == Meaning::Path ? m.path : std::string();
}

std::string DisplayNameOf(const ITEMIDLIST* list) {
  const std::vector<ShellItem> items = DecodeIDList(list);
  if (items.empty()) return "Desktop";
  const ShellItem& last = items.back();
  switch (last.kind) {
    case kItemMyComputer: return "My Computer";
    case kItemFileSystemRoot: return "/";
    case kItemUserFolder: {
      const size_t slash = last.name.find_last_of('/');
      return slash == std::string::npos ? last.name : last.name.substr(slash + 1);
    }
    default: return last.name;
  }
}

uint32_t AttributesOf(const ITEMIDLIST* list) {
  const Meaning m = MeaningOf(DecodeIDList(list));
  switch (m.kind) {
    case Meaning::Invalid: return 0;
    case Meaning::Desktop: return SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER;
    case Meaning::MyComputer: return SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER;
    case Meaning::Path: break;
  }
  struct stat link{};
  if (lstat(m.path.c_str(), &link) != 0) return 0;
  uint32_t attributes = SFGAO_FILESYSTEM;
  if (S_ISLNK(link.st_mode)) attributes |= SFGAO_LINK;
  // A link to a folder is a folder; a broken or looping link is a file.
  if (IsFolderPath(m.path)) attributes |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER;
  return attributes;
}

int CompareIDLists(const ITEMIDLIST* a, const ITEMIDLIST* b) {
  const Meaning ma = MeaningOf(DecodeIDList(a));
  const Meaning mb = MeaningOf(DecodeIDList(b));
  if (ma.kind != mb.kind) return ma.kind < mb.kind ? -1 : 1;
  if (ma.kind == Meaning::Invalid) {
    // Malformed lists are told apart by their bytes.
    const size_t na = IDListBytes(a), nb = IDListBytes(b);
    if (na != nb) return na < nb ? -1 : 1;
    const int c = na ? std::memcmp(a, b, na) : 0;
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  const int c = ma.path.compare(mb.path);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool EnumChildren(const ITEMIDLIST* folder, uint32_t flags, std::vector<ITEMIDLIST*>& children) {
  children.clear();
  const Meaning m = MeaningOf(DecodeIDList(folder));
  const bool folders = flags & SHCONTF_FOLDERS, others = flags & SHCONTF_NONFOLDERS;
  switch (m.kind) {
    case Meaning::Invalid: return false;
    case Meaning::Desktop:
      if (folders) children.push_back(OneItem(kItemMyComputer, ""));
      return true;
    case Meaning::MyComputer:
      if (folders) {
        children.push_back(OneItem(kItemFileSystemRoot, "/"));
        for (const std::string& p : UserFolders()) children.push_back(OneItem(kItemUserFolder, p));
      }
      return true;
    case Meaning::Path: break;
  }
  DIR* dir = opendir(m.path.c_str());
  if (!dir) return false;
  std::vector<std::pair<bool, std::string>> names;
  while (dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (name[0] == '.' && !(flags & SHCONTF_INCLUDEHIDDEN)) continue;
    const bool isFolder = IsFolderPath(JoinPath(m.path, name));
    if (isFolder ? folders : others) names.emplace_back(!isFolder, name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const auto& [notFolder, name] : names) children.push_back(OneItem(kItemName, name));
  return true;
}

std::string SymlinkTarget(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  struct stat st{};
  if (p.empty() || lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {};
  std::string target(4096, '\0');
  const ssize_t n = readlink(p.c_str(), target.data(), target.size());
  if (n <= 0 || static_cast<size_t>(n) >= target.size()) return {};
  target.resize(static_cast<size_t>(n));
  if (target[0] == '/') return target;
  const size_t slash = p.find_last_of('/');
  return JoinPath(slash == 0 ? "/" : p.substr(0, slash), target);
}

}  // namespace shell
