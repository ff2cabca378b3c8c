// Transparency through three levels: a check-box-like control paints its
// parent's background, its parent is a transparent panel that paints its
// own parent's, and that form has a graphic control under both.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/forms/Controls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Bitmap.h"
#include "platform/win/Dc.h"
#include "platform/win/Display.h"
#include "platform/win/GdiObject.h"
#include "platform/win/Paint.h"
#include "platform/win/Shapes.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

constexpr TColor kFormColour = clBlue;
constexpr TColor kShapeColour = clRed;

// Paints far beyond its bounds: the parent's clip must keep it inside.
class Shape : public TGraphicControl {
public:
  using TGraphicControl::TGraphicControl;

protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(kShapeColour);
    Canvas()->FillRect(Rect(-500, -500, 1000, 1000));
  }
};

// Asking for the parent's background by style alone does not make a
// control see-through in the classic look; this panel erases with its
// parent's drawing itself.
class TransparentPanel : public TCustomControl {
public:
  explicit TransparentPanel(TComponent* owner) : TCustomControl(owner) {
    SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls, csParentBackground});
  }

protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == win::WM_ERASEBKGND && m.WParam) {
      DrawParentBackground(this, reinterpret_cast<win::HDC>(m.WParam));
      m.Result = 1;
      return;
    }
    TCustomControl::Dispatch(m);
  }
};

class CheckBoxLike : public TCustomControl {
public:
  using TCustomControl::TCustomControl;

protected:
  void Paint() override {
    DrawParentBackground(this, Canvas()->Handle());
    Canvas()->Brush()->SetColor(clBlack);
    Canvas()->FillRect(Rect(2, 2, 12, 12));
  }
};

// A memory DC over a fresh bitmap, for painting into a caller's DC.
class MemoryDC {
public:
  MemoryDC(int w, int h) {
    win::HDC screen = win::GetDC(nullptr);
    dc_ = win::CreateCompatibleDC(screen);
    bmp_ = win::CreateCompatibleBitmap(screen, w, h);
    win::ReleaseDC(nullptr, screen);
    old_ = win::SelectObject(dc_, bmp_);
  }
  ~MemoryDC() {
    win::SelectObject(dc_, old_);
    win::DeleteObject(bmp_);
    win::DeleteDC(dc_);
  }
  win::HDC Handle() const { return dc_; }
  win::WPARAM Param() const { return reinterpret_cast<win::WPARAM>(dc_); }
  win::COLORREF Pixel(int x, int y) const { return win::GetPixel(dc_, x, y); }
  TPoint Origin() const {
    win::POINT p{};
    win::GetViewportOrgEx(dc_, &p);
    return p;
  }

private:
  win::HDC dc_;
  win::HBITMAP bmp_;
  win::HGDIOBJ old_;
};

std::string PixelByImageMagick(const std::string& png, int x, int y) {
  const std::string cmd = "convert '" + png + "' -format '%[pixel:p{" + std::to_string(x) + "," +
                          std::to_string(y) + "}]' info: 2>/dev/null";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[128];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  return out;
}

class PaintFixture : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 300, 300);
    form->SetColor(kFormColour);
    form->OnPaint = [this](TObject*) {
      form->Canvas()->Brush()->SetColor(clLime);
      form->Canvas()->FillRect(Rect(250, 10, 260, 20));
    };
    shape = new Shape(form);
    shape->SetBounds(20, 20, 100, 100);
    shape->SetParent(form);
    panel = new TransparentPanel(form);
    panel->SetBounds(60, 60, 140, 140);
    panel->SetParent(form);
    box = new CheckBoxLike(form);
    box->SetBounds(10, 10, 80, 30);
    box->SetParent(panel);
    form->Show();
    Pump();
  }
  // A form client point as the screen shows it.
  win::COLORREF At(int x, int y) { return win::GetScreenPixel(100 + x, 100 + y); }

  TForm* form = nullptr;
  Shape* shape = nullptr;
  TransparentPanel* panel = nullptr;
  CheckBoxLike* box = nullptr;
};

}  // namespace

