// Image lists over straight-alpha pixel copies: a mask becomes alpha 0 or
// 255, and drawing blends that over the canvas.
#include "platform/forms/ImgList.h"

#include <algorithm>
#include <cstring>

#include "platform/forms/GraphicsInternal.h"

namespace forms {

namespace {

// The picture as 32-bit pixels, top row first.
std::vector<uint32_t> PixelsOf(TBitmap* image) {
  TBitmap copy;
  copy.Assign(image);
  copy.SetPixelFormat(pf32bit);
  const int w = copy.Width(), h = copy.Height();
  std::vector<uint32_t> out(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y)
    std::memcpy(out.data() + static_cast<size_t>(y) * static_cast<size_t>(w), copy.ScanLine(y),
                static_cast<size_t>(w) * 4);
  return out;
}

uint32_t ToPixel(TColor color) {
  const win::COLORREF c = ColorToRGB(color);
  return 0xFF000000u | static_cast<uint32_t>(win::GetRValue(c)) << 16 |
         static_cast<uint32_t>(win::GetGValue(c)) << 8 | win::GetBValue(c);
}

}  // namespace

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::TCustomImageList(TComponent* owner, int width, int height)
    : TComponent(owner), width_(std::max(width, 1)), height_(std::max(height, 1)) {}

TCustomImageList::~TCustomImageList() = default;

void TCustomImageList::Change() {
  if (OnChange) OnChange(this);
}

void TCustomImageList::SetWidth(int width) {
  if (width < 1 || width == width_) return;
  width_ = width;
  images_.clear();
  Change();
}

void TCustomImageList::SetHeight(int height) {
  if (height < 1 || height == height_) return;
  height_ = height;
  images_.clear();
  Change();
}

void TCustomImageList::SetMasked(bool masked) {
  if (masked == masked_) return;
  masked_ = masked;
  Change();
}

void TCustomImageList::SetBkColor(TColor color) {
  if (color == bkColor_) return;
  bkColor_ = color;
  Change();
}

void TCustomImageList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EInvalidOperation("Invalid ImageList Index");
}

int TCustomImageList::AddPieces(TBitmap* image, const std::vector<bool>* clear, int insertAt) {
  if (!image || image->Empty()) return -1;
  const std::vector<uint32_t> src = PixelsOf(image);
  const int w = image->Width(), h = image->Height();
  const int pieces = std::max(1, w / width_);
  std::vector<Image> added;
  for (int p = 0; p < pieces; ++p) {
    Image img;
    img.pixels.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
    for (int y = 0; y < std::min(h, height_); ++y)
      for (int x = 0; x < width_; ++x) {
        const int sx = p * width_ + x;
        if (sx >= w) break;
        const size_t si = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(sx);
        const bool see = clear && (*clear)[si];
        img.pixels[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] =
            (src[si] & 0xFFFFFF) | (see ? 0u : 0xFF000000u);
      }
    added.push_back(std::move(img));
  }
  const int at = insertAt < 0 ? Count() : insertAt;
  images_.insert(images_.begin() + at, std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
  Change();
  return at;
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
  if (!mask || mask->Empty()) return AddPieces(image, nullptr, -1);
  const std::vector<uint32_t> m = PixelsOf(mask);
  std::vector<bool> clear(static_cast<size_t>(image->Width()) * static_cast<size_t>(image->Height()), false);
  for (int y = 0; y < std::min(image->Height(), mask->Height()); ++y)
    for (int x = 0; x < std::min(image->Width(), mask->Width()); ++x)
      clear[static_cast<size_t>(y) * static_cast<size_t>(image->Width()) + static_cast<size_t>(x)] =
          (m[static_cast<size_t>(y) * static_cast<size_t>(mask->Width()) + static_cast<size_t>(x)] & 0xFFFFFF) ==
          0xFFFFFF;
  return AddPieces(image, &clear, -1);
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
  if (!image || image->Empty()) return -1;
  const std::vector<uint32_t> src = PixelsOf(image);
  const int w = image->Width(), h = image->Height();
  const uint32_t key = maskColor == clDefault ? (src[static_cast<size_t>(h - 1) * static_cast<size_t>(w)] & 0xFFFFFF)
                                              : (ToPixel(maskColor) & 0xFFFFFF);
  std::vector<bool> clear(src.size());
  for (size_t i = 0; i < src.size(); ++i) clear[i] = (src[i] & 0xFFFFFF) == key;
  return AddPieces(image, &clear, -1);
}

void TCustomImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
  CheckIndex(index);
  TCustomImageList one(nullptr, width_, height_);
  if (one.Add(image, mask) < 0) return;
  images_[static_cast<size_t>(index)] = std::move(one.images_.front());
  Change();
}

void TCustomImageList::Delete(int index) {
  CheckIndex(index);
  images_.erase(images_.begin() + index);
  Change();
}

void TCustomImageList::Clear() {
  if (images_.empty()) return;
  images_.clear();
  Change();
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
  if (index < 0 || index >= Count() || !canvas) return;
  const std::vector<uint32_t>& src = images_[static_cast<size_t>(index)].pixels;
  std::vector<uint32_t> out(src.size());
  auto opaque = [&](int px, int py) {
    return !masked_ || (src[static_cast<size_t>(py) * static_cast<size_t>(width_) + static_cast<size_t>(px)] >> 24);
  };
  for (int py = 0; py < height_; ++py)
    for (int px = 0; px < width_; ++px) {
      const size_t i = static_cast<size_t>(py) * static_cast<size_t>(width_) + static_cast<size_t>(px);
      if (enabled) {
        if (opaque(px, py))
          out[i] = src[i] | 0xFF000000u;
        else
          out[i] = bkColor_ == clNone ? 0u : ToPixel(bkColor_);
      } else {
        uint32_t p = bkColor_ == clNone ? 0u : ToPixel(bkColor_);
        if (px > 0 && py > 0 && opaque(px - 1, py - 1)) p = ToPixel(clBtnHighlight);
        if (opaque(px, py)) p = ToPixel(clBtnShadow);
        out[i] = p;
      }
    }
  DrawStraightAlpha(canvas, Bounds(x, y, width_, height_), out.data(), width_, height_);
}

void TCustomImageList::GetBitmap(int index, TBitmap* image) {
  if (!image || index < 0 || index >= Count()) return;
  image->SetSize(width_, height_);
  Draw(image->Canvas(), 0, 0, index);
}

}  // namespace forms
