#pragma once
// The framed tree view (colours that follow the enabled and focus state, a
// custom-drawn frame with hot tracking, an outline round the selection when
// unfocused, wheel scrolling by the system's lines, node context menus,
// selection on expand and collapse) and the check tree built on it, whose
// nodes carry a three-state box as their state image.
#include <functional>
#include <memory>

#include "controls/fc/FcCommon.h"
#include "platform/forms/Graphics.h"
#include "platform/forms/ImgList.h"
#include "platform/forms/Menus.h"
#include "platform/forms/TreeView.h"

namespace controls {

using forms::TTreeNode;

using TFcTvOnNodeContextMenuEvent =
    std::function<void(forms::TObject* aSender, TTreeNode* aNode, forms::TPoint& aPos, forms::TPopupMenu*& aMenu)>;

class TFcCustomTreeView : public forms::TCustomTreeView, public IFcPublished {
public:
  explicit TFcCustomTreeView(forms::TComponent* owner);
  ~TFcCustomTreeView() override;

  // Expands every node without selecting any on the way.
  void FullExpand();

  forms::TPen* SelectionPen() const { return selectionPen_.get(); }
  virtual void SetSelectionPen(forms::TPen* v);
  TColor DisabledColor() const { return disabledColor_; }
  virtual void SetDisabledColor(TColor v);
  TColor FocusColor() const { return focusColor_; }
  virtual void SetFocusColor(TColor v);
  TColor FrameColor() const { return frameColor_; }
  virtual void SetFrameColor(TColor v);
  TColor FrameHotColor() const { return frameHotColor_; }
  virtual void SetFrameHotColor(TColor v);
  bool FrameHotTrack() const { return frameHotTrack_; }
  virtual void SetFrameHotTrack(bool v);
  TFrameStyle FrameHotStyle() const { return frameHotStyle_; }
  virtual void SetFrameHotStyle(TFrameStyle v);
  TSides FrameSides() const { return frameSides_; }
  virtual void SetFrameSides(TSides v);
  TFrameStyle FrameStyle() const { return frameStyle_; }
  virtual void SetFrameStyle(TFrameStyle v);
  bool FrameVisible() const { return frameVisible_; }
  virtual void SetFrameVisible(bool v);
  TFramingPreference FramingPreference() const { return framingPreference_; }
  virtual void SetFramingPreference(TFramingPreference v);
  TFcFrameController* FrameController() const { return frameController_; }
  virtual void SetFrameController(TFcFrameController* v);
  TFcFrameControllerNotifications FrameControllerNotifications() const { return notifications_; }
  void SetFrameControllerNotifications(TFcFrameControllerNotifications v) { notifications_ = v; }
  bool AutoExpand() const { return forms::TCustomTreeView::AutoExpand(); }
  virtual void SetAutoExpand(bool v);
  bool AutoSelect() const { return autoSelect_; }
  virtual void SetAutoSelect(bool v);
  bool RightClickSelect() const { return rightClickSelect_; }
  void SetRightClickSelect(bool v) { rightClickSelect_ = v; }
  char PathDelimiter() const { return pathDelimiter_; }
  void SetPathDelimiter(char v) { pathDelimiter_ = v; }

  // The node the keyboard and menus act on: none before the window exists,
  // the right-clicked node while its menu is handled (with
  // RightClickSelect), else the selected node.
  TTreeNode* CurrentNode() const;
  bool UseThemes() const;
  // The colour the tree shows when enabled and unfocused.
  TColor NormalColor() const { return normalColor_; }

  // Old forms' frame properties, read and turned into today's.
  void ReadFrameFlat(bool flat);
  void ReadFrameFocusStyle(const forms::String& ident);
  void ReadFrameFlatStyle(const forms::String&) {}

  TFcTvOnNodeContextMenuEvent OnNodeContextMenu;

  // A frame controller sets the tree's colour and frame properties by name.
  const TFcPublishedProperties& PublishedProperties() const override { return published_; }
  void Dispatch(forms::TMessage& message) override;

protected:
  virtual void UpdateColors();
  virtual void UpdateFrameState(bool viaMouse, bool over);
  virtual void RepaintFrame();
  void Loaded() override;
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  void CreateParams(forms::TCreateParams& params) override;
  void Expand(TTreeNode* node) override;
  bool CanCollapse(TTreeNode* node) override;
  bool DoMouseWheel(forms::TShiftState shift, int wheelDelta, forms::TPoint mousePos) override;
  void KeyDown(uint16_t& key, forms::TShiftState shift) override;
  void Paint() override;

