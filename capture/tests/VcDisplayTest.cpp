// The display windows: the layout of the video in its area, zoom, the
// monitors, mouse coordinates in video pixels, and a real preview's
// renderer moving between the embedded, floating and full-screen forms.
#include <gtest/gtest.h>

#include "capture/VcDisplay.h"
#include "capture/VcEngine.h"
#include "capture/tests/VidCapTestUtil.h"
#include "platform/mg/SystemFilters.h"
#include "platform/win/Api.h"
#include "platform/win/Monitors.h"

namespace {

using namespace capture;

TEST(VcDisplayLayout, VideoRectKeepsTheAspectRatioCentredInTheArea) {
  struct Case {
    int32_t areaW, areaH, srcW, srcH;
    bool keep;
    TVideoRect expected;
  };
  for (const Case c : {
           Case{400, 400, 640, 480, true, {0, 50, 400, 300}},
           Case{400, 200, 640, 480, true, {66, 0, 267, 200}},
           Case{320, 240, 640, 480, true, {0, 0, 320, 240}},
           Case{401, 300, 640, 480, true, {0, 0, 400, 300}},  // odd space: the spare pixel goes right
           Case{400, 400, 640, 480, false, {0, 0, 400, 400}},
           // A source of no size (nothing read yet) fills the area.
           Case{400, 400, 0, 0, true, {0, 0, 400, 400}},
           Case{400, 400, 640, 0, true, {0, 0, 400, 400}},
       }) {
    SCOPED_TRACE(testing::Message() << c.areaW << "x" << c.areaH << " <- " << c.srcW << "x" << c.srcH);
    const TVideoRect r = FitVideoRect(c.areaW, c.areaH, c.srcW, c.srcH, c.keep);
    EXPECT_EQ(r, c.expected) << r.Left << "," << r.Top << " " << r.Width << "x" << r.Height;
  }
}

TEST(VcDisplayLayout, ZoomAndMouseTranslation) {
  struct Zoom {
    int32_t w, h, zoom, ew, eh;
  };
  for (const Zoom z : {Zoom{720, 576, 50, 360, 288}, Zoom{720, 576, 100, 720, 576}, Zoom{320, 240, 33, 106, 79},
                       Zoom{320, 240, 150, 480, 360}}) {
    int32_t w = 0, h = 0;
    ZoomVideoSize(z.w, z.h, z.zoom, w, h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(z.ew, z.eh)) << z.zoom;
  }
  struct Point {
    int32_t x, y;
    bool inside;
    int32_t vx, vy;
  };
  for (const Point p : {Point{160, 120, true, 320, 240}, Point{0, 0, true, 0, 0}, Point{320, 240, true, 640, 480},
                        Point{321, 10, false, 0, 0}, Point{-1, 10, false, 0, 0}, Point{10, 241, false, 0, 0}}) {
    int32_t x = 0, y = 0;
    EXPECT_EQ(TranslateToVideo(p.x, p.y, 320, 240, 640, 480, x, y), p.inside) << p.x << "," << p.y;
    if (p.inside) {
      EXPECT_EQ(std::make_pair(x, y), std::make_pair(p.vx, p.vy));
    }
  }
  int32_t x = 0, y = 0;
  EXPECT_FALSE(TranslateToVideo(0, 0, 0, 0, 640, 480, x, y));
}

TEST(VcDisplayLayout, TenMonitorsAreKeptAndOthersAreUnknown) {
  std::vector<win::MonitorLayout> layout;
  for (int i = 0; i < 11; ++i) {
    const win::RECT r{i * 1000, 0, i * 1000 + 800, 600};
    layout.push_back({r, r});
  }
  win::SetMonitorLayout(layout);
  win::RECT r{};
  EXPECT_TRUE(GetMonitorRect(0, r));
  ASSERT_TRUE(GetMonitorRect(9, r));
  EXPECT_EQ(r.left, 9000);
  EXPECT_EQ(r.right, 9800);
  EXPECT_FALSE(GetMonitorRect(10, r));
  EXPECT_FALSE(GetMonitorRect(12, r));
  EXPECT_FALSE(GetMonitorRect(-1, r));
  win::SetMonitorLayout({});
  EXPECT_TRUE(GetMonitorRect(0, r));
  EXPECT_FALSE(GetMonitorRect(1, r));
}

class VcDisplay : public captest::VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    SetDiscoveryHooks({[](TVcEngine&) { return true; }, {}, {}, {}});
    SetGraphSchedulerFactory([this] {
      scheduler = std::make_shared<mg::ManualScheduler>();
      return scheduler;
    });
    win::SetScreenSize(1024, 768);
  }
  void TearDown() override {
    win::SetMonitorLayout({});
    VidCapFixture::TearDown();
  }
  TVidCap* PreviewControl() {
    PlugCameras(1);
    TVidCap* vc = MakeControl();
    vc->SetFrameGrabber(fg_Disabled);
    vc->SetBorderStyle(forms::bsNone);
    vc->SetBounds(0, 0, 400, 200);
    return vc;
  }
  static win::RECT WindowRect(win::HWND h) {
    win::RECT r{};
    win::GetWindowRect(h, &r);
    return r;
  }
  // The renderer's window relative to its parent.
  static TVideoRect ChildRect(win::HWND h) {
    win::RECT r = WindowRect(h);
    win::POINT tl{r.left, r.top};
    win::ScreenToClient(win::GetParent(h), &tl);
    return {tl.x, tl.y, r.right - r.left, r.bottom - r.top};
  }
  std::shared_ptr<mg::ManualScheduler> scheduler;
};

