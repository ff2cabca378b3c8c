#pragma once
// TImgKitMView, the thumbnail view: a grid of slots, each holding one
// stored image (kept in the "ILIST" image list, fitted to the thumbnail box
// or unchanged), an optional file name it can be reloaded from, three
// captions and a few per-image values. This part holds the model: slots,
// captions, selection on insert and delete, storing and loading images,
// frame readers and the wrong-image placeholder. Layout, painting, user
// interaction and background loading build on the hooks below.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>
#include <atomic>
#include <condition_variable>
#include <thread>

#include "imaging/core/imgkitprocResample.h"
#include "imaging/views/ikview.h"
#include "imaging/views/imgkitviewBackground.h"
#include "platform/forms/Graphics.h"
#include "platform/forms/StdCtrls.h"

namespace imaging {

class TIKBitmap;
class TIKVirtualImageList;
struct TIKVirtualImage;
class TImgKitIO;
class TImgKitMIO;
class TImgKitMView;
class TIKStarter;

enum TIKStoreType : uint8_t { iktNormal, iktThumb };
enum TIKMDisplayMode : uint8_t { mdGrid, mdSingle };
enum TIKMStyle : uint8_t { ikmsFlat, ikmsACD };
enum TIKSStyle : uint8_t { ikssAround, ikssACD };
enum TIKMMouseInteractItem : uint8_t { mmiScroll, mmiSelect };
using TIKMMouseInteract = forms::SetOf<TIKMMouseInteractItem>;
enum TIKMKeyInteractItem : uint8_t { mkiMoveSelected };
using TIKMKeyInteract = forms::SetOf<TIKMKeyInteractItem>;
enum TIKMultiSelectionOption : uint8_t { ikmoRegion, ikmoSelectOnMouseUp };
using TIKMultiSelectionOptions = forms::SetOf<TIKMultiSelectionOption>;

// Kinds of the last change notice the view's own operations record.
enum : int32_t { ikmcNone = 0, ikmcInsert = 1, ikmcDelete = 2, ikmcMove = 3, ikmcSwap = 4 };

// The caption as a cell of `width` pixels shows it in the canvas's font:
// shortened at its end (ellipsisAt 0) or start (1) with "..." when too wide.
rtl::WideString FitCaptionToWidth(forms::TCanvas* canvas, const rtl::WideString& text, int32_t width,
                                  uint8_t ellipsisAt);

// One caption of a slot.
class TIKMText {
public:
  enum Kind : uint8_t { ktTop = 0, ktBottom = 1, ktInfo = 2 };
  TIKMText(TIKView* owner, Kind kind);
  ~TIKMText();

  const rtl::WideString& Caption() const { return caption_; }
  // Raises the view's gap for this kind of caption to fit the text (never
  // lowers it), then keeps the text.
  void SetCaption(const rtl::WideString& text);
  forms::TFont* Font() { return font_.get(); }
  forms::TColor Background = forms::clBtnFace;
  forms::TBrushStyle BackgroundStyle = forms::bsSolid;
  // 0: shorten at the end, 1: at the start.
  uint8_t EllipsisAt = 1;
  Kind TextKind() const { return kind_; }

private:
  TIKView* owner_;
  Kind kind_;
  rtl::WideString caption_;
  std::unique_ptr<forms::TFont> font_;
};

struct TIKVSoftShadow {
  bool Enabled = false;
  double Radius = 3.0;
  int32_t OffsetX = 3;
  int32_t OffsetY = 3;
};

struct TIKMViewSlot {
  TImgKitMView* Owner = nullptr;
  TIKVirtualImage* Image = nullptr;  // in "ILIST"
  TIKVirtualImage* Cache = nullptr;  // display copy in "ICACHE"
  int32_t CellX = 0, CellY = 0;
  int32_t Row = 0, Column = 0;
  forms::TColor Background = forms::clWhite;
  bool HasFileName = false;
  String FileName;
  int32_t ImageID = -1;
  int32_t DisplayTime = 0;
  std::unique_ptr<TIKMText> TopText, BottomText, InfoText;
  forms::TRect DrawnRect{};
};

class TImgKitMView : public TIKView {
public:
  using TIKProgressEvent = std::function<void(forms::TObject* Sender, int32_t per)>;
  using TIKImageIDRequestEvent = std::function<void(forms::TObject* Sender, int32_t ID, forms::TBitmap*& Bitmap)>;
  using TIKImageIDRequestExEvent = std::function<void(forms::TObject* Sender, int32_t ID, TIKBitmap*& Bitmap)>;
  using TIKWrongImageEvent =
      std::function<void(forms::TObject* Sender, TIKBitmap* OutBitmap, int32_t idx, bool& Handled)>;
  using TIKImageSelectEvent = std::function<void(forms::TObject* Sender, int32_t idx)>;
  using TViewChangeEvent = std::function<void(forms::TObject* Sender, int32_t Change)>;

