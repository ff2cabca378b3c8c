#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

class PageControlTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 400, 300);
    pc = new TPageControl(form);
    pc->SetParent(form);
    pc->SetBounds(10, 10, 300, 200);
    for (const char* name : {"General", "TV Tuner", "Audio"}) {
      auto* sheet = new TTabSheet(form);
      sheet->SetCaption(name);
      sheet->SetPageControl(pc);
      sheets.push_back(sheet);
    }
    pc->OnChanging = [this](TObject*, bool& allow) {
      log.push_back("changing" + std::to_string(pc->ActivePageIndex()));
      allow = allowChange;
    };
    pc->OnChange = [this](TObject*) { log.push_back("change" + std::to_string(pc->ActivePageIndex())); };
  }
  void ShowForm() {
    form->Show();
    Pump();
  }
  // The centre of a tab, in the page control's client coordinates.
  win::POINT TabCentre(int tab) {
    win::RECT r{};
    win::SendMessageA(pc->Handle(), TCM_GETITEMRECT, static_cast<win::WPARAM>(tab), reinterpret_cast<win::LPARAM>(&r));
    return win::POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void ClickTab(int tab) {
    const win::POINT p = TabCentre(tab);
    Click(pc, p.x, p.y);
  }
  TForm* form = nullptr;
  TPageControl* pc = nullptr;
  std::vector<TTabSheet*> sheets;
  std::vector<std::string> log;
  bool allowChange = true;
};

TEST_F(PageControlTest, PagesByCodeFireNothingAndOnlyTheActiveOneShows) {
  ShowForm();
  EXPECT_EQ(pc->PageCount(), 3);
  EXPECT_EQ(pc->Pages(1), sheets[1]);
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  pc->SetActivePageIndex(2);
  EXPECT_EQ(pc->ActivePage(), sheets[2]);
  EXPECT_TRUE(sheets[2]->Visible());
  EXPECT_FALSE(sheets[0]->Visible());
  EXPECT_EQ(win::SendMessageA(pc->Handle(), TCM_GETCURSEL, 0, 0), 2);
  EXPECT_TRUE(log.empty());
  // The page fills the display area inside the tab row and the frame.
  EXPECT_GT(sheets[2]->Top(), 15);
  EXPECT_LT(sheets[2]->Width(), 300);
  EXPECT_GT(sheets[2]->Width(), 280);
}

TEST_F(PageControlTest, ClickingATabAsksThenSwitches) {
  ShowForm();
  ClickTab(1);
  EXPECT_EQ(pc->ActivePage(), sheets[1]);
  EXPECT_EQ(log, (std::vector<std::string>{"changing0", "change1"}));
  log.clear();
  allowChange = false;
  ClickTab(2);
  EXPECT_EQ(pc->ActivePage(), sheets[1]);
  EXPECT_EQ(win::SendMessageA(pc->Handle(), TCM_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"changing1"}));
  // A click on the tab already selected asks nothing.
  allowChange = true;
  log.clear();
  ClickTab(1);
  EXPECT_TRUE(log.empty());
}

TEST_F(PageControlTest, HiddenTabsLeaveTheRowButKeepThePage) {
  ShowForm();
  sheets[1]->SetTabVisible(false);
  EXPECT_EQ(win::SendMessageA(pc->Handle(), TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(sheets[1]->TabIndex(), -1);
  EXPECT_EQ(sheets[2]->TabIndex(), 1);
  EXPECT_EQ(sheets[2]->PageIndex(), 2);
  EXPECT_EQ(pc->PageCount(), 3);
  // The second tab shown is now the third page.
  ClickTab(1);
  EXPECT_EQ(pc->ActivePage(), sheets[2]);
  EXPECT_EQ(log, (std::vector<std::string>{"changing0", "change2"}));
  // A caption change reaches its tab.
  sheets[2]->SetCaption("Sound");
  char buf[32] = {};
  TCITEMA item;
  item.mask = TCIF_TEXT;
  item.pszText = buf;
  item.cchTextMax = sizeof buf;
  win::SendMessageA(pc->Handle(), TCM_GETITEMA, 1, reinterpret_cast<win::LPARAM>(&item));
  EXPECT_STREQ(buf, "Sound");
  sheets[1]->SetTabVisible(true);
  EXPECT_EQ(win::SendMessageA(pc->Handle(), TCM_GETCURSEL, 0, 0), 2);
  // A page whose tab is hidden still shows by code, with no tab selected.
  sheets[0]->SetTabVisible(false);
  pc->SetActivePage(sheets[0]);
  EXPECT_TRUE(sheets[0]->Visible());
  EXPECT_EQ(win::SendMessageA(pc->Handle(), TCM_GETCURSEL, 0, 0), -1);
}

TEST_F(PageControlTest, KeysTurnPagesAndFreeingAPageMovesOn) {
  auto* edit = new TEdit(form);
  edit->SetParent(sheets[0]);
  ShowForm();
  pc->SetFocus();
  Pump();
  Key(win::VK_RIGHT);
  EXPECT_EQ(pc->ActivePage(), sheets[1]);
  Key(win::VK_LEFT);
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  edit->SetFocus();
  Pump();
  // Ctrl+Tab from a control on the page goes to the next page, wrapping back.
  win::InjectKey(win::VK_CONTROL, true);
  win::InjectKey(win::VK_SHIFT, true);
  win::InjectKeyPress(win::VK_TAB);
  win::InjectKey(win::VK_SHIFT, false);
  win::InjectKey(win::VK_CONTROL, false);
  Pump();
  EXPECT_EQ(pc->ActivePage(), sheets[2]);
  EXPECT_FALSE(edit->Focused());
  log.clear();
  delete sheets[2];
  EXPECT_EQ(pc->PageCount(), 2);
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  EXPECT_TRUE(sheets[0]->Visible());
  EXPECT_EQ(win::SendMessageA(pc->Handle(), TCM_GETITEMCOUNT, 0, 0), 2);
}

}  // namespace
