#include "platform/forms/TreeView.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/rtl/Exceptions.h"
#include "platform/win/Input.h"
#include "platform/win/MessageIds.h"
#include "platform/win/OwnerDraw.h"
#include "platform/win/ScrollBars.h"

namespace forms {

using namespace win;

// ---- TTreeNode ----

TTreeNode::~TTreeNode() = default;

TCustomTreeView* TTreeNode::TreeView() const { return owner_->owner_; }

void TTreeNode::SetText(const String& s) {
  text_ = s;
  TreeView()->NodeChanged();
}
void TTreeNode::SetImageIndex(int v) {
  if (imageIndex_ == v) return;
  imageIndex_ = v;
  TreeView()->NodeChanged();
}
void TTreeNode::SetSelectedIndex(int v) {
  if (selectedIndex_ == v) return;
  selectedIndex_ = v;
  TreeView()->NodeChanged();
}
void TTreeNode::SetStateIndex(int v) {
  if (stateIndex_ == v) return;
  stateIndex_ = v;
  TreeView()->NodeChanged();
}
void TTreeNode::SetHasChildren(bool v) {
  hasChildren_ = v;
  TreeView()->NodeChanged();
}

TTreeNode* TTreeNode::Parent() const { return parent_ == owner_->root_.get() ? nullptr : parent_; }

int TTreeNode::Level() const {
  int level = 0;
  for (const TTreeNode* p = Parent(); p; p = p->Parent()) ++level;
  return level;
}

int TTreeNode::Index() const {
  const auto& siblings = parent_->children_;
  for (size_t i = 0; i < siblings.size(); ++i)
    if (siblings[i].get() == this) return static_cast<int>(i);
  return -1;
}

TTreeNode* TTreeNode::Item(int index) const {
  if (index < 0 || index >= Count()) throw rtl::EListError("Tree node index out of bounds");
  return children_[static_cast<size_t>(index)].get();
}

int TTreeNode::AbsoluteIndex() const {
  int i = 0;
  for (const TTreeNode* n = owner_->GetFirstNode(); n; n = n->GetNext(), ++i)
    if (n == this) return i;
  return -1;
}

TTreeNode* TTreeNode::getNextSibling() const {
  const int i = Index();
  return i + 1 < parent_->Count() ? parent_->children_[static_cast<size_t>(i + 1)].get() : nullptr;
}

TTreeNode* TTreeNode::getPrevSibling() const {
  const int i = Index();
  return i > 0 ? parent_->children_[static_cast<size_t>(i - 1)].get() : nullptr;
}

TTreeNode* TTreeNode::GetNext() const {
  if (!children_.empty()) return children_.front().get();
  for (const TTreeNode* n = this; n && n->parent_; n = n->parent_)
    if (TTreeNode* s = n->getNextSibling()) return s;
  return nullptr;
}

TTreeNode* TTreeNode::GetPrev() const {
  TTreeNode* prev = getPrevSibling();
  if (!prev) return Parent();
  while (prev->GetLastChild()) prev = prev->GetLastChild();
  return prev;
}

TTreeNode* TTreeNode::GetNextVisible() const {
  if (expanded_ && !children_.empty()) return children_.front().get();
  for (const TTreeNode* n = this; n && n->parent_; n = n->parent_)
    if (TTreeNode* s = n->getNextSibling()) return s;
  return nullptr;
}

TTreeNode* TTreeNode::GetPrevVisible() const {
  TTreeNode* prev = getPrevSibling();
  if (!prev) return Parent();
  while (prev->expanded_ && prev->GetLastChild()) prev = prev->GetLastChild();
  return prev;
}

bool TTreeNode::HasAsParent(const TTreeNode* node) const {
  for (const TTreeNode* p = Parent(); p; p = p->Parent())
    if (p == node) return true;
  return false;
}

bool TTreeNode::IsVisible() const {
  for (const TTreeNode* p = Parent(); p; p = p->Parent())
    if (!p->expanded_) return false;
  return true;
}

void TTreeNode::Expand(bool recurse) {
  TCustomTreeView* tv = TreeView();
  if (!expanded_ && HasChildren() && tv->CanExpand(this)) {
    expanded_ = true;
    tv->Expand(this);
    tv->NodeChanged();
  }
  if (recurse)
    for (auto& c : children_) c->Expand(true);
}

void TTreeNode::Collapse(bool recurse) {
  TCustomTreeView* tv = TreeView();
  if (recurse)
    for (auto& c : children_) c->Collapse(true);
  if (!expanded_ || !tv->CanCollapse(this)) return;
  expanded_ = false;
  // A selection hidden by the collapse moves up to the collapsed node.
  if (tv->selected_ && tv->selected_->HasAsParent(this)) tv->SetSelected(this);
  tv->Collapse(this);
  tv->NodeChanged();
}

bool TTreeNode::Selected() const { return TreeView()->selected_ == this; }

void TTreeNode::SetSelected(bool v) {
  if (v)
    TreeView()->SetSelected(this);
  else if (Selected())
    TreeView()->SetSelected(nullptr);
}

void TTreeNode::MakeVisible() {
  for (TTreeNode* p = Parent(); p; p = p->Parent()) p->Expand(false);
  TreeView()->ScrollToShow(this);
}

TRect TTreeNode::DisplayRect(bool textOnly) const {
  TCustomTreeView* tv = TreeView();
  const int row = tv->RowOf(this);
  if (row < 0) return TRect{};
  const int top = (row - tv->topRow_) * tv->itemHeight_;
  if (!textOnly) return TRect{0, top, tv->ClientWidth(), top + tv->itemHeight_};
  int left = tv->NodeLeft(this);
  if (tv->stateImages_ && stateIndex_ > 0) left += tv->stateImages_->Width();
  if (tv->images_) left += tv->images_->Width() + 2;
  tv->Canvas()->Font()->Assign(tv->Font());
  const int width = tv->Canvas()->TextWidth(text_) + 4;
  return TRect{left, top, left + width, top + tv->itemHeight_};
}

void TTreeNode::Delete() { owner_->Delete(this); }

void TTreeNode::DeleteChildren() {
  while (!children_.empty()) owner_->Delete(children_.back().get());
}

// ---- TTreeNodes ----

TTreeNodes::TTreeNodes(TCustomTreeView* owner) : owner_(owner), root_(new TTreeNode(this)) {
  root_->expanded_ = true;
}

TTreeNodes::~TTreeNodes() = default;

int TTreeNodes::Count() const {
  int n = 0;
  for (const TTreeNode* t = GetFirstNode(); t; t = t->GetNext()) ++n;
  return n;
}

TTreeNode* TTreeNodes::Item(int absoluteIndex) const {
  int i = 0;
  for (TTreeNode* t = GetFirstNode(); t; t = t->GetNext(), ++i)
    if (i == absoluteIndex) return t;
  throw rtl::EListError("Tree node index out of bounds");
}

TTreeNode* TTreeNodes::InsertAt(TTreeNode* parent, size_t pos, const String& text, void* data) {
  std::unique_ptr<TTreeNode> node(new TTreeNode(this));
  node->parent_ = parent;
  node->text_ = text;
  node->data_ = data;
  TTreeNode* raw = node.get();
  parent->children_.insert(parent->children_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(node));
  owner_->NodeChanged();
  return raw;
}

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, const String& text) { return AddObject(sibling, text, nullptr); }

