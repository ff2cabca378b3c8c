#pragma once
// Image lists: pictures of one size kept in order and drawn by index,
// each with a mask that makes its background see-through.
#include <cstdint>
#include <vector>

#include "platform/forms/Components.h"
#include "platform/forms/Graphics.h"

namespace forms {

class TCustomImageList : public TComponent {
public:
  explicit TCustomImageList(TComponent* owner);
  // A list of pictures of the given size.
  TCustomImageList(TComponent* owner, int width, int height);
  ~TCustomImageList() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Changing the size empties the list, as the platform's lists do.
  void SetWidth(int width);
  void SetHeight(int height);
  int Count() const { return static_cast<int>(images_.size()); }
  // Without a mask, pictures are drawn opaque.
  bool Masked() const { return masked_; }
  void SetMasked(bool masked);
  // clNone: masked pixels show what is under them; otherwise they take
  // this colour.
  TColor BkColor() const { return bkColor_; }
  void SetBkColor(TColor color);

  // Adds the picture, cut into Width-wide pieces when it is wider (each
  // piece one image); `mask` is monochrome, white where the picture is
  // see-through (null: opaque). Returns the index of the first image added.
  int Add(TBitmap* image, TBitmap* mask);
  // The same with the mask made from the pixels of `maskColor` (clDefault:
  // the bottom-left pixel's colour).
  int AddMasked(TBitmap* image, TColor maskColor);
  void Replace(int index, TBitmap* image, TBitmap* mask);
  void Delete(int index);
  void Clear();

  // Disabled images are drawn as a greyed relief: the shape in the
  // highlight colour one pixel down and right under the shape in the
  // shadow colour.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
  // Resizes `image` to one image and draws image `index` on it.
  void GetBitmap(int index, TBitmap* image);

  TNotifyEvent OnChange;

protected:
  virtual void Change();

private:
  struct Image {
    std::vector<uint32_t> pixels;  // top row first, 0xAARRGGBB, alpha 0 or 255
  };
  void CheckIndex(int index) const;
  int AddPieces(TBitmap* image, const std::vector<bool>* clear, int insertAt);

  int width_ = 16;
  int height_ = 16;
  bool masked_ = true;
  TColor bkColor_ = clNone;
  std::vector<Image> images_;
};

class TImageList : public TCustomImageList {
public:
  using TCustomImageList::TCustomImageList;
};

}  // namespace forms
