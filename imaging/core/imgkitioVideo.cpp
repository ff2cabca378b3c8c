// Frames of video files: AVI files through their own reader state, any
// other clip the media graph plays through the media-file state. Both read
// frames with a paused graph that ends in a sample grabber.
#include "imaging/core/imgkitioVideo.h"

#include <cmath>
#include <limits>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/imgkitio.h"
#include "imaging/core/imgkitioThread.h"

namespace imaging {

int32_t AviFrameDelayOf(uint32_t rate, uint32_t scale) {
  if (rate == 0 || scale == 0) return 0;
  // Integer form of Trunc(1 / (rate / scale) x 1000): exact, and free of
  // the float-to-integer overflow a tiny rate would cause.
  const uint64_t ms = static_cast<uint64_t>(scale) * 1000u / rate;
  return ms > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                         : static_cast<int32_t>(ms);
}

TIKMediaFrameCount MediaFrameCountOf(int64_t mediaDuration, int64_t frameDuration, int64_t avgTimePerFrame) {
  TIKMediaFrameCount result;
  if (frameDuration == mediaDuration) {
    // The source cannot count frames: the duration in frame times, which
    // is nothing at all when the frame time is unknown.
    if (avgTimePerFrame <= 0) return {0, 1};
    result.Frames = mediaDuration / avgTimePerFrame;
    result.Multiplier = avgTimePerFrame;
  } else {
    result.Frames = frameDuration;
    result.Multiplier = 1;
  }
  if (result.Frames < 0) result.Frames = 0;
  return result;
}

namespace {

// A paused graph over the file with the grabber at its end; null when the
// file has no video stream the grabber could take.
std::unique_ptr<TIKDirectShow> OpenFrameReader(const String& fileName) {
  auto reader = std::make_unique<TIKDirectShow>();
  reader->FileInput = fileName;
  reader->Grab = true;
  reader->Connect();
  reader->Pause();
  return reader;
}

bool HasVideo(TIKDirectShow& reader) {
  int32_t w = 0, h = 0;
  String subtype;
  reader.GetVideoSize(w, h, subtype);
  return w > 0 && h > 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// AVI files

int32_t TImgKitIO::OpenAVIFile(const String& fileName) {
  Aborting = false;
  CloseAVIFile();
  params_->AviFrameCount = 0;
  params_->FileName = fileName;
  params_->FileType = 0;

  std::unique_ptr<TIKDirectShow> reader = OpenFrameReader(fileName);
  if (!reader->IsConnected() || !HasVideo(*reader)) {
    // Not a file the graph opens, or one without a video stream (a WAV
    // file in its RIFF container): nothing counts as open.
    Aborting = true;
    return 0;
  }
  reader->SetTimeFormat(ikTimeFormatFrame);
  const int64_t frames = reader->Duration();
  reader->SetTimeFormat(ikTimeFormatMediaTime);
  const int64_t frameTime = reader->AvgTimePerFrame();
  if (frames <= 0 || frames > std::numeric_limits<int32_t>::max()) {
    Aborting = true;
    return 0;
  }
  avi_ = std::make_unique<TIKAviFile>();
  avi_->Reader = std::move(reader);
  // The stream's timing as a rate over a scale: media time counts in
  // 100-nanosecond units.
  avi_->Info.dwLength = static_cast<uint32_t>(frames);
  avi_->Info.dwRate = frameTime > 0 ? 10'000'000u : 0u;
  avi_->Info.dwScale =
      frameTime > 0 && frameTime <= std::numeric_limits<uint32_t>::max() ? static_cast<uint32_t>(frameTime) : 0u;
  params_->AviFrameCount = static_cast<int32_t>(frames);
  params_->AviFrameDelay = 0;
  return static_cast<int32_t>(frames);
}

void TImgKitIO::LoadFromAVI(int32_t frameIndex) {
  if (MovedToThread(iotkFrameIndex, [this, frameIndex] { LoadFromAVI(frameIndex); })) return;
  Aborting = false;
  if (!CheckBitmap() || !avi_ || !avi_->Reader ||
      static_cast<uint32_t>(frameIndex) >= avi_->Info.dwLength) {
    DoFinishWork();
    return;
  }
  TIKDirectShow& reader = *avi_->Reader;
  reader.SetTimeFormat(ikTimeFormatFrame);
  reader.Seek(frameIndex);
  params_->AviFrameCount = static_cast<int32_t>(avi_->Info.dwLength);
  params_->AviFrameDelay = AviFrameDelayOf(avi_->Info.dwRate, avi_->Info.dwScale);
  if (reader.GetFrame(ikBitmap_)) {
    // Frames always come as 24-bit RGB.
    params_->BitsPerSample = 8;
    params_->SamplesPerPixel = 3;
    params_->SetDpiX(DefaultDpiX.load());
    params_->SetDpiY(DefaultDpiY.load());
    params_->Width = ikBitmap_->Width();
    params_->Height = ikBitmap_->Height();
    params_->SetPalette(nullptr, 0);
    UpdateAttached();
  }
  DoFinishWork();
}

void TImgKitIO::CloseAVIFile() { avi_.reset(); }

void TImgKitIO::LoadAviByFileName(const String& fileName) {
  // Open, load and close belong together: the whole sequence goes to the
  // background thread, so that the file is not closed under a frame load.
  if (MovedToThread(iotkFileName, [this, fileName] { LoadAviByFileName(fileName); })) return;
  if (OpenAVIFile(fileName) > 0) {
    LoadFromAVI(params_->ImageIndex);
  } else {
    // A frame load would clear Aborting and report a file that could not
    // be opened as loaded.
    Aborting = true;
    DoFinishWork();
  }
  CloseAVIFile();
  params_->FileName = fileName;
  params_->FileType = ioAVI;
}

// ---------------------------------------------------------------------------
// other media files

int32_t TImgKitIO::OpenMediaFile(const String& fileName) {
  CloseMediaFile();
  Aborting = true;
  mediaFile_ = std::make_unique<TIKMediaFile>();
  mediaFile_->Source = OpenFrameReader(fileName);
  TIKDirectShow& source = *mediaFile_->Source;

  source.SetTimeFormat(ikTimeFormatMediaTime);
  const int64_t d = source.Duration();
  if (d <= 0) return 0;
  source.SetTimeFormat(ikTimeFormatFrame);
  const int64_t n = source.Duration();
  const TIKMediaFrameCount count = MediaFrameCountOf(d, n, source.AvgTimePerFrame());
  if (count.Frames <= 0 || count.Frames > std::numeric_limits<int32_t>::max()) {
    // A clip without video, or shorter than one frame: no frame to read.
    return 0;
  }
  mediaFile_->TimeMultiplier = count.Multiplier;
  // When the source cannot count frames, positions stay in media time.
  if (count.Multiplier != 1) source.SetTimeFormat(ikTimeFormatMediaTime);
  mediaFile_->FrameDelay = static_cast<double>(d) / 10'000'000.0 / static_cast<double>(count.Frames) * 100.0;
  Aborting = false;
  params_->MediaFileFrameCount = static_cast<int32_t>(count.Frames);
  params_->FileType = 0;
  params_->FileName = fileName;
  int32_t w = params_->Width, h = params_->Height;
  String subtype;
  source.GetVideoSize(w, h, subtype);
  params_->Width = w;
  params_->Height = h;
  return static_cast<int32_t>(count.Frames);
}

void TImgKitIO::LoadFromMediaFile(int32_t frameIndex) {
  if (!mediaFile_ || !mediaFile_->Source) return;
  params_->SetImageIndex(frameIndex);
  mediaFile_->Source->Seek(static_cast<int64_t>(frameIndex) * mediaFile_->TimeMultiplier);
  if (ikBitmap_) mediaFile_->Source->GetFrame(ikBitmap_);
  const double delay = std::nearbyint(mediaFile_->FrameDelay);
  params_->MediaFileFrameDelay =
      std::isfinite(delay) && std::fabs(delay) < 2e9 ? static_cast<int32_t>(delay) : 0;
  if (ikBitmap_) UpdateAttached();
}

void TImgKitIO::CloseMediaFile() { mediaFile_.reset(); }

bool TImgKitIO::IsMediaFileOpen() const { return mediaFile_ != nullptr; }

}  // namespace imaging
