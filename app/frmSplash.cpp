#include "app/frmSplash.h"

#include <string>

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
  SetBackgroundImage(SkinFolder + "Splash.png");
  if (!BackgroundImageLoaded()) DrawPlainFace();
  Repaint();
}

void TSplashForm::DrawPlainFace() {
  namespace gdip = win::Gdiplus;
  if (!BackgroundDC()) return;
  gdip::Graphics g(BackgroundDC());
  g.Clear(gdip::Color(kPlainColor));
  const gdip::Font font(BackgroundDC());
  const gdip::SolidBrush white(gdip::Color(0xFFFFFFFFu));
  gdip::StringFormat format;
  format.SetAlignment(gdip::StringAlignmentCenter);
  format.SetLineAlignment(gdip::StringAlignmentCenter);
  const std::u16string title = u"Vorix Video Capture";
  const gdip::RectF all{0, 0, static_cast<float>(SurfaceWidth()), static_cast<float>(SurfaceHeight())};
  g.DrawString(title.c_str(), static_cast<win::INT>(title.size()), &font, all, &format, &white);
}

void TSplashForm::tmrShowTimer(TObject*) {
  tmrShow->SetEnabled(false);
  Close();
}

}  // namespace app
