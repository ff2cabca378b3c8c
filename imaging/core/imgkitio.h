#pragma once
// TImgKitIO, the component through which every picture of the imaging
// component is read and written: it holds one image buffer (its own or one
// it borrows from a view, an image control or the caller), finds the format
// of a file or stream, runs the format's reader or writer on it, keeps the
// parameters of the last load or save, reports progress and completion,
// and, for a borrowed buffer, can run the work on background threads.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "imaging/core/ikdefs.h"
#include "imaging/core/imgkitioParams.h"
#include "imaging/core/imgkitioRegistry.h"
#include "platform/forms/Components.h"
#include "platform/forms/Graphics.h"
#include "platform/rtl/Streams.h"
#include "platform/win/Types.h"

namespace forms {
class TImage;
}

namespace imaging {

class TIKBitmap;
class TIKMask;
class TIKIOThread;
class TIKDirectShow;
class TIKWia;
class TIKTWainParams;
class TIOPrintPreviewParams;
struct TIKAviFile;
struct TIKMediaFile;

// Messages posted to an attached view's window from background work.
enum : uint32_t {
  IKMSG_UPDATE = 0x1F58,      // the image changed; the view runs its Update
  IKMSG_DSHOWFRAME = 0x1F59,  // a new frame of a video source (lParam: the source)
  IKMSG_DSHOWEVENT = 0x1F5A,  // an event of a video source (lParam: the source)
  IKMSG_PROGRESS = 0x1F5B,    // wParam: the percentage
  IKMSG_FINISHWORK = 0x1F5C,  // an operation ended
};

// What the component needs of an image view. The views implement it; the
// component keeps no other knowledge of them.
class TIKViewLink {
public:
  virtual ~TIKViewLink() = default;
  // The view as a component, for free notifications.
  virtual forms::TComponent* ViewComponent() = 0;
  // The view's platform bitmap, for a view that keeps one, else null.
  virtual forms::TBitmap* GetCurrentBitmap() = 0;
  // The view's image buffer, null when it keeps a platform bitmap instead.
  virtual TIKBitmap* GetCurrentIKBitmap() = 0;
  // Change 0: the view's image was replaced; 1: the view is going away.
  // Returns a handle for RemoveObserver.
  virtual int32_t RegisterObserver(std::function<void(int32_t change)> observer) = 0;
  virtual void RemoveObserver(int32_t handle) = 0;
  // Background messages go to the view only while it has a parent window.
  virtual bool HasParentWindow() = 0;
  virtual win::HWND ViewHandle() = 0;
  virtual void Update() = 0;
  virtual void ImageChanged() = 0;
  virtual void SetDPI(int32_t dpiX, int32_t dpiY) = 0;
  virtual void SetDPIX(int32_t dpi) = 0;
  virtual void SetDPIY(int32_t dpi) = 0;
  virtual int32_t DpiX() = 0;
  virtual int32_t DpiY() = 0;
  virtual forms::TColor Background() = 0;
  virtual void SetBackground(forms::TColor color) = 0;
  // Thumbnail views keep their own background.
  virtual bool IsThumbnailView() = 0;
};

// The entry points of a built-in format's filter, installed by the filter's
// module when it starts. A format whose filter is not installed cannot be
// read or written: the operations end with Aborting set.
struct TIKFilterReadArgs {
  rtl::TStream* Stream = nullptr;
  TIKBitmap* Bitmap = nullptr;
  TIOParamsVals* Params = nullptr;
  bool ParamsOnly = false;
  TProgressRec* Progress = nullptr;
  // Bytes of image data from the position; -1: up to the end of the stream.
  int64_t DataSize = -1;
  // Out: a transparency mask the reader found.
  std::unique_ptr<TIKMask> Mask;
  // Out: the number of images in the file (multi-image formats).
  int32_t ImageCount = 0;
};
struct TIKFilterWriteArgs {
  rtl::TStream* Stream = nullptr;
  TIKBitmap* Bitmap = nullptr;
  TIOParamsVals* Params = nullptr;
  TProgressRec* Progress = nullptr;
  // The alpha plane as a mask, for the formats that store transparency.
  TIKMask* Mask = nullptr;
};
using TIKFilterReadProc = void (*)(TIKFilterReadArgs& args);
using TIKFilterWriteProc = void (*)(TIKFilterWriteArgs& args);
// Null entries remove the reader or writer.
void InstallFormatFilter(int32_t formatId, TIKFilterReadProc read, TIKFilterWriteProc write);
TIKFilterReadProc FormatReader(int32_t formatId);
TIKFilterWriteProc FormatWriter(int32_t formatId);
// Puts the filters built into the component (and their content probes) in
// place, once per process; every component does it when it is made.
void InstallBuiltInFilters();

// Where the component reports what no caller asks for (a failure on a
// background thread). Writes to stderr unless replaced.
using TIKDebugOutputProc = void (*)(const char* text);
extern std::atomic<TIKDebugOutputProc> IKDebugOutput;

class TImgKitIO : public forms::TComponent, public TIOParamsOwner {
public:
  using TIKProgressEvent = std::function<void(forms::TObject* Sender, int32_t per)>;

