// The message dialog, the input query and the message box as forms, and
// the presenter that shows them.
#include "platform/forms/MsgDialogs.h"

#include <algorithm>
#include <vector>

#include "platform/forms/Menus.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

namespace {

// Layout in dialog units: margins, spacings and the button size.
constexpr int kHorzMargin = 8, kVertMargin = 8, kHorzSpacing = 10, kVertSpacing = 10, kButtonWidth = 50,
              kButtonHeight = 14, kButtonSpacing = 4;
constexpr int kIconSize = 32;

struct ButtonInfo {
  const char* name;
  const char* caption;
  TModalResult result;
};
// clang-format off
constexpr ButtonInfo kButtons[] = {
    {"Yes", "&Yes", mrYes}, {"No", "&No", mrNo}, {"OK", "OK", mrOk}, {"Cancel", "Cancel", mrCancel},
    {"Abort", "&Abort", mrAbort}, {"Retry", "&Retry", mrRetry}, {"Ignore", "&Ignore", mrIgnore},
    {"All", "&All", mrAll}, {"NoToAll", "N&o to All", mrNoToAll}, {"YesToAll", "Yes to &All", mrYesToAll},
    {"Help", "&Help", mrNone}};
constexpr const char* kTitles[] = {"Warning", "Error", "Information", "Confirm", ""};
constexpr uintptr_t kIcons[] = {IDI_EXCLAMATION, IDI_HAND, IDI_ASTERISK, IDI_QUESTION, 0};
// clang-format on

int MulDivInt(int v, int num, int den) { return static_cast<int>((static_cast<int64_t>(v) * num + den / 2) / den); }

class ModalPresenter : public TDialogPresenter {
public:
  int ShowDialog(TCustomForm* dialog) override { return dialog->ShowModal(); }
};
ModalPresenter g_modal;
TDialogPresenter* g_presenter = nullptr;

// Measures on a memory DC with `font`, so nothing needs a window yet.
class MeasureCanvas {
public:
  explicit MeasureCanvas(TFont* font) : dc_(CreateCompatibleDC(nullptr)) {
    canvas_.SetHandle(dc_);
    canvas_.SetFont(font);
  }
  ~MeasureCanvas() {
    canvas_.SetHandle(nullptr);
    DeleteDC(dc_);
  }
  TCanvas* operator->() { return &canvas_; }
  TCanvas* get() { return &canvas_; }

private:
  HDC dc_;
  TCanvas canvas_;
};

TMessageForm* BuildDialog(const String& msg, const String& caption, uintptr_t iconId,
                          const std::vector<TMsgDlgBtn>& buttons, int defaultIndex, int cancelIndex) {
  auto* form = new TMessageForm(Application);
  try {
    form->SetCaption(caption);
    const TPoint du = form->DialogUnits();
    const int horzMargin = MulDivInt(kHorzMargin, du.x, 4), vertMargin = MulDivInt(kVertMargin, du.y, 8);
    const int horzSpacing = MulDivInt(kHorzSpacing, du.x, 4), vertSpacing = MulDivInt(kVertSpacing, du.y, 8);
    int buttonWidth = MulDivInt(kButtonWidth, du.x, 4);
    const int buttonHeight = MulDivInt(kButtonHeight, du.y, 8);
    const int buttonSpacing = MulDivInt(kButtonSpacing, du.x, 4);

    MeasureCanvas canvas(form->Font());
    for (TMsgDlgBtn b : buttons) {
      const int w = canvas->TextWidth(StripHotkey(kButtons[b].caption)) + 8;
      buttonWidth = std::max(buttonWidth, w);
    }
    // The text wraps at half the screen's width.
    TRect textRect = Rect(0, 0, Screen->Width() / 2, 0);
    String text = msg;
    canvas->TextRect(textRect, text, TTextFormat{tfCalcRect, tfWordBreak, tfExpandTabs, tfNoPrefix});

    int iconTextWidth = textRect.right, iconTextHeight = textRect.bottom;
    if (iconId) {
      iconTextWidth += kIconSize + horzSpacing;
      iconTextHeight = std::max(iconTextHeight, kIconSize);
    }
    const int count = static_cast<int>(buttons.size());
    const int groupWidth = count * buttonWidth + std::max(count - 1, 0) * buttonSpacing;
    form->SetClientWidth(std::max(iconTextWidth, groupWidth) + 2 * horzMargin);
    form->SetClientHeight(iconTextHeight + buttonHeight + vertSpacing + 2 * vertMargin);
    form->SetLeft((Screen->Width() - form->Width()) / 2);
    form->SetTop((Screen->Height() - form->Height()) / 2);

    auto* image = new TImage(form);
    image->SetName("Image");
    image->SetParent(form);
    if (iconId) image->Picture()->Icon()->SetHandle(CopyIcon(LoadIconA(nullptr, MAKEINTRESOURCEA(iconId))));
    image->SetBounds(horzMargin, vertMargin, kIconSize, kIconSize);
    image->SetVisible(iconId != 0);

    auto* message = new TLabel(form);
    message->SetName("Message");
    message->SetParent(form);
    message->SetShowAccelChar(false);
    message->SetWordWrap(true);
    message->SetCaption(msg);
    message->SetBounds(horzMargin + (iconId ? kIconSize + horzSpacing : 0), vertMargin, textRect.right,
                       textRect.bottom);

    int x = (form->ClientWidth() - groupWidth) / 2;
    const int y = iconTextHeight + vertMargin + vertSpacing;
    for (int i = 0; i < count; ++i) {
      const ButtonInfo& info = kButtons[buttons[static_cast<size_t>(i)]];
      auto* button = new TButton(form);
      button->SetName(info.name);
      button->SetParent(form);
      button->SetCaption(info.caption);
      button->SetModalResult(info.result);
      button->SetDefault(i == defaultIndex);
      button->SetCancel(i == cancelIndex);
      button->SetBounds(x, y, buttonWidth, buttonHeight);
      if (i == defaultIndex) form->SetActiveControl(button);
      x += buttonWidth + buttonSpacing;
    }
  } catch (...) {
    delete form;
    throw;
  }
  return form;
}

class DialogMessageBoxPresenter : public TMessageBoxPresenter {
public:
  int MessageBox(HWND, const String& text, const String& caption, UINT flags) override {
    MessageBeep(flags & MB_ICONMASK);
    TMessageForm* form = CreateMessageBoxDialog(text, caption, flags);
    int result = mrNone;
    try {
      result = DialogPresenter()->ShowDialog(form);
    } catch (...) {
      delete form;
      throw;
    }
    delete form;
    return result != mrNone ? result : IDCANCEL;
  }
};
DialogMessageBoxPresenter g_boxPresenter;

}  // namespace