  virtual void ShowContextMenuForCurrentNode();
  virtual void ShowContextMenuForNodeAtPoint(TTreeNode* node, forms::TPoint clientPos);
  virtual void DoNodeContextMenu(TTreeNode* node, forms::TPoint& pos, forms::TPopupMenu*& menu);

private:
  void PopupAt(forms::TPopupMenu* menu, forms::TPoint clientPos);
  void WheelLines(int direction);
  void PaintFrame();
  void PaintSelectionOutline();

  std::unique_ptr<forms::TPen> selectionPen_;
  TColor disabledColor_ = forms::clBtnFace;
  TColor focusColor_ = forms::clWindow;
  TColor normalColor_ = forms::clWindow;
  bool updatingColor_ = false;
  bool overControl_ = false;
  TColor frameColor_ = forms::clBtnShadow;
  TColor frameHotColor_ = forms::clBtnShadow;
  TFcFrameController* frameController_ = nullptr;
  TFcFrameControllerNotifications notifications_ = AllFrameControllerNotifications();
  bool frameHotTrack_ = false;
  TFrameStyle frameHotStyle_ = fsFlatBold;
  TSides frameSides_ = sdAllSides;
  TFrameStyle frameStyle_ = fsFlat;
  bool frameVisible_ = false;
  TFramingPreference framingPreference_ = fpXPThemes;
  bool autoSelect_ = false;
  bool rightClickSelect_ = false;
  char pathDelimiter_ = '\\';
  TTreeNode* rightClickNode_ = nullptr;
  bool menuHandled_ = false;
  bool keyboardMenuShown_ = false;
  TFcPublishedProperties published_;
  bool recreating_ = false;
};

class TFcTreeView : public TFcCustomTreeView {
public:
  using TFcCustomTreeView::TFcCustomTreeView;
};

enum TFcCheckState { csUnknown, csUnchecked, csChecked, csPartiallyChecked };

using TFcCheckTreeChangingEvent =
    std::function<void(forms::TObject* Sender, TTreeNode* Node, TFcCheckState NewState, bool& AllowChange)>;
using TFcCheckTreeChangeEvent = std::function<void(forms::TObject* Sender, TTreeNode* Node, TFcCheckState NewState)>;
using TFcCheckTreeCascadeCompleteEvent = std::function<void(forms::TObject* Sender, TTreeNode* Node)>;

class TFcCheckTree : public TFcCustomTreeView {
public:
  explicit TFcCheckTree(forms::TComponent* owner);
  ~TFcCheckTree() override;

  forms::TCustomImageList* Images() const { return forms::TCustomTreeView::Images(); }
  void SetImages(forms::TCustomImageList* v);
  bool CascadeChecks() const { return cascadeChecks_; }
  void SetCascadeChecks(bool v) { cascadeChecks_ = v; }
  TColor HighlightColor() const { return highlightColor_; }
  virtual void SetHighlightColor(TColor v);
  void SetFrameColor(TColor v) override;
  forms::TImageList* CheckImages() const { return checkImages_; }
  bool SilentStateChanges() const { return silent_; }
  void SetSilentStateChanges(bool v) { silent_ = v; }
  bool SuspendCascades() const { return suspendCascades_; }

  // Every change of a node's box goes through here: asked first (unless
  // silent), then stored and told.
  void SetNodeCheckState(TTreeNode* node, TFcCheckState state);
  TFcCheckState NodeCheckState(TTreeNode* node) const;
  // The user's toggle of a node, with its cascade.
  void ToggleCheckState(TTreeNode* node);

  TFcCheckTreeChangingEvent OnStateChanging;
  TFcCheckTreeChangeEvent OnStateChange;
  TFcCheckTreeCascadeCompleteEvent OnCascadeComplete;
  forms::TNotifyEvent OnUpdateChildren;

  void Dispatch(forms::TMessage& message) override;
  void WndProc(forms::TMessage& message) override;

protected:
  virtual void UpdateImageWidth();
  virtual void BuildCheckImages();
  virtual void UpdateParentStates(TTreeNode* node);
  virtual void UpdateChildrenStates(TTreeNode* node, bool checked);
  virtual void DoCascadeComplete(TTreeNode* node);
  virtual bool CanChangeState(TTreeNode* node, TFcCheckState newState);
  virtual void StateChange(TTreeNode* node, TFcCheckState newState);

  void Loaded() override;
  void Delete(TTreeNode* node) override;
  void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
  void MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
  void KeyUp(uint16_t& key, forms::TShiftState shift) override;

private:
  void PrepareNewNodes();

  forms::TImageList* checkImages_ = nullptr;  // owned as a component
  int boxWidth_ = 16;
  int imageWidth_ = 0;
  bool cascadeChecks_ = true;
  TColor highlightColor_ = forms::clHighlight;
  bool suspendCascades_ = false;
  bool silent_ = false;
  bool changingState_ = false;
  int pressedItem_ = -1;
};

}  // namespace controls
