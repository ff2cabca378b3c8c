// TGraphic, TPicture and TIcon.
#include <algorithm>
#include <cstring>

#include "platform/forms/Graphics.h"
#include "platform/forms/GraphicsInternal.h"
#include "platform/forms/Jpeg.h"
#include "platform/forms/PngImage.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/Bitmap.h"
#include "platform/win/Blit.h"
#include "platform/win/Dc.h"
#include "platform/win/Dib.h"
#include "platform/win/GdiObject.h"
#include "platform/win/Icons.h"
#include "platform/win/ImageFiles.h"

namespace forms {

using namespace win;

// ---- TGraphic ----

void TGraphic::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  Changed();
}

void TGraphic::SetModified(bool modified) {
  if (modified) {
    Changed();
  } else {
    modified_ = false;
  }
}

void TGraphic::Changed() {
  modified_ = true;
  if (OnChange) OnChange(this);
}

void TGraphic::LoadFromFile(const String& fileName) {
  rtl::TFileStream stream(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TGraphic::SaveToFile(const String& fileName) {
  rtl::TFileStream stream(fileName, rtl::fmCreate);
  SaveToStream(&stream);
}

void DrawStraightAlpha(TCanvas* canvas, const TRect& rect, const uint32_t* pixels, int width, int height) {
  if (width <= 0 || height <= 0) return;
  void* bits = nullptr;
  HBITMAP pm = CreateDib(width, height, 32, {}, false, &bits);
  if (!pm) return;
  // AlphaBlend takes premultiplied pixels; rows of the section run
  // bottom-up.
  const size_t stride = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    auto* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + static_cast<size_t>(height - 1 - y) * stride);
    const uint32_t* in = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x) {
      const uint32_t p = in[x];
      const uint32_t a = p >> 24;
      const uint32_t r = ((p >> 16) & 0xFF) * a / 255, g = ((p >> 8) & 0xFF) * a / 255, b = (p & 0xFF) * a / 255;
      out[x] = a << 24 | r << 16 | g << 8 | b;
    }
  }
  HDC src = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(src, pm);
  BLENDFUNCTION bf;
  bf.AlphaFormat = AC_SRC_ALPHA;
  canvas->RequiredState({csHandleValid});
  AlphaBlend(canvas->Handle(), rect.left, rect.top, rect.Width(), rect.Height(), src, 0, 0, width, height, bf);
  SelectObject(src, old);
  DeleteDC(src);
  DeleteObject(pm);
}

// ---- TIcon ----

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Decodes one icon image (a PNG or a DIB with its AND mask) into straight
// alpha pixels, top row first.
bool DecodeIconImage(const uint8_t* data, size_t size, int* width, int* height, std::vector<uint32_t>* out) {
  if (IsPngData(data, size)) {
    std::unique_ptr<Surface> s = LoadPngFromMemory(data, size);
    if (!s) return false;
    *width = s->Width();
    *height = s->Height();
    out->resize(static_cast<size_t>(*width) * static_cast<size_t>(*height));
    for (int y = 0; y < *height; ++y)
      std::memcpy(out->data() + static_cast<size_t>(y) * static_cast<size_t>(*width), s->Row(y),
                  static_cast<size_t>(*width) * 4);
    return true;
  }
  if (size < sizeof(BITMAPINFOHEADER)) return false;
  // The header's height counts the colour rows and the mask rows.
  std::vector<uint8_t> info(data, data + size);
  BITMAPINFOHEADER h;
  std::memcpy(&h, info.data(), sizeof(h));
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biHeight <= 0) return false;
  h.biHeight /= 2;
  std::memcpy(info.data(), &h, sizeof(h));
  DibFormat f;
  if (!f.Parse(info.data(), info.size())) return false;
  size_t offset = h.biSize;
  if (f.bitCount <= 8) offset += (h.biClrUsed ? h.biClrUsed : (1u << f.bitCount)) * 4;
  else if (h.biCompression == BI_BITFIELDS && h.biSize == 40) offset += 12;
  if (offset + f.ImageSize() > size) return false;
  Surface s;
  if (!DibToSurface(f, data + offset, f.ImageSize(), &s)) return false;
  *width = f.width;
  *height = f.height;
  out->resize(static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
  bool anyAlpha = false;
  if (f.bitCount == 32)
    for (int y = 0; y < f.height && !anyAlpha; ++y)
      for (int x = 0; x < f.width; ++x)
        if (s.Pixel(x, y) >> 24) {
          anyAlpha = true;
          break;
        }
  const uint8_t* mask = data + offset + f.ImageSize();
  const size_t maskStride = DibStride(f.width, 1);
  const bool haveMask = offset + f.ImageSize() + maskStride * static_cast<size_t>(f.height) <= size;
  for (int y = 0; y < f.height; ++y) {
    const uint8_t* mrow = mask + static_cast<size_t>(f.height - 1 - y) * maskStride;
    for (int x = 0; x < f.width; ++x) {
      uint32_t p = s.Pixel(x, y);
      if (!anyAlpha) {
        const bool clear = haveMask && (mrow[x / 8] & (0x80 >> (x % 8)));
        p = (p & 0xFFFFFF) | (clear ? 0u : 0xFF000000u);
      }
      (*out)[static_cast<size_t>(y) * static_cast<size_t>(f.width) + static_cast<size_t>(x)] = p;
    }
  }
  return true;
}

}  // namespace

