#include "app/SettingsDialogKit.h"

#include "platform/rtl/Format.h"

namespace app {

using namespace forms;

bool IsIntegerText(const String& text) {
  int32_t v = 0;
  return rtl::TryStrToInt(text, v);
}

bool FilterEdit(TCustomEdit* edit, const std::function<bool(const String&)>& accepts) {
  const String text = edit->Text();
  if (text.empty() || accepts(text)) return !text.empty();
  // The last character, not the last byte: a typed letter may take several.
  size_t cut = text.size() - 1;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  const String shorter = text.substr(0, cut);
  edit->SetText(shorter);
  edit->SetSelStart(static_cast<int>(shorter.size()));
  return false;
}

bool FilterIntegerEdit(TCustomEdit* edit) { return FilterEdit(edit, IsIntegerText); }

int32_t EditInt(const TCustomEdit* edit, int32_t fallback) { return rtl::StrToIntDef(edit->Text(), fallback); }

int32_t SliderPercent(const controls::TVxSlider* slider) {
  const int64_t range = static_cast<int64_t>(slider->MaxValue()) - slider->MinValue();
  if (range == 0) return 0;
  return static_cast<int32_t>(static_cast<int64_t>(slider->Value()) * 100 / range);
}

String PercentText(int32_t percent) { return rtl::IntToStr(percent) + "%"; }

TLabel* TDialogBuilder::Label(TWinControl* parent, const char* name, const String& caption, int x, int y) {
  auto* l = new TLabel(owner_);
  l->SetName(name);
  l->SetParent(parent);
  l->SetLeft(x);
  l->SetTop(y);
  l->SetCaption(caption);
  return l;
}

TEdit* TDialogBuilder::Edit(TWinControl* parent, const char* name, const String& text, int x, int y, int w) {
  auto* e = Place(new TEdit(owner_), parent, name, x, y, w, 21);
  e->SetText(text);
  return e;
}

TButton* TDialogBuilder::Button(TWinControl* parent, const char* name, const String& caption, int x, int y, int w,
                                int h) {
  auto* b = Place(new TButton(owner_), parent, name, x, y, w, h);
  b->SetCaption(caption);
  return b;
}

TCheckBox* TDialogBuilder::Check(TWinControl* parent, const char* name, const String& caption, int x, int y, int w) {
  auto* c = Place(new TCheckBox(owner_), parent, name, x, y, w, 17);
  c->SetCaption(caption);
  return c;
}

TRadioButton* TDialogBuilder::Radio(TWinControl* parent, const char* name, const String& caption, int x, int y,
                                    int w) {
  auto* r = Place(new TRadioButton(owner_), parent, name, x, y, w, 17);
  r->SetCaption(caption);
  return r;
}

TGroupBox* TDialogBuilder::Group(TWinControl* parent, const char* name, const String& caption, int x, int y, int w,
                                 int h) {
  auto* g = Place(new TGroupBox(owner_), parent, name, x, y, w, h);
  g->SetCaption(caption);
  return g;
}

TComboBox* TDialogBuilder::Combo(TWinControl* parent, const char* name, int x, int y, int w) {
  auto* c = Place(new TComboBox(owner_), parent, name, x, y, w, 21);
  c->SetStyle(csDropDownList);
  return c;
}

TTabSheet* TDialogBuilder::Page(TPageControl* pages, const char* name, const String& caption) {
  auto* sheet = new TTabSheet(owner_);
  sheet->SetName(name);
  sheet->SetPageControl(pages);
  sheet->SetCaption(caption);
  return sheet;
}

controls::TVxSlider* TDialogBuilder::Slider(TWinControl* parent, const char* name, int x, int y, int w, int h,
                                            bool vertical) {
  auto* s = new controls::TVxSlider(owner_);
  if (vertical) s->SetOrientation(controls::soVertical);
  return Place(s, parent, name, x, y, w, h);
}

}  // namespace app
