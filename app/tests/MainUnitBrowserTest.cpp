// The browser column of the main window, started as the program starts it
// against simulated devices, over real folders: the scan of a folder into
// slots, the album list, the filters, the file actions (the desktop's
// trash under a temporary HOME, the program's clipboard), the rename
// dialog, the albums, the slide show on the virtual clock and the new
// recordings and snapshots joining the column.
#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "app/DataFolders.h"
#include "app/MainUnit.h"
#include "app/Program.h"
#include "app/ShellOpen.h"
#include "app/frmRename.h"
#include "app/tests/AppTestUtil.h"
#include "capture/VcDeviceManager.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/MsgDialogs.h"
#include "platform/mg/SystemFilters.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Text.h"
#include "platform/win/Clipboard.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"

namespace {

using namespace app;
using apptest::ReadFile;
using apptest::WriteFile;
namespace fs = std::filesystem;

// Writes the player calls down with the virtual time they came at; the
// player itself is driven for real by the end-to-end check.
class PlayerRecorder : public TMainCapture {
public:
  using TMainCapture::TMainCapture;
  std::vector<std::string> calls;
  std::string pending;
  void SetStoragePath(const String& p) override { TMainCapture::SetStoragePath(p); }
  void StopPlayer() override { calls.push_back("Stop"); }
  void SetPlayerFileName(const String& f) override { pending = fs::path(f).filename(); }
  bool OpenPlayer() override {
    calls.push_back("Open " + pending + " @" + std::to_string(rtl::GetTickCount64()));
    return true;
  }
  void RunPlayer() override { calls.push_back("Run"); }
  void PausePlayer() override { calls.push_back("Pause"); }
  void SetPlayerPosition(int64_t p) override { calls.push_back("Position " + std::to_string(p)); }
  void SetBurstType(capture::TFrameCaptureDest) override {}
  void SetBurstMode(bool) override { calls.push_back("Burst"); }
};

// Answers the message boxes with `answer` and keeps their texts.
class Boxes : public forms::TMessageBoxPresenter {
public:
  int answer = forms::IDYES;
  std::vector<std::string> texts;
  int MessageBox(win::HWND, const String& text, const String&, win::UINT flags) override {
    texts.push_back(text);
    return (flags & 0xF) == forms::MB_OK ? forms::IDOK : answer;
  }
};

// Answers input and rename dialogs from a queue (nullopt cancels) and
// keeps what each one proposed; other dialogs (messages) are kept by
// their text and answered OK.
class Dialogs : public forms::TDialogPresenter {
public:
  std::deque<std::optional<std::string>> answers;
  std::vector<std::string> proposed, messages;
  int ShowDialog(forms::TCustomForm* dialog) override {
    forms::TEdit* edit = nullptr;
    auto* rename = dynamic_cast<TfrmRename*>(dialog);
    if (rename) edit = rename->txtRename;
    for (int i = 0; !edit && i < dialog->ComponentCount(); ++i)
      if (dialog->Components(i)->Name() == "Edit") edit = dynamic_cast<forms::TEdit*>(dialog->Components(i));
    if (!edit) {
      for (int i = 0; i < dialog->ComponentCount(); ++i)
        if (dialog->Components(i)->Name() == "Message")
          messages.push_back(static_cast<forms::TControl*>(dialog->Components(i))->Caption());
      return forms::mrOk;
    }
    proposed.push_back(edit->Text());
    if (answers.empty() || !answers.front()) {
      if (!answers.empty()) answers.pop_front();
      return forms::mrCancel;
    }
    edit->SetText(*answers.front());
    if (rename) rename->txtRenameChange(edit);  // as typing into the edit does
    answers.pop_front();
    return forms::mrOk;
  }
};

class BrowserTest : public apptest::AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    mg::ff::RegisterFfmpegFilters();
    sim_ = mg::sim::SimDeviceProvider::Instance();
    sim_->Clear();
    mg::SystemDeviceEnum::AddProvider(sim_);
    sim_->Reset();
    main_ = StartProgram(exe_, false);
    auto rec = std::make_unique<PlayerRecorder>(main_->VidCap);
    rec_ = rec.get();
    main_->SetCapture(std::move(rec));
    view_ = main_->imvViewer;
  }
  void TearDown() override {
    EndProgram();
    capture::FreeSyncManager();
    win::MSG msg;
    while (win::PeekMessageA(&msg, nullptr, win::WM_QUIT, win::WM_QUIT, win::PM_REMOVE)) {
    }
    mg::SystemDeviceEnum::RemoveProvider(sim_);
    sim_->Clear();
    AppTest::TearDown();
  }

  // The slots as "caption<picture's name>" (the picture when it differs).
  std::vector<std::string> Slots() const {
    std::vector<std::string> out;
    for (int32_t i = 0; i < view_->GetImageCount(); ++i) {
      const std::string caption = rtl::WideToUtf8(view_->GetImageBottomText(i)->Caption());
      const std::string picture = fs::path(view_->GetImageFileName(i)).filename();
      out.push_back(picture == caption ? caption : caption + "<" + picture + ">");
    }
    return out;
  }
  std::vector<std::string> Combo() const {
    std::vector<std::string> out;
    for (int32_t i = 0; i < main_->cmbPath->Items()->Count(); ++i) out.push_back(main_->cmbPath->Items()->Get(i));
    return out;
  }
  // Selects the slots in this order, as Ctrl+clicks do.
  void Select(std::initializer_list<int32_t> slots) {
    view_->DeselectAll();
    for (int32_t slot : slots) {
      bool done = false;
      for (int y = 0; y < view_->ClientHeight() + view_->ContentHeight() && !done; y += 3)
        for (int x = 0; x < view_->ClientWidth() && !done; x += 3)
          if (view_->ImageAtPos(x, y) == slot) {
            view_->SelectAtPos(x, y, forms::TShiftState{forms::ssCtrl});
            done = true;
          }
      ASSERT_TRUE(done) << "slot " << slot << " not found on the view";
    }
  }
  void Browse(const std::string& album) {
    TGlobalVars& g = GlobalVars();
    g.OD_Path = album;
    main_->ActionFileBrowse->Execute();
  }
  void Tick(uint64_t ms) {
    clock_.Advance(ms);
    forms::Application->ProcessMessages();
  }
  std::string Trash() const { return home_ + "/.local/share/Trash"; }

  rtl::ScopedVirtualClock clock_;
  Boxes boxes_;
  forms::ScopedMessageBoxPresenter boxPresenter_{&boxes_};
  Dialogs dialogs_;
  forms::ScopedDialogPresenter dialogPresenter_{&dialogs_};
  std::shared_ptr<mg::sim::SimDeviceProvider> sim_;
  TfrmMain* main_ = nullptr;
  PlayerRecorder* rec_ = nullptr;
  imaging::TImgKitMView* view_ = nullptr;
};