TIcon::TIcon() = default;
TIcon::~TIcon() { FreeHandle(); }

void TIcon::FreeHandle() {
  if (handle_) DestroyIcon(handle_);
  handle_ = nullptr;
}

void TIcon::Changed() {
  // The handle shows the picture as it was; the next use makes a new one.
  FreeHandle();
  TGraphic::Changed();
}

HICON TIcon::Handle() {
  if (!handle_ && !Empty()) {
    const int w = Width(), h = Height();
    // A mask of the clear pixels, and the colours black where clear so
    // the masked drawing leaves the destination as it is.
    TBitmap colour, mask;
    colour.SetPixelFormat(pf32bit);
    colour.SetSize(w, h);
    mask.SetPixelFormat(pf1bit);
    mask.SetSize(w, h);
    for (int y = 0; y < h; ++y) {
      const auto* in = static_cast<const uint32_t*>(image_->ScanLine(y));
      auto* out = static_cast<uint32_t*>(colour.ScanLine(y));
      auto* m = static_cast<uint8_t*>(mask.ScanLine(y));
      std::memset(m, 0, DibStride(w, 1));
      for (int x = 0; x < w; ++x) {
        const bool clear = (in[x] >> 24) == 0;
        out[x] = clear ? 0u : in[x];
        if (clear) m[x / 8] = static_cast<uint8_t>(m[x / 8] | (0x80 >> (x % 8)));
      }
    }
    ICONINFO info;
    info.hbmColor = colour.Handle();
    info.hbmMask = mask.Handle();
    handle_ = CreateIconIndirect(&info);
  }
  return handle_;
}

HICON TIcon::ReleaseHandle() {
  HICON h = Handle();
  handle_ = nullptr;
  return h;
}

void TIcon::SetHandle(HICON icon) {
  ICONINFO info;
  if (!icon || !GetIconInfo(icon, &info)) {
    FreeHandle();
    image_.reset();
    data_.clear();
    TGraphic::Changed();
    return;
  }
  // The icon's own bitmaps, read as 32 bits; a monochrome icon keeps its
  // AND mask over its XOR image in one bitmap of twice the height.
  TBitmap colour, mask;
  mask.SetHandle(info.hbmMask);
  mask.SetPixelFormat(pf32bit);
  const int w = mask.Width();
  const int h = info.hbmColor ? mask.Height() : mask.Height() / 2;
  if (info.hbmColor) {
    colour.SetHandle(info.hbmColor);
    colour.SetPixelFormat(pf32bit);
  }
  bool anyAlpha = false;
  if (info.hbmColor)
    for (int y = 0; y < h && !anyAlpha; ++y)
      for (int x = 0; x < w; ++x)
        if (static_cast<const uint32_t*>(colour.ScanLine(y))[x] >> 24) {
          anyAlpha = true;
          break;
        }
  auto image = std::make_unique<TBitmap>();
  image->SetPixelFormat(pf32bit);
  image->SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    const auto* m = static_cast<const uint32_t*>(mask.ScanLine(y));
    const auto* c = static_cast<const uint32_t*>(info.hbmColor ? colour.ScanLine(y) : mask.ScanLine(y + h));
    auto* out = static_cast<uint32_t*>(image->ScanLine(y));
    for (int x = 0; x < w; ++x) {
      const bool clear = (m[x] & 0xFFFFFF) != 0;
      out[x] = anyAlpha ? c[x] : ((c[x] & 0xFFFFFF) | (clear ? 0u : 0xFF000000u));
    }
  }
  FreeHandle();
  image_ = std::move(image);
  data_.clear();
  TGraphic::Changed();
  handle_ = icon;
}

