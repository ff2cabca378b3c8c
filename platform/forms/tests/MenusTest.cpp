#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/forms/Menus.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

namespace {

using namespace forms;
using formstest::FormsFixture;

TMenuItem* NewItem(TComponent* owner, const String& caption, std::vector<String>* clicks = nullptr) {
  auto* item = new TMenuItem(owner);
  item->SetCaption(caption);
  if (clicks) item->OnClick = [clicks, item](TObject*) { clicks->push_back(StripHotkey(item->Caption())); };
  return item;
}

TEST(MenuCaptions, HotkeysAndStripping) {
  struct Case {
    const char* caption;
    const char* stripped;
    char hotkey;
  } cases[] = {{"&Open", "Open", 'O'},          {"Save &as", "Save as", 'A'}, {"Fish && Chips", "Fish & Chips", 0},
               {"&&Not &this", "&Not this", 'T'}, {"Plain", "Plain", 0},     {"Trailing&", "Trailing&", 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(StripHotkey(c.caption), c.stripped) << c.caption;
    EXPECT_EQ(GetHotkey(c.caption), c.hotkey) << c.caption;
  }
}

TEST(MenuItems, TreeEditingAndOwnership) {
  auto* owner = new TComponent(nullptr);
  TPopupMenu menu(nullptr);
  TMenuItem* root = menu.Items();
  TMenuItem* a = NewItem(owner, "&Alpha");
  TMenuItem* b = NewItem(owner, "Beta");
  TMenuItem* c = NewItem(owner, "-");
  root->Add(a);
  root->Add(c);
  root->Insert(1, b);
  ASSERT_EQ(root->Count(), 3);
  EXPECT_EQ(root->IndexOf(b), 1);
  EXPECT_EQ(c->MenuIndex(), 2);
  EXPECT_TRUE(c->IsLine());
  EXPECT_EQ(root->Find("alpha"), a);
  EXPECT_EQ(root->Find("Gamma"), nullptr);
  EXPECT_EQ(a->GetParentMenu(), &menu);
  EXPECT_THROW(root->Add(a), rtl::Exception);
  EXPECT_THROW(root->Insert(9, NewItem(owner, "x")), rtl::EListError);

  TMenuItem* sub = NewItem(owner, "Sub");
  b->Add(sub);
  EXPECT_EQ(sub->GetParentMenu(), &menu);
  root->Remove(b);
  EXPECT_EQ(b->Parent(), nullptr);
  EXPECT_EQ(sub->GetParentMenu(), nullptr);
  EXPECT_EQ(root->Count(), 2);
  root->Add(b);

  // Delete frees (its owner forgets it); freeing by the owner takes the
  // item out of its menu.
  const int owned = owner->ComponentCount();
  root->Delete(0);
  EXPECT_EQ(owner->ComponentCount(), owned - 1);
  EXPECT_EQ(root->Items(0), c);
  delete owner;
  EXPECT_EQ(root->Count(), 0);
}

TEST(MenuItems, RadioGroupsAutoCheckAndAutoHotkeys) {
  TPopupMenu menu(nullptr);
  TMenuItem* r1 = NewItem(nullptr, "One");
  TMenuItem* r2 = NewItem(nullptr, "Two");
  TMenuItem* other = NewItem(nullptr, "Other group");
  for (TMenuItem* i : {r1, r2, other}) {
    i->SetRadioItem(true);
    menu.Items()->Add(i);
  }
  other->SetGroupIndex(2);
  r1->SetChecked(true);
  other->SetChecked(true);
  r2->SetChecked(true);
  EXPECT_FALSE(r1->Checked());
  EXPECT_TRUE(r2->Checked());
  EXPECT_TRUE(other->Checked());

  TMenuItem* toggle = NewItem(nullptr, "Toggle");
  toggle->SetAutoCheck(true);
  menu.Items()->Add(toggle);
  toggle->Click();
  EXPECT_TRUE(toggle->Checked());
  toggle->SetEnabled(false);
  toggle->Click();
  EXPECT_TRUE(toggle->Checked()) << "a disabled item does not click";

  // Automatic hotkeys pick letters the siblings do not use yet; manual
  // menus keep their captions as given.
  TPopupMenu autoMenu(nullptr);
  for (const char* cap : {"&Open", "Other", "Options", "-", "?"}) autoMenu.Items()->Add(NewItem(nullptr, cap));
  autoMenu.Items()->RethinkHotkeys();
  EXPECT_EQ(autoMenu.Items()->Items(1)->Caption(), "O&ther");
  EXPECT_EQ(autoMenu.Items()->Items(2)->Caption(), "O&ptions");
  EXPECT_EQ(autoMenu.Items()->Items(3)->Caption(), "-");
  EXPECT_EQ(autoMenu.Items()->Items(4)->Caption(), "?");
  TPopupMenu manual(nullptr);
  manual.SetAutoHotkeys(maManual);
  manual.Items()->Add(NewItem(nullptr, "Language"));
  manual.Items()->RethinkHotkeys();
  EXPECT_EQ(manual.Items()->Items(0)->Caption(), "Language");
}

// While a menu is open its loop tells the menus' window it is idle; the
// tests script the user there, and each idle step must give the loop
// input, since the loop waits for it.
class MenuLoopTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form_ = new TForm(nullptr);
    form_->SetBounds(60, 60, 320, 240);
    form_->SetColor(clWhite);
    form_->SetCaption("Menu host");
    menu_ = new TPopupMenu(form_);
    menu_->SetAutoHotkeys(maManual);
    TMenuItem* root = menu_->Items();
    root->Add(NewItem(form_, "&Open", &clicks_));
    root->Add(NewItem(form_, "-"));
    disabled_ = NewItem(form_, "&Disabled", &clicks_);
    disabled_->SetEnabled(false);
    root->Add(disabled_);
    TMenuItem* sub = NewItem(form_, "&Language");
    sub->Add(NewItem(form_, "English", &clicks_));
    TMenuItem* german = NewItem(form_, "Deutsch", &clicks_);
    german->SetRadioItem(true);
    german->SetChecked(true);
    sub->Add(german);
    root->Add(sub);
    TMenuItem* save = NewItem(form_, "&Save", &clicks_);
    save->SetShortCut(TextToShortCut("Ctrl+S"));
    root->Add(save);
    TMenuItem* hidden = NewItem(form_, "Hidden", &clicks_);
    hidden->SetVisible(false);
    root->Add(hidden);
    root->Add(NewItem(form_, "E&xit", &clicks_));
    form_->Show();
    form_->SetFocus();
    Pump();
    HWND list = menu_->WindowHandle();
    oldProc_ = reinterpret_cast<win::WNDPROC>(win::GetWindowLongPtr(list, win::GWLP_WNDPROC));
    current_ = this;
    win::SetWindowLongPtr(list, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&IdleProc));
  }
  void TearDown() override {
    win::SetWindowLongPtr(menu_->WindowHandle(), win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(oldProc_));
    current_ = nullptr;
    FormsFixture::TearDown();
  }

  using HWND = win::HWND;
  static win::LRESULT IdleProc(HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam) {
    if (msg == win::WM_ENTERIDLE && current_) {
      MenuLoopTest* t = current_;
      if (++t->idles_ > 50) win::InjectKeyPress(win::VK_ESCAPE);  // a stuck script ends the menu
      else if (t->onIdle_) t->onIdle_();
      return 0;
    }
    return win::CallWindowProcA(current_->oldProc_, hwnd, msg, wParam, lParam);
  }

  // Presses the keys, one after the other, once the menu is open.
  void PopupWithKeys(std::vector<win::UINT> keys) {
    size_t next = 0;
    onIdle_ = [&]() {
      if (next < keys.size()) win::InjectKeyPress(keys[next++]);
    };
    menu_->Popup(100, 100);
    onIdle_ = nullptr;
  }

  // The screen rectangle of the open level's visible item `index`.
  static win::RECT ItemOnScreen(int index) {
    win::RECT r = OpenMenuItemRects().at(static_cast<size_t>(index));
    win::POINT p{r.left, r.top};
    win::ClientToScreen(OpenMenuWindow(), &p);
    return forms::Bounds(p.x, p.y, r.right - r.left, r.bottom - r.top);
  }

  static inline MenuLoopTest* current_ = nullptr;
  TForm* form_ = nullptr;
  TPopupMenu* menu_ = nullptr;
  TMenuItem* disabled_ = nullptr;
  std::vector<String> clicks_;
  std::function<void()> onIdle_;
  win::WNDPROC oldProc_ = nullptr;
  int idles_ = 0;
};

