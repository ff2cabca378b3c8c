// The shell navigator and the item ID list routines over a real folder
// tree with symbolic links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "controls/tests/UcTestUtil.h"
#include "controls/uc/ShellBrowser.h"
#include "controls/uc/Shell_Win32.h"
#include "platform/rtl/Text.h"
#include "platform/shell/ShellNamespace.h"

using namespace controls;
using rtl::WideString;

namespace {

WideString W(const std::string& utf8) { return rtl::Utf8ToWide(utf8); }
std::string U(const WideString& w) { return rtl::WideToUtf8(w); }

struct ListFree {
  void operator()(ITEMIDLIST* l) const { FreeIDList(l); }
};
using List = std::unique_ptr<ITEMIDLIST, ListFree>;

// tree/
//   a/ x.txt y.bmp z.doc .hidden.txt sub/
//   A/            (a different folder: names differ by case only)
//   file.txt
//   link -> a     (a folder reached through a link)
//   broken -> missing
class ShellBrowserTest : public ::testing::Test {
protected:
  void SetUp() override {
    root_ = dir_.Path() + "tree";
    for (const char* d : {"", "/a", "/a/sub", "/A"}) ASSERT_EQ(mkdir((root_ + d).c_str(), 0755), 0);
    for (const char* f : {"/a/x.txt", "/a/y.bmp", "/a/z.doc", "/a/.hidden.txt", "/file.txt"})
      std::ofstream(root_ + f) << "x";
    ASSERT_EQ(symlink((root_ + "/a").c_str(), (root_ + "/link").c_str()), 0);
    ASSERT_EQ(symlink("missing", (root_ + "/broken").c_str()), 0);
  }

  // Every object NextObject gives, by name.
  static std::vector<std::string> Walk(TShellBrowser& b) {
    std::vector<std::string> names;
    while (b.NextObject()) names.push_back(U(b.ObjectName()));
    return names;
  }

  uctest::ScratchDir dir_;
  std::string root_;
};

TEST_F(ShellBrowserTest, ANewNavigatorStandsInMyComputer) {
  TShellBrowser b(nullptr);
  EXPECT_EQ(b.Folder(), u"");
  EXPECT_EQ(b.SpecialFolder(), SF_DRIVES);
  EXPECT_EQ(b.ObjectName(), u"");
  EXPECT_EQ(b.Filter(), u"*");
  EXPECT_EQ(b.Version(), "TShellBrowser V5.11");
  // My Computer holds the file system's root.
  std::vector<std::string> names = Walk(b);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], "/");
}

TEST_F(ShellBrowserTest, FolderTakesPathsWithOrWithoutTheDelimiter) {
  TShellBrowser b(nullptr);
  b.SetFolder(W(root_ + "/a"));
  EXPECT_EQ(U(b.Folder()), root_ + "/a/");
  b.SetFolder(W(root_ + "/a/sub/"));
  EXPECT_EQ(U(b.Folder()), root_ + "/a/sub/");
  b.SetFolder(u"/");
  EXPECT_EQ(b.Folder(), u"/");
  // Through a link the navigator keeps the link's name and lists its target.
  b.SetFolder(W(root_ + "/link"));
  EXPECT_EQ(U(b.Folder()), root_ + "/link/");
  EXPECT_EQ(Walk(b), (std::vector<std::string>{"sub", ".hidden.txt", "x.txt", "y.bmp", "z.doc"}));
  // Names that differ by case are different folders on this file system.
  b.SetFolder(W(root_ + "/A"));
  EXPECT_EQ(U(b.Folder()), root_ + "/A/");
  b.SetFolder(W(root_ + "/a/"));
  EXPECT_EQ(U(b.Folder()), root_ + "/a/");
  EXPECT_EQ(Walk(b).size(), 5u);
}

