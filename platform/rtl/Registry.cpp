#include "platform/rtl/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/IniFile.h"
#include "platform/rtl/SpecialFolders.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/Text.h"

namespace rtl {

namespace {

// ------------------------------------------------------------ the key tree

struct RegValue {
  String name;
  uint32_t kind = REG_NONE;
  std::string data;
};

struct RegKey {
  String name;
  std::vector<RegValue> values;
  std::map<String, std::unique_ptr<RegKey>> subkeys;  // by upper-cased name

  const RegKey* Sub(const String& n) const {
    auto it = subkeys.find(AnsiUpperCase(n));
    return it == subkeys.end() ? nullptr : it->second.get();
  }
  RegKey* Sub(const String& n) { return const_cast<RegKey*>(std::as_const(*this).Sub(n)); }
  RegKey* SubOrNew(const String& n) {
    auto& slot = subkeys[AnsiUpperCase(n)];
    if (!slot) {
      slot = std::make_unique<RegKey>();
      slot->name = n;
    }
    return slot.get();
  }
  const RegValue* Value(const String& n) const {
    for (const RegValue& v : values)
      if (AnsiSameText(v.name, n)) return &v;
    return nullptr;
  }
};

const RegKey* FindKey(const RegKey& root, const std::vector<String>& path) {
  const RegKey* k = &root;
  for (const String& n : path)
    if (!(k = k->Sub(n))) return nullptr;
  return k;
}

RegKey* FindKey(RegKey& root, const std::vector<String>& path) {
  return const_cast<RegKey*>(FindKey(std::as_const(root), path));
}

// ------------------------------------------------------------ the file form

constexpr char kHex[] = "0123456789abcdef";

// Names and strings are UTF-8 in the file whatever the ANSI code page is.
std::string ToFileText(const String& s) { return GetAnsiCodePage() == CP_UTF8 ? s : AnsiToUtf8(s); }
String FromFileText(const std::string& s) { return GetAnsiCodePage() == CP_UTF8 ? s : Utf8ToAnsi(s); }

// "%XX" for the bytes that would break a line or the syntax around them.
std::string Escape(const std::string& s, std::string_view special, bool escapeFirst = false) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    auto b = static_cast<unsigned char>(s[i]);
    bool first = escapeFirst && i == 0 && (b == ';' || b == '[' || b == ' ');
    if (b < 0x20 || b == 0x7F || b == '%' || special.find(static_cast<char>(b)) != std::string_view::npos || first) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescape(std::string_view s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    int hi = i + 1 < s.size() ? HexDigit(s[i + 1]) : -1;
    int lo = i + 2 < s.size() ? HexDigit(s[i + 2]) : -1;
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

std::string ToHex(const std::string& data) {
  std::string out;
  for (unsigned char b : data) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

bool FromHex(std::string_view s, std::string& out) {
  if (s.size() % 2) return false;
  out.clear();
  for (size_t i = 0; i < s.size(); i += 2) {
    int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

std::string DwordBytes(uint32_t v) {
  std::string d(4, '\0');
  for (int i = 0; i < 4; ++i) d[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return d;
}

uint32_t DwordOf(const std::string& d) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(d[static_cast<size_t>(i)]);
  return v;
}

void WriteKey(const RegKey& key, const std::string& path, bool isRoot, std::string& out) {
  if (!isRoot || !key.values.empty()) out += "[" + path + "]\n";
  for (const RegValue& v : key.values) {
    out += Escape(ToFileText(v.name), "=", true) + '=';
    switch (v.kind) {
      case REG_SZ: out += "sz:" + Escape(ToFileText(v.data), ""); break;
      case REG_EXPAND_SZ: out += "expand:" + Escape(ToFileText(v.data), ""); break;
      case REG_BINARY: out += "hex:" + ToHex(v.data); break;
      default:
        if (v.kind == REG_DWORD && v.data.size() == 4) {
          char buf[9];
          std::snprintf(buf, sizeof buf, "%08x", DwordOf(v.data));
          out += "dword:";
          out += buf;
        } else {
          out += "hex(" + std::to_string(v.kind) + "):" + ToHex(v.data);
        }
    }
    out += '\n';
  }
  for (const auto& [folded, sub] : key.subkeys) {
    std::string name = Escape(ToFileText(sub->name), "[]\\");
    WriteKey(*sub, isRoot ? name : path + '\\' + name, false, out);
  }
}

std::string Serialize(const RegKey& root, HKEY hkey) {
  std::string out = "; Vorix registry store, root key " + std::to_string(hkey) + "\n";
  WriteKey(root, std::string(), true, out);
  return out;
}

bool ParseValue(std::string_view line, RegValue& v) {
  auto eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  std::string name, data;
  if (!Unescape(line.substr(0, eq), name)) return false;
  std::string_view rest = line.substr(eq + 1);
  auto colon = rest.find(':');
  if (colon == std::string_view::npos) return false;
  std::string_view kind = rest.substr(0, colon), text = rest.substr(colon + 1);
  v.name = FromFileText(name);
  if (kind == "sz" || kind == "expand") {
    if (!Unescape(text, data)) return false;
    v.kind = kind == "sz" ? REG_SZ : REG_EXPAND_SZ;
    v.data = FromFileText(data);
  } else if (kind == "dword") {
    if (text.size() != 8 || !FromHex(text, data)) return false;
    v.kind = REG_DWORD;
    v.data = DwordBytes(static_cast<uint32_t>(std::stoul(std::string(text), nullptr, 16)));
  } else if (kind == "hex") {
    if (!FromHex(text, v.data)) return false;
    v.kind = REG_BINARY;
  } else if (kind.size() > 5 && kind.substr(0, 4) == "hex(" && kind.back() == ')') {
    std::string number(kind.substr(4, kind.size() - 5));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos || number.size() > 9)
      return false;
    if (!FromHex(text, v.data)) return false;
    v.kind = static_cast<uint32_t>(std::stoul(number));
  } else {
    return false;
  }
  return true;
}

// Lines that do not parse are skipped: a damaged line costs that value, not
// the whole tree.
void Parse(const std::string& text, RegKey& root) {
  root.values.clear();
  root.subkeys.clear();
  RegKey* current = nullptr;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[' && line.back() == ']') {
      current = &root;
      std::string_view inner = line.substr(1, line.size() - 2);
      size_t p = 0;
      while (current && p <= inner.size()) {
        size_t q = inner.find('\\', p);
        if (q == std::string_view::npos) q = inner.size();
        std::string name;
        if (q > p) current = Unescape(inner.substr(p, q - p), name) ? current->SubOrNew(FromFileText(name)) : nullptr;
        p = q + 1;
      }
      continue;
    }
    RegValue v;
    if (current && ParseValue(line, v) && !current->Value(v.name)) current->values.push_back(std::move(v));
  }
}

// ------------------------------------------------------------ the store

String DefaultFolder() { return ConfigFolder() + "/vorix"; }

String RootName(HKEY root) {
  switch (root) {
    case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER: return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS: return "HKEY_USERS";
    case HKEY_CURRENT_CONFIG: return "HKEY_CURRENT_CONFIG";
    default: return "HKEY_" + IntToHex(root, 8);
  }
}

// Holds one root's file as last read. Reads compare the file's bytes with
// the copy that was parsed and parse again only when they differ, so a
// change by another process is seen at once however quickly it came.
class Hive {
public:
  Hive(String fileName, HKEY root) : fileName_(std::move(fileName)), root_(root) {}

  template <typename F>
  auto Read(F&& f) {
    std::lock_guard<std::mutex> guard(mutex_);
    Refresh();
    return f(static_cast<const RegKey&>(tree_));
  }

  enum Outcome { kUnchanged, kChanged, kRefused };

  // Runs `f` on the tree as the file holds it, under the file's lock, and
  // writes the tree back when `f` changed it. False when `f` refused or the
  // change could not be saved.
  template <typename F>
  bool Modify(bool durable, F&& f) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto slash = fileName_.rfind('/');
    ForceDirectories(fileName_.substr(0, slash));
    int lock = ::open((fileName_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0) return false;
    while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
    }
    bool ok = false;
    if (Refresh()) {
      Outcome outcome = f(tree_);
      ok = outcome != kRefused;
      if (outcome == kChanged) {
        std::string bytes = Serialize(tree_, root_);
        if (detail::ReplaceFileContents(fileName_, bytes, 0600, durable) == 0) {
          bytes_ = std::move(bytes);
        } else {
          ok = false;
          valid_ = false;  // the tree holds a change the file lacks
        }
      }
    }
    ::close(lock);
    return ok;
  }

private:
  // Brings the tree up to the file. False when the file exists but cannot be
  // read: writing then would throw away what it holds.
  bool Refresh() {
    std::string bytes;
    int fd = ::open(fileName_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno != ENOENT) return false;
    if (fd >= 0) {
      char buf[65536];
      for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
          ::close(fd);
          return false;
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<size_t>(n));
      }
      ::close(fd);
    }
    // The tree holds names in the ANSI code page it was parsed under.
    if (valid_ && bytes == bytes_ && codePage_ == GetAnsiCodePage()) return true;
    Parse(bytes, tree_);
    bytes_ = std::move(bytes);
    codePage_ = GetAnsiCodePage();
    valid_ = true;
    return true;
  }

