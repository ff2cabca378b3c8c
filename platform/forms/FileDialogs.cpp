#include "platform/forms/FileDialogs.h"

#include <algorithm>

#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/StringUtils.h"

namespace forms {

namespace {

std::vector<String> SplitMasks(const String& masks) {
  std::vector<String> out;
  size_t start = 0;
  while (start <= masks.size()) {
    const size_t end = std::min(masks.find(';', start), masks.size());
    const String m = rtl::Trim(masks.substr(start, end - start));
    if (!m.empty()) out.push_back(m);
    start = end + 1;
  }
  return out;
}

bool HasWildcard(const String& s) { return s.find_first_of("*?") != String::npos; }

String FolderOf(const String& folder) {
  return folder.empty() ? rtl::GetCurrentDir() : rtl::ExcludeTrailingPathDelimiter(folder);
}

}  // namespace

std::vector<TFileFilter> ParseFileFilter(const String& filter) {
  std::vector<String> parts;
  size_t start = 0;
  while (start < filter.size()) {
    const size_t end = std::min(filter.find('|', start), filter.size());
    parts.push_back(filter.substr(start, end - start));
    start = end + 1;
  }
  std::vector<TFileFilter> out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2)
    if (!rtl::Trim(parts[i + 1]).empty()) out.push_back({parts[i], rtl::Trim(parts[i + 1])});
  return out;
}

bool MatchesFileFilter(const String& name, const String& masks) {
  const auto list = SplitMasks(masks);
  if (list.empty()) return true;
  return std::any_of(list.begin(), list.end(), [&](const String& m) { return rtl::MatchesFileSpec(name, m); });
}

// ---- TOpenDialog ----

TOpenDialog::TOpenDialog(TComponent* owner) : TComponent(owner), files_(std::make_unique<rtl::TStringList>()) {}

TOpenDialog::~TOpenDialog() = default;

String TOpenDialog::DisplayTitle() const {
  if (!title_.empty()) return title_;
  return IsSaveDialog() ? "Save As" : "Open";
}

String TOpenDialog::StartFolder() const {
  if (!initialDir_.empty() && rtl::DirectoryExists(initialDir_)) return FolderOf(initialDir_);
  const String dir = rtl::ExtractFileDir(fileName_);
  if (!dir.empty() && rtl::DirectoryExists(dir)) return dir;
  return rtl::GetCurrentDir();
}

std::vector<String> TOpenDialog::SplitNames(const String& typed) const {
  const String text = rtl::Trim(typed);
  std::vector<String> names;
  if (!options_.Contains(ofAllowMultiSelect) || text.empty() || text.front() != '"') {
    // A single name may itself be quoted.
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') names.push_back(text.substr(1, text.size() - 2));
    else if (!text.empty()) names.push_back(text);
    return names;
  }
  size_t i = 0;
  while ((i = text.find('"', i)) != String::npos) {
    const size_t end = text.find('"', i + 1);
    if (end == String::npos) break;
    if (end > i + 1) names.push_back(text.substr(i + 1, end - i - 1));
    i = end + 1;
  }
  return names;
}

String TOpenDialog::ResolveName(const String& folder, const String& name, int filterIndex) const {
  String full = rtl::ExpandFileNameFrom(name, FolderOf(folder));
  String ext = defaultExt_;
  if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
  if (ext.empty() || !rtl::ExtractFileExt(rtl::ExtractFileName(full)).empty()) return full;
  // An existing file opened as typed keeps its name.
  if (!IsSaveDialog() && rtl::FileExists(full)) return full;
  // The chosen type's own extension wins over the default one when the
  // type names exactly one.
  const auto filters = ParseFileFilter(filter_);
  if (filterIndex >= 1 && filterIndex <= static_cast<int>(filters.size())) {
    const auto masks = SplitMasks(filters[static_cast<size_t>(filterIndex - 1)].Masks);
    if (masks.size() == 1 && masks[0].rfind("*.", 0) == 0 && !HasWildcard(masks[0].substr(2)) &&
        masks[0].size() > 2)
      ext = masks[0].substr(2);
  }
  return full + "." + ext;
}

