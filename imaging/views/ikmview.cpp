#include "imaging/views/ikmview.h"

#include <algorithm>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsImageList.h"
#include "imaging/core/ikutilsSupport.h"
#include "imaging/core/imgkitio.h"
#include "imaging/core/imgkitioRegistry.h"
#include "imaging/core/imgkitprocGeometry.h"
#include "imaging/views/ikmio.h"
#include "imaging/views/ikmviewLoader.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Text.h"
#include "platform/win/Paint.h"
#include "platform/win/Styles.h"

namespace imaging {

using namespace forms;

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;

// The text every caption measures against lives on a memory bitmap, so a
// caption can be set before the view has a window.
TCanvas* MeasureCanvas() {
  thread_local std::unique_ptr<TBitmap> surface;
  if (!surface) {
    surface = std::make_unique<TBitmap>();
    surface->SetSize(1, 1);
  }
  return surface->Canvas();
}
}  // namespace

// ---------------------------------------------------------------- captions

TIKMText::TIKMText(TIKView* owner, Kind kind) : owner_(owner), kind_(kind), font_(std::make_unique<TFont>()) {
  if (owner_ && owner_->Font()) font_->Assign(owner_->Font());
  Background = (owner_ && owner_->IsThumbnailView()) ? owner_->Background() : clBtnFace;
}

TIKMText::~TIKMText() = default;

void TIKMText::SetCaption(const rtl::WideString& text) {
  if (auto* view = dynamic_cast<TImgKitMView*>(owner_)) {
    TCanvas* canvas = MeasureCanvas();
    canvas->SetFont(font_.get());
    const int32_t h = canvas->TextHeight(rtl::WideToAnsi(text));
    view->RaiseGap(kind_, h);
  }
  caption_ = text;
}

void TImgKitMView::RaiseGap(TIKMText::Kind kind, int32_t textHeight) {
  const int32_t a = textHeight + 2;
  if (kind == TIKMText::ktTop) {
    if (upperGap_ < a) upperGap_ = a;
  } else if (kind == TIKMText::ktBottom) {
    if (bottomGap_ < a) bottomGap_ = style_ == ikmsACD ? textHeight + 4 : a;
  }
}

// ---------------------------------------------------------------- life

TImgKitMView::TImgKitMView(TComponent* owner) : TIKView(owner) {
  SetBounds(Left(), Top(), 180, 90);
  mouseInteract_ = TIKMMouseInteract{mmiSelect};
  keyInteract_ = TIKMKeyInteract{mkiMoveSelected};
  io_ = new TImgKitIO(this);
  ilist_ = std::make_unique<TIKVirtualImageList>("ILIST");
  ilist_->SetMaxMapped(imageCacheSize_);
  icache_ = std::make_unique<TIKVirtualImageList>("ICACHE");
  softShadow_ = std::make_unique<TIKVSoftShadow>();
}

TImgKitMView::~TImgKitMView() {
  {
    Guard lock(IKGlobalLock());
    destroying_ = true;
  }
  if (playTimer_ && HandleAllocated()) win::KillTimer(Handle(), 1);
  playing_ = false;
  CancelBackgroundLoads();
  StopBackgroundLoading();
  ClearSelection();
  for (TImgKitIO* reader : frameReaders_) delete reader;
  frameReaders_.clear();
  delete multiIO_;
  multiIO_ = nullptr;
  for (int32_t i = GetImageCount() - 1; i >= 0; --i) DeleteSlot(i);
  ClearSelection();
  GiveBackCurrentBitmap(false);
  ilist_.reset();
  icache_.reset();
}

// ---------------------------------------------------------------- slots