  std::mutex mutex_;
  String fileName_;
  HKEY root_;
  RegKey tree_;
  std::string bytes_;
  uint32_t codePage_ = 0;
  bool valid_ = false;
};

struct Store {
  std::mutex mutex;
  std::map<HKEY, String> folders;
  std::map<String, std::shared_ptr<Hive>> hives;
};

Store& TheStore() {
  static Store store;
  return store;
}

std::shared_ptr<Hive> HiveOf(HKEY root) {
  String file = RegistryFileName(root);
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  auto& hive = s.hives[file];
  if (!hive) hive = std::make_shared<Hive>(file, root);
  return hive;
}

std::vector<String> SplitPath(const String& key) {
  std::vector<String> parts;
  size_t p = 0;
  while (p <= key.size()) {
    size_t q = key.find('\\', p);
    if (q == String::npos) q = key.size();
    if (q > p) parts.push_back(key.substr(p, q - p));
    p = q + 1;
  }
  return parts;
}

[[noreturn]] void ReadError(const String& name) { throw ERegistryException("Invalid data type for '" + name + "'"); }
[[noreturn]] void GetDataError(const String& name) { throw ERegistryException("Failed to get data for '" + name + "'"); }
[[noreturn]] void SetDataError(const String& name) { throw ERegistryException("Failed to set data for '" + name + "'"); }