TEST_F(MenuLoopTest, KeyboardNavigation) {
  struct Case {
    const char* what;
    std::vector<win::UINT> keys;
    std::vector<String> clicks;
  } cases[] = {
      {"Enter on the first item", {win::VK_DOWN, win::VK_RETURN}, {"Open"}},
      {"separators and disabled items", {win::VK_DOWN, win::VK_DOWN, win::VK_RETURN, win::VK_DOWN, win::VK_DOWN,
                                         win::VK_RETURN}, {"Save"}},
      {"up wraps past hidden items", {win::VK_UP, win::VK_RETURN}, {"Exit"}},
      {"Home and End", {win::VK_DOWN, win::VK_END, win::VK_HOME, win::VK_RETURN}, {"Open"}},
      {"into a submenu", {win::VK_DOWN, win::VK_DOWN, win::VK_DOWN, win::VK_RIGHT, win::VK_DOWN, win::VK_RETURN},
       {"Deutsch"}},
      {"Left and Esc close one level each", {'L', win::VK_LEFT, win::VK_ESCAPE}, {}},
      {"an accelerator chooses", {'S'}, {"Save"}},
      {"an accelerator opens a submenu", {'L', win::VK_RETURN}, {"English"}},
      {"a disabled accelerator does nothing", {'D', win::VK_ESCAPE}, {}},
  };
  for (const auto& c : cases) {
    clicks_.clear();
    idles_ = 0;
    PopupWithKeys(c.keys);
    EXPECT_EQ(OpenMenuWindow(), nullptr) << c.what;
    EXPECT_TRUE(clicks_.empty()) << c.what << ": OnClick waits for the message loop";
    Pump();
    EXPECT_EQ(clicks_, c.clicks) << c.what;
  }
}

