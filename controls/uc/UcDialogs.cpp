#include "controls/uc/UcDialogs.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "controls/uc/UcClipBrd.h"
#include "controls/uc/UcGraphics.h"
#include "controls/uc/UcStdCtrls.h"
#include "controls/uc/UcSysUtils.h"
#include "controls/uc/UcWindows.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/rtl/Text.h"
#include "platform/win/Font.h"
#include "platform/win/Icons.h"
#include "platform/win/Metrics.h"
#include "platform/win/Sound.h"

namespace controls {

using namespace forms;

namespace {

struct ButtonData {
  const char* name;
  const char16_t* caption;
  TModalResult result;
};
constexpr ButtonData kButtons[] = {
    {"Yes", u"&Yes", 6},       {"No", u"&No", 7},          {"OK", u"OK", 1},
    {"Cancel", u"Cancel", 2},  {"Abort", u"&Abort", 3},    {"Retry", u"&Retry", 4},
    {"Ignore", u"&Ignore", 5}, {"All", u"&All", 8},        {"NoToAll", u"N&o to All", 9},
    {"YesToAll", u"Yes to &All", 10}, {"Help", u"&Help", 0}};
constexpr uintptr_t kIcons[] = {win::IDI_EXCLAMATION, win::IDI_HAND, win::IDI_ASTERISK, win::IDI_QUESTION, 0};

// Halves away from zero, as the system's MulDiv.
int MulDiv(int v, int num, int den) {
  const int64_t p = static_cast<int64_t>(v) * num;
  return static_cast<int>(p >= 0 ? (p + den / 2) / den : (p - den / 2) / den);
}

constexpr int kIconSize = 32;

}  // namespace

TUcMessageForm::TUcMessageForm(TComponent* owner) : TUcForm(owner) {
  SetBorderStyle(bsDialog);
  SetColor(clBtnFace);
  SetPosition(poDesigned);
  win::NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (win::SystemParametersInfo(win::SPI_GETNONCLIENTMETRICS, 0, &metrics, 0))
    Font()->SetHandle(win::CreateFontIndirectA(&metrics.lfMessageFont));
}

WideString TUcMessageForm::FramedText() const {
  const WideString line(27, u'-');
  WideString buttons;
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* b = dynamic_cast<TUcButton*>(Components(i))) buttons += b->Caption() + u"   ";
  buttons = ReplaceWideText(buttons, u"&", u"", TReplaceFlags{true, false}, false);
  return line + u"\r\n" + Caption() + u"\r\n" + line + u"\r\n" + (message_ ? message_->Caption() : WideString()) +
         u"\r\n" + line + u"\r\n" + buttons + u"\r\n" + line + u"\r\n";
}

void TUcMessageForm::HandleKeyDown(uint16_t& key, TShiftState shift) {
  if (shift == TShiftState{ssCtrl} && (key == 'C' || key == 'c')) {
    win::MessageBeep(0);
    UcClipboard()->SetAsWideText(FramedText());
  }
}

WideString GetMessageCaption(TMsgDlgType kind) {
  switch (kind) {
    case forms::mtWarning: return u"Warning";
    case forms::mtError: return u"Error";
    case forms::mtInformation: return u"Information";
    case forms::mtConfirmation: return u"Confirm";
    case forms::mtCustom: return {};
  }
  throw EUcInternalError("Unexpected MsgType in GetMessageCaption.");
}

WideString GetButtonCaption(TMsgDlgBtn button) {
  const int b = static_cast<int>(button);
  if (b < 0 || b > static_cast<int>(forms::mbHelp)) throw EUcInternalError("Unexpected MsgDlgBtn in GetButtonCaption.");
  return kButtons[b].caption;
}