std::unique_ptr<TIKMViewSlot> TImgKitMView::NewSlot() {
  auto slot = std::make_unique<TIKMViewSlot>();
  slot->Owner = this;
  slot->Background = Background();
  slot->TopText = std::make_unique<TIKMText>(this, TIKMText::ktTop);
  slot->BottomText = std::make_unique<TIKMText>(this, TIKMText::ktBottom);
  slot->InfoText = std::make_unique<TIKMText>(this, TIKMText::ktInfo);
  return slot;
}

void TImgKitMView::RecordChange(int32_t kind, int32_t index, int32_t index2) {
  changeKind_ = kind;
  changeIndex_ = index;
  changeIndex2_ = index2;
}

void TImgKitMView::InsertSlot(int32_t index, bool select) {
  StopSlideShow();
  int32_t at;
  {
    Guard lock(IKGlobalLock());
    // A negative index is no place in the list; such a slot goes to the end.
    at = (index >= 0 && index < GetImageCount()) ? index : GetImageCount();
    slots_.insert(slots_.begin() + at, NewSlot());
    ShiftLoadIndexes(at, 1, -1);
    // Slots from `at` on moved down by one; the selection follows them so
    // that it keeps naming the same pictures.
    if (selectedImage_ >= at) ++selectedImage_;
    for (int32_t& m : multiSelected_) {
      if (m >= at) ++m;
    }
  }
  if (select) {
    SelectImageInternal(at);
    RecordChange(ikmcInsert, selectedImage_);
  } else {
    RecordChange(ikmcInsert, at);
  }
  NotifyObservers();
  UpdateEx(false);
}

void TImgKitMView::InsertImage(int32_t index) { InsertSlot(index, true); }

void TImgKitMView::InsertImageNoSelect(int32_t index) { InsertSlot(index, false); }

int32_t TImgKitMView::AppendImage() {
  const int32_t count = GetImageCount();
  InsertImage(count);
  return count;
}

void TImgKitMView::DeleteImage(int32_t index) {
  if (DeleteSlot(index)) UpdateEx(false);
}

void TImgKitMView::ReleaseSlotImages(TIKMViewSlot& slot) {
  if (slot.Image) {
    ilist_->Delete(slot.Image);
    slot.Image = nullptr;
  }
  if (slot.Cache) {
    icache_->Delete(slot.Cache);
    slot.Cache = nullptr;
  }
}

bool TImgKitMView::DeleteSlot(int32_t index) {
  StopSlideShow();
  if (!IndexInRange(index)) return false;
  const int32_t s = selectedImage_;
  const int32_t oldCount = GetImageCount();
  ClearSelection();
  {
    Guard lock(IKGlobalLock());
    ReleaseSlotImages(*slots_[index]);
    slots_.erase(slots_.begin() + index);
    ShiftLoadIndexes(index, -1, index);
  }
  if (s >= 0) {
    if (index == s && index == oldCount - 1) {
      SelectImageInternal(GetImageCount() - 1);
    } else if (index < s) {
      SelectImageInternal(s - 1);
    } else {
      SelectImageInternal(s);
    }
  }
  RecordChange(ikmcDelete, index);
  NotifyObservers();
  return true;
}

void TImgKitMView::Clear() {
  ClearSelection();
  UpdateEx(false);
  CancelBackgroundLoads();
  for (int32_t i = GetImageCount() - 1; i >= 0; --i) DeleteSlot(i);
  GiveBackCurrentBitmap(false);
  {
    Guard lock(IKGlobalLock());
    ilist_ = std::make_unique<TIKVirtualImageList>("ILIST");
    ilist_->SetMaxMapped(imageCacheSize_);
    for (TImgKitIO* reader : frameReaders_) delete reader;
    frameReaders_.clear();
    icache_ = std::make_unique<TIKVirtualImageList>("ICACHE");
  }
  Update();
}

void TImgKitMView::SetImageFileName(int32_t index, const String& fileName) {
  TIKMViewSlot* slot = Slot(index);
  if (!slot) return;
  Guard lock(IKGlobalLock());
  slot->FileName = fileName;
  slot->HasFileName = true;
  slot->ImageID = -1;
}