TTreeNode* TTreeNodes::AddObject(TTreeNode* sibling, const String& text, void* data) {
  TTreeNode* parent = sibling ? sibling->parent_ : root_.get();
  return InsertAt(parent, parent->children_.size(), text, data);
}

TTreeNode* TTreeNodes::AddFirst(TTreeNode* sibling, const String& text) {
  return InsertAt(sibling ? sibling->parent_ : root_.get(), 0, text, nullptr);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const String& text) {
  return AddChildObject(parent, text, nullptr);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const String& text, void* data) {
  TTreeNode* p = parent ? parent : root_.get();
  return InsertAt(p, p->children_.size(), text, data);
}

TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* parent, const String& text) {
  return InsertAt(parent ? parent : root_.get(), 0, text, nullptr);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* sibling, const String& text) {
  if (!sibling) return Add(nullptr, text);
  return InsertAt(sibling->parent_, static_cast<size_t>(sibling->Index()), text, nullptr);
}

void TTreeNodes::Delete(TTreeNode* node) {
  if (!node || node == root_.get()) return;
  owner_->BranchRemoving(node);
  node->DeleteChildren();
  owner_->NodeRemoving(node);
  auto& siblings = node->parent_->children_;
  auto it = std::find_if(siblings.begin(), siblings.end(), [node](const auto& p) { return p.get() == node; });
  std::unique_ptr<TTreeNode> keep = std::move(*it);
  siblings.erase(it);
  owner_->NodeChanged();
}

