// A sheet of the common controls and scroll bars (normal, focused,
// disabled) saved as a picture to look at.
#include <gtest/gtest.h>

#include <string>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/ScrollBars.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

using ComCtrlsSheetTest = FormsFixture;

TEST_F(ComCtrlsSheetTest, EveryControlDrawsInEachState) {
  auto* form = new TForm(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetBounds(20, 20, 640, 330);
  std::vector<TWinControl*> focusable;
  for (int col = 0; col < 3; ++col) {
    const int x = 10 + col * 210;
    auto* pc = new TPageControl(form);
    pc->SetParent(form);
    pc->SetBounds(x, 10, 200, 310);
    for (const char* name : {"General", "Tuner", "Audio"}) {
      auto* sheet = new TTabSheet(form);
      sheet->SetCaption(name);
      sheet->SetPageControl(pc);
    }
    TTabSheet* page = pc->Pages(0);
    auto* track = new TTrackBar(form);
    track->SetParent(page);
    track->SetBounds(4, 4, 180, 45);
    track->SetMax(20);
    track->SetPosition(7);
    track->SetFrequency(2);
    track->SetSelStart(4);
    track->SetSelEnd(12);
    auto* both = new TTrackBar(form);
    both->SetParent(page);
    both->SetBounds(4, 54, 180, 45);
    both->SetTickMarks(tmBoth);
    both->SetPosition(5);
    auto* vert = new TTrackBar(form);
    vert->SetParent(page);
    vert->SetOrientation(trVertical);
    vert->SetBounds(140, 104, 45, 150);
    vert->SetPosition(3);
    auto* edit = new TEdit(form);
    edit->SetParent(page);
    edit->SetBounds(4, 104, 80, 21);
    auto* ud = new TUpDown(form);
    ud->SetParent(page);
    ud->SetAssociate(edit);
    ud->SetPosition(42);
    auto* hs = new TScrollBar(form);
    hs->SetParent(page);
    hs->SetBounds(4, 134, 120, 17);
    hs->SetPageSize(20);
    hs->SetPosition(30);
    auto* vs = new TScrollBar(form);
    vs->SetParent(page);
    vs->SetKind(sbVertical);
    vs->SetBounds(4, 156, 17, 100);
    vs->SetPosition(80);
    if (col == 1) focusable = {pc, track, vert, hs};
    if (col == 2)
      for (TWinControl* c : std::initializer_list<TWinControl*>{pc, track, both, vert, edit, ud, hs, vs})
        c->SetEnabled(false);
  }
  form->Show();
  Pump();
  for (size_t i = 0; i < focusable.size(); ++i) {
    focusable[i]->SetFocus();
    Pump();
    EXPECT_TRUE(focusable[i]->Focused());
    const std::string png = ::testing::TempDir() + "comctrls_sheet_" + std::to_string(i) + ".png";
    ASSERT_TRUE(win::SaveWindowPng(form->Handle(), png));
  }
}

}  // namespace
