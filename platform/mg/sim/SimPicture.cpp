#include "platform/mg/sim/SimPicture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace mg::sim {

const uint32_t kBarColours[8] = {Rgb(255, 255, 255), Rgb(255, 255, 0), Rgb(0, 255, 255), Rgb(0, 255, 0),
                                 Rgb(255, 0, 255),   Rgb(255, 0, 0),   Rgb(0, 0, 255),   Rgb(0, 0, 0)};

void RgbImage::FillRect(int x, int y, int w, int h, uint32_t rgb) {
  const int x0 = std::max(0, x), y0 = std::max(0, y);
  const int x1 = std::min(width, x + w), y1 = std::min(height, y + h);
  for (int yy = y0; yy < y1; ++yy)
    for (int xx = x0; xx < x1; ++xx) At(xx, yy) = rgb;
}

namespace {

int Clamp255(double v) { return static_cast<int>(std::clamp(std::lround(v), 0L, 255L)); }
int Clamp255(int v) { return std::clamp(v, 0, 255); }

int Wrap(int v, int n) {
  const int m = v % n;
  return m < 0 ? m + n : m;
}

// Rows of the 5x7 glyphs, the leftmost font pixel in bit 4.
struct Glyph {
  char c;
  uint8_t rows[7];
};
constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},
};

const Glyph* FindGlyph(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const Glyph& g : kFont)
    if (g.c == c) return &g;
  return nullptr;
}

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace

void DrawColourBars(RgbImage& image, const PictureSettings& s) {
  const int w = image.width, h = image.height;
  if (w <= 0 || h <= 0) return;
  const double scale = 100.0 / std::max(1, s.zoom);
  const int panShift = s.pan * w / 360;
  const int tiltShift = s.tilt * h / 360;
  for (int y = 0; y < h; ++y) {
    const int v = Wrap(static_cast<int>(std::floor((y + 0.5 - h / 2.0) * scale + h / 2.0)) - tiltShift, h);
    const bool ramp = v >= h * 3 / 4;
    uint32_t* row = &image.At(0, y);
    for (int x = 0; x < w; ++x) {
      const int u = Wrap(static_cast<int>(std::floor((x + 0.5 - w / 2.0) * scale + w / 2.0)) - panShift, w);
      const int bar = u * 8 / w;
      if (ramp) {
        const int grey = (7 - bar) * 255 / 7;
        row[x] = Rgb(grey, grey, grey);
      } else {
        row[x] = kBarColours[bar];
      }
    }
  }
}

void DrawNoise(RgbImage& image, uint64_t seed) {
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const int g = static_cast<int>(Mix(seed * 0x100000001B3ull ^ (static_cast<uint64_t>(y) << 20) ^ static_cast<uint64_t>(x)) & 0xFF);
      image.At(x, y) = Rgb(g, g, g);
    }
}

int TextWidth(const std::string& text, int scale) {
  return text.empty() ? 0 : (static_cast<int>(text.size()) * 6 + 1) * scale;
}

int CaptionScale(int height) { return std::max(1, height / 120); }

int DrawText(RgbImage& image, int x, int y, const std::string& text, int scale, uint32_t fg, uint32_t bg) {
  if (text.empty()) return 0;
  const int width = TextWidth(text, scale);
  image.FillRect(x, y, width, 9 * scale, bg);
  int cx = x + scale;
  for (char c : text) {
    if (const Glyph* g = FindGlyph(c))
      for (int r = 0; r < 7; ++r)
        for (int b = 0; b < 5; ++b)
          if (g->rows[r] & (0x10 >> b)) image.FillRect(cx + b * scale, y + (r + 1) * scale, scale, scale, fg);
    cx += 6 * scale;
  }
  return width;
}

void ApplyPictureSettings(RgbImage& image, const PictureSettings& s) {
  const int w = image.width, h = image.height;
  if (s.flipHorizontal)
    for (int y = 0; y < h; ++y) std::reverse(&image.At(0, y), &image.At(0, y) + w);
  if (s.flipVertical)
    for (int y = 0; y < h / 2; ++y) std::swap_ranges(&image.At(0, y), &image.At(0, y) + w, &image.At(0, h - 1 - y));
  const PictureTone tone(s);
  if (tone.Neutral()) return;
  for (uint32_t& p : image.pixels) p = tone(p);
}

