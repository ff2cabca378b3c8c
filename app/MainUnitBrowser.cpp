// The media browser's column: the thumbnail view, the folders and albums
// of each mode, the pairing of videos with their companion pictures, the
// filters and the choice of the browser's source.
#include <algorithm>
#include <cctype>
#include <map>

#include "app/DataFolders.h"
#include "app/MainUnit.h"
#include "app/ResStr.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/Text.h"
#include "platform/win/Messages.h"

namespace app {

using namespace forms;

namespace {

String Upper(String s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

String WithoutLastFour(const String& name) { return name.size() >= 4 ? name.substr(0, name.size() - 4) : String(); }

String FolderOf(const String& name) {
  const size_t slash = name.find_last_of('/');
  return slash == String::npos ? String() : name.substr(0, slash + 1);
}

String NameOf(const String& name) {
  const size_t slash = name.find_last_of('/');
  return slash == String::npos ? name : name.substr(slash + 1);
}

// The entries of a folder, names sorted: the file system's own order is
// hash order on Linux and would reshuffle the view from one scan to the
// next.
std::vector<rtl::TSearchRec> SortedEntries(const String& folder) {
  std::vector<rtl::TSearchRec> entries;
  rtl::TSearchRec f;
  if (rtl::FindFirst(folder + "*", rtl::faAnyFile, f) == 0) {
    do {
      if (f.Name != "." && f.Name != "..") entries.push_back(f);
    } while (rtl::FindNext(f) == 0);
    rtl::FindClose(f);
  }
  std::sort(entries.begin(), entries.end(),
            [](const rtl::TSearchRec& a, const rtl::TSearchRec& b) { return a.Name < b.Name; });
  return entries;
}

}  // namespace

TMediaKind MediaKindOfFile(const String& FileName) {
  if (FileName.size() < 4) return mkOther;
  const String ext = Upper(FileName.substr(FileName.size() - 4));
  if (ext == ".JPG" || ext == ".BMP") return mkPicture;
  if (ext == ".AVI" || ext == ".WMV" || ext == ".MPG" || ext == ".ASF") return mkVideo;
  return mkOther;
}

// Windows finds "a.jpg" for "A.JPG"; so does the browser here, or a video
// copied in from a camera as "A.AVI" would lose its picture "A.jpg" and
// the picture would show twice.
bool FindCompanionThumbnail(const String& Video, String& Companion) {
  if (Video.size() < 4) return false;
  const String found = rtl::FindFileIgnoringCase(WithoutLastFour(Video) + ".jpg");
  if (found.empty()) return false;
  Companion = found;
  return true;
}

bool FindCompanionVideo(const String& Picture, String& Video) {
  if (Picture.size() < 4) return false;
  bool found = false;
  for (const char* ext : {".avi", ".wmv", ".asf", ".mpg"}) {
    const String name = rtl::FindFileIgnoringCase(WithoutLastFour(Picture) + ext);
    if (!name.empty()) {
      Video = name;
      found = true;
    }
  }
  return found;
}

bool IsValidItemName(const String& Name) {
  if (Name.empty() || Name == "." || Name == "..") return false;
  for (unsigned char c : Name)
    if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) return false;
  return true;
}

std::optional<TfrmMain::AlbumSet> TfrmMain::AlbumSetOf(TMainMode m) {
  TGlobalVars& g = GlobalVars();
  switch (m) {
    case mmDV: return AlbumSet{&g.DVRootPath, &g.DVDefaultPath, &g.DV_Path, &g.DV_PathIndex, &g.DVFilter};
    case mmTV: return AlbumSet{&g.TVRootPath, &g.TVDefaultPath, &g.TV_Path, &g.TV_PathIndex, &g.TVFilter};
    case mmOD: return AlbumSet{&g.ODRootPath, &g.ODDefaultPath, &g.OD_Path, &g.OD_PathIndex, &g.ODFilter};
    case mmBF: return AlbumSet{&g.BFRootPath, &g.BFDefaultPath, &g.BF_Path, &g.BF_PathIndex, &g.BFFilter};
    default: return std::nullopt;
  }
}

void TfrmMain::BuildBrowser() {
  imvViewer = new imaging::TImgKitMView(this);
  imvViewer->SetName("imvViewer");
  imvViewer->SetParent(pnlDV);
  imvViewer->SetBounds(pnlViewerPlace->Left(), pnlViewerPlace->Top(), pnlViewerPlace->Width(),
                       pnlViewerPlace->Height());
  imvViewer->SetBackground(clWhite);
  imvViewer->SetCtl3D(false);
  imvViewer->SetParentCtl3D(false);
  imvViewer->SetStoreType(imaging::iktThumb);
  imvViewer->SetThumbWidth(80);
  imvViewer->SetThumbHeight(60);
  imvViewer->SetMouseInteract(imaging::TIKMMouseInteract{imaging::mmiScroll, imaging::mmiSelect});
  imvViewer->SetGridWidth(-1);
  imvViewer->SetSelectionWidth(2);
  imvViewer->SetSelectionColor(clRed);
  imvViewer->SetImageCacheSize(4);
  imvViewer->SetStyle(imaging::ikmsFlat);
  imvViewer->SetThumbnailsBackground(static_cast<TColor>(0xA6CAF0));
  imvViewer->SetThumbnailsBorderColor(clBlack);
  imvViewer->SetShowHint(true);
  imvViewer->EnableAlphaChannel = true;
  imvViewer->SoftShadow().Enabled = true;
  imvViewer->SetEnableMultiSelect(true);
  imvViewer->SetFillCellBackground(true);
  imvViewer->SetDisplayCacheEnabled(true);
  pnlViewerPlace->SetVisible(false);

  // The window moves with a press on the column as on the rest of the
  // working area, but only beside the thumbnails: moving the window holds
  // the pointer until the button is up, which a press on a thumbnail needs
  // for selecting, its menu and double clicks.
  imvViewer->OnMouseDown = [this](TObject*, TMouseButton button, TShiftState, int x, int y) {
    if (button == mbLeft && imvViewer->ImageAtPos(x, y) < 0) StartWindowDrag();
  };
  imvViewer->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    imvViewerMouseUp(s, b, sh, x, y);
  };
  imvViewer->OnDblClick = [this](TObject* s) { imvViewerDblClick(s); };
  imvViewer->OnKeyDown = [this](TObject* s, uint16_t& key, TShiftState sh) { imvViewerKeyDown(s, key, sh); };
  imvViewer->OnImageSelect = [this](TObject* s, int32_t i) { imvViewerImageSelect(s, i); };

