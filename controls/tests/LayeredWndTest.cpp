// The layered window: a PNG with alpha scaled into the premultiplied
// surface (checked against ImageMagick's resize and premultiplication), a
// missing file, whole-window opacity, surfaces that follow the window's
// size, a second picture replacing the first, dragging, and the helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "controls/layered/LayeredUtils.h"
#include "controls/layered/LayeredWnd.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/forms/tests/GraphicsTestUtil.h"
#include "platform/rtl/tests/ToolCheck.h"
#include "platform/win/Api.h"

using namespace controls;
using formstest::FormsFixture;
using forms::testutil::ScratchDir;
using forms::testutil::Shell;

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

int A(uint32_t p) { return p >> 24; }
int R(uint32_t p) { return (p >> 16) & 0xFF; }
int G(uint32_t p) { return (p >> 8) & 0xFF; }
int B(uint32_t p) { return p & 0xFF; }

class LayeredTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    VORIX_NEED_TOOL(testtools::OnPath("convert"), "ImageMagick");
  }
  // 600 x 300: red to blue across, opaque at the top fading to 30 % at the
  // bottom.
  std::string Picture() {
    const std::string path = dir / "splash.png";
    EXPECT_TRUE(Shell("convert -size 300x600 gradient:blue-red -rotate 90 \\( -size 600x300 gradient:white-gray30 \\) "
                      "-alpha off -compose CopyOpacity -composite PNG32:" + path));
    return path;
  }
  // A w x h picture, opaque `colour` on one half (left or right), clear on
  // the other.
  std::string Half(const std::string& name, const char* colour, bool left, int w = 60, int h = 40) {
    const std::string path = dir / name;
    const int x0 = left ? 0 : w / 2, x1 = left ? w / 2 - 1 : w - 1;
    EXPECT_TRUE(Shell("convert -size " + std::to_string(w) + "x" + std::to_string(h) + " xc:none -fill '" + colour +
                      "' -draw 'rectangle " + std::to_string(x0) + ",0 " + std::to_string(x1) + "," +
                      std::to_string(h - 1) + "' PNG32:" + path));
    return path;
  }
  TfrmLayered* MakeForm(int w, int h) {
    auto* f = new TfrmLayered(nullptr);
    f->SetBounds(40, 30, w, h);
    return f;
  }
  ScratchDir dir;
};

TEST_F(LayeredTest, PictureIsScaledIntoThePremultipliedSurface) {
  const std::string pic = Picture();
  const std::string raw = dir / "want.raw";
  ASSERT_TRUE(Shell("convert " + pic + " -filter Triangle -resize '496x193!' -depth 8 rgba:" + raw));
  const std::vector<uint8_t> want = ReadFile(raw);
  ASSERT_EQ(want.size(), 496u * 193u * 4u);

  TfrmLayered* f = MakeForm(496, 193);
  f->SetBackgroundImage(pic);
  EXPECT_EQ(f->BackgroundImage(), pic);
  f->Show();
  f->Repaint();
  ASSERT_EQ(f->SurfaceWidth(), 496);
  ASSERT_EQ(f->SurfaceHeight(), 193);
  int worst = 0;
  for (int y = 0; y < 193; ++y)
    for (int x = 0; x < 496; ++x) {
      const uint8_t* w = &want[(static_cast<size_t>(y) * 496 + static_cast<size_t>(x)) * 4];
      const int a = w[3];
      auto pre = [a](int c) { return static_cast<int>(std::lround(c * a / 255.0)); };
      const uint32_t got = f->MemPixel(x, y);
      for (int d : {std::abs(A(got) - a), std::abs(R(got) - pre(w[0])), std::abs(G(got) - pre(w[1])),
                    std::abs(B(got) - pre(w[2]))})
        worst = std::max(worst, d);
      ASSERT_LE(worst, 3) << "pixel " << x << ',' << y;
    }
  // The screen shows it over the desktop too: the top row is opaque.
  const uint32_t top = f->MemPixel(10, 0);
  const win::COLORREF shown = win::GetScreenPixel(40 + 10, 30);
  EXPECT_EQ(A(top), 255);
  EXPECT_NEAR(static_cast<int>(shown & 0xFF), R(top), 1);
  EXPECT_NEAR(static_cast<int>((shown >> 16) & 0xFF), B(top), 1);
}

TEST_F(LayeredTest, MissingFileLeavesTheWindowClear) {
  TfrmLayered* f = MakeForm(120, 80);
  const win::COLORREF desktop = win::GetScreenPixel(40 + 60, 30 + 40);
  f->SetBackgroundImage(dir / "nothing-here.png");
  f->Show();
  f->Repaint();
  for (int y = 0; y < 80; y += 7)
    for (int x = 0; x < 120; x += 7) ASSERT_EQ(f->MemPixel(x, y), 0u) << x << ',' << y;
  EXPECT_EQ(win::GetScreenPixel(40 + 60, 30 + 40), desktop);
  // A good picture after a missing one shows.
  f->SetBackgroundImage(Half("left.png", "#00FF00", true, 120, 80));
  f->Repaint();
  EXPECT_EQ(f->MemPixel(10, 10), 0xFF00FF00u);
}

