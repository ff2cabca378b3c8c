#pragma once
// Panels, bevels and images.
#include <memory>

#include "platform/forms/Controls.h"
#include "platform/forms/Graphics.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/StringList.h"

namespace forms {

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
using TBevelWidth = int;

// A container with up to two bevels (outer, then inner, BorderWidth apart)
// and a caption in the middle.
class TCustomPanel : public TCustomControl {
public:
  explicit TCustomPanel(TComponent* owner);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut v);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut v);
  TBevelWidth BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(TBevelWidth v);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int v);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);

protected:
  void CreateParams(TCreateParams& p) override;
  void Paint() override;
  void AdjustClientRect(TRect& rect) const override;
  void Dispatch(TMessage& m) override;

private:
  void Changed();
  TBevelCut bevelOuter_ = bvRaised;
  TBevelCut bevelInner_ = bvNone;
  TBevelWidth bevelWidth_ = 1;
  int borderWidth_ = 0;
  TBorderStyle borderStyle_ = bsNone;
  TAlignment alignment_ = taCenter;
};
class TPanel : public TCustomPanel {
public:
  using TCustomPanel::TCustomPanel;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
public:
  explicit TBevel(TComponent* owner);
  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape v);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle v);

protected:
  void Paint() override;

private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

class TImage : public TGraphicControl {
public:
  explicit TImage(TComponent* owner);
  ~TImage() override;
  TPicture* Picture() const { return picture_.get(); }
  void SetPicture(TPicture* p) { picture_->Assign(p); }
  bool Stretch() const { return stretch_; }
  void SetStretch(bool v);
  bool Proportional() const { return proportional_; }
  void SetProportional(bool v);
  bool Center() const { return center_; }
  void SetCenter(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  // Where the picture goes in the client area.
  TRect DestRect() const;

protected:
  void Paint() override;

private:
  void PictureChanged(TObject* sender);
  std::unique_ptr<TPicture> picture_;
  bool stretch_ = false;
  bool proportional_ = false;
  bool center_ = false;
  bool transparent_ = false;
  bool autoSize_ = false;
};

// A group box of radio buttons made from Items, in Columns.
class TCustomRadioGroup : public TGroupBox {
public:
  explicit TCustomRadioGroup(TComponent* owner);
  ~TCustomRadioGroup() override;
  rtl::TStrings* Items() const { return items_.get(); }
  void SetItems(const rtl::TStrings& items) { items_->Assign(items); }
  int ItemIndex() const { return itemIndex_; }
  // Checks that button, which clicks the group (by code too).
  void SetItemIndex(int index);
  int Columns() const { return columns_; }
  void SetColumns(int v);
  TRadioButton* Buttons(int index) const { return buttons_.at(static_cast<size_t>(index)); }

protected:
  void Dispatch(TMessage& m) override;

private:
  void UpdateButtons();
  void ArrangeButtons();
  void ButtonClick(TObject* sender);
  std::unique_ptr<rtl::TStringList> items_;
  std::vector<TRadioButton*> buttons_;
  int itemIndex_ = -1;
  int columns_ = 1;
  bool updating_ = false;
};
class TRadioGroup : public TCustomRadioGroup {
public:
  using TCustomRadioGroup::TCustomRadioGroup;
};

}  // namespace forms