PictureTone::PictureTone(const PictureSettings& s) {
  const PictureSettings neutral;
  colourOps_ = s.hue != 0 || s.saturation != 100 || s.colorEnable == 0;
  anything_ = colourOps_ || s.brightness != 0 || s.contrast != neutral.contrast || s.gamma != 100 ||
              s.whiteBalance != neutral.whiteBalance || s.gain != 0 || s.exposure != neutral.exposure;
  if (!anything_) return;
  // One table per channel for the tone steps.
  const double wb = (s.whiteBalance - neutral.whiteBalance) / 1900.0;
  const double light = std::ldexp(1.0, s.exposure - neutral.exposure) * (100 + s.gain) / 100.0;
  const double factors[3] = {light * (1 - 0.15 * wb), light, light * (1 + 0.15 * wb)};
  for (int ch = 0; ch < 3; ++ch)
    for (int v = 0; v < 256; ++v) {
      double c = v * factors[ch];
      c = (c - 128.0) * s.contrast / 50.0 + 128.0 + s.brightness;
      c = std::clamp(c, 0.0, 255.0);
      if (s.gamma != 100) c = 255.0 * std::pow(c / 255.0, 100.0 / s.gamma);
      tone_[ch][v] = static_cast<uint8_t>(Clamp255(c));
    }
  const double angle = s.hue * 3.14159265358979323846 / 180.0;
  const double sat = s.colorEnable == 0 ? 0.0 : s.saturation / 100.0;
  cs_ = std::cos(angle) * sat;
  sn_ = std::sin(angle) * sat;
}

uint32_t PictureTone::operator()(uint32_t p) const {
  if (!anything_) return p;
  int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
  if (colourOps_) {
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    const double u0 = b - y, v0 = r - y;
    const double u = u0 * cs_ - v0 * sn_, v = u0 * sn_ + v0 * cs_;
    r = Clamp255(y + v);
    b = Clamp255(y + u);
    g = Clamp255((y - 0.299 * (y + v) - 0.114 * (y + u)) / 0.587);
  }
  return Rgb(tone_[0][r], tone_[1][g], tone_[2][b]);
}

// ---- the moving box ----------------------------------------------------------------------------

MotionScript& MotionScript::SetGrid(int cols, int rows) {
  cols_ = std::max(1, cols);
  rows_ = std::max(1, rows);
  return *this;
}

MotionScript& MotionScript::SetBoxSize(int width, int height) {
  boxW_ = std::max(0, width);
  boxH_ = std::max(0, height);
  return *this;
}

MotionScript& MotionScript::Still(int frames) {
  steps_.push_back({Kind::Still, 0, 0, 0, 0, std::max(1, frames), -1});
  return *this;
}

MotionScript& MotionScript::MoveBox(int x0, int y0, int x1, int y1, int frames) {
  steps_.push_back({Kind::Move, x0, y0, x1, y1, std::max(1, frames), -1});
  return *this;
}

MotionScript& MotionScript::Flash(int cell, int frames) {
  steps_.push_back({Kind::Flash, 0, 0, 0, 0, std::max(1, frames), cell});
  return *this;
}

MotionScript& MotionScript::HideBox() {
  steps_.push_back({Kind::Hide, 0, 0, 0, 0, 1, -1});
  return *this;
}

void MotionScript::Clear() { steps_.clear(); }

