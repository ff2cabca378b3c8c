#pragma once
// Colour management in the shape the imaging component expects of the
// platform: ICC profiles opened from memory or by file name, transforms
// through a chain of profiles, and translation of 16-bit colour records
// between colour types. Backed by LittleCMS.
#include <cstdint>

#include "platform/rtl/Types.h"

namespace shell {

struct ColorProfile;
struct ColorTransform;
using HPROFILE = ColorProfile*;
using HTRANSFORM = ColorTransform*;

inline constexpr uint32_t PROFILE_FILENAME = 1, PROFILE_MEMBUFFER = 2;
inline constexpr uint32_t PROFILE_READ = 1, FILE_SHARE_READ = 1, OPEN_EXISTING = 3;
inline constexpr uint32_t INTENT_PERCEPTUAL = 0, INTENT_RELATIVE_COLORIMETRIC = 1, INTENT_SATURATION = 2,
                          INTENT_ABSOLUTE_COLORIMETRIC = 3;
inline constexpr uint32_t BEST_MODE = 3, USE_RELATIVE_COLORIMETRIC = 0x20000;
inline constexpr uint32_t INDEX_DONT_CARE = 0;

// The name under which the standard sRGB profile is always found.
inline constexpr const char* SRGB_PROFILE_NAME = "sRGB Color Space Profile.icm";

struct PROFILE {
  uint32_t dwType = 0;
  const void* pProfileData = nullptr;
  uint32_t cbDataSize = 0;
};

enum COLORTYPE : uint32_t {
  COLOR_GRAY = 1,
  COLOR_RGB = 2,
  COLOR_XYZ = 3,
  COLOR_Yxy = 4,
  COLOR_Lab = 5,
  COLOR_3_CHANNEL = 6,
  COLOR_CMYK = 7,
};

// One colour of any type: gray in ch[0]; red, green, blue; L, a, b (a and b
// offset so that 0x8080 is 0); cyan, magenta, yellow, black. 16 bits each.
struct COLOR {
  uint16_t ch[4] = {0, 0, 0, 0};
};

// Null when the bytes or the file are not a usable profile. A file name
// without a folder is looked for in the system's colour folder.
HPROFILE OpenColorProfile(const PROFILE* profile, uint32_t access, uint32_t share, uint32_t creation);
bool CloseColorProfile(HPROFILE profile);
// A transform through `count` profiles; null when they cannot be chained.
HTRANSFORM CreateMultiProfileTransform(const HPROFILE* profiles, uint32_t count, const uint32_t* intents,
                                       uint32_t intentCount, uint32_t flags, uint32_t cmm);
bool DeleteColorTransform(HTRANSFORM transform);
// False when a colour type does not fit the transform's first or last
// profile.
bool TranslateColors(HTRANSFORM transform, const COLOR* input, uint32_t count, COLORTYPE inputType, COLOR* output,
                     COLORTYPE outputType);

// The folder whose profiles are found by file name alone.
rtl::String SystemColorDirectory();

}  // namespace shell
