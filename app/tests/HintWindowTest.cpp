#include <gtest/gtest.h>

#include <memory>
#include <mutex>

#include "app/Globals.h"
#include "app/frmErrorHint.h"
#include "platform/forms/tests/FormsTestUtil.h"

namespace {

using namespace forms;
using app::TfrmHint;

class HintWindowTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    SetHintText("");
  }
  static void SetHintText(const String& text) {
    std::lock_guard lock(app::GlobalVars().SharedLock);
    app::GlobalVars().HintText = text;
  }
  static rtl::TStrings* Lines(TfrmHint* h) { return h->MemoErrorHint()->Lines(); }
};

TEST_F(HintWindowTest, CaptionSizeAndAnEmptyGreyMemoFillingIt) {
  std::unique_ptr<TfrmHint> h(new TfrmHint(nullptr));
  EXPECT_EQ(h->Caption(), "Hint");
  EXPECT_EQ(h->Width(), 575);
  EXPECT_EQ(h->Height(), 336);
  EXPECT_EQ(h->BorderIcons(), (TBorderIcons{biSystemMenu, biMinimize}));
  TMemo* memo = h->MemoErrorHint();
  EXPECT_EQ(memo->Name(), "MemoErrorHint");
  EXPECT_EQ(memo->Align(), alClient);
  EXPECT_EQ(memo->ScrollBars(), ssBoth);
  EXPECT_EQ(memo->BoundsRect(), h->ClientRect());
  EXPECT_EQ(Lines(h.get())->Count(), 0);
  EXPECT_FALSE(h->Visible()) << "made hidden";
}

TEST_F(HintWindowTest, EveryShowAddsOneLineAndKeepsTheOldOnes) {
  std::unique_ptr<TfrmHint> h(new TfrmHint(nullptr));
  h->ShowHintText("Do not have enough space!\r");
  h->ShowHintText("Failure to connect to the FTP server\r\n");
  h->ShowHintText("");
  ASSERT_EQ(Lines(h.get())->Count(), 3);
  EXPECT_EQ(Lines(h.get())->Get(0), "Do not have enough space!") << "the closing line break adds no empty line";
  EXPECT_EQ(Lines(h.get())->Get(1), "Failure to connect to the FTP server");
  EXPECT_EQ(Lines(h.get())->Get(2), "");
  EXPECT_TRUE(h->Visible());

  // Shown any other way, the window adds the record's current text.
  h->Close();
  SetHintText("Send an e-mail failure!\r");
  h->Show();
  ASSERT_EQ(Lines(h.get())->Count(), 4);
  EXPECT_EQ(Lines(h.get())->Get(3), "Send an e-mail failure!");
}

}  // namespace