TEST_F(LayeredTest, SecondPictureReplacesTheFirst) {
  TfrmLayered* f = MakeForm(60, 40);
  f->SetBackgroundImage(Half("a.png", "#FF0000", true));
  f->Repaint();
  ASSERT_EQ(f->MemPixel(5, 5), 0xFFFF0000u);
  f->SetBackgroundImage(Half("b.png", "#0000FF", false));
  f->Repaint();
  EXPECT_EQ(f->MemPixel(5, 5), 0u) << "the old picture must not show through";
  EXPECT_EQ(f->MemPixel(50, 5), 0xFF0000FFu);
}

TEST_F(LayeredTest, SurfacesFollowTheWindowSize) {
  TfrmLayered* f = MakeForm(60, 40);
  f->SetBackgroundImage(Half("a.png", "#FF0000", false));
  f->Show();
  f->Repaint();
  f->SetBounds(40, 30, 100, 50);
  f->Repaint();
  EXPECT_EQ(f->SurfaceWidth(), 100);
  EXPECT_EQ(f->SurfaceHeight(), 50);
  // The picture is drawn again at the new size.
  EXPECT_EQ(f->MemPixel(99, 49), 0xFFFF0000u);
  EXPECT_EQ(f->MemPixel(40, 10), 0u);
  EXPECT_EQ(win::GetScreenPixel(40 + 99, 30 + 49), win::RGB(255, 0, 0));
}

TEST_F(LayeredTest, BlendAlphaTakesEffectAtTheNextRepaint) {
  TfrmLayered* f = MakeForm(60, 40);
  f->SetBackgroundImage(Half("a.png", "#FFFFFF", true));
  f->Show();
  f->Repaint();
  const win::COLORREF behind = win::GetScreenPixel(40 + 50, 30 + 5);
  ASSERT_EQ(win::GetScreenPixel(40 + 5, 30 + 5), win::RGB(255, 255, 255));
  f->SetBlendAlpha(128);
  EXPECT_EQ(f->BlendAlpha(), 128);
  EXPECT_EQ(win::GetScreenPixel(40 + 5, 30 + 5), win::RGB(255, 255, 255)) << "not before the repaint";
  f->Repaint();
  const win::COLORREF half = win::GetScreenPixel(40 + 5, 30 + 5);
  const int want = 128 + (behind & 0xFF) * 127 / 255;
  EXPECT_NEAR(static_cast<int>(half & 0xFF), want, 2);
}

TEST_F(LayeredTest, WindowIsLayeredAndBorderless) {
  TfrmLayered* f = MakeForm(60, 40);
  const win::HWND h = f->Handle();
  EXPECT_TRUE(win::GetWindowLongA(h, win::GWL_EXSTYLE) & win::WS_EX_LAYERED);
  EXPECT_FALSE(win::GetWindowLongA(h, win::GWL_STYLE) & win::WS_CAPTION);
  EXPECT_FALSE(win::GetWindowLongA(h, win::GWL_STYLE) & win::WS_THICKFRAME);
  EXPECT_EQ(f->KeyColor(), 0x00FF00FFu);
}

TEST_F(LayeredTest, WithoutSurfacesNothingComposesAndSettersOnlyStore) {
  auto* f = new TfrmLayered(nullptr);
  f->SetBounds(40, 30, 0, 0);
  f->SetTextQuality(TextQuality_AntiAlias);
  f->SetBackgroundImage(Half("a.png", "#FF0000", true));
  f->Repaint();
  EXPECT_EQ(f->MemGraphics(), nullptr);
  EXPECT_EQ(f->TextQuality(), TextQuality_AntiAlias);
  EXPECT_EQ(f->MemPixel(0, 0), 0u);
  // Given a size, the form makes its surfaces and shows the picture.
  f->SetBounds(40, 30, 60, 40);
  f->Repaint();
  ASSERT_NE(f->MemGraphics(), nullptr);
  EXPECT_EQ(f->MemGraphics()->GetTextRenderingHint(), win::Gdiplus::TextRenderingHintAntiAlias);
  EXPECT_EQ(f->MemPixel(5, 5), 0xFFFF0000u);
}

TEST_F(LayeredTest, TextQualityReadsDefaultButDrawsAntiAliased) {
  TfrmLayered* f = MakeForm(60, 40);
  EXPECT_EQ(f->TextQuality(), TextQuality_SystemDefault);
  ASSERT_NE(f->MemGraphics(), nullptr);
  EXPECT_EQ(f->MemGraphics()->GetTextRenderingHint(), win::Gdiplus::TextRenderingHintAntiAlias);
  f->SetTextQuality(TextQuality_ClearTypeGridFit);
  EXPECT_EQ(f->MemGraphics()->GetTextRenderingHint(), win::Gdiplus::TextRenderingHintClearTypeGridFit);
  f->SetTextQuality(TextQuality_SystemDefault);
  EXPECT_EQ(f->MemGraphics()->GetTextRenderingHint(), win::Gdiplus::TextRenderingHintSystemDefault);
  f->SetTextQuality(static_cast<TTextQuality>(9));
  EXPECT_EQ(f->MemGraphics()->GetTextRenderingHint(), win::Gdiplus::TextRenderingHintSystemDefault);
}