String TImgKitMView::GetImageFileName(int32_t index) const {
  TIKMViewSlot* slot = Slot(index);
  return slot && slot->HasFileName ? slot->FileName : String();
}

void TImgKitMView::SetImageID(int32_t index, int32_t id) {
  if (TIKMViewSlot* slot = Slot(index)) slot->ImageID = id;
}

int32_t TImgKitMView::GetImageID(int32_t index) const {
  TIKMViewSlot* slot = Slot(index);
  return slot ? slot->ImageID : -1;
}

void TImgKitMView::SetImageDelayTime(int32_t index, int32_t milliseconds) {
  if (TIKMViewSlot* slot = Slot(index)) slot->DisplayTime = milliseconds;
}

int32_t TImgKitMView::GetImageDelayTime(int32_t index) const {
  TIKMViewSlot* slot = Slot(index);
  return slot ? slot->DisplayTime : 0;
}

void TImgKitMView::SetImageOriginalWidth(int32_t index, int32_t value) {
  TIKMViewSlot* slot = Slot(index);
  if (slot && slot->Image) ilist_->SetOriginalWidth(slot->Image, value);
}

void TImgKitMView::SetImageOriginalHeight(int32_t index, int32_t value) {
  TIKMViewSlot* slot = Slot(index);
  if (slot && slot->Image) ilist_->SetOriginalHeight(slot->Image, value);
}

int32_t TImgKitMView::GetImageOriginalWidth(int32_t index) const {
  TIKMViewSlot* slot = Slot(index);
  return slot && slot->Image ? ilist_->GetOriginalWidth(slot->Image) : 0;
}

int32_t TImgKitMView::GetImageOriginalHeight(int32_t index) const {
  TIKMViewSlot* slot = Slot(index);
  return slot && slot->Image ? ilist_->GetOriginalHeight(slot->Image) : 0;
}

int32_t TImgKitMView::GetImageRow(int32_t index) const {
  TIKMViewSlot* slot = Slot(index);
  return slot ? slot->Row : 0;
}

int32_t TImgKitMView::GetImageCol(int32_t index) const {
  TIKMViewSlot* slot = Slot(index);
  return slot ? slot->Column : 0;
}

TIKMText* TImgKitMView::GetImageTopText(int32_t index) const {
  TIKMViewSlot* slot = Slot(index);
  return slot ? slot->TopText.get() : nullptr;
}

TIKMText* TImgKitMView::GetImageBottomText(int32_t index) const {
  TIKMViewSlot* slot = Slot(index);
  return slot ? slot->BottomText.get() : nullptr;
}

TIKMText* TImgKitMView::GetImageInfoText(int32_t index) const {
  TIKMViewSlot* slot = Slot(index);
  return slot ? slot->InfoText.get() : nullptr;
}

TColor TImgKitMView::GetImageBackground(int32_t index) const {
  TIKMViewSlot* slot = Slot(index);
  return slot ? slot->Background : const_cast<TImgKitMView*>(this)->Background();
}

bool TImgKitMView::HasStoredImage(int32_t index) const {
  TIKMViewSlot* slot = Slot(index);
  return slot && slot->Image;
}

int32_t TImgKitMView::GetStoredWidth(int32_t index) {
  TIKMViewSlot* slot = Slot(index);
  return slot && slot->Image ? ilist_->GetImageWidth(slot->Image) : 0;
}

int32_t TImgKitMView::GetStoredHeight(int32_t index) {
  TIKMViewSlot* slot = Slot(index);
  return slot && slot->Image ? ilist_->GetImageHeight(slot->Image) : 0;
}

int32_t TImgKitMView::GetStoredPixelFormat(int32_t index) {
  TIKMViewSlot* slot = Slot(index);
  return slot && slot->Image ? ilist_->GetImagePixelFormat(slot->Image) : ikNoFormat;
}