int TIcon::Width() const { return image_ ? image_->Width() : 0; }
int TIcon::Height() const { return image_ ? image_->Height() : 0; }

void TIcon::SetWidth(int) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }
void TIcon::SetHeight(int) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }

void TIcon::LoadFromStream(rtl::TStream* stream) {
  std::vector<uint8_t> data(static_cast<size_t>(std::max<int64_t>(stream->Size() - stream->Position(), 0)));
  if (!data.empty()) data.resize(static_cast<size_t>(stream->Read(data.data(), static_cast<int64_t>(data.size()))));
  if (data.size() < 6 || Le16(&data[0]) != 0 || Le16(&data[2]) != 1 || Le16(&data[4]) == 0)
    throw EInvalidGraphic("Icon image is not valid");
  const int count = Le16(&data[4]);
  if (data.size() < 6 + static_cast<size_t>(count) * 16) throw EInvalidGraphic("Icon image is not valid");
  // The entry nearest the standard 32x32 size, the deepest of those.
  int best = -1, bestDist = 0, bestDepth = 0;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = &data[6 + static_cast<size_t>(i) * 16];
    const int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
    const int depth = Le16(e + 6) ? Le16(e + 6) : 32;
    const int dist = std::abs(w - 32) + std::abs(h - 32);
    if (best < 0 || dist < bestDist || (dist == bestDist && depth > bestDepth)) {
      best = i;
      bestDist = dist;
      bestDepth = depth;
    }
  }
  const uint8_t* e = &data[6 + static_cast<size_t>(best) * 16];
  const uint32_t bytes = Le32(e + 8), offset = Le32(e + 12);
  if (offset > data.size() || bytes > data.size() - offset) throw EInvalidGraphic("Icon image is not valid");
  int w = 0, h = 0;
  std::vector<uint32_t> pixels;
  if (!DecodeIconImage(&data[offset], bytes, &w, &h, &pixels)) throw EInvalidGraphic("Icon image is not valid");
  auto image = std::make_unique<TBitmap>();
  image->SetPixelFormat(pf32bit);
  image->SetSize(w, h);
  for (int y = 0; y < h; ++y)
    std::memcpy(image->ScanLine(y), pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w),
                static_cast<size_t>(w) * 4);
  image_ = std::move(image);
  data_ = std::move(data);
  Changed();
}

void TIcon::SaveToStream(rtl::TStream* stream) {
  if (!data_.empty()) {
    stream->WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
    return;
  }
  if (Empty()) return;
  // An icon made from a handle goes out as one 32-bit entry with its mask.
  const int w = Width(), h = Height();
  const size_t maskStride = DibStride(w, 1);
  const uint32_t bytes = static_cast<uint32_t>(40 + static_cast<size_t>(w) * static_cast<size_t>(h) * 4 +
                                               maskStride * static_cast<size_t>(h));
  std::vector<uint8_t> out = {0, 0, 1, 0, 1, 0, static_cast<uint8_t>(w < 256 ? w : 0),
                              static_cast<uint8_t>(h < 256 ? h : 0), 0, 0, 1, 0, 32, 0};
  for (uint32_t v : {bytes, uint32_t{22}})
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  BITMAPINFOHEADER bh;
  bh.biWidth = w;
  bh.biHeight = h * 2;
  bh.biBitCount = 32;
  const auto* hp = reinterpret_cast<const uint8_t*>(&bh);
  out.insert(out.end(), hp, hp + sizeof(bh));
  std::vector<uint8_t> mask(maskStride * static_cast<size_t>(h), 0);
  for (int y = h - 1; y >= 0; --y) {
    const auto* row = static_cast<const uint32_t*>(image_->ScanLine(y));
    uint8_t* m = &mask[static_cast<size_t>(h - 1 - y) * maskStride];
    for (int x = 0; x < w; ++x) {
      const uint32_t p = row[x];
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(p >> (8 * i)));
      if ((p >> 24) == 0) m[x / 8] = static_cast<uint8_t>(m[x / 8] | (0x80 >> (x % 8)));
    }
  }
  out.insert(out.end(), mask.begin(), mask.end());
  stream->WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

