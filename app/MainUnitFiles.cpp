// What the user does with the browser's thumbnails: the view's mouse, key
// and selection handling, open, copy to the clipboard, delete (to the
// desktop's trash), rename, and the albums: new, rename, delete.
#include <algorithm>
#include <cstring>

#include "app/DataFolders.h"
#include "app/MainUnit.h"
#include "app/ResStr.h"
#include "app/ShellOpen.h"
#include "app/frmRename.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/MsgDialogs.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/Text.h"
#include "platform/shell/Trash.h"
#include "platform/win/Clipboard.h"
#include "platform/win/Input.h"
#include "platform/win/Paint.h"

namespace app {

using namespace forms;

namespace {

// Fixed texts of the album questions.
constexpr const char* kNewFolderCaption = "New folder";
constexpr const char* kNewFolderPrompt = "Please input new folder name";
constexpr const char* kFolderNameExisted = "The folder name existed";
constexpr const char* kAlbumRenameFailed = "Rename Failed!";
// Texts of what this program adds: the questions before anything goes to
// the trash, and the names it refuses.
constexpr const char* kConfirmDeleteFiles = "Move the selected files to the Trash?";
constexpr const char* kConfirmDeleteAlbum = "Move the album \"%s\" and everything in it to the Trash?";
constexpr const char* kDeleteFailed = "These files could not be moved to the Trash:\r%s";
constexpr const char* kInvalidName = "\"%s\" can not be used as a name: it must not be empty, \".\" or \"..\", "
                                     "or hold \"/\", \"\\\" or control characters.";

String FolderOf(const String& name) {
  const size_t slash = name.find_last_of('/');
  return slash == String::npos ? String() : name.substr(0, slash + 1);
}

String WithoutLastFour(const String& name) { return name.size() >= 4 ? name.substr(0, name.size() - 4) : String(); }

String Fill(const char* text, const String& value) {
  String out = text;
  const size_t at = out.find("%s");
  if (at != String::npos) out.replace(at, 2, value);
  return out;
}

bool Confirm(const String& text) {
  return MessageBox(nullptr, text, MSG_APPLICATION_WARNING, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void RenameFailedBox() {
  MessageBox(nullptr, MSG_RENAME_RENAMEFAILED, MSG_APPLICATION_WARNING, MB_OK | MB_ICONWARNING);
}

// Asks through the rename dialog; true and the name when the user gave a
// new one (another name than `old` in more than letter case).
bool AskNewName(TComponent* owner, const String& old, String& answer) {
  TfrmRename dialog(owner);
  dialog.SetOldName(old);
  if (DialogPresenter()->ShowDialog(&dialog) == mrCancel) return false;
  answer = dialog.GetNewName();
  return !rtl::SameText(answer, old);
}

}  // namespace

std::vector<uint8_t> BuildDropFiles(const std::vector<String>& Files) {
  std::u16string names;
  for (const String& f : Files) {
    names += rtl::Utf8ToWide(f);
    names.push_back(u'\0');
  }
  names.push_back(u'\0');
  std::vector<uint8_t> block(20 + names.size() * 2 + 8, 0);
  const int32_t header[5] = {20, 0, 0, 0, -1};
  std::memcpy(block.data(), header, sizeof header);
  std::memcpy(block.data() + 20, names.data(), names.size() * 2);
  return block;
}

// ---------------------------------------------------------------- view

void TfrmMain::imvViewerMouseUp(TObject*, TMouseButton Button, TShiftState, int X, int Y) {
  if (Button != mbRight) return;
  const int32_t at = imvViewer->ImageAtPos(X, Y);
  const int32_t selected = imvViewer->GetMultiSelectedCount();
  if (selected == 0) return;
  if (selected == 1) {
    imvViewer->SetSelectedImage(at);
  } else if (!imvViewer->IsImageSelected(at)) {
    imvViewer->SetSelectedImage(at);
  }
  const TPoint p = imvViewer->ClientToScreen(TPoint{X, Y});
  mnuFile->Popup(p.x, p.y);
}

void TfrmMain::imvViewerDblClick(TObject*) {
  switch (GlobalVars().Mode) {
    case mmBF: PlaySelection(); break;
    case mmDV:
    case mmTV:
    case mmOD: OpenSelectedFiles(); break;
    default: break;
  }
}

void TfrmMain::imvViewerKeyDown(TObject* Sender, uint16_t& Key, TShiftState) {
  if (Key == win::VK_RETURN) imvViewerDblClick(Sender);
}

// A single click in the browser shows the picture, or the first frame of
// the video, while no slide show runs.
void TfrmMain::imvViewerImageSelect(TObject*, int32_t) {
  if (GlobalVars().Mode != mmBF || imvViewer->GetMultiSelectedCount() > 1 || !PlayIdle) return;
  const win::HWND video = VidCap->HandleAllocated() ? VidCap->Handle() : nullptr;
  if (video) win::LockWindowUpdate(video);
  PlayList->Clear();
  String file;
  if (imvViewer->GetMultiSelectedCount() == 1) file = MediaFileOfSlot(imvViewer->GetMultiSelectedImage(0));
  const TMediaKind kind = MediaKindOfFile(file);
  if (kind != mkOther) PlayList->Add(file);
  NextItemDue = true;
  PlayIndex = 0;
  PlayCount = 1;
  PlayMediaItem(file);
  if (kind == mkVideo) {
    try {
      capture_->StopPlayer();
    } catch (...) {
    }
  }
  if (video) win::LockWindowUpdate(nullptr);
  NextItemDue = true;
  PlayIdle = true;
}

// ---------------------------------------------------------------- files

void TfrmMain::OpenSelectedFiles() {
  try {
    for (int32_t i = 0; i < imvViewer->GetMultiSelectedCount(); ++i)
      ShellOpen(MediaFileOfSlot(imvViewer->GetMultiSelectedImage(i)));
  } catch (...) {
  }
}

void TfrmMain::CopySelectedFiles() {
  std::vector<String> files;
  for (int32_t i = 0; i < imvViewer->GetMultiSelectedCount(); ++i) {
    const int32_t slot = imvViewer->GetMultiSelectedImage(i);
    const String media = MediaFileOfSlot(slot);
    switch (MediaKindOfFile(media)) {
      case mkPicture: files.push_back(media); break;
      case mkVideo:
        files.push_back(media);
        files.push_back(imvViewer->GetImageFileName(slot));
        break;
      default: break;
    }
  }
  CopyFilesToClipboard(files);
}

bool TfrmMain::CopyFilesToClipboard(const std::vector<String>& Files) {
  if (Files.empty()) return false;
  const win::UINT effectFormat = win::RegisterClipboardFormat("Preferred DropEffect");
  if (!effectFormat) return false;
  const std::vector<uint8_t> drop = BuildDropFiles(Files);
  win::HGLOBAL effect = win::GlobalAlloc(win::GMEM_MOVEABLE | win::GMEM_ZEROINIT | win::GMEM_DDESHARE, 4);
  win::HGLOBAL list = win::GlobalAlloc(win::GMEM_MOVEABLE | win::GMEM_ZEROINIT | win::GMEM_DDESHARE, drop.size());
  void* effectBytes = effect ? win::GlobalLock(effect) : nullptr;
  void* listBytes = list ? win::GlobalLock(list) : nullptr;
  if (!effectBytes || !listBytes) {
    if (effect) win::GlobalFree(effect);
    if (list) win::GlobalFree(list);
    return false;
  }
  const uint32_t copy = 1;  // the files are copied, not moved, when pasted
  std::memcpy(effectBytes, &copy, 4);
  std::memcpy(listBytes, drop.data(), drop.size());
  win::GlobalUnlock(effect);
  win::GlobalUnlock(list);
  if (!win::OpenClipboard(nullptr)) {
    win::GlobalFree(effect);
    win::GlobalFree(list);
    return false;
  }
  win::EmptyClipboard();
  win::SetClipboardData(win::CF_HDROP, list);
  win::SetClipboardData(effectFormat, effect);
  win::CloseClipboard();
  return true;
}

// Everything selected goes to the desktop's trash, after one question; a
// video takes its companion picture along. A file that cannot be moved
// stays, with its slot, and the others go all the same.
void TfrmMain::DeleteSelectedFiles() {
  const int32_t count = imvViewer->GetMultiSelectedCount();
  if (count == 0 || !Confirm(kConfirmDeleteFiles)) return;
  std::vector<int32_t> slots;
  for (int32_t i = 0; i < count; ++i) slots.push_back(imvViewer->GetMultiSelectedImage(i));
  std::vector<int32_t> gone;
  String failed;
  for (int32_t slot : slots) {
    const String media = MediaFileOfSlot(slot);
    if (media.empty()) continue;
    if (!shell::MoveToTrash(media).ok) {
      failed += media + "\r";
      continue;
    }
    gone.push_back(slot);
    String companion;
    if (MediaKindOfFile(media) == mkVideo && FindCompanionThumbnail(media, companion))
      shell::MoveToTrash(companion);
  }
  std::sort(gone.rbegin(), gone.rend());
  for (int32_t slot : gone) imvViewer->DeleteImage(slot);
  if (!failed.empty()) MessageBox(nullptr, Fill(kDeleteFailed, failed), MSG_APPLICATION_WARNING, MB_OK | MB_ICONWARNING);
}

void TfrmMain::RenameMediaFile() {
  const int32_t slot = imvViewer->SelectedImage();
  if (slot < 0) return;
  const imaging::TIKMText* text = imvViewer->GetImageBottomText(slot);
  if (!text) return;
  const String old = rtl::WideToUtf8(text->Caption());
  const String picture = imvViewer->GetImageFileName(slot);
  const String folder = FolderOf(picture);
  const String media = folder + old;
  const TMediaKind kind = MediaKindOfFile(media);
  if (kind == mkOther) return;
  String answer;
  if (!AskNewName(this, old, answer)) return;
  if (!IsValidItemName(answer)) {
    MessageBox(nullptr, Fill(kInvalidName, answer), MSG_APPLICATION_WARNING, MB_OK | MB_ICONWARNING);
    return;
  }
  // A name without the file's kind (no extension, or another one) keeps
  // the old extension: "holiday" for "clip.avi" would otherwise leave a
  // file the browser no longer shows, and a companion named "hol.jpg".
  if (MediaKindOfFile(answer) != kind) answer += old.substr(old.size() - 4);
  const String renamed = folder + answer;
  if (kind == mkPicture) {
    if (!rtl::RenameFile(media, renamed)) return RenameFailedBox();
    imvViewer->SetImageFileName(slot, renamed);
    imvViewer->GetImageBottomText(slot)->SetCaption(rtl::Utf8ToWide(answer));
    return;
  }
  // A video and its companion change names together or not at all: a
  // video without its picture would vanish from the view, and the picture
  // would show as a picture of its own.
  const String companion = WithoutLastFour(renamed) + ".jpg";
  if (!rtl::RenameFile(media, renamed)) return RenameFailedBox();
  if (picture != companion && !rtl::RenameFile(picture, companion)) {
    rtl::RenameFile(renamed, media);
    return RenameFailedBox();
  }
  imvViewer->GetImageBottomText(slot)->SetCaption(rtl::Utf8ToWide(answer));
  imvViewer->SetImageFileName(slot, companion);
}

// ---------------------------------------------------------------- albums

void TfrmMain::NewAlbum() {
  const TMainMode mode = GlobalVars().Mode;
  const auto set = AlbumSetOf(mode);
  if (!set) return;
  int counter = 1;
  String answer;
  for (;;) {
    answer = MSG_MAIN_NEWPAHTPREFIX + std::to_string(counter);
    if (!InputQuery(kNewFolderCaption, kNewFolderPrompt, answer)) return;
    ++counter;
    bool taken = false;
    for (int32_t i = 0; i < cmbPath->Items()->Count(); ++i)
      taken = taken || rtl::SameText(cmbPath->Items()->Get(i), answer);
    // "Default" is a folder too, whatever the language calls it.
    taken = taken || rtl::SameText(answer, "Default");
    if (taken) {
      ShowMessage(kFolderNameExisted);
      continue;
    }
    if (!IsValidItemName(answer)) {
      ShowMessage(Fill(kInvalidName, answer));
      continue;
    }
    break;
  }
  const String folder = IncludeBackslash(*set->root) + answer + "/";
  if (!rtl::DirectoryExists(folder) && !rtl::ForceDirectories(folder)) {
    MessageBox(nullptr, MSG_MAIN_CREATEPATHFAILED, MSG_APPLICATION_ERROR, MB_OK | MB_ICONERROR);
    return;
  }
  cmbPath->Items()->Add(answer);
  const int32_t index = cmbPath->Items()->Count() - 1;
  cmbPath->SetItemIndex(index);
  *set->index = index;
  *set->album = folder;
  capture_->SetStoragePath(folder);
  cmbPathChange(cmbPath);
  RefreshBrowser();
}

void TfrmMain::RenameAlbum() {
  const int32_t index = cmbPath->ItemIndex();
  const auto set = AlbumSetOf(GlobalVars().Mode);
  if (!set || index <= 1) return;
  const String old = cmbPath->Items()->Get(index);
  String answer;
  if (!AskNewName(this, old, answer)) return;
  if (!IsValidItemName(answer)) {
    ShowMessage(Fill(kInvalidName, answer));
    return;
  }
  const String root = IncludeBackslash(*set->root);
  const String folder = root + answer + "/";
  if (!rtl::RenameFile(root + old, root + answer)) {
    ShowMessage(kAlbumRenameFailed);
    return;
  }
  // The browser's folders are a copy of a capture mode's: that mode keeps
  // recording into the album under its new name.
  for (TMainMode m : {mmDV, mmTV, mmOD, mmBF})
    if (const auto other = AlbumSetOf(m); other && *other->album == IncludeBackslash(root + old)) *other->album = folder;
  *set->album = folder;
  capture_->SetStoragePath(folder);
  cmbPath->Items()->Put(index, answer);
  cmbPath->SetItemIndex(index);
  RefreshBrowser();
}

// The album and all in it go to the desktop's trash, in every mode, after
// the user said so; nothing is deleted for good.
void TfrmMain::DeleteAlbum() {
  const int32_t index = cmbPath->ItemIndex();
  const TMainMode mode = GlobalVars().Mode;
  const auto set = AlbumSetOf(mode);
  if (!set || index <= 1) return;
  const String name = cmbPath->Items()->Get(index);
  if (!IsValidItemName(name)) return;
  if (!Confirm(Fill(kConfirmDeleteAlbum, name))) return;
  const shell::TrashResult r = shell::MoveToTrash(IncludeBackslash(*set->root) + name);
  if (!r.ok) {
    MessageBox(nullptr, Fill(kDeleteFailed, name + "\r" + r.error), MSG_APPLICATION_WARNING, MB_OK | MB_ICONWARNING);
    return;
  }
  cmbPath->Items()->Delete(index);
  cmbPath->SetItemIndex(cmbPath->Items()->Count() - 1);
  // The album gone was the current one: whatever the combo now shows is
  // taken up, even at the same position.
  *set->index = -1;
  cmbPathChange(cmbPath);
}

}  // namespace app
