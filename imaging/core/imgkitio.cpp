#include "imaging/core/imgkitio.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsMask.h"
#include "imaging/core/ikutilsStreams.h"
#include "imaging/core/imgkitioThread.h"
#include "imaging/core/imgkitioVideo.h"
#include "imaging/core/iktwain.h"
#include "imaging/core/ikwia.h"
#include "imaging/core/bmpfilt.h"
#include "imaging/core/jpegfilt.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/Threads.h"
#include "platform/win/Messages.h"

namespace imaging {

namespace {

constexpr int32_t FormatSlots = ioRawPixels + 1;
std::array<std::atomic<TIKFilterReadProc>, FormatSlots> readers{};
std::array<std::atomic<TIKFilterWriteProc>, FormatSlots> writers{};

bool ValidSlot(int32_t id) { return id > 0 && id < FormatSlots; }

void WriteToStderr(const char* text) { std::fprintf(stderr, "%s\n", text); }

// Set while an operation must finish on the calling thread, such as a
// load from a caller's memory block that is gone once the call returns.
thread_local int syncOnlyDepth = 0;

struct SyncOnlyScope {
  SyncOnlyScope() { ++syncOnlyDepth; }
  ~SyncOnlyScope() { --syncOnlyDepth; }
  SyncOnlyScope(const SyncOnlyScope&) = delete;
  SyncOnlyScope& operator=(const SyncOnlyScope&) = delete;
};

// Writers that get a 24-bit (or 1-bit) buffer.
bool Needs24BitForWriting(int32_t id) {
  switch (id) {
    case ioJPEG: case ioPCX: case ioICO: case ioTGA: case ioPNM: case ioJP2: case ioJ2K: case ioWBMP:
    case ioPS: case ioPDF:
      return true;
    default:
      return false;
  }
}

// Formats whose loads hand the resolution to an attached view: always, or
// only for loads from a file.
bool ViewDpiAfterLoad(int32_t id, bool fromFile) {
  switch (id) {
    case ioTIFF: case ioJPEG: case ioPCX: case ioBMP: case ioPNG: case ioJP2: case ioJ2K: case ioDCX: case ioRAW:
      return true;
    case ioICO: case ioCUR: case ioTGA:
      return fromFile;
    default:
      return false;
  }
}

bool HasFileLoader(int32_t id) {
  switch (id) {
    case ioTIFF: case ioGIF: case ioJPEG: case ioPCX: case ioBMP: case ioICO: case ioCUR: case ioPNG: case ioTGA:
    case ioPNM: case ioJP2: case ioJ2K: case ioWBMP: case ioDCX: case ioRAW:
      return true;
    default:
      return false;
  }
}

bool HasStreamLoader(int32_t id) { return HasFileLoader(id) && id != ioWBMP; }

bool HasStreamSaver(int32_t id) {
  switch (id) {
    case ioTIFF: case ioGIF: case ioJPEG: case ioPCX: case ioBMP: case ioICO: case ioPNG: case ioTGA: case ioPNM:
    case ioJP2: case ioJ2K: case ioWBMP: case ioPS: case ioPDF: case ioDCX:
      return true;
    default:
      return false;
  }
}

// The file savers chosen by the extension of the name.
int32_t SaverByExtension(const String& ext) {
  static const std::map<String, int32_t> table = {
      {".jpg", ioJPEG}, {".jpeg", ioJPEG}, {".jpe", ioJPEG}, {".jif", ioJPEG}, {".jp2", ioJP2},
      {".j2k", ioJ2K},  {".jpc", ioJ2K},   {".j2c", ioJ2K},  {".pcx", ioPCX},  {".dcx", ioDCX},
      {".gif", ioGIF},  {".tif", ioTIFF},  {".tiff", ioTIFF}, {".fax", ioTIFF}, {".g3f", ioTIFF},
      {".g3n", ioTIFF}, {".png", ioPNG},   {".bmp", ioBMP},  {".dib", ioBMP},  {".rle", ioBMP},
      {".tga", ioTGA},  {".targa", ioTGA}, {".vda", ioTGA},  {".icb", ioTGA},  {".vst", ioTGA},
      {".win", ioTGA},  {".pxm", ioPNM},   {".pbm", ioPNM},  {".pgm", ioPNM},  {".ppm", ioPNM},
      {".ico", ioICO},  {".wbmp", ioWBMP}, {".ps", ioPS},    {".eps", ioPS},   {".pdf", ioPDF},
  };
  const auto it = table.find(ext);
  return it == table.end() ? 0 : it->second;
}

// The IPTC records go to the JPEG writer as the first APP13 marker.
void RefreshJpegIptcMarker(TIOParamsVals& params) {
  if (!params.IptcInfo.Modified() && !(params.IptcInfo.Count() > 0 && params.JpegMarkers.Count() == 0)) return;
  constexpr uint8_t app13 = 0xED;
  const std::vector<uint8_t> block = params.IptcInfo.SaveToBuffer(true);
  const int32_t index = params.JpegMarkers.IndexOf(app13);
  const int32_t length = static_cast<int32_t>(block.size());
  if (!block.empty()) {
    if (index >= 0)
      params.JpegMarkers.SetMarker(index, app13, block.data(), length);
    else
      params.JpegMarkers.AddMarker(app13, block.data(), length);
  } else if (index >= 0) {
    params.JpegMarkers.Delete(index);
  }
}

const char* HeaderTag(int32_t id) {
  switch (id) {
    case ioTIFF: return "TIFF";
    case ioJPEG: return "JFIF";
    case ioPCX: return "PCX2";
    default: return nullptr;
  }
}

}  // namespace

std::atomic<TIKDebugOutputProc> IKDebugOutput{WriteToStderr};

void InstallFormatFilter(int32_t formatId, TIKFilterReadProc read, TIKFilterWriteProc write) {
  if (!ValidSlot(formatId)) throw EIKError("InstallFormatFilter: no built-in format has the id " + std::to_string(formatId));
  readers[static_cast<size_t>(formatId)] = read;
  writers[static_cast<size_t>(formatId)] = write;
}

TIKFilterReadProc FormatReader(int32_t formatId) {
  return ValidSlot(formatId) ? readers[static_cast<size_t>(formatId)].load() : nullptr;
}

TIKFilterWriteProc FormatWriter(int32_t formatId) {
  return ValidSlot(formatId) ? writers[static_cast<size_t>(formatId)].load() : nullptr;
}

// ---------------------------------------------------------------------------
// construction and attachment

void InstallBuiltInFilters() {
  static std::once_flag once;
  std::call_once(once, [] {
    InstallJpegFilter();
    InstallBmpFilter();
  });
}

TImgKitIO::TImgKitIO(forms::TComponent* owner) : forms::TComponent(owner) {
  InstallBuiltInFilters();
  NewOwnBuffer();
  params_ = std::make_unique<TIOParamsVals>(this);
  twainParams_ = std::make_unique<TIKTWainParams>(this);
  printPreviewParams_ = std::make_unique<TIOPrintPreviewParams>();
}

TImgKitIO::~TImgKitIO() {
  WaitForIOThreads(false);
  CloseMediaFile();
  CloseAVIFile();
  RemoveViewObserver();
  params_.reset();
  twainParams_.reset();
  printPreviewParams_.reset();
  FreeOwnBuffer();
  wia_.reset();
}

TIKWia* TImgKitIO::GetWia() {
  if (!wia_) {
    wia_ = std::make_unique<TIKWia>(this);
    wia_->ProgressCallback = [this](int32_t percent) {
      DoProgress(this, percent);
      return !Aborting.load();
    };
  }
  return wia_.get();
}

void TImgKitIO::NewOwnBuffer() {
  FreeOwnBuffer();
  ownBuffer_ = std::make_unique<TIKBitmap>();
  ikBitmap_ = ownBuffer_.get();
  ownsBuffer_ = true;
}

void TImgKitIO::FreeOwnBuffer() {
  if (ownsBuffer_) ikBitmap_ = nullptr;
  ownBuffer_.reset();
  ownsBuffer_ = false;
}

void TImgKitIO::RemoveViewObserver() {
  if (attachedView_ && observerHandle_ != -1) attachedView_->RemoveObserver(observerHandle_);
  observerHandle_ = -1;
}

void TImgKitIO::Notification(forms::TComponent* component, forms::TOperation operation) {
  forms::TComponent::Notification(component, operation);
  if (operation != forms::opRemove) return;
  // Compared with the component noted at attachment: the view's other
  // parts are already gone when its component part reports removal.
  if (attachedView_ && component == attachedViewComponent_) {
    RemoveViewObserver();
    AttachedViewChanged(1);
  }
  if (component == attachedImage_) {
    attachedImage_ = nullptr;
    // The control's bitmap goes with it; the buffer must not keep
    // wrapping it.
    workBitmap_ = nullptr;
    if (ownsBuffer_) NewOwnBuffer();
  }
}

void TImgKitIO::SetAttachedImgKit(TIKViewLink* view) {
  RemoveViewObserver();
  attachedView_ = view;
  if (!view) {
    // The view's bitmap (and a buffer that wrapped it) go with the view.
    workBitmap_ = nullptr;
    NewOwnBuffer();
    return;
  }
  FreeOwnBuffer();
  workBitmap_ = view->GetCurrentBitmap();
  ikBitmap_ = view->GetCurrentIKBitmap();
  if (!ikBitmap_) {
    NewOwnBuffer();
    ikBitmap_->EncapsulateTBitmap(workBitmap_, true);
  } else {
    workBitmap_ = nullptr;
  }
  attachedViewComponent_ = view->ViewComponent();
  attachedViewComponent_->FreeNotification(this);
  attachedImage_ = nullptr;
  observerHandle_ = view->RegisterObserver([this](int32_t change) { AttachedViewChanged(change); });
}

void TImgKitIO::AttachedViewChanged(int32_t change) {
  if (!attachedView_) return;
  if (change == 1) {
    // The view is going: its observer list goes with it.
    observerHandle_ = -1;
    SetAttachedImgKit(nullptr);
    return;
  }
  if (change != 0) return;
  workBitmap_ = attachedView_->GetCurrentBitmap();
  if (ownsBuffer_) {
    ikBitmap_->EncapsulateTBitmap(workBitmap_, true);
  } else {
    ikBitmap_ = attachedView_->GetCurrentIKBitmap();
    if (ikBitmap_) workBitmap_ = nullptr;
  }
  params_->SetDpiX(attachedView_->DpiX());
  params_->SetDpiY(attachedView_->DpiY());
}

void TImgKitIO::SetAttachedTImage(forms::TImage* image) {
  RemoveViewObserver();
  attachedImage_ = image;
  if (image) {
    // A buffer borrowed from a view stays the view's: the image control
    // gets a buffer of its own.
    if (!ownsBuffer_) NewOwnBuffer();
    workBitmap_ = image->Picture()->Bitmap();
    ikBitmap_->EncapsulateTBitmap(workBitmap_, true);
    image->FreeNotification(this);
    attachedView_ = nullptr;
  } else {
    if (ikBitmap_) ikBitmap_->FreeImage(true);
    workBitmap_ = nullptr;
  }
}

void TImgKitIO::ReplaceIKBitmap(TIKBitmap* bitmap) {
  workBitmap_ = nullptr;
  FreeOwnBuffer();
  ownsBuffer_ = false;
  ikBitmap_ = bitmap;
}

void TImgKitIO::AttachIKBitmap(TIKBitmap* bitmap) {
  RemoveViewObserver();
  if (!bitmap && (attachedView_ || attachedImage_)) return;
  ReplaceIKBitmap(bitmap);
  if (bitmap) {
    attachedView_ = nullptr;
    attachedImage_ = nullptr;
  }
}

forms::TBitmap* TImgKitIO::GetTBitmap() {
  if (ikBitmap_ && ikBitmap_->Location() == ikTBitmap) return ikBitmap_->GetTBitmap();
  return workBitmap_;
}

forms::TColor TImgKitIO::Background() { return attachedView_ ? attachedView_->Background() : ownBackground_; }

void TImgKitIO::SetBackground(forms::TColor color) {
  if (!attachedView_) {
    ownBackground_ = color;
  } else if (!attachedView_->IsThumbnailView() && ChangeBackground) {
    attachedView_->SetBackground(color);
  }
}

void TImgKitIO::SetNativePixelFormat(bool value) {
  if (params_) params_->NativePixelFormat = value;
}

void TImgKitIO::SetDefaultDitherMethod(uint8_t value) {
  defaultDitherMethod_ = value;
  if (ikBitmap_) ikBitmap_->SetDitherMethod(value);
}

bool TImgKitIO::PlatformBitmapSize(int32_t& width, int32_t& height) {
  forms::TBitmap* bitmap = GetTBitmap();
  if (!bitmap) return false;
  width = bitmap->Width();
  height = bitmap->Height();
  return true;
}

void TImgKitIO::ViewSetDPIX(int32_t dpi) {
  if (attachedView_) attachedView_->SetDPIX(dpi);
}

void TImgKitIO::ViewSetDPIY(int32_t dpi) {
  if (attachedView_) attachedView_->SetDPIY(dpi);
}

// ---------------------------------------------------------------------------
// shared steps

bool TImgKitIO::CheckBitmap() {
  if (!ikBitmap_) {
    // Nothing can be read into or written from a missing buffer: the
    // caller must not take the operation for a success.
    Aborting = true;
    return false;
  }
  if (workBitmap_) ikBitmap_->EncapsulateTBitmap(workBitmap_, false);
  return true;
}

void TImgKitIO::UpdateAttached() {
  if (workBitmap_) ikBitmap_->RemoveAlphaChannel();
  if (attachedView_) {
    if (IsOwnIOThread()) {
      if (attachedView_->HasParentWindow()) win::PostMessage(attachedView_->ViewHandle(), IKMSG_UPDATE, 0, 0);
    } else {
      attachedView_->Update();
    }
    attachedView_->ImageChanged();
  } else if (workBitmap_) {
    workBitmap_->SetModified(true);
  }
}

void TImgKitIO::ApplyDefaultDpi() {
  if (params_->DpiX() < 2) params_->SetDpiX(DefaultDpiX.load());
  if (params_->DpiY() < 2) params_->SetDpiY(DefaultDpiY.load());
}

int32_t TImgKitIO::IOThreadCount() {
  std::lock_guard lock(ioThreadLock_);
  return static_cast<int32_t>(ioThreads_.size());
}

bool TImgKitIO::IsOwnIOThread() {
  const uint32_t me = rtl::GetCurrentThreadId();
  std::lock_guard lock(ioThreadLock_);
  for (TIKIOThread* t : ioThreads_)
    if (t->ThreadID() == me) return true;
  return false;
}

void TImgKitIO::WaitForIOThreads(bool abort) {
  std::unique_lock lock(ioThreadLock_);
  for (;;) {
    if (abort) Aborting = true;
    if (ioThreads_.empty()) return;
    // With abort the flag is set again on every pass, since an operation
    // starting on a thread clears it.
    if (abort)
      ioThreadsChanged_.wait_for(lock, std::chrono::milliseconds(1));
    else
      ioThreadsChanged_.wait(lock);
  }
}

void TImgKitIO::RegisterIOThread(TIKIOThread* thread) {
  std::lock_guard lock(ioThreadLock_);
  ioThreads_.push_back(thread);
}

void TImgKitIO::UnregisterIOThread(TIKIOThread* thread) {
  std::lock_guard lock(ioThreadLock_);
  std::erase(ioThreads_, thread);
  // Notified under the lock: the owner may be destroyed the moment it sees
  // the list empty.
  ioThreadsChanged_.notify_all();
}

bool TImgKitIO::MovedToThread(uint8_t kind, std::function<void()> operation) {
  if (ownsBuffer_ || !AsyncMode || syncOnlyDepth > 0 || IsOwnIOThread()) return false;
  TIKIOThread::Launch(this, kind, std::move(operation));
  return true;
}

void TImgKitIO::DoProgress(forms::TObject* sender, int32_t per) {
  if (!OnProgress) return;
  if (attachedView_ && attachedView_->HasParentWindow() && IsOwnIOThread()) {
    win::PostMessage(attachedView_->ViewHandle(), IKMSG_PROGRESS, static_cast<win::WPARAM>(per), 0);
  } else {
    OnProgress(sender, per);
  }
}

void TImgKitIO::DoFinishWork() {
  DoProgress(this, 100);
  if (!OnFinishWork) return;
  if (attachedView_ && attachedView_->HasParentWindow() && IsOwnIOThread()) {
    win::PostMessage(attachedView_->ViewHandle(), IKMSG_FINISHWORK, 0, 0);
  } else {
    OnFinishWork(this);
  }
}

void TImgKitIO::ProgressThunk(void* data, forms::TObject* sender, int32_t percent) {
  static_cast<TImgKitIO*>(data)->DoProgress(sender, percent);
}

TProgressRec TImgKitIO::MakeProgress(bool withCallback) {
  TProgressRec progress;
  progress.Callback = withCallback ? &TImgKitIO::ProgressThunk : nullptr;
  progress.CallbackData = this;
  progress.Sender = this;
  progress.AbortFlag = &Aborting;
  return progress;
}

void TImgKitIO::FailUnsupported() {
  Aborting = true;
  DoFinishWork();
}

// ---------------------------------------------------------------------------
// built-in formats

int32_t TImgKitIO::LoadFileBuiltIn(const String& fileName, int32_t formatId) {
  const uint8_t kind = (formatId == ioTIFF || formatId == ioGIF) ? iotkFileNameResult : iotkFileName;
  if (MovedToThread(kind, [this, fileName, formatId] { LoadFileBuiltIn(fileName, formatId); })) return -1;
  if (!FormatReader(formatId)) {
    FailUnsupported();
    return 0;
  }
  // Set until the file is open, so that a file that cannot be opened
  // leaves it set.
  Aborting = true;
  std::unique_ptr<rtl::TFileStream> file;
  try {
    file = std::make_unique<rtl::TFileStream>(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
  } catch (...) {
    DoFinishWork();
    throw;
  }
  if (file->Size() == 0) {
    // No format has an empty file; a reader would only report "nothing
    // decoded" in its own way, so the component says it once for all.
    FailUnsupported();
    return 0;
  }
  Aborting = false;
  return LoadSkeleton(*file, formatId, fileName);
}

int32_t TImgKitIO::LoadStreamBuiltIn(rtl::TStream& stream, int32_t formatId) {
  const uint8_t kind = (formatId == ioTIFF || formatId == ioGIF) ? iotkStreamResult : iotkStream;
  if (MovedToThread(kind, [this, s = &stream, formatId] { LoadStreamBuiltIn(*s, formatId); })) return -1;
  if (!FormatReader(formatId)) {
    FailUnsupported();
    return 0;
  }
  Aborting = false;
  return LoadSkeleton(stream, formatId, String());
}

void TImgKitIO::LoadFromStreamRAW(rtl::TStream& s) {
  // An extension taken over by a format added at run time goes there.
  const TFormatRegistryRecord* record = FindFormatByExtension("RAW");
  if (record && record->FormatId != ioRAW) {
    LoadFromStreamFormat(s, record->FormatId);
    return;
  }
  LoadStreamBuiltIn(s, ioRAW);
}

int32_t TImgKitIO::LoadSkeleton(rtl::TStream& stream, int32_t formatId, const String& fileName) {
  if (!CheckBitmap()) {
    DoFinishWork();
    return 0;
  }
  const bool fromFile = !fileName.empty();
  params_->ResetLoadInfo();
  TProgressRec progress = MakeProgress(true);
  ikBitmap_->RemoveAlphaChannel();

  TIKFilterReadArgs args;
  args.Stream = &stream;
  args.Bitmap = ikBitmap_;
  args.Params = params_.get();
  args.Progress = &progress;
  int64_t endAfter = -1;
  bool finished = false;
  try {
    if (!fromFile && formatId == ioJPEG) {
      const int64_t h = stream.Position();
      TIKStreamHeader header;
      if (ReadStreamHeader(stream, header) && header.TagText() == "JFIF") {
        args.DataSize = header.Length;
        endAfter = h + IKStreamHeaderSize + header.Length;
      } else {
        stream.SetPosition(h);
      }
    } else if (!fromFile && formatId == ioTIFF && streamHeaders_) {
      const int64_t h = stream.Position();
      TIKStreamHeader header;
      if (!ReadStreamHeader(stream, header) || header.TagText() != "TIFF") {
        Aborting = true;
        finished = true;
        DoFinishWork();
        return 0;
      }
      args.DataSize = header.Length;
      endAfter = h + IKStreamHeaderSize + header.Length;
    } else if (!fromFile && formatId == ioPCX && streamHeaders_) {
      const int64_t h = stream.Position();
      TIKStreamHeader header;
      if (!ReadStreamHeader(stream, header) || header.TagText().compare(0, 3, "PCX") != 0) {
        Aborting = true;
        finished = true;
        DoFinishWork();
        return 0;
      }
      if (header.TagText() == "PCX2") {
        args.DataSize = header.Length;
        endAfter = h + IKStreamHeaderSize + header.Length;
      } else {
        // The older 4-byte header: the data runs to the end of the stream.
        stream.SetPosition(h + 4);
        args.DataSize = stream.Size();
      }
    } else if (formatId == ioPCX) {
      args.DataSize = stream.Size();
    }

    FormatReader(formatId)(args);

    if (endAfter >= 0) stream.SetPosition(endAfter);
    if (formatId != ioRawPixels) ApplyDefaultDpi();
    if (args.Mask) ikBitmap_->GetAlphaChannel()->CopyFromTIKMask(args.Mask.get());
    args.Mask.reset();
    if (autoAdjustDPI_ && formatId != ioWBMP && formatId != ioRawPixels) AdjustDPI();
    if (attachedView_ && ViewDpiAfterLoad(formatId, fromFile))
      attachedView_->SetDPI(params_->DpiX(), params_->DpiY());
    params_->FileName = fileName;
    params_->FileType = formatId;
    UpdateAttached();
  } catch (...) {
    if (!finished) DoFinishWork();
    throw;
  }
  DoFinishWork();
  return args.ImageCount;
}

void TImgKitIO::SaveFileBuiltIn(const String& fileName, int32_t formatId) {
  // Checked before any move to a thread: this failure has no completion
  // event, and a caller waiting for one would wait for ever.
  if (!FormatWriter(formatId)) {
    // Nothing to write with: the file is left as it is.
    Aborting = true;
    return;
  }
  if (MovedToThread(iotkFileName, [this, fileName, formatId] { SaveFileBuiltIn(fileName, formatId); })) return;
  // Without a buffer an existing file is not emptied for nothing.
  if (!CheckBitmap()) {
    DoFinishWork();
    return;
  }
  Aborting = true;
  std::unique_ptr<rtl::TFileStream> file;
  try {
    file = std::make_unique<rtl::TFileStream>(fileName, rtl::fmCreate);
  } catch (...) {
    DoFinishWork();
    throw;
  }
  Aborting = false;
  try {
    SaveSkeleton(*file, formatId);
    params_->FileName = fileName;
  } catch (...) {
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

void TImgKitIO::SaveStreamBuiltIn(rtl::TStream& stream, int32_t formatId) {
  if (!FormatWriter(formatId)) {
    Aborting = true;
    return;
  }
  if (MovedToThread(iotkStream, [this, s = &stream, formatId] { SaveStreamBuiltIn(*s, formatId); })) return;
  Aborting = false;
  if (!CheckBitmap()) {
    DoFinishWork();
    return;
  }
  try {
    if (formatId == ioDCX) stream.SetSize(0);
    const char* tag = streamHeaders_ ? HeaderTag(formatId) : nullptr;
    const int64_t h = stream.Position();
    // A placeholder now, the real header once the length is known, so the
    // image is encoded once and never buffered.
    if (tag) WriteStreamHeader(stream, "", 0);
    SaveSkeleton(stream, formatId);
    if (tag && (formatId != ioPCX || !Aborting)) {
      const int64_t e = stream.Position();
      stream.SetPosition(h);
      WriteStreamHeader(stream, tag, static_cast<uint32_t>(e - h - IKStreamHeaderSize));
      stream.SetPosition(e);
    }
  } catch (...) {
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

void TImgKitIO::SaveSkeleton(rtl::TStream& stream, int32_t formatId) {
  if (Needs24BitForWriting(formatId)) {
    const TIKPixelFormat pf = ikBitmap_->PixelFormat();
    if (pf != ikRGB24 && pf != ikMono1) ikBitmap_->SetPixelFormat(ikRGB24);
  }
  std::unique_ptr<TIKMask> mask;
  if ((formatId == ioPNG || formatId == ioTGA) && ikBitmap_->HasAlphaChannel()) {
    mask = std::make_unique<TIKMask>();
    ikBitmap_->GetAlphaChannel()->CopyToTIKMask(mask.get());
  }
  if (formatId == ioJPEG) RefreshJpegIptcMarker(*params_);
  TProgressRec progress = MakeProgress(true);
  TIKFilterWriteArgs args;
  args.Stream = &stream;
  args.Bitmap = ikBitmap_;
  args.Params = params_.get();
  args.Progress = &progress;
  args.Mask = mask.get();
  FormatWriter(formatId)(args);
}

// ---------------------------------------------------------------------------
// formats added at run time

void TImgKitIO::LoadPlugin(rtl::TStream* stream, const String& fileName, const TFormatRegistryRecord& record,
                           bool catchReaderErrors) {
  params_->ResetLoadInfo();
  params_->FileName.clear();
  params_->FileType = 0;
  if (!record.ReadFunction) {
    FailUnsupported();
    return;
  }
  std::unique_ptr<rtl::TFileStream> file;
  if (!stream) {
    Aborting = true;
    try {
      file = std::make_unique<rtl::TFileStream>(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
    } catch (...) {
      DoFinishWork();
      throw;
    }
    stream = file.get();
    if (file->Size() == 0) {
      FailUnsupported();
      return;
    }
  }
  Aborting = false;
  if (!CheckBitmap()) {
    DoFinishWork();
    return;
  }
  params_->FileName = fileName;
  params_->FileType = record.FormatId;
  TProgressRec progress = MakeProgress(true);
  ikBitmap_->RemoveAlphaChannel();
  try {
    try {
      record.ReadFunction(*stream, ikBitmap_, *params_, false, progress);
    } catch (...) {
      if (!catchReaderErrors) throw;
      Aborting = true;
    }
    ApplyDefaultDpi();
    const bool good = !catchReaderErrors || !Aborting;
    if (good && autoAdjustDPI_) AdjustDPI();
    if (good && attachedView_) attachedView_->SetDPI(params_->DpiX(), params_->DpiY());
    UpdateAttached();
  } catch (...) {
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

void TImgKitIO::SavePlugin(rtl::TStream* stream, const String& fileName, const TFormatRegistryRecord& record) {
  if (!CheckBitmap()) {
    DoFinishWork();
    return;
  }
  std::unique_ptr<rtl::TFileStream> file;
  if (!stream) {
    Aborting = true;
    try {
      file = std::make_unique<rtl::TFileStream>(fileName, rtl::fmCreate);
    } catch (...) {
      DoFinishWork();
      throw;
    }
    stream = file.get();
  }
  Aborting = false;
  try {
    const TIKPixelFormat pf = ikBitmap_->PixelFormat();
    if (pf != ikRGB24 && pf != ikMono1) ikBitmap_->SetPixelFormat(ikRGB24);
    TProgressRec progress = MakeProgress(true);
    record.WriteFunction(*stream, ikBitmap_, *params_, progress);
    params_->FileType = record.FormatId;
    if (file) params_->FileName = fileName;
  } catch (...) {
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

// ---------------------------------------------------------------------------
// dispatchers

void TImgKitIO::LoadFromFile(const String& fileName) {
  const int32_t id = DetectFileFormat(fileName, false);
  if (id != 0)
    LoadFromFileFormat(fileName, id);
  else
    LoadImageByFileName(fileName);
}

void TImgKitIO::LoadFromFileFormat(const String& fileName, int32_t formatId) {
  // AVI has no registry record, yet detection names it: its frames are
  // read whatever the file is called.
  if (formatId == ioAVI) {
    LoadAviByFileName(fileName);
    return;
  }
  const TFormatRegistryRecord* record = FindFormatById(formatId);
  if (!record) {
    // Raw pixel data has no record: it is read only when asked for by id.
    if (formatId == ioRawPixels) LoadFileBuiltIn(fileName, ioRawPixels);
    return;
  }
  if (record->BuiltIn) {
    if (HasFileLoader(formatId))
      LoadFileBuiltIn(fileName, formatId);
    else if (formatId == ioWMF || formatId == ioEMF)
      ImportMetafile(fileName, -1, true, -1);
    else
      LoadImageByFileName(fileName);
    return;
  }
  if (MovedToThread(iotkFileNameFormat, [this, fileName, formatId] { LoadFromFileFormat(fileName, formatId); }))
    return;
  LoadPlugin(nullptr, fileName, *record, false);
}

void TImgKitIO::LoadImageByFileName(const String& fileName) {
  if (!ikBitmap_) {
    FailUnsupported();
    return;
  }
  if (rtl::LowerCase(fileName.substr(0, 7)) == "http://") {
    LoadImageFromHttp(fileName);
    return;
  }
  const String ext = rtl::LowerCase(rtl::ExtractFileExt(fileName));
  if (ext == ".avi") {
    LoadAviByFileName(fileName);
    return;
  }
  const TFormatRegistryRecord* record = FindFormatByExtension(ext);
  if (!record) return;
  if (record->BuiltIn) {
    const int32_t id = record->FormatId;
    if (HasFileLoader(id))
      LoadFileBuiltIn(fileName, id);
    else if (id == ioWMF || id == ioEMF)
      ImportMetafile(fileName, -1, true, -1);
    else
      FailUnsupported();  // PostScript and PDF are written, never read
    return;
  }
  if (MovedToThread(iotkFileName, [this, fileName] { LoadImageByFileName(fileName); })) return;
  LoadPlugin(nullptr, fileName, *record, true);
}

void TImgKitIO::LoadFromStream(rtl::TStream& stream) {
  const int64_t p = stream.Position();
  const int32_t id = DetectStreamFormat(stream);
  const TFormatRegistryRecord* record = FindFormatById(id);
  if (!record) return;
  stream.SetPosition(p);
  if (record->BuiltIn) {
    if (HasStreamLoader(id)) LoadStreamBuiltIn(stream, id);
    return;
  }
  if (MovedToThread(iotkStream, [this, s = &stream] { LoadFromStream(*s); })) return;
  LoadPlugin(&stream, String(), *record, false);
}

void TImgKitIO::LoadFromStreamFormat(rtl::TStream& stream, int32_t formatId) {
  const TFormatRegistryRecord* record = FindFormatById(formatId);
  if (!record) {
    if (formatId == ioRawPixels) LoadStreamBuiltIn(stream, ioRawPixels);
    return;
  }
  if (record->BuiltIn) {
    if (formatId == ioRAW)
      LoadFromStreamRAW(stream);
    else if (HasStreamLoader(formatId) || formatId == ioWBMP)
      LoadStreamBuiltIn(stream, formatId);
    return;
  }
  if (MovedToThread(iotkStreamFormat, [this, s = &stream, formatId] { LoadFromStreamFormat(*s, formatId); }))
    return;
  LoadPlugin(&stream, String(), *record, false);
}

void TImgKitIO::LoadFromBuffer(const void* buffer, int64_t size, int32_t formatId) {
  // The block is the caller's and may be gone once this returns, so the
  // load never moves to a background thread.
  SyncOnlyScope syncOnly;
  TIKMemStream stream(buffer, size);
  if (formatId != 0)
    LoadFromStreamFormat(stream, formatId);
  else
    LoadFromStream(stream);
}

void TImgKitIO::SaveImageByFileName(const String& fileName) {
  if (fileName.empty()) return;
  const String ext = rtl::LowerCase(rtl::ExtractFileExt(fileName));
  if (const int32_t id = SaverByExtension(ext)) {
    SaveFileBuiltIn(fileName, id);
    return;
  }
  const TFormatRegistryRecord* record = FindFormatByExtension(ext);
  if (record && record->BuiltIn) {
    // Extensions a built-in format reads but has no saver for (".xif",
    // ".pix"): writing them would leave an empty file, so they are refused
    // before the file is touched.
    Aborting = true;
    throw EIKError("Cannot save \"" + fileName + "\": there is no writer for the file type \"" + ext + "\"");
  }
  if (!record || !record->WriteFunction) {
    Aborting = true;
    return;
  }
  if (MovedToThread(iotkFileName, [this, fileName] { SaveImageByFileName(fileName); })) return;
  SavePlugin(nullptr, fileName, *record);
}

void TImgKitIO::SaveToStream(rtl::TStream& stream, int32_t formatId) {
  if (HasStreamSaver(formatId)) {
    SaveStreamBuiltIn(stream, formatId);
    return;
  }
  const TFormatRegistryRecord* record = FindFormatById(formatId);
  if (!record || !record->WriteFunction) {
    Aborting = true;
    return;
  }
  if (MovedToThread(iotkStreamFormat, [this, s = &stream, formatId] { SaveToStream(*s, formatId); })) return;
  SavePlugin(&stream, String(), *record);
}

void TImgKitIO::ParamsSkeleton(rtl::TStream& stream, int32_t formatId) {
  TProgressRec progress = MakeProgress(false);
  try {
    const TFormatRegistryRecord* record = FindFormatById(formatId);
    if (record && !record->BuiltIn) {
      if (record->ReadFunction)
        record->ReadFunction(stream, ikBitmap_, *params_, true, progress);
      else
        Aborting = true;
    } else if (TIKFilterReadProc reader = HasStreamLoader(formatId) || formatId == ioWBMP
                                             ? FormatReader(formatId)
                                             : nullptr) {
      TIKFilterReadArgs args;
      args.Stream = &stream;
      args.Bitmap = ikBitmap_;
      args.Params = params_.get();
      args.ParamsOnly = true;
      args.Progress = &progress;
      reader(args);
    } else {
      // No reader here for the id: the parameters cannot be known.
      Aborting = true;
    }
  } catch (...) {
    params_->FileType = 0;
  }
  if (Aborting) params_->FileType = 0;
}

void TImgKitIO::ParamsFromFileFormat(const String& fileName, int32_t formatId) {
  params_->FileType = formatId;
  params_->ResetLoadInfo();
  Aborting = true;
  std::unique_ptr<rtl::TFileStream> file;
  try {
    file = std::make_unique<rtl::TFileStream>(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
  } catch (...) {
    DoFinishWork();
    throw;
  }
  Aborting = false;
  ParamsSkeleton(*file, formatId);
  params_->FileName = fileName;
  file.reset();
  DoFinishWork();
}

void TImgKitIO::ParamsFromFile(const String& fileName) {
  try {
    ParamsFromFileFormat(fileName, DetectFileFormat(fileName, true));
  } catch (...) {
    params_->FileType = 0;
  }
}

void TImgKitIO::ParamsFromStreamFormat(rtl::TStream& stream, int32_t formatId) {
  params_->FileType = formatId;
  params_->ResetLoadInfo();
  Aborting = false;
  ParamsSkeleton(stream, formatId);
  params_->FileName.clear();
  DoFinishWork();
}

void TImgKitIO::ParamsFromStream(rtl::TStream& stream) { ParamsFromStreamFormat(stream, DetectStreamFormat(stream)); }

// ---------------------------------------------------------------------------
// work of other modules

void TImgKitIO::ImportMetafile(const String& fileName, int32_t width, bool withAlpha, int32_t height) {
  if (MovedToThread(iotkMetafile, [this, fileName, width, withAlpha, height] {
        ImportMetafile(fileName, width, withAlpha, height);
      }))
    return;
  FailUnsupported();
}

void TImgKitIO::AdjustDPI() { throw EIKError("AdjustDPI: resolution adjustment is not available in this build"); }

}  // namespace imaging
