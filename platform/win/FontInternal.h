#pragma once
// The font object and the rendered-face cache behind it, shared by the
// font and text files.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win/Font.h"
#include "platform/win/GdiInternal.h"

namespace win::gdi {

// One face at one pixel size, rotation and style: metrics and a cache of
// rendered glyphs. Shared by every font object that asks for the same.
class FaceInstance;

struct Glyph {
  int advance = 0;  // pixels, along the baseline (unrotated)
  // Coverage bitmap (0..255) and its offset from the pen position, y down.
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> coverage;
  // Rotated text: the advance as a vector in device pixels (26.6).
  long advanceX26 = 0, advanceY26 = 0;
};

struct FaceMetrics {
  int ascent = 0, descent = 0, internalLeading = 0, externalLeading = 0;
  int aveCharWidth = 0, maxCharWidth = 0;
  int underlinePos = 0, underlineThickness = 1;  // below the baseline
  int strikePos = 0, strikeThickness = 1;        // above the baseline
  bool fixedPitch = false;
};

class Font : public GdiObject {
public:
  GdiKind Kind() const override { return GdiKind::Font; }
  LOGFONTW log;
  // Resolved on first use.
  std::shared_ptr<FaceInstance> Instance();

private:
  std::shared_ptr<FaceInstance> instance_;
};

// Glyph lookups for the text code.
const FaceMetrics& MetricsOf(FaceInstance& face);
const Glyph& GlyphOf(FaceInstance& face, char32_t ch);
// Kerning-free advance of a run, as extents are measured.
int AdvanceOf(FaceInstance& face, char32_t ch);
// Synthesised bold adds to each advance, like the platform's overhang.
bool IsRotated(const FaceInstance& face);
double AngleOf(const FaceInstance& face);  // radians, counter-clockwise

std::u16string AnsiToWide(const char* text, int length);

}  // namespace win::gdi
