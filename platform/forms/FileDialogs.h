#pragma once
// Open and save dialogs. Execute hands the dialog to a replaceable
// presenter: the default one shows our own modal window over the file
// system; tests install one that answers by calling Accept, the same call
// the window makes when OK is pressed, so the naming rules and the checks
// are one code path.
#include <memory>
#include <vector>

#include "platform/forms/Components.h"
#include "platform/rtl/StringList.h"
#include "platform/win/Types.h"

namespace forms {

enum TOpenOption {
  ofReadOnly,
  ofOverwritePrompt,
  ofHideReadOnly,
  ofNoChangeDir,
  ofShowHelp,
  ofNoValidate,
  ofAllowMultiSelect,
  ofExtensionDifferent,
  ofPathMustExist,
  ofFileMustExist,
  ofCreatePrompt,
  ofShareAware,
  ofNoReadOnlyReturn,
  ofNoTestFileCreate,
  ofNoNetworkButton,
  ofNoLongNames,
  ofOldStyleDialog,
  ofNoDereferenceLinks,
  ofEnableIncludeNotify,
  ofEnableSizing,
  ofDontAddToRecent,
  ofForceShowHidden
};
using TOpenOptions = SetOf<TOpenOption>;

// One "description|masks" pair of a Filter; Masks may hold several
// patterns split by ';'.
struct TFileFilter {
  String Description;
  String Masks;
};
// "Text|*.txt|All|*.*" in pairs; a trailing '|' or a description without
// masks is dropped.
std::vector<TFileFilter> ParseFileFilter(const String& filter);
// True when the name matches one of the ';'-separated masks.
bool MatchesFileFilter(const String& name, const String& masks);

class TOpenDialog : public TComponent {
public:
  explicit TOpenDialog(TComponent* owner);
  ~TOpenDialog() override;

  const String& Filter() const { return filter_; }
  void SetFilter(const String& v) { filter_ = v; }
  // 1-based; a value outside the filter's pairs counts as the first.
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int v) { filterIndex_ = v; }
  const String& FileName() const { return fileName_; }
  void SetFileName(const String& v) { fileName_ = v; }
  rtl::TStrings* Files() const { return files_.get(); }
  const String& InitialDir() const { return initialDir_; }
  void SetInitialDir(const String& v) { initialDir_ = v; }
  // Empty means the kind's own title ("Open" or "Save As").
  const String& Title() const { return title_; }
  void SetTitle(const String& v) { title_ = v; }
  String DisplayTitle() const;
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions v) { options_ = v; }
  // Without a dot ("txt"); a leading dot is ignored.
  const String& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const String& v) { defaultExt_ = v; }
  virtual bool IsSaveDialog() const { return false; }

  // Shows the dialog; true when the user chose a name, which is then in
  // FileName (and every name in Files).
  virtual bool Execute();
  bool Execute(win::HWND owner);
  win::HWND OwnerWindow() const { return owner_; }

  // The folder the dialog opens in: InitialDir, else FileName's folder,
  // else the current one.
  String StartFolder() const;
  // Tries the name text typed in `folder` with the filter at `filterIndex`.
  // Names get the default extension and are checked against the options;
  // a refused choice is told through a message box and answers false (the
  // dialog stays open). On success FileName, Files and FilterIndex are set.
  bool Accept(const String& folder, const String& typed, int filterIndex);
  // The full name the text would give, with the default extension rule.
  String ResolveName(const String& folder, const String& name, int filterIndex) const;
  // The typed text split into names: "a" "b" when multi-selecting.
  std::vector<String> SplitNames(const String& typed) const;

  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

private:
  String filter_;
  int filterIndex_ = 1;
  String fileName_;
  std::unique_ptr<rtl::TStringList> files_;
  String initialDir_;
  String title_;
  TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
  String defaultExt_;
  win::HWND owner_ = nullptr;
};

class TSaveDialog : public TOpenDialog {
public:
  using TOpenDialog::TOpenDialog;
  bool IsSaveDialog() const override { return true; }
};

class TFileDialogPresenter {
public:
  virtual ~TFileDialogPresenter() = default;
  // Answers true when the dialog accepted a choice (through Accept).
  virtual bool Present(TOpenDialog& dialog) = 0;
};

// Installs a presenter (not owned); null restores the modal window.
void SetFileDialogPresenter(TFileDialogPresenter* presenter);
TFileDialogPresenter* FileDialogPresenter();

class ScopedFileDialogPresenter {
public:
  explicit ScopedFileDialogPresenter(TFileDialogPresenter* p) : previous_(FileDialogPresenter()) {
    SetFileDialogPresenter(p);
  }
  ~ScopedFileDialogPresenter() { SetFileDialogPresenter(previous_); }
  ScopedFileDialogPresenter(const ScopedFileDialogPresenter&) = delete;
  ScopedFileDialogPresenter& operator=(const ScopedFileDialogPresenter&) = delete;

private:
  TFileDialogPresenter* previous_;
};

}  // namespace forms
