#include <gtest/gtest.h>

#include <memory>

#include "app/FormWaiting.h"
#include "app/ResStr.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Display.h"

namespace {

using namespace forms;
using app::TfrmWaiting;

class WaitingWindowTest : public formstest::FormsFixture {
protected:
  void TearDown() override {
    FormsFixture::TearDown();
    app::RestoreEnglishTexts();
  }
};

TEST_F(WaitingWindowTest, BorderlessStayOnTopPanelWithAHiddenSpeedLine) {
  std::unique_ptr<TfrmWaiting> w(new TfrmWaiting(nullptr));
  EXPECT_EQ(w->BorderStyle(), bsNone);
  EXPECT_EQ(w->FormStyle(), fsStayOnTop);
  EXPECT_EQ(w->Caption(), "Waiting...");
  EXPECT_EQ(w->ClientWidth(), 254 + 2 * 2);
  EXPECT_EQ(w->ClientHeight(), 52 + 2 * 2);

  controls::TstyImagePanel* panel = w->pnlWaiting();
  EXPECT_EQ(panel->Parent(), w.get());
  EXPECT_EQ(panel->BoundsRect(), Rect(2, 2, 256, 54));
  EXPECT_EQ(panel->Color(), clSkyBlue);
  EXPECT_EQ(panel->Font()->Name(), "Tahoma");
  EXPECT_EQ(panel->Font()->Size(), 8);
  EXPECT_TRUE(panel->Font()->Style().Contains(fsBold));

  TLabel* info = w->lblFTPinfo();
  EXPECT_EQ(info->Parent(), panel);
  EXPECT_EQ(info->Left(), 24);
  EXPECT_EQ(info->Top(), 32);
  EXPECT_FALSE(info->Visible());
}

TEST_F(WaitingWindowTest, PlacedAtTheBottomRightWithTheWaitingText) {
  app::IDS_WAITING_LABEL_INFO = "Bitte warten...";
  std::unique_ptr<TfrmWaiting> w(new TfrmWaiting(nullptr));
  EXPECT_EQ(w->Left(), Screen->Width() - w->Width());
  EXPECT_EQ(w->Top(), Screen->Height() - w->Height() - 50);
  EXPECT_EQ(w->pnlWaiting()->Caption(), "Bitte warten...");
  EXPECT_EQ(w->Caption(), "Waiting...") << "the window's own caption is no language text";
}

TEST_F(WaitingWindowTest, ShownPanelIsSkyBlueInsideAFrame) {
  std::unique_ptr<TfrmWaiting> w(new TfrmWaiting(nullptr));
  w->pnlWaiting()->SetCaption("");
  w->Show();
  Pump();
  w->Repaint();
  auto shot = win::CaptureWindow(w->Handle());
  ASSERT_NE(shot, nullptr);
  constexpr uint32_t kSkyBlue = 0xA6CAF0;  // as 0xRRGGBB
  EXPECT_EQ(shot->Pixel(10, 10) & 0xFFFFFF, kSkyBlue);
  EXPECT_EQ(shot->Pixel(2, 2) & 0xFFFFFF, kSkyBlue) << "the panel starts inside the two-pixel frame";
  EXPECT_NE(shot->Pixel(1, 1) & 0xFFFFFF, kSkyBlue);
}

}  // namespace
