// TPNGObject. Reading goes through the drawing layer's PNG reader (every
// colour type, depth and interlace); writing through libpng, whose errors
// jump back into the one function that set up the writer.
#include "platform/forms/PngImage.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "platform/forms/GraphicsInternal.h"
#include "platform/win/Blit.h"
#include "platform/win/Dc.h"
#include "platform/win/ImageFiles.h"

namespace forms {

namespace {

struct WriteTarget {
  std::vector<uint8_t>* out;
};

void WriteData(png_structp png, png_bytep data, png_size_t length) {
  auto* t = static_cast<WriteTarget*>(png_get_io_ptr(png));
  t->out->insert(t->out->end(), data, data + length);
}

void FlushData(png_structp) {}

void WarningFn(png_structp, png_const_charp) {}

// `rows` are top-down RGB or RGBA bytes. False when libpng fails.
bool EncodePng(const uint8_t* rows, int width, int height, bool alpha, int level, std::vector<uint8_t>* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, WarningFn);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  WriteTarget target{out};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &target, WriteData, FlushData);
  png_set_compression_level(png, level);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t stride = static_cast<size_t>(width) * (alpha ? 4 : 3);
  for (int y = 0; y < height; ++y) png_write_row(png, rows + stride * static_cast<size_t>(y));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

TPNGObject::TPNGObject() = default;
TPNGObject::~TPNGObject() = default;

void TPNGObject::Resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);
  std::vector<uint8_t> alpha;
  if (!alpha_.empty()) alpha.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 255);
  const int w = std::min(width, width_), h = std::min(height, height_);
  for (int y = 0; y < h; ++y) {
    std::memcpy(&rgb[static_cast<size_t>(y) * static_cast<size_t>(width) * 3],
                &rgb_[static_cast<size_t>(y) * static_cast<size_t>(width_) * 3], static_cast<size_t>(w) * 3);
    if (!alpha.empty())
      std::memcpy(&alpha[static_cast<size_t>(y) * static_cast<size_t>(width)],
                  &alpha_[static_cast<size_t>(y) * static_cast<size_t>(width_)], static_cast<size_t>(w));
  }
  rgb_ = std::move(rgb);
  alpha_ = std::move(alpha);
  width_ = width;
  height_ = height;
  Changed();
}

uint8_t* TPNGObject::Scanline(int row) {
  if (row < 0 || row >= height_) throw EInvalidGraphicOperation("Scan line index out of range");
  return &rgb_[static_cast<size_t>(row) * static_cast<size_t>(width_) * 3];
}

uint8_t* TPNGObject::AlphaScanline(int row) {
  if (alpha_.empty()) return nullptr;
  if (row < 0 || row >= height_) throw EInvalidGraphicOperation("Scan line index out of range");
  return &alpha_[static_cast<size_t>(row) * static_cast<size_t>(width_)];
}

void TPNGObject::CreateAlpha() {
  if (!alpha_.empty() || Empty()) return;
  alpha_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 255);
  Changed();
}

void TPNGObject::RemoveTransparency() {
  if (alpha_.empty()) return;
  alpha_.clear();
  Changed();
}

TPNGTransparencyMode TPNGObject::TransparencyMode() const {
  TPNGTransparencyMode mode = ptmNone;
  for (uint8_t a : alpha_) {
    if (a == 255) continue;
    if (a != 0) return ptmPartial;
    mode = ptmBit;
  }
  return mode;
}

