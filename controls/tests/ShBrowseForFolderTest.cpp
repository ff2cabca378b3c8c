// The folder picker over the shell's folder browser, driven the way a user
// would: once the browser is up, keys and clicks go into the input queue
// and its modal loop handles them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <utility>

#include "controls/tests/UcTestUtil.h"
#include "controls/uc/JAMDialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/TreeView.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/Text.h"
#include "platform/shell/BrowseForFolder.h"
#include "platform/win/Api.h"

using namespace controls;
using rtl::WideString;

namespace {

WideString W(const std::string& utf8) { return rtl::Utf8ToWide(utf8); }
std::string U(const WideString& w) { return rtl::WideToUtf8(w); }

class ShBrowseForFolderTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    SetLastBrowsedPath(u"");
    root_ = dir_.Path() + "media";
    for (const char* d : {"", "/clips", "/clips/today"}) ASSERT_EQ(mkdir((root_ + d).c_str(), 0755), 0);
  }

  // Runs `script` once the browser is up and active (input then reaches
  // it), after its first selection.
  void OnFirstChange(TShBrowseForFolder& picker, std::function<void()> script) {
    script_ = std::move(script);
    changes_ = 0;
    picker.OnChange = [this, &picker](forms::TObject*) {
      if (++changes_ > 1) return;
      auto* form = dynamic_cast<forms::TCustomForm*>(forms::FindControl(picker.DialogWindow()));
      ASSERT_NE(form, nullptr);
      form->OnActivate = [this](forms::TObject*) {
        if (script_) std::exchange(script_, nullptr)();
      };
    };
  }

  static forms::TTreeView* Tree(win::HWND dialog) {
    return dynamic_cast<forms::TTreeView*>(forms::FindControl(win::GetDlgItem(dialog, shell::kBrowseTreeId)));
  }
  static bool OkEnabled(win::HWND dialog) { return win::IsWindowEnabled(win::GetDlgItem(dialog, shell::kBrowseOkId)); }
  static void ClickOk(win::HWND dialog) {
    forms::TWinControl* ok = forms::FindControl(win::GetDlgItem(dialog, shell::kBrowseOkId));
    const win::POINT p = ok->ClientToScreen(forms::Point(10, 10));
    win::InjectClick(p.x, p.y);
  }
  static void Select(win::HWND dialog, const std::string& path) {
    const WideString w = W(path);
    win::SendMessageW(dialog, win::BFFM_SETSELECTIONW, 1, reinterpret_cast<win::LPARAM>(w.c_str()));
  }

  uctest::ScratchDir dir_;
  std::string root_;
  std::function<void()> script_;
  int changes_ = 0;
};

TEST_F(ShBrowseForFolderTest, DefaultsPreselectMyComputerAndCancelLeavesPathAlone) {
  TShBrowseForFolder picker(nullptr);
  EXPECT_EQ(picker.Options(), TShBrowseFlags{bfNewDialogStyle});
  picker.SetOptions(TShBrowseFlags{bfEditBox});
  EXPECT_EQ(picker.Options(), (TShBrowseFlags{bfNewDialogStyle, bfEditBox}));
  picker.SetOptions(TShBrowseFlags{bfNewDialogStyle});
  EXPECT_EQ(picker.RootedAt(), SF_DESKTOP);
  EXPECT_EQ(picker.Path(), u"");
  picker.SetTitle(u"Choose the storage folder \u0416");
  std::string selected, top, title;
  bool centred = false;
  int shows = 0, closes = 0;
  picker.OnShow = [&](forms::TObject*) { ++shows; };
  picker.OnClose = [&](forms::TObject*) { ++closes; };
  OnFirstChange(picker, [&] {
    win::HWND dialog = picker.DialogWindow();
    forms::TTreeView* tree = Tree(dialog);
    selected = tree->Selected()->Text();
    top = tree->Items()->GetFirstNode()->Text();
    win::RECT r{};
    win::GetWindowRect(dialog, &r);
    centred = r.left == forms::Screen->Width() / 2 - (r.right - r.left) / 2 &&
              r.top == forms::Screen->Height() / 2 - (r.bottom - r.top) / 2;
    // A selection made while browsing is forgotten on cancel.
    Select(dialog, root_ + "/clips");
    EXPECT_EQ(U(picker.Path()), root_ + "/clips");
    win::InjectKeyPress(win::VK_ESCAPE);
  });
  EXPECT_FALSE(picker.Execute());
  EXPECT_EQ(top, "Desktop");
  EXPECT_EQ(selected, "My Computer");
  EXPECT_TRUE(centred);
  EXPECT_EQ(changes_, 2);
  EXPECT_EQ(picker.Path(), u"");
  EXPECT_EQ(LastBrowsedPath(), u"");
  EXPECT_EQ(picker.DialogWindow(), nullptr);
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(closes, 1);
}

