#pragma once
// The small stay-on-top progress window of the mail and upload runs and of
// the re-encoding: a sky-blue panel whose caption is the status text, and a
// second line for the transfer speed during uploads.
#include "controls/sty/STYImagePanel.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"

namespace app {

using rtl::String;

class TfrmWaiting : public forms::TForm {
public:
  static constexpr int kPanelWidth = 254, kPanelHeight = 52;
  // The frame around the panel, in the form's own colour.
  static constexpr int kBorderWidth = 2;

  // Borderless and stay-on-top; placed at the bottom right of the screen.
  explicit TfrmWaiting(forms::TComponent* owner);

  controls::TstyImagePanel* pnlWaiting() const { return pnlWaiting_; }
  forms::TLabel* lblFTPinfo() const { return lblFTPinfo_; }

  // Left edge at the screen's right edge minus the window's width, top at
  // the screen's height minus the window's height minus 50; the panel shows
  // the waiting text.
  void FormCreate(forms::TObject* sender);

private:
  controls::TstyImagePanel* pnlWaiting_;
  forms::TLabel* lblFTPinfo_;
};

}  // namespace app