  explicit TImgKitIO(forms::TComponent* owner);
  ~TImgKitIO() override;

  // ---- the buffer and what it is attached to ----
  TIKBitmap* IKBitmap() const { return ikBitmap_; }
  TIKViewLink* AttachedImgKit() const { return attachedView_; }
  void SetAttachedImgKit(TIKViewLink* view);
  forms::TImage* AttachedTImage() const { return attachedImage_; }
  void SetAttachedTImage(forms::TImage* image);
  // Work on the caller's buffer from now on; the caller keeps it.
  void ReplaceIKBitmap(TIKBitmap* bitmap);
  void AttachIKBitmap(TIKBitmap* bitmap);
  // The platform bitmap the buffer wraps, or the work bitmap (maybe null).
  forms::TBitmap* GetTBitmap();

  forms::TColor Background();
  void SetBackground(forms::TColor color);
  bool ChangeBackground = false;
  bool NativePixelFormat() const { return params_ && params_->NativePixelFormat; }
  void SetNativePixelFormat(bool value);
  uint8_t DefaultDitherMethod() const { return defaultDitherMethod_; }
  void SetDefaultDitherMethod(uint8_t value);

  bool StreamHeaders() const { return streamHeaders_; }
  void SetStreamHeaders(bool value) { streamHeaders_ = value; }
  bool AutoAdjustDPI() const { return autoAdjustDPI_; }
  void SetAutoAdjustDPI(bool value) { autoAdjustDPI_ = value; }
  bool FilteredAdjustDPI() const { return filteredAdjustDPI_; }
  void SetFilteredAdjustDPI(bool value) { filteredAdjustDPI_ = value; }
  // Run loads and saves on background threads (only with a borrowed buffer).
  std::atomic<bool> AsyncMode{false};

  TIOParamsVals& Params() { return *params_; }
  // Cleared when an operation starts; set by a failing filter, or by the
  // application to stop a running operation. Background threads poll it.
  std::atomic<bool> Aborting{false};

  TIKProgressEvent OnProgress;
  forms::TNotifyEvent OnFinishWork;

  // ---- dispatching operations ----
  // Content first, then the extension.
  virtual void LoadFromFile(const String& fileName);
  virtual void LoadFromFileFormat(const String& fileName, int32_t formatId);
  // By the extension only.
  virtual void LoadImageByFileName(const String& fileName);
  virtual void LoadFromStream(rtl::TStream& stream);
  virtual void LoadFromStreamFormat(rtl::TStream& stream, int32_t formatId);
  // formatId 0 detects the format.
  virtual void LoadFromBuffer(const void* buffer, int64_t size, int32_t formatId);
  virtual void SaveImageByFileName(const String& fileName);
  virtual void SaveToStream(rtl::TStream& stream, int32_t formatId);
  virtual void ParamsFromFile(const String& fileName);
  virtual void ParamsFromFileFormat(const String& fileName, int32_t formatId);
  virtual void ParamsFromStream(rtl::TStream& stream);
  virtual void ParamsFromStreamFormat(rtl::TStream& stream, int32_t formatId);

