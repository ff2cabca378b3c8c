#pragma once
// The tree view: nodes kept by the control (not by its window), drawn by the
// control and driven by keys and clicks. Other code reaches it through the
// TVM_ messages below, sent to its window like to any other tree window.
#include <functional>
#include <memory>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/forms/StdCtrls.h"
#include "platform/win/OwnerDraw.h"
#include "platform/forms/ImgList.h"

namespace forms {

// The window class name of tree views, registered on first use.
inline constexpr const char* kTreeViewClassName = "VorixTreeView";

// clang-format off
inline constexpr win::UINT TV_FIRST = 0x1100;
inline constexpr win::UINT TVM_DELETEITEM = TV_FIRST + 1, TVM_EXPAND = TV_FIRST + 2, TVM_GETITEMRECT = TV_FIRST + 4,
    TVM_GETCOUNT = TV_FIRST + 5, TVM_GETINDENT = TV_FIRST + 6, TVM_SETINDENT = TV_FIRST + 7,
    TVM_GETNEXTITEM = TV_FIRST + 10, TVM_SELECTITEM = TV_FIRST + 11, TVM_GETVISIBLECOUNT = TV_FIRST + 16,
    TVM_HITTEST = TV_FIRST + 17, TVM_ENSUREVISIBLE = TV_FIRST + 20, TVM_GETITEMHEIGHT = TV_FIRST + 28;
// TVM_EXPAND actions.
inline constexpr win::WPARAM TVE_COLLAPSE = 0x1, TVE_EXPAND = 0x2, TVE_TOGGLE = 0x3;
// TVM_GETNEXTITEM and TVM_SELECTITEM codes.
inline constexpr win::WPARAM TVGN_ROOT = 0x0, TVGN_NEXT = 0x1, TVGN_PREVIOUS = 0x2, TVGN_PARENT = 0x3,
    TVGN_CHILD = 0x4, TVGN_FIRSTVISIBLE = 0x5, TVGN_NEXTVISIBLE = 0x6, TVGN_PREVIOUSVISIBLE = 0x7,
    TVGN_CARET = 0x9, TVGN_LASTVISIBLE = 0xA;
// TVM_HITTEST flags.
inline constexpr win::UINT TVHT_NOWHERE = 0x1, TVHT_ONITEMICON = 0x2, TVHT_ONITEMLABEL = 0x4,
    TVHT_ONITEMINDENT = 0x8, TVHT_ONITEMBUTTON = 0x10, TVHT_ONITEMRIGHT = 0x20, TVHT_ONITEMSTATEICON = 0x40,
    TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON;
// clang-format on

// A node handle as the messages carry it.
using HTREEITEM = void*;

// TVITEMA masks.
inline constexpr win::UINT TVIF_TEXT = 0x1, TVIF_IMAGE = 0x2, TVIF_PARAM = 0x4, TVIF_STATE = 0x8,
                           TVIF_HANDLE = 0x10, TVIF_SELECTEDIMAGE = 0x20, TVIF_CHILDREN = 0x40;

struct TVITEMA {
  win::UINT mask = 0;
  HTREEITEM hItem = nullptr;
  win::UINT state = 0;
  win::UINT stateMask = 0;
  char* pszText = nullptr;
  int cchTextMax = 0;
  int iImage = 0;
  int iSelectedImage = 0;
  int cChildren = 0;
  win::LPARAM lParam = 0;  // the node
};

// TVN_GETDISPINFOA: the tree asks for a node's image indexes before drawing
// it; the answer reflected back to the tree fills them in from the node.
struct NMTVDISPINFOA {
  win::NMHDR hdr;
  TVITEMA item;
};

struct TVHITTESTINFO {
  win::POINT pt;
  win::UINT flags;
  HTREEITEM hItem;
};

class TCustomTreeView;
class TTreeNodes;

class TTreeNode {
public:
  TTreeNode(const TTreeNode&) = delete;
  TTreeNode& operator=(const TTreeNode&) = delete;
  ~TTreeNode();

  const String& Text() const { return text_; }
  void SetText(const String& s);
  void* Data() const { return data_; }
  void SetData(void* d) { data_ = d; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v);
  int SelectedIndex() const { return selectedIndex_; }
  void SetSelectedIndex(int v);
  int StateIndex() const { return stateIndex_; }
  void SetStateIndex(int v);

  TTreeNode* Parent() const;
  int Level() const;
  int Index() const;
  int Count() const { return static_cast<int>(children_.size()); }
  TTreeNode* Item(int index) const;
  int AbsoluteIndex() const;
  // True when the node has children or was told it has (children made when
  // it first expands).
  bool HasChildren() const { return hasChildren_ || !children_.empty(); }
  void SetHasChildren(bool v);

