#include "platform/rtl/SpecialFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <vector>

#include "platform/rtl/FilePaths.h"

namespace rtl {
namespace {

String environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? String(value) : String();
}

String withoutTrailingDelimiters(String path) {
  while (path.size() > 1 && path.back() == PathDelim) path.pop_back();
  return path;
}

const char* keyOf(TUserFolder folder) {
  switch (folder) {
    case TUserFolder::Desktop: return "XDG_DESKTOP_DIR";
    case TUserFolder::Download: return "XDG_DOWNLOAD_DIR";
    case TUserFolder::Templates: return "XDG_TEMPLATES_DIR";
    case TUserFolder::PublicShare: return "XDG_PUBLICSHARE_DIR";
    case TUserFolder::Documents: return "XDG_DOCUMENTS_DIR";
    case TUserFolder::Music: return "XDG_MUSIC_DIR";
    case TUserFolder::Pictures: return "XDG_PICTURES_DIR";
    case TUserFolder::Videos: return "XDG_VIDEOS_DIR";
  }
  return "";
}

// The value of one line of user-dirs.dirs: `KEY="$HOME/Some Dir"` or
// `KEY="/abs/dir"`, with backslash escapes inside the quotes as the shell
// reads them. Values that are neither absolute nor under $HOME are ignored,
// as the file's format allows only those two forms.
std::optional<String> parseValue(const String& raw, const String& home) {
  String value;
  size_t i = 0;
  if (i < raw.size() && raw[i] == '"') {
    bool closed = false;
    for (++i; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 1 < raw.size()) {
        value += raw[++i];
      } else if (raw[i] == '"') {
        closed = true;
        break;
      } else {
        value += raw[i];
      }
    }
    if (!closed) return std::nullopt;
  } else {
    while (i < raw.size() && raw[i] != ' ' && raw[i] != '\t' && raw[i] != '#') value += raw[i++];
  }
  if (value.starts_with("$HOME")) {
    const String rest = value.substr(5);
    if (!rest.empty() && rest.front() != PathDelim) return std::nullopt;  // "$HOMEX"
    return withoutTrailingDelimiters(home + rest);
  }
  if (value.starts_with("${HOME}")) return withoutTrailingDelimiters(home + value.substr(7));
  if (!value.empty() && value.front() == PathDelim) return withoutTrailingDelimiters(value);
  return std::nullopt;
}

std::optional<String> userDirsEntry(const String& key) {
  std::ifstream file(ConfigFolder() + "/user-dirs.dirs");
  if (!file) return std::nullopt;
  const String home = HomeFolder();
  std::optional<String> result;
  String line;
  // A later assignment wins, as it would when the shell reads the file.
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t i = line.find_first_not_of(" \t");
    if (i == String::npos || line[i] == '#') continue;
    const size_t eq = line.find('=', i);
    if (eq == String::npos || line.compare(i, eq - i, key) != 0) continue;
    if (auto value = parseValue(line.substr(eq + 1), home)) result = std::move(value);
  }
  return result;
}

String baseFolder(const char* variable, const char* fallback) {
  const String value = environment(variable);
  if (!value.empty() && value.front() == PathDelim) return withoutTrailingDelimiters(value);
  return HomeFolder() + "/" + fallback;
}

}  // namespace

String HomeFolder() {
  String home = environment("HOME");
  if (home.empty()) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
      home = found->pw_dir;
  }
  if (home.empty()) home = "/";
  return withoutTrailingDelimiters(home);
}

String UserFolder(TUserFolder folder) {
  const char* key = keyOf(folder);
  if (auto entry = userDirsEntry(key)) return *entry;
  const String fromEnvironment = environment(key);
  if (!fromEnvironment.empty()) return withoutTrailingDelimiters(fromEnvironment);
  const String home = HomeFolder();
  if (folder == TUserFolder::Desktop) return (home == "/" ? String() : home) + "/Desktop";
  return home;
}

String DesktopFolder() { return UserFolder(TUserFolder::Desktop); }
String DocumentsFolder() { return UserFolder(TUserFolder::Documents); }
String PicturesFolder() { return UserFolder(TUserFolder::Pictures); }
String VideosFolder() { return UserFolder(TUserFolder::Videos); }
String MusicFolder() { return UserFolder(TUserFolder::Music); }

String ConfigFolder() { return baseFolder("XDG_CONFIG_HOME", ".config"); }
String CacheFolder() { return baseFolder("XDG_CACHE_HOME", ".cache"); }
String DataFolder() { return baseFolder("XDG_DATA_HOME", ".local/share"); }

String ShellFolderPath(const String& valueName) {
  const String name = FoldFileNameCase(valueName);
  if (name == "desktop") return DesktopFolder();
  if (name == "personal") return DocumentsFolder();
  if (name == "my pictures") return PicturesFolder();
  if (name == "my music") return MusicFolder();
  if (name == "my video") return VideosFolder();
  if (name == "templates") return UserFolder(TUserFolder::Templates);
  if (name == "appdata") return ConfigFolder();
  if (name == "local appdata") return DataFolder();
  if (name == "cache") return CacheFolder();
  return String();
}

}  // namespace rtl