  explicit TImgKitMView(forms::TComponent* owner);
  ~TImgKitMView() override;

  // ---- slots ----
  int32_t GetImageCount() const { return static_cast<int32_t>(slots_.size()); }
  void InsertImage(int32_t index);
  void InsertImageNoSelect(int32_t index);
  int32_t AppendImage();
  void DeleteImage(int32_t index);
  void Clear();
  void SetImageFileName(int32_t index, const String& fileName);
  String GetImageFileName(int32_t index) const;
  void SetImageID(int32_t index, int32_t id);
  int32_t GetImageID(int32_t index) const;
  void SetImageDelayTime(int32_t index, int32_t milliseconds);
  int32_t GetImageDelayTime(int32_t index) const;
  void SetImageOriginalWidth(int32_t index, int32_t value);
  void SetImageOriginalHeight(int32_t index, int32_t value);
  int32_t GetImageOriginalWidth(int32_t index) const;
  int32_t GetImageOriginalHeight(int32_t index) const;
  int32_t GetImageRow(int32_t index) const;
  int32_t GetImageCol(int32_t index) const;
  TIKMText* GetImageTopText(int32_t index) const;
  TIKMText* GetImageBottomText(int32_t index) const;
  TIKMText* GetImageInfoText(int32_t index) const;
  forms::TColor GetImageBackground(int32_t index) const;
  // The stored image's size, 0 when none.
  int32_t GetStoredWidth(int32_t index);
  int32_t GetStoredHeight(int32_t index);
  int32_t GetStoredPixelFormat(int32_t index);
  bool HasStoredImage(int32_t index) const;

  // ---- images ----
  void SetIKBitmap(int32_t index, TIKBitmap* bitmap);
  void SetBitmap(int32_t index, forms::TBitmap* bitmap);
  bool SetImageFromFile(int32_t index, const String& fileName);
  // With a stream, the stream is read with format detection; else the file.
  bool LoadSlotFromFileOrStream(int32_t index, rtl::TStream* stream, const String& fileName);
  // Loads a slot's image on demand (image-ID events, frames, file names);
  // false only when a load failed.
  bool LoadSlotImage(int32_t index);
  // Lends the stored image (loading it first when missing); the borrower
  // hands it back with ReleaseTIKBitmap.
  TIKBitmap* GetTIKBitmap(int32_t index);
  void ReleaseTIKBitmap(TIKBitmap* bitmap, bool writeBack);
  forms::TBitmap* GetCurrentBitmap() override;
  TIKBitmap* GetCurrentIKBitmap() override;
  TIKBitmap* GetAlphaChannel() override { return nullptr; }
  bool HasAlphaChannel() override { return false; }
  void RemoveAlphaChannel(bool) override {}
  int32_t ImageCacheSize() const { return imageCacheSize_; }
  void SetImageCacheSize(int32_t value);
  bool DisplayCacheEnabled() const { return displayCacheEnabled_; }
  void SetDisplayCacheEnabled(bool value);
  void DropDisplayCopy(int32_t index);
  void DropAllDisplayCopies();
  virtual void DrawWrongImage(TIKBitmap* bitmap, int32_t index);
  TIKVirtualImageList& ImageList() { return *ilist_; }
  TIKVirtualImageList& DisplayList() { return *icache_; }
  // The frame readers opened for "file::n" slot names.
  int32_t FrameReaderCount() const { return static_cast<int32_t>(frameReaders_.size()); }

  // ---- selection ----
  int32_t SelectedImage() const { return selectedImage_; }
  void SetSelectedImage(int32_t index);
  void DeselectAll();
  int32_t GetMultiSelectedCount() const { return static_cast<int32_t>(multiSelected_.size()); }
  int32_t GetMultiSelectedImage(int32_t i) const;
  bool IsImageSelected(int32_t index) const;
  bool EnableMultiSelect() const { return enableMultiSelect_; }
  void SetEnableMultiSelect(bool value);

