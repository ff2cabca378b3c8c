#include "platform/forms/FileDialogs.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/forms/StdCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Display.h"

using namespace forms;
using formstest::FormsFixture;
using formstest::RecordingPresenter;

namespace {

namespace fs = std::filesystem;

// Answers the dialog with typed choices in turn, as a user pressing OK
// again after each refusal; runs out as a user pressing Cancel.
struct ScriptedPresenter : TFileDialogPresenter {
  struct Choice {
    String typed;
    int filterIndex;
  };
  bool Present(TOpenDialog& dialog) override {
    title = dialog.DisplayTitle();
    for (const auto& c : choices) {
      ++tries;
      if (dialog.Accept(folder, c.typed, c.filterIndex)) return true;
    }
    return false;
  }
  String folder;
  std::vector<Choice> choices;
  int tries = 0;
  String title;
};

class FileDialogsTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    char tmpl[] = "/tmp/vorix-filedlg-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    fs::create_directory(dir + "/sub");
    for (const char* f : {"a.txt", "b.txt", "c.log", "plain", "sub/d.txt"}) std::ofstream(dir + "/" + f) << "x";
    script.folder = dir;
  }
  void TearDown() override {
    fs::remove_all(dir);
    FormsFixture::TearDown();
  }
  std::string dir;
  ScriptedPresenter script;
  RecordingPresenter boxes;
};

TEST_F(FileDialogsTest, FilterPairsAndMasks) {
  const auto f = ParseFileFilter("Text (*.txt)|*.txt|Pictures|*.png; *.JPG|Broken|");
  ASSERT_EQ(f.size(), 2u) << "a description without masks is dropped";
  EXPECT_EQ(f[0].Description, "Text (*.txt)");
  EXPECT_EQ(f[1].Masks, "*.png; *.JPG");
  EXPECT_TRUE(MatchesFileFilter("x.jpg", f[1].Masks)) << "letters match ignoring case, spaces around ';' too";
  EXPECT_TRUE(MatchesFileFilter("y.png", f[1].Masks));
  EXPECT_FALSE(MatchesFileFilter("y.png.txt", f[1].Masks));
  EXPECT_TRUE(MatchesFileFilter("anything", "*.*"));
  EXPECT_TRUE(ParseFileFilter("").empty());
}

TEST_F(FileDialogsTest, NamesGetTheExtensionOfTheTypeOrTheDefault) {
  struct Case {
    bool save;
    const char* filter;
    int index;
    const char* defaultExt;
    std::string typed;
    std::string expected;  // relative to the folder
  } cases[] = {
      {true, "Text|*.txt|All|*.*", 1, "bmp", "new", "new.txt"},
      {true, "Text|*.txt|All|*.*", 2, "bmp", "new", "new.bmp"},
      {true, "Text|*.txt|All|*.*", 2, ".bmp", "new", "new.bmp"},
      {true, "Pics|*.png;*.jpg", 1, "png", "new", "new.png"},
      {true, "Text|*.txt", 1, "", "new", "new"},
      {true, "Text|*.txt", 1, "bmp", "new.log", "new.log"},
      {true, "Text|*.txt", 1, "bmp", "sub/new", "sub/new.txt"},
      {true, "Text|*.txt", 1, "txt", "plain", "plain.txt"},
      {false, "Text|*.txt", 1, "txt", "plain", "plain"},  // opening an existing file as typed
      {false, "Text|*.txt", 1, "txt", "a", "a.txt"},
      {false, "Text|*.txt", 1, "txt", "../" + fs::path(dir).filename().string() + "/b", "b.txt"},
  };
  ScopedFileDialogPresenter scoped(&script);
  for (const auto& c : cases) {
    std::unique_ptr<TOpenDialog> d(c.save ? new TSaveDialog(nullptr) : new TOpenDialog(nullptr));
    d->SetFilter(c.filter);
    d->SetDefaultExt(c.defaultExt);
    script.choices = {{c.typed, c.index}};
    ASSERT_TRUE(d->Execute()) << c.typed;
    EXPECT_EQ(d->FileName(), dir + "/" + c.expected) << c.filter << " " << c.index << " " << c.typed;
    EXPECT_EQ(d->FilterIndex(), c.index);
  }
}