TUcMessageForm* CreateWideMessageDialog(const WideString& message, TMsgDlgType kind, TMsgDlgButtons buttons) {
  const int kindIndex = static_cast<int>(kind);
  if (kindIndex < 0 || kindIndex > static_cast<int>(forms::mtCustom))
    throw EUcInternalError("Unexpected MsgType in GetMessageCaption.");
  auto form = std::make_unique<TUcMessageForm>(Application);
  form->SetKeyPreview(true);
  TUcMessageForm* f = form.get();
  form->OnKeyDown = [f](TObject*, uint16_t& key, TShiftState shift) { f->HandleKeyDown(key, shift); };
  TCanvas* canvas = form->Canvas();
  canvas->Font()->Assign(form->Font());

  // Dialog units from the average letter.
  static const WideString letters = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const win::SIZE extent = WideCanvasTextExtent(canvas, letters);
  const int x = extent.cx / 52, y = extent.cy;
  const int horzMargin = MulDiv(8, x, 4), vertMargin = MulDiv(8, y, 8);
  const int horzSpacing = MulDiv(10, x, 4), vertSpacing = MulDiv(10, y, 8);
  int buttonWidth = MulDiv(50, x, 4);
  std::vector<TMsgDlgBtn> list;
  for (int b = forms::mbYes; b <= forms::mbHelp; ++b)
    if (buttons.Contains(static_cast<TMsgDlgBtn>(b))) list.push_back(static_cast<TMsgDlgBtn>(b));
  for (TMsgDlgBtn b : list) {
    win::RECT r{0, 0, 0, 0};
    const WideString caption = GetButtonCaption(b);
    WDrawText(canvas->Handle(), caption.c_str(), -1, &r, win::DT_CALCRECT | win::DT_LEFT | win::DT_SINGLELINE);
    buttonWidth = std::max(buttonWidth, static_cast<int>(r.right - r.left) + 8);
  }
  const int buttonHeight = MulDiv(14, y, 8), buttonSpacing = MulDiv(4, x, 4);

  win::RECT textRect{0, 0, Screen->Width() / 2, 0};
  WDrawText(canvas->Handle(), message.c_str(), -1, &textRect,
            win::DT_CALCRECT | win::DT_WORDBREAK | win::DT_EXPANDTABS);
  const uintptr_t icon = kIcons[kindIndex];
  int iconTextWidth = textRect.right, iconTextHeight = textRect.bottom;
  if (icon) {
    iconTextWidth += kIconSize + horzSpacing;
    iconTextHeight = std::max(iconTextHeight, kIconSize);
  }
  const int n = static_cast<int>(list.size());
  const int groupWidth = n ? n * buttonWidth + (n - 1) * buttonSpacing : 0;
  form->SetClientWidth(std::max(iconTextWidth, groupWidth) + 2 * horzMargin);
  form->SetClientHeight(iconTextHeight + buttonHeight + vertSpacing + 2 * vertMargin);
  form->SetLeft(Screen->Width() / 2 - form->Width() / 2);
  form->SetTop(Screen->Height() / 2 - form->Height() / 2);
  form->SetCaption(kind == forms::mtCustom ? UcApplication()->Title() : GetMessageCaption(kind));

  if (icon) {
    auto* image = new TImage(form.get());
    image->SetName("Image");
    image->SetParent(form.get());
    image->Picture()->Icon()->SetHandle(win::CopyIcon(win::LoadIconA(nullptr, win::MAKEINTRESOURCEA(icon))));
    image->SetBounds(horzMargin, vertMargin, kIconSize, kIconSize);
  }
  auto* label = new TUcLabel(form.get());
  label->SetName("Message");
  label->SetParent(form.get());
  label->SetWordWrap(true);
  label->SetCaption(message);
  label->SetBounds(textRect.left, textRect.top, textRect.right, textRect.bottom);
  const int labelLeft = iconTextWidth - textRect.right + horzMargin;
  label->SetBounds(labelLeft, vertMargin, textRect.right, textRect.bottom);
  form->message_ = label;

  const TMsgDlgBtn defaultButton = buttons.Contains(forms::mbOK)    ? forms::mbOK
                                   : buttons.Contains(forms::mbYes) ? forms::mbYes
                                                                    : forms::mbRetry;
  const TMsgDlgBtn cancelButton = buttons.Contains(forms::mbCancel) ? forms::mbCancel
                                  : buttons.Contains(forms::mbNo)   ? forms::mbNo
                                                                    : forms::mbOK;
  int left = (form->ClientWidth() - groupWidth) / 2;
  for (TMsgDlgBtn b : list) {
    auto* button = new TUcButton(form.get());
    button->SetName(kButtons[b].name);
    button->SetParent(form.get());
    button->SetCaption(kButtons[b].caption);
    button->SetModalResult(kButtons[b].result);
    if (b == defaultButton) button->SetDefault(true);
    if (b == cancelButton) button->SetCancel(true);
    button->SetBounds(left, iconTextHeight + vertMargin + vertSpacing, buttonWidth, buttonHeight);
    left += buttonWidth + buttonSpacing;
  }
  return form.release();
}

int WideMessageBoxAtHelp(const WideString& message, TMsgDlgType kind, TMsgDlgButtons buttons, int32_t helpContext,
                         int32_t left, int32_t top, const WideString& helpFileName) {
  std::unique_ptr<TUcMessageForm> form(CreateWideMessageDialog(message, kind, buttons));
  // The class library here has no help system to show a help context or
  // file in.
  (void)helpContext;
  (void)helpFileName;
  if (left >= 0) form->SetLeft(left);
  if (top >= 0) form->SetTop(top);
  if (left < 0 && top < 0) form->SetPosition(poScreenCenter);
  return DialogPresenter()->ShowDialog(form.get());
}

int WideMessageBoxAt(const WideString& message, TMsgDlgType kind, TMsgDlgButtons buttons, int32_t helpContext,
                     int32_t left, int32_t top) {
  return WideMessageBoxAtHelp(message, kind, buttons, helpContext, left, top, WideString());
}

void ShowWideMessageAt(const WideString& message, int32_t left, int32_t top) {
  WideMessageBoxAt(message, forms::mtCustom, TMsgDlgButtons{forms::mbOK}, 0, left, top);
}

void ShowWideMessage(const WideString& message) { ShowWideMessageAt(message, -1, -1); }

}  // namespace controls