TEST_F(VcDisplay, PreviewShowsEmbeddedThenFloatingThenFullScreenAndEscapeComesBack) {
  TVidCap* vc = PreviewControl();
  TVcEngine& e = *vc->Engine();
  // The control keeps its size: the video fits into it.
  vc->SetDisplay_AutoSize(false);
  ASSERT_TRUE(vc->StartPreview());
  TDisplayAttachment& main = e.Attachments[da_Main];
  TDisplayForm* form = e.DisplayForms[da_Main].get();
  ASSERT_NE(form, nullptr);
  ASSERT_EQ(main.Window, 0);
  EXPECT_TRUE(e.WindowRuntime[0].Bound);
  ASSERT_GT(e.VideoWidth, 0);

  // Embedded: a child of the control filling it, the renderer's window a
  // child of the form at the fitted rectangle.
  EXPECT_TRUE(form->IsEmbedded());
  EXPECT_EQ(win::GetParent(form->Handle()), vc->Handle());
  EXPECT_TRUE(form->Visible());
  ASSERT_NE(main.RendererHandle, nullptr);
  EXPECT_EQ(win::GetParent(main.RendererHandle), form->Handle());
  const TVideoRect embedded = FitVideoRect(400, 200, e.VideoWidth, e.VideoHeight, true);
  EXPECT_EQ(ChildRect(main.RendererHandle), embedded);
  EXPECT_EQ(e.WindowRuntime[0].AreaWidth, 400);

  // Floating at a given size and place: a window of its own.
  vc->SetDisplay_Width(400);
  vc->SetDisplay_Height(400);
  vc->SetDisplay_Left(30);
  vc->SetDisplay_Top(40);
  vc->SetDisplay_Embedded(false);
  EXPECT_FALSE(form->IsEmbedded());
  EXPECT_EQ(win::GetParent(form->Handle()), nullptr);
  win::RECT r = WindowRect(form->Handle());
  EXPECT_EQ(r.left, 30);
  EXPECT_EQ(r.top, 40);
  EXPECT_EQ(r.right - r.left, 400);
  EXPECT_EQ(ChildRect(main.RendererHandle), FitVideoRect(400, 400, e.VideoWidth, e.VideoHeight, true));
  EXPECT_EQ(win::GetParent(main.RendererHandle), form->Handle());

  // Full screen covers the monitor; Escape leaves it and the window goes
  // back where it was.
  vc->SetDisplay_FullScreen(true);
  r = WindowRect(form->Handle());
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 1024);
  EXPECT_EQ(r.bottom, 768);
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(ChildRect(main.RendererHandle), FitVideoRect(1024, 768, e.VideoWidth, e.VideoHeight, true));
  int keys = 0;
  vc->OnKeyPress = [&](forms::TObject*, int32_t window, char& key, int32_t physical, forms::TShiftState) {
    ++keys;
    EXPECT_EQ(window, 0);
    EXPECT_EQ(key, 27);
    EXPECT_EQ(physical, win::VK_ESCAPE);
  };
  form->Perform(win::WM_KEYDOWN, win::VK_ESCAPE, 0);
  EXPECT_EQ(keys, 1);
  EXPECT_FALSE(vc->Display_FullScreen());
  r = WindowRect(form->Handle());
  EXPECT_EQ(r.left, 30);
  EXPECT_EQ(r.right - r.left, 400);

  // Embedded again: back inside the control.
  vc->SetDisplay_Embedded(true);
  EXPECT_TRUE(form->IsEmbedded());
  EXPECT_EQ(win::GetParent(form->Handle()), vc->Handle());
  EXPECT_EQ(ChildRect(main.RendererHandle), embedded);

  // Stopping hides the embedded form and frees the renderer.
  EXPECT_TRUE(vc->Stop());
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(main.Window, -1);
  EXPECT_FALSE(e.WindowRuntime[0].Bound);
}

