#pragma once
// The dialogs that devices and filters bring along: their property pages,
// shown in a modal dialog built from the pages' descriptors (one tab per
// page, one editor per setting), and the engine's dialog kinds that reach
// them. The dialog goes through the class library's dialog presenter, so
// tests answer it without a display.
#include <memory>
#include <vector>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/mg/Interfaces.h"
#include "platform/win/Types.h"

namespace capture {

using rtl::String;

// The dialog of a set of property pages. Values go to the objects on OK
// and on Apply; Cancel leaves them as they were after the last Apply.
class TPropertyFrameForm : public forms::TForm {
public:
  TPropertyFrameForm(const String& Caption, std::vector<mg::PropertyPage> Pages);

  struct TEditor {
    const mg::PropertyDescriptor* Descriptor = nullptr;
    forms::TControl* Control = nullptr;  // track bar, check box, combo box or edit
    // What the editor showed when it was filled or last applied.
    int Shown = 0;
    String ShownText;
  };

  forms::TPageControl* PageControl = nullptr;
  forms::TButton* OkButton = nullptr;
  forms::TButton* CancelButton = nullptr;
  forms::TButton* ApplyButton = nullptr;
  std::vector<TEditor> Editors;

  const std::vector<mg::PropertyPage>& Pages() const { return pages_; }
  // The editor of a setting by its name (first page that has it), or null.
  forms::TControl* EditorOf(const String& Name) const;
  // The value an editor holds now (its text for text settings).
  int EditorValue(const TEditor& Editor) const;
  // Writes every setting whose editor the user changed.
  void Apply();

private:
  std::vector<mg::PropertyPage> pages_;
};

// Gathers the pages of the objects; when there is at least one, shows them
// modally at (X, Y) from the owner's top-left corner and answers true.
bool ShowPropertyFrame(win::HWND Owner, int X, int Y, const String& Caption,
                       const std::vector<std::shared_ptr<mg::Object>>& Objects);
// Lets the media graph's property-frame call show this dialog too.
void InstallPropertyFrameDialog();

}  // namespace capture