TRegDataType DataTypeOf(uint32_t kind) {
  switch (kind) {
    case REG_SZ: return rdString;
    case REG_EXPAND_SZ: return rdExpandString;
    case REG_DWORD: return rdInteger;
    case REG_BINARY: return rdBinary;
    default: return rdUnknown;
  }
}

}  // namespace

// ------------------------------------------------------------ folders

void SetRegistryFolder(HKEY root, const String& folder) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (folder.empty()) {
    s.folders.erase(root);
  } else {
    s.folders[root] = folder;
  }
}

String RegistryFolder(HKEY root) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> guard(s.mutex);
  auto it = s.folders.find(root);
  if (it != s.folders.end()) return it->second;
  // The local machine (and every other shared root) falls back to the folder
  // the current user's root was moved to, then to the default.
  it = s.folders.find(HKEY_CURRENT_USER);
  if (root != HKEY_CURRENT_USER && it != s.folders.end()) return it->second;
  return DefaultFolder();
}

String RegistryFileName(HKEY root) {
  String folder = RegistryFolder(root);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder + "/" + RootName(root) + ".reg";
}

// ------------------------------------------------------------ TRegistry

TRegistry::TRegistry() = default;

TRegistry::TRegistry(uint32_t access) : access_(access) {}

TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(HKEY root) {
  CloseKey();
  rootKey_ = root;
}

