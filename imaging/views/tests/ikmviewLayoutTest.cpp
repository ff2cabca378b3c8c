// The thumbnail view on a form: where cells go, when scroll bars show, what
// a point hits, what a paint puts into the back buffer, how the mouse and
// the keys select and scroll, and the slide show on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/tests/IkTestFolder.h"
#include "imaging/views/ikmview.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Text.h"
#include "platform/win/Gradient.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/MessageIds.h"
#include "platform/win/Styles.h"
#include "platform/win/Window.h"

namespace imaging {
namespace {

using namespace forms;

// 0xRRGGBB of a back-buffer pixel.
uint32_t Pixel(TBitmap* b, int x, int y) {
  const auto* row = static_cast<const uint8_t*>(b->ScanLine(y));
  return (uint32_t(row[3 * x + 2]) << 16) | (uint32_t(row[3 * x + 1]) << 8) | row[3 * x];
}

// A solid ikRGB24 picture of w x h in 0xRRGGBB.
void Solid(TIKBitmap& b, int w, int h, uint32_t rgb) {
  b.Allocate(w, h, ikRGB24);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b.ScanLine(y));
    for (int x = 0; x < w; ++x) {
      row[3 * x] = rgb & 0xFF;
      row[3 * x + 1] = (rgb >> 8) & 0xFF;
      row[3 * x + 2] = (rgb >> 16) & 0xFF;
    }
  }
}

class ThumbViewTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 400, 300);
    view = new TImgKitMView(form);
    view->SetBorderStyle(bsNone);
    view->SetParent(form);
    view->SetThumbWidth(80);
    view->SetThumbHeight(60);
    view->SetBounds(0, 0, 200, 150);
    form->Show();
    Pump();
  }
  void TearDown() override {
    FormsFixture::TearDown();
  }
  void Fill(int32_t count) {
    for (int32_t i = 0; i < count; ++i) view->InsertImageNoSelect(i);
  }
  bool BarShown(int bar) {
    const auto style = win::GetWindowLong(view->Handle(), win::GWL_STYLE);
    return (style & (bar == win::SB_VERT ? win::WS_VSCROLL : win::WS_HSCROLL)) != 0;
  }
  TBitmap* Painted() {
    view->Repaint();
    Pump();
    return view->BackBuffer();
  }
  TForm* form = nullptr;
  TImgKitMView* view = nullptr;
};

// ---------------------------------------------------------------- layout

TEST_F(ThumbViewTest, ColumnsFollowTheClientWidthWhenTheGridFitsIt) {
  view->SetScrollBars(ssNone);
  view->SetGridWidth(-1);
  struct Case {
    int width, columns;
  } cases[] = {{195, 2}, {172, 2}, {171, 1}, {256, 3}, {50, 0}};
  for (const Case& c : cases) {
    view->SetBounds(0, 0, c.width, 150);
    EXPECT_EQ(view->ColumnCount(), c.columns) << c.width;
  }
  view->SetGridWidth(3);
  EXPECT_EQ(view->ColumnCount(), 3);
}

TEST_F(ThumbViewTest, CellsTakeTheirPlacesRowByRowAndTheContentCoversThem) {
  view->SetGridWidth(3);
  Fill(8);
  struct Cell {
    int index, x, y, row, column;
  } cells[] = {{0, 4, 4, 0, 0}, {2, 172, 4, 0, 2}, {4, 88, 68, 1, 1}, {7, 88, 132, 2, 1}};
  for (const Cell& c : cells) {
    EXPECT_EQ(view->GetImageRow(c.index), c.row) << c.index;
    EXPECT_EQ(view->GetImageCol(c.index), c.column) << c.index;
  }
  EXPECT_EQ(view->ContentWidth(), 172 + 84);
  EXPECT_EQ(view->ContentHeight(), 132 + 64);
  int32_t maxX = 0, maxY = 0;
  view->GetMaxView(maxX, maxY);
  EXPECT_EQ(maxX, view->ContentWidth() - view->ClientWidth());
  EXPECT_EQ(maxY, view->ContentHeight() - view->ClientHeight());
  // Hit tests give the same cells back.
  view->SetViewXY(0, 0);
  for (const Cell& c : cells) {
    if (c.x + 79 < view->ClientWidth() && c.y + 59 < view->ClientHeight()) {
      EXPECT_EQ(view->ImageAtPos(c.x, c.y), c.index) << c.index;
    }
  }
  // A single-picture view puts every cell at the origin.
  view->SetDisplayMode(mdSingle);
  EXPECT_EQ(view->ContentWidth(), 84);
  EXPECT_EQ(view->GetImageRow(7), 0);
  EXPECT_EQ(view->GetImageCol(7), 0);
}