TEST_F(MenuLoopTest, MouseChoosesAndClickOutsideCancels) {
  int step = 0;
  onIdle_ = [&]() {
    if (step++ != 0) return;
    const win::RECT r = ItemOnScreen(0);
    win::InjectMouseMove(r.left + 5, r.top + 3);
    win::InjectClick(r.left + 5, r.top + 3);
  };
  int popups = 0;
  menu_->OnPopup = [&](TObject*) { ++popups; };
  menu_->Items()->Items(0)->SetHint("Open|Opens the selected file");
  menu_->Popup(120, 90);
  Pump();
  EXPECT_EQ(clicks_, std::vector<String>{"Open"});
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(Application->Hint(), "Opens the selected file");
  Application->SetHint("");

  clicks_.clear();
  step = 0;
  onIdle_ = [&]() {
    if (step++ == 0) win::InjectClick(20, 20);
  };
  menu_->Popup(120, 90);
  Pump();
  EXPECT_TRUE(clicks_.empty());

  // A click on a disabled item leaves the menu open.
  step = 0;
  onIdle_ = [&]() {
    if (step == 0) {
      const win::RECT r = ItemOnScreen(2);
      win::InjectClick(r.left + 5, r.top + 3);
    } else if (step == 1) {
      EXPECT_NE(OpenMenuWindow(), nullptr);
      win::InjectKeyPress(win::VK_ESCAPE);
    }
    ++step;
  };
  menu_->Popup(120, 90);
  Pump();
  EXPECT_TRUE(clicks_.empty());
}

TEST_F(MenuLoopTest, ContextMenuOfAControlAndItsPicture) {
  auto* panel = new TCustomControl(form_);
  panel->SetParent(form_);
  panel->SetBounds(20, 20, 200, 150);
  panel->SetPopupMenu(menu_);
  const std::string png = ::testing::TempDir() + "forms_popup_menu.png";
  bool saved = false;
  win::COLORREF selectedPixel = 0, menuPixel = 0;
  int step = 0;
  onIdle_ = [&]() {
    if (step == 0) {
      win::InjectKeyPress('L');  // opens the submenu with its first item selected
    } else if (step == 1) {
      const win::RECT r = ItemOnScreen(0);
      selectedPixel = win::GetScreenPixel(r.left + 2, r.top + 2);
      win::RECT w;
      win::GetWindowRect(OpenMenuWindow(), &w);
      menuPixel = win::GetScreenPixel(w.left + 4, w.bottom - 4);
      saved = win::SaveScreenPng(png);
      win::InjectKeyPress(win::VK_ESCAPE);
      win::InjectKeyPress(win::VK_ESCAPE);
    }
    ++step;
  };
  const win::POINT at = panel->ClientToScreen(Point(30, 40));
  win::SendMessageA(panel->Handle(), win::WM_CONTEXTMENU, reinterpret_cast<win::WPARAM>(panel->Handle()),
                    win::MAKELPARAM(static_cast<win::WORD>(at.x), static_cast<win::WORD>(at.y)));
  EXPECT_EQ(menu_->PopupComponent(), panel);
  EXPECT_TRUE(saved) << png;
  EXPECT_EQ(selectedPixel, ColorToRGB(clHighlight));
  EXPECT_EQ(menuPixel, ColorToRGB(clMenu));
  std::printf("popup menu picture: %s\n", png.c_str());
}