// ---------------------------------------------------------------- storing

void TImgKitMView::SetIKBitmap(int32_t index, TIKBitmap* bitmap) {
  if (!bitmap) return;
  StoreImage(index, bitmap);
  if (index == selectedImage_) {
    GiveBackCurrentBitmap(false);
    NotifyObservers();
  }
}

void TImgKitMView::StoreImage(int32_t index, TIKBitmap* bitmap) {
  Guard lock(IKGlobalLock());
  if (TIKMViewSlot* slot = Slot(index)) {
    if (slot->Image) {
      // The lent current bitmap belongs to the image being replaced.
      if (index == selectedImage_) GiveBackCurrentBitmap(false);
      ilist_->Delete(slot->Image);
      slot->Image = nullptr;
      DropDisplayCopy(index);
    }
    const int32_t w = bitmap->Width(), h = bitmap->Height();
    if (storeType_ == iktNormal) {
      slot->Image = ilist_->AddImage(bitmap);
    } else {
      int32_t tw = thumbWidth_, th = thumbHeight_;
      if (w > 0 && h > 0) FitSizeKeepingAspect(w, h, thumbWidth_, thumbHeight_, tw, th);
      if (tw == w && th == h) {
        slot->Image = ilist_->AddImage(bitmap);
      } else {
        TIKBitmap thumb;
        BuildThumbnail(bitmap, tw, th, thumb);
        slot->Image = ilist_->AddImage(&thumb);
      }
    }
    if (slot->Image) {
      ilist_->SetOriginalWidth(slot->Image, w);
      ilist_->SetOriginalHeight(slot->Image, h);
    }
  }
}

void TImgKitMView::BuildThumbnail(TIKBitmap* bitmap, int32_t tw, int32_t th, TIKBitmap& thumb) {
  const int32_t w = bitmap->Width(), h = bitmap->Height();
  const bool alpha = bitmap->HasAlphaChannel();
  if (alpha && bitmap->PixelFormat() == ikRGB24) FillTransparentWithColor(bitmap, 0x808080);
  if (bitmap->PixelFormat() == ikMono1) {
    thumb.Allocate(tw, th, ikRGB24);
    if (w > 0 && h > 0) Stretch1BitRect(bitmap, 0, 0, &thumb, h - 1, w - 1);
  } else if (bitmap->PixelFormat() == ikRGB24) {
    thumb.Allocate(tw, th, ikRGB24);
    Resample24(bitmap, &thumb, rfFastLinear);
  } else {
    // An empty image without a pixel format still gets a blank cell.
    thumb.Allocate(tw, th, bitmap->PixelFormat() == ikNoFormat ? ikRGB24 : bitmap->PixelFormat());
    if (w > 0 && h > 0) StretchIKBitmap(bitmap, &thumb, nullptr, {});
  }
  if (alpha) {
    TIKBitmap* source = bitmap->GetAlphaChannel();
    TIKBitmap* dest = thumb.GetAlphaChannel();
    ResampleGray8(source, dest, rfFastLinear);
    dest->SetFull(source->Full());
  }
}

void TImgKitMView::SetBitmap(int32_t index, TBitmap* bitmap) {
  if (!bitmap) return;
  TIKBitmap copy;
  copy.CopyFromTBitmap(bitmap);
  SetIKBitmap(index, &copy);
}

// ---------------------------------------------------------------- loading

void TImgKitMView::SetLoadParams(TImgKitIO& io) {
  TIOParamsVals& p = io.Params();
  if (storeType_ == iktThumb) {
    p.JpegScale = 0;
    const bool small = thumbWidth_ <= 200 && thumbHeight_ <= 200;
    p.SetLoadThumbnail(small);
    p.SetUseRawPreview(small);
    p.Width = thumbWidth_;
    p.Height = thumbHeight_;
  } else {
    p.JpegScale = 1;
  }
  p.TiffAutoRotate = false;
  p.ExifAutoRotate = false;
}