ScriptState MotionScript::StateAt(int64_t frame) const {
  ScriptState st;
  int64_t start = 0;
  for (const Step& step : steps_) {
    const int64_t into = frame - start;
    if (into < 0) break;
    const bool inside = into < step.frames;
    switch (step.kind) {
      case Kind::Still:
        break;
      case Kind::Hide:
        st.box = false;
        break;
      case Kind::Move: {
        const int64_t k = inside ? into : step.frames - 1;
        const int64_t span = std::max(1, step.frames - 1);
        st.box = true;
        st.boxX = static_cast<int>(step.x0 + (step.x1 - step.x0) * k / span);
        st.boxY = static_cast<int>(step.y0 + (step.y1 - step.y0) * k / span);
        break;
      }
      case Kind::Flash:
        if (inside) st.flashCell = step.cell;
        break;
    }
    if (inside) {
      if (step.kind == Kind::Hide) st.box = false;
      break;
    }
    start += step.frames;
  }
  return st;
}

void MotionScript::CellRect(int cell, int width, int height, int* x, int* y, int* w, int* h) const {
  const int col = cell % cols_, row = cell / cols_;
  *x = col * width / cols_;
  *y = row * height / rows_;
  *w = (col + 1) * width / cols_ - *x;
  *h = (row + 1) * height / rows_ - *y;
}

int MotionScript::Areas(int64_t frame, int width, int height, int rects[2][4]) const {
  const ScriptState st = StateAt(frame);
  int n = 0;
  if (st.flashCell >= 0 && st.flashCell < cols_ * rows_) {
    int* r = rects[n++];
    CellRect(st.flashCell, width, height, &r[0], &r[1], &r[2], &r[3]);
  }
  if (st.box) {
    int* r = rects[n++];
    r[0] = st.boxX;
    r[1] = st.boxY;
    r[2] = boxW_ > 0 ? boxW_ : width / cols_;
    r[3] = boxH_ > 0 ? boxH_ : height / rows_;
  }
  return n;
}

void MotionScript::Draw(RgbImage& image, int64_t frame) const {
  int rects[2][4];
  const int n = Areas(frame, image.width, image.height, rects);
  for (int i = 0; i < n; ++i) image.FillRect(rects[i][0], rects[i][1], rects[i][2], rects[i][3], kBoxColour);
}

// ---- conversions --------------------------------------------------------------------------------

