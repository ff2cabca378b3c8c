#pragma once
// The splash window: the product picture with its soft edges, shown
// modally for a moment while the program starts.
#include "controls/layered/LayeredWnd.h"
#include "platform/forms/Timers.h"

namespace app {

class TSplashForm : public controls::TfrmLayered {
public:
  static constexpr int kWidth = 496, kHeight = 193;
  static constexpr uint32_t kShowMs = 1500;

  explicit TSplashForm(forms::TComponent* owner);

  forms::TTimer* tmrShow = nullptr;

  // Starts the timer and shows Splash.png from the skin folder; a picture
  // that cannot be read gives a plain face with the product's name, never
  // an invisible window and never a stopped start.
  void FormCreate(forms::TObject* Sender);
  static constexpr uint32_t kPlainColor = 0xFF1E3A53;  // opaque ARGB

private:
  void DrawPlainFace();
  void tmrShowTimer(forms::TObject* Sender);
};

}  // namespace app