String TRegistry::CurrentPath() const {
  String out;
  for (const String& p : path_) out += (out.empty() ? "" : "\\") + p;
  return out;
}

std::vector<String> TRegistry::Resolve(const String& key) const {
  std::vector<String> parts = (!key.empty() && key[0] == '\\') || !open_ ? std::vector<String>() : path_;
  for (String& p : SplitPath(key)) parts.push_back(std::move(p));
  return parts;
}

namespace {

// The path with the spelling the stored keys have.
std::vector<String> StoredSpelling(const RegKey& root, const std::vector<String>& path) {
  std::vector<String> out;
  const RegKey* k = &root;
  for (const String& n : path) {
    k = k ? k->Sub(n) : nullptr;
    out.push_back(k ? k->name : n);
  }
  return out;
}

// The user's shell-folder key answers from the XDG folders for every value
// not stored in it, so the folders the desktop configures are the ones the
// program finds. The key (and the keys above it) exist even when nothing
// was ever stored there.
const std::vector<String>& ShellFoldersKey() {
  static const std::vector<String> path = {"Software", "Microsoft", "Windows", "CurrentVersion", "Explorer",
                                           "Shell Folders"};
  return path;
}

const char* const kShellFolderValues[] = {"Desktop",   "Personal", "My Pictures",   "My Music", "My Video",
                                          "Templates", "AppData",  "Local AppData", "Cache"};

// 0: not on the shell-folder path; 1: the key above it; 2: the key itself.
int ShellFoldersMatch(HKEY root, const std::vector<String>& path) {
  const auto& key = ShellFoldersKey();
  if (root != HKEY_CURRENT_USER || path.size() > key.size()) return 0;
  for (size_t i = 0; i < path.size(); ++i)
    if (!AnsiSameText(path[i], key[i])) return 0;
  return path.size() == key.size() ? 2 : 1;
}

}  // namespace

bool TRegistry::OpenKey(const String& key, bool canCreate) {
  std::vector<String> path = Resolve(key);
  auto hive = HiveOf(rootKey_);
  std::vector<String> spelled;
  bool ok = hive->Read([&](const RegKey& root) {
    if (!FindKey(root, path)) return false;
    spelled = StoredSpelling(root, path);
    return true;
  });
  if (!ok && !canCreate && ShellFoldersMatch(rootKey_, path) != 0) {
    ok = true;
    spelled.assign(ShellFoldersKey().begin(), ShellFoldersKey().begin() + static_cast<std::ptrdiff_t>(path.size()));
  }
  if (!ok && canCreate && (access_ & KEY_CREATE_SUB_KEY) == KEY_CREATE_SUB_KEY) {
    ok = hive->Modify(!lazyWrite_, [&](RegKey& root) {
      RegKey* k = &root;
      bool made = false;
      for (const String& n : path) {
        made = made || !k->Sub(n);
        k = k->SubOrNew(n);
      }
      spelled = StoredSpelling(root, path);
      return made ? Hive::kChanged : Hive::kUnchanged;
    });
  }
  if (!ok) return false;
  open_ = true;
  openAccess_ = access_;
  path_ = std::move(spelled);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const String& key) {
  uint32_t saved = access_;
  access_ = KEY_READ;
  if (OpenKey(key, false)) return true;
  access_ = saved;
  return false;
}

bool TRegistry::CreateKey(const String& key) {
  std::vector<String> path = Resolve(key);
  bool ok = path.empty() || HiveOf(rootKey_)->Modify(!lazyWrite_, [&](RegKey& root) {
    RegKey* k = &root;
    bool made = false;
    for (const String& n : path) {
      made = made || !k->Sub(n);
      k = k->SubOrNew(n);
    }
    return made ? Hive::kChanged : Hive::kUnchanged;
  });
  if (!ok) throw ERegistryException("Failed to create key " + key);
  return true;
}

bool TRegistry::DeleteKey(const String& key) {
  std::vector<String> path = Resolve(key);
  if (path.empty()) return false;
  return HiveOf(rootKey_)->Modify(!lazyWrite_, [&](RegKey& root) {
    String last = path.back();
    path.pop_back();
    RegKey* parent = FindKey(root, path);
    if (!parent || !parent->subkeys.erase(AnsiUpperCase(last))) return Hive::kRefused;
    return Hive::kChanged;
  });
}