// ---- the form ----

TMessageForm::TMessageForm(TComponent* owner) : TForm(owner) {
  SetBorderStyle(bsDialog);
  SetColor(clBtnFace);
  SetPosition(poDesigned);
}

TPoint TMessageForm::DialogUnits() {
  static const String letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  MeasureCanvas canvas(Font());
  const TSize size = canvas->TextExtent(letters);
  return Point((size.cx / 26 + 1) / 2, size.cy);
}

TMessageForm* CreateMessageDialog(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons) {
  std::vector<TMsgDlgBtn> list;
  for (int b = mbYes; b <= mbHelp; ++b)
    if (buttons.Contains(static_cast<TMsgDlgBtn>(b))) list.push_back(static_cast<TMsgDlgBtn>(b));
  auto indexOf = [&list](TMsgDlgBtn b) {
    auto it = std::find(list.begin(), list.end(), b);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
  };
  int defaultIndex = indexOf(mbOK);
  if (defaultIndex < 0) defaultIndex = indexOf(mbYes);
  if (defaultIndex < 0 && !list.empty()) defaultIndex = 0;
  int cancelIndex = indexOf(mbCancel);
  if (cancelIndex < 0) cancelIndex = indexOf(mbNo);
  if (cancelIndex < 0) cancelIndex = indexOf(mbOK);
  const String caption = type == mtCustom ? Application->Title() : String(kTitles[type]);
  return BuildDialog(msg, caption, kIcons[type], list, defaultIndex, cancelIndex);
}

TMessageForm* CreateMessageBoxDialog(const String& text, const String& caption, UINT flags) {
  static const std::vector<TMsgDlgBtn> sets[] = {{mbOK},           {mbOK, mbCancel}, {mbAbort, mbRetry, mbIgnore},
                                                 {mbYes, mbNo, mbCancel}, {mbYes, mbNo}, {mbRetry, mbCancel}};
  const UINT type = flags & MB_TYPEMASK;
  const auto& list = type < 6 ? sets[type] : sets[0];
  uintptr_t icon = 0;
  switch (flags & MB_ICONMASK) {
    case MB_ICONHAND: icon = IDI_HAND; break;
    case MB_ICONQUESTION: icon = IDI_QUESTION; break;
    case MB_ICONEXCLAMATION: icon = IDI_EXCLAMATION; break;
    case MB_ICONASTERISK: icon = IDI_ASTERISK; break;
    default: break;
  }
  const int index = static_cast<int>((flags & MB_DEFMASK) >> 8);
  const int defaultIndex = index < static_cast<int>(list.size()) ? index : 0;
  // Esc answers Cancel, or OK in a box with nothing else; Yes/No and
  // Abort/Retry/Ignore boxes must be answered.
  int cancelIndex = -1;
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i] == mbCancel) cancelIndex = static_cast<int>(i);
  if (type == 0) cancelIndex = 0;
  return BuildDialog(text, caption, icon, list, defaultIndex, cancelIndex);
}