TEST_F(PaintFixture, ParentsShowThroughTwoLevelsOfTransparentControls) {
  const win::COLORREF red = ColorToRGB(kShapeColour), blue = ColorToRGB(kFormColour);
  // The box painted into a caller's DC, in its own coordinates: at (0,0)
  // of the box lies (70,70) of the form.
  MemoryDC boxDC(80, 30);
  box->Perform(win::WM_ERASEBKGND, boxDC.Param(), 0);
  box->Perform(win::WM_PAINT, boxDC.Param(), 0);
  EXPECT_EQ(boxDC.Pixel(4, 4), win::RGB(0, 0, 0)) << "the box's own drawing";
  EXPECT_EQ(boxDC.Pixel(49, 15), red) << "the graphic control through the panel";
  EXPECT_EQ(boxDC.Pixel(50, 15), blue) << "the graphic control ends at 120";
  EXPECT_EQ(boxDC.Pixel(70, 25), blue) << "the form through the panel";

  // The panel asked for its background the same way.
  MemoryDC panelDC(140, 140);
  panel->Perform(win::WM_ERASEBKGND, panelDC.Param(), 0);
  EXPECT_EQ(panelDC.Pixel(20, 5), red);
  EXPECT_EQ(panelDC.Pixel(70, 70), blue);
  EXPECT_EQ(panelDC.Origin(), Point(0, 0)) << "the DC comes back as it was given";

  // The graphic control moves: the next paint shows it elsewhere.
  shape->SetLeft(140);
  box->Perform(win::WM_PAINT, boxDC.Param(), 0);
  EXPECT_EQ(boxDC.Pixel(49, 15), blue);
  EXPECT_EQ(boxDC.Pixel(75, 15), red);
  delete form;
}

TEST_F(PaintFixture, PaintWithACallersDCDrawsTheWindowAndGraphicChildrenOnly) {
  MemoryDC memDC(300, 300);
  win::HDC mem = memDC.Handle();
  form->Perform(win::WM_ERASEBKGND, reinterpret_cast<win::WPARAM>(mem), 0);
  form->Perform(win::WM_PAINT, reinterpret_cast<win::WPARAM>(mem), 0);
  EXPECT_EQ(win::GetPixel(mem, 30, 30), ColorToRGB(kShapeColour));
  EXPECT_EQ(win::GetPixel(mem, 250, 250), ColorToRGB(kFormColour));
  // The windowed children are not part of it: the box's black square is
  // not there, the graphic control under it is.
  EXPECT_EQ(win::GetPixel(mem, 74, 74), ColorToRGB(kShapeColour));
  EXPECT_EQ(memDC.Origin(), Point(0, 0));
  delete form;
}

TEST_F(PaintFixture, OnScreenTheBoxShowsThePanelAndTheFormBehindIt) {
  const win::COLORREF red = ColorToRGB(kShapeColour), blue = ColorToRGB(kFormColour);
  EXPECT_EQ(At(30, 30), red) << "the graphic control";
  EXPECT_EQ(At(10, 10), blue) << "clipped to its bounds";
  EXPECT_EQ(At(255, 15), win::RGB(0, 255, 0)) << "the form's OnPaint";
  EXPECT_EQ(At(130, 130), blue) << "the panel shows the form";
  EXPECT_EQ(At(80, 65), red) << "the panel shows the form's graphic control";
  EXPECT_EQ(At(74, 74), win::RGB(0, 0, 0)) << "the box's own drawing";
  EXPECT_EQ(At(119, 85), red) << "the box shows the graphic control through the panel";
  EXPECT_EQ(At(130, 85), blue) << "the box shows the form through the panel";

  // Saved for a look, and read back by ImageMagick.
  const std::string png = ::testing::TempDir() + "forms_paint_fixture.png";
  ASSERT_TRUE(win::SaveWindowPng(form->Handle(), png));
  EXPECT_EQ(PixelByImageMagick(png, 119, 85), "srgb(255,0,0)");
  EXPECT_EQ(PixelByImageMagick(png, 130, 85), "srgb(0,0,255)");
  EXPECT_EQ(PixelByImageMagick(png, 74, 74), "srgb(0,0,0)");

  // Moving the graphic control shows through both levels once the tree
  // is painted again.
  shape->SetLeft(140);
  win::RedrawWindow(form->Handle(), nullptr, nullptr,
                    win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_ALLCHILDREN | win::RDW_UPDATENOW);
  Pump();
  EXPECT_EQ(At(80, 65), blue);
  EXPECT_EQ(At(145, 85), red);
  delete form;
}

TEST_F(PaintFixture, DoubleBufferedControlsPaintTheSame) {
  panel->SetDoubleBuffered(true);
  box->SetDoubleBuffered(true);
  win::RedrawWindow(form->Handle(), nullptr, nullptr,
                    win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_ALLCHILDREN | win::RDW_UPDATENOW);
  Pump();
  EXPECT_EQ(At(80, 65), ColorToRGB(kShapeColour));
  EXPECT_EQ(At(74, 74), win::RGB(0, 0, 0));
  EXPECT_EQ(At(130, 85), ColorToRGB(kFormColour));
  delete form;
}