bool TRegistry::KeyExists(const String& key) const {
  std::vector<String> path = Resolve(key);
  return ShellFoldersMatch(rootKey_, path) != 0 ||
         HiveOf(rootKey_)->Read([&](const RegKey& root) { return FindKey(root, path) != nullptr; });
}

void TRegistry::CloseKey() {
  open_ = false;
  path_.clear();
}

bool TRegistry::Lookup(const String& name, uint32_t& kind, std::string& data) const {
  if (!open_) return false;
  bool found = HiveOf(rootKey_)->Read([&](const RegKey& root) {
    const RegKey* k = FindKey(root, path_);
    const RegValue* v = k ? k->Value(name) : nullptr;
    if (!v) return false;
    kind = v->kind;
    data = v->data;
    return true;
  });
  if (!found && ShellFoldersMatch(rootKey_, path_) == 2) {
    data = ShellFolderPath(name);
    kind = REG_SZ;
    found = !data.empty();
  }
  return found;
}

void TRegistry::SetValue(const String& name, uint32_t kind, std::string data) {
  bool ok = open_ && (openAccess_ & KEY_SET_VALUE) == KEY_SET_VALUE &&
            HiveOf(rootKey_)->Modify(!lazyWrite_, [&](RegKey& root) {
              RegKey* k = FindKey(root, path_);
              if (!k) return Hive::kRefused;  // deleted since it was opened
              for (RegValue& v : k->values) {
                if (AnsiSameText(v.name, name)) {
                  if (v.kind == kind && v.data == data) return Hive::kUnchanged;
                  v.kind = kind;
                  v.data = std::move(data);
                  return Hive::kChanged;
                }
              }
              k->values.push_back(RegValue{name, kind, std::move(data)});
              return Hive::kChanged;
            });
  if (!ok) SetDataError(name);
}

bool TRegistry::ValueExists(const String& name) const {
  uint32_t kind;
  std::string data;
  return Lookup(name, kind, data);
}

bool TRegistry::DeleteValue(const String& name) {
  if (!open_ || (openAccess_ & KEY_SET_VALUE) != KEY_SET_VALUE) return false;
  return HiveOf(rootKey_)->Modify(!lazyWrite_, [&](RegKey& root) {
    RegKey* k = FindKey(root, path_);
    if (!k) return Hive::kRefused;
    for (auto it = k->values.begin(); it != k->values.end(); ++it) {
      if (AnsiSameText(it->name, name)) {
        k->values.erase(it);
        return Hive::kChanged;
      }
    }
    return Hive::kRefused;
  });
}

bool TRegistry::HasSubKeys() const {
  if (!open_) return false;
  return HiveOf(rootKey_)->Read([&](const RegKey& root) {
    const RegKey* k = FindKey(root, path_);
    return k && !k->subkeys.empty();
  });
}

void TRegistry::GetKeyNames(TStrings& strings) const {
  std::vector<String> names;
  if (open_) {
    HiveOf(rootKey_)->Read([&](const RegKey& root) {
      if (const RegKey* k = FindKey(root, path_))
        for (const auto& [folded, sub] : k->subkeys) names.push_back(sub->name);
      return 0;
    });
  }
  strings.BeginUpdate();
  strings.Clear();
  for (const String& n : names) strings.Add(n);
  strings.EndUpdate();
}

void TRegistry::GetValueNames(TStrings& strings) const {
  std::vector<String> names;
  if (open_) {
    HiveOf(rootKey_)->Read([&](const RegKey& root) {
      if (const RegKey* k = FindKey(root, path_))
        for (const RegValue& v : k->values) names.push_back(v.name);
      return 0;
    });
    if (ShellFoldersMatch(rootKey_, path_) == 2) {
      for (const char* n : kShellFolderValues) {
        bool stored = false;
        for (const String& have : names) stored = stored || AnsiSameText(have, n);
        if (!stored && !ShellFolderPath(n).empty()) names.push_back(n);
      }
    }
  }
  strings.BeginUpdate();
  strings.Clear();
  for (const String& n : names) strings.Add(n);
  strings.EndUpdate();
}

