#pragma once
// TImgKitMIO: one input/output parameter record per slot of a thumbnail
// view, kept in the slots' order by following the view's change notices,
// and the entry through which acquired images join the view.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/core/imgkitioParams.h"
#include "imaging/core/imgkitprocResample.h"
#include "platform/forms/Components.h"
#include "platform/forms/Graphics.h"

namespace imaging {

class TIKBitmap;
class TIKView;
class TImgKitMView;
class TIKTWainParams;
class TIKWia;

enum TMsgLanguage : uint8_t { msSystem, msEnglish };
enum TIOPreviewsParamsItem : uint8_t { ioppDefaultLockPreview, ioppApplyButton };
using TIOPreviewsParams = forms::SetOf<TIOPreviewsParamsItem>;
enum TIKDialogsMeasureUnit : uint8_t { ikduInches, ikduCm, ikduSelectableDefInches, ikduSelectableDefCm };

class TImgKitMIO : public forms::TComponent {
public:
  using TIKProgressEvent = std::function<void(forms::TObject* Sender, int32_t per)>;
  using TIKAcquireBitmapEvent = std::function<void(forms::TObject* Sender, TIKBitmap* ABitmap, bool& Handled)>;
  using TIKDoPreviewsEvent = std::function<void(forms::TObject* Sender, bool& Handled)>;

  explicit TImgKitMIO(forms::TComponent* owner);
  ~TImgKitMIO() override;

  TImgKitMView* AttachedMView() const { return view_; }
  // Must be a thumbnail view (or null to detach).
  void SetAttachedMView(TIKView* view);

  TIOParamsVals* GetImageParams(int32_t index) const;
  int32_t ParamsCount() const { return static_cast<int32_t>(params_.size()); }
  void InsertParams(int32_t index);
  void DeleteParams(int32_t index);
  void MoveParams(int32_t index, int32_t newIndex);
  void SwapParams(int32_t i, int32_t j);

  // Places an acquired image into the view at the acquisition position;
  // `params` receives the slot's record (null when nothing was placed).
  virtual void DoAcquireBitmap(TIKBitmap* bitmap, TIOParamsVals*& params);
  virtual void ResetAcquireCounter() { acquireCounter_ = 0; }
  virtual void DoFinishWork();
  virtual TIKWia* GetWia();

  bool SimplifiedParamsDialogs = true;
  TIKTWainParams& TWainParams() { return *twainParams_; }
  TMsgLanguage MsgLanguage = msSystem;
  TIOPreviewsParams PreviewsParams;
  forms::TFont* PreviewFont() { return previewFont_.get(); }
  void SetPreviewFont(forms::TFont* font);
  int32_t AcquirePosition = 0;
  bool AutoAdjustDPI = false;
  bool FilteredAdjustDPI = false;
  TIKDialogsMeasureUnit DialogsMeasureUnit = ikduInches;
  bool PreviewsOptionA = true, PreviewsOptionB = true;
  TResampleFilter PreviewsFilter = rfFastLinear;
  String PreviewsTextA, PreviewsTextB, PreviewsTextC;
  int32_t AcquireCounter() const { return acquireCounter_; }

  TIKProgressEvent OnProgress;
  TIKAcquireBitmapEvent OnAcquireBitmap;
  forms::TNotifyEvent OnFinishWork;
  TIKDoPreviewsEvent OnDoPreviews;

protected:
  void Notification(forms::TComponent* component, forms::TOperation operation) override;

private:
  void ViewChanged(forms::TObject* sender, int32_t change);
  void Detach();

  TImgKitMView* view_ = nullptr;
  intptr_t observer_ = -1;
  std::vector<std::unique_ptr<TIOParamsVals>> params_;
  std::unique_ptr<TIKTWainParams> twainParams_;
  std::unique_ptr<TIKWia> wia_;
  std::unique_ptr<forms::TFont> previewFont_;
  int32_t acquireCounter_ = 0;
};

}  // namespace imaging
