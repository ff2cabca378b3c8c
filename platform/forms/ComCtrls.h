#pragma once
// The common controls: track bars and up-down buttons. Each is a real
// window of its own class ("msctls_trackbar32", "msctls_updown32",
// registered here since the window layer has no controls) driven by its
// TBM_/UDM_ messages; it tells its parent of changes by WM_HSCROLL or
// WM_VSCROLL, which come back to the wrapper reflected (CN_HSCROLL,
// CN_VSCROLL).
#include <algorithm>
#include <functional>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/win/Types.h"

namespace forms {

// Registers the common-control window classes (again after someone
// unregistered them); every wrapper calls it before making its window.
void RegisterComCtrlClasses();

// Track-bar window styles.
inline constexpr win::DWORD TBS_HORZ = 0x0, TBS_AUTOTICKS = 0x1, TBS_VERT = 0x2, TBS_TOP = 0x4, TBS_LEFT = 0x4,
                            TBS_BOTTOM = 0x0, TBS_RIGHT = 0x0, TBS_BOTH = 0x8, TBS_NOTICKS = 0x10,
                            TBS_ENABLESELRANGE = 0x20, TBS_FIXEDLENGTH = 0x40, TBS_NOTHUMB = 0x80;
// Up-down window styles.
inline constexpr win::DWORD UDS_WRAP = 0x1, UDS_SETBUDDYINT = 0x2, UDS_ALIGNRIGHT = 0x4, UDS_ALIGNLEFT = 0x8,
                            UDS_AUTOBUDDY = 0x10, UDS_ARROWKEYS = 0x20, UDS_HORZ = 0x40, UDS_NOTHOUSANDS = 0x80;

// ---- track bar ----

enum TTrackBarOrientation { trHorizontal, trVertical };
enum TTickMark { tmBottomRight, tmTopLeft, tmBoth };
enum TTickStyle { tsNone, tsAuto, tsManual };

class TTrackBar : public TWinControl {
public:
  explicit TTrackBar(TComponent* owner);

  int Min() const { return min_; }
  void SetMin(int v) { SetRange(v, std::max(v, max_)); }
  int Max() const { return max_; }
  void SetMax(int v) { SetRange(std::min(min_, v), v); }
  void SetRange(int min, int max);
  int Position() const;
  // Kept within Min..Max; fires OnChange when the position changes.
  void SetPosition(int v);
  int Frequency() const { return frequency_; }
  void SetFrequency(int v);
  TTickMark TickMarks() const { return tickMarks_; }
  void SetTickMarks(TTickMark v);
  TTickStyle TickStyle() const { return tickStyle_; }
  void SetTickStyle(TTickStyle v);
  TTrackBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TTrackBarOrientation v);
  int PageSize() const { return pageSize_; }
  void SetPageSize(int v);
  int LineSize() const { return lineSize_; }
  void SetLineSize(int v);
  int SelStart() const { return selStart_; }
  void SetSelStart(int v);
  int SelEnd() const { return selEnd_; }
  void SetSelEnd(int v);
  int ThumbLength() const { return thumbLength_; }
  void SetThumbLength(int v);
  bool SliderVisible() const { return sliderVisible_; }
  void SetSliderVisible(bool v);
  // A tick of its own (TickStyle tsManual).
  void SetTick(int value);

  TNotifyEvent OnChange;

protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void Dispatch(TMessage& m) override;
  virtual void Changed();

private:
  void Send(win::UINT msg, win::WPARAM w, win::LPARAM l);
  int min_ = 0;
  int max_ = 10;
  int position_ = 0;
  int frequency_ = 1;
  TTickMark tickMarks_ = tmBottomRight;
  TTickStyle tickStyle_ = tsAuto;
  TTrackBarOrientation orientation_ = trHorizontal;
  int pageSize_ = 2;
  int lineSize_ = 1;
  int selStart_ = 0;
  int selEnd_ = 0;
  int thumbLength_ = 20;
  bool sliderVisible_ = true;
};

// ---- up-down ----

// UDM_SETACCEL's steps: from nSec seconds of holding on, steps of nInc.
struct UDACCEL {
  win::UINT nSec = 0;
  win::UINT nInc = 1;
};
// UDN_DELTAPOS, sent to the parent as WM_NOTIFY before a step; answering
// non-zero refuses it. The first three members are the common header.
struct NMUPDOWN {
  win::HWND hwndFrom{};
  win::UINT_PTR idFrom = 0;
  win::UINT code = 0;
  int iPos = 0;
  int iDelta = 0;
};

enum TUDOrientation { udHorizontal, udVertical };
enum TUDAlignButton { udLeft, udRight };
enum TUDBtnType { btNext, btPrev };

class TUpDown : public TWinControl {
public:
  explicit TUpDown(TComponent* owner);