TEST_F(ShBrowseForFolderTest, OkReturnsTheChosenFolderWithoutADelimiter) {
  TShBrowseForFolder picker(nullptr);
  picker.SetPath(W(root_ + "/clips"));
  picker.SetWindowTitle(u"Storage \u00e9");
  picker.SetDialogButtonCaption(u"Use \u0416");
  std::string preselected, caption, okCaption;
  OnFirstChange(picker, [&] {
    win::HWND dialog = picker.DialogWindow();
    preselected = U(picker.Path());
    forms::TTreeView* tree = Tree(dialog);
    caption = forms::FindControl(dialog)->Caption();
    okCaption = forms::FindControl(win::GetDlgItem(dialog, shell::kBrowseOkId))->Caption();
    // The user opens "clips" and picks "today".
    tree->Selected()->Expand(false);
    forms::TTreeNode* today = tree->Selected()->GetFirstChild();
    const forms::TRect r = today->DisplayRect(true);
    const win::POINT p = tree->ClientToScreen(forms::Point(r.left + 3, r.top + 3));
    win::InjectClick(p.x, p.y);
    ClickOk(dialog);
  });
  EXPECT_TRUE(picker.Execute());
  EXPECT_EQ(preselected, root_ + "/clips");
  EXPECT_EQ(caption, "Storage \xc3\xa9");
  EXPECT_EQ(okCaption, "Use \xd0\x96");
  EXPECT_EQ(U(picker.Path()), root_ + "/clips/today");
  // The root keeps its one delimiter.
  picker.SetPath(u"/");
  OnFirstChange(picker, [&] { ClickOk(picker.DialogWindow()); });
  EXPECT_TRUE(picker.Execute());
  EXPECT_EQ(picker.Path(), u"/");
  // A new picker starts from the process-wide last path, which only the
  // virtual-object fallback sets.
  EXPECT_EQ(TShBrowseForFolder(nullptr).Path(), LastBrowsedPath());
}

TEST_F(ShBrowseForFolderTest, FileSystemOnlyDisablesOkOnMyComputer) {
  TShBrowseForFolder picker(nullptr);
  picker.SetOptions(TShBrowseFlags{bfNewDialogStyle, bfFileSystemOnly});
  bool okAtStart = true, okOnFolder = false, okBackOnMyComputer = true;
  OnFirstChange(picker, [&] {
    win::HWND dialog = picker.DialogWindow();
    okAtStart = OkEnabled(dialog);
    Select(dialog, root_);
    okOnFolder = OkEnabled(dialog);
    win::SendMessageW(dialog, win::BFFM_SETSELECTIONW, 1, reinterpret_cast<win::LPARAM>(u"/"));
    forms::TTreeView* tree = Tree(dialog);
    tree->SetSelected(tree->Selected()->Parent());
    okBackOnMyComputer = OkEnabled(dialog);
    // OK is disabled: Enter and a click on it choose nothing.
    ClickOk(dialog);
    win::InjectKeyPress(win::VK_ESCAPE);
  });
  EXPECT_FALSE(picker.Execute());
  EXPECT_FALSE(okAtStart);
  EXPECT_TRUE(okOnFolder);
  EXPECT_FALSE(okBackOnMyComputer);
  EXPECT_EQ(picker.Path(), u"");
}

TEST_F(ShBrowseForFolderTest, ChoosingMyComputerNamesNoFolder) {
  TShBrowseForFolder picker(nullptr);
  picker.SetPath(W(root_));
  OnFirstChange(picker, [&] {
    win::HWND dialog = picker.DialogWindow();
    win::SendMessageW(dialog, win::BFFM_SETSELECTIONW, 1, reinterpret_cast<win::LPARAM>(u"/"));
    forms::TTreeView* tree = Tree(dialog);
    tree->SetSelected(tree->Selected()->Parent());
    ClickOk(dialog);
  });
  EXPECT_FALSE(picker.Execute());
  EXPECT_EQ(U(picker.Path()), root_);
}

TEST_F(ShBrowseForFolderTest, PlacementFollowsDialogLeftAndTop) {
  TShBrowseForFolder picker(nullptr);
  picker.SetDialogLeft(100);
  EXPECT_EQ(picker.DialogLeft(), 100);
  int leftWhileOpen = -1, centredLeft = -1, movedLeft = -1, movedTop = -1;
  OnFirstChange(picker, [&] {
    win::HWND dialog = picker.DialogWindow();
    win::RECT r{};
    win::GetWindowRect(dialog, &r);
    // Top is still -1: centred.
    centredLeft = forms::Screen->Width() / 2 - (r.right - r.left) / 2;
    leftWhileOpen = picker.DialogLeft();
    picker.SetDialogTop(40);
    movedLeft = picker.DialogLeft();
    movedTop = picker.DialogTop();
    win::InjectKeyPress(win::VK_ESCAPE);
  });
  picker.Execute();
  EXPECT_EQ(leftWhileOpen, centredLeft);
  EXPECT_EQ(movedLeft, 100);
  EXPECT_EQ(movedTop, 40);
  EXPECT_EQ(picker.DialogLeft(), 100);
  EXPECT_EQ(picker.DialogTop(), 40);
}

TEST_F(ShBrowseForFolderTest, RootedAtAFileSystemFolder) {
  TShBrowseForFolder picker(nullptr);
  picker.SetRootedAtFileSystemFolder(W(root_ + "/clips"));
  EXPECT_EQ(picker.RootedAt(), SF_FILESYSTEMFOLDER);
  std::string top;
  OnFirstChange(picker, [&] {
    top = Tree(picker.DialogWindow())->Items()->GetFirstNode()->Text();
    ClickOk(picker.DialogWindow());
  });
  picker.SetPath(W(root_ + "/clips/today"));
  EXPECT_TRUE(picker.Execute());
  EXPECT_EQ(top, "clips");
  EXPECT_EQ(U(picker.Path()), root_ + "/clips/today");
}

TEST_F(ShBrowseForFolderTest, AMissingRootFallsBackToRootedAt) {
  TShBrowseForFolder picker(nullptr);
  picker.SetRootedAtFileSystemFolder(W(root_ + "/gone"));
  picker.SetRootedAt(SF_DRIVES);
  std::string top;
  OnFirstChange(picker, [&] {
    top = Tree(picker.DialogWindow())->Items()->GetFirstNode()->Text();
    win::InjectKeyPress(win::VK_ESCAPE);
  });
  EXPECT_FALSE(picker.Execute());
  EXPECT_EQ(top, "My Computer");
}

}  // namespace