TColor TPNGObject::Pixels(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return clNone;
  const uint8_t* p = &rgb_[(static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 3];
  return static_cast<TColor>(win::RGB(p[2], p[1], p[0]));
}

void TPNGObject::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const win::COLORREF c = ColorToRGB(color);
  uint8_t* p = &rgb_[(static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 3];
  p[0] = win::GetBValue(c);
  p[1] = win::GetGValue(c);
  p[2] = win::GetRValue(c);
  Changed();
}

namespace {

// The bytes up to and including the IEND chunk, or 0 when the chunks run
// past the data.
size_t PngLength(const std::vector<uint8_t>& data) {
  size_t at = 8;
  while (at + 12 <= data.size()) {
    const size_t length = static_cast<size_t>(data[at]) << 24 | static_cast<size_t>(data[at + 1]) << 16 |
                          static_cast<size_t>(data[at + 2]) << 8 | data[at + 3];
    if (length > data.size() - at - 12) return 0;
    const bool end = std::memcmp(&data[at + 4], "IEND", 4) == 0;
    at += 12 + length;
    if (end) return at;
  }
  return 0;
}

}  // namespace

void TPNGObject::LoadFromStream(rtl::TStream* stream) {
  const int64_t start = stream->Position();
  std::vector<uint8_t> data(static_cast<size_t>(std::max<int64_t>(stream->Size() - start, 0)));
  if (!data.empty()) data.resize(static_cast<size_t>(stream->Read(data.data(), static_cast<int64_t>(data.size()))));
  if (!win::IsPngData(data.data(), data.size())) throw EPNGError("This is not a valid PNG image");
  // A picture inside a larger stream ends with its IEND chunk; the stream
  // is left just after it.
  if (const size_t length = PngLength(data); length && length < data.size()) {
    data.resize(length);
    stream->SetPosition(start + static_cast<int64_t>(length));
  }
  std::unique_ptr<win::Surface> s = win::LoadPngFromMemory(data.data(), data.size());
  if (!s) throw EPNGError("This PNG image is corrupt");
  const int w = s->Width(), h = s->Height();
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
  std::vector<uint8_t> alpha(static_cast<size_t>(w) * static_cast<size_t>(h));
  bool seeThrough = false;
  for (int y = 0; y < h; ++y) {
    const uint32_t* row = s->Row(y);
    for (int x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
      const uint32_t p = row[x];
      rgb[i * 3] = static_cast<uint8_t>(p);
      rgb[i * 3 + 1] = static_cast<uint8_t>(p >> 8);
      rgb[i * 3 + 2] = static_cast<uint8_t>(p >> 16);
      alpha[i] = static_cast<uint8_t>(p >> 24);
      if (alpha[i] != 255) seeThrough = true;
    }
  }
  // The reader makes opaque pictures fully opaque, so a plane of 255s
  // carries nothing: keep none, as a picture without alpha has none.
  if (!seeThrough) alpha.clear();
  width_ = w;
  height_ = h;
  rgb_ = std::move(rgb);
  alpha_ = std::move(alpha);
  Changed();
}

void TPNGObject::SaveToStream(rtl::TStream* stream) {
  if (Empty()) throw EPNGError("Cannot save an empty PNG image");
  const bool alpha = !alpha_.empty();
  const size_t n = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  std::vector<uint8_t> rows(n * (alpha ? 4 : 3));
  for (size_t i = 0; i < n; ++i) {
    uint8_t* o = &rows[i * (alpha ? 4 : 3)];
    o[0] = rgb_[i * 3 + 2];
    o[1] = rgb_[i * 3 + 1];
    o[2] = rgb_[i * 3];
    if (alpha) o[3] = alpha_[i];
  }
  std::vector<uint8_t> out;
  if (!EncodePng(rows.data(), width_, height_, alpha, compressionLevel_, &out))
    throw EPNGError("The PNG image could not be written");
  stream->WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

void TPNGObject::Assign(TPersistent* source) {
  if (!source) {
    width_ = height_ = 0;
    rgb_.clear();
    alpha_.clear();
    Changed();
    return;
  }
  if (auto* p = dynamic_cast<TPNGObject*>(source)) {
    if (p == this) return;
    width_ = p->width_;
    height_ = p->height_;
    rgb_ = p->rgb_;
    alpha_ = p->alpha_;
    compressionLevel_ = p->compressionLevel_;
    Changed();
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(source)) {
    // Through a 32-bit copy: every depth reads the same way, and a 32-bit
    // source brings its fourth byte as alpha.
    TBitmap copy;
    copy.Assign(b);
    const bool withAlpha = b->PixelFormat() == pf32bit;
    copy.SetPixelFormat(pf32bit);
    const int w = copy.Width(), h = copy.Height();
    width_ = w;
    height_ = h;
    rgb_.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, 0);
    alpha_.clear();
    if (withAlpha) alpha_.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 255);
    for (int y = 0; y < h; ++y) {
      const auto* row = static_cast<const uint32_t*>(copy.ScanLine(y));
      for (int x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
        rgb_[i * 3] = static_cast<uint8_t>(row[x]);
        rgb_[i * 3 + 1] = static_cast<uint8_t>(row[x] >> 8);
        rgb_[i * 3 + 2] = static_cast<uint8_t>(row[x] >> 16);
        if (withAlpha) alpha_[i] = static_cast<uint8_t>(row[x] >> 24);
      }
    }
    // A 32-bit bitmap whose fourth byte is all zero was never given alpha.
    if (withAlpha && std::all_of(alpha_.begin(), alpha_.end(), [](uint8_t a) { return a == 0; })) alpha_.clear();
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TPNGObject::AssignTo(TPersistent* dest) {
  if (auto* b = dynamic_cast<TBitmap*>(dest)) {
    // Opaque pictures become 24-bit bitmaps; ones with alpha 32-bit with
    // the alpha (straight) in the fourth byte.
    b->Assign(nullptr);
    if (Empty()) return;
    const bool alpha = !alpha_.empty();
    b->SetPixelFormat(alpha ? pf32bit : pf24bit);
    b->SetSize(width_, height_);
    for (int y = 0; y < height_; ++y) {
      auto* row = static_cast<uint8_t*>(b->ScanLine(y));
      for (int x = 0; x < width_; ++x) {
        const size_t i = static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
        uint8_t* o = row + static_cast<size_t>(x) * (alpha ? 4 : 3);
        o[0] = rgb_[i * 3];
        o[1] = rgb_[i * 3 + 1];
        o[2] = rgb_[i * 3 + 2];
        if (alpha) o[3] = alpha_[i];
      }
    }
    return;
  }
  TGraphic::AssignTo(dest);
}

void TPNGObject::Draw(TCanvas* canvas, const TRect& rect) {
  if (Empty()) return;
  if (alpha_.empty()) {
    // Opaque: a plain stretch, so the canvas's copy mode applies.
    TBitmap b;
    AssignTo(&b);
    canvas->StretchDraw(rect, &b);
    return;
  }
  const size_t n = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  std::vector<uint32_t> pixels(n);
  for (size_t i = 0; i < n; ++i)
    pixels[i] = static_cast<uint32_t>(alpha_[i]) << 24 | static_cast<uint32_t>(rgb_[i * 3 + 2]) << 16 |
                static_cast<uint32_t>(rgb_[i * 3 + 1]) << 8 | rgb_[i * 3];
  DrawStraightAlpha(canvas, rect, pixels.data(), width_, height_);
}

}  // namespace forms