TEST_F(ThumbViewTest, ScrollBarsShowOnlyWhenTheContentOutgrowsTheClient) {
  view->SetGridWidth(-1);
  // Empty: one cell plus one border, smaller than the client.
  EXPECT_EQ(view->ContentWidth(), 84);
  EXPECT_EQ(view->ContentHeight(), 64);
  EXPECT_FALSE(BarShown(win::SB_HORZ));
  EXPECT_FALSE(BarShown(win::SB_VERT));
  // Narrower than one cell: all cells in one row and a horizontal bar.
  view->SetBounds(0, 0, 60, 150);
  Fill(3);
  EXPECT_EQ(view->GetImageRow(2), 0);
  EXPECT_TRUE(BarShown(win::SB_HORZ));
  // Content exactly as tall as the client: Max 0, no vertical bar.
  view->SetScrollBars(ssVertical);
  view->SetGridWidth(1);
  view->SetBounds(0, 0, 200, 3 * 64 + 4);
  EXPECT_EQ(view->ContentHeight(), view->ClientHeight());
  EXPECT_FALSE(BarShown(win::SB_VERT));
  // One pixel less and the bar is there, scaled to 0..65535.
  view->SetBounds(0, 0, 200, 3 * 64 + 3);
  EXPECT_TRUE(BarShown(win::SB_VERT));
  const int32_t client = view->ClientHeight();
  EXPECT_DOUBLE_EQ(view->VertScrollScale(), (client + (view->ContentHeight() - client) - 1) / 65536.0);
}

