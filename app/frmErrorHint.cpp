#include "app/frmErrorHint.h"

#include <mutex>

#include "app/Globals.h"

namespace app {

using namespace forms;

namespace {

// The memo holds lines; a text's closing line break would only add an
// empty one.
String WithoutTrailingBreak(String text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

}  // namespace

TfrmHint::TfrmHint(TComponent* owner) : TForm(owner) {
  SetName("frmHint");
  SetCaption("Hint");
  SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
  SetPosition(poScreenCenter);
  SetWidth(575);
  SetHeight(336);

  memoErrorHint_ = new TMemo(this);
  memoErrorHint_->SetName("MemoErrorHint");
  memoErrorHint_->SetParent(this);
  memoErrorHint_->SetAlign(alClient);
  memoErrorHint_->SetScrollBars(ssBoth);
  memoErrorHint_->SetReadOnly(true);
  memoErrorHint_->SetColor(static_cast<TColor>(0xE0E0E0));
  memoErrorHint_->Lines()->Clear();

  OnShow = [this](TObject* sender) { FormShow(sender); };
}

void TfrmHint::ShowHintText(const String& text) {
  // Hiding first makes the next Show run OnShow (and come to the front)
  // even when the window is already open.
  Close();
  pendingText_ = text;
  hasPending_ = true;
  Show();
  hasPending_ = false;
  pendingText_.clear();
}

void TfrmHint::FormShow(TObject*) {
  String text;
  if (hasPending_) {
    text = pendingText_;
    hasPending_ = false;
  } else {
    TGlobalVars& g = GlobalVars();
    std::lock_guard lock(g.SharedLock);
    text = g.HintText;
  }
  memoErrorHint_->Lines()->Add(WithoutTrailingBreak(text));
}

}  // namespace app
