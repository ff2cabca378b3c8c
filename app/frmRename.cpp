#include "app/frmRename.h"

#include "app/ResStr.h"

namespace app {

using namespace forms;

TfrmRename::TfrmRename(TComponent* owner) : TForm(owner) {
  SetName("frmRename");
  SetBorderStyle(bsDialog);
  SetPosition(poOwnerFormCenter);
  SetClientWidth(300);
  SetClientHeight(82);

  txtRename = new TEdit(this);
  txtRename->SetName("txtRename");
  txtRename->SetParent(this);
  txtRename->SetBounds(12, 12, 276, 21);
  txtRename->OnChange = [this](TObject* s) { txtRenameChange(s); };

  btnOK = new TButton(this);
  btnOK->SetName("btnOK");
  btnOK->SetParent(this);
  btnOK->SetBounds(112, 46, 84, 25);
  btnOK->SetDefault(true);
  btnOK->SetModalResult(mrOk);

  btnCancel = new TButton(this);
  btnCancel->SetName("btnCancel");
  btnCancel->SetParent(this);
  btnCancel->SetBounds(204, 46, 84, 25);
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);

  SetActiveControl(txtRename);
  SetOldName(String());
  ApplyLanguageTexts();
}

void TfrmRename::SetOldName(const String& name) {
  name_ = name;
  txtRename->SetText(name);
  txtRename->SelectAll();
}

void TfrmRename::txtRenameChange(TObject*) { name_ = txtRename->Text(); }

void TfrmRename::ApplyLanguageTexts() {
  SetCaption(IDS_RENAME_TITLE);
  btnOK->SetCaption(IDS_RENAME_BUTTON_OK);
  btnCancel->SetCaption(IDS_RENAME_BUTTON_CANCEL);
}

}  // namespace app
