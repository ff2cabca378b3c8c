#include "app/MsgDlgCustomButtons.h"

#include <algorithm>
#include <memory>

#include "platform/win/Font.h"
#include "platform/win/Sound.h"

namespace app {

using namespace forms;

namespace {

constexpr int kMinButtonWidth = 88;
constexpr int kCaptionPadding = 16;
constexpr int kButtonGap = 12;
constexpr int kDialogMargin = 32;

win::UINT BeepOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning: return win::MB_ICONEXCLAMATION;
    case mtError: return win::MB_ICONHAND;
    case mtConfirmation: return win::MB_ICONQUESTION;
    default: return win::MB_OK;
  }
}

std::vector<TButton*> PushButtons(TCustomForm* dialog) {
  std::vector<TButton*> buttons;
  for (int i = 0; i < dialog->ControlCount(); ++i)
    if (auto* b = dynamic_cast<TButton*>(dialog->Controls(i))) buttons.push_back(b);
  return buttons;
}

// The width every button gets: the widest caption measured as one line,
// plus 16, and at least 88.
int WidthOn(TCanvas* canvas, const std::vector<String>& captions) {
  int w = 0;
  for (const String& caption : captions) {
    win::RECT r{0, 0, 0, 0};
    win::DrawTextA(canvas->Handle(), caption.c_str(), static_cast<int>(caption.size()), &r,
                   win::DT_CALCRECT | win::DT_SINGLELINE);
    w = std::max(w, static_cast<int>(r.right - r.left) + kCaptionPadding);
  }
  return std::max(w, kMinButtonWidth);
}

}  // namespace

int MessageDlgCustomButtons(const String& Msg, const String& Caption, TMsgDlgType DlgType,
                            const std::vector<String>& ButtonCaptions, TMsgDlgButtons Buttons) {
  try {
    std::unique_ptr<TMessageForm> dialog(CreateMessageDialog(Msg, DlgType, Buttons));
    dialog->SetCaption(Caption);

    TCanvas* canvas = dialog->Canvas();
    canvas->SetFont(dialog->Font());
    const int w = WidthOn(canvas, ButtonCaptions);

    const std::vector<TButton*> buttons = PushButtons(dialog.get());
    const int count = static_cast<int>(buttons.size());
    if (ButtonCaptions.size() != buttons.size()) return 0;
    const int rowWidth = (w + kButtonGap) * count;
    if (dialog->Width() < rowWidth + kDialogMargin) dialog->SetWidth(rowWidth + kDialogMargin);
    for (int i = 0; i < count; ++i) {
      TButton* button = buttons[static_cast<size_t>(i)];
      button->SetWidth(w);
      button->SetCaption(ButtonCaptions[static_cast<size_t>(i)]);
      button->SetLeft((dialog->Width() - rowWidth) / 2 + (w + kButtonGap) * i);
    }

    win::MessageBeep(BeepOf(DlgType));
    return DialogPresenter()->ShowDialog(dialog.get());
  } catch (...) {
    return 0;
  }
}

}  // namespace app