  cmbPath->OnChange = [this](TObject* s) { cmbPathChange(s); };
  btnShowAll->OnClick = [this](TObject*) { ShowAllMedia(); };
  btnShowImage->OnClick = [this](TObject*) { ShowPicturesOnly(); };
  btnShowVideo->OnClick = [this](TObject*) { ShowVideosOnly(); };
  btnSelectPath->OnClick = [this](TObject* s) { btnSelectPathClick(s); };
  mniSelect_DV->OnClick = [this](TObject*) { SelectBrowseSource(mmDV); };
  mniSelect_TV->OnClick = [this](TObject*) { SelectBrowseSource(mmTV); };
  mniSelect_OD->OnClick = [this](TObject*) { SelectBrowseSource(mmOD); };
  btnNewPath->OnClick = [this](TObject*) { NewAlbum(); };
  btnRenamePath->OnClick = [this](TObject*) { RenameAlbum(); };
  btnDeletePath->OnClick = [this](TObject*) { DeleteAlbum(); };
  ActionOpen->OnExecute = [this](TObject*) { OpenSelectedFiles(); };
  ActionCopy->OnExecute = [this](TObject*) { CopySelectedFiles(); };
  ActionDelete->OnExecute = [this](TObject*) { DeleteSelectedFiles(); };
  ActionRename->OnExecute = [this](TObject*) { RenameMediaFile(); };
  ActionPlay->OnExecute = [this](TObject*) { PlaySelection(); };
  ActionRefresh->OnExecute = [this](TObject*) { RefreshBrowser(); };

  tmrPlayMediaFiles->OnTimer = [this](TObject* s) { tmrPlayMediaFilesTimer(s); };
  VidCap->OnPlayerEndOfStream = [this](TObject* s) { VidCapPlayerEndOfStream(s); };
  btnPlay->OnClick = [this](TObject* s) { btnPlayClick(s); };
  btnPause->OnClick = [this](TObject* s) { btnPauseClick(s); };
  btnBack->OnClick = [this](TObject* s) { btnBackClick(s); };
  btnStop->OnClick = [this](TObject* s) { btnStopClick(s); };
  btnRewinds->OnClick = [this](TObject* s) { btnRewindsClick(s); };
  btnFastForwards->OnClick = [this](TObject* s) { btnFastForwardsClick(s); };
  btnHead->OnClick = [this](TObject* s) { btnHeadClick(s); };
  btnEnd->OnClick = [this](TObject* s) { btnEndClick(s); };
  btnBFShotFrame->OnClick = [this](TObject* s) { btnBFShotFrameClick(s); };
}