TEST_F(VcDisplay, FullScreenOnAnUnknownMonitorUsesTheScreenAndTheSecondMonitorItsOwnPlace) {
  std::vector<win::MonitorLayout> layout = {{{0, 0, 1024, 768}, {0, 0, 1024, 768}},
                                            {{1024, 0, 1824, 600}, {1024, 0, 1824, 600}}};
  win::SetMonitorLayout(layout);
  TVidCap* vc = PreviewControl();
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  TDisplayForm* form = e.DisplayForms[da_Main].get();
  ASSERT_NE(form, nullptr);
  struct Case {
    int32_t monitor;
    win::RECT expected;
  };
  vc->SetDisplay_FullScreen(true);
  for (const Case c : {Case{1, {1024, 0, 1824, 600}}, Case{12, {0, 0, 1024, 768}}, Case{0, {0, 0, 1024, 768}}}) {
    vc->SetDisplay_Monitor(c.monitor);
    const win::RECT r = WindowRect(form->Handle());
    EXPECT_EQ(r.left, c.expected.left) << c.monitor;
    EXPECT_EQ(r.right, c.expected.right) << c.monitor;
    EXPECT_EQ(r.bottom, c.expected.bottom) << c.monitor;
  }
}

TEST_F(VcDisplay, AutoSizeResizesTheControlToTheZoomedVideo) {
  TVidCap* vc = MakeControl();
  vc->SetBorderStyle(forms::bsSingle);
  TVcEngine& e = *vc->Engine();
  const int32_t border = e.Sel.BorderSize;
  EXPECT_GT(border, 0);
  e.VideoWidth = 720;
  e.VideoHeight = 576;
  int resized = 0;
  vc->OnResizeVideo = [&](forms::TObject*, int32_t w, int32_t h) {
    ++resized;
    EXPECT_EQ(w, 720);
    EXPECT_EQ(h, 576);
  };
  vc->SetPreviewZoomSize(50);
  e.LayoutDisplays();
  EXPECT_EQ(vc->Width(), 360 + border);
  EXPECT_EQ(vc->Height(), 288 + border);
  EXPECT_EQ(e.WindowRuntime[0].AreaWidth, 360);
  EXPECT_GE(resized, 1);
  // A control that fills its parent keeps its size.
  vc->SetAlign(forms::alClient);
  const int32_t width = vc->Width();
  vc->SetPreviewZoomSize(100);
  e.LayoutDisplays();
  EXPECT_EQ(vc->Width(), width);
}

TEST_F(VcDisplay, MouseOnTheDisplayFormReachesTheControlInFormCoordinatesWhenNotTranslated) {
  TVidCap* vc = PreviewControl();
  TVcEngine& e = *vc->Engine();
  vc->SetTranslateMouseCoordinates(false);
  ASSERT_TRUE(vc->StartPreview());
  TDisplayForm* form = e.DisplayForms[da_Main].get();
  ASSERT_NE(form, nullptr);
  std::vector<std::tuple<int32_t, int32_t, int32_t>> downs;
  vc->OnMouseDown = [&](forms::TObject* sender, int32_t window, forms::TMouseButton, forms::TShiftState, int32_t x,
                        int32_t y) {
    EXPECT_EQ(sender, vc);
    downs.emplace_back(window, x, y);
  };
  form->Perform(win::WM_LBUTTONDOWN, win::MK_LBUTTON, win::MAKELPARAM(11, 21));
  form->Perform(win::WM_LBUTTONUP, 0, win::MAKELPARAM(11, 21));
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0], std::make_tuple(0, 10, 20));

  // A floating window that the mouse moves starts a drag instead, and
  // follows the pointer.
  vc->SetDisplay_AutoSize(false);
  vc->SetDisplay_Left(100);
  vc->SetDisplay_Top(100);
  vc->SetDisplay_Embedded(false);
  ASSERT_EQ(form->Left(), 100);
  downs.clear();
  win::SetCursorPos(105, 105);
  form->Perform(win::WM_LBUTTONDOWN, win::MK_LBUTTON, win::MAKELPARAM(5, 5));
  EXPECT_TRUE(downs.empty());
  EXPECT_EQ(e.WindowRuntime[0].DragAnchor.x, 104);
  win::SetCursorPos(135, 125);
  form->Perform(win::WM_MOUSEMOVE, win::MK_LBUTTON, win::MAKELPARAM(5, 5));
  EXPECT_EQ(form->Left(), 130);
  EXPECT_EQ(form->Top(), 120);
  EXPECT_EQ(vc->Display_Left(), 130);
  EXPECT_EQ(vc->Display_Top(), 120);
  form->Perform(win::WM_LBUTTONUP, 0, win::MAKELPARAM(5, 5));
  EXPECT_EQ(e.WindowRuntime[0].DragAnchor.x, -1);
}

