#include "app/FormWaiting.h"

#include "app/ResStr.h"

namespace app {

using namespace forms;

TfrmWaiting::TfrmWaiting(TComponent* owner) : TForm(owner) {
  SetName("frmWaiting");
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetCaption("Waiting...");
  // A borderless window has no frame of its own; the two-pixel border is
  // the form's colour showing around the panel.
  SetClientWidth(kPanelWidth + 2 * kBorderWidth);
  SetClientHeight(kPanelHeight + 2 * kBorderWidth);

  pnlWaiting_ = new controls::TstyImagePanel(this);
  pnlWaiting_->SetName("pnlWaiting");
  pnlWaiting_->SetParent(this);
  pnlWaiting_->SetBounds(kBorderWidth, kBorderWidth, kPanelWidth, kPanelHeight);
  pnlWaiting_->SetColor(clSkyBlue);
  pnlWaiting_->Font()->SetName("Tahoma");
  pnlWaiting_->Font()->SetSize(8);
  pnlWaiting_->Font()->SetStyle(TFontStyles{fsBold});
  pnlWaiting_->SetCaption("Waiting...");

  lblFTPinfo_ = new TLabel(this);
  lblFTPinfo_->SetName("lblFTPinfo");
  lblFTPinfo_->SetParent(pnlWaiting_);
  lblFTPinfo_->SetTransparent(true);
  lblFTPinfo_->SetLeft(24);
  lblFTPinfo_->SetTop(32);
  lblFTPinfo_->SetCaption("");
  lblFTPinfo_->SetVisible(false);

  // The window is placed as soon as it exists, so the opener can move it
  // to its own row before showing it.
  FormCreate(this);
}

void TfrmWaiting::FormCreate(TObject*) {
  SetLeft(Screen->Width() - Width());
  SetTop(Screen->Height() - Height() - 50);
  pnlWaiting_->SetCaption(IDS_WAITING_LABEL_INFO);
}

}  // namespace app