bool TImgKitMView::RunSyncLoad(int32_t index, TImgKitIO& io, rtl::TStream* stream, const String& fileName,
                               int32_t frame, bool frameLoad, bool dropAndLayout) {
  if (!IndexInRange(index)) return false;
  auto bitmap = std::make_unique<TIKBitmap>();
  io.AttachIKBitmap(bitmap.get());
  io.SetBackground(slots_[index]->Background);
  io.OnProgress = OnIOProgress;
  SetLoadParams(io);
  int32_t delay = 0;
  io.Aborting = false;
  try {
    if (frameLoad) {
      LoadFrame(io, frame, delay);
    } else if (stream) {
      io.LoadFromStream(*stream);
    } else {
      io.LoadFromFile(fileName);
    }
  } catch (const std::exception&) {
    io.Aborting = true;
  }
  // A file whose extension no reader claims ends its load quietly with no
  // image; for the slot that is a failed load like any other, so the user
  // sees the placeholder instead of an empty cell.
  const bool ok = !io.Aborting && bitmap->Width() > 0 && bitmap->Height() > 0 && bitmap->PixelFormat() != ikNoFormat;
  if (!ok) DrawWrongImage(bitmap.get(), index);
  // The handler of a wrong image may have changed the slot list.
  if (IndexInRange(index)) {
    if (TIOParamsVals* record = GetMultiIO()->GetImageParams(index)) record->Assign(io.Params());
    {
      // The scheduler reads a slot's colour and name when it starts a load.
      Guard lock(IKGlobalLock());
      slots_[index]->Background = io.Background();
      if (frameLoad) slots_[index]->DisplayTime = delay;
      StoreImage(index, bitmap.get());
      const TIOParamsVals& p = io.Params();
      const bool jpeg = p.FileType == ioJPEG;
      SetImageOriginalWidth(index, jpeg ? p.JpegOriginalWidth : p.Width);
      SetImageOriginalHeight(index, jpeg ? p.JpegOriginalHeight : p.Height);
    }
    if (index == selectedImage_) {
      GiveBackCurrentBitmap(false);
      NotifyObservers();
    }
  }
  io.AttachIKBitmap(nullptr);
  io.OnProgress = nullptr;
  bitmap.reset();
  if (dropAndLayout) {
    DropDisplayCopy(index);
    UpdateEx(false);
  }
  return ok;
}

bool TImgKitMView::SetImageFromFile(int32_t index, const String& fileName) {
  return LoadSlotFromFileOrStream(index, nullptr, fileName);
}

bool TImgKitMView::LoadSlotFromFileOrStream(int32_t index, rtl::TStream* stream, const String& fileName) {
  return RunSyncLoad(index, *io_, stream, fileName, 0, false, true);
}

bool TImgKitMView::LoadSlotImage(int32_t index) {
  Guard lock(IKGlobalLock());
  TIKMViewSlot* slot = Slot(index);
  if (!slot) return true;
  if (slot->ImageID >= 0 && OnImageIDRequest) {
    TBitmap* bitmap = nullptr;
    OnImageIDRequest(this, slot->ImageID, bitmap);
    if (bitmap) SetBitmap(index, bitmap);
    return true;
  }
  if (slot->ImageID >= 0 && OnImageIDRequestEx) {
    TIKBitmap* bitmap = nullptr;
    OnImageIDRequestEx(this, slot->ImageID, bitmap);
    if (bitmap) SetIKBitmap(index, bitmap);
    return true;
  }
  if (!slot->HasFileName) return true;
  const String name = slot->FileName;
  if (name.find("::") != String::npos) {
    int32_t frame = 0;
    TImgKitIO* reader = GetFrameReader(name, frame);
    if (multiIO_) reader->SetAutoAdjustDPI(multiIO_->AutoAdjustDPI);
    return RunSyncLoad(index, *reader, nullptr, reader->Params().FileName, frame, true, false);
  }
  if (multiIO_) io_->SetAutoAdjustDPI(multiIO_->AutoAdjustDPI);
  return RunSyncLoad(index, *io_, nullptr, name, 0, false, false);
}