void TTreeNodes::Clear() {
  BeginUpdate();
  while (root_->GetLastChild()) Delete(root_->GetLastChild());
  EndUpdate();
}

void TTreeNodes::BeginUpdate() { ++updating_; }

void TTreeNodes::EndUpdate() {
  if (--updating_ == 0) owner_->NodeChanged();
}

// ---- TCustomTreeView ----

TCustomTreeView::TCustomTreeView(TComponent* owner)
    : TCustomControl(owner), items_(std::make_unique<TTreeNodes>(this)) {
  SetBounds(Left(), Top(), 121, 97);
  SetTabStop(true);
  SetColor(clWindow);
  SetParentColor(false);
  controlStyle_.Include(csDoubleClicks).Include(csClickEvents);
}

TCustomTreeView::~TCustomTreeView() {
  destroying_ = true;
  items_->BeginUpdate();
  items_->Clear();
}

void TCustomTreeView::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.WinClassName = kTreeViewClassName;
  if (borderStyle_ == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomTreeView::NodeChanged() {
  if (items_->updating_ == 0 && !destroying_) {
    const int rows = static_cast<int>(VisibleNodes().size());
    topRow_ = std::clamp(topRow_, 0, std::max(0, rows - VisibleRowCount()));
    UpdateScrollBar();
    Invalidate();
  }
}

void TCustomTreeView::UpdateScrollBar() {
  if (!HandleAllocated()) return;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(0, static_cast<int>(VisibleNodes().size()) - 1);
  si.nPage = static_cast<UINT>(VisibleRowCount());
  si.nPos = topRow_;
  SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
}

void TCustomTreeView::ScrollRows(int newTop) {
  const int maxTop = std::max(0, static_cast<int>(VisibleNodes().size()) - VisibleRowCount());
  newTop = std::clamp(newTop, 0, maxTop);
  if (newTop == topRow_) return;
  topRow_ = newTop;
  UpdateScrollBar();
  Invalidate();
}

bool TCustomTreeView::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
  if (TCustomControl::DoMouseWheel(shift, wheelDelta, mousePos)) return true;
  wheelAccum_ += wheelDelta;
  const int notches = wheelAccum_ / 120;
  wheelAccum_ -= notches * 120;
  ScrollRows(topRow_ - notches * 3);
  return true;
}

void TCustomTreeView::CreateWnd() {
  TCustomControl::CreateWnd();
  UpdateScrollBar();
}

void TCustomTreeView::NodeRemoving(TTreeNode* node) {
  if (!destroying_) Delete(node);
}

void TCustomTreeView::Delete(TTreeNode* node) {
  if (OnDeletion) OnDeletion(this, node);
}

void TCustomTreeView::Expand(TTreeNode* node) {
  if (OnExpanded) OnExpanded(this, node);
}

void TCustomTreeView::Collapse(TTreeNode* node) {
  if (OnCollapsed) OnCollapsed(this, node);
}

void TCustomTreeView::BranchRemoving(TTreeNode* node) {
  if (!selected_ || (selected_ != node && !selected_->HasAsParent(node))) return;
  if (destroying_) {
    selected_ = nullptr;
    return;
  }
  // The selection moves to a neighbour of the whole branch, the way the
  // user would expect to keep working, and the change is told once.
  TTreeNode* next = node->getNextSibling();
  if (!next) next = node->getPrevSibling();
  if (!next) next = node->Parent();
  selected_ = next;
  Change(next);
}

std::vector<TTreeNode*> TCustomTreeView::VisibleNodes() const {
  std::vector<TTreeNode*> rows;
  for (TTreeNode* n = items_->GetFirstNode(); n; n = n->GetNextVisible()) rows.push_back(n);
  return rows;
}

int TCustomTreeView::RowOf(const TTreeNode* node) const {
  if (!node || !node->IsVisible()) return -1;
  int row = 0;
  for (TTreeNode* n = items_->GetFirstNode(); n; n = n->GetNextVisible(), ++row)
    if (n == node) return row;
  return -1;
}