TEST_F(ShellBrowserTest, FolderErrorsRaiseTheirTextsAndLeaveTheNavigatorWhereItWas) {
  TShellBrowser b(nullptr);
  b.SetFolder(W(root_ + "/a"));
  b.SetObjectName(u"x.txt");
  const std::string missing = root_ + "/nowhere/deeper";
  try {
    b.SetFolder(W(missing));
    FAIL() << "no exception";
  } catch (const EShellBrowserError& e) {
    EXPECT_EQ(e.Message(), "The system cannot find the path specified.\r\n" + missing);
  }
  EXPECT_EQ(U(b.Folder()), root_ + "/a/");
  EXPECT_EQ(b.ObjectName(), u"x.txt");
  // A file is no folder to stand in; nothing of the current state is lost.
  try {
    b.SetFolder(W(root_ + "/file.txt"));
    FAIL() << "no exception";
  } catch (const EShellBrowserError& e) {
    EXPECT_EQ(e.Message(),
              "ShellBrowser.SetFolderIDList: Desktop.BindToObject: Could not get IShellFolder interface. (The "
              "directory name is invalid.)");
  }
  EXPECT_EQ(U(b.Folder()), root_ + "/a/");
  EXPECT_EQ(b.ObjectName(), u"x.txt");
  // A dangling link is no folder either.
  EXPECT_THROW(b.SetFolder(W(root_ + "/broken")), EShellBrowserError);
  EXPECT_EQ(U(b.Folder()), root_ + "/a/");
}

TEST_F(ShellBrowserTest, ObjectNameFindsObjectsByNameOrFullPath) {
  TShellBrowser b(nullptr);
  b.SetObjectName(W(root_ + "/a/y.bmp"));
  EXPECT_EQ(U(b.Folder()), root_ + "/a/");
  EXPECT_EQ(b.ObjectName(), u"y.bmp");
  EXPECT_FALSE(b.IsFolderObject());
  b.SetObjectName(u"sub");
  EXPECT_EQ(b.ObjectName(), u"sub");
  EXPECT_TRUE(b.IsFolderObject());
  // A trailing delimiter names the same folder object.
  b.SetObjectName(W(root_ + "/a/sub/"));
  EXPECT_EQ(U(b.Folder()), root_ + "/a/");
  EXPECT_EQ(b.ObjectName(), u"sub");
  try {
    b.SetObjectName(u"absent.txt");
    FAIL() << "no exception";
  } catch (const EShellBrowserError& e) {
    EXPECT_EQ(e.Message(), "Error! Cannot find Object \"absent.txt\" in Folder \"" + root_ + "/a/\"");
  }
  // The root becomes an object of My Computer.
  b.SetObjectName(u"/");
  EXPECT_EQ(b.Folder(), u"");
  EXPECT_EQ(b.SpecialFolder(), SF_DRIVES);
  EXPECT_EQ(b.ObjectName(), u"/");
  // In a virtual folder an object is found by its display name.
  b.SetSpecialFolder(SF_DESKTOP);
  EXPECT_EQ(b.SpecialFolder(), SF_DESKTOP);
  b.SetObjectName(u"my computer");
  EXPECT_EQ(b.GetDisplayName(), u"My Computer");
  b.SetObjectName(u"");
  EXPECT_EQ(b.ObjectIDList(), nullptr);
}

TEST_F(ShellBrowserTest, FilterSplitsMasksAndNextObjectKeepsFoldersAndMatches) {
  TShellBrowser b(nullptr);
  b.SetFilter(u"*.txt;*.bmp");
  EXPECT_EQ(b.Masks()->GetCount(), 2);
  EXPECT_EQ(b.Filter(), u"*.txt;*.bmp");
  b.SetFolder(W(root_));
  // Folders always pass; a link to a folder is a folder; the dangling link
  // is a file that no mask matches.
  EXPECT_EQ(Walk(b), (std::vector<std::string>{"A", "a", "link", "file.txt"}));
  b.SetFolder(W(root_ + "/a"));
  EXPECT_EQ(Walk(b), (std::vector<std::string>{"sub", ".hidden.txt", "x.txt", "y.bmp"}));
  // After the end a new walk starts over.
  EXPECT_EQ(Walk(b).size(), 4u);
  b.SetFilter(u"*");
  EXPECT_EQ(b.Filter(), u"*");
  EXPECT_EQ(b.Masks()->GetCount(), 0);
  b.SetFilter(u"");
  EXPECT_EQ(b.Filter(), u"*");
  // A mask the matcher cannot read is reported, not taken as a match.
  b.SetFilter(u"[x");
  EXPECT_THROW(Walk(b), rtl::Exception);
}

