#pragma once
// Definitions every part of the imaging component shares: the pixel formats
// and storage locations of the image buffer, the 3-byte colour record and
// the component's general error.
#include <cstdint>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Types.h"

namespace imaging {

using rtl::String;

enum TIKPixelFormat : uint8_t {
  ikNoFormat,
  ikMono1,
  ikPalette8,
  ikGray8,
  ikGray16,
  ikRGB24,
  ik32f,
  ikCMYK,
  ikRGB48,
  ikCIELab,
};

enum TIKLocation : uint8_t { ikMemory, ikFile, ikTBitmap };

// Bits of a data-access set (a bitmap's Access, a mapped region's access).
enum : uint8_t { ikaRead = 1, ikaWrite = 2 };
using TIKDataAccess = uint8_t;

// One colour as a 24-bit pixel stores it: blue, green, red.
#pragma pack(push, 1)
struct TRGB {
  uint8_t b = 0;
  uint8_t g = 0;
  uint8_t r = 0;
  friend bool operator==(const TRGB&, const TRGB&) = default;
};
// One ikCMYK pixel.
struct TCMYK {
  uint8_t c = 0;
  uint8_t m = 0;
  uint8_t y = 0;
  uint8_t k = 0;
  friend bool operator==(const TCMYK&, const TCMYK&) = default;
};
// One ikCIELab pixel: L scaled to 0..255, a and b as signed bytes.
struct TCIELab {
  uint8_t l = 0;
  int8_t a = 0;
  int8_t b = 0;
  friend bool operator==(const TCIELab&, const TCIELab&) = default;
};
#pragma pack(pop)
static_assert(sizeof(TRGB) == 3 && sizeof(TCMYK) == 4 && sizeof(TCIELab) == 3);

inline TRGB CreateRGB(uint8_t r, uint8_t g, uint8_t b) { return TRGB{b, g, r}; }
// The packed form: red x 65536 + green x 256 + blue.
inline int32_t PackRGB(const TRGB& c) { return c.r << 16 | c.g << 8 | c.b; }

// The component's general error: raised, with an English message, only for
// misuse of its classes.
class EIKError : public rtl::Exception {
  using Exception::Exception;
};

// Bits and samples of one pixel, and the format's own name for messages.
struct TIKPixelFormatInfo {
  const char* Name;
  int32_t BitCount;
  int32_t ChannelCount;
};
const TIKPixelFormatInfo& IKPixelFormatInfo(TIKPixelFormat format);

}  // namespace imaging