int TCustomTreeView::VisibleRowCount() const { return std::max(1, ClientHeight() / itemHeight_); }

int TCustomTreeView::NodeLeft(const TTreeNode* node) const {
  return (node->Level() + (showRoot_ ? 1 : 0)) * indent_ + 2;
}

TTreeNode* TCustomTreeView::TopItem() const {
  auto rows = VisibleNodes();
  return topRow_ < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(topRow_)] : nullptr;
}

void TCustomTreeView::SetTopItem(TTreeNode* node) {
  const int row = RowOf(node);
  if (row < 0) return;
  ScrollRows(row);
}

void TCustomTreeView::ScrollToShow(const TTreeNode* node) {
  const int row = RowOf(node);
  if (row < 0) return;
  if (row < topRow_) ScrollRows(row);
  else if (row >= topRow_ + VisibleRowCount()) ScrollRows(row - VisibleRowCount() + 1);
}

bool TCustomTreeView::CanChange(TTreeNode* node) {
  bool allow = true;
  if (OnChanging) OnChanging(this, node, allow);
  return allow;
}

void TCustomTreeView::Change(TTreeNode* node) {
  if (OnChange) OnChange(this, node);
}

bool TCustomTreeView::CanExpand(TTreeNode* node) {
  bool allow = true;
  if (OnExpanding) OnExpanding(this, node, allow);
  return allow;
}

bool TCustomTreeView::CanCollapse(TTreeNode* node) {
  bool allow = true;
  if (OnCollapsing) OnCollapsing(this, node, allow);
  return allow;
}

void TCustomTreeView::SetSelected(TTreeNode* node) {
  if (node == selected_ || !CanChange(node)) return;
  selected_ = node;
  if (node) node->MakeVisible();
  Invalidate();
  Change(node);
}

void TCustomTreeView::SelectByUser(TTreeNode* node) {
  if (!node) return;
  SetSelected(node);
  if (autoExpand_ && selected_ == node) node->Expand(false);
}