  // ---- per-format operations ----
  // TIFF and GIF loads return the number of images (-1 when the work moved
  // to a background thread).
  int32_t LoadFromFileTIFF(const String& f) { return LoadFileBuiltIn(f, ioTIFF); }
  int32_t LoadFromStreamTIFF(rtl::TStream& s) { return LoadStreamBuiltIn(s, ioTIFF); }
  void SaveToFileTIFF(const String& f) { SaveFileBuiltIn(f, ioTIFF); }
  void SaveToStreamTIFF(rtl::TStream& s) { SaveStreamBuiltIn(s, ioTIFF); }
  int32_t LoadFromFileGIF(const String& f) { return LoadFileBuiltIn(f, ioGIF); }
  int32_t LoadFromStreamGIF(rtl::TStream& s) { return LoadStreamBuiltIn(s, ioGIF); }
  void SaveToFileGIF(const String& f) { SaveFileBuiltIn(f, ioGIF); }
  void SaveToStreamGIF(rtl::TStream& s) { SaveStreamBuiltIn(s, ioGIF); }
  void LoadFromFileJPEG(const String& f) { LoadFileBuiltIn(f, ioJPEG); }
  void LoadFromStreamJPEG(rtl::TStream& s) { LoadStreamBuiltIn(s, ioJPEG); }
  void SaveToFileJPEG(const String& f) { SaveFileBuiltIn(f, ioJPEG); }
  void SaveToStreamJPEG(rtl::TStream& s) { SaveStreamBuiltIn(s, ioJPEG); }
  void LoadFromFilePCX(const String& f) { LoadFileBuiltIn(f, ioPCX); }
  void LoadFromStreamPCX(rtl::TStream& s) { LoadStreamBuiltIn(s, ioPCX); }
  void SaveToFilePCX(const String& f) { SaveFileBuiltIn(f, ioPCX); }
  void SaveToStreamPCX(rtl::TStream& s) { SaveStreamBuiltIn(s, ioPCX); }
  void LoadFromFileBMP(const String& f) { LoadFileBuiltIn(f, ioBMP); }
  void LoadFromStreamBMP(rtl::TStream& s) { LoadStreamBuiltIn(s, ioBMP); }
  void SaveToFileBMP(const String& f) { SaveFileBuiltIn(f, ioBMP); }
  void SaveToStreamBMP(rtl::TStream& s) { SaveStreamBuiltIn(s, ioBMP); }
  void LoadFromFileICO(const String& f) { LoadFileBuiltIn(f, ioICO); }
  void LoadFromStreamICO(rtl::TStream& s) { LoadStreamBuiltIn(s, ioICO); }
  void SaveToFileICO(const String& f) { SaveFileBuiltIn(f, ioICO); }
  void SaveToStreamICO(rtl::TStream& s) { SaveStreamBuiltIn(s, ioICO); }
  void LoadFromFileCUR(const String& f) { LoadFileBuiltIn(f, ioCUR); }
  void LoadFromStreamCUR(rtl::TStream& s) { LoadStreamBuiltIn(s, ioCUR); }
  void LoadFromFilePNG(const String& f) { LoadFileBuiltIn(f, ioPNG); }
  void LoadFromStreamPNG(rtl::TStream& s) { LoadStreamBuiltIn(s, ioPNG); }
  void SaveToFilePNG(const String& f) { SaveFileBuiltIn(f, ioPNG); }
  void SaveToStreamPNG(rtl::TStream& s) { SaveStreamBuiltIn(s, ioPNG); }
  void LoadFromFileTGA(const String& f) { LoadFileBuiltIn(f, ioTGA); }
  void LoadFromStreamTGA(rtl::TStream& s) { LoadStreamBuiltIn(s, ioTGA); }
  void SaveToFileTGA(const String& f) { SaveFileBuiltIn(f, ioTGA); }
  void SaveToStreamTGA(rtl::TStream& s) { SaveStreamBuiltIn(s, ioTGA); }
  void LoadFromFilePNM(const String& f) { LoadFileBuiltIn(f, ioPNM); }
  void LoadFromStreamPNM(rtl::TStream& s) { LoadStreamBuiltIn(s, ioPNM); }
  void SaveToFilePNM(const String& f) { SaveFileBuiltIn(f, ioPNM); }
  void SaveToStreamPNM(rtl::TStream& s) { SaveStreamBuiltIn(s, ioPNM); }
  void LoadFromFileJP2(const String& f) { LoadFileBuiltIn(f, ioJP2); }
  void LoadFromStreamJP2(rtl::TStream& s) { LoadStreamBuiltIn(s, ioJP2); }
  void SaveToFileJP2(const String& f) { SaveFileBuiltIn(f, ioJP2); }
  void SaveToStreamJP2(rtl::TStream& s) { SaveStreamBuiltIn(s, ioJP2); }
  void LoadFromFileJ2K(const String& f) { LoadFileBuiltIn(f, ioJ2K); }
  void LoadFromStreamJ2K(rtl::TStream& s) { LoadStreamBuiltIn(s, ioJ2K); }
  void SaveToFileJ2K(const String& f) { SaveFileBuiltIn(f, ioJ2K); }
  void SaveToStreamJ2K(rtl::TStream& s) { SaveStreamBuiltIn(s, ioJ2K); }
  void LoadFromFileWBMP(const String& f) { LoadFileBuiltIn(f, ioWBMP); }
  void LoadFromStreamWBMP(rtl::TStream& s) { LoadStreamBuiltIn(s, ioWBMP); }
  void SaveToFileWBMP(const String& f) { SaveFileBuiltIn(f, ioWBMP); }
  void SaveToStreamWBMP(rtl::TStream& s) { SaveStreamBuiltIn(s, ioWBMP); }
  void SaveToFilePS(const String& f) { SaveFileBuiltIn(f, ioPS); }
  void SaveToStreamPS(rtl::TStream& s) { SaveStreamBuiltIn(s, ioPS); }
  void SaveToFilePDF(const String& f) { SaveFileBuiltIn(f, ioPDF); }
  void SaveToStreamPDF(rtl::TStream& s) { SaveStreamBuiltIn(s, ioPDF); }
  void LoadFromFileDCX(const String& f) { LoadFileBuiltIn(f, ioDCX); }
  void LoadFromStreamDCX(rtl::TStream& s) { LoadStreamBuiltIn(s, ioDCX); }
  void SaveToFileDCX(const String& f) { SaveFileBuiltIn(f, ioDCX); }
  void SaveToStreamDCX(rtl::TStream& s) { SaveStreamBuiltIn(s, ioDCX); }
  void LoadFromFileRAW(const String& f) { LoadFileBuiltIn(f, ioRAW); }
  void LoadFromStreamRAW(rtl::TStream& s);
  void LoadFromFileRawPixels(const String& f) { LoadFileBuiltIn(f, ioRawPixels); }
  void LoadFromStreamRawPixels(rtl::TStream& s) { LoadStreamBuiltIn(s, ioRawPixels); }