void TfrmMain::AppendMediaSlot(const String& Picture, const String& Caption) {
  const int32_t slot = imvViewer->AppendImage();
  // Only the name: the view loads the thumbnail on a worker once the slot
  // is in view, so an album of hundreds of files opens at once.
  imvViewer->SetImageFileName(slot, Picture);
  if (imaging::TIKMText* text = imvViewer->GetImageBottomText(slot)) text->SetCaption(rtl::Utf8ToWide(Caption));
}

// The companions are looked up in the folder's own listing, with the
// same case folding as FindCompanionThumbnail and FindCompanionVideo:
// asking the disk for each name would list the folder again for every
// picture without a video.
void TfrmMain::ScanMediaFolder(uint8_t Filter, const String& Folder, bool Recursive) {
  const String folder = IncludeBackslash(Folder);
  if (folder.empty() || !rtl::DirectoryExists(folder)) return;
  const std::vector<rtl::TSearchRec> entries = SortedEntries(folder);
  std::map<String, String> files;  // folded name -> name; sorted, so the smallest wins
  for (const rtl::TSearchRec& f : entries)
    if (!(f.Attr & rtl::faDirectory)) files.emplace(rtl::FoldFileNameCase(f.Name), f.Name);
  auto has = [&files](const String& name) {
    const auto it = files.find(rtl::FoldFileNameCase(name));
    return it == files.end() ? String() : it->second;
  };
  for (const rtl::TSearchRec& f : entries) {
    const String name = folder + f.Name;
    if (f.Attr & rtl::faDirectory) {
      if (Recursive) ScanMediaFolder(Filter, name, true);
      continue;
    }
    const TMediaKind kind = MediaKindOfFile(f.Name);
    const String base = WithoutLastFour(f.Name);
    if ((Filter & 1) && kind == mkPicture) {
      bool video = false;
      for (const char* ext : {".avi", ".wmv", ".asf", ".mpg"}) video = video || !has(base + ext).empty();
      if (!video) AppendMediaSlot(name, f.Name);
    }
    if ((Filter & 2) && kind == mkVideo) {
      const String companion = has(base + ".jpg");
      if (!companion.empty()) AppendMediaSlot(folder + companion, f.Name);
    }
  }
}

void TfrmMain::ShowMediaFolder(TMainMode Mode) {
  const auto set = AlbumSetOf(Mode);
  if (!set) return;
  if (*set->index == 0)
    ScanMediaFolder(*set->filter, *set->root, true);
  else if (*set->index == 1)
    ScanMediaFolder(*set->filter, *set->defaultFolder, false);
  else
    ScanMediaFolder(*set->filter, *set->album, false);
}

// The album list of a mode: "All", "Default", then the albums below the
// mode's root; the mode's album selected.
void TfrmMain::FillAlbumCombo(TMainMode m) {
  cmbPath->Items()->Clear();
  cmbPath->Items()->Add(IDS_MAIN_COMBO_PATH_0);
  cmbPath->Items()->Add(IDS_MAIN_COMBO_PATH_1);
  const auto set = AlbumSetOf(m);
  if (!set) return;
  std::vector<String> albums;
  if (!set->root->empty()) albums = ListAlbumFolders(*set->root);
  for (const String& album : albums) cmbPath->Items()->Add(album);
  int32_t& index = *set->index;
  // The album folder is what recordings use; the index only says where it
  // stands in the list, which changes when albums come and go. The index
  // follows the folder, so the combo never shows another album than the
  // one recorded into.
  if (index >= 2) {
    const String name = NameOf(rtl::ExcludeTrailingPathDelimiter(*set->album));
    const auto it = std::find(albums.begin(), albums.end(), name);
    if (it != albums.end() && IncludeBackslash(*set->root) + name + "/" == IncludeBackslash(*set->album))
      index = static_cast<int32_t>(it - albums.begin()) + 2;
    else if (index >= cmbPath->Items()->Count())
      index = 0;
  }
  if (index < 0 || index >= cmbPath->Items()->Count()) index = 0;
  if (!rtl::DirectoryExists(*set->album)) {
    index = 0;
    *set->album = *set->defaultFolder;
  }
  cmbPath->SetItemIndex(index);
}