void TCustomTreeView::SetImages(TCustomImageList* v) {
  images_ = v;
  Invalidate();
}
void TCustomTreeView::SetStateImages(TCustomImageList* v) {
  stateImages_ = v;
  Invalidate();
}
void TCustomTreeView::SetShowLines(bool v) {
  showLines_ = v;
  Invalidate();
}
void TCustomTreeView::SetShowButtons(bool v) {
  showButtons_ = v;
  Invalidate();
}
void TCustomTreeView::SetShowRoot(bool v) {
  showRoot_ = v;
  Invalidate();
}
void TCustomTreeView::SetHideSelection(bool v) {
  hideSelection_ = v;
  Invalidate();
}
void TCustomTreeView::SetIndent(int v) {
  indent_ = std::max(1, v);
  Invalidate();
}
void TCustomTreeView::SetBorderStyle(TBorderStyle v) {
  if (borderStyle_ == v) return;
  borderStyle_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomTreeView::FullExpand() {
  for (TTreeNode* n = items_->GetFirstNode(); n; n = n->getNextSibling()) n->Expand(true);
}

void TCustomTreeView::FullCollapse() {
  for (TTreeNode* n = items_->GetFirstNode(); n; n = n->getNextSibling()) n->Collapse(true);
}

TTreeNode* TCustomTreeView::GetNodeAt(int x, int y) const {
  const UINT hit = GetHitTestInfoAt(x, y);
  if (!(hit & (TVHT_ONITEM | TVHT_ONITEMRIGHT | TVHT_ONITEMINDENT | TVHT_ONITEMBUTTON))) return nullptr;
  auto rows = VisibleNodes();
  return rows[static_cast<size_t>(topRow_ + y / itemHeight_)];
}

UINT TCustomTreeView::GetHitTestInfoAt(int x, int y) const {
  if (y < 0 || x < 0) return TVHT_NOWHERE;
  auto rows = VisibleNodes();
  const size_t row = static_cast<size_t>(topRow_ + y / itemHeight_);
  if (row >= rows.size()) return TVHT_NOWHERE;
  const TTreeNode* node = rows[row];
  int left = NodeLeft(node);
  if (x < left) {
    const bool onButton = showButtons_ && node->HasChildren() && (showRoot_ || node->Level() > 0) &&
                          x >= left - indent_ && x < left;
    return onButton ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
  }
  if (stateImages_ && node->stateIndex_ > 0) {
    if (x < left + stateImages_->Width()) return TVHT_ONITEMSTATEICON;
    left += stateImages_->Width();
  }
  if (images_) {
    if (x < left + images_->Width() + 2) return TVHT_ONITEMICON;
    left += images_->Width() + 2;
  }
  const TRect label = node->DisplayRect(true);
  return x < label.right ? TVHT_ONITEMLABEL : TVHT_ONITEMRIGHT;
}

void TCustomTreeView::KeyDown(uint16_t& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0) return;
  auto rows = VisibleNodes();
  if (rows.empty()) return;
  TTreeNode* sel = selected_;
  switch (key) {
    case VK_UP:
      SelectByUser(sel ? (sel->GetPrevVisible() ? sel->GetPrevVisible() : sel) : rows.front());
      break;
    case VK_DOWN:
      SelectByUser(sel ? (sel->GetNextVisible() ? sel->GetNextVisible() : sel) : rows.front());
      break;
    case VK_HOME:
      SelectByUser(rows.front());
      break;
    case VK_END:
      SelectByUser(rows.back());
      break;
    case VK_PRIOR:
    case VK_NEXT: {
      const int page = std::max(1, VisibleRowCount() - 1);
      const int at = sel ? RowOf(sel) : 0;
      const int to = std::clamp(at + (key == VK_NEXT ? page : -page), 0, static_cast<int>(rows.size()) - 1);
      SelectByUser(rows[static_cast<size_t>(to)]);
      break;
    }
    case VK_LEFT:
      if (!sel) break;
      if (sel->Expanded())
        sel->Collapse(false);
      else if (sel->Parent())
        SelectByUser(sel->Parent());
      break;
    case VK_RIGHT:
      if (!sel || !sel->HasChildren()) break;
      if (!sel->Expanded())
        sel->Expand(false);
      else if (sel->GetFirstChild())
        SelectByUser(sel->GetFirstChild());
      break;
    case VK_ADD:
      if (sel) sel->Expand(false);
      break;
    case VK_SUBTRACT:
      if (sel) sel->Collapse(false);
      break;
    case VK_MULTIPLY:
      if (sel) sel->Expand(true);
      break;
    default:
      return;
  }
  key = 0;
}

void TCustomTreeView::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  const unsigned char ch = static_cast<unsigned char>(key);
  if (ch <= ' ') return;
  // A letter goes to the next shown node whose text starts with it, round
  // from the end to the top.
  auto rows = VisibleNodes();
  if (rows.empty()) return;
  const int n = static_cast<int>(rows.size());
  const int from = selected_ ? RowOf(selected_) : -1;
  for (int k = 1; k <= n; ++k) {
    TTreeNode* node = rows[static_cast<size_t>((from + k + n) % n)];
    if (!node->text_.empty() && std::tolower(static_cast<unsigned char>(node->text_[0])) == std::tolower(ch)) {
      SelectByUser(node);
      break;
    }
  }
  key = 0;
}

