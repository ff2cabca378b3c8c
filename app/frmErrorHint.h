#pragma once
// The hint window: one instance for the whole run, collecting every error
// text of the run as one more line of its memo. It shows no language texts.
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"

namespace app {

using rtl::String;

class TfrmHint : public forms::TForm {
public:
  explicit TfrmHint(forms::TComponent* owner);

  forms::TMemo* MemoErrorHint() const { return memoErrorHint_; }

  // Hides the window, then shows it in front again with `text` added as
  // its last line.
  void ShowHintText(const String& text);

  // Adds the pending text (ShowHintText's), else the settings record's
  // HintText, as a new line at the end of the memo.
  void FormShow(forms::TObject* sender);

private:
  forms::TMemo* memoErrorHint_;
  String pendingText_;
  bool hasPending_ = false;
};

}  // namespace app