  // ---- change notice (read by observers during NotifyObservers) ----
  int32_t GetChangeKind() const { return changeKind_; }
  int32_t GetChangeIndex() const { return changeIndex_; }
  int32_t GetChangeIndex2() const { return changeIndex2_; }
  void NotifyObservers() override;

  // ---- components made on first use ----
  virtual TImgKitMIO* GetMultiIO();
  virtual void SetOnProgress(TIKProgressEvent value);
  virtual TIKProgressEvent GetOnProgress() const { return onProgress_; }

  // ---- paint lock and updates ----
  void LockPaint() override { ++paintLock_; }
  int32_t UnlockPaint() override;
  int32_t UnlockPaintNoUpdate() override;
  int32_t PaintLockCount() const { return paintLock_; }
  // The layout pass (dropCopies false) and the full update (true). The
  // cell arrangement and the scroll bars hook in through ArrangeLayout.
  void UpdateEx(bool dropCopies);
  void Update() override { UpdateEx(true); }
  void SetBackground(forms::TColor color) override;
  bool IsThumbnailView() override { return true; }

  // ---- published ----
  TIKStoreType StoreType() const { return storeType_; }
  void SetStoreType(TIKStoreType value) { storeType_ = value; }
  int32_t ThumbWidth() const { return thumbWidth_; }
  void SetThumbWidth(int32_t value);
  int32_t ThumbHeight() const { return thumbHeight_; }
  void SetThumbHeight(int32_t value);
  int32_t HorizBorder() const { return horizBorder_; }
  void SetHorizBorder(int32_t value) { horizBorder_ = value; Update(); }
  int32_t VertBorder() const { return vertBorder_; }
  void SetVertBorder(int32_t value) { vertBorder_ = value; Update(); }
  int32_t BottomGap() const { return bottomGap_; }
  void SetBottomGap(int32_t value) { bottomGap_ = value; Update(); }
  int32_t UpperGap() const { return upperGap_; }
  void SetUpperGap(int32_t value) { upperGap_ = value; Update(); }
  // Raised by captions, without an update.
  void RaiseGap(TIKMText::Kind kind, int32_t textHeight);
  forms::TScrollStyle ScrollBars() const { return scrollBars_; }
  virtual void SetScrollBars(forms::TScrollStyle value);
  TIKMDisplayMode DisplayMode() const { return displayMode_; }
  void SetDisplayMode(TIKMDisplayMode value);
  int32_t GridWidth() const { return gridWidth_; }
  void SetGridWidth(int32_t value) { gridWidth_ = value; Update(); }
  bool VisibleSelection() const { return visibleSelection_; }
  void SetVisibleSelection(bool value) { visibleSelection_ = value; Update(); }
  int32_t SelectionWidth() const { return selectionWidth_; }
  void SetSelectionWidth(int32_t value) { selectionWidth_ = value; Update(); }
  forms::TColor SelectionColor() const { return selectionColor_; }
  void SetSelectionColor(forms::TColor value) { selectionColor_ = value; Update(); }
  TIKMMouseInteract MouseInteract() const { return mouseInteract_; }
  virtual void SetMouseInteract(TIKMMouseInteract value) {
    if (!(value == mouseInteract_)) mouseInteract_ = value;
  }
  TIKMKeyInteract KeyInteract() const { return keyInteract_; }
  virtual void SetKeyInteract(TIKMKeyInteract value) {
    if (!(value == keyInteract_)) keyInteract_ = value;
  }
  bool RemoveCorrupted() const { return removeCorrupted_; }
  void SetRemoveCorrupted(bool value) { removeCorrupted_ = value; Update(); }
  bool DrawImageBackground() const { return drawImageBackground_; }
  void SetDrawImageBackground(bool value) { drawImageBackground_ = value; Update(); }
  int32_t TransitionEffect = 0;
  int32_t TransitionDuration = 1000;
  TIKMStyle Style() const { return style_; }
  void SetStyle(TIKMStyle value);
  TIKSStyle SelectionStyle() const { return selectionStyle_; }
  void SetSelectionStyle(TIKSStyle value);
  forms::TColor ThumbnailsBackground() const { return thumbnailsBackground_; }
  void SetThumbnailsBackground(forms::TColor value) { thumbnailsBackground_ = value; Update(); }
  TIKMultiSelectionOptions MultiSelectionOptions;
  int32_t ThumbnailsBorderWidth() const { return thumbnailsBorderWidth_; }
  void SetThumbnailsBorderWidth(int32_t value);
  forms::TColor ThumbnailsBorderColor() const { return thumbnailsBorderColor_; }
  void SetThumbnailsBorderColor(forms::TColor value);
  bool ThumbnailsInternalBorder() const { return thumbnailsInternalBorder_; }
  void SetThumbnailsInternalBorder(bool value);
  forms::TColor ThumbnailsInternalBorderColor() const { return thumbnailsInternalBorderColor_; }
  void SetThumbnailsInternalBorderColor(forms::TColor value);
  TIKWallPaperStyle WallPaperStyle() const { return wallPaperStyle_; }
  void SetWallPaperStyle(TIKWallPaperStyle value);
  int32_t ThreadPoolSize = 5;
  bool EnableAlphaChannel = true;
  TIKBackgroundStyle BackgroundStyle = ikbsSolid;
  TIKBackgroundStyle ThumbnailsBackgroundStyle = ikbsSolid;
  bool FlatScrollBars() const { return flatScrollBars_; }
  void SetFlatScrollBars(bool value);
  forms::TPicture* WallPaper() { return wallPaper_.get(); }
  // Keeps a copy of the picture.
  void SetWallPaper(forms::TPicture* picture);
  bool FillCellBackground() const { return fillCellBackground_; }
  void SetFillCellBackground(bool value);
  TIKVSoftShadow& SoftShadow() { return *softShadow_; }