TEST_F(MenuLoopTest, RightClickOpensTheControlsPopupMenu) {
  auto* panel = new TCustomControl(form_);
  panel->SetParent(form_);
  panel->SetBounds(20, 20, 200, 150);
  panel->SetPopupMenu(menu_);
  win::RECT placed{};
  int step = 0;
  onIdle_ = [&]() {
    if (step++ != 0) return;
    win::GetWindowRect(OpenMenuWindow(), &placed);
    win::InjectKeyPress(win::VK_ESCAPE);
  };
  Click(panel, 30, 40);
  EXPECT_EQ(step, 0) << "a left click shows no menu";
  const win::POINT at = At(panel, 30, 40);
  win::InjectClick(at.x, at.y, 1);
  Pump();
  EXPECT_EQ(step, 1);
  EXPECT_EQ(placed.left, at.x);
  EXPECT_EQ(placed.top, at.y);
  EXPECT_EQ(menu_->PopupComponent(), panel);

  // AutoPopup off leaves the right click to the program.
  menu_->SetAutoPopup(false);
  win::InjectClick(at.x, at.y, 1);
  Pump();
  EXPECT_EQ(step, 1);
}

TEST_F(MenuLoopTest, StaysOnTheWorkAreaAndShowsImages) {
  TImageList images(nullptr, 16, 16);
  TBitmap red;
  red.SetPixelFormat(pf24bit);
  red.SetSize(16, 16);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(Rect(0, 0, 16, 16));
  images.Add(&red, nullptr);
  ASSERT_EQ(images.Count(), 1);
  menu_->SetImages(&images);
  menu_->Items()->Items(0)->SetImageIndex(0);

  win::RECT work;
  win::SystemParametersInfo(win::SPI_GETWORKAREA, 0, &work, 0);
  win::RECT placed{};
  win::COLORREF imagePixel = 0;
  int step = 0;
  onIdle_ = [&]() {
    if (step++ != 0) return;
    win::GetWindowRect(OpenMenuWindow(), &placed);
    const win::RECT item = ItemOnScreen(0);
    imagePixel = win::GetScreenPixel(item.left + 9, (item.top + item.bottom) / 2);
    win::InjectKeyPress(win::VK_ESCAPE);
  };
  menu_->Popup(work.right - 5, work.bottom - 5);
  EXPECT_LE(placed.right, work.right);
  EXPECT_LE(placed.bottom, work.bottom);
  EXPECT_GT(placed.right - placed.left, 50);
  EXPECT_EQ(imagePixel, ColorToRGB(clRed));
}

TEST_F(MenuLoopTest, OwnerDrawMeasuresAndDraws) {
  menu_->SetOwnerDraw(true);
  TMenuItem* first = menu_->Items()->Items(0);
  first->OnMeasureItem = [](TObject*, TCanvas*, int& w, int& h) {
    w = 150;
    h = 40;
  };
  std::vector<TOwnerDrawState> states;
  first->OnAdvancedDrawItem = [&](TObject*, TCanvas* canvas, TRect r, TOwnerDrawState state) {
    states.push_back(state);
    canvas->Brush()->SetColor(clRed);
    canvas->FillRect(r);
  };
  win::RECT rect{};
  win::COLORREF pixel = 0;
  int step = 0;
  onIdle_ = [&]() {
    if (step == 0) {
      rect = ItemOnScreen(0);
      win::InjectKeyPress(win::VK_DOWN);
    } else if (step == 1) {
      pixel = win::GetScreenPixel(rect.left + 10, rect.top + 10);
      win::InjectKeyPress(win::VK_ESCAPE);
    }
    ++step;
  };
  menu_->Popup(100, 100);
  EXPECT_EQ(rect.right - rect.left, 150);
  EXPECT_EQ(rect.bottom - rect.top, 40);
  EXPECT_EQ(pixel, ColorToRGB(clRed));
  ASSERT_GE(states.size(), 2u);
  EXPECT_FALSE(states.front().Contains(odSelected));
  EXPECT_TRUE(states.back().Contains(odSelected));
}

}  // namespace