TEST_F(LayeredTest, AnyButtonStartsAMove) {
  TfrmLayered* f = MakeForm(60, 40);
  f->SetBackgroundImage(Half("a.png", "#FFFFFF", true));
  f->Show();
  f->Repaint();
  Pump();
  std::vector<win::WPARAM> commands;
  auto inner = f->WindowProc;
  f->WindowProc = [inner, &commands](forms::TMessage& m) {
    if (m.Msg == win::WM_SYSCOMMAND) commands.push_back(m.WParam);
    inner(m);
  };
  win::InjectClick(40 + 10, 30 + 10, 1);
  Pump();
  ASSERT_EQ(commands, std::vector<win::WPARAM>{0xF012});
  // The move follows the mouse until the button that started it comes up.
  struct Drag {
    int button, dx, dy;
  };
  int left = 40, top = 30;
  for (const Drag d : {Drag{0, 30, 20}, Drag{1, -10, 5}}) {
    SCOPED_TRACE(d.button);
    win::InjectMouseMove(left + 10, top + 10);
    win::InjectMouseButton(d.button, true);
    win::InjectMouseMove(left + 10 + d.dx, top + 10 + d.dy);
    win::InjectMouseButton(d.button, false);
    Pump();
    left += d.dx;
    top += d.dy;
    EXPECT_EQ(f->Left(), left);
    EXPECT_EQ(f->Top(), top);
  }
  f->WindowProc = inner;
}

// Draws a square through its form's graphics; other children are ignored.
class Square : public forms::TGraphicControl, public ILayeredChild {
public:
  using TGraphicControl::TGraphicControl;
  void SetLayeredParent(TfrmLayered* form) override { parent = form; }
  void PaintLayered() override {
    ++paints;
    const win::Gdiplus::SolidBrush brush(win::Gdiplus::Color(ColorWithAlpha(colour, 255)));
    parent->MemGraphics()->FillRectangle(&brush, Left(), Top(), Width(), Height());
  }
  TfrmLayered* parent = nullptr;
  forms::TColor colour = forms::clBlue;
  int paints = 0;
};

TEST_F(LayeredTest, ChildrenDrawOverTheBackgroundAtEachComposition) {
  TfrmLayered* f = MakeForm(60, 40);
  auto* sq = new Square(f);
  sq->SetParent(f);
  sq->SetBounds(10, 10, 5, 5);
  auto* plain = new forms::TPanel(f);
  plain->SetParent(f);
  plain->SetBounds(40, 10, 5, 5);
  // Without a picture the surface is not cleared: an old square stays.
  f->Repaint();
  ASSERT_EQ(sq->parent, f);
  EXPECT_EQ(f->MemPixel(12, 12), 0xFF0000FFu);
  EXPECT_EQ(f->MemPixel(42, 12), 0u) << "an ordinary child draws nothing here";
  sq->SetLeft(20);
  f->Repaint();
  EXPECT_EQ(f->MemPixel(12, 12), 0xFF0000FFu);
  // With a picture each composition starts from it.
  f->SetBackgroundImage(Half("a.png", "#FF0000", true));
  f->Repaint();
  EXPECT_EQ(f->MemPixel(12, 12), 0xFFFF0000u);
  EXPECT_EQ(f->MemPixel(22, 12), 0xFF0000FFu);
  EXPECT_EQ(sq->paints, 3);
}

TEST(LayeredUtils, ColorWithAlphaIgnoresTheTopByte) {
  EXPECT_EQ(ColorWithAlpha(0x000000FF, 255), 0xFFFF0000u);
  EXPECT_EQ(ColorWithAlpha(forms::clWindowText, 128), 0x80080000u);
  EXPECT_EQ(ColorWithAlpha(0x00123456, 0), 0x00563412u);
}

TEST(LayeredUtils, ResourceImageFromATable) {
  ScratchDir dir;
  VORIX_NEED_TOOL(testtools::OnPath("convert"), "ImageMagick");
  ASSERT_TRUE(Shell("convert -size 7x5 xc:'#336699' PNG32:" + dir / "dot.png"));
  const std::vector<uint8_t> png = ReadFile(dir / "dot.png");
  const uint8_t junk[] = {1, 2, 3};
  const rtl::ResourceEntry entries[] = {{"DOT", "PNG", png.data(), png.size()},
                                        {"EMPTY", "PNG", png.data(), 0},
                                        {"JUNK", "PNG", junk, sizeof junk}};
  const rtl::ResourceTable table{entries, 3};
  auto image = ResourceImage("dot", "png", table);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetWidth(), 7u);
  EXPECT_EQ(image->GetHeight(), 5u);
  EXPECT_EQ(ResourceImage("DOT", "BMP", table), nullptr);
  EXPECT_EQ(ResourceImage("EMPTY", "PNG", table), nullptr);
  EXPECT_EQ(ResourceImage("JUNK", "PNG", table), nullptr);
  EXPECT_EQ(ResourceImage("NONE", "PNG", table), nullptr);
}

}  // namespace