TEST_F(ShellBrowserTest, SelectFolderInParentClimbsOneLevel) {
  TShellBrowser b(nullptr);
  b.SetFolder(W(root_ + "/a/sub"));
  b.SelectFolderInParent();
  EXPECT_EQ(U(b.Folder()), root_ + "/a/");
  EXPECT_EQ(b.ObjectName(), u"sub");
  b.SetFolder(u"");
  b.SelectFolderInParent();
  EXPECT_EQ(b.SpecialFolder(), SF_DESKTOP);
  EXPECT_EQ(b.GetDisplayName(), u"My Computer");
  b.SelectFolderInParent();
  EXPECT_EQ(b.SpecialFolder(), SF_DESKTOP);
}

TEST_F(ShellBrowserTest, IDListRoutinesKeepTheirEdgeCases) {
  List three(PathToIDList(nullptr, W(root_)));
  ASSERT_TRUE(three);
  const int32_t n = IDListItemCount(three.get());
  // My Computer, "/", then one item per name of the path.
  EXPECT_GE(n, 3);
  EXPECT_EQ(IDListItem(three.get(), n), nullptr);
  List last(IDListItem(three.get(), n - 1));
  EXPECT_EQ(IDListItemCount(last.get()), 1);
  List none(TruncateIDList(three.get(), 0));
  EXPECT_EQ(IDListItemCount(none.get()), 0);
  EXPECT_EQ(IDListSize(none.get()), 2u);
  EXPECT_EQ(SpecialFolderOf(none.get()), SF_DESKTOP);
  List all(TruncateIDList(three.get(), n + 5));
  EXPECT_EQ(IDListSize(all.get()), IDListSize(three.get()));
  List head(TruncateIDList(three.get(), n - 1));
  List joined(ConcatIDLists(head.get(), last.get()));
  EXPECT_EQ(shell::CompareIDLists(joined.get(), three.get()), 0);
  EXPECT_EQ(U(IDListPath(joined.get())), root_);
  EXPECT_EQ(IDListSize(nullptr), 0u);
  EXPECT_EQ(CopyIDList(nullptr), nullptr);
  EXPECT_EQ(IDListItemCount(nullptr), 0);

  List myComputer(PathToIDList(nullptr, u""));
  EXPECT_EQ(SpecialFolderOf(myComputer.get()), SF_DRIVES);
  EXPECT_EQ(IDListPath(myComputer.get()), u"");
  EXPECT_EQ(SpecialFolderOf(three.get()), SF_FILESYSTEMFOLDER);

  // Paths that do not parse set the reason.
  EXPECT_EQ(PathToIDList(nullptr, W(root_ + "/a/none")), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(PathToIDList(nullptr, W(root_ + "/none/none")), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(PathToIDList(nullptr, u"relative"), nullptr);
  // Inside a folder: relative names only, and none that climb out of it.
  List a(PathToIDList(nullptr, W(root_ + "/a")));
  List x(PathToIDList(a.get(), u"x.txt"));
  ASSERT_TRUE(x);
  EXPECT_EQ(IDListItemCount(x.get()), 1);
  EXPECT_EQ(PathToIDList(a.get(), u"../file.txt"), nullptr);
}

TEST_F(ShellBrowserTest, PathHelpersFollowNativePaths) {
  EXPECT_EQ(U(LinkTarget(W(root_ + "/link"))), root_ + "/a");
  EXPECT_EQ(U(LinkTarget(W(root_ + "/broken"))), root_ + "/missing");
  EXPECT_EQ(LinkTarget(W(root_ + "/a")), u"");
  EXPECT_TRUE(IsDriveRoot(u"/"));
  EXPECT_FALSE(IsDriveRoot(u"/tmp"));
  EXPECT_TRUE(IsUNCPath(u"\\\\server\\share"));
  EXPECT_FALSE(IsUNCPath(u"\\\\srv"));
  EXPECT_EQ(UNCServerName(u"\\\\server\\share"), u"server");
  EXPECT_TRUE(WideMatchesMask(u"X.TXT", u"*.txt"));
  EXPECT_FALSE(WideMatchesMask(u"x.doc", u"*.txt"));
}

}  // namespace