TImgKitIO* TImgKitMView::GetFrameReader(const String& name, int32_t& frame) {
  const size_t split = name.find("::");
  const String file = name.substr(0, split);
  frame = split == String::npos ? 0 : rtl::StrToIntDef(name.substr(split + 2), 0);
  for (TImgKitIO* reader : frameReaders_) {
    if (reader->Params().FileName == file) return reader;
  }
  auto* reader = new TImgKitIO(this);
  reader->Params().FileName = file;
  frameReaders_.push_back(reader);
  return reader;
}

void TImgKitMView::LoadFrame(TImgKitIO& reader, int32_t frame, int32_t& delayTime) {
  delayTime = 0;
  const String file = reader.Params().FileName;
  const TFormatRegistryRecord* format = FindFormatByExtension(rtl::ExtractFileExt(file));
  const int32_t id = format ? format->FormatId : 0;
  if (id != 0 && id != ioAVI && id != 22 && id != 23) {
    reader.Params().SetImageIndex(frame);
    reader.LoadImageByFileName(file);
    // The load names the file anew; keep the reader findable by it.
    reader.Params().FileName = file;
    if (id == ioGIF) delayTime = reader.Params().GifDelay * 10;
    return;
  }
  if (!reader.IsMediaFileOpen()) reader.OpenMediaFile(file);
  reader.LoadFromMediaFile(frame);
  reader.Params().FileName = file;
  delayTime = reader.Params().MediaFileFrameDelay * 10;
}

void TImgKitMView::DrawWrongImage(TIKBitmap* bitmap, int32_t index) {
  if (!bitmap) return;
  if (OnWrongImage) {
    bitmap->Allocate(thumbWidth_, thumbHeight_, ikRGB24);
    bool handled = false;
    OnWrongImage(this, bitmap, index, handled);
    if (handled) return;
  }
  TBitmap surface;
  surface.SetPixelFormat(pf24bit);
  surface.SetSize(thumbWidth_, thumbHeight_);
  TCanvas* canvas = surface.Canvas();
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(clWhite);
  canvas->FillRect(Rect(0, 0, thumbWidth_, thumbHeight_));
  canvas->Font()->SetName("Arial");
  canvas->Font()->SetStyle(TFontStyles{fsBold});
  canvas->Font()->SetSize(thumbHeight_);
  const int32_t w = canvas->TextWidth("?");
  const int32_t h = canvas->TextHeight("?");
  canvas->Brush()->SetStyle(bsClear);
  canvas->Font()->SetColor(static_cast<TColor>(win::RGB(128, 128, 128)));
  canvas->TextOut((thumbWidth_ - w) / 2 + 3, (thumbHeight_ - h) / 2 + 3, "?");
  canvas->Font()->SetColor(clBlue);
  canvas->TextOut((thumbWidth_ - w) / 2, (thumbHeight_ - h) / 2, "?");
  bitmap->CopyFromTBitmap(&surface);
}

// ---------------------------------------------------------------- lending

TIKBitmap* TImgKitMView::GetTIKBitmap(int32_t index) {
  TIKMViewSlot* slot = Slot(index);
  if (!slot) return nullptr;
  if (!slot->Image) LoadSlotImage(index);
  slot = Slot(index);
  if (!slot || !slot->Image) return nullptr;
  return ilist_->GetBitmap(slot->Image);
}

void TImgKitMView::ReleaseTIKBitmap(TIKBitmap* bitmap, bool writeBack) {
  if (bitmap) ilist_->ReleaseBitmap(bitmap, writeBack);
}

