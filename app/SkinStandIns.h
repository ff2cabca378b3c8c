#pragma once
// The skinned group box, label, button, check box, combo box and list box
// that the ASF settings dialog places. No skin is ever loaded in this
// program, so each is its standard counterpart; the list box adds the
// item-index rule of the skinned list (the caret with multiple selection).
#include "platform/forms/StdCtrls.h"

namespace app {

class TkGroupBox : public forms::TGroupBox {
public:
  using forms::TGroupBox::TGroupBox;
};

class TkLabel : public forms::TLabel {
public:
  using forms::TLabel::TLabel;
};

class TkButton : public forms::TButton {
public:
  using forms::TButton::TButton;
};

class TkCheckBox : public forms::TCheckBox {
public:
  using forms::TCheckBox::TCheckBox;
};

class TkComboBox : public forms::TComboBox {
public:
  using forms::TComboBox::TComboBox;
};

class TkDrawnListBox : public forms::TListBox {
public:
  using forms::TListBox::TListBox;
  // The caret row while several rows may be selected, else the selected
  // row; -1 when none.
  int GetItemIndex() { return ItemIndex(); }
};

class TkListBox : public TkDrawnListBox {
public:
  using TkDrawnListBox::TkDrawnListBox;
};

}  // namespace app