// ---- showing ----

void SetDialogPresenter(TDialogPresenter* presenter) { g_presenter = presenter == &g_modal ? nullptr : presenter; }
TDialogPresenter* DialogPresenter() { return g_presenter ? g_presenter : &g_modal; }

int MessageDlgPos(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx, int x, int y) {
  (void)helpCtx;
  TMessageForm* form = CreateMessageDialog(msg, type, buttons);
  int result = mrNone;
  try {
    if (x >= 0) form->SetLeft(x);
    if (y >= 0) form->SetTop(y);
    if (x < 0 && y < 0) form->SetPosition(poScreenCenter);
    result = DialogPresenter()->ShowDialog(form);
  } catch (...) {
    delete form;
    throw;
  }
  delete form;
  return result;
}

int MessageDlg(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx) {
  return MessageDlgPos(msg, type, buttons, helpCtx, -1, -1);
}

void ShowMessage(const String& msg) {
  TMessageForm* form = BuildDialog(msg, Application->Title(), 0, {mbOK}, 0, 0);
  try {
    form->SetPosition(poScreenCenter);
    DialogPresenter()->ShowDialog(form);
  } catch (...) {
    delete form;
    throw;
  }
  delete form;
}

bool InputQuery(const String& caption, const String& prompt, String& value) {
  auto* form = new TMessageForm(Application);
  bool ok = false;
  try {
    form->SetCaption(caption);
    form->SetPosition(poScreenCenter);
    const TPoint du = form->DialogUnits();
    form->SetClientWidth(MulDivInt(180, du.x, 4));
    auto* label = new TLabel(form);
    label->SetName("Prompt");
    label->SetParent(form);
    label->SetWordWrap(true);
    label->SetCaption(prompt);
    MeasureCanvas canvas(form->Font());
    TRect textRect = Rect(0, 0, MulDivInt(164, du.x, 4), 0);
    String text = prompt;
    canvas->TextRect(textRect, text, TTextFormat{tfCalcRect, tfWordBreak, tfNoPrefix});
    label->SetBounds(MulDivInt(8, du.x, 4), MulDivInt(8, du.y, 8), textRect.right, textRect.bottom);
    auto* edit = new TEdit(form);
    edit->SetName("Edit");
    edit->SetParent(form);
    edit->SetMaxLength(255);
    edit->SetBounds(label->Left(), label->Top() + label->Height() + 5, MulDivInt(164, du.x, 4), edit->Height());
    edit->SetText(value);
    edit->SelectAll();
    form->SetActiveControl(edit);
    const int buttonTop = edit->Top() + edit->Height() + 15;
    const int buttonWidth = MulDivInt(50, du.x, 4), buttonHeight = MulDivInt(14, du.y, 8);
    const ButtonInfo infos[] = {kButtons[mbOK], kButtons[mbCancel]};
    const int lefts[] = {MulDivInt(38, du.x, 4), MulDivInt(92, du.x, 4)};
    for (int i = 0; i < 2; ++i) {
      auto* button = new TButton(form);
      button->SetName(infos[i].name);
      button->SetParent(form);
      button->SetCaption(infos[i].caption);
      button->SetModalResult(infos[i].result);
      button->SetDefault(i == 0);
      button->SetCancel(i == 1);
      button->SetBounds(lefts[i], buttonTop, buttonWidth, buttonHeight);
    }
    form->SetClientHeight(buttonTop + buttonHeight + 13);
    if (DialogPresenter()->ShowDialog(form) == mrOk) {
      value = edit->Text();
      ok = true;
    }
  } catch (...) {
    delete form;
    throw;
  }
  delete form;
  return ok;
}

String InputBox(const String& caption, const String& prompt, const String& defaultValue) {
  String value = defaultValue;
  InputQuery(caption, prompt, value);
  return value;
}

void InstallMessageBoxDialogs() { SetMessageBoxPresenter(&g_boxPresenter); }

int TApplication::MessageBox(const String& text, const String& caption, UINT flags) {
  HWND owner = nullptr;
  if (Screen->ActiveForm() && Screen->ActiveForm()->HandleAllocated()) owner = Screen->ActiveForm()->Handle();
  else if (mainForm_ && mainForm_->HandleAllocated()) owner = mainForm_->Handle();
  return forms::MessageBox(owner, text, caption, flags);
}

}  // namespace forms