TEST_F(ThumbViewTest, HitTestsCoverTheThumbnailEdgesButNotTheGaps) {
  view->SetGridWidth(2);
  Fill(10);
  struct Case {
    int x, y, index;
  } cases[] = {
      {4, 4, 0},    {83, 63, 0},  {84, 10, -1}, {87, 10, -1}, {88, 4, 1},   {2, 10, -1},
      {10, 66, -1}, {10, 68, 2},  {10, 127, 2}, {10, 128, -1}, {180, 4, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(view->ImageAtPos(c.x, c.y), c.index) << c.x << "," << c.y;
  // Scrolled down by one row the same point names the next row.
  view->SetViewY(64);
  EXPECT_EQ(view->ViewY(), 64);
  EXPECT_EQ(view->ImageAtPos(10, 4), 2);
  EXPECT_EQ(view->IsImageVisible(0), 0);
  EXPECT_EQ(view->IsImageVisible(2), 2);
  EXPECT_FALSE(view->IsCellVisible(0));
  // Origins are clamped to the content.
  view->SetViewY(100000);
  int32_t maxX = 0, maxY = 0;
  view->GetMaxView(maxX, maxY);
  EXPECT_EQ(view->ViewY(), maxY);
}

// ---------------------------------------------------------------- painting

TEST_F(ThumbViewTest, ACellShowsItsPictureCentredOnTheCellBackground) {
  view->SetStyle(ikmsFlat);
  view->SetGridWidth(2);
  view->SetThumbnailsBackground(static_cast<TColor>(win::RGB(240, 202, 166)));
  view->SetBackground(clWhite);
  Fill(2);
  TIKBitmap red;
  Solid(red, 160, 80, 0xFF0000);
  view->SetIKBitmap(0, &red);
  TBitmap* b = Painted();
  ASSERT_NE(b, nullptr);
  const uint32_t cell = 0xF0CAA6;
  // 160x80 fits 80x40, centred 10 rows down in the 80x60 cell at (4, 4).
  EXPECT_EQ(Pixel(b, 4, 4), cell);
  EXPECT_EQ(Pixel(b, 4, 13), cell);
  EXPECT_EQ(Pixel(b, 4, 14), 0xFF0000u);
  EXPECT_EQ(Pixel(b, 83, 53), 0xFF0000u);
  EXPECT_EQ(Pixel(b, 83, 54), cell);
  // Between cells the view's own background.
  EXPECT_EQ(Pixel(b, 85, 30), 0xFFFFFFu);
  // The empty second cell is all cell background.
  EXPECT_EQ(Pixel(b, 120, 30), cell);
  // The display copy stays for the next paint.
  view->SetBounds(0, 0, 201, 150);
  b = Painted();
  EXPECT_EQ(Pixel(b, 40, 30), 0xFF0000u);
}

TEST_F(ThumbViewTest, RaisedCellsFrameThePictureWhiteAboveAndGrayBelow) {
  view->SetGridWidth(2);
  Fill(1);
  TIKBitmap red;
  Solid(red, 160, 80, 0xFF0000);
  view->SetIKBitmap(0, &red);
  TBitmap* b = Painted();
  // The 80x40 picture at (4, 14): its first row and column white, its last
  // ones gray.
  EXPECT_EQ(Pixel(b, 40, 14), 0xFFFFFFu);
  EXPECT_EQ(Pixel(b, 4, 30), 0xFFFFFFu);
  EXPECT_EQ(Pixel(b, 40, 53), 0x808080u);
  EXPECT_EQ(Pixel(b, 83, 30), 0x808080u);
  EXPECT_EQ(Pixel(b, 40, 30), 0xFF0000u);
}

TEST_F(ThumbViewTest, TheBottomCaptionFillsTheLastTextRowsOfAFlatCell) {
  view->SetStyle(ikmsFlat);
  view->SetGridWidth(1);
  view->SetThumbnailsBackground(clBlue);
  Fill(1);
  TIKMText* caption = view->GetImageBottomText(0);
  caption->Font()->SetHeight(-10);
  caption->Background = clLime;
  caption->SetCaption(rtl::AnsiToWide("x"));
  TBitmap probe;
  probe.SetSize(1, 1);
  probe.Canvas()->SetFont(caption->Font());
  const int th = probe.Canvas()->TextHeight("x");
  TBitmap* b = Painted();
  const int bottom = 4 + 60 - 1;
  EXPECT_EQ(Pixel(b, 4, bottom), 0x00FF00u);
  EXPECT_EQ(Pixel(b, 4, bottom - th), 0x00FF00u);
  EXPECT_EQ(Pixel(b, 4, bottom - th - 1), 0x0000FFu);
}

TEST_F(ThumbViewTest, DrawProgressCountsTheSlotsOfAPaint) {
  view->SetGridWidth(2);
  Fill(3);
  std::vector<std::pair<int32_t, int32_t>> progress;
  view->OnDrawProgress = [&](TObject*, int32_t per, int32_t idx) { progress.emplace_back(per, idx); };
  Painted();
  EXPECT_EQ(progress, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {33, 1}, {66, 2}, {100, 0}}));
}

TEST_F(ThumbViewTest, TheSelectionFrameIsWiderWhileTheViewHasTheFocus) {
  view->SetGridWidth(2);
  view->SetSelectionColor(clRed);
  view->SetSelectionWidth(3);
  Fill(2);
  view->SetSelectedImage(1);
  TBitmap* b = Painted();
  // Cell 1 lies at (88, 4); frames grow outwards from it.
  EXPECT_EQ(Pixel(b, 87, 20), 0xFF0000u);
  EXPECT_NE(Pixel(b, 86, 20), 0xFF0000u);
  view->SetFocus();
  Pump();
  b = Painted();
  EXPECT_EQ(Pixel(b, 85, 20), 0xFF0000u);
  EXPECT_NE(Pixel(b, 84, 20), 0xFF0000u);
}

