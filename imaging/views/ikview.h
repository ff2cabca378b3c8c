#pragma once
// TIKView: the windowed control both imaging views stand on. It keeps what
// they share (background colour, border, resolution, mouse enter/leave) and
// the observer list through which the input/output, processing and
// multi-image components hear that the view's image changed or that the
// view is going away.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/core/imgkitio.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/Exceptions.h"

namespace imaging {

class TIKBitmap;

// Calling an operation that only the derived views answer.
class EIKAbstractError : public rtl::Exception {
  using rtl::Exception::Exception;
};

// Change codes handed to observers.
enum : int32_t {
  ikvcChanged = 0,    // the image or layout changed
  ikvcDestroying = 1  // the view goes away; drop the reference
};

class TIKView : public forms::TCustomControl, public TIKViewLink {
public:
  using TObserverCallback = std::function<void(forms::TObject* Sender, int32_t Change)>;

  explicit TIKView(forms::TComponent* owner);
  ~TIKView() override;

  // ---- published ----
  forms::TColor Background() override { return background_; }
  void SetBackground(forms::TColor color) override;
  forms::TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(forms::TFormBorderStyle value);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value);
  bool ParentCtl3D() const { return parentCtl3D_; }
  void SetParentCtl3D(bool value) { parentCtl3D_ = value; }
  forms::TNotifyEvent OnMouseEnter;
  forms::TNotifyEvent OnMouseLeave;

  // ---- the current image, for the attached components ----
  forms::TBitmap* GetCurrentBitmap() override { return nullptr; }
  TIKBitmap* GetCurrentIKBitmap() override { return nullptr; }
  // Each kind of view answers these itself; the base has nothing to offer.
  virtual TIKBitmap* GetAlphaChannel();
  virtual bool HasAlphaChannel();
  virtual void RemoveAlphaChannel(bool merge);
  virtual void LockPaint();
  virtual int32_t UnlockPaint();
  virtual int32_t UnlockPaintNoUpdate();

  void SetDPIX(int32_t value) override;
  void SetDPIY(int32_t value) override;
  void SetDPI(int32_t x, int32_t y) override;
  int32_t DpiX() override { return dpiX_; }
  int32_t DpiY() override { return dpiY_; }
  void ImageChanged() override {}
  virtual void NotifyObservers();

  // ---- observers ----
  // The handle is the record's identity; it stays valid until removed or
  // until the view tells the observer that it goes away.
  intptr_t RegisterObserverCallback(TObserverCallback callback);
  void RemoveObserverHandle(intptr_t handle);
  int32_t ObserverCount() const { return static_cast<int32_t>(observers_.size()); }

  // TIKViewLink
  forms::TComponent* ViewComponent() override { return this; }
  int32_t RegisterObserver(std::function<void(int32_t change)> observer) override;
  void RemoveObserver(int32_t handle) override;
  bool HasParentWindow() override;
  win::HWND ViewHandle() override { return Handle(); }
  void Update() override { forms::TCustomControl::Update(); }
  bool IsThumbnailView() override { return false; }

  forms::TCanvas* GetCanvas() const { return Canvas(); }
  // How many times the window was made again (border or 3-D changes).
  int32_t RecreateCount() const { return recreateCount_; }

protected:
  void CreateParams(forms::TCreateParams& params) override;
  void WndProc(forms::TMessage& message) override;
  void Recreate();

private:
  struct Observer {
    TObserverCallback callback;
    int32_t id;
  };
  forms::TFormBorderStyle borderStyle_ = forms::bsSingle;
  bool ctl3D_ = true;
  bool parentCtl3D_ = true;
  forms::TColor background_ = forms::clBtnFace;
  int32_t dpiX_ = 0;
  int32_t dpiY_ = 0;
  std::vector<std::unique_ptr<Observer>> observers_;
  bool observersGone_ = false;
  int32_t nextObserverId_ = 1;
  int32_t recreateCount_ = 0;
};

}  // namespace imaging