void TCustomTreeView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (CanFocus() && !Focused()) SetFocus();
  if (button == mbLeft) {
    const UINT hit = GetHitTestInfoAt(x, y);
    TTreeNode* node = GetNodeAt(x, y);
    if (node && (hit & TVHT_ONITEMBUTTON)) {
      node->Expanded() ? node->Collapse(false) : node->Expand(false);
    } else if (node && (hit & (TVHT_ONITEM | TVHT_ONITEMRIGHT))) {
      if (shift.Contains(ssDouble)) {
        node->Expanded() ? node->Collapse(false) : node->Expand(false);
      } else {
        SelectByUser(node);
      }
    }
  } else if (button == mbRight) {
    if (TTreeNode* node = GetNodeAt(x, y)) SelectByUser(node);
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomTreeView::AskImageIndexes(TTreeNode* node, int& image, int& selectedImage) {
  NMTVDISPINFOA info;
  info.hdr.hwndFrom = HandleAllocated() ? Handle() : nullptr;
  info.hdr.idFrom = info.hdr.hwndFrom ? static_cast<UINT_PTR>(GetDlgCtrlID(info.hdr.hwndFrom)) : 0;
  info.hdr.code = static_cast<UINT>(TVN_GETDISPINFOA);
  info.item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_HANDLE;
  info.item.hItem = node;
  info.item.lParam = reinterpret_cast<LPARAM>(node);
  info.item.iImage = image;
  info.item.iSelectedImage = selectedImage;
  const HWND parent = info.hdr.hwndFrom ? GetParent(info.hdr.hwndFrom) : nullptr;
  // The parent reflects the question back to this control (CN_NOTIFY),
  // where a derived tree may answer it first.
  if (parent) SendMessageA(parent, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
  else GetDispInfo(info);
  image = info.item.iImage;
  selectedImage = info.item.iSelectedImage;
}

void TCustomTreeView::GetDispInfo(NMTVDISPINFOA& info) {
  TTreeNode* node = (info.item.mask & TVIF_PARAM) ? reinterpret_cast<TTreeNode*>(info.item.lParam)
                                                  : static_cast<TTreeNode*>(info.item.hItem);
  if (!node) return;
  if (info.item.mask & TVIF_IMAGE) {
    if (OnGetImageIndex) OnGetImageIndex(this, node);
    info.item.iImage = node->imageIndex_;
  }
  if (info.item.mask & TVIF_SELECTEDIMAGE) {
    if (OnGetSelectedIndex) OnGetSelectedIndex(this, node);
    info.item.iSelectedImage = node->selectedIndex_;
  }
}

LRESULT TCustomTreeView::Notify(int code) {
  if (!HandleAllocated()) return 0;
  const HWND parent = GetParent(Handle());
  if (!parent) return 0;
  NMHDR nm;
  nm.hwndFrom = Handle();
  nm.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(nm.hwndFrom));
  nm.code = static_cast<UINT>(code);
  return SendMessageA(parent, WM_NOTIFY, nm.idFrom, reinterpret_cast<LPARAM>(&nm));
}

void TCustomTreeView::DrawNode(TTreeNode* node, int row) {
  TCanvas* c = Canvas();
  const int top = (row - topRow_) * itemHeight_;
  const int mid = top + itemHeight_ / 2;
  const int left = NodeLeft(node);
  const bool focused = Focused();
  const bool isSel = node == selected_;
  TCustomDrawState state;
  if (isSel && (focused || !hideSelection_)) state.Include(cdsSelected);
  if (isSel && focused) state.Include(cdsFocused);
  if (!Enabled()) state.Include(cdsDisabled);

  c->Font()->Assign(Font());
  c->Brush()->SetColor(Color());
  bool defaultDraw = true;
  if (OnCustomDrawItem) OnCustomDrawItem(this, node, state, defaultDraw);
  bool paintImages = true;
  if (defaultDraw && OnAdvancedCustomDrawItem)
    OnAdvancedCustomDrawItem(this, node, state, cdPrePaint, paintImages, defaultDraw);
  if (!defaultDraw) return;

  if (showLines_) {
    c->Pen()->SetColor(clGrayText);
    const int lineX = left - indent_ / 2 - 2;
    if (node->Level() > 0 || showRoot_) {
      c->MoveTo(lineX, mid);
      c->LineTo(left - 2, mid);
      c->MoveTo(lineX, node->getPrevSibling() || node->Parent() ? top : mid);
      c->LineTo(lineX, node->getNextSibling() ? top + itemHeight_ : mid + 1);
    }
    // Lines of the ancestors that have siblings below.
    int x = lineX - indent_;
    for (const TTreeNode* p = node->Parent(); p && x >= 0; p = p->Parent(), x -= indent_) {
      if (p->getNextSibling() && (p->Level() > 0 || showRoot_)) {
        c->MoveTo(x, top);
        c->LineTo(x, top + itemHeight_);
      }
    }
  }
  if (showButtons_ && node->HasChildren() && (showRoot_ || node->Level() > 0)) {
    const int bx = left - indent_ / 2 - 2;
    const TRect box{bx - 4, mid - 4, bx + 5, mid + 5};
    c->Brush()->SetColor(clWindow);
    c->Pen()->SetColor(clGrayText);
    c->Rectangle(box);
    c->Pen()->SetColor(clWindowText);
    c->MoveTo(bx - 2, mid);
    c->LineTo(bx + 3, mid);
    if (!node->Expanded()) {
      c->MoveTo(bx, mid - 2);
      c->LineTo(bx, mid + 3);
    }
  }
  int x = left;
  if (paintImages && stateImages_ && node->stateIndex_ > 0) {
    stateImages_->Draw(c, x, top + (itemHeight_ - stateImages_->Height()) / 2, node->stateIndex_, Enabled());
    x += stateImages_->Width();
  } else if (stateImages_ && node->stateIndex_ > 0) {
    x += stateImages_->Width();
  }
  if (images_) {
    int image = node->imageIndex_, selectedImage = node->selectedIndex_;
    AskImageIndexes(node, image, selectedImage);
    const int index = isSel && selectedImage >= 0 ? selectedImage : image;
    if (paintImages && index >= 0 && index < images_->Count())
      images_->Draw(c, x, top + (itemHeight_ - images_->Height()) / 2, index, Enabled());
    x += images_->Width() + 2;
  }
  const TRect label{x, top, x + c->TextWidth(node->text_) + 4, top + itemHeight_};
  if (state.Contains(cdsSelected)) {
    c->Brush()->SetColor(focused ? clHighlight : clBtnFace);
    c->FillRect(label);
    c->Font()->SetColor(focused ? clHighlightText : clWindowText);
  } else if (!Enabled()) {
    c->Font()->SetColor(clGrayText);
  }
  c->Brush()->SetStyle(bsClear);
  c->TextOut(x + 2, top + (itemHeight_ - c->TextHeight(node->text_)) / 2, node->text_);
  c->Brush()->SetStyle(bsSolid);
  if (isSel && focused) c->DrawFocusRect(label);
  if (OnAdvancedCustomDrawItem) {
    bool more = true;
    OnAdvancedCustomDrawItem(this, node, state, cdPostPaint, paintImages, more);
  }
}

void TCustomTreeView::Paint() {
  TCanvas* c = Canvas();
  const TRect client = ClientRect();
  bool defaultDraw = true;
  if (OnCustomDraw) OnCustomDraw(this, client, defaultDraw);
  if (defaultDraw && OnAdvancedCustomDraw) OnAdvancedCustomDraw(this, client, cdPrePaint, defaultDraw);
  if (!defaultDraw) return;
  c->Brush()->SetColor(Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(client);
  auto rows = VisibleNodes();
  const int last = std::min(static_cast<int>(rows.size()), topRow_ + VisibleRowCount() + 1);
  for (int r = topRow_; r < last; ++r) DrawNode(rows[static_cast<size_t>(r)], r);
  if (OnAdvancedCustomDraw) {
    bool more = true;
    OnAdvancedCustomDraw(this, client, cdPostPaint, more);
  }
}

bool TCustomTreeView::HandleTreeMessage(TMessage& m) {
  auto* item = reinterpret_cast<TTreeNode*>(m.LParam);
  switch (m.Msg) {
    case TVM_GETCOUNT:
      m.Result = items_->Count();
      return true;
    case TVM_GETINDENT:
      m.Result = indent_;
      return true;
    case TVM_SETINDENT:
      SetIndent(static_cast<int>(m.WParam));
      return true;
    case TVM_GETITEMHEIGHT:
      m.Result = itemHeight_;
      return true;
    case TVM_GETVISIBLECOUNT:
      m.Result = VisibleRowCount();
      return true;
    case TVM_DELETEITEM:
      if (!item) items_->Clear();
      else items_->Delete(item);
      m.Result = 1;
      return true;
    case TVM_EXPAND: {
      if (!item) return true;
      const bool was = item->Expanded();
      const WPARAM action = m.WParam & TVE_TOGGLE;
      if (action == TVE_EXPAND || (action == TVE_TOGGLE && !was)) item->Expand(false);
      else if (action == TVE_COLLAPSE || action == TVE_TOGGLE) item->Collapse(false);
      m.Result = item->Expanded() != was;
      return true;
    }
    case TVM_SELECTITEM:
      if (m.WParam == TVGN_CARET) SetSelected(item);
      else if (m.WParam == TVGN_FIRSTVISIBLE) SetTopItem(item);
      m.Result = 1;
      return true;
    case TVM_ENSUREVISIBLE:
      if (item) item->MakeVisible();
      return true;
    case TVM_GETNEXTITEM: {
      TTreeNode* r = nullptr;
      switch (m.WParam) {
        case TVGN_ROOT: r = items_->GetFirstNode(); break;
        case TVGN_CARET: r = selected_; break;
        case TVGN_FIRSTVISIBLE: r = TopItem(); break;
        case TVGN_LASTVISIBLE: {
          auto rows = VisibleNodes();
          r = rows.empty() ? nullptr : rows.back();
          break;
        }
        case TVGN_NEXT: r = item ? item->getNextSibling() : nullptr; break;
        case TVGN_PREVIOUS: r = item ? item->getPrevSibling() : nullptr; break;
        case TVGN_PARENT: r = item ? item->Parent() : nullptr; break;
        case TVGN_CHILD: r = item ? item->GetFirstChild() : items_->GetFirstNode(); break;
        case TVGN_NEXTVISIBLE: r = item ? item->GetNextVisible() : nullptr; break;
        case TVGN_PREVIOUSVISIBLE: r = item ? item->GetPrevVisible() : nullptr; break;
        default: break;
      }
      m.Result = reinterpret_cast<LRESULT>(r);
      return true;
    }
    case TVM_GETITEMRECT: {
      // lParam points at a RECT holding the item on the way in.
      auto* rect = reinterpret_cast<RECT*>(m.LParam);
      if (!rect) return true;
      TTreeNode* node = nullptr;
      std::memcpy(&node, rect, sizeof node);
      if (!node || RowOf(node) < 0) return true;
      *rect = node->DisplayRect(m.WParam != 0);
      m.Result = 1;
      return true;
    }
    case TVM_HITTEST: {
      auto* info = reinterpret_cast<TVHITTESTINFO*>(m.LParam);
      if (!info) return true;
      info->flags = GetHitTestInfoAt(info->pt.x, info->pt.y);
      info->hItem = GetNodeAt(info->pt.x, info->pt.y);
      m.Result = reinterpret_cast<LRESULT>(info->hItem);
      return true;
    }
    default:
      return false;
  }
}

void TCustomTreeView::Dispatch(TMessage& m) {
  if (m.Msg >= TV_FIRST && m.Msg < TV_FIRST + 0x100 && HandleTreeMessage(m)) return;
  switch (m.Msg) {
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomControl::Dispatch(m);
      Invalidate();
      return;
    case WM_VSCROLL: {
      int top = topRow_;
      switch (LOWORD(m.WParam)) {
        case SB_LINEUP: --top; break;
        case SB_LINEDOWN: ++top; break;
        case SB_PAGEUP: top -= VisibleRowCount(); break;
        case SB_PAGEDOWN: top += VisibleRowCount(); break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: top = static_cast<int16_t>(HIWORD(m.WParam)); break;
        case SB_TOP: top = 0; break;
        case SB_BOTTOM: top = static_cast<int>(VisibleNodes().size()); break;
        default: break;
      }
      ScrollRows(top);
      return;
    }
    case WM_SIZE:
      TCustomControl::Dispatch(m);
      NodeChanged();
      return;
    case CN_NOTIFY: {
      auto* nm = reinterpret_cast<NMHDR*>(m.LParam);
      if (nm && static_cast<int>(nm->code) == TVN_GETDISPINFOA) {
        GetDispInfo(*reinterpret_cast<NMTVDISPINFOA*>(m.LParam));
        return;
      }
      TCustomControl::Dispatch(m);
      return;
    }
    case WM_LBUTTONUP:
      TCustomControl::Dispatch(m);
      if (HandleAllocated()) Notify(NM_CLICK);
      return;
    case WM_LBUTTONDBLCLK:
      TCustomControl::Dispatch(m);
      if (HandleAllocated()) Notify(NM_DBLCLK);
      return;
    case WM_RBUTTONUP:
      // A parent that answers the right click keeps the context menu away.
      if (Notify(NM_RCLICK) != 0) {
        MouseUp(mbRight, MouseShiftState(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
        m.Result = 0;
        return;
      }
      TCustomControl::Dispatch(m);
      return;
    default:
      TCustomControl::Dispatch(m);
  }
}

}  // namespace forms
