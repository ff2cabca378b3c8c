#include "platform/win/FileVersion.h"

#include <cstring>
#include <strings.h>

namespace win {

namespace {

struct Known {
  const char* name;
  DWORD ms, ls;
};
constexpr Known kKnown[] = {
    {"comctl32.dll", (5u << 16) | 82, (2900u << 16) | 2180},
    {"shell32.dll", (6u << 16) | 0, (2900u << 16) | 2180},
};

const Known* Find(const char* fileName) {
  if (!fileName) return nullptr;
  // A path names the library by its last part.
  const char* base = fileName;
  for (const char* p = fileName; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  for (const Known& k : kKnown)
    if (strcasecmp(base, k.name) == 0) return &k;
  return nullptr;
}

constexpr DWORD kMagic = 0x56455253;  // marks a block this layer filled

struct Block {
  DWORD magic;
  VS_FIXEDFILEINFO info;
};

}  // namespace

DWORD GetFileVersionInfoSizeA(const char* fileName, DWORD* handle) {
  if (handle) *handle = 0;
  return Find(fileName) ? static_cast<DWORD>(sizeof(Block)) : 0;
}

BOOL GetFileVersionInfoA(const char* fileName, DWORD, DWORD size, void* data) {
  const Known* k = Find(fileName);
  if (!k || !data || size < sizeof(Block)) return FALSE;
  Block b{};
  b.magic = kMagic;
  b.info.dwFileVersionMS = b.info.dwProductVersionMS = k->ms;
  b.info.dwFileVersionLS = b.info.dwProductVersionLS = k->ls;
  std::memcpy(data, &b, sizeof b);
  return TRUE;
}

BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length) {
  if (!block || !subBlock || !buffer || std::strcmp(subBlock, "\\") != 0) return FALSE;
  auto* b = static_cast<Block*>(const_cast<void*>(block));
  if (b->magic != kMagic) return FALSE;
  *buffer = &b->info;
  if (length) *length = sizeof(VS_FIXEDFILEINFO);
  return TRUE;
}

}  // namespace win
