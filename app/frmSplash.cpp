#include "app/frmSplash.h"

#include "app/Globals.h"

namespace app {

using namespace forms;

TSplashForm::TSplashForm(TComponent* owner) : TfrmLayered(owner) {
  SetName("SplashForm");
  SetBorderStyle(bsNone);
  SetPosition(poScreenCenter);
  SetClientWidth(kWidth);
  SetClientHeight(kHeight);
  SetCaption("Vorix Video Capture is starting");
  tmrShow = new TTimer(this);
  tmrShow->SetEnabled(false);
  tmrShow->SetInterval(kShowMs);
  tmrShow->OnTimer = [this](TObject* s) { tmrShowTimer(s); };
  OnCreate = [this](TObject* s) { FormCreate(s); };
}

void TSplashForm::FormCreate(TObject*) {
  tmrShow->SetEnabled(true);
  try {
    SetBackgroundImage(SkinFolder + "Splash.png");
  } catch (const std::exception&) {
  }
  Repaint();
}

void TSplashForm::tmrShowTimer(TObject*) {
  tmrShow->SetEnabled(false);
  Close();
}

}  // namespace app