void TfrmMain::cmbPathChange(TObject*) {
  const int32_t index = cmbPath->ItemIndex();
  btnRenamePath->SetEnabled(index > 1);
  btnDeletePath->SetEnabled(index > 1);
  const TMainMode mode = GlobalVars().Mode;
  const auto set = AlbumSetOf(mode);
  if (!set || index == *set->index || index < 0) return;
  *set->index = index;
  *set->album = index <= 1 ? *set->defaultFolder : IncludeBackslash(*set->root) + cmbPath->Items()->Get(index) + "/";
  capture_->SetStoragePath(*set->album);
  imvViewer->Clear();
  ShowMediaFolder(mode);
}

namespace {
void FilterButtons(TfrmMain& w, uint8_t filter) {
  w.btnShowAll->SetEnabled(filter != 3);
  w.btnShowImage->SetEnabled(filter != 1);
  w.btnShowVideo->SetEnabled(filter != 2);
}
}  // namespace

void TfrmMain::ShowAllMedia() {
  if (const auto set = AlbumSetOf(GlobalVars().Mode)) *set->filter = 3;
  RefreshBrowser();
  FilterButtons(*this, 3);
}

void TfrmMain::ShowPicturesOnly() {
  if (const auto set = AlbumSetOf(GlobalVars().Mode)) *set->filter = 1;
  RefreshBrowser();
  FilterButtons(*this, 1);
}

void TfrmMain::ShowVideosOnly() {
  if (const auto set = AlbumSetOf(GlobalVars().Mode)) *set->filter = 2;
  RefreshBrowser();
  FilterButtons(*this, 2);
}

void TfrmMain::RefreshBrowser() {
  imvViewer->Clear();
  ShowMediaFolder(GlobalVars().Mode);
}

void TfrmMain::btnSelectPathClick(TObject*) {
  const TPoint p = btnSelectPath->ClientToScreen(TPoint{0, btnSelectPath->Height() + 1});
  mnuSelectDeviceType->Popup(p.x, p.y);
}

void TfrmMain::SelectBrowseSource(TMainMode Source) {
  TGlobalVars& g = GlobalVars();
  const auto from = AlbumSetOf(Source);
  if (!from || Source == mmBF) return;
  g.BF_Path = *from->album;
  g.BFRootPath = *from->root;
  g.BFDefaultPath = *from->defaultFolder;
  g.BF_PathIndex = *from->index;
  mniSelect_DV->SetEnabled(Source != mmDV);
  mniSelect_TV->SetEnabled(Source != mmTV);
  mniSelect_OD->SetEnabled(Source != mmOD);
  FillAlbumCombo(mmBF);
  btnDeletePath->SetEnabled(cmbPath->ItemIndex() >= 2);
  btnRenamePath->SetEnabled(cmbPath->ItemIndex() >= 2);
  imvViewer->Clear();
  ShowMediaFolder(mmBF);
  FilterButtons(*this, g.BFFilter);
}

String TfrmMain::MediaFileOfSlot(int32_t index) const {
  const imaging::TIKMText* text = imvViewer->GetImageBottomText(index);
  if (!text) return String();
  return FolderOf(imvViewer->GetImageFileName(index)) + rtl::WideToUtf8(text->Caption());
}

void TfrmMain::ShowNewMedia(const String& Picture, const String& Caption, bool IsVideo) {
  const TMainMode mode = GlobalVars().Mode;
  uint8_t filter = 0;
  if (mode == mmDV || mode == mmTV || mode == mmOD) filter = *AlbumSetOf(mode)->filter;
  // The browser's own snapshots (its snapshot button) show as the capture
  // modes show theirs.
  if (mode == mmBF && !IsVideo) filter = GlobalVars().BFFilter;
  const uint8_t bit = IsVideo ? 2 : 1;
  const String shown = IncludeBackslash(VidCap->StoragePath());
  if ((filter & bit) && rtl::SameText(FolderOf(IsVideo ? Caption : Picture), shown))
    AppendMediaSlot(Picture, NameOf(Caption));
  if (!imvViewer->HandleAllocated()) return;
  // A recording's slot is there before the preview comes back; a burst's
  // pictures arrive while frames are grabbed, so their scroll waits for
  // the message loop.
  if (IsVideo)
    win::SendMessage(imvViewer->Handle(), win::WM_VSCROLL, win::SB_BOTTOM, 0);
  else
    win::PostMessage(imvViewer->Handle(), win::WM_VSCROLL, win::SB_BOTTOM, 0);
}

}  // namespace app