  // ---- events ----
  TIKImageIDRequestEvent OnImageIDRequest;
  TIKImageIDRequestExEvent OnImageIDRequestEx;
  TIKImageSelectEvent OnImageSelect;
  TIKImageSelectEvent OnImageDeselect;
  TViewChangeEvent OnViewChange;
  TIKProgressEvent OnIOProgress;
  TIKWrongImageEvent OnWrongImage;
  forms::TNotifyEvent OnAllDisplayed;

  // How many full updates and layout passes ran (for the painting side).
  int32_t LayoutPassCount() const { return layoutPasses_; }

  // ---- layout, scrolling and hit tests ----
  int32_t ViewX() const { return viewX_; }
  int32_t ViewY() const { return viewY_; }
  void SetViewX(int32_t value);
  void SetViewY(int32_t value);
  void SetViewXY(int32_t x, int32_t y);
  void GetMaxView(int32_t& maxX, int32_t& maxY);
  int32_t ContentWidth() const { return contentWidth_; }
  int32_t ContentHeight() const { return contentHeight_; }
  double HorizScrollScale() const { return scaleX_; }
  double VertScrollScale() const { return scaleY_; }
  // Columns of the grid; 0 puts every cell in one row.
  int32_t ColumnCount();
  int32_t CellToIndex(int32_t row, int32_t column);
  // The slot whose thumbnail holds the client point, -1 when none.
  int32_t ImageAtPos(int32_t x, int32_t y);
  bool IsCellVisible(int32_t index);
  // 0 outside, 1 partly inside, 2 wholly inside the client area.
  int32_t IsImageVisible(int32_t index);

  // ---- painting ----
  // Draws the whole client area into `dest` (a 24-bit bitmap of the
  // client size).
  virtual void PaintAll(forms::TBitmap* dest);
  forms::TBitmap* BackBuffer() { return backBuffer_.get(); }

  // ---- pointer and keys ----
  void SelectAtPos(int32_t x, int32_t y, forms::TShiftState shift);
  // 0 left, 1 right, 2 up, 3 down, 4 home, 5 end, 6 page down, 7 page up.
  void KeyMoveSelection(int32_t direction);

  // ---- slide show ----
  bool Playing() const { return playing_; }
  void SetPlaying(bool value);

  // ---- background loading ----
  // True when the slot is taken care of (queued, loading or loaded); false
  // when painting must load it itself.
  bool QueueLoad(int32_t index);
  // Empties the queue and aborts every running loader, then waits up to
  // about a second for the loaders to be collected.
  virtual void CancelBackgroundLoads();
  int32_t QueuedLoadCount();
  int32_t LoaderCount();
  // Loads started since the view was made.
  int32_t LoadsStarted();
  // The most loaders that were at work at once.
  int32_t PeakLoaderCount();
  // Waits until nothing is queued or loading; false on time-out. Not to be
  // called with the global lock held.
  bool WaitForBackgroundLoads(uint32_t timeoutMs);

