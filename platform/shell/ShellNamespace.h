#pragma once
// The shell's namespace over the real file system. Its root is the desktop
// (the empty item list); the desktop holds "My Computer", and My Computer
// holds the file system's root "/" and, as shortcuts, the user's XDG folders
// (desktop, documents, downloads, music, pictures, videos, templates) that
// exist. Below "/" every item is one name of a path.
//
// Item lists keep the shell's byte layout: each item begins with its 16-bit
// size (the size included), then one kind byte and the item's UTF-8 name;
// a 16-bit zero ends the list. Lists handed out are allocated with
// ShellAlloc and freed with ShellFree by the caller.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Types.h"

namespace win {
struct ITEMIDLIST;
}

namespace shell {

using ITEMIDLIST = win::ITEMIDLIST;

// The task allocator of item lists: zero-filled, null on failure.
void* ShellAlloc(size_t bytes);
void ShellFree(void* block);

// Item kinds (the byte after an item's size).
inline constexpr uint8_t kItemMyComputer = 1;
inline constexpr uint8_t kItemFileSystemRoot = 2;
inline constexpr uint8_t kItemName = 3;
inline constexpr uint8_t kItemUserFolder = 4;  // name: the folder's absolute path

// Attribute bits of GetAttributesOf.
inline constexpr uint32_t SFGAO_LINK = 0x00010000;
inline constexpr uint32_t SFGAO_FILESYSANCESTOR = 0x10000000;
inline constexpr uint32_t SFGAO_FOLDER = 0x20000000;
inline constexpr uint32_t SFGAO_FILESYSTEM = 0x40000000;
inline constexpr uint32_t SFGAO_HASSUBFOLDER = 0x80000000;

// EnumObjects flags.
inline constexpr uint32_t SHCONTF_FOLDERS = 0x20;
inline constexpr uint32_t SHCONTF_NONFOLDERS = 0x40;
inline constexpr uint32_t SHCONTF_INCLUDEHIDDEN = 0x80;

// One decoded item.
struct ShellItem {
  uint8_t kind = 0;
  std::string name;  // UTF-8
};

// Building and reading lists.
std::vector<ShellItem> DecodeIDList(const ITEMIDLIST* list);
// Null when an item's name does not fit in one item.
ITEMIDLIST* EncodeIDList(const std::vector<ShellItem>& items);
size_t IDListBytes(const ITEMIDLIST* list);  // items plus the terminator; 0 for null

// The list of an absolute native path ("/" included), or null with the
// error code (ERROR_PATH_NOT_FOUND, ERROR_FILE_NOT_FOUND,
// ERROR_INVALID_PARAMETER) when the path is not absolute or not there.
ITEMIDLIST* ParsePath(const std::string& path, uint32_t& error);
// The file-system path of a list, "" for a virtual item (My Computer) or a
// malformed list. The desktop is the user's desktop folder.
std::string PathOfIDList(const ITEMIDLIST* list);
// The display name of a list's last item: "Desktop", "My Computer", "/",
// or the last name of the path.
std::string DisplayNameOf(const ITEMIDLIST* list);
// SFGAO_ bits of the item a list names (0 when it does not exist).
uint32_t AttributesOf(const ITEMIDLIST* list);
// 0 when both lists name the same item, else -1 or 1 in a stable order.
int CompareIDLists(const ITEMIDLIST* a, const ITEMIDLIST* b);
// The children of a folder's list as one-item relative lists (each owned
// by the caller), folders first and then by name; false when the list
// names no folder.
bool EnumChildren(const ITEMIDLIST* folder, uint32_t flags, std::vector<ITEMIDLIST*>& children);
// A symlink's target as an absolute path, "" when the path is no symlink.
std::string SymlinkTarget(const std::string& path);

}  // namespace shell