TEST_F(FileDialogsTest, OptionsRefuseChoicesUntilOneFits) {
  ScopedFileDialogPresenter scoped(&script);
  ScopedMessageBoxPresenter scopedBoxes(&boxes);
  TOpenDialog open(nullptr);
  open.SetOptions({ofFileMustExist, ofPathMustExist});
  open.SetTitle("Pick");
  script.choices = {{"missing.txt", 1}, {"nosuch/x.txt", 1}, {"c.log", 1}};
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(script.tries, 3);
  EXPECT_EQ(open.FileName(), dir + "/c.log");
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_NE(boxes.boxes[0].text.find("File not found"), std::string::npos);
  EXPECT_NE(boxes.boxes[1].text.find("Path does not exist"), std::string::npos);
  EXPECT_EQ(boxes.boxes[0].caption, "Pick");

  // Saving over a file asks; No keeps the dialog open.
  TSaveDialog save(nullptr);
  save.SetOptions({ofOverwritePrompt});
  save.SetFileName("/kept");
  boxes.boxes.clear();
  boxes.answer = IDNO;
  script.tries = 0;
  script.choices = {{"a.txt", 1}};
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(save.FileName(), "/kept") << "a refused dialog leaves the name alone";
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].flags & MB_TYPEMASK, static_cast<win::UINT>(MB_YESNO));
  boxes.answer = IDYES;
  EXPECT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName(), dir + "/a.txt");
  EXPECT_EQ(script.title, "Save As");
  boxes.boxes.clear();
  script.choices = {{"fresh.txt", 1}};
  EXPECT_TRUE(save.Execute());
  EXPECT_TRUE(boxes.boxes.empty()) << "a new name needs no question";
  save.SetOptions({});
  script.choices = {{"a.txt", 1}};
  EXPECT_TRUE(save.Execute());
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FileDialogsTest, MultiSelectGivesEveryFile) {
  ScopedFileDialogPresenter scoped(&script);
  TOpenDialog open(nullptr);
  open.SetOptions({ofAllowMultiSelect, ofFileMustExist});
  script.choices = {{"\"b.txt\" \"a.txt\"", 2}};
  ASSERT_TRUE(open.Execute());
  ASSERT_EQ(open.Files()->Count(), 2);
  EXPECT_EQ(open.Files()->Get(0), dir + "/b.txt");
  EXPECT_EQ(open.Files()->Get(1), dir + "/a.txt");
  EXPECT_EQ(open.FileName(), dir + "/b.txt");
  open.SetOptions({ofFileMustExist});
  script.choices = {{"\"a.txt\"", 1}};
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(open.Files()->Count(), 1) << "one quoted name without multi-select is just a name";
  EXPECT_EQ(open.FileName(), dir + "/a.txt");
}

std::vector<std::string> ItemsOf(TCustomForm* form, const char* name) {
  auto* list = dynamic_cast<TListBox*>(form->FindComponent(name));
  std::vector<std::string> out;
  if (!list) return out;
  for (int i = 0; i < list->Items()->Count(); ++i) out.push_back(list->Items()->Get(i));
  return out;
}

void Type(const char* text) {
  for (const char* p = text; *p; ++p)
    win::InjectKeyPress(*p == '/' ? 0xBF : static_cast<win::UINT>(std::toupper(static_cast<unsigned char>(*p))));
}

TEST_F(FileDialogsTest, ModalWindowDrivenByKeys) {
  TSaveDialog save(nullptr);
  save.SetFilter("Text|*.txt|All|*.*");
  save.SetDefaultExt("dat");
  save.SetInitialDir(dir);
  save.SetTitle("Save capture");
  int step = 0;
  std::vector<std::string> files0, folders0, files1;
  std::string caption, folderShown;
  Application->OnIdle = [&](TObject*, bool& done) {
    done = false;
    TCustomForm* dialog = Screen->ActiveForm();
    if (!dialog || !dialog->Visible()) return;
    if (step == 0) {
      caption = dialog->Caption();
      files0 = ItemsOf(dialog, "Files");
      folders0 = ItemsOf(dialog, "Folders");
      EXPECT_TRUE(win::SaveWindowPng(dialog->Handle(), ::testing::TempDir() + "filedialog_sheet.png"));
      Type("SUB");
      win::InjectKeyPress(win::VK_RETURN);  // a folder's name opens it
    } else if (step == 1) {
      folderShown = dynamic_cast<TLabel*>(dialog->FindComponent("FolderLabel"))->Caption();
      files1 = ItemsOf(dialog, "Files");
      Type("NEW");
      win::InjectKeyPress(win::VK_RETURN);
    }
    ++step;
  };
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(caption, "Save capture");
  EXPECT_EQ(files0, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(folders0, (std::vector<std::string>{"..", "sub"}));
  EXPECT_EQ(folderShown, dir + "/sub");
  EXPECT_EQ(files1, (std::vector<std::string>{"d.txt"}));
  EXPECT_EQ(save.FileName(), dir + "/sub/new.txt");
  EXPECT_EQ(save.FilterIndex(), 1);

  // Esc cancels and leaves everything as it was.
  step = 0;
  Application->OnIdle = [&](TObject*, bool& done) {
    done = false;
    TCustomForm* dialog = Screen->ActiveForm();
    if (!dialog || !dialog->Visible() || step++ > 0) return;
    Type("OTHER");
    win::InjectKeyPress(win::VK_ESCAPE);
  };
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(save.FileName(), dir + "/sub/new.txt");
}

TEST_F(FileDialogsTest, ModalWindowPicksSeveralFilesFromItsList) {
  TOpenDialog open(nullptr);
  open.SetFilter("All|*.*");
  open.SetInitialDir(dir);
  open.SetOptions({ofAllowMultiSelect, ofFileMustExist});
  bool acted = false;
  String typed;
  Application->OnIdle = [&](TObject*, bool& done) {
    done = false;
    TCustomForm* dialog = Screen->ActiveForm();
    if (!dialog || !dialog->Visible() || acted) return;
    acted = true;
    auto* files = dynamic_cast<TListBox*>(dialog->FindComponent("Files"));
    ASSERT_TRUE(files->MultiSelect());
    files->SetSelected(files->Items()->IndexOf("b.txt"), true);
    files->SetSelected(files->Items()->IndexOf("plain"), true);
    files->OnClick(files);  // as the list tells a pick by the user
    typed = dynamic_cast<TEdit*>(dialog->FindComponent("FileName"))->Text();
    win::InjectKeyPress(win::VK_RETURN);
  };
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(typed, "\"b.txt\" \"plain\"");
  ASSERT_EQ(open.Files()->Count(), 2);
  EXPECT_EQ(open.Files()->Get(1), dir + "/plain");
}

}  // namespace