void RgbToYuv(uint32_t rgb, uint8_t* y, uint8_t* u, uint8_t* v) {
  const int r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
  *y = static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
  *u = static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
  *v = static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

uint32_t YuvToRgb(int y, int u, int v) {
  const int c = y - 16, d = u - 128, e = v - 128;
  return Rgb(Clamp255((298 * c + 409 * e + 128) >> 8), Clamp255((298 * c - 100 * d - 208 * e + 128) >> 8),
             Clamp255((298 * c + 516 * d + 128) >> 8));
}

uint32_t ImageBytes(const GUID& subtype, int width, int height) {
  if (subtype == MEDIASUBTYPE_RGB24) return static_cast<uint32_t>((width * 3 + 3) / 4 * 4 * height);
  if (subtype == MEDIASUBTYPE_RGB32) return static_cast<uint32_t>(width * 4 * height);
  if (subtype == MEDIASUBTYPE_YUY2) return static_cast<uint32_t>(width * 2 * height);
  if (subtype == MEDIASUBTYPE_I420) return static_cast<uint32_t>(width * height * 3 / 2);
  return 0;
}

uint32_t ConvertPicture(const RgbImage& img, const GUID& subtype, uint8_t* out, uint32_t room) {
  const uint32_t bytes = ImageBytes(subtype, img.width, img.height);
  if (bytes == 0 || bytes > room) return 0;
  ConvertRect(img, subtype, out, 0, 0, img.width, img.height);
  return bytes;
}

void ConvertRect(const RgbImage& img, const GUID& subtype, uint8_t* out, int x0, int y0, int x1, int y1) {
  const int w = img.width, h = img.height;
  x0 = std::max(x0, 0), y0 = std::max(y0, 0);
  x1 = std::min(x1, w), y1 = std::min(y1, h);
  if (x0 >= x1 || y0 >= y1) return;
  if (subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32) {
    const int bpp = subtype == MEDIASUBTYPE_RGB24 ? 3 : 4;
    const int stride = (w * bpp + 3) / 4 * 4;
    for (int y = y0; y < y1; ++y) {
      uint8_t* row = out + static_cast<size_t>(h - 1 - y) * stride;  // bottom-up
      const uint32_t* src = img.pixels.data() + static_cast<size_t>(y) * w;
      if (bpp == 4) {
        for (int x = x0; x < x1; ++x) {
          const uint32_t p = src[x] & 0xFFFFFFu;
          std::memcpy(row + x * 4, &p, 4);  // B, G, R, 0 in memory
        }
      } else {
        for (int x = x0; x < x1; ++x) {
          const uint32_t p = src[x];
          row[x * 3] = p & 255;
          row[x * 3 + 1] = (p >> 8) & 255;
          row[x * 3 + 2] = (p >> 16) & 255;
        }
      }
      if (x1 == w) std::memset(row + w * bpp, 0, static_cast<size_t>(stride - w * bpp));
    }
  } else if (subtype == MEDIASUBTYPE_YUY2) {
    const int xe = std::min(w, x1 + (x1 & 1));
    for (int y = y0; y < y1; ++y) {
      uint8_t* row = out + static_cast<size_t>(y) * w * 2;
      const uint32_t* src = img.pixels.data() + static_cast<size_t>(y) * w;
      for (int x = x0; x + 1 < xe; x += 2) {
        uint8_t ya, ua, va, yb, ub, vb;
        RgbToYuv(src[x], &ya, &ua, &va);
        RgbToYuv(src[x + 1], &yb, &ub, &vb);
        row[x * 2] = ya;
        row[x * 2 + 1] = static_cast<uint8_t>((ua + ub + 1) / 2);
        row[x * 2 + 2] = yb;
        row[x * 2 + 3] = static_cast<uint8_t>((va + vb + 1) / 2);
      }
    }
  } else if (subtype == MEDIASUBTYPE_I420) {
    uint8_t* yp = out;
    uint8_t* up = out + static_cast<size_t>(w) * h;
    uint8_t* vp = up + static_cast<size_t>(w / 2) * (h / 2);
    for (int y = y0; y < y1; ++y) {
      const uint32_t* src = img.pixels.data() + static_cast<size_t>(y) * w;
      uint8_t* row = yp + static_cast<size_t>(y) * w;
      for (int x = x0; x < x1; ++x) {
        uint8_t yy, u, v;
        RgbToYuv(src[x], &yy, &u, &v);
        row[x] = yy;
      }
    }
    const int cx1 = std::min(w / 2, (x1 + 1) / 2), cy1 = std::min(h / 2, (y1 + 1) / 2);
    for (int y = y0 / 2; y < cy1; ++y)
      for (int x = x0 / 2; x < cx1; ++x) {
        int su = 0, sv = 0;
        for (int k = 0; k < 4; ++k) {
          uint8_t yy, u, v;
          RgbToYuv(img.At(x * 2 + (k & 1), y * 2 + (k >> 1)), &yy, &u, &v);
          su += u;
          sv += v;
        }
        up[static_cast<size_t>(y) * (w / 2) + x] = static_cast<uint8_t>((su + 2) / 4);
        vp[static_cast<size_t>(y) * (w / 2) + x] = static_cast<uint8_t>((sv + 2) / 4);
      }
  }
}

bool ReadPicture(const uint8_t* data, uint32_t size, const GUID& subtype, int w, int h, RgbImage* img) {
  if (!img || ImageBytes(subtype, w, h) == 0 || size < ImageBytes(subtype, w, h)) return false;
  *img = RgbImage(w, h);
  if (subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32) {
    const int bpp = subtype == MEDIASUBTYPE_RGB24 ? 3 : 4;
    const int stride = (w * bpp + 3) / 4 * 4;
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = data + static_cast<size_t>(h - 1 - y) * stride;
      for (int x = 0; x < w; ++x) img->At(x, y) = Rgb(row[x * bpp + 2], row[x * bpp + 1], row[x * bpp]);
    }
  } else if (subtype == MEDIASUBTYPE_YUY2) {
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = data + static_cast<size_t>(y) * w * 2;
      for (int x = 0; x < w; ++x) img->At(x, y) = YuvToRgb(row[x * 2], row[(x & ~1) * 2 + 1], row[(x & ~1) * 2 + 3]);
    }
  } else {
    const uint8_t* up = data + static_cast<size_t>(w) * h;
    const uint8_t* vp = up + static_cast<size_t>(w / 2) * (h / 2);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const size_t c = static_cast<size_t>(y / 2) * (w / 2) + x / 2;
        img->At(x, y) = YuvToRgb(data[static_cast<size_t>(y) * w + x], up[c], vp[c]);
      }
  }
  return true;
}