void TImgKitMView::GiveBackCurrentBitmap(bool writeBack) {
  currentTBitmap_.reset();
  if (currentBitmap_) {
    ilist_->ReleaseBitmap(currentBitmap_, writeBack);
    currentBitmap_ = nullptr;
  }
}

TIKBitmap* TImgKitMView::GetCurrentIKBitmap() {
  if (selectedImage_ < 0) return nullptr;
  if (!currentBitmap_) currentBitmap_ = GetTIKBitmap(selectedImage_);
  return currentBitmap_;
}

TBitmap* TImgKitMView::GetCurrentBitmap() {
  TIKBitmap* bitmap = GetCurrentIKBitmap();
  return bitmap ? bitmap->GetTBitmap() : nullptr;
}

void TImgKitMView::SetImageCacheSize(int32_t value) {
  imageCacheSize_ = value;
  ilist_->SetMaxMapped(value);
}

void TImgKitMView::SetDisplayCacheEnabled(bool value) {
  displayCacheEnabled_ = value;
  if (!value) {
    DropAllDisplayCopies();
    Update();
  }
}

void TImgKitMView::DropDisplayCopy(int32_t index) {
  TIKMViewSlot* slot = Slot(index);
  if (slot && slot->Cache) {
    icache_->Delete(slot->Cache);
    slot->Cache = nullptr;
  }
}

void TImgKitMView::DropAllDisplayCopies() {
  for (int32_t i = 0; i < GetImageCount(); ++i) DropDisplayCopy(i);
}

// ---------------------------------------------------------------- selection

void TImgKitMView::SelectImageInternal(int32_t index) {
  selectionChanged_ = false;
  if (playing_ || !IndexInRange(index)) return;
  selectionChanged_ = true;
  if (selectedImage_ >= 0 && currentBitmap_) GiveBackCurrentBitmap(true);
  if (enableMultiSelect_) {
    if (!addFlag_) {
      for (int32_t m : multiSelected_) DoImageDeselect(m);
      multiSelected_.clear();
    } else {
      auto it = std::find(multiSelected_.begin(), multiSelected_.end(), index);
      if (it != multiSelected_.end()) {
        multiSelected_.erase(it);
        DoImageDeselect(index);
        if (!keepFlag_) {
          selectedImage_ = -1;
          return;
        }
      }
    }
    multiSelected_.push_back(index);
  }
  selectedImage_ = index;
  currentBitmap_ = nullptr;
  NotifyObservers();
  DoImageSelect(index);
}

void TImgKitMView::ClearSelection() {
  if (selectedImage_ >= 0) GiveBackCurrentBitmap(true);
  if (enableMultiSelect_) {
    for (int32_t m : multiSelected_) DoImageDeselect(m);
    multiSelected_.clear();
  } else if (selectedImage_ >= 0) {
    DoImageDeselect(selectedImage_);
  }
  selectedImage_ = -1;
}

void TImgKitMView::DeselectAll() {
  ClearSelection();
  UpdateEx(false);
}

void TImgKitMView::SetSelectedImage(int32_t index) {
  if (playing_ || !IndexInRange(index) || (!addFlag_ && index == selectedImage_)) return;
  SelectImageInternal(index);
  UpdateEx(false);
}

int32_t TImgKitMView::GetMultiSelectedImage(int32_t i) const {
  if (i < 0 || i >= GetMultiSelectedCount()) return -1;
  return multiSelected_[i];
}

bool TImgKitMView::IsImageSelected(int32_t index) const {
  return std::find(multiSelected_.begin(), multiSelected_.end(), index) != multiSelected_.end();
}

void TImgKitMView::SetEnableMultiSelect(bool value) {
  if (value == enableMultiSelect_) return;
  enableMultiSelect_ = value;
  Update();
}

void TImgKitMView::DoImageSelect(int32_t index) {
  if (OnImageSelect && userInteraction_) OnImageSelect(this, index);
}

