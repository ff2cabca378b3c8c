#pragma once
// Scroll-bar controls: the "SCROLLBAR" window class (SB_CTL, driven by
// SBM_ messages; it tells its parent by WM_HSCROLL/WM_VSCROLL and leaves
// moving to whoever answers), the TScrollBar wrapper, and the flat
// scroll-bar calls, which here draw as the ordinary bars and map onto the
// window layer's SetScrollInfo family.
#include <functional>

#include "platform/forms/Controls.h"
#include "platform/win/ScrollBars.h"

namespace forms {

// Registers "SCROLLBAR" (again after someone unregistered it).
void RegisterScrollBarClass();

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };
using TScrollEvent = std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;

class TScrollBar : public TWinControl {
public:
  explicit TScrollBar(TComponent* owner);
  TScrollBarKind Kind() const { return kind_; }
  void SetKind(TScrollBarKind v);
  int Min() const { return min_; }
  void SetMin(int v) { SetParams(position_, v, max_); }
  int Max() const { return max_; }
  void SetMax(int v) { SetParams(position_, min_, v); }
  int Position() const { return position_; }
  // Kept within Min..Max; fires OnChange when the position changes.
  void SetPosition(int v) { SetParams(v, min_, max_); }
  void SetParams(int position, int min, int max);
  int PageSize() const { return pageSize_; }
  void SetPageSize(int v);
  int SmallChange() const { return smallChange_; }
  void SetSmallChange(int v) { smallChange_ = v; }
  int LargeChange() const { return largeChange_; }
  void SetLargeChange(int v) { largeChange_ = v; }

  TNotifyEvent OnChange;
  // Each step the user makes, before it is taken; ScrollPos may be changed.
  TScrollEvent OnScroll;

protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void Dispatch(TMessage& m) override;

private:
  void SendInfo();
  TScrollBarKind kind_ = sbHorizontal;
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
  int pageSize_ = 0;
  int smallChange_ = 1;
  int largeChange_ = 1;
};

// ---- flat scroll bars ----

inline constexpr int WSB_PROP_CYVSCROLL = 0x1, WSB_PROP_CXHSCROLL = 0x2, WSB_PROP_CYHSCROLL = 0x4,
                     WSB_PROP_CXVSCROLL = 0x8, WSB_PROP_CXHTHUMB = 0x10, WSB_PROP_CYVTHUMB = 0x20,
                     WSB_PROP_VBKGCOLOR = 0x40, WSB_PROP_HBKGCOLOR = 0x80, WSB_PROP_VSTYLE = 0x100,
                     WSB_PROP_HSTYLE = 0x200, WSB_PROP_WINSTYLE = 0x400, WSB_PROP_PALETTE = 0x800;
inline constexpr int FSB_FLAT_MODE = 2, FSB_ENCARTA_MODE = 1, FSB_REGULAR_MODE = 0;

win::BOOL InitializeFlatSB(win::HWND hwnd);
long UninitializeFlatSB(win::HWND hwnd);
int FlatSB_SetScrollInfo(win::HWND hwnd, int bar, const win::SCROLLINFO* info, win::BOOL redraw);
win::BOOL FlatSB_GetScrollInfo(win::HWND hwnd, int bar, win::SCROLLINFO* info);
int FlatSB_SetScrollPos(win::HWND hwnd, int bar, int pos, win::BOOL redraw);
int FlatSB_GetScrollPos(win::HWND hwnd, int bar);
win::BOOL FlatSB_SetScrollRange(win::HWND hwnd, int bar, int minPos, int maxPos, win::BOOL redraw);
win::BOOL FlatSB_GetScrollRange(win::HWND hwnd, int bar, int* minPos, int* maxPos);
win::BOOL FlatSB_ShowScrollBar(win::HWND hwnd, int bar, win::BOOL show);
win::BOOL FlatSB_EnableScrollBar(win::HWND hwnd, int bar, win::UINT arrows);
// The look's properties are kept and answered; the bars draw the same.
win::BOOL FlatSB_SetScrollProp(win::HWND hwnd, win::UINT index, intptr_t value, win::BOOL redraw);
win::BOOL FlatSB_GetScrollProp(win::HWND hwnd, int index, int* value);

}  // namespace forms