TEST_F(ThumbViewTest, PaintingLoadsVisibleSlotsAtOnceWithoutAPoolAndDropsUnreadableOnes) {
  char pattern[] = "/tmp/vorix-ikview-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  const std::string good = folder + "/good.jpg", bad = folder + "/bad.jpg";
  ASSERT_EQ(std::system(("convert -size 64x48 gradient:red-blue " + good).c_str()), 0);
  { std::ofstream(bad) << "not a picture"; }
  view->ThreadPoolSize = 0;
  view->SetGridWidth(2);
  view->SetRemoveCorrupted(true);
  Fill(3);
  view->SetImageFileName(0, good);
  view->SetImageFileName(1, bad);
  view->SetImageFileName(2, good);
  Painted();
  ASSERT_EQ(view->GetImageCount(), 2);
  EXPECT_TRUE(view->HasStoredImage(0));
  EXPECT_TRUE(view->HasStoredImage(1));
  EXPECT_EQ(view->GetImageFileName(1), good);
  EXPECT_EQ(view->LoadsStarted(), 0);
  std::filesystem::remove_all(folder);
}

TEST_F(ThumbViewTest, FarImagesThatCanBeReloadedAreReleased) {
  view->SetGridWidth(1);
  Fill(40);
  TIKBitmap green;
  Solid(green, 80, 60, 0x00FF00);
  for (int i = 0; i < 40; ++i) {
    view->SetIKBitmap(i, &green);
    // Slot 30 has nothing to reload from and keeps its image.
    if (i != 30) view->SetImageFileName(i, "/nonexistent/picture.jpg");
  }
  Painted();
  // Cells 0 to 2 are visible (client 150 high), so the last visible is 2 and
  // everything past 2 + 15 goes.
  EXPECT_TRUE(view->HasStoredImage(17));
  EXPECT_FALSE(view->HasStoredImage(18));
  EXPECT_FALSE(view->HasStoredImage(39));
  EXPECT_TRUE(view->HasStoredImage(30));
}

TEST_F(ThumbViewTest, BackgroundStylesPaintTheirPatterns) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(64, 64);
  TIKBackgroundParams p;
  p.Background = static_cast<TColor>(win::RGB(10, 20, 30));
  p.Style = ikbsChessboard;
  PaintViewBackground(b.Canvas(), &b, p, 0, 0, 64, 64);
  EXPECT_EQ(Pixel(&b, 0, 0), 0x0A141Eu);
  EXPECT_EQ(Pixel(&b, 16, 0), 0xF5EBE1u);
  EXPECT_EQ(Pixel(&b, 16, 16), 0x0A141Eu);
  // Without the bitmap the canvas squares start with the complement.
  PaintViewBackground(b.Canvas(), nullptr, p, 0, 0, 64, 64);
  EXPECT_EQ(Pixel(&b, 0, 0), 0xF5EBE1u);

  p.Style = ikbsGradient;
  p.Background = clRed;
  p.GradientEndColor = clBlue;
  PaintViewBackground(b.Canvas(), &b, p, 0, 0, 64, 64);
  EXPECT_EQ(Pixel(&b, 5, 0), 0xFF0000u);
  EXPECT_GT(Pixel(&b, 5, 63) & 0xFF, 0xF0u);
  // Without the gradient function the area stays as it was.
  win::SetGradientFillAvailable(false);
  p.Background = clLime;
  EXPECT_FALSE(GradientFillRect(Rect(0, 0, 64, 64), b.Canvas()->Handle(), clLime, true, clBlue));
  PaintViewBackground(b.Canvas(), &b, p, 0, 0, 64, 64);
  win::SetGradientFillAvailable(true);
  EXPECT_EQ(Pixel(&b, 5, 0), 0xFF0000u);

  // A tiled wallpaper repeats from the top-left corner.
  TBitmap tile;
  tile.SetPixelFormat(pf24bit);
  tile.SetSize(10, 10);
  tile.Canvas()->Brush()->SetColor(clYellow);
  tile.Canvas()->FillRect(Rect(0, 0, 10, 10));
  tile.Canvas()->SetPixel(3, 4, clNavy);
  TPicture wall;
  wall.SetBitmap(&tile);
  p.Style = ikbsSolid;
  p.Background = clWhite;
  p.WallPaper = &wall;
  p.WallPaperStyle = ikwoTile;
  PaintViewBackground(b.Canvas(), &b, p, 0, 0, 64, 64);
  EXPECT_EQ(Pixel(&b, 53, 44), 0x000080u);
  EXPECT_EQ(Pixel(&b, 3, 4), 0x000080u);
  EXPECT_EQ(Pixel(&b, 63, 63), 0xFFFF00u);
  p.WallPaper = nullptr;

  p.Style = ikbsCropShadow;
  p.Background = clWhite;
  p.ImageRect = Rect(10, 10, 40, 40);
  PaintViewBackground(b.Canvas(), &b, p, 0, 0, 64, 64);
  // The right-hand shadow starts six rows below the image's top.
  EXPECT_EQ(Pixel(&b, 40, 15), 0xFFFFFFu);
  EXPECT_LT(Pixel(&b, 40, 16) & 0xFF, 0xFFu);
  EXPECT_EQ(Pixel(&b, 15, 40), 0xFFFFFFu);
  EXPECT_LT(Pixel(&b, 16, 40) & 0xFF, 0xFFu);
}