  bool Expanded() const { return expanded_; }
  void SetExpanded(bool v) { v ? Expand(false) : Collapse(false); }
  void Expand(bool recurse);
  void Collapse(bool recurse);
  bool Selected() const;
  void SetSelected(bool v);
  // True when every ancestor is expanded.
  bool IsVisible() const;

  TTreeNode* GetFirstChild() const { return children_.empty() ? nullptr : children_.front().get(); }
  TTreeNode* GetLastChild() const { return children_.empty() ? nullptr : children_.back().get(); }
  // The next node in depth-first order, expanded or not.
  TTreeNode* GetNext() const;
  TTreeNode* GetPrev() const;
  TTreeNode* getNextSibling() const;
  TTreeNode* getPrevSibling() const;
  TTreeNode* GetNextVisible() const;
  TTreeNode* GetPrevVisible() const;
  bool HasAsParent(const TTreeNode* node) const;

  // The row of the node in client coordinates, or only its label.
  TRect DisplayRect(bool textOnly) const;
  void Delete();
  void DeleteChildren();
  void MakeVisible();
  TTreeNodes* Owner() const { return owner_; }
  TCustomTreeView* TreeView() const;

private:
  friend class TTreeNodes;
  friend class TCustomTreeView;
  explicit TTreeNode(TTreeNodes* owner) : owner_(owner) {}
  TTreeNodes* owner_;
  TTreeNode* parent_ = nullptr;  // the hidden root for top-level nodes
  std::vector<std::unique_ptr<TTreeNode>> children_;
  String text_;
  void* data_ = nullptr;
  int imageIndex_ = -1;
  int selectedIndex_ = -1;
  int stateIndex_ = -1;
  bool hasChildren_ = false;
  bool expanded_ = false;
};

class TTreeNodes {
public:
  explicit TTreeNodes(TCustomTreeView* owner);
  ~TTreeNodes();
  TTreeNodes(const TTreeNodes&) = delete;
  TTreeNodes& operator=(const TTreeNodes&) = delete;

  // Every node, in depth-first order.
  int Count() const;
  TTreeNode* Item(int absoluteIndex) const;
  TTreeNode* GetFirstNode() const { return root_->GetFirstChild(); }

  // A sibling of `sibling` added last (top level when sibling is null).
  TTreeNode* Add(TTreeNode* sibling, const String& text);
  TTreeNode* AddObject(TTreeNode* sibling, const String& text, void* data);
  TTreeNode* AddFirst(TTreeNode* sibling, const String& text);
  TTreeNode* AddChild(TTreeNode* parent, const String& text);
  TTreeNode* AddChildObject(TTreeNode* parent, const String& text, void* data);
  TTreeNode* AddChildFirst(TTreeNode* parent, const String& text);
  // Before `sibling` (last at top level when null).
  TTreeNode* Insert(TTreeNode* sibling, const String& text);
  void Delete(TTreeNode* node);
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  TCustomTreeView* Owner() const { return owner_; }

private:
  friend class TTreeNode;
  friend class TCustomTreeView;
  TTreeNode* InsertAt(TTreeNode* parent, size_t pos, const String& text, void* data);
  TCustomTreeView* owner_;
  std::unique_ptr<TTreeNode> root_;
  int updating_ = 0;
};

enum TCustomDrawStage { cdPrePaint, cdPostPaint };
enum TCustomDrawStateItem { cdsSelected, cdsGrayed, cdsDisabled, cdsChecked, cdsFocused, cdsDefault, cdsHot };
using TCustomDrawState = SetOf<TCustomDrawStateItem>;

using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowCollapse)>;
using TTVExpandedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVCustomDrawEvent = std::function<void(TCustomTreeView* Sender, const TRect& ARect, bool& DefaultDraw)>;
using TTVCustomDrawItemEvent =
    std::function<void(TCustomTreeView* Sender, TTreeNode* Node, TCustomDrawState State, bool& DefaultDraw)>;
using TTVAdvancedCustomDrawEvent =
    std::function<void(TCustomTreeView* Sender, const TRect& ARect, TCustomDrawStage Stage, bool& DefaultDraw)>;
using TTVAdvancedCustomDrawItemEvent = std::function<void(TCustomTreeView* Sender, TTreeNode* Node,
                                                          TCustomDrawState State, TCustomDrawStage Stage,
                                                          bool& PaintImages, bool& DefaultDraw)>;

class TCustomTreeView : public TCustomControl {
public:
  explicit TCustomTreeView(TComponent* owner);
  ~TCustomTreeView() override;

