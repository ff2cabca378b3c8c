#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "app/MsgDlgCustomButtons.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Dc.h"
#include "platform/win/Input.h"
#include "platform/win/Sound.h"

namespace {

using namespace forms;
using app::MessageDlgCustomButtons;

struct SeenButton {
  String caption;
  int left, top, width;
};

// Records the dialog as it is about to be shown and answers by `answer`.
class RecordingPresenter : public TDialogPresenter {
public:
  int ShowDialog(TCustomForm* dialog) override {
    caption = dialog->Caption();
    width = dialog->Width();
    beepsAtShow = win::RecordedBeeps();
    buttons.clear();
    for (int i = 0; i < dialog->ControlCount(); ++i)
      if (auto* b = dynamic_cast<TButton*>(dialog->Controls(i)))
        buttons.push_back({b->Caption(), b->Left(), b->Top(), b->Width()});
    return answer ? answer(dialog) : mrOk;
  }
  std::function<int(TCustomForm*)> answer;
  String caption;
  int width = 0;
  std::vector<win::UINT> beepsAtShow;
  std::vector<SeenButton> buttons;
};

// The class library's own dialog for the same buttons, as the custom one
// starts from.
struct PlainDialog {
  int width;
  std::vector<int> tops;
};
PlainDialog Plain(TMsgDlgType type, TMsgDlgButtons buttons) {
  std::unique_ptr<TMessageForm> f(CreateMessageDialog("Text", type, buttons));
  PlainDialog p{f->Width(), {}};
  for (int i = 0; i < f->ControlCount(); ++i)
    if (auto* b = dynamic_cast<TButton*>(f->Controls(i))) p.tops.push_back(b->Top());
  return p;
}

// A caption's width as the text renderer measures it in the dialog font,
// measured apart from the code under test.
int TextWidthOf(const String& text) {
  std::unique_ptr<TMessageForm> f(CreateMessageDialog("", mtCustom, TMsgDlgButtons{mbOK}));
  win::HDC dc = win::CreateCompatibleDC(nullptr);
  TCanvas canvas;
  canvas.SetHandle(dc);
  canvas.SetFont(f->Font());
  const int w = canvas.TextWidth(text);
  canvas.SetHandle(nullptr);
  win::DeleteDC(dc);
  return w;
}

class MsgDlgCustomButtonsTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    win::ClearBeeps();
  }
  RecordingPresenter presenter;
  ScopedDialogPresenter scoped{&presenter};
};

TEST_F(MsgDlgCustomButtonsTest, ButtonWidthIsTheWidestCaptionPlusPaddingAndAtLeast88) {
  const String longCaption = "Open the device settings now";
  const int measured = TextWidthOf(longCaption);
  ASSERT_GT(measured + 16, 88) << "the long caption must be wider than the minimum";
  struct Case {
    std::vector<String> captions;
    TMsgDlgButtons buttons;
    int expected;
  } cases[] = {
      {{"OK"}, {mbOK}, 88},
      {{""}, {mbOK}, 88},
      {{"Yes", longCaption}, {mbYes, mbNo}, measured + 16},
      {{longCaption, "No"}, {mbYes, mbNo}, measured + 16},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(MessageDlgCustomButtons("Text", "Title", mtWarning, c.captions, c.buttons), mrOk);
    ASSERT_EQ(presenter.buttons.size(), c.captions.size());
    for (const auto& b : presenter.buttons) EXPECT_EQ(b.width, c.expected) << c.captions[0];
  }
}

TEST_F(MsgDlgCustomButtonsTest, RowIsCentredWithTwelvePixelGaps) {
  struct Case {
    std::vector<String> captions;
    TMsgDlgButtons buttons;
  } cases[] = {
      {{"OK"}, {mbOK}},
      {{"Yes", "No"}, {mbYes, mbNo}},
      {{"Abort", "Retry", "Ignore"}, {mbAbort, mbRetry, mbIgnore}},
      {{"A rather long caption", "Another long caption", "A third long caption", "Four", "Five"},
       {mbYes, mbNo, mbOK, mbCancel, mbAbort}},
  };
  bool widened = false;
  for (const auto& c : cases) {
    const PlainDialog plain = Plain(mtInformation, c.buttons);
    ASSERT_EQ(MessageDlgCustomButtons("Message", "Title", mtInformation, c.captions, c.buttons), mrOk);
    const int count = static_cast<int>(c.captions.size());
    ASSERT_EQ(static_cast<int>(presenter.buttons.size()), count);
    const int w = presenter.buttons[0].width;
    const int row = (w + 12) * count;
    // Widened only when the row does not fit.
    EXPECT_EQ(presenter.width, std::max(plain.width, row + 32)) << count;
    EXPECT_GE(presenter.width, row + 32);
    widened = widened || plain.width < row + 32;
    for (int i = 0; i < count; ++i) {
      const SeenButton& b = presenter.buttons[static_cast<size_t>(i)];
      EXPECT_EQ(b.caption, c.captions[static_cast<size_t>(i)]);
      EXPECT_EQ(b.left, (presenter.width - row) / 2 + (w + 12) * i) << count << " buttons, #" << i;
      EXPECT_EQ(b.top, plain.tops[static_cast<size_t>(i)]) << "vertical place kept";
    }
  }
  EXPECT_TRUE(widened) << "one case must need a wider dialog";
}