bool TRegistry::GetDataInfo(const String& name, TRegDataInfo& info) const {
  uint32_t kind;
  std::string data;
  if (!Lookup(name, kind, data)) {
    info = TRegDataInfo{rdUnknown, 0};
    return false;
  }
  info.RegData = DataTypeOf(kind);
  size_t size = data.size() + (kind == REG_SZ || kind == REG_EXPAND_SZ ? 1 : 0);
  info.DataSize = static_cast<int32_t>(size);
  return true;
}

int32_t TRegistry::GetDataSize(const String& name) const {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.DataSize : -1;
}

TRegDataType TRegistry::GetDataType(const String& name) const {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.RegData : rdUnknown;
}

String TRegistry::ReadString(const String& name) const {
  uint32_t kind;
  std::string data;
  if (!Lookup(name, kind, data)) return String();
  if (kind != REG_SZ && kind != REG_EXPAND_SZ) ReadError(name);
  auto zero = data.find('\0');
  if (zero != std::string::npos) data.resize(zero);
  return data;
}

int32_t TRegistry::ReadInteger(const String& name) const {
  uint32_t kind;
  std::string data;
  if (!Lookup(name, kind, data)) GetDataError(name);
  if (kind != REG_DWORD || data.size() != 4) ReadError(name);
  return static_cast<int32_t>(DwordOf(data));
}

bool TRegistry::ReadBool(const String& name) const { return ReadInteger(name) != 0; }

double TRegistry::ReadFloat(const String& name) const {
  uint32_t kind;
  std::string data;
  if (!Lookup(name, kind, data)) GetDataError(name);
  if (kind != REG_BINARY || data.size() != sizeof(double)) ReadError(name);
  double v;
  std::memcpy(&v, data.data(), sizeof v);
  return v;
}

int32_t TRegistry::ReadBinaryData(const String& name, void* buffer, int32_t bufSize) const {
  uint32_t kind;
  std::string data;
  if (!Lookup(name, kind, data)) return 0;
  TRegDataType t = DataTypeOf(kind);
  if ((t != rdBinary && t != rdUnknown) || bufSize < 0 || data.size() > static_cast<size_t>(bufSize))
    ReadError(name);
  if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
  return static_cast<int32_t>(data.size());
}

void TRegistry::WriteString(const String& name, const String& value) { SetValue(name, REG_SZ, value); }

void TRegistry::WriteExpandString(const String& name, const String& value) {
  SetValue(name, REG_EXPAND_SZ, value);
}

void TRegistry::WriteInteger(const String& name, int32_t value) {
  SetValue(name, REG_DWORD, DwordBytes(static_cast<uint32_t>(value)));
}

void TRegistry::WriteBool(const String& name, bool value) { WriteInteger(name, value ? 1 : 0); }

void TRegistry::WriteFloat(const String& name, double value) {
  std::string data(sizeof value, '\0');
  std::memcpy(data.data(), &value, sizeof value);
  SetValue(name, REG_BINARY, std::move(data));
}

void TRegistry::WriteBinaryData(const String& name, const void* buffer, int32_t bufSize) {
  WriteRawValue(name, REG_BINARY, buffer, bufSize);
}

bool TRegistry::ReadRawValue(const String& name, uint32_t& kind, std::vector<uint8_t>& data) const {
  std::string bytes;
  if (!Lookup(name, kind, bytes)) return false;
  data.assign(bytes.begin(), bytes.end());
  return true;
}

void TRegistry::WriteRawValue(const String& name, uint32_t kind, const void* data, int32_t size) {
  if (size < 0 || (size > 0 && !data)) SetDataError(name);
  SetValue(name, kind, size == 0 ? std::string() : std::string(static_cast<const char*>(data), static_cast<size_t>(size)));
}

}  // namespace rtl
