#pragma once
// The rename dialog of the browser: one edit holding the name, OK and
// Cancel. It keeps the name the user typed.
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"

namespace app {

using rtl::String;

class TfrmRename : public forms::TForm {
public:
  explicit TfrmRename(forms::TComponent* owner);

  forms::TEdit* txtRename = nullptr;
  forms::TButton* btnOK = nullptr;
  forms::TButton* btnCancel = nullptr;

  // Stores the name, puts it into the edit and selects all of it.
  void SetOldName(const String& name);
  String GetNewName() const { return name_; }
  void txtRenameChange(forms::TObject* Sender);
  void ApplyLanguageTexts();

private:
  String name_;
};

}  // namespace app