TEST_F(ThumbViewTest, ScrollMessagesMoveByLinesPagesAndToTheEnds) {
  view->SetGridWidth(1);
  Fill(10);
  int32_t maxX = 0, maxY = 0;
  view->GetMaxView(maxX, maxY);
  ASSERT_GT(maxY, 200);
  struct Case {
    win::WORD code;
    int32_t expected;
  } cases[] = {{win::SB_LINEDOWN, 64},
               {win::SB_LINEDOWN, 128},
               {win::SB_LINEUP, 64},
               {win::SB_PAGEDOWN, 64 + view->ClientHeight()},
               {win::SB_BOTTOM, maxY},
               {win::SB_PAGEDOWN, maxY},
               {win::SB_TOP, 0},
               {win::SB_LINEUP, 0}};
  for (const Case& c : cases) {
    win::SendMessage(view->Handle(), win::WM_VSCROLL, c.code, 0);
    EXPECT_EQ(view->ViewY(), c.expected) << "code " << c.code;
  }
}

TEST_F(ThumbViewTest, CaptionsTooWideAreShortenedAtTheChosenEnd) {
  TBitmap surface;
  surface.SetSize(1, 1);
  TCanvas* canvas = surface.Canvas();
  canvas->Font()->SetHeight(-12);
  const auto fit = [&](const char* text, int width, uint8_t at) {
    return rtl::WideToAnsi(FitCaptionToWidth(canvas, rtl::AnsiToWide(text), width, at));
  };
  const std::string name = "holiday-at-the-lake-2024.jpg";
  EXPECT_EQ(fit(name.c_str(), 1000, 0), name);
  const std::string end = fit(name.c_str(), 80, 0), start = fit(name.c_str(), 80, 1);
  EXPECT_LE(canvas->TextWidth(end), 80);
  EXPECT_EQ(end.substr(end.size() - 3), "...");
  EXPECT_EQ(name.compare(0, end.size() - 3, end, 0, end.size() - 3), 0);
  EXPECT_LE(canvas->TextWidth(start), 80);
  EXPECT_EQ(start.substr(0, 3), "...");
  EXPECT_EQ(name.substr(name.size() - (start.size() - 3)), start.substr(3));
  // Too short to cut, or a cut that would leave nothing: the text stays.
  EXPECT_EQ(fit("W", 2, 0), "W");
  EXPECT_EQ(fit("WW", 2, 0), "WW");
}

// ---------------------------------------------------------------- mouse and keys