  int Min() const { return min_; }
  void SetMin(int v);
  int Max() const { return max_; }
  void SetMax(int v);
  int Position() const;
  // Kept within Min..Max; fires nothing.
  void SetPosition(int v);
  int Increment() const { return increment_; }
  void SetIncrement(int v);
  // The control whose text shows the position; the up-down sits at its
  // side and the arrows typed into it step the position.
  TWinControl* Associate() const { return associate_; }
  void SetAssociate(TWinControl* c);
  TUDAlignButton AlignButton() const { return alignButton_; }
  void SetAlignButton(TUDAlignButton v);
  TUDOrientation Orientation() const { return orientation_; }
  void SetOrientation(TUDOrientation v);
  bool Wrap() const { return wrap_; }
  void SetWrap(bool v);
  bool ArrowKeys() const { return arrowKeys_; }
  void SetArrowKeys(bool v);
  bool Thousands() const { return thousands_; }
  void SetThousands(bool v);

  // Before a step: clearing AllowChange refuses it.
  std::function<void(TObject* Sender, bool& AllowChange)> OnChanging;
  // After a step by the user.
  std::function<void(TObject* Sender, TUDBtnType Button)> OnClick;

protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void Dispatch(TMessage& m) override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  void Send(win::UINT msg, win::WPARAM w, win::LPARAM l);
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
  int increment_ = 1;
  TWinControl* associate_ = nullptr;
  TUDAlignButton alignButton_ = udRight;
  TUDOrientation orientation_ = udVertical;
  bool wrap_ = false;
  bool arrowKeys_ = true;
  bool thousands_ = true;
  int lastDelta_ = 0;
};

// ---- page control ----

// The tab window's messages, item and notifications.
inline constexpr win::UINT TCM_FIRST = 0x1300;
inline constexpr win::UINT TCM_GETITEMCOUNT = TCM_FIRST + 4, TCM_GETITEMA = TCM_FIRST + 5,
                           TCM_SETITEMA = TCM_FIRST + 6, TCM_INSERTITEMA = TCM_FIRST + 7,
                           TCM_DELETEITEM = TCM_FIRST + 8, TCM_DELETEALLITEMS = TCM_FIRST + 9,
                           TCM_GETITEMRECT = TCM_FIRST + 10, TCM_GETCURSEL = TCM_FIRST + 11,
                           TCM_SETCURSEL = TCM_FIRST + 12, TCM_HITTEST = TCM_FIRST + 13,
                           TCM_ADJUSTRECT = TCM_FIRST + 40, TCM_GETROWCOUNT = TCM_FIRST + 44,
                           TCM_GETCURFOCUS = TCM_FIRST + 47, TCM_SETCURFOCUS = TCM_FIRST + 48;
inline constexpr win::UINT TCIF_TEXT = 0x1, TCIF_IMAGE = 0x2, TCIF_PARAM = 0x8;
inline constexpr int TCN_FIRST = -550;
inline constexpr int TCN_SELCHANGE = TCN_FIRST - 1, TCN_SELCHANGING = TCN_FIRST - 2;
struct TCITEMA {
  win::UINT mask = 0;
  win::DWORD dwState = 0;
  win::DWORD dwStateMask = 0;
  char* pszText = nullptr;
  int cchTextMax = 0;
  int iImage = -1;
  win::LPARAM lParam = 0;
};
struct TCHITTESTINFO {
  win::POINT pt{};
  win::UINT flags = 0;
};
// The common header WM_NOTIFY carries from the tab window.
struct NMTABHDR {
  win::HWND hwndFrom{};
  win::UINT_PTR idFrom = 0;
  win::UINT code = 0;
};

class TPageControl;

// A page of a page control: a container shown while its tab is the
// selected one.
class TTabSheet : public TWinControl {
public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return pageControl_; }
  void SetPageControl(TPageControl* pc);
  // Its place among the pages, tab shown or not.
  int PageIndex() const;
  // Its place among the tabs shown; -1 when its tab is hidden.
  int TabIndex() const;
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool v);

protected:
  void Dispatch(TMessage& m) override;

private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
};

class TPageControl : public TWinControl {
public:
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int index) const;
  TTabSheet* ActivePage() const { return activePage_; }
  // By code: shows the page and selects its tab, firing nothing.
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const { return activePage_ ? activePage_->PageIndex() : -1; }
  void SetActivePageIndex(int index);
  // The page after (or before) `current` whose tab shows, wrapping.
  TTabSheet* FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const;
  void SelectNextPage(bool goForward);

  // Before the user changes page: clearing AllowChange keeps the page.
  std::function<void(TObject* Sender, bool& AllowChange)> OnChanging;
  // After the user changed page.
  TNotifyEvent OnChange;

protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void Dispatch(TMessage& m) override;
  void AdjustClientRect(TRect& rect) const override;

private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  // Remakes the tabs from the pages whose tabs show.
  void UpdateTabs();
  void ShowPage(TTabSheet* page);
  // The focus is on the tabs or on the page shown.
  bool OwnsFocus() const;
  std::vector<TTabSheet*> pages_;
  TTabSheet* activePage_ = nullptr;
};

}  // namespace forms