TEST(MediaKinds, TheLastFourCharactersTellTheKind) {
  struct Case {
    const char* name;
    TMediaKind kind;
  };
  for (const Case& c : {Case{"a.jpg", mkPicture}, Case{"x.JPG", mkPicture}, Case{"b.Bmp", mkPicture},
                        Case{"x.jpeg", mkOther}, Case{"c.avi", mkVideo}, Case{"C.WMV", mkVideo},
                        Case{"d.mpg", mkVideo}, Case{"e.asf", mkVideo}, Case{"f.mp4", mkOther}, Case{".jpg", mkPicture},
                        Case{"jpg", mkOther}, Case{"", mkOther}})
    EXPECT_EQ(MediaKindOfFile(c.name), c.kind) << c.name;
}

TEST(ItemNames, EmptyDotsSeparatorsAndControlCharactersAreRefused) {
  for (const char* bad : {"", ".", "..", "a/b", "../x", "a\\b", "tab\there", "new\nline"})
    EXPECT_FALSE(IsValidItemName(bad)) << bad;
  for (const char* good : {"Trip", "..x", "a.b", "Holiday 2024", "Fête"}) EXPECT_TRUE(IsValidItemName(good)) << good;
}

TEST(DropFiles, TheBlockHoldsTheHeaderThenTheWideNamesDoublyEnded) {
  const std::vector<uint8_t> block = BuildDropFiles({"/a/b.jpg", "/é"});
  const int32_t header[5] = {20, 0, 0, 0, -1};
  ASSERT_EQ(block.size(), 20u + 2 * (8 + 1 + 2 + 1 + 1) + 8);
  EXPECT_EQ(std::memcmp(block.data(), header, 20), 0);
  std::u16string names(reinterpret_cast<const char16_t*>(block.data() + 20), 13);
  EXPECT_EQ(names, std::u16string(u"/a/b.jpg\0/\u00e9\0\0", 13));
  EXPECT_TRUE(std::all_of(block.end() - 8, block.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(BrowserTest, AScanShowsPicturesAndVideosThroughTheirCompanions) {
  struct Case {
    std::vector<std::string> files;
    uint8_t filter;
    std::vector<std::string> slots;
  };
  const std::vector<Case> cases = {
      {{"a.avi", "a.jpg", "b.jpg"}, 3, {"a.avi<a.jpg>", "b.jpg"}},
      {{"a.avi", "a.jpg", "b.jpg"}, 1, {"b.jpg"}},
      {{"a.avi", "a.jpg", "b.jpg"}, 2, {"a.avi<a.jpg>"}},
      {{"a.jpg", "a.wmv"}, 3, {"a.wmv<a.jpg>"}},
      {{"a.avi"}, 3, {}},  // a video without its picture is not shown
      {{"x.JPG", "x.jpeg", "y.bmp", "notes.txt"}, 3, {"x.JPG", "y.bmp"}},
      // Case matters on Linux: an upper-case video still claims its picture.
      {{"A.AVI", "A.jpg"}, 3, {"A.AVI<A.jpg>"}},
      {{"c.mpg", "c.JPG"}, 3, {"c.mpg<c.JPG>"}},
      {{"d.Jpg", "d.wmV"}, 3, {"d.wmV<d.Jpg>"}},
  };
  for (const Case& c : cases) {
    const std::string dir = root_ + "/scan/";
    fs::remove_all(dir);
    for (const std::string& f : c.files) WriteFile(dir + f, f);
    view_->Clear();
    main_->ScanMediaFolder(c.filter, dir, false);
    EXPECT_EQ(Slots(), c.slots) << c.files[0] << " filter " << int(c.filter);
  }
  // The media file of a slot is the folder of its picture and its caption.
  view_->Clear();
  WriteFile(root_ + "/scan/a.avi", "v");
  WriteFile(root_ + "/scan/a.jpg", "p");
  main_->ScanMediaFolder(3, root_ + "/scan", false);
  EXPECT_EQ(main_->MediaFileOfSlot(0), root_ + "/scan/a.avi");
  EXPECT_EQ(main_->MediaFileOfSlot(99), "");
  // The same pairing asked of single names.
  String found;
  WriteFile(root_ + "/scan/B.WMV", "v");
  WriteFile(root_ + "/scan/B.jpg", "p");
  EXPECT_TRUE(FindCompanionThumbnail(root_ + "/scan/B.WMV", found));
  EXPECT_EQ(found, root_ + "/scan/B.jpg");
  EXPECT_TRUE(FindCompanionVideo(root_ + "/scan/b.JPG", found));
  EXPECT_EQ(found, root_ + "/scan/B.WMV");
  EXPECT_FALSE(FindCompanionVideo(root_ + "/scan/none.jpg", found));
  EXPECT_FALSE(FindCompanionThumbnail(root_ + "/scan/none.avi", found));
  view_->Clear();
  main_->ScanMediaFolder(3, root_ + "/missing/", true);
  EXPECT_EQ(view_->GetImageCount(), 0);
}

TEST_F(BrowserTest, TheAlbumListFollowsTheFoldersAndTheAlbumFolder) {
  TGlobalVars& g = GlobalVars();
  const std::string root = g.ODRootPath;
  for (const char* album : {"Zoo", "Alpha", "default", "Default/Inner"}) fs::create_directories(root + album);
  WriteFile(root + "Default/d.jpg", "d");
  WriteFile(root + "Zoo/deep/z.jpg", "z");
  WriteFile(root + "top.jpg", "t");
  struct Case {
    int32_t index;
    std::string album;
    int32_t wantIndex;
    std::string wantAlbum;
  };
  // "Default" itself is no album; "default" is one.
  const std::vector<std::string> combo = {"All", "Default", "Alpha", "Zoo", "default"};
  for (const Case& c : {
           Case{0, g.ODDefaultPath, 0, g.ODDefaultPath},
           Case{1, g.ODDefaultPath, 1, g.ODDefaultPath},
           // The index follows the album folder when the list has changed.
           Case{2, root + "Zoo/", 3, root + "Zoo/"},
           // An index past the end selects "All".
           Case{9, g.ODDefaultPath, 0, g.ODDefaultPath},
           // A folder that is gone falls back to Default under "All".
           Case{3, root + "Gone/", 0, g.ODDefaultPath},
       }) {
    g.OD_PathIndex = c.index;
    g.OD_Path = c.album;
    main_->ActionHome->Execute();
    main_->ActionOtherDeviceCapture->Execute();
    EXPECT_EQ(Combo(), combo);
    EXPECT_EQ(main_->cmbPath->ItemIndex(), c.wantIndex) << c.index << " " << c.album;
    EXPECT_EQ(g.OD_PathIndex, c.wantIndex);
    EXPECT_EQ(g.OD_Path, c.wantAlbum);
  }
  // "All": the root and every album below it, at any depth.
  EXPECT_EQ(Slots(), (std::vector<std::string>{"d.jpg", "z.jpg", "top.jpg"}));
  EXPECT_FALSE(main_->btnRenamePath->Enabled());
  main_->cmbPath->SetItemIndex(3);
  main_->cmbPathChange(main_->cmbPath);
  EXPECT_EQ(g.OD_PathIndex, 3);
  EXPECT_EQ(g.OD_Path, root + "Zoo/");
  EXPECT_EQ(main_->VidCap->StoragePath(), root + "Zoo/");
  EXPECT_TRUE(main_->btnRenamePath->Enabled());
  EXPECT_TRUE(main_->btnDeletePath->Enabled());
  EXPECT_EQ(Slots(), std::vector<std::string>{}) << "an album shows its own folder only";
  main_->cmbPath->SetItemIndex(1);
  main_->cmbPathChange(main_->cmbPath);
  EXPECT_EQ(Slots(), std::vector<std::string>{"d.jpg"});
  EXPECT_EQ(g.OD_Path, g.ODDefaultPath);
}

TEST_F(BrowserTest, FiltersRebuildTheViewAndMarkTheirButton) {
  TGlobalVars& g = GlobalVars();
  WriteFile(g.ODDefaultPath + "a.avi", "v");
  WriteFile(g.ODDefaultPath + "a.jpg", "p");
  WriteFile(g.ODDefaultPath + "b.jpg", "p");
  main_->ActionOtherDeviceCapture->Execute();
  struct Case {
    controls::TPbButton* TfrmMain::*pressed;
    uint8_t filter;
    std::vector<std::string> slots;
  };
  for (const Case& c : {Case{&TfrmMain::btnShowImage, 1, {"b.jpg"}}, Case{&TfrmMain::btnShowVideo, 2, {"a.avi<a.jpg>"}},
                        Case{&TfrmMain::btnShowAll, 3, {"a.avi<a.jpg>", "b.jpg"}}}) {
    (main_->*c.pressed)->SetEnabled(true);
    (main_->*c.pressed)->Click();
    EXPECT_EQ(g.ODFilter, c.filter);
    EXPECT_EQ(Slots(), c.slots);
    for (auto b : {&TfrmMain::btnShowAll, &TfrmMain::btnShowImage, &TfrmMain::btnShowVideo})
      EXPECT_EQ((main_->*b)->Enabled(), b != c.pressed) << int(c.filter);
  }
}

TEST_F(BrowserTest, TheBrowserShowsTheChosenSourcesFolders) {
  TGlobalVars& g = GlobalVars();
  WriteFile(g.DVDefaultPath + "dv.jpg", "p");
  WriteFile(g.TVDefaultPath + "tv.jpg", "p");
  fs::create_directories(g.TVRootPath + "News");
  main_->ActionOtherDeviceCapture->Execute();
  main_->ActionFileBrowse->Execute();
  EXPECT_EQ(g.BFRootPath, g.ODRootPath);
  main_->SelectBrowseSource(mmTV);
  EXPECT_EQ(Slots(), std::vector<std::string>{"tv.jpg"});
  EXPECT_EQ(Combo(), (std::vector<std::string>{"All", "Default", "News"}));
  EXPECT_FALSE(main_->mniSelect_TV->Enabled());
  EXPECT_TRUE(main_->mniSelect_DV->Enabled());
  main_->mniSelect_DV->Click();
  EXPECT_EQ(Slots(), std::vector<std::string>{"dv.jpg"});
  EXPECT_EQ(g.BFRootPath, g.DVRootPath);
}

TEST_F(BrowserTest, ANewAlbumAsksUntilTheNameIsFreeAndValid) {
  TGlobalVars& g = GlobalVars();
  fs::create_directories(g.ODRootPath + "Trip");
  main_->ActionOtherDeviceCapture->Execute();
  dialogs_.answers = {"trip", "DEFAULT", "", "../escape", "Party"};
  main_->btnNewPath->Click();
  EXPECT_EQ(dialogs_.proposed, (std::vector<std::string>{"New1", "New2", "New3", "New4", "New5"}));
  ASSERT_EQ(dialogs_.messages.size(), 4u);
  EXPECT_EQ(dialogs_.messages[0], "The folder name existed");
  EXPECT_EQ(dialogs_.messages[1], "The folder name existed");
  EXPECT_FALSE(fs::exists(g.ODRootPath + "../escape"));
  EXPECT_TRUE(fs::is_directory(g.ODRootPath + "Party"));
  EXPECT_EQ(Combo().back(), "Party");
  EXPECT_EQ(main_->cmbPath->ItemIndex(), 3);
  EXPECT_EQ(g.OD_PathIndex, 3);
  EXPECT_EQ(g.OD_Path, g.ODRootPath + "Party/");
  EXPECT_EQ(main_->VidCap->StoragePath(), g.ODRootPath + "Party/");
  EXPECT_TRUE(main_->btnDeletePath->Enabled());
  // Cancel ends the questions and makes nothing.
  dialogs_.answers = {std::nullopt};
  main_->btnNewPath->Click();
  EXPECT_EQ(Combo().size(), 4u);
  // A folder that cannot be made (a file is in the way) is told.
  WriteFile(g.ODRootPath + "Blocked", "file");
  dialogs_.answers = {"Blocked"};
  boxes_.texts.clear();
  main_->btnNewPath->Click();
  EXPECT_EQ(boxes_.texts, std::vector<std::string>{"Create new item failed!"});
  EXPECT_EQ(Combo().size(), 4u);
}

TEST_F(BrowserTest, RenamingAnAlbumMovesItsFolderAndNeverOverwrites) {
  TGlobalVars& g = GlobalVars();
  WriteFile(g.ODRootPath + "Trip/a.jpg", "a");
  fs::create_directories(g.ODRootPath + "Work");
  g.OD_Path = g.ODRootPath + "Trip/";
  g.OD_PathIndex = 2;
  main_->ActionOtherDeviceCapture->Execute();
  ASSERT_EQ(main_->cmbPath->ItemIndex(), 2);
  struct Case {
    std::optional<std::string> answer;
    std::string album, message;
  };
  for (const Case& c : {Case{std::nullopt, "Trip", ""}, Case{"TRIP", "Trip", ""},
                        Case{"a/b", "Trip", "\"a/b\" can not be used"}, Case{"Work", "Trip", "Rename Failed!"},
                        Case{"Holiday", "Holiday", ""}}) {
    dialogs_.answers = {c.answer};
    dialogs_.messages.clear();
    main_->btnRenamePath->Click();
    EXPECT_EQ(dialogs_.proposed.back(), Combo()[2] == c.album ? dialogs_.proposed.back() : "Trip");
    EXPECT_EQ(Combo()[2], c.album) << c.answer.value_or("cancel");
    EXPECT_EQ(ReadFile(g.ODRootPath + c.album + "/a.jpg"), "a");
    EXPECT_EQ(g.OD_Path, g.ODRootPath + c.album + "/");
    if (c.message.empty())
      EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.messages[0];
    else
      EXPECT_EQ(dialogs_.messages.at(0).rfind(c.message, 0), 0u) << dialogs_.messages.at(0);
  }
  EXPECT_TRUE(fs::is_empty(g.ODRootPath + "Work"));
  EXPECT_EQ(main_->VidCap->StoragePath(), g.ODRootPath + "Holiday/");
  EXPECT_EQ(main_->cmbPath->ItemIndex(), 2);
  // Renamed in the browser, the album stays the capture mode's album.
  main_->ActionFileBrowse->Execute();
  ASSERT_EQ(main_->cmbPath->ItemIndex(), 2);
  dialogs_.answers = {"Summer"};
  main_->btnRenamePath->Click();
  EXPECT_EQ(g.BF_Path, g.ODRootPath + "Summer/");
  main_->ActionOtherDeviceCapture->Execute();
  EXPECT_EQ(g.OD_Path, g.ODRootPath + "Summer/");
  EXPECT_EQ(Combo()[main_->cmbPath->ItemIndex()], "Summer");
}

TEST_F(BrowserTest, DeletingAnAlbumAsksThenMovesItToTheTrashInEveryMode) {
  TGlobalVars& g = GlobalVars();
  struct Case {
    forms::TAction* TfrmMain::*mode;
    String TGlobalVarsFields::*root;
    String TGlobalVarsFields::*album;
    int32_t TGlobalVarsFields::*index;
  };
  int n = 0;
  for (const Case& c : {Case{&TfrmMain::ActionDVCapture, &TGlobalVarsFields::DVRootPath, &TGlobalVarsFields::DV_Path,
                             &TGlobalVarsFields::DV_PathIndex},
                        Case{&TfrmMain::ActionTVTunerCapture, &TGlobalVarsFields::TVRootPath,
                             &TGlobalVarsFields::TV_Path, &TGlobalVarsFields::TV_PathIndex},
                        Case{&TfrmMain::ActionFileBrowse, &TGlobalVarsFields::ODRootPath, &TGlobalVarsFields::BF_Path,
                             &TGlobalVarsFields::BF_PathIndex}}) {
    const std::string root = g.*c.root, name = "Album" + std::to_string(++n);
    WriteFile(root + name + "/clip.avi", "v");
    WriteFile(root + name + "/clip.jpg", "p");
    fs::create_directories(root + "Zlast");
    main_->ActionHome->Execute();
    if (c.mode == &TfrmMain::ActionFileBrowse) {
      g.OD_Path = root + name + "/";
      g.OD_PathIndex = 2;
    } else {
      g.*c.album = root + name + "/";
      g.*c.index = 2;
    }
    (main_->*c.mode)->Execute();
    ASSERT_EQ(main_->cmbPath->ItemIndex(), 2) << name;
    // No: nothing happens.
    boxes_.answer = forms::IDNO;
    boxes_.texts.clear();
    main_->btnDeletePath->Click();
    ASSERT_EQ(boxes_.texts.size(), 1u);
    EXPECT_NE(boxes_.texts[0].find(name), std::string::npos);
    EXPECT_TRUE(fs::exists(root + name + "/clip.avi"));
    // Yes: the album is in the trash with its info file.
    boxes_.answer = forms::IDYES;
    main_->btnDeletePath->Click();
    EXPECT_FALSE(fs::exists(root + name));
    EXPECT_EQ(ReadFile(Trash() + "/files/" + name + "/clip.avi"), "v");
    const std::string info = ReadFile(Trash() + "/info/" + name + ".trashinfo");
    EXPECT_NE(info.find("Path=" + root + name + "\n"), std::string::npos) << info;
    EXPECT_NE(info.find("DeletionDate="), std::string::npos);
    EXPECT_EQ(Combo(), (std::vector<std::string>{"All", "Default", "Zlast"}));
    // The album that takes its place in the combo is the one recorded into.
    EXPECT_EQ(main_->cmbPath->ItemIndex(), 2);
    EXPECT_EQ(g.*c.album, root + "Zlast/");
    EXPECT_EQ(main_->VidCap->StoragePath(), root + "Zlast/");
    EXPECT_EQ(g.*c.index, 2);
  }
}

TEST_F(BrowserTest, DeletingFilesAsksAndTakesTheCompanionAlongAndKeepsWhatCannotGo) {
  TGlobalVars& g = GlobalVars();
  const std::string d = g.ODDefaultPath;
  for (const char* f : {"a.avi", "a.jpg", "b.jpg", "c.jpg", "d.jpg"}) WriteFile(d + f, f);
  main_->ActionOtherDeviceCapture->Execute();
  ASSERT_EQ(Slots(), (std::vector<std::string>{"a.avi<a.jpg>", "b.jpg", "c.jpg", "d.jpg"}));
  Select({2, 0, 1});
  fs::remove(d + "c.jpg");  // gone behind the program's back: it cannot be moved
  boxes_.answer = forms::IDNO;
  main_->ActionDelete->Execute();
  EXPECT_TRUE(fs::exists(d + "a.avi"));
  EXPECT_EQ(view_->GetImageCount(), 4);
  boxes_.answer = forms::IDYES;
  boxes_.texts.clear();
  main_->ActionDelete->Execute();
  EXPECT_EQ(Slots(), (std::vector<std::string>{"c.jpg", "d.jpg"}));
  for (const char* f : {"a.avi", "a.jpg", "b.jpg"}) {
    EXPECT_FALSE(fs::exists(d + f)) << f;
    EXPECT_EQ(ReadFile(Trash() + "/files/" + f), f);
  }
  ASSERT_EQ(boxes_.texts.size(), 2u);
  EXPECT_NE(boxes_.texts[1].find(d + "c.jpg"), std::string::npos) << boxes_.texts[1];
  EXPECT_EQ(ReadFile(d + "d.jpg"), "d.jpg");
}

TEST_F(BrowserTest, RenamingAVideoRenamesItsCompanionAndNothingIsOverwritten) {
  TGlobalVars& g = GlobalVars();
  const std::string d = g.ODDefaultPath;
  for (const char* f : {"a.avi", "a.jpg", "p.jpg", "taken.jpg", "z.jpg"}) WriteFile(d + f, f);
  main_->ActionOtherDeviceCapture->Execute();
  main_->ActionFileBrowse->Execute();
  ASSERT_EQ(Slots(), (std::vector<std::string>{"a.avi<a.jpg>", "p.jpg", "taken.jpg", "z.jpg"}));
  struct Case {
    int32_t slot;
    std::string answer;
    std::string slotAfter;
    std::vector<std::string> boxes;
  };
  for (const Case& c : {
           Case{0, "b.avi", "b.avi<b.jpg>", {}},
           Case{0, "B.AVI", "b.avi<b.jpg>", {}},  // other letter case only: nothing
           Case{1, "taken.jpg", "p.jpg", {"Rename Failed!"}},
           // The companion's new name is taken: the video keeps its name too.
           Case{0, "z.avi", "b.avi<b.jpg>", {"Rename Failed!"}},
           Case{1, "q.jpg", "q.jpg", {}},
           // A name without the file's kind keeps the old extension.
           Case{0, "holiday", "holiday.avi<holiday.jpg>", {}},
           Case{0, "b.txt", "b.txt.avi<b.txt.jpg>", {}},
           Case{1, "../q.jpg", "q.jpg", {"\"../q.jpg\" can not be used"}},
       }) {
    view_->SetSelectedImage(c.slot);
    dialogs_.answers = {c.answer};
    boxes_.texts.clear();
    main_->RenameMediaFile();
    EXPECT_EQ(Slots()[c.slot], c.slotAfter) << c.answer;
    ASSERT_EQ(boxes_.texts.size(), c.boxes.size()) << c.answer;
    for (size_t i = 0; i < c.boxes.size(); ++i) EXPECT_EQ(boxes_.texts[i].rfind(c.boxes[i], 0), 0u) << c.answer;
  }
  EXPECT_EQ(ReadFile(d + "b.txt.avi"), "a.avi");
  EXPECT_EQ(ReadFile(d + "b.txt.jpg"), "a.jpg");
  EXPECT_EQ(ReadFile(d + "taken.jpg"), "taken.jpg");
  EXPECT_EQ(ReadFile(d + "z.jpg"), "z.jpg");
  EXPECT_EQ(ReadFile(d + "q.jpg"), "p.jpg");
  EXPECT_EQ(dialogs_.proposed.front(), "a.avi");
  // The rename dialog's texts.
  TfrmRename dialog(nullptr);
  EXPECT_EQ(dialog.Caption(), "Rename");
  EXPECT_EQ(dialog.btnOK->Caption(), "OK");
  EXPECT_EQ(dialog.btnCancel->Caption(), "Cancel");
}

TEST_F(BrowserTest, CopyPutsTheFilesOnTheClipboardInSelectionOrder) {
  TGlobalVars& g = GlobalVars();
  const std::string d = g.ODDefaultPath;
  for (const char* f : {"a.avi", "a.jpg", "b.jpg", "c.jpg"}) WriteFile(d + f, f);
  main_->ActionOtherDeviceCapture->Execute();
  Select({2, 0, 1});
  main_->ActionCopy->Execute();
  ASSERT_TRUE(win::OpenClipboard(nullptr));
  const win::HGLOBAL drop = win::GetClipboardData(win::CF_HDROP);
  const win::HGLOBAL effect = win::GetClipboardData(win::RegisterClipboardFormat("Preferred DropEffect"));
  ASSERT_TRUE(drop && effect);
  const std::vector<uint8_t> want = BuildDropFiles({d + "c.jpg", d + "a.avi", d + "a.jpg", d + "b.jpg"});
  ASSERT_EQ(win::GlobalSize(drop), want.size());
  EXPECT_EQ(std::memcmp(win::GlobalLock(drop), want.data(), want.size()), 0);
  EXPECT_EQ(*static_cast<uint32_t*>(win::GlobalLock(effect)), 1u);
  win::GlobalUnlock(drop);
  win::GlobalUnlock(effect);
  win::CloseClipboard();
  // Nothing selected: the clipboard stays as it was.
  view_->DeselectAll();
  EXPECT_FALSE(main_->CopyFilesToClipboard({}));
  ASSERT_TRUE(win::OpenClipboard(nullptr));
  EXPECT_TRUE(win::GetClipboardData(win::CF_HDROP));
  win::CloseClipboard();
}

TEST_F(BrowserTest, EnterAndDoubleClickOpenInTheCaptureModesAndPlayInTheBrowser) {
  TGlobalVars& g = GlobalVars();
  const std::string d = g.ODDefaultPath;
  for (const char* f : {"a.avi", "a.jpg", "b.jpg"}) WriteFile(d + f, f);
  std::vector<std::string> opened;
  SetShellOpener([&opened](const String& target) { opened.push_back(target); });
  main_->ActionOtherDeviceCapture->Execute();
  Select({1, 0});
  uint16_t enter = win::VK_RETURN, other = 'A';
  main_->imvViewerKeyDown(view_, other, {});
  EXPECT_TRUE(opened.empty());
  main_->imvViewerKeyDown(view_, enter, {});
  EXPECT_EQ(opened, (std::vector<std::string>{d + "b.jpg", d + "a.avi"}));
  opened.clear();
  main_->imvViewerDblClick(view_);
  EXPECT_EQ(opened.size(), 2u);
  // In the browser the same gestures play the selection.
  main_->ActionFileBrowse->Execute();
  Select({1, 0});
  opened.clear();
  main_->imvViewerDblClick(view_);
  EXPECT_TRUE(opened.empty());
  EXPECT_FALSE(main_->PlayIdle);
  EXPECT_EQ(main_->PlayCount, 2);
  EXPECT_TRUE(main_->tmrPlayMediaFiles->Enabled());
  main_->btnStop->Click();
  // On the start page they do nothing.
  main_->ActionHome->Execute();
  main_->imvViewerDblClick(view_);
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(main_->PlayIdle);
  SetShellOpener(nullptr);
}

TEST_F(BrowserTest, TheSlideShowShowsPicturesATickAndVideosToTheirEnd) {
  TGlobalVars& g = GlobalVars();
  const std::string d = g.ODDefaultPath;
  for (const char* f : {"a.jpg", "b.avi", "b.jpg", "c.jpg"}) WriteFile(d + f, f);
  main_->ActionOtherDeviceCapture->Execute();
  main_->ActionFileBrowse->Execute();
  ASSERT_EQ(Slots(), (std::vector<std::string>{"a.jpg", "b.avi<b.jpg>", "c.jpg"}));
  Select({0, 1, 2});
  rec_->calls.clear();
  const uint64_t t0 = rtl::GetTickCount64();
  auto at = [t0](const char* file, uint64_t ms) { return std::string("Open ") + file + " @" + std::to_string(t0 + ms); };
  main_->ActionPlay->Execute();
  EXPECT_FALSE(main_->PlayIdle);
  EXPECT_EQ(main_->PlayCount, 3);
  Tick(1500);
  Tick(1500);
  EXPECT_FALSE(main_->btnPlay->Enabled());
  EXPECT_TRUE(main_->btnStop->Enabled());
  // The video plays on through the ticks until its end.
  Tick(1500);
  Tick(1000);
  main_->VidCapPlayerEndOfStream(nullptr);
  EXPECT_TRUE(main_->btnPlay->Enabled());
  Tick(500);
  EXPECT_FALSE(main_->PlayIdle);
  // The last picture stays one tick, then the show ends.
  Tick(1500);
  EXPECT_EQ(rec_->calls, (std::vector<std::string>{"Stop", at("a.jpg", 1500), at("b.avi", 3000), at("c.jpg", 6000)}));
  EXPECT_TRUE(main_->PlayIdle);
  EXPECT_FALSE(main_->tmrPlayMediaFiles->Enabled());

  // Stop in between ends the show.
  main_->ActionPlay->Execute();
  Tick(1500);
  main_->btnStop->Click();
  EXPECT_TRUE(main_->PlayIdle);
  EXPECT_FALSE(main_->tmrPlayMediaFiles->Enabled());
  rec_->calls.clear();
  Tick(1500);
  EXPECT_TRUE(rec_->calls.empty());

  // "Go to head": nothing on the first file of a show, the start with one.
  main_->ActionPlay->Execute();
  Tick(1500);
  rec_->calls.clear();
  main_->btnHead->Click();
  EXPECT_TRUE(rec_->calls.empty());
  main_->btnStop->Click();
  Select({1});
  main_->ActionPlay->Execute();
  Tick(1500);
  rec_->calls.clear();
  main_->btnHead->Click();
  EXPECT_EQ(rec_->calls, std::vector<std::string>{"Position 0"});
  // Leaving the browser ends a running show.
  main_->ActionOtherDeviceCapture->Execute();
  EXPECT_TRUE(main_->PlayIdle);
  EXPECT_FALSE(main_->tmrPlayMediaFiles->Enabled());
}

TEST_F(BrowserTest, PlayerButtonsFollowThePlayerState) {
  using B = controls::TPbButton* TfrmMain::*;
  const B buttons[] = {&TfrmMain::btnPlay,         &TfrmMain::btnStop, &TfrmMain::btnPause,       &TfrmMain::btnRewinds,
                       &TfrmMain::btnFastForwards, &TfrmMain::btnBack, &TfrmMain::btnBFShotFrame};
  const std::vector<std::vector<bool>> table = {{1, 0, 0, 1, 1, 1, 0}, {0, 1, 1, 1, 1, 1, 1}, {1, 1, 0, 1, 1, 1, 1},
                                                {1, 1, 1, 1, 1, 0, 1}, {1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1}};
  main_->ActionFileBrowse->Execute();
  main_->btnHead->SetEnabled(false);
  for (uint8_t state = 1; state <= 6; ++state) {
    main_->SetPlayerButtons(state);
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ((main_->*buttons[i])->Enabled(), table[state - 1][i]) << int(state) << i;
    EXPECT_FALSE(main_->btnHead->Enabled()) << "the other buttons keep their state";
  }
  struct Click {
    B button;
    std::string call;
    uint8_t state;
  };
  for (const Click& c : {Click{&TfrmMain::btnPause, "Pause", 3}, Click{&TfrmMain::btnPlay, "Run", 2}}) {
    rec_->calls.clear();
    (main_->*c.button)->SetEnabled(true);
    (main_->*c.button)->Click();
    EXPECT_EQ(rec_->calls, std::vector<std::string>{c.call});
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ((main_->*buttons[i])->Enabled(), table[c.state - 1][i]) << c.call << i;
  }
}

TEST_F(BrowserTest, NewRecordingsAndSnapshotsJoinTheColumn) {
  TGlobalVars& g = GlobalVars();
  const std::string d = g.ODDefaultPath;
  main_->ActionOtherDeviceCapture->Execute();
  ASSERT_EQ(main_->VidCap->StoragePath(), d);
  clock_.clock().SetNow(rtl::EncodeDateTime(2024, 3, 8, 14, 5, 9, 0));
  WriteFile(d + "File0001.avi", "v");
  WriteFile(d + "File0001.jpg", "p");
  main_->VidCapRecordingCompleted(nullptr, d + "File0001.avi", true);
  WriteFile(d + "Shot0001.jpg", "s");
  main_->VidCapFrameCaptureCompleted(nullptr, {}, capture::fc_JpegFile, d + "Shot0001.jpg", true);
  EXPECT_EQ(Slots(),
            (std::vector<std::string>{"File0001-240308_140509.avi<File0001-240308_140509.jpg>", "Shot0001.jpg"}));
  // Pictures only: a new video does not join.
  main_->ShowPicturesOnly();
  WriteFile(d + "File0002.avi", "v");
  WriteFile(d + "File0002.jpg", "p");
  main_->VidCapRecordingCompleted(nullptr, d + "File0002.avi", true);
  EXPECT_EQ(Slots(), std::vector<std::string>{"Shot0001.jpg"});
  // The browser's own snapshot button: its pictures join too.
  main_->ActionFileBrowse->Execute();
  rec_->calls.clear();
  main_->btnBFShotFrame->SetEnabled(true);
  main_->btnBFShotFrame->Click();
  EXPECT_EQ(rec_->calls, std::vector<std::string>{"Burst"});
  const size_t before = Slots().size();
  WriteFile(d + "Shot0002.jpg", "s");
  main_->VidCapFrameCaptureCompleted(nullptr, {}, capture::fc_JpegFile, d + "Shot0002.jpg", true);
  ASSERT_EQ(Slots().size(), before + 1);
  EXPECT_EQ(Slots().back(), "Shot0002.jpg");
}

}  // namespace