class ThumbViewInputTest : public ThumbViewTest {
protected:
  void SetUp() override {
    ThumbViewTest::SetUp();
    view->SetGridWidth(2);
    view->SetEnableMultiSelect(true);
    Fill(8);
    view->OnImageSelect = [this](TObject*, int32_t i) { events.push_back("+" + std::to_string(i)); };
    view->OnImageDeselect = [this](TObject*, int32_t i) { events.push_back("-" + std::to_string(i)); };
  }
  // The client point inside a slot's thumbnail.
  win::POINT SlotPoint(int32_t index) {
    return At(view, 4 + 84 * view->GetImageCol(index) + 10 - view->ViewX(),
              4 + 64 * view->GetImageRow(index) + 10 - view->ViewY());
  }
  void ClickSlot(int32_t index, std::vector<win::UINT> keys = {}) {
    for (win::UINT k : keys) win::InjectKey(k, true);
    const win::POINT p = SlotPoint(index);
    win::InjectClick(p.x, p.y);
    Pump();
    for (win::UINT k : keys) win::InjectKey(k, false);
    Pump();
  }
  std::vector<int32_t> Selected() {
    std::vector<int32_t> s;
    for (int32_t i = 0; i < view->GetMultiSelectedCount(); ++i) s.push_back(view->GetMultiSelectedImage(i));
    std::sort(s.begin(), s.end());
    return s;
  }
  std::vector<std::string> events;
};

TEST_F(ThumbViewInputTest, PlainCtrlAndShiftClicksBuildTheSelection) {
  view->SetBounds(0, 0, 200, 300);
  ClickSlot(3);
  events.clear();
  ClickSlot(5);
  EXPECT_EQ(Selected(), (std::vector<int32_t>{5}));
  EXPECT_EQ(events, (std::vector<std::string>{"-3", "+5"}));
  // Ctrl adds, and Ctrl on a selected slot takes it out again.
  ClickSlot(0, {win::VK_CONTROL});
  EXPECT_EQ(Selected(), (std::vector<int32_t>{0, 5}));
  ClickSlot(5, {win::VK_CONTROL});
  EXPECT_EQ(Selected(), (std::vector<int32_t>{0}));
  EXPECT_EQ(view->SelectedImage(), -1);
  // Code selects without events.
  events.clear();
  view->SetSelectedImage(2);
  EXPECT_TRUE(events.empty());
}

TEST_F(ThumbViewInputTest, ShiftRangesRunFromTheAnchorOrCoverARegion) {
  view->SetBounds(0, 0, 200, 300);
  // No anchor yet: slot 0 serves.
  ClickSlot(3, {win::VK_SHIFT});
  EXPECT_EQ(Selected(), (std::vector<int32_t>{0, 1, 2, 3}));
  EXPECT_EQ(view->SelectedImage(), 3);
  // A region from row 0 column 1 to row 2 column... in a 3-column grid.
  view->SetBounds(0, 0, 300, 300);
  view->SetGridWidth(3);
  view->MultiSelectionOptions = TIKMultiSelectionOptions{ikmoRegion};
  Fill(1);
  ClickSlot(1);
  ClickSlot(8, {win::VK_SHIFT});
  EXPECT_EQ(Selected(), (std::vector<int32_t>{1, 2, 4, 5, 7, 8}));
}

TEST_F(ThumbViewInputTest, ADoubleClickKeepsWhatItsFirstClickSelected) {
  view->SetBounds(0, 0, 200, 300);
  int doubleClicks = 0;
  view->OnDblClick = [&](TObject*) { ++doubleClicks; };
  ClickSlot(3);
  events.clear();
  const win::POINT p = SlotPoint(5);
  win::InjectDoubleClick(p.x, p.y);
  Pump();
  EXPECT_EQ(doubleClicks, 1);
  EXPECT_EQ(events, (std::vector<std::string>{"-3", "+5"}));
  EXPECT_EQ(Selected(), (std::vector<int32_t>{5}));
}

TEST_F(ThumbViewInputTest, DraggingScrollsTheContentWithTheMouse) {
  view->SetMouseInteract(TIKMMouseInteract{mmiScroll, mmiSelect});
  view->SetEnableMultiSelect(false);
  view->SetViewY(0);
  const win::POINT p = At(view, 100, 120);
  win::InjectMouseMove(p.x, p.y);
  win::InjectMouseButton(0, true);
  Pump();
  win::InjectMouseMove(p.x, p.y - 30);
  Pump();
  EXPECT_EQ(view->ViewY(), 30);
  win::InjectMouseButton(0, false);
  Pump();
  EXPECT_EQ(view->ViewY(), 30);
  // The wheel moves one row (thumbnail and border) per notch.
  win::InjectMouseWheel(-120);
  Pump();
  EXPECT_EQ(view->ViewY(), 30 + 64);
  win::InjectMouseWheel(120);
  win::InjectMouseWheel(120);
  Pump();
  EXPECT_EQ(view->ViewY(), 0);
}