  TTreeNodes* Items() const { return items_.get(); }
  TTreeNode* Selected() const { return selected_; }
  // Selecting by code fires OnChanging and OnChange like a click does.
  void SetSelected(TTreeNode* node);
  TTreeNode* TopItem() const;
  void SetTopItem(TTreeNode* node);

  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* v);
  TCustomImageList* StateImages() const { return stateImages_; }
  void SetStateImages(TCustomImageList* v);

  bool ShowLines() const { return showLines_; }
  void SetShowLines(bool v);
  bool ShowButtons() const { return showButtons_; }
  void SetShowButtons(bool v);
  bool ShowRoot() const { return showRoot_; }
  void SetShowRoot(bool v);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool v);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  bool AutoExpand() const { return autoExpand_; }
  void SetAutoExpand(bool v) { autoExpand_ = v; }
  int Indent() const { return indent_; }
  void SetIndent(int v);
  int ItemHeight() const { return itemHeight_; }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle v);

  void FullExpand();
  void FullCollapse();
  TTreeNode* GetNodeAt(int x, int y) const;
  // TVHT_ flags for a client point.
  win::UINT GetHitTestInfoAt(int x, int y) const;
  // The expanded rows from the top.
  std::vector<TTreeNode*> VisibleNodes() const;

  TTVChangedEvent OnChange;
  TTVChangingEvent OnChanging;
  TTVExpandingEvent OnExpanding;
  TTVCollapsingEvent OnCollapsing;
  TTVExpandedEvent OnExpanded;
  TTVExpandedEvent OnCollapsed;
  TTVExpandedEvent OnDeletion;
  // Asked before a node's image is drawn, to set ImageIndex or SelectedIndex
  // late.
  TTVExpandedEvent OnGetImageIndex;
  TTVExpandedEvent OnGetSelectedIndex;
  // Drawing hooks: the whole control before and after its rows, then each
  // row; clearing DefaultDraw skips the standard drawing of that stage.
  TTVCustomDrawEvent OnCustomDraw;
  TTVCustomDrawItemEvent OnCustomDrawItem;
  TTVAdvancedCustomDrawEvent OnAdvancedCustomDraw;
  TTVAdvancedCustomDrawItemEvent OnAdvancedCustomDrawItem;

protected:
  void CreateParams(TCreateParams& p) override;
  void Paint() override;
  void Dispatch(TMessage& m) override;
  void CreateWnd() override;
  bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  virtual bool CanChange(TTreeNode* node);
  virtual void Change(TTreeNode* node);
  virtual bool CanExpand(TTreeNode* node);
  virtual bool CanCollapse(TTreeNode* node);
  // After a node expanded or collapsed: fire OnExpanded / OnCollapsed.
  virtual void Expand(TTreeNode* node);
  virtual void Collapse(TTreeNode* node);
  // A node is about to go (its children went first): fires OnDeletion.
  virtual void Delete(TTreeNode* node);

private:
  friend class TTreeNode;
  friend class TTreeNodes;
  void NodeChanged();
  void NodeRemoving(TTreeNode* node);
  void BranchRemoving(TTreeNode* node);
  int RowOf(const TTreeNode* node) const;
  int NodeLeft(const TTreeNode* node) const;
  int VisibleRowCount() const;
  void ScrollToShow(const TTreeNode* node);
  void ScrollRows(int newTop);
  void UpdateScrollBar();
  void SelectByUser(TTreeNode* node);
  void DrawNode(TTreeNode* node, int row);
  // The image indexes of a node as TVN_GETDISPINFO answers them.
  void AskImageIndexes(TTreeNode* node, int& image, int& selectedImage);
  void GetDispInfo(NMTVDISPINFOA& info);
  bool HandleTreeMessage(TMessage& m);
  // Tells the parent window (WM_NOTIFY, NM_ codes); answers its result.
  win::LRESULT Notify(int code);

  std::unique_ptr<TTreeNodes> items_;
  TTreeNode* selected_ = nullptr;
  int topRow_ = 0;
  TCustomImageList* images_ = nullptr;
  TCustomImageList* stateImages_ = nullptr;
  bool showLines_ = true;
  bool showButtons_ = true;
  bool showRoot_ = true;
  bool hideSelection_ = true;
  bool readOnly_ = false;
  bool autoExpand_ = false;
  int indent_ = 19;
  int itemHeight_ = 17;
  TBorderStyle borderStyle_ = bsSingle;
  int wheelAccum_ = 0;
  bool destroying_ = false;
};

class TTreeView : public TCustomTreeView {
public:
  using TCustomTreeView::TCustomTreeView;
};

}  // namespace forms