  // Downloads an "http://" address and decodes what came. Every ending,
  // failures included, fires the completion event; a failure sets Aborting.
  void LoadImageFromHttp(const String& url);
  // The proxy for LoadImageFromHttp ("host:port"; empty: direct). The user
  // and password are the proxy's own credentials and go only to it.
  String ProxyAddress, ProxyUser, ProxyPassword;

  // ---- frames of video files ----
  // AVI files: the frame count of the first video stream, 0 on failure
  // (with Aborting set).
  int32_t OpenAVIFile(const String& fileName);
  void LoadFromAVI(int32_t frameIndex);
  void CloseAVIFile();
  // Any video file the media graph plays: the frame count, 0 when the
  // file cannot be used.
  int32_t OpenMediaFile(const String& fileName);
  void LoadFromMediaFile(int32_t frameIndex);
  void CloseMediaFile();
  bool IsMediaFileOpen() const;

  // ---- scanners, cameras and printing ----
  TIKTWainParams& TwainParams() { return *twainParams_; }
  TIOPrintPreviewParams& PrintPreviewParams() { return *printPreviewParams_; }
  // The image-acquisition object, made on the first call.
  TIKWia* GetWia();

  // Work that waits for other modules of the component; each ends with
  // Aborting set and the completion event, never with a pretended image.
  void ImportMetafile(const String& fileName, int32_t width, bool withAlpha, int32_t height);
  void AdjustDPI();