void TImgKitMView::DoImageDeselect(int32_t index) {
  if (OnImageDeselect && !destroying_ && userInteraction_) OnImageDeselect(this, index);
}

// ---------------------------------------------------------------- notices

void TImgKitMView::NotifyObservers() {
  // While the view goes, its slots leave one by one; observers hear only
  // that the view itself goes, so that a multi-image component keeps the
  // records of the slots it had.
  if (!destroying_) TIKView::NotifyObservers();
  changeKind_ = ikmcNone;
}

TImgKitMIO* TImgKitMView::GetMultiIO() {
  if (!multiIO_) {
    multiIO_ = new TImgKitMIO(this);
    multiIO_->SetAttachedMView(this);
    multiIO_->OnProgress = onProgress_;
  }
  return multiIO_;
}

void TImgKitMView::SetOnProgress(TIKProgressEvent value) {
  onProgress_ = std::move(value);
  if (multiIO_) multiIO_->OnProgress = onProgress_;
}

// ---------------------------------------------------------------- updates

int32_t TImgKitMView::UnlockPaint() {
  if (paintLock_ > 0) {
    --paintLock_;
    if (paintLock_ == 0) Update();
  }
  return paintLock_;
}

int32_t TImgKitMView::UnlockPaintNoUpdate() {
  if (paintLock_ > 0) --paintLock_;
  return paintLock_;
}

void TImgKitMView::UpdateEx(bool dropCopies) {
  if (paintLock_ > 0 || inLayout_ || destroying_) return;
  inLayout_ = true;
  ++layoutPasses_;
  if (dropCopies) DropAllDisplayCopies();
  ArrangeLayout();
  NotifyObservers();
  inLayout_ = false;
  if (HandleAllocated()) {
    Invalidate();
    // The bars live in the frame: a layout that showed or hid one must
    // repaint it too.
    win::RedrawWindow(Handle(), nullptr, nullptr, win::RDW_FRAME | win::RDW_ALLCHILDREN | win::RDW_INVALIDATE);
  }
}

void TImgKitMView::SetBackground(TColor color) {
  TIKView::SetBackground(color);
  Update();
}

void TImgKitMView::SetThumbWidth(int32_t value) {
  thumbWidth_ = value;
  DropAllDisplayCopies();
  Update();
}

void TImgKitMView::SetThumbHeight(int32_t value) {
  thumbHeight_ = value;
  DropAllDisplayCopies();
  Update();
}

void TImgKitMView::SetStyle(TIKMStyle value) {
  if (value == style_) return;
  style_ = value;
  Update();
}

void TImgKitMView::SetSelectionStyle(TIKSStyle value) {
  if (value == selectionStyle_) return;
  selectionStyle_ = value;
  Update();
}

void TImgKitMView::SetThumbnailsBorderWidth(int32_t value) {
  if (value == thumbnailsBorderWidth_) return;
  thumbnailsBorderWidth_ = value;
  Update();
}

void TImgKitMView::SetThumbnailsBorderColor(TColor value) {
  if (value == thumbnailsBorderColor_) return;
  thumbnailsBorderColor_ = value;
  Update();
}

void TImgKitMView::SetThumbnailsInternalBorder(bool value) {
  if (value == thumbnailsInternalBorder_) return;
  thumbnailsInternalBorder_ = value;
  Update();
}

void TImgKitMView::SetThumbnailsInternalBorderColor(TColor value) {
  if (value == thumbnailsInternalBorderColor_) return;
  thumbnailsInternalBorderColor_ = value;
  Update();
}

void TImgKitMView::SetWallPaperStyle(TIKWallPaperStyle value) {
  if (value == wallPaperStyle_) return;
  wallPaperStyle_ = value;
  Update();
}

void TImgKitMView::SetFillCellBackground(bool value) {
  fillCellBackground_ = value;
  Update();
}

}  // namespace imaging