TEST_F(ThumbViewInputTest, DraggingOverSlotsSelectsTheRangeFromThePress) {
  view->SetBounds(0, 0, 200, 300);
  const win::POINT a = SlotPoint(0), b = SlotPoint(3);
  win::InjectMouseMove(a.x, a.y);
  win::InjectMouseButton(0, true);
  Pump();
  win::InjectMouseMove(b.x, b.y);
  Pump();
  win::InjectMouseButton(0, false);
  Pump();
  EXPECT_EQ(Selected(), (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST_F(ThumbViewInputTest, ArrowKeysMoveTheSelectionWithinTheGrid) {
  view->SetEnableMultiSelect(false);
  view->SetBounds(0, 0, 300, 300);
  view->SetGridWidth(3);
  view->SetFocus();
  Pump();
  struct Case {
    int32_t from;
    win::UINT key;
    int32_t to;
  } cases[] = {{6, win::VK_DOWN, 7}, {0, win::VK_LEFT, 0}, {4, win::VK_UP, 1}, {1, win::VK_RIGHT, 2},
               {5, win::VK_HOME, 0}, {2, win::VK_END, 7},  {7, win::VK_PRIOR, 0}};
  for (const Case& c : cases) {
    view->SetSelectedImage(c.from);
    Key(c.key);
    EXPECT_EQ(view->SelectedImage(), c.to) << c.from << " key " << c.key;
  }
  // Down past the visible rows scrolls the new slot into view.
  view->SetBounds(0, 0, 300, 100);
  view->SetSelectedImage(1);
  Key(win::VK_DOWN);
  EXPECT_EQ(view->SelectedImage(), 4);
  EXPECT_EQ(view->IsImageVisible(4), 2);
}

// ---------------------------------------------------------------- slide show

TEST_F(ThumbViewTest, TheSlideShowAdvancesWithEachSlotsDelay) {
  rtl::ScopedVirtualClock clock;
  std::vector<int32_t> shown;
  view->OnBeforeImageDraw = [&](TObject*, int32_t i, int32_t, int32_t, TCanvas*) { shown.push_back(i); };
  view->SetPlaying(true);  // nothing to show yet
  EXPECT_TRUE(shown.empty());
  // Adding slots stops the show; starting it again shows them.
  Fill(3);
  EXPECT_FALSE(view->Playing());
  view->SetImageDelayTime(0, 200);
  view->SetImageDelayTime(1, 50);
  // Slot 2 keeps 0 and stays for 10 ms.
  view->SetSelectedImage(1);
  shown.clear();
  view->SetPlaying(true);
  EXPECT_EQ(view->DisplayMode(), mdSingle);
  EXPECT_EQ(shown, (std::vector<int32_t>{0}));
  shown.clear();
  clock.Advance(199);
  Pump();
  EXPECT_TRUE(shown.empty());
  clock.Advance(1);
  Pump();
  EXPECT_EQ(shown, (std::vector<int32_t>{1}));
  clock.Advance(50);
  Pump();
  clock.Advance(10);
  Pump();
  EXPECT_EQ(shown, (std::vector<int32_t>{1, 2, 0}));
  // While playing, selecting does nothing; stopping restores mode and slot.
  view->SetSelectedImage(2);
  view->SetPlaying(false);
  EXPECT_EQ(view->DisplayMode(), mdGrid);
  EXPECT_EQ(view->SelectedImage(), 1);
  // The show's timer is gone: time passing paints nothing more.
  Pump();
  shown.clear();
  clock.Advance(500);
  Pump();
  EXPECT_TRUE(shown.empty());
}

}  // namespace
}  // namespace imaging