bool TOpenDialog::Accept(const String& folder, const String& typed, int filterIndex) {
  const std::vector<String> names = SplitNames(typed);
  if (names.empty()) return false;
  std::vector<String> resolved;
  for (const String& n : names) {
    const String full = ResolveName(folder, n, filterIndex);
    const String dir = rtl::ExtractFileDir(full);
    if (options_.Contains(ofPathMustExist) && !rtl::DirectoryExists(dir)) {
      MessageBox(owner_, n + "\nPath does not exist.\nCheck the path and try again.", DisplayTitle(),
                 MB_OK | MB_ICONWARNING);
      return false;
    }
    if (options_.Contains(ofFileMustExist) && !rtl::FileExists(full)) {
      MessageBox(owner_, n + "\nFile not found.\nCheck the file name and try again.", DisplayTitle(),
                 MB_OK | MB_ICONWARNING);
      return false;
    }
    resolved.push_back(full);
  }
  if (IsSaveDialog() && options_.Contains(ofOverwritePrompt) && rtl::FileExists(resolved.front())) {
    const int answer = MessageBox(owner_, rtl::ExtractFileName(resolved.front()) +
                                              " already exists.\nDo you want to replace it?",
                                  DisplayTitle(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    if (answer != IDYES) return false;
  }
  fileName_ = resolved.front();
  files_->Clear();
  for (const String& f : resolved) files_->Add(f);
  filterIndex_ = filterIndex;
  return true;
}

bool TOpenDialog::Execute() { return Execute(nullptr); }

bool TOpenDialog::Execute(win::HWND owner) {
  owner_ = owner;
  if (OnShow) OnShow(this);
  const bool ok = FileDialogPresenter()->Present(*this);
  if (OnClose) OnClose(this);
  owner_ = nullptr;
  return ok;
}

// ---- the modal window ----

namespace {

// The dialog's window: the folder's sub-folders on the left, its files of
// the chosen type on the right, the name and type below.
class TFileDialogForm : public TForm {
public:
  explicit TFileDialogForm(TOpenDialog& dialog) : TForm(Application), dialog_(dialog) {
    SetBorderStyle(bsDialog);
    SetColor(clBtnFace);
    SetPosition(poScreenCenter);
    SetCaption(dialog.DisplayTitle());
    SetClientWidth(430);
    SetClientHeight(300);
    folderLabel_ = Make<TLabel>("FolderLabel", 8, 8, 414, 15);
    folders_ = Make<TListBox>("Folders", 8, 28, 160, 180);
    files_ = Make<TListBox>("Files", 176, 28, 246, 180);
    auto* nameLabel = Make<TLabel>("NameLabel", 8, 220, 80, 15);
    nameLabel->SetCaption("File &name:");
    name_ = Make<TEdit>("FileName", 96, 216, 240, 21);
    nameLabel->SetFocusControl(name_);
    auto* typeLabel = Make<TLabel>("TypeLabel", 8, 250, 80, 15);
    typeLabel->SetCaption("Files of &type:");
    types_ = Make<TComboBox>("FileType", 96, 246, 240, 21);
    typeLabel->SetFocusControl(types_);
    types_->SetStyle(csDropDownList);
    files_->SetMultiSelect(dialog.Options().Contains(ofAllowMultiSelect));
    auto* ok = Make<TButton>("OK", 346, 215, 76, 23);
    ok->SetCaption(dialog.IsSaveDialog() ? "&Save" : "&Open");
    ok->SetDefault(true);
    auto* cancel = Make<TButton>("Cancel", 346, 245, 76, 23);
    cancel->SetCaption("Cancel");
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);

    filters_ = ParseFileFilter(dialog.Filter());
    for (const auto& f : filters_) types_->Items()->Add(f.Description);
    const int index = dialog.FilterIndex();
    types_->SetItemIndex(filters_.empty() ? -1 : (index >= 1 && index <= static_cast<int>(filters_.size()) ? index - 1 : 0));
    name_->SetText(rtl::ExtractFileName(dialog.FileName()));
    folder_ = dialog.StartFolder();

    ok->OnClick = [this](TObject*) { OkPressed(); };
    folders_->OnDblClick = [this](TObject*) { OpenSelectedFolder(); };
    files_->OnClick = [this](TObject*) { FilePicked(); };
    files_->OnDblClick = [this](TObject*) {
      FilePicked();
      OkPressed();
    };
    types_->OnChange = [this](TObject*) {
      mask_.clear();
      Fill();
    };
    Fill();
    SetActiveControl(name_);
  }

private:
  template <class T>
  T* Make(const char* name, int x, int y, int w, int h) {
    auto* c = new T(this);
    c->SetName(name);
    c->SetParent(this);
    c->SetBounds(x, y, w, h);
    return c;
  }

  int ChosenFilter() const { return filters_.empty() ? 0 : types_->ItemIndex() + 1; }

  String CurrentMasks() const {
    if (!mask_.empty()) return mask_;
    const int i = ChosenFilter();
    return i >= 1 ? filters_[static_cast<size_t>(i - 1)].Masks : String("*");
  }

  void Fill() {
    folderLabel_->SetCaption(folder_);
    std::vector<String> dirs, names;
    rtl::TSearchRec rec;
    const int32_t attr = rtl::faDirectory | rtl::faReadOnly | rtl::faArchive |
                         (dialog_.Options().Contains(ofForceShowHidden) ? rtl::faHidden : 0);
    if (rtl::FindFirst(rtl::IncludeTrailingPathDelimiter(folder_) + "*", attr, rec) == 0) {
      do {
        if (rec.Name == "." || rec.Name == "..") continue;
        if (rec.Attr & rtl::faDirectory) dirs.push_back(rec.Name);
        else if (MatchesFileFilter(rec.Name, CurrentMasks())) names.push_back(rec.Name);
      } while (rtl::FindNext(rec) == 0);
      rtl::FindClose(rec);
    }
    std::sort(dirs.begin(), dirs.end());
    std::sort(names.begin(), names.end());
    folders_->Items()->Clear();
    if (folder_ != "/") folders_->Items()->Add("..");
    for (const auto& d : dirs) folders_->Items()->Add(d);
    files_->Items()->Clear();
    for (const auto& n : names) files_->Items()->Add(n);
  }

  void ChangeFolder(const String& to) {
    folder_ = rtl::ExcludeTrailingPathDelimiter(rtl::ExpandFileNameFrom(to, folder_));
    if (folder_.empty()) folder_ = "/";
    Fill();
  }

  void OpenSelectedFolder() {
    const int i = folders_->ItemIndex();
    if (i >= 0) ChangeFolder(folders_->Items()->Get(i));
  }

  void FilePicked() {
    if (!files_->MultiSelect()) {
      const int i = files_->ItemIndex();
      if (i >= 0) name_->SetText(files_->Items()->Get(i));
      return;
    }
    // Several names go quoted, one alone stays plain.
    std::vector<String> picked;
    for (int i = 0; i < files_->Items()->Count(); ++i)
      if (files_->Selected(i)) picked.push_back(files_->Items()->Get(i));
    if (picked.size() == 1) {
      name_->SetText(picked.front());
    } else if (!picked.empty()) {
      String text;
      for (const auto& n : picked) text += (text.empty() ? "\"" : " \"") + n + "\"";
      name_->SetText(text);
    }
  }

  void OkPressed() {
    const String typed = rtl::Trim(name_->Text());
    if (typed.empty()) {
      // Enter on the folder list opens the folder.
      if (ActiveControl() == folders_) OpenSelectedFolder();
      return;
    }
    if (HasWildcard(typed)) {
      mask_ = typed;
      Fill();
      return;
    }
    const String full = rtl::ExpandFileNameFrom(typed, folder_);
    if (typed.front() != '"' && rtl::DirectoryExists(full)) {
      ChangeFolder(full);
      name_->SetText("");
      return;
    }
    if (dialog_.Accept(folder_, typed, ChosenFilter())) SetModalResult(mrOk);
  }

  TOpenDialog& dialog_;
  std::vector<TFileFilter> filters_;
  String folder_;
  String mask_;
  TLabel* folderLabel_;
  TListBox* folders_;
  TListBox* files_;
  TEdit* name_;
  TComboBox* types_;
};

class WindowPresenter : public TFileDialogPresenter {
public:
  bool Present(TOpenDialog& dialog) override {
    std::unique_ptr<TFileDialogForm> form(new TFileDialogForm(dialog));
    return form->ShowModal() == mrOk;
  }
};

WindowPresenter g_windowPresenter;
TFileDialogPresenter* g_presenter = nullptr;

}  // namespace

void SetFileDialogPresenter(TFileDialogPresenter* presenter) { g_presenter = presenter; }

TFileDialogPresenter* FileDialogPresenter() { return g_presenter ? g_presenter : &g_windowPresenter; }

}  // namespace forms