// ---- motion JPEG ---------------------------------------------------------------------------------

struct MjpegEncoder::Impl {
  AVCodecContext* ctx = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  int64_t pts = 0;
};

MjpegEncoder::MjpegEncoder(int width, int height)
    : impl_(std::make_unique<Impl>()), width_(width), height_(height) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  if (!codec) return;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->width = width;
  ctx->height = height;
  ctx->pix_fmt = AV_PIX_FMT_YUVJ420P;
  ctx->time_base = AVRational{1, 30};
  ctx->flags |= AV_CODEC_FLAG_QSCALE;
  ctx->global_quality = FF_QP2LAMBDA * 3;
  if (avcodec_open2(ctx, codec, nullptr) < 0) {
    avcodec_free_context(&ctx);
    return;
  }
  impl_->ctx = ctx;
  impl_->frame = av_frame_alloc();
  impl_->frame->format = AV_PIX_FMT_YUVJ420P;
  impl_->frame->width = width;
  impl_->frame->height = height;
  av_frame_get_buffer(impl_->frame, 0);
  impl_->packet = av_packet_alloc();
}

MjpegEncoder::~MjpegEncoder() {
  av_packet_free(&impl_->packet);
  av_frame_free(&impl_->frame);
  avcodec_free_context(&impl_->ctx);
}

uint32_t MjpegEncoder::Encode(const RgbImage& img, uint8_t* out, uint32_t room) {
  Impl& m = *impl_;
  if (!m.ctx || img.width != m.ctx->width || img.height != m.ctx->height) return 0;
  if (av_frame_make_writable(m.frame) < 0) return 0;
  // Full-range (JPEG) BT.601.
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      const uint32_t p = img.At(x, y);
      const double r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
      m.frame->data[0][y * m.frame->linesize[0] + x] = static_cast<uint8_t>(Clamp255(0.299 * r + 0.587 * g + 0.114 * b));
    }
  for (int y = 0; y < img.height / 2; ++y)
    for (int x = 0; x < img.width / 2; ++x) {
      double r = 0, g = 0, b = 0;
      for (int k = 0; k < 4; ++k) {
        const uint32_t p = img.At(x * 2 + (k & 1), y * 2 + (k >> 1));
        r += (p >> 16) & 255;
        g += (p >> 8) & 255;
        b += p & 255;
      }
      r /= 4, g /= 4, b /= 4;
      m.frame->data[1][y * m.frame->linesize[1] + x] = static_cast<uint8_t>(Clamp255(128 - 0.168736 * r - 0.331264 * g + 0.5 * b));
      m.frame->data[2][y * m.frame->linesize[2] + x] = static_cast<uint8_t>(Clamp255(128 + 0.5 * r - 0.418688 * g - 0.081312 * b));
    }
  m.frame->pts = m.pts++;
  m.frame->quality = m.ctx->global_quality;
  if (avcodec_send_frame(m.ctx, m.frame) < 0) return 0;
  uint32_t used = 0;
  while (avcodec_receive_packet(m.ctx, m.packet) == 0) {
    if (used == 0 && static_cast<uint32_t>(m.packet->size) <= room) {
      std::memcpy(out, m.packet->data, static_cast<size_t>(m.packet->size));
      used = static_cast<uint32_t>(m.packet->size);
    }
    av_packet_unref(m.packet);
  }
  return used;
}

}  // namespace mg::sim
