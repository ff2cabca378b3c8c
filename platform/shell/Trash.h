#pragma once
// Moving files and folders to the desktop's trash, the way file managers
// do: the item goes to the trash's "files" folder under a name not taken
// there, and an "info/<name>.trashinfo" file records where it came from and
// when, so the file manager can put it back. Items on the file system of
// the user's home go to the home trash ($XDG_DATA_HOME/Trash, by default
// ~/.local/share/Trash); items on another file system go to the trash at
// the top of that file system (".Trash-<uid>"), since moving them home
// would mean copying.
#include "platform/rtl/Types.h"

namespace shell {

struct TrashResult {
  bool ok = false;
  rtl::String trashedAs;  // the item's full name inside the trash's "files"
  rtl::String infoFile;   // its .trashinfo file
  rtl::String error;      // why it failed; the item is then where it was
};

// Moves `path` (a file or a whole folder) to the trash. On failure nothing
// is left behind in the trash and the item stays where it was.
TrashResult MoveToTrash(const rtl::String& path);

// The home trash folder (without trailing slash).
rtl::String HomeTrashFolder();

// The Path= value of a .trashinfo file: bytes other than unreserved URL
// characters and "/" escaped as %XX.
rtl::String TrashInfoPathEscape(const rtl::String& path);

}  // namespace shell
