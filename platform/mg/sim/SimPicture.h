#pragma once
// Pictures of the simulated video devices. Everything here is a pure
// function of its arguments (frame index, settings, script), so a test can
// predict every pixel a device delivers.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/mg/Guids.h"

namespace mg::sim {

// A top-down picture of 0x00RRGGBB pixels.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  RgbImage() = default;
  RgbImage(int w, int h, uint32_t fill = 0) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  void FillRect(int x, int y, int w, int h, uint32_t rgb);
};

constexpr uint32_t Rgb(int r, int g, int b) {
  return (static_cast<uint32_t>(r & 255) << 16) | (static_cast<uint32_t>(g & 255) << 8) | static_cast<uint32_t>(b & 255);
}

// The eight bars left to right: white, yellow, cyan, green, magenta, red, blue, black.
extern const uint32_t kBarColours[8];
// The moving box and flashed cells are drawn in a colour no bar has.
inline constexpr uint32_t kBoxColour = Rgb(255, 128, 0);

// Settings that change the picture. Ranges are those the devices report
// through their control interfaces (ProcAmpRange, CameraControlRange).
struct PictureSettings {
  // Proc amp.
  int brightness = 0;      // added to every channel, -64..64
  int contrast = 50;       // 50 leaves the picture; 0 flat grey, 100 twice the swing around mid grey
  int hue = 0;             // degrees the colours turn, -180..180
  int saturation = 100;    // percent of the colour kept, 0..200
  int gamma = 100;         // hundredths of the exponent, 100..300
  int colorEnable = 1;     // 0 grey
  int whiteBalance = 4600; // kelvin; warmer below 4600 (more red), cooler above (more blue)
  int gain = 0;            // percent the picture is lifted, 0..100
  // Camera control.
  int pan = 0;             // degrees, the bars move sideways by pan/360 of the width
  int tilt = 0;            // degrees, the bars move down by tilt/360 of the height
  int zoom = 100;          // percent, the bars grow around the centre
  int exposure = -6;       // log2 seconds; each step doubles or halves the light
  // Video control.
  bool flipHorizontal = false;
  bool flipVertical = false;

  bool operator==(const PictureSettings&) const = default;
};

// The bars, placed by pan, tilt and zoom.
void DrawColourBars(RgbImage& image, const PictureSettings& settings);
// Deterministic snow for a frame without signal.
void DrawNoise(RgbImage& image, uint64_t seed);
// Text in a 5x7 pixel font (digits, capital letters, space, ':', '-', '.', '/'),
// each font pixel a `scale` x `scale` square, on a background box one font
// pixel wider all round. Returns the width drawn.
int DrawText(RgbImage& image, int x, int y, const std::string& text, int scale, uint32_t fg, uint32_t bg);
int TextWidth(const std::string& text, int scale);
// The font scale a picture of this height uses for its caption.
int CaptionScale(int height);
// Flips, then the proc amp and exposure, applied to the whole picture.
void ApplyPictureSettings(RgbImage& image, const PictureSettings& settings);

// The proc amp and exposure as a function of one pixel, with its tables
// built once: what ApplyPictureSettings does to every pixel after the flips.
class PictureTone {
public:
  explicit PictureTone(const PictureSettings& settings);
  // Whether the settings leave every pixel as it is.
  bool Neutral() const { return !anything_; }
  uint32_t operator()(uint32_t rgb) const;

private:
  bool anything_ = false;
  bool colourOps_ = false;
  uint8_t tone_[3][256];
  double cs_ = 1, sn_ = 0;
};

// What the moving-box script shows on a frame: a box (pixel rectangle) and
// a flashed grid cell, each optional.
struct ScriptState {
  bool box = false;
  int boxX = 0, boxY = 0, boxW = 0, boxH = 0;
  int flashCell = -1;
};

// A script for the moving box, run from frame 0. Steps follow one another;
// after the last one the final state holds. The grid divides the picture
// into cols x rows cells numbered row by row from the top left.
class MotionScript {
public:
  MotionScript& SetGrid(int cols, int rows);
  MotionScript& SetBoxSize(int width, int height);
  // Nothing moves for `frames` frames (the box stays where it is, if shown).
  MotionScript& Still(int frames);
  // The box's top-left corner goes from (x0, y0) on the first frame of the
  // step to (x1, y1) on its last, in a straight line.
  MotionScript& MoveBox(int x0, int y0, int x1, int y1, int frames);
  // Fills one grid cell for `frames` frames.
  MotionScript& Flash(int cell, int frames = 1);
  // Hides the box.
  MotionScript& HideBox();
  void Clear();

  int Cols() const { return cols_; }
  int Rows() const { return rows_; }
  ScriptState StateAt(int64_t frame) const;
  // The rectangle of a cell in a picture of this size.
  void CellRect(int cell, int width, int height, int* x, int* y, int* w, int* h) const;
  // Draws the state of `frame` into the picture.
  void Draw(RgbImage& image, int64_t frame) const;
  // The rectangles (x, y, w, h, not clipped) Draw fills for `frame` in a
  // picture of this size, in drawing order; returns how many (0 to 2).
  int Areas(int64_t frame, int width, int height, int rects[2][4]) const;

private:
  enum class Kind { Still, Move, Flash, Hide };
  struct Step {
    Kind kind;
    int x0, y0, x1, y1, frames, cell;
  };
  std::vector<Step> steps_;
  int cols_ = 8, rows_ = 6;
  int boxW_ = 0, boxH_ = 0;  // 0: one cell
};

// Bytes of one frame of an uncompressed subtype (rows of RGB padded to 4).
uint32_t ImageBytes(const GUID& subtype, int width, int height);
// Writes the picture in YUY2, I420, RGB24 or RGB32 (bottom-up, as DIBs
// are). Returns the bytes written, 0 for another subtype.
uint32_t ConvertPicture(const RgbImage& image, const GUID& subtype, uint8_t* out, uint32_t room);
// Writes only the bytes that pixels [x0, x1) x [y0, y1) of the picture
// give, as ConvertPicture would (the buffer holds a whole frame). YUY2
// needs x0 even; I420 needs x0 and y0 even.
void ConvertRect(const RgbImage& image, const GUID& subtype, uint8_t* out, int x0, int y0, int x1, int y1);
// The inverse for the same subtypes (tests read frames back with it).
bool ReadPicture(const uint8_t* data, uint32_t size, const GUID& subtype, int width, int height, RgbImage* image);
// The BT.601 studio-range conversion the devices use.
void RgbToYuv(uint32_t rgb, uint8_t* y, uint8_t* u, uint8_t* v);
uint32_t YuvToRgb(int y, int u, int v);

// Motion JPEG frames through libavcodec's encoder.
class MjpegEncoder {
public:
  MjpegEncoder(int width, int height);
  ~MjpegEncoder();
  MjpegEncoder(const MjpegEncoder&) = delete;
  MjpegEncoder& operator=(const MjpegEncoder&) = delete;
  // Encodes one picture; returns the bytes written or 0 when it did not fit or failed.
  uint32_t Encode(const RgbImage& image, uint8_t* out, uint32_t room);
  int Width() const { return width_; }
  int Height() const { return height_; }

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int width_, height_;
};

}  // namespace mg::sim