  using TIKDrawProgressEvent = std::function<void(forms::TObject* Sender, int32_t per, int32_t idx)>;
  using TIKImageDrawEvent =
      std::function<void(forms::TObject* Sender, int32_t idx, int32_t left, int32_t top, forms::TCanvas* canvas)>;
  using TIKImageDrawExEvent = std::function<void(forms::TObject* Sender, int32_t idx, int32_t left, int32_t top,
                                                 forms::TBitmap* dest, forms::TRect& rect)>;
  TIKDrawProgressEvent OnDrawProgress;
  TIKImageDrawEvent OnBeforeImageDraw;
  TIKImageDrawExEvent OnBeforeImageDrawEx;
  TIKImageDrawEvent OnImageDraw;

protected:
  // The cell arrangement and the scroll-bar set-up of a layout pass.
  virtual void ArrangeLayout();
  virtual void DoViewChange(int32_t change);
  void Paint() override;
  void WndProc(forms::TMessage& message) override;
  void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
  void MouseMove(forms::TShiftState shift, int x, int y) override;
  void MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
  void KeyDown(uint16_t& key, forms::TShiftState shift) override;
  void SelectImageInternal(int32_t index);
  void ClearSelection();
  virtual void DoImageSelect(int32_t index);
  virtual void DoImageDeselect(int32_t index);
  bool DeleteSlot(int32_t index);
  bool IndexInRange(int32_t index) const { return index >= 0 && index < GetImageCount(); }
  TIKMViewSlot* Slot(int32_t index) const { return IndexInRange(index) ? slots_[index].get() : nullptr; }
  // Set while the view handles a mouse, key or wheel message: selection
  // events fire only then.
  bool userInteraction_ = false;
  bool playing_ = false;
  // Modifier flags of one mouse or key action: add to the selection, and
  // keep an already selected slot selected.
  bool addFlag_ = false;
  bool keepFlag_ = false;

private:
  struct Loader;
  std::unique_ptr<TIKMViewSlot> NewSlot();
  void ReleaseSlotImages(TIKMViewSlot& slot);
  void GiveBackCurrentBitmap(bool writeBack);
  void InsertSlot(int32_t index, bool select);
  void StopSlideShow();
  // The image fitted to tw x th, as the thumbnail store keeps it.
  static void BuildThumbnail(TIKBitmap* bitmap, int32_t tw, int32_t th, TIKBitmap& thumb);
  void ArrangeCells();
  void SetUpScrollBar(int bar, int32_t max, int32_t clientSize, int32_t origin, double& scale);
  void HandleScroll(int bar, int code);
  void HandleWheel(int delta);
  void PaintCell(forms::TBitmap* dest, TIKMViewSlot& slot, int32_t index, bool selected);
  void DrawCellPicture(forms::TBitmap* dest, TIKMViewSlot& slot, int32_t x, int32_t y, int32_t cw, int32_t ah,
                       int32_t tg, forms::TRect& picture);
  void DrawCaptions(forms::TCanvas* canvas, TIKMViewSlot& slot, int32_t x, int32_t y, int32_t cw, int32_t ch,
                    int32_t bg, int32_t ih, bool selected, int32_t& bh);
  void CellBackgroundParams(TIKBackgroundParams& p, TIKMViewSlot& slot, bool selected);
  void ReleaseFarImages(int32_t first, int32_t last);
  void SelectRangeFromAnchor(int32_t anchor, int32_t x, int32_t y, forms::TShiftState shift);
  void PlayStep();
  // Background loading (held under the imaging component's global lock).
  void StartBackgroundLoading();
  void StopBackgroundLoading();
  // Finished loaders move to `collected` (the scheduler's); without it
  // they stay listed. Loaders of slots out of view are told to abort.
  void PruneLoaders(std::vector<std::unique_ptr<Loader>>* collected);
  void PruneQueue();
  Loader* StartLoader();
  void UpdateVisibleArea();
  bool CellInVisibleArea(int32_t index) const;
  // Puts the image into the slot (thumbnail fitting included) without
  // telling observers, which may not be called off the GUI thread.
  void StoreImage(int32_t index, TIKBitmap* bitmap);
  void LoaderFinished(TImgKitIO* loader);
  void LoaderEnded(TImgKitIO* loader);
  void ShiftLoadIndexes(int32_t from, int32_t delta, int32_t removed);
  friend class TIKStarter;
  void SetLoadParams(TImgKitIO& io);
  bool RunSyncLoad(int32_t index, TImgKitIO& io, rtl::TStream* stream, const String& fileName, int32_t frame,
                   bool frameLoad, bool dropAndLayout);
  TImgKitIO* GetFrameReader(const String& name, int32_t& frame);
  void LoadFrame(TImgKitIO& reader, int32_t frame, int32_t& delayTime);
  void RecordChange(int32_t kind, int32_t index, int32_t index2 = 0);

