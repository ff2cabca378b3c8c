#pragma once
// The user's well-known folders. The user folders (desktop, documents,
// pictures, videos, ...) follow xdg-user-dir: the entry in
// $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config), else the variable of
// the same name in the environment, else $HOME ($HOME/Desktop for the
// desktop). The base folders follow the XDG base-directory rules. Every
// result is an absolute path without a trailing '/'; nothing is cached, so a
// changed environment is seen at once.
#include "platform/rtl/Types.h"

namespace rtl {

enum class TUserFolder { Desktop, Download, Templates, PublicShare, Documents, Music, Pictures, Videos };

// $HOME, else the home folder of the user's account entry.
String HomeFolder();
String UserFolder(TUserFolder folder);
String DesktopFolder();
String DocumentsFolder();
String PicturesFolder();
String VideosFolder();
String MusicFolder();

// $XDG_CONFIG_HOME, $XDG_CACHE_HOME, $XDG_DATA_HOME when absolute, else
// ~/.config, ~/.cache and ~/.local/share.
String ConfigFolder();
String CacheFolder();
String DataFolder();

// The folder for a value name of the user's shell-folder table ("Desktop",
// "Personal", "My Pictures", "My Music", "My Video", "Templates",
// "AppData", "Local AppData", "Cache"), matched ignoring case; "" for
// names that have no counterpart here.
String ShellFolderPath(const String& valueName);

}  // namespace rtl
