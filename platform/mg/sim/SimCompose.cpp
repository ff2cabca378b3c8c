#include "platform/mg/sim/SimCompose.h"

#include <algorithm>
#include <cstring>

namespace mg::sim {

void FrameComposer::CopyRect(const RgbImage& from, RgbImage& to, const Rect& r) {
  for (int y = r.y0; y < r.y1; ++y)
    std::memcpy(&to.At(r.x0, y), from.pixels.data() + static_cast<size_t>(y) * from.width + r.x0, static_cast<size_t>(r.x1 - r.x0) * 4);
}

void FrameComposer::Rebuild(const Layers& l, const SceneFn& drawScene) {
  width_ = l.width;
  height_ = l.height;
  subtype_ = l.subtype;
  settings_ = l.settings;
  tone_.emplace(settings_);
  caption_ = l.caption;
  number_ = l.number;
  raw_ = RgbImage(width_, height_);
  drawScene(raw_);
  // The caption sits below where the number goes, so the number never
  // covers it and the two can be drawn in either order.
  const int scale = CaptionScale(height_);
  if (!caption_.empty())
    DrawText(raw_, scale * 2, scale * 2 + (number_ ? scale * 10 : 0), caption_, scale, Rgb(255, 255, 255), Rgb(0, 0, 0));
  frame_ = raw_;
  cooked_ = raw_;
  ApplyPictureSettings(cooked_, settings_);
  current_ = cooked_;
  bytes_.assign(ImageBytes(subtype_, width_, height_), 0);
  if (!bytes_.empty()) ConvertPicture(cooked_, subtype_, bytes_.data(), static_cast<uint32_t>(bytes_.size()));
  dirtyRaw_.clear();
  dirtyOut_.clear();
  valid_ = true;
}

uint32_t FrameComposer::Compose(int64_t index, const Layers& l, const SceneFn& drawScene, uint8_t* out,
                                uint32_t room) {
  if (!valid_ || l.width != width_ || l.height != height_ || l.subtype != subtype_ || !(l.settings == settings_) ||
      l.caption != caption_ || l.number != number_)
    Rebuild(l, drawScene);
  for (const Rect& r : dirtyRaw_) CopyRect(raw_, frame_, r);
  for (const Rect& r : dirtyOut_) CopyRect(cooked_, current_, r);
  dirtyRaw_.clear();
  dirtyOut_.clear();

  // This frame's layers, drawn as a whole rendered picture draws them.
  auto add = [&](int x, int y, int w, int h) {
    const Rect r{std::max(0, x), std::max(0, y), std::min(width_, x + w), std::min(height_, y + h)};
    if (r.x0 < r.x1 && r.y0 < r.y1) dirtyRaw_.push_back(r);
  };
  const int scale = CaptionScale(height_);
  if (number_) {
    const std::string text = std::to_string(index);
    DrawText(frame_, scale * 2, scale * 2, text, scale, Rgb(0, 0, 0), Rgb(255, 255, 255));
    add(scale * 2, scale * 2, TextWidth(text, scale), scale * 9);
  }
  int areas[2][4];
  const int n = l.script.Areas(index, width_, height_, areas);
  for (int i = 0; i < n; ++i) {
    frame_.FillRect(areas[i][0], areas[i][1], areas[i][2], areas[i][3], kBoxColour);
    add(areas[i][0], areas[i][1], areas[i][2], areas[i][3]);
  }

  // Flips and tone for the changed pixels only.
  const PictureTone& tone = *tone_;
  const bool fh = settings_.flipHorizontal, fv = settings_.flipVertical;
  for (const Rect& r : dirtyRaw_) {
    for (int y = r.y0; y < r.y1; ++y) {
      const uint32_t* src = &frame_.At(0, y);
      uint32_t* dst = &current_.At(0, fv ? height_ - 1 - y : y);
      for (int x = r.x0; x < r.x1; ++x) dst[fh ? width_ - 1 - x : x] = tone(src[x]);
    }
    dirtyOut_.push_back({fh ? width_ - r.x1 : r.x0, fv ? height_ - r.y1 : r.y0, fh ? width_ - r.x0 : r.x1,
                         fv ? height_ - r.y0 : r.y1});
  }
  if (!out) return 0;
  if (bytes_.empty() || bytes_.size() > room) return 0;
  std::memcpy(out, bytes_.data(), bytes_.size());
  // Chroma is shared by pixel pairs (YUY2) and 2x2 blocks (I420): start
  // each rectangle on the pair or block.
  const bool evenX = subtype_ == MEDIASUBTYPE_YUY2 || subtype_ == MEDIASUBTYPE_I420;
  const bool evenY = subtype_ == MEDIASUBTYPE_I420;
  for (const Rect& r : dirtyOut_)
    ConvertRect(current_, subtype_, out, evenX ? r.x0 & ~1 : r.x0, evenY ? r.y0 & ~1 : r.y0, r.x1, r.y1);
  return static_cast<uint32_t>(bytes_.size());
}

}  // namespace mg::sim
