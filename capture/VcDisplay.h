#pragma once
// The display windows of the capture control: where the video sits in a
// window (aspect ratio, zoom), the monitors a window can go to, the mouse
// position in video coordinates, and the hidden forms that host the
// renderers' windows (embedded in the control, floating, or full screen).
#include <cstdint>
#include <functional>

#include "platform/forms/Forms.h"
#include "platform/win/Types.h"

namespace capture {

class TVcEngine;
struct TDisplayAttachment;

// A rectangle as left, top, width and height.
struct TVideoRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  bool operator==(const TVideoRect&) const = default;
};

// Where the video goes in an area. With the aspect ratio kept, the video
// fills the width or the height and is centred along the other; a source
// with no size (nothing known yet, a broken stream) fills the whole area
// rather than dividing by zero.
TVideoRect FitVideoRect(int32_t AreaWidth, int32_t AreaHeight, int32_t SourceWidth, int32_t SourceHeight,
                        bool KeepAspectRatio);

// A size scaled by a zoom percentage (rounded unless the zoom is 100).
void ZoomVideoSize(int32_t Width, int32_t Height, int32_t ZoomPercent, int32_t& OutWidth, int32_t& OutHeight);

// A point of the video rectangle in the video's own pixels; false when it
// lies outside the rectangle (or the rectangle is empty).
bool TranslateToVideo(int32_t X, int32_t Y, int32_t RectWidth, int32_t RectHeight, int32_t VideoWidth,
                      int32_t VideoHeight, int32_t& OutX, int32_t& OutY);

// The desktop's monitors, ten entries filled in the order the window
// system reports them; the rest stay not found.
inline constexpr int32_t kMonitorEntries = 10;
struct TMonitorInfo {
  bool Found = false;
  win::RECT Bounds{};
  win::HMONITOR Handle = nullptr;
  int32_t Index = 0;
};
// Fills the entries anew from the window system.
void RefreshMonitorList();
// False for an index outside 0..9 or a monitor not found.
bool GetMonitorRect(int32_t Index, win::RECT& Rect);

// The run-time side of one video window (main or dual): what the layout
// computed, whether a renderer is bound, the drag in progress and the last
// key typed.
struct TVideoWindowRuntime {
  int32_t AreaWidth = 320;
  int32_t AreaHeight = 240;
  bool Bound = false;
  // X = -1 when no drag runs.
  win::POINT DragAnchor{-1, -1};
  char LastKey = ' ';
};

// Indexes of the window options, as the change handler receives them.
enum TVideoWindowProperty : int32_t {
  vwp_Active = 0,
  vwp_AutoSize = 1,
  vwp_Embedded = 2,
  vwp_FullScreen = 3,
  vwp_KeepAspectRatio = 4,
  vwp_StayOnTop = 5,
  vwp_MouseMovesWindow = 6,
  vwp_VideoPortEnabled = 7,
  vwp_Monitor = 8,
  vwp_AreaWidth = 9,
  vwp_AreaHeight = 10,
  vwp_Width = 11,
  vwp_Height = 12,
  vwp_Left = 13,
  vwp_Top = 14
};

// The host window of one renderer: a borderless form that is either a
// child of the control (embedded) or a window of its own.
class TDisplayForm : public forms::TForm {
public:
  TDisplayForm(TVcEngine* Engine, int32_t AttachmentIndex);
  ~TDisplayForm() override;
  TVcEngine* Engine() const { return engine_; }
  int32_t AttachmentIndex() const { return attachment_; }
  // The renderer's rectangle within the client area.
  TVideoRect VideoRect;
  // Makes the form a child of Parent (embedded) or a window of its own
  // (null); the window is made anew when that changes.
  void Embed(forms::TWinControl* Parent);
  bool IsEmbedded() const { return Parent() != nullptr; }

protected:
  void CreateParams(forms::TCreateParams& Params) override;
  void WndProc(forms::TMessage& Message) override;
  void Paint() override;
  void Resize() override;

private:
  TVcEngine* engine_;
  int32_t attachment_;
};

}  // namespace capture