TEST_F(MsgDlgCustomButtonsTest, OneAndTwoButtonRows) {
  ASSERT_EQ(MessageDlgCustomButtons("", "Warning", mtWarning, {"OK"}, TMsgDlgButtons{mbOK}), mrOk);
  ASSERT_EQ(presenter.buttons.size(), 1u);
  EXPECT_GE(presenter.width, 132);
  EXPECT_EQ(presenter.buttons[0].left, (presenter.width - 100) / 2);

  ASSERT_EQ(MessageDlgCustomButtons("Keep it?", "Question", mtConfirmation, {"Keep", "Drop"},
                                    TMsgDlgButtons{mbYes, mbNo}),
            mrOk);
  ASSERT_EQ(presenter.buttons.size(), 2u);
  EXPECT_EQ(presenter.buttons[0].left, (presenter.width - 200) / 2);
  EXPECT_EQ(presenter.buttons[1].left, presenter.buttons[0].left + 100);
}

TEST_F(MsgDlgCustomButtonsTest, CaptionAndBeepOfEachType) {
  struct Case {
    TMsgDlgType type;
    win::UINT beep;
  } cases[] = {
      {mtWarning, win::MB_ICONEXCLAMATION}, {mtError, win::MB_ICONHAND},  {mtInformation, win::MB_OK},
      {mtConfirmation, win::MB_ICONQUESTION}, {mtCustom, win::MB_OK},
  };
  for (const auto& c : cases) {
    win::ClearBeeps();
    ASSERT_EQ(MessageDlgCustomButtons("Text", "My own title", c.type, {"Fine"}, TMsgDlgButtons{mbOK}), mrOk);
    EXPECT_EQ(presenter.caption, "My own title");
    EXPECT_EQ(presenter.beepsAtShow, std::vector<win::UINT>{c.beep}) << "sounded before the dialog shows";
  }
}

TEST_F(MsgDlgCustomButtonsTest, FailuresAnswerZeroAndLeaveNoDialog) {
  presenter.answer = [](TCustomForm*) -> int { throw std::runtime_error("display gone"); };
  EXPECT_EQ(MessageDlgCustomButtons("Text", "T", mtError, {"OK"}, TMsgDlgButtons{mbOK}), 0);
  presenter.answer = nullptr;
  presenter.caption.clear();
  // Captions that do not match the buttons one for one.
  EXPECT_EQ(MessageDlgCustomButtons("Text", "T", mtError, {"Yes"}, TMsgDlgButtons{mbYes, mbNo}), 0);
  EXPECT_EQ(MessageDlgCustomButtons("Text", "T", mtError, {"Yes", "No", "More"}, TMsgDlgButtons{mbYes, mbNo}), 0);
  EXPECT_TRUE(presenter.caption.empty()) << "a dialog with unmatched captions is not shown";
  EXPECT_EQ(Screen->FormCount(), 0);
}

TEST_F(MsgDlgCustomButtonsTest, RealModalDialogAnswersTheButtonClickedAtItsNewPlace) {
  ScopedDialogPresenter modal(nullptr);
  bool acted = false;
  Application->OnIdle = [&](TObject*, bool& done) {
    done = false;
    TCustomForm* dialog = Screen->ActiveForm();
    if (acted || !dialog || !dialog->Visible()) return;
    acted = true;
    auto* no = dynamic_cast<TControl*>(dialog->FindComponent("No"));
    ASSERT_NE(no, nullptr);
    EXPECT_EQ(no->Caption(), "Leave it");
    const win::POINT p = no->ClientToScreen(Point(no->Width() - 3, no->Height() / 2));
    win::InjectClick(p.x, p.y);
  };
  EXPECT_EQ(MessageDlgCustomButtons("Replace the file?", "Files", mtConfirmation,
                                    {"Replace it with the new one", "Leave it"}, TMsgDlgButtons{mbYes, mbNo}),
            mrNo);
  Application->OnIdle = nullptr;
  EXPECT_TRUE(acted);
  EXPECT_EQ(Screen->FormCount(), 0) << "the dialog is freed";
}

}  // namespace