void TIcon::Assign(TPersistent* source) {
  if (!source) {
    image_.reset();
    data_.clear();
    Changed();
    return;
  }
  if (auto* i = dynamic_cast<TIcon*>(source)) {
    if (i == this) return;
    data_ = i->data_;
    image_.reset();
    if (i->image_) {
      image_ = std::make_unique<TBitmap>();
      image_->Assign(i->image_.get());
    }
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TIcon::AssignTo(TPersistent* dest) {
  if (auto* b = dynamic_cast<TBitmap*>(dest)) {
    // The icon over the bitmap's brush colour, as drawing it would show.
    b->Assign(nullptr);
    if (!Empty()) {
      b->SetPixelFormat(pf24bit);
      b->SetSize(Width(), Height());
      b->Canvas()->Draw(0, 0, this);
    }
    return;
  }
  TPersistent::AssignTo(dest);
}

void TIcon::Draw(TCanvas* canvas, const TRect& rect) {
  if (Empty()) return;
  std::vector<uint32_t> pixels(static_cast<size_t>(Width()) * static_cast<size_t>(Height()));
  for (int y = 0; y < Height(); ++y)
    std::memcpy(pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(Width()), image_->ScanLine(y),
                static_cast<size_t>(Width()) * 4);
  DrawStraightAlpha(canvas, rect, pixels.data(), Width(), Height());
}

// ---- TPicture ----

std::unique_ptr<TGraphic> NewGraphicForExtension(const String& extension) {
  const String ext = rtl::LowerCase(extension);
  if (ext == ".bmp") return std::make_unique<TBitmap>();
  if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe" || ext == ".jfif") return std::make_unique<TJPEGImage>();
  if (ext == ".png") return std::make_unique<TPNGObject>();
  if (ext == ".ico") return std::make_unique<TIcon>();
  return nullptr;
}

std::unique_ptr<TGraphic> NewGraphicLike(const TGraphic& graphic) {
  if (dynamic_cast<const TBitmap*>(&graphic)) return std::make_unique<TBitmap>();
  if (dynamic_cast<const TJPEGImage*>(&graphic)) return std::make_unique<TJPEGImage>();
  if (dynamic_cast<const TPNGObject*>(&graphic)) return std::make_unique<TPNGObject>();
  if (dynamic_cast<const TIcon*>(&graphic)) return std::make_unique<TIcon>();
  return nullptr;
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::Take(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this](TObject* s) { Changed(s); };
  Changed(this);
}

void TPicture::SetGraphic(TGraphic* graphic) {
  if (graphic == graphic_.get()) return;
  if (!graphic) {
    Take(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy = NewGraphicLike(*graphic);
  if (!copy) throw EInvalidGraphic("Unsupported picture class " + graphic->ClassName());
  copy->Assign(graphic);
  Take(std::move(copy));
}

TBitmap* TPicture::Bitmap() {
  if (!dynamic_cast<TBitmap*>(graphic_.get())) Take(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(graphic_.get());
}

TIcon* TPicture::Icon() {
  if (!dynamic_cast<TIcon*>(graphic_.get())) Take(std::make_unique<TIcon>());
  return static_cast<TIcon*>(graphic_.get());
}

void TPicture::LoadFromFile(const String& fileName) {
  const String ext = rtl::ExtractFileExt(fileName);
  std::unique_ptr<TGraphic> g = NewGraphicForExtension(ext);
  if (!g) throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
  g->LoadFromFile(fileName);
  Take(std::move(g));
}

void TPicture::SaveToFile(const String& fileName) {
  if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::Assign(TPersistent* source) {
  if (!source) {
    SetGraphic(nullptr);
  } else if (auto* p = dynamic_cast<TPicture*>(source)) {
    SetGraphic(p->Graphic());
  } else if (auto* g = dynamic_cast<TGraphic*>(source)) {
    SetGraphic(g);
  } else {
    TPersistent::Assign(source);
  }
}

void TPicture::AssignTo(TPersistent* dest) {
  if (auto* g = dynamic_cast<TGraphic*>(dest); g && graphic_) {
    g->Assign(graphic_.get());
    return;
  }
  TPersistent::AssignTo(dest);
}

}  // namespace forms
