#pragma once
// Version resources. The system libraries this layer stands in for carry
// the version of the generation it behaves as (5.1): the common controls
// 5.82 and the shell 6.0. Files on disk carry none, so asking them fails as
// it does for a file without a version resource.
#include <cstdint>

#include "platform/win/Types.h"

namespace win {

struct VS_FIXEDFILEINFO {
  DWORD dwSignature = 0xFEEF04BD;
  DWORD dwStrucVersion = 0x00010000;
  DWORD dwFileVersionMS = 0;
  DWORD dwFileVersionLS = 0;
  DWORD dwProductVersionMS = 0;
  DWORD dwProductVersionLS = 0;
  DWORD dwFileFlagsMask = 0x3F;
  DWORD dwFileFlags = 0;
  DWORD dwFileOS = 0x00040004;
  DWORD dwFileType = 2;
  DWORD dwFileSubtype = 0;
  DWORD dwFileDateMS = 0;
  DWORD dwFileDateLS = 0;
};

// 0 when the file has no version resource.
DWORD GetFileVersionInfoSizeA(const char* fileName, DWORD* handle);
BOOL GetFileVersionInfoA(const char* fileName, DWORD handle, DWORD size, void* data);
// Only the root block "\" (the fixed file information) is answered.
BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length);

}  // namespace win
