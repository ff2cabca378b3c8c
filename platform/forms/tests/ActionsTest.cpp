#include <gtest/gtest.h>

#include "platform/forms/Actions.h"
#include "platform/forms/Menus.h"
#include "platform/forms/tests/FormsTestUtil.h"

namespace {

using namespace forms;
using formstest::FormsFixture;

TEST(ShortCutText, RoundTripsAndRejects) {
  struct Case {
    TShortCut sc;
    const char* text;
  } cases[] = {{ShortCut('S', {ssCtrl}), "Ctrl+S"},        {ShortCut(win::VK_F5, {ssShift}), "Shift+F5"},
               {ShortCut(win::VK_DELETE, {}), "Del"},      {ShortCut('P', {ssShift, ssCtrl, ssAlt}), "Shift+Ctrl+Alt+P"},
               {ShortCut(win::VK_F12, {}), "F12"},         {ShortCut(win::VK_RETURN, {ssAlt}), "Alt+Enter"}};
  for (const auto& c : cases) {
    EXPECT_EQ(ShortCutToText(c.sc), c.text);
    EXPECT_EQ(TextToShortCut(c.text), c.sc) << c.text;
  }
  EXPECT_EQ(TextToShortCut("ctrl+o"), ShortCut('O', {ssCtrl}));
  EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
  EXPECT_EQ(TextToShortCut("Hyper+Q"), 0);
  EXPECT_EQ(ShortCutToText(0x07), "");
}

class ActionsTest : public FormsFixture {};

TEST_F(ActionsTest, StateReachesLinkedClientsButNotBack) {
  TForm form(nullptr);
  auto* list = new TActionList(&form);
  auto* action = new TAction(&form);
  action->SetActionList(list);
  action->SetCaption("&Open");
  action->SetHint("Open a file");
  int runs = 0;
  action->OnExecute = [&](TObject*) { ++runs; };
  auto* control = new TCustomControl(&form);
  control->SetParent(&form);
  control->SetAction(action);
  TMenuItem item(nullptr);
  item.SetAction(action);

  EXPECT_EQ(control->Caption(), "&Open");
  EXPECT_EQ(control->Hint(), "Open a file");
  EXPECT_EQ(item.Caption(), "&Open");

  action->SetEnabled(false);
  action->SetCaption("Open again");
  action->SetChecked(true);
  action->SetShortCut(TextToShortCut("Ctrl+O"));
  EXPECT_FALSE(control->Enabled());
  EXPECT_FALSE(item.Enabled());
  EXPECT_EQ(control->Caption(), "Open again");
  EXPECT_TRUE(item.Checked());
  EXPECT_EQ(item.ShortCut(), TextToShortCut("Ctrl+O"));

  // The client changed by hand leaves the action as it was.
  control->SetEnabled(true);
  EXPECT_FALSE(action->Enabled());

  control->Click();
  item.Click();
  EXPECT_EQ(runs, 0) << "a disabled action does not run";
  action->SetEnabled(true);
  control->Click();
  item.Click();
  EXPECT_EQ(runs, 2);

  // A control with its own OnClick keeps it.
  auto* own = new TCustomControl(&form);
  int ownClicks = 0;
  own->OnClick = [&](TObject*) { ++ownClicks; };
  own->SetAction(action);
  own->Click();
  EXPECT_EQ(ownClicks, 1);
  EXPECT_EQ(runs, 2);

  // Unlinked and linked again, the control runs the new action.
  TAction other(nullptr);
  int otherRuns = 0;
  other.OnExecute = [&](TObject*) { ++otherRuns; };
  control->SetAction(nullptr);
  control->Click();
  control->SetAction(&other);
  control->Click();
  EXPECT_EQ(otherRuns, 1);
  EXPECT_EQ(runs, 2);
  control->SetAction(action);

  // Freeing the action leaves the clients unlinked, not dangling.
  delete action;
  EXPECT_EQ(control->Action(), nullptr);
  EXPECT_EQ(item.Action(), nullptr);
  control->Click();
}

TEST_F(ActionsTest, GroupsAutoCheckAndListHandlers) {
  TActionList list(nullptr);
  TAction a(nullptr), b(nullptr);
  a.SetActionList(&list);
  b.SetActionList(&list);
  a.SetGroupIndex(1);
  b.SetGroupIndex(1);
  a.SetChecked(true);
  b.SetChecked(true);
  EXPECT_FALSE(a.Checked());
  EXPECT_TRUE(b.Checked());
  EXPECT_EQ(b.Index(), 1);

  TAction toggle(nullptr);
  toggle.SetActionList(&list);
  toggle.SetAutoCheck(true);
  toggle.OnExecute = [](TObject*) {};
  toggle.Execute();
  EXPECT_TRUE(toggle.Checked());

  // The list sees executions first and may take them.
  int own = 0;
  toggle.OnExecute = [&](TObject*) { ++own; };
  list.OnExecute = [](TBasicAction*, bool& handled) { handled = true; };
  EXPECT_TRUE(toggle.Execute());
  EXPECT_EQ(own, 0);
}

TEST_F(ActionsTest, OnUpdateRunsWhenTheApplicationIdles) {
  auto* form = new TForm(nullptr);
  form->SetBounds(50, 50, 200, 120);
  auto* list = new TActionList(form);
  auto* action = new TAction(form);
  action->SetActionList(list);
  int updates = 0;
  action->OnUpdate = [&](TObject*) {
    ++updates;
    action->SetEnabled(false);
  };
  auto* control = new TCustomControl(form);
  control->SetParent(form);
  control->SetAction(action);
  Application->OnIdle = [](TObject*, bool& done) { done = false; };

  Application->HandleMessage();  // the form is hidden: its actions rest
  Pump();
  EXPECT_EQ(updates, 0);
  form->Show();
  Pump();
  Application->HandleMessage();
  EXPECT_GE(updates, 1);
  EXPECT_FALSE(control->Enabled());
}

TEST_F(ActionsTest, ShortCutsGoToActionsBeforeOnKeyDown) {
  auto* form = new TForm(nullptr);
  form->SetBounds(40, 40, 240, 140);
  auto* list = new TActionList(form);
  auto* save = new TAction(form);
  save->SetActionList(list);
  save->SetShortCut(TextToShortCut("Ctrl+S"));
  int saves = 0;
  save->OnExecute = [&](TObject*) { ++saves; };
  auto* edit = new TCustomControl(form);
  edit->SetParent(form);
  edit->SetBounds(10, 10, 100, 20);
  edit->SetTabStop(true);
  std::vector<uint16_t> keys;
  edit->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState) { keys.push_back(key); };
  form->SetKeyPreview(true);
  std::vector<uint16_t> formKeys;
  form->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState) { formKeys.push_back(key); };
  // A popup menu of the focused control is asked first.
  auto* popup = new TPopupMenu(form);
  auto* refresh = new TMenuItem(form);
  refresh->SetShortCut(TextToShortCut("F5"));
  int refreshes = 0;
  refresh->OnClick = [&](TObject*) { ++refreshes; };
  popup->Items()->Add(refresh);
  edit->SetPopupMenu(popup);
  form->Show();
  edit->SetFocus();
  Pump();

  auto ctrlPress = [&](win::UINT vk) {
    win::InjectKey(win::VK_CONTROL, true);
    win::InjectKeyPress(vk);
    win::InjectKey(win::VK_CONTROL, false);
    Pump();
  };
  ctrlPress('S');
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(std::count(keys.begin(), keys.end(), 'S'), 0);
  EXPECT_EQ(std::count(formKeys.begin(), formKeys.end(), 'S'), 0);

  Key(win::VK_F5);
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(std::count(keys.begin(), keys.end(), win::VK_F5), 0);

  // A disabled action or menu item leaves the key to the controls.
  save->SetEnabled(false);
  refresh->SetEnabled(false);
  ctrlPress('S');
  Key(win::VK_F5);
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(std::count(keys.begin(), keys.end(), 'S'), 1);
  EXPECT_EQ(std::count(keys.begin(), keys.end(), win::VK_F5), 1);
}

}  // namespace
