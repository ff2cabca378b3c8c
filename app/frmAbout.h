#pragma once
// The About window: the product picture, title and version, the legal
// notice, and two links (the home page and the support mail address) that
// the desktop opens.
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"

namespace app {

using rtl::String;

inline constexpr const char* kProductTitle = "Vorix Video Capture";
inline constexpr const char* kProductVersion = "1.0";
inline constexpr const char* kHomePageAddress = "https://vorix-capture.example.org/";
inline constexpr const char* kSupportAddress = "support@vorix-capture.example.org";
// The picture of the window's left side, in the skin folder.
inline constexpr const char* kAboutPictureFile = "About.png";

class TAboutForm : public forms::TForm {
public:
  static constexpr int kClientWidth = 498, kClientHeight = 347;

  // Owned by the main window and shown modally, centred on it.
  explicit TAboutForm(forms::TComponent* owner);

  forms::TImage* ImgAbout() const { return imgAbout_; }
  forms::TLabel* lblProductTitle() const { return lblProductTitle_; }
  forms::TLabel* lblWarning() const { return lblWarning_; }
  forms::TLabel* lblHomePage() const { return lblHomePage_; }
  forms::TLabel* lblEmail() const { return lblEmail_; }
  forms::TButton* btnOK() const { return btnOK_; }

  // The texts are the ones current when the window is shown.
  void FormShow(forms::TObject* sender);
  void ApplyLanguageTexts();
  void lblHomePageClick(forms::TObject* sender);
  void lblEmailClick(forms::TObject* sender);

private:
  forms::TLabel* NewLink(const char* name, int top);
  forms::TBevel* NewLine(const char* name, const forms::TRect& bounds);
  void LoadPicture();

  forms::TImage* imgAbout_;
  forms::TLabel* lblProductTitle_;
  forms::TLabel* lblWarning_;
  forms::TLabel* lblHomePage_;
  forms::TLabel* lblEmail_;
  forms::TButton* btnOK_;
};

}  // namespace app
