#include "controls/uc/Shell_Win32.h"

#include <cstring>

#include "platform/forms/Forms.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/SpecialFolders.h"
#include "platform/rtl/Text.h"
#include "platform/shell/ShellNamespace.h"
#include "platform/win/Kernel.h"

namespace controls {

namespace {

const uint8_t* Bytes(const ITEMIDLIST* list) { return reinterpret_cast<const uint8_t*>(list); }
uint16_t ItemSize(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Copies the first `count` items (all of them for a larger count).
ITEMIDLIST* CopyItems(const ITEMIDLIST* list, int32_t count) {
  if (!list) return nullptr;
  size_t bytes = 0;
  const uint8_t* p = Bytes(list);
  for (int32_t i = 0; i < count && ItemSize(p) != 0; ++i, p += ItemSize(p)) bytes += ItemSize(p);
  auto* out = static_cast<uint8_t*>(shell::ShellAlloc(bytes + 2));
  if (!out) return nullptr;
  std::memcpy(out, list, bytes);
  return reinterpret_cast<ITEMIDLIST*>(out);
}

ITEMIDLIST* ListOfPath(const std::string& path) {
  if (path.empty()) return nullptr;
  uint32_t error = 0;
  return shell::ParsePath(path, error);
}

}  // namespace

ITEMIDLIST* AllocIDList(uint32_t size) { return static_cast<ITEMIDLIST*>(shell::ShellAlloc(size)); }
void FreeIDList(ITEMIDLIST* list) { shell::ShellFree(list); }
uint32_t IDListSize(const ITEMIDLIST* list) { return static_cast<uint32_t>(shell::IDListBytes(list)); }
ITEMIDLIST* CopyIDList(const ITEMIDLIST* list) { return CopyItems(list, INT32_MAX); }

ITEMIDLIST* ConcatIDLists(const ITEMIDLIST* a, const ITEMIDLIST* b) {
  const size_t na = a ? IDListSize(a) - 2 : 0, nb = b ? IDListSize(b) - 2 : 0;
  auto* out = static_cast<uint8_t*>(shell::ShellAlloc(na + nb + 2));
  if (!out) return nullptr;
  if (na) std::memcpy(out, a, na);
  if (nb) std::memcpy(out + na, b, nb);
  return reinterpret_cast<ITEMIDLIST*>(out);
}

int32_t IDListItemCount(const ITEMIDLIST* list) {
  if (!list) return 0;
  int32_t n = 0;
  for (const uint8_t* p = Bytes(list); ItemSize(p) != 0; p += ItemSize(p)) ++n;
  return n;
}

ITEMIDLIST* IDListItem(const ITEMIDLIST* list, int32_t index) {
  if (!list || index < 0) return nullptr;
  const uint8_t* p = Bytes(list);
  for (int32_t i = 0; i < index; ++i) {
    if (ItemSize(p) == 0) return nullptr;
    p += ItemSize(p);
  }
  if (ItemSize(p) == 0) return nullptr;
  return CopyItems(reinterpret_cast<const ITEMIDLIST*>(p), 1);
}

ITEMIDLIST* TruncateIDList(const ITEMIDLIST* list, int32_t count) { return CopyItems(list, count < 0 ? 0 : count); }

const ITEMIDLIST* DesktopIDList() {
  static const uint8_t empty[2] = {0, 0};
  return reinterpret_cast<const ITEMIDLIST*>(empty);
}

ITEMIDLIST* PathToIDList(const ITEMIDLIST* folder, const WideString& path) {
  const std::string p = rtl::WideToUtf8(path);
  if (!folder || IDListItemCount(folder) == 0) {
    if (p.empty()) return SpecialFolderIDList(SF_DRIVES);
  }
  uint32_t error = win::ERROR_INVALID_PARAMETER;
  ITEMIDLIST* result = nullptr;
  if (!folder || IDListItemCount(folder) == 0) {
    result = shell::ParsePath(p, error);
  } else if (!p.empty() && p[0] != '/') {
    // A name inside a file-system folder; virtual folders hold no names
    // that parse.
    const std::string base = shell::PathOfIDList(folder);
    uint32_t unused = 0;
    ITEMIDLIST* canonical = base.empty() ? nullptr : shell::ParsePath(base, unused);
    ITEMIDLIST* absolute = canonical ? shell::ParsePath(base == "/" ? "/" + p : base + "/" + p, error) : nullptr;
    if (absolute) {
      // The name must stay inside the folder ("../x" does not).
      const int32_t n = IDListItemCount(canonical);
      ITEMIDLIST* head = TruncateIDList(absolute, n);
      if (head && IDListItemCount(absolute) > n && shell::CompareIDLists(head, canonical) == 0) {
        const uint8_t* q = Bytes(absolute);
        for (int32_t i = 0; i < n; ++i) q += ItemSize(q);
        result = CopyIDList(reinterpret_cast<const ITEMIDLIST*>(q));
      } else {
        error = win::ERROR_INVALID_PARAMETER;
      }
      FreeIDList(head);
    }
    FreeIDList(absolute);
    FreeIDList(canonical);
  }
  if (!result) win::SetLastError(error ? error : win::ERROR_INVALID_PARAMETER);
  return result;
}

WideString IDListPath(const ITEMIDLIST* list) {
  if (!list) return {};
  return rtl::Utf8ToWide(shell::PathOfIDList(list));
}

WideString SystemErrorText(uint32_t code) {
  // The system's message table for the codes this namespace reports.
  switch (code) {
    case 0: return u"The operation completed successfully.";
    case win::ERROR_FILE_NOT_FOUND: return u"The system cannot find the file specified.";
    case win::ERROR_PATH_NOT_FOUND: return u"The system cannot find the path specified.";
    case win::ERROR_ACCESS_DENIED: return u"Access is denied.";
    case win::ERROR_INVALID_PARAMETER: return u"The parameter is incorrect.";
    case 267: return u"The directory name is invalid.";
    default: return rtl::Utf8ToWide("Unknown error " + std::to_string(code) + ".");
  }
}

WideString NetworkNameOfIDList(const ITEMIDLIST*, const ITEMIDLIST*) { return {}; }

WideString LinkTarget(const WideString& path) { return rtl::Utf8ToWide(shell::SymlinkTarget(rtl::WideToUtf8(path))); }

bool WideMatchesMask(const WideString& name, const WideString& mask) {
  return rtl::MatchesMask(rtl::WideToAnsi(name), rtl::WideToAnsi(mask));
}

ITEMIDLIST* SpecialFolderIDList(TShShellFolder value) {
  switch (value) {
    case SF_DESKTOP: return CopyIDList(DesktopIDList());
    case SF_FILESYSTEMFOLDER:
    case SF_DRIVES: return shell::EncodeIDList({shell::ShellItem{shell::kItemMyComputer, ""}});
    case SF_DESKTOPDIRECTORY: return ListOfPath(rtl::DesktopFolder());
    case SF_PERSONAL: return ListOfPath(rtl::DocumentsFolder());
    case SF_MYPICTURES: return ListOfPath(rtl::PicturesFolder());
    case SF_TEMPLATES: return ListOfPath(rtl::UserFolder(rtl::TUserFolder::Templates));
    case SF_APPDATA: return ListOfPath(rtl::ConfigFolder());
    case SF_LOCAL_APPDATA: return ListOfPath(rtl::DataFolder());
    case SF_INTERNET_CACHE: return ListOfPath(rtl::CacheFolder());
    case SF_FONTS: return ListOfPath(rtl::DataFolder() + "/fonts");
    default: return nullptr;
  }
}

TShShellFolder SpecialFolderOf(const ITEMIDLIST* list) {
  for (int v = 1; v <= SF_PROGRAM_FILES_COMMON; ++v) {
    ITEMIDLIST* location = SpecialFolderIDList(static_cast<TShShellFolder>(v));
    const bool same = location && shell::CompareIDLists(location, list) == 0;
    FreeIDList(location);
    if (same) return static_cast<TShShellFolder>(v);
  }
  return SF_FILESYSTEMFOLDER;
}

bool IsDriveRoot(const WideString& path) { return path == u"/"; }

bool IsUNCPath(const WideString& text) {
  return text.size() > 3 && text[0] == u'\\' && text[1] == u'\\' && text.find(u'\\', 3) != WideString::npos;
}

WideString UNCServerName(const WideString& text) {
  if (!IsUNCPath(text)) return {};
  const size_t end = text.find(u'\\', 2);
  return text.substr(2, end == WideString::npos ? WideString::npos : end - 2);
}

win::HWND ApplicationWindow() {
  if (!forms::Application) return nullptr;
  if (forms::Application->MainForm()) return forms::Application->MainForm()->Handle();
  return forms::Application->Handle();
}

WideString ExtractNativePath(const WideString& path) {
  const size_t slash = path.find_last_of(u'/');
  return slash == WideString::npos ? WideString() : path.substr(0, slash + 1);
}

WideString ExtractNativeName(const WideString& path) {
  const size_t slash = path.find_last_of(u'/');
  return slash == WideString::npos ? path : path.substr(slash + 1);
}

WideString AddNativeDelimiter(const WideString& path) {
  if (path.empty() || path.back() == u'/') return path;
  return path + u"/";
}

}  // namespace controls