TEST_F(VcDisplay, TranslatedMouseReportsVideoPixelsAndNothingOutsideTheVideo) {
  TVidCap* vc = PreviewControl();
  TVcEngine& e = *vc->Engine();
  vc->SetDisplay_AutoSize(false);
  ASSERT_TRUE(vc->StartPreview());
  TDisplayForm* form = e.DisplayForms[da_Main].get();
  ASSERT_NE(form, nullptr);
  const TDisplayAttachment& main = e.Attachments[da_Main];
  ASSERT_NE(main.RendererHandle, nullptr);
  const TVideoRect rect = form->VideoRect;
  ASSERT_GT(rect.Width, 0);
  std::vector<std::pair<int32_t, int32_t>> moves;
  vc->OnMouseMove = [&](forms::TObject*, int32_t, forms::TShiftState, int32_t x, int32_t y) { moves.emplace_back(x, y); };
  // The pointer is read from the screen, in the renderer window's terms.
  win::POINT origin{0, 0};
  win::ClientToScreen(main.RendererHandle, &origin);
  win::SetCursorPos(origin.x + rect.Width / 2, origin.y + rect.Height / 2);
  form->Perform(win::WM_MOUSEMOVE, 0, 0);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_NEAR(moves[0].first, e.VideoWidth / 2, 1);
  EXPECT_NEAR(moves[0].second, e.VideoHeight / 2, 1);
  win::SetCursorPos(origin.x + rect.Width + 5, origin.y + 1);
  form->Perform(win::WM_MOUSEMOVE, 0, 0);
  EXPECT_EQ(moves.size(), 1u) << "outside the video nothing is reported";
}

TEST_F(VcDisplay, BothWindowsActiveGiveASecondRendererInTheDualWindow) {
  TVidCap* vc = PreviewControl();
  TVcEngine& e = *vc->Engine();
  vc->SetDualDisplay_Active(true);
  ASSERT_TRUE(vc->StartPreview());
  ASSERT_NE(e.Attachments[da_Second].Renderer, nullptr);
  EXPECT_EQ(e.Attachments[da_Main].Window, 0);
  EXPECT_EQ(e.Attachments[da_Second].Window, 1);
  TDisplayForm* dual = e.DisplayForms[da_Second].get();
  ASSERT_NE(dual, nullptr);
  // The dual window floats at its own place, with the video's size.
  EXPECT_FALSE(dual->IsEmbedded());
  EXPECT_TRUE(dual->Visible());
  EXPECT_EQ(dual->Left(), 400);
  EXPECT_EQ(dual->Width(), e.VideoWidth);
  // Both renderers draw the camera's frames.
  scheduler->Pump(2);
  for (int32_t which : {da_Main, da_Second})
    EXPECT_GT(std::dynamic_pointer_cast<mg::VideoRenderer>(e.Attachments[which].Renderer)->FramesDrawn(), 0) << which;
  // Switching the dual window off hides it.
  vc->SetDualDisplay_Active(false);
  EXPECT_FALSE(dual->Visible());

  // Colour keying and a second display exclude each other.
  vc->Stop();
  vc->SetDualDisplay_Active(true);
  vc->SetColorKeyEnabled(true);
  log.clear();
  EXPECT_FALSE(e.DualDisplayAllowed());
  EXPECT_EQ(log.back().msg, "window transparency incompatible with dual display");
}

TEST_F(VcDisplay, ColourKeyIsSetOnTheOverlayAndAnnounced) {
  TVidCap* vc = PreviewControl();
  vc->SetColorKeyEnabled(true);
  std::vector<forms::TColor> keys;
  vc->OnColorKeyChange = [&](forms::TObject*, forms::TColor key) { keys.push_back(key); };
  ASSERT_TRUE(vc->StartPreview());
  TVcEngine& e = *vc->Engine();
  auto overlay = e.OverlayInterface ? e.OverlayInterface
                                    : mg::QueryInterface<mg::IOverlay>(e.Attachments[da_Main].Renderer);
  ASSERT_NE(overlay, nullptr);
  mg::COLORKEY key;
  ASSERT_EQ(overlay->GetColorKey(&key), mg::S_OK);
  EXPECT_EQ(key.KeyType, 3u);
  EXPECT_EQ(key.LowColorValue, win::RGB(255, 0, 255));
  EXPECT_EQ(keys, (std::vector<forms::TColor>{static_cast<forms::TColor>(win::RGB(255, 0, 255))}));
  // Set once: a later check leaves it and says nothing.
  e.CheckColorKey();
  EXPECT_EQ(keys.size(), 1u);
}

}  // namespace
