#include "app/frmAbout.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>
#include <thread>
#include <vector>

#include "app/Globals.h"
#include "app/ResStr.h"
#include "platform/rtl/Files.h"

extern char** environ;

namespace app {

using namespace forms;

namespace {

constexpr TColor kAboutBackground = 0xFFDBBF;  // red 191, green 219, blue 255
constexpr int kPictureLeft = 14, kPictureTop = 14, kPictureWidth = 125, kPictureHeight = 278;
constexpr int kTextLeft = 156, kTextWidth = 328;

std::mutex g_openerLock;
TLinkOpener g_opener;

void OpenWithDesktop(const String&, const String& target) {
  const pid_t pid = SpawnXdgOpen(target);
  // The desktop's opener returns once it has handed the target on; reap it
  // without holding up the window.
  if (pid > 0) std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
}

void OpenLink(const String& target) {
  TLinkOpener opener;
  {
    std::lock_guard lock(g_openerLock);
    opener = g_opener;
  }
  if (opener)
    opener("Open", target);
  else
    OpenWithDesktop("Open", target);
}

}  // namespace

void SetAboutLinkOpener(TLinkOpener opener) {
  std::lock_guard lock(g_openerLock);
  g_opener = std::move(opener);
}

pid_t SpawnXdgOpen(const String& target) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Its chatter goes nowhere; the window has no place to show it.
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv{const_cast<char*>("xdg-open"), const_cast<char*>(target.c_str()), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

TAboutForm::TAboutForm(TComponent* owner) : TForm(owner) {
  SetName("AboutForm");
  SetBorderStyle(bsDialog);
  SetPosition(poOwnerFormCenter);
  SetColor(kAboutBackground);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);

  imgAbout_ = new TImage(this);
  imgAbout_->SetName("ImgAbout");
  imgAbout_->SetParent(this);
  imgAbout_->SetBounds(kPictureLeft, kPictureTop, kPictureWidth, kPictureHeight);
  LoadPicture();

  lblProductTitle_ = new TLabel(this);
  lblProductTitle_->SetName("lblProductTitle");
  lblProductTitle_->SetParent(this);
  lblProductTitle_->SetTransparent(true);
  lblProductTitle_->Font()->SetSize(12);
  lblProductTitle_->Font()->SetStyle(TFontStyles{fsBold});
  lblProductTitle_->SetLeft(kTextLeft);
  lblProductTitle_->SetTop(20);

  NewLine("BevelTop", Rect(kTextLeft, 52, kTextLeft + kTextWidth, 54));

  lblWarning_ = new TLabel(this);
  lblWarning_->SetName("lblWarning");
  lblWarning_->SetParent(this);
  lblWarning_->SetTransparent(true);
  lblWarning_->SetAutoSize(false);
  lblWarning_->SetWordWrap(true);
  lblWarning_->SetBounds(kTextLeft, 66, 312, 100);

  NewLine("BevelBottom1", Rect(kTextLeft, 176, kTextLeft + kTextWidth, 178));
  lblHomePage_ = NewLink("lblHomePage", 190);
  lblHomePage_->OnClick = [this](TObject* sender) { lblHomePageClick(sender); };
  lblEmail_ = NewLink("lblEmail", 214);
  lblEmail_->OnClick = [this](TObject* sender) { lblEmailClick(sender); };
  NewLine("BevelBottom2", Rect(kPictureLeft, 302, kClientWidth - kPictureLeft, 304));

  btnOK_ = new TButton(this);
  btnOK_->SetName("btnOK");
  btnOK_->SetParent(this);
  btnOK_->SetBounds(kClientWidth - kPictureLeft - 88, 312, 88, 25);
  btnOK_->SetDefault(true);
  btnOK_->SetModalResult(mrOk);
  SetActiveControl(btnOK_);

  OnShow = [this](TObject* sender) { FormShow(sender); };
  ApplyLanguageTexts();
}

TLabel* TAboutForm::NewLink(const char* name, int top) {
  auto* link = new TLabel(this);
  link->SetName(name);
  link->SetParent(this);
  link->SetTransparent(true);
  link->SetShowAccelChar(false);
  link->Font()->SetColor(clBlue);
  link->Font()->SetStyle(TFontStyles{fsUnderline});
  link->SetCursor(crHandPoint);
  link->SetLeft(kTextLeft);
  link->SetTop(top);
  return link;
}

TBevel* TAboutForm::NewLine(const char* name, const TRect& bounds) {
  auto* bevel = new TBevel(this);
  bevel->SetName(name);
  bevel->SetParent(this);
  bevel->SetShape(bsTopLine);
  bevel->SetBoundsRect(bounds);
  return bevel;
}

void TAboutForm::LoadPicture() {
  // A missing or broken picture leaves the place empty; the window still
  // opens.
  const String path = SkinFolder + kAboutPictureFile;
  if (!rtl::FileExists(path)) return;
  try {
    imgAbout_->Picture()->LoadFromFile(path);
  } catch (const std::exception&) {
    imgAbout_->Picture()->SetGraphic(nullptr);
  }
}

void TAboutForm::FormShow(TObject*) { ApplyLanguageTexts(); }

void TAboutForm::ApplyLanguageTexts() {
  SetCaption(IDS_ABOUTFORM_Title);
  lblWarning_->SetCaption(IDS_ABOUTFORM_LABEL_Warning);
  btnOK_->SetCaption(IDS_ABOUTFORM_BUTTON_Ok);
  lblProductTitle_->SetCaption(String(kProductTitle) + " " + kProductVersion);
  lblHomePage_->SetCaption(kHomePageAddress);
  lblEmail_->SetCaption(kSupportAddress);
}

void TAboutForm::lblHomePageClick(TObject*) { OpenLink(kHomePageAddress); }

void TAboutForm::lblEmailClick(TObject*) { OpenLink(String("mailto:") + kSupportAddress); }

}  // namespace app