  std::vector<std::unique_ptr<TIKMViewSlot>> slots_;
  std::unique_ptr<TIKVirtualImageList> ilist_;
  std::unique_ptr<TIKVirtualImageList> icache_;
  TImgKitIO* io_ = nullptr;  // owned by the view as a component
  std::vector<TImgKitIO*> frameReaders_;
  TImgKitMIO* multiIO_ = nullptr;
  TIKBitmap* currentBitmap_ = nullptr;
  std::unique_ptr<forms::TBitmap> currentTBitmap_;
  std::vector<int32_t> multiSelected_;
  int32_t selectedImage_ = -1;
  int32_t changeKind_ = 0, changeIndex_ = 0, changeIndex2_ = 0;
  int32_t paintLock_ = 0;
  bool inLayout_ = false;
  bool destroying_ = false;
  int32_t layoutPasses_ = 0;
  TIKProgressEvent onProgress_;
  std::unique_ptr<TIKVSoftShadow> softShadow_;

  TIKStoreType storeType_ = iktNormal;
  int32_t thumbWidth_ = 100, thumbHeight_ = 100;
  int32_t horizBorder_ = 4, vertBorder_ = 4;
  int32_t bottomGap_ = 0, upperGap_ = 0;
  forms::TScrollStyle scrollBars_ = forms::ssBoth;
  TIKMDisplayMode displayMode_ = mdGrid;
  int32_t gridWidth_ = 0;
  bool visibleSelection_ = true;
  int32_t selectionWidth_ = 3;
  forms::TColor selectionColor_ = forms::clRed;
  TIKMMouseInteract mouseInteract_;
  TIKMKeyInteract keyInteract_;
  bool removeCorrupted_ = false;
  bool drawImageBackground_ = false;
  int32_t imageCacheSize_ = 10;
  TIKMStyle style_ = ikmsACD;
  TIKSStyle selectionStyle_ = ikssAround;
  forms::TColor thumbnailsBackground_ = forms::clBtnFace;
  bool enableMultiSelect_ = false;
  int32_t thumbnailsBorderWidth_ = 0;
  forms::TColor thumbnailsBorderColor_ = forms::clBtnFace;
  bool thumbnailsInternalBorder_ = false;
  forms::TColor thumbnailsInternalBorderColor_ = forms::clBlack;
  TIKWallPaperStyle wallPaperStyle_ = ikwoNormal;
  bool flatScrollBars_ = false;
  bool fillCellBackground_ = true;
  bool displayCacheEnabled_ = true;
  std::unique_ptr<forms::TPicture> wallPaper_;

  // Layout and painting.
  int32_t viewX_ = 0, viewY_ = 0;
  int32_t contentWidth_ = 0, contentHeight_ = 0;
  double scaleX_ = 1.0, scaleY_ = 1.0;
  std::unique_ptr<forms::TBitmap> backBuffer_;
  bool allShown_ = false;

  // Pointer state.
  bool selectionChanged_ = false;
  bool rangeSelected_ = false;
  bool mouseDown_ = false;
  bool doubleClick_ = false;
  int32_t pressX_ = 0, pressY_ = 0, pressViewX_ = 0, pressViewY_ = 0;
  int32_t pressIndex_ = -1, lastIndex_ = -1, anchor_ = -1;

  // Slide show.
  int32_t playIndex_ = 0;
  TIKMDisplayMode savedDisplayMode_ = mdGrid;
  int32_t savedSelected_ = -1;
  bool playTimer_ = false;
  bool inPlayStep_ = false;

  // Background loading: slot indexes waiting, the loaders at work, and the
  // scheduler thread. All of it is guarded by the global lock.
  std::vector<int32_t> loadQueue_;
  std::vector<std::unique_ptr<Loader>> loaders_;
  std::unique_ptr<TIKStarter> starter_;
  int32_t loadsStarted_ = 0;
  size_t peakLoaders_ = 0;
  // The part of the virtual space the client showed at the last paint or
  // scroll, for the scheduler's visibility tests off the GUI thread.
  forms::TRect visibleArea_{};
  // The window a loader's completion asks to repaint.
  std::atomic<win::HWND> paintWindow_{};
};

}  // namespace imaging
