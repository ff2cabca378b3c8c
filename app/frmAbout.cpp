#include "app/frmAbout.h"

#include "app/Globals.h"
#include "app/ResStr.h"
#include "app/ShellOpen.h"
#include "platform/rtl/Files.h"

namespace app {

using namespace forms;

namespace {

constexpr TColor kAboutBackground = 0xFFDBBF;  // red 191, green 219, blue 255
constexpr int kPictureLeft = 14, kPictureTop = 14, kPictureWidth = 125, kPictureHeight = 278;
constexpr int kTextLeft = 156, kTextWidth = 328;

}  // namespace

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
  // The window's only button also answers Escape, as a dialog's close does.
  btnOK_->SetCancel(true);
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

void TAboutForm::lblHomePageClick(TObject*) { ShellOpen(kHomePageAddress); }

void TAboutForm::lblEmailClick(TObject*) { ShellOpen(String("mailto:") + kSupportAddress); }

}  // namespace app