  // ---- shared steps ----
  // True when the calling thread is one of this component's I/O threads.
  bool IsOwnIOThread();
  // The background operations listed now (running or waiting their turn).
  int32_t IOThreadCount();
  // Waits until no I/O thread of this component runs; with abort, keeps
  // setting Aborting meanwhile so that running filters stop early.
  void WaitForIOThreads(bool abort);
  virtual void DoProgress(forms::TObject* sender, int32_t per);
  virtual void DoFinishWork();

  // TIOParamsOwner
  bool PlatformBitmapSize(int32_t& width, int32_t& height) override;
  void ViewSetDPIX(int32_t dpi) override;
  void ViewSetDPIY(int32_t dpi) override;

protected:
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  void AttachedViewChanged(int32_t change);
  bool CheckBitmap();
  void UpdateAttached();
  void ApplyDefaultDpi();

private:
  friend class TIKIOThread;

  // True when the call moved to a new background thread (which runs
  // `operation` again there).
  bool MovedToThread(uint8_t kind, std::function<void()> operation);
  void RegisterIOThread(TIKIOThread* thread);
  void UnregisterIOThread(TIKIOThread* thread);

  int32_t LoadFileBuiltIn(const String& fileName, int32_t formatId);
  int32_t LoadStreamBuiltIn(rtl::TStream& stream, int32_t formatId);
  void SaveFileBuiltIn(const String& fileName, int32_t formatId);
  void SaveStreamBuiltIn(rtl::TStream& stream, int32_t formatId);
  void LoadAviByFileName(const String& fileName);
  void DownloadFromHttp(const String& url);
  // The load steps after the asynchronous check: reader run on the stream
  // at its position; fileName "" for a stream.
  int32_t LoadSkeleton(rtl::TStream& stream, int32_t formatId, const String& fileName);
  void SaveSkeleton(rtl::TStream& stream, int32_t formatId);
  void LoadPlugin(rtl::TStream* stream, const String& fileName, const TFormatRegistryRecord& record,
                  bool catchReaderErrors);
  void SavePlugin(rtl::TStream* stream, const String& fileName, const TFormatRegistryRecord& record);
  void ParamsSkeleton(rtl::TStream& stream, int32_t formatId);
  // The end of an operation whose format cannot be read or written here.
  void FailUnsupported();
  void NewOwnBuffer();
  void FreeOwnBuffer();
  void RemoveViewObserver();
  TProgressRec MakeProgress(bool withCallback);
  static void ProgressThunk(void* data, forms::TObject* sender, int32_t percent);

  std::unique_ptr<TIKBitmap> ownBuffer_;
  TIKBitmap* ikBitmap_ = nullptr;
  bool ownsBuffer_ = true;
  forms::TBitmap* workBitmap_ = nullptr;
  TIKViewLink* attachedView_ = nullptr;
  forms::TComponent* attachedViewComponent_ = nullptr;
  int32_t observerHandle_ = -1;
  forms::TImage* attachedImage_ = nullptr;
  forms::TColor ownBackground_ = 0;
  bool streamHeaders_ = false;
  bool autoAdjustDPI_ = false;
  bool filteredAdjustDPI_ = false;
  uint8_t defaultDitherMethod_ = 1;
  std::unique_ptr<TIOParamsVals> params_;
  std::unique_ptr<TIKAviFile> avi_;
  std::unique_ptr<TIKMediaFile> mediaFile_;
  std::unique_ptr<TIKTWainParams> twainParams_;
  std::unique_ptr<TIOPrintPreviewParams> printPreviewParams_;
  std::unique_ptr<TIKWia> wia_;

  // Background operations of one component share its buffer and Params;
  // they run one at a time, so that each sees them whole and Params end up
  // describing whichever operation finished last.
  std::mutex ioWorkLock_;
  std::mutex ioThreadLock_;
  std::condition_variable ioThreadsChanged_;
  std::vector<TIKIOThread*> ioThreads_;
};

}  // namespace imaging
