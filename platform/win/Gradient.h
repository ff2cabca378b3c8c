#pragma once
// Gradient fills: rectangles shaded across or down, and triangles shaded
// between their corners.
#include "platform/win/Types.h"

namespace win {

using COLOR16 = uint16_t;
struct TRIVERTEX {
  LONG x = 0;
  LONG y = 0;
  COLOR16 Red = 0;
  COLOR16 Green = 0;
  COLOR16 Blue = 0;
  COLOR16 Alpha = 0;
};
struct GRADIENT_RECT32 {
  uint32_t UpperLeft = 0;
  uint32_t LowerRight = 0;
};
struct GRADIENT_TRIANGLE {
  uint32_t Vertex1 = 0;
  uint32_t Vertex2 = 0;
  uint32_t Vertex3 = 0;
};

inline constexpr uint32_t GRADIENT_FILL_RECT_H = 0;
inline constexpr uint32_t GRADIENT_FILL_RECT_V = 1;
inline constexpr uint32_t GRADIENT_FILL_TRIANGLE = 2;

// `mesh` holds GRADIENT_RECT32 or GRADIENT_TRIANGLE records. A rectangle's
// first column (or row) takes the first vertex's colour exactly; colour
// steps by (c1 - c0) / extent per pixel, so the last one stops one step
// short of the second colour. Channels are 16 bits; their high bytes are
// drawn, alpha included.
BOOL GradientFill(HDC hdc, const TRIVERTEX* vertices, uint32_t vertexCount, const void* mesh, uint32_t meshCount,
                  uint32_t mode);

// Programs that load the gradient library at run time can be shown the
// case where it is missing: GradientFill then fails and draws nothing.
void SetGradientFillAvailable(bool available);

}  // namespace win
