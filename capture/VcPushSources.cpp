// The push source and what answers it: bitmaps from the application's two
// events, the set-of-bitmaps file, a multiplexed master's frames, and the
// external source, which has nothing to give.
#include "capture/VcPushSources.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "capture/VcEngine.h"
#include "capture/VcFormats.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/mg/Guids.h"
#include "platform/rtl/Files.h"
#include "platform/win/GdiObject.h"
#include "platform/win/PenBrush.h"

namespace capture {

namespace {

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

constexpr size_t kFileHeader = 14;
// A record is a whole picture; no frame the component handles comes near.
constexpr uint32_t kMaxRecord = 512u << 20;

}  // namespace

// ---- the set-of-bitmaps file ------------------------------------------------

bool TImagesFile::Open(const rtl::String& Path) {
  Close();
  std::FILE* f = std::fopen(Path.c_str(), "rb");
  return f && Attach(f);
}

bool TImagesFile::Attach(std::FILE* File) {
  Close();
  file_ = File;
  if (!file_) return false;
  if (std::fseek(file_, 0, SEEK_END) != 0 || (size_ = std::ftell(file_)) < 0 || !Rewind()) {
    Close();
    return false;
  }
  return true;
}

void TImagesFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  size_ = 0;
  header_ = 0;
  record_.clear();
}

bool TImagesFile::Rewind() {
  if (!file_ || std::fseek(file_, 0, SEEK_SET) != 0) return false;
  uint8_t h[4];
  if (std::fread(h, 1, 4, file_) != 4) return false;
  header_ = Le32(h);
  return true;
}

bool TImagesFile::ReadRecord(bool& Bad) {
  Bad = false;
  uint8_t l[4];
  const size_t got = std::fread(l, 1, 4, file_);
  if (got == 0) return false;
  const long at = std::ftell(file_);
  const uint32_t length = Le32(l);
  // A length that runs past the file is not trusted with an allocation.
  if (got != 4 || at < 0 || length > kMaxRecord || static_cast<int64_t>(length) > size_ - at) {
    Bad = true;
    return false;
  }
  record_.resize(length);
  if (length && std::fread(record_.data(), 1, length, file_) != length) {
    Bad = true;
    return false;
  }
  return true;
}

bool TImagesFile::Format(std::vector<uint8_t>& Format) {
  Format.clear();
  if (!Rewind()) return false;
  bool bad = false;
  const bool ok = ReadRecord(bad);
  Rewind();
  if (!ok || record_.size() < kFileHeader) return false;
  const uint32_t offBits = Le32(record_.data() + 10);
  if (offBits < kFileHeader + sizeof(mg::BITMAPINFOHEADER) || offBits > record_.size()) return false;
  Format.assign(record_.begin() + kFileHeader, record_.begin() + offBits);
  return true;
}

TImagesFile::TRead TImagesFile::NextFrame(uint8_t* Buffer, int32_t Length) {
  if (!file_ || Length < 0) return rd_Bad;
  bool bad = false;
  if (!ReadRecord(bad)) {
    if (bad) return rd_Bad;
    return Rewind() ? rd_End : rd_Bad;
  }
  if (record_.size() < kFileHeader) return rd_Bad;
  const uint64_t offBits = Le32(record_.data() + 10);
  // Pixels start after the two headers and end inside the record.
  if (offBits < kFileHeader + sizeof(mg::BITMAPINFOHEADER) || offBits + static_cast<uint64_t>(Length) > record_.size())
    return rd_Bad;
  if (Length) std::memcpy(Buffer, record_.data() + offBits, static_cast<size_t>(Length));
  return rd_Frame;
}

// ---- the push source filter -------------------------------------------------

bool VideoTypeOfBitmapHeader(const uint8_t* Header, size_t Size, int64_t FrameDuration, mg::AM_MEDIA_TYPE& Type) {
  if (!Header || Size < sizeof(mg::BITMAPINFOHEADER)) return false;
  mg::BITMAPINFOHEADER h;
  std::memcpy(&h, Header, sizeof h);
  if ((h.biBitCount != 24 && h.biBitCount != 32) || h.biWidth <= 0 || h.biHeight == 0 || h.biWidth > 16384 ||
      h.biHeight > 16384 || h.biHeight < -16384)
    return false;
  Type = mg::MakeVideoType(h.biBitCount == 24 ? mg::MEDIASUBTYPE_RGB24 : mg::MEDIASUBTYPE_RGB32, h.biWidth,
                           std::abs(h.biHeight), FrameDuration);
  return true;
}

namespace {

const mg::CLSID CLSID_VcPushSource = mg::GUID::FromText("{5E1A4C0B-7F3D-4E52-9C61-2B8D0A9E7C14}");

class TPushSource : public mg::BaseFilter, public mg::StreamSource {
public:
  explicit TPushSource(TPushSourceContext Context) : BaseFilter(CLSID_VcPushSource), context_(std::move(Context)) {
    AddPin(std::make_shared<mg::ControlledOutputPin>(this, "Output"));
    bool flag = false;
    if (context_.MediaType) {
      haveType_ = context_.MediaType(type_, flag);
    } else if (context_.FormatBlock) {
      std::vector<uint8_t> format;
      haveType_ = context_.FormatBlock(format) &&
                  VideoTypeOfBitmapHeader(format.data(), format.size(), context_.FrameDuration, type_);
    }
    if (haveType_ && type_.lSampleSize == 0)
      if (const mg::BITMAPINFOHEADER* h = type_.BitmapHeader()) type_.lSampleSize = h->biSizeImage;
  }

  mg::HRESULT PushOne(mg::REFERENCE_TIME t) override {
    auto out = PinAt(0);
    if (State() == mg::State_Stopped) return mg::VFW_E_WRONG_STATE;
    if (ended_) return mg::S_FALSE;
    if (!out->IsConnected() || !context_.Fill) return mg::S_OK;
    std::shared_ptr<mg::MediaSample> sample;
    if (mg::FAILED(out->Allocator().GetBuffer(sample))) return mg::S_OK;
    const int32_t length = static_cast<int32_t>(std::min<uint32_t>(type_.lSampleSize, sample->GetSize()));
    bool eos = false;
    // No data for now: the source asks again at the next frame time.
    if (!context_.Fill(sample->GetPointer(), length, eos)) return mg::S_OK;
    if (eos) {
      ended_ = true;
      out->DeliverEndOfStream();
      return mg::S_FALSE;
    }
    sample->SetActualDataLength(length);
    mg::REFERENCE_TIME start = t, stop = t + context_.FrameDuration;
    sample->SetTime(&start, &stop);
    const int64_t mediaStart = frames_, mediaStop = frames_ + 1;
    sample->SetMediaTime(&mediaStart, &mediaStop);
    sample->SetSyncPoint(true);
    sample->SetDiscontinuity(frames_ == 0);
    ++frames_;
    const mg::HRESULT hr = out->Deliver(*sample);
    return hr == mg::VFW_E_WRONG_STATE ? hr : mg::S_OK;
  }
  mg::REFERENCE_TIME FramePeriod() const override { return context_.FrameDuration; }
  mg::HRESULT CheckMediaType(const mg::Pin& pin, const mg::AM_MEDIA_TYPE& mt) const override {
    if (pin.Direction() != mg::PINDIR_OUTPUT || !haveType_) return mg::S_FALSE;
    return mt.majortype == type_.majortype && mt.subtype == type_.subtype && mt.formattype == type_.formattype &&
                   mt.format == type_.format
               ? mg::S_OK
               : mg::S_FALSE;
  }
  std::vector<mg::AM_MEDIA_TYPE> GetMediaTypes(const mg::Pin& pin) const override {
    if (pin.Direction() != mg::PINDIR_OUTPUT || !haveType_) return {};
    return {type_};
  }
  mg::HRESULT Stop() override {
    const mg::HRESULT hr = BaseFilter::Stop();
    frames_ = 0;
    return hr;
  }

private:
  TPushSourceContext context_;
  mg::AM_MEDIA_TYPE type_;
  bool haveType_ = false;
  bool ended_ = false;
  int64_t frames_ = 0;
};

}  // namespace

std::shared_ptr<mg::BaseFilter> CreatePushSource(TPushSourceContext Context) {
  return std::make_shared<TPushSource>(std::move(Context));
}

// ---- the engine's answers ---------------------------------------------------

namespace {

// The DIB section behind a bitmap handle the application gave; false for
// anything else.
bool ReadSection(win::HBITMAP Handle, win::DIBSECTION& Section) {
  Section = win::DIBSECTION{};
  return Handle && win::GetObject(Handle, sizeof Section, &Section) == static_cast<int>(sizeof Section) &&
         Section.dsBm.bmBits;
}

}  // namespace

bool TVcEngine::BitmapMediaType(mg::AM_MEDIA_TYPE& MediaType, bool& Flag) {
  if (Destroying) return false;
  MediaType = mg::AM_MEDIA_TYPE{};
  MediaType.majortype = mg::MEDIATYPE_Video;
  MediaType.subtype = mg::MEDIASUBTYPE_RGB24;
  MediaType.bFixedSizeSamples = true;
  MediaType.formattype = mg::FORMAT_VideoInfo;
  MediaType.format.assign(sizeof(mg::VIDEOINFOHEADER), 0);
  auto* vih = MediaType.FormatAs<mg::VIDEOINFOHEADER>();
  RecordingFromBitmap.FormatValid = false;
  bool valid = false;
  if (Owner->OnVideoFromBitmaps_FormatNeeded) {
    win::HBITMAP handle = nullptr;
    Owner->OnVideoFromBitmaps_FormatNeeded(Owner, handle);
    win::DIBSECTION& ds = RecordingFromBitmap.DIBSection;
    if (ReadSection(handle, ds)) {
      const int32_t w = ds.dsBmih.biWidth, h = std::abs(ds.dsBmih.biHeight);
      vih->rcSource = {0, 0, w, h};
      vih->rcTarget = vih->rcSource;
      static_assert(sizeof vih->bmiHeader == sizeof ds.dsBmih);
      std::memcpy(static_cast<void*>(&vih->bmiHeader), &ds.dsBmih, sizeof vih->bmiHeader);
      vih->bmiHeader.biSize = sizeof(mg::BITMAPINFOHEADER);
      vih->bmiHeader.biSizeImage = static_cast<uint32_t>(DibImageSize(&vih->bmiHeader));
      MediaType.lSampleSize = vih->bmiHeader.biSizeImage;
      if (ds.dsBmih.biBitCount == 32) MediaType.subtype = mg::MEDIASUBTYPE_RGB32;
      valid = ds.dsBmih.biBitCount == 24 || ds.dsBmih.biBitCount == 32;
    }
    if (handle) win::DeleteObject(handle);
  } else {
    vih->rcSource = {0, 0, 320, 240};
    vih->rcTarget = vih->rcSource;
  }
  RecordingFromBitmap.FormatValid = valid;
  vih->dwBitRate = 4'000'000;
  vih->AvgTimePerFrame = 333'667;
  Flag = true;
  return true;
}

bool TVcEngine::NextBitmapFrame(uint8_t* Buffer, int32_t Length, bool& EndOfStream) {
  if (Destroying) return false;
  EndOfStream = false;
  bool copied = false;
  if (RecordingFromBitmap.FormatValid && Owner->OnVideoFromBitmaps_NextFrameNeeded) {
    win::HBITMAP handle = nullptr;
    Owner->OnVideoFromBitmaps_NextFrameNeeded(Owner, handle, EndOfStream);
    win::DIBSECTION ds;
    // Only a picture of exactly the frame's size is taken: its image size
    // is what its own header says, checked against the bytes it holds.
    if (ReadSection(handle, ds) && Length >= 0 && ds.dsBmih.biSizeImage == static_cast<uint32_t>(Length) &&
        static_cast<int64_t>(ds.dsBm.bmWidthBytes) * std::abs(static_cast<int64_t>(ds.dsBm.bmHeight)) >= Length) {
      std::memcpy(Buffer, ds.dsBm.bmBits, static_cast<size_t>(Length));
      copied = true;
    }
    if (handle) win::DeleteObject(handle);
  }
  if (!copied) EndOfStream = true;
  if (!EndOfStream && Latched.FrameGrabber == fg_Disabled) {
    int32_t expected = -1;
    if (!DeliveredFrames.compare_exchange_strong(expected, 1)) ++DeliveredFrames;
  }
  return true;
}

bool TVcEngine::ImagesFileFormat(std::vector<uint8_t>& Format) {
  if (!ImagesFile || !ImagesFile->IsOpen()) return false;
  return ImagesFile->Format(Format);
}

bool TVcEngine::NextImagesFileFrame(uint8_t* Buffer, int32_t Length, bool& EndOfStream) {
  EndOfStream = false;
  if (!ImagesFile || !ImagesFile->IsOpen()) return false;
  TImagesFile::TRead read = ImagesFile->NextFrame(Buffer, Length);
  if (read == TImagesFile::rd_End) {
    if (!VideoFromImages_RepeatIndefinitely) {
      EndOfStream = true;
      return true;
    }
    read = ImagesFile->NextFrame(Buffer, Length);
  }
  if (read != TImagesFile::rd_Frame) {
    // A record too short for a frame (or cut off by the end of the file)
    // is never read past: the stream ends there.
    ReportIf(true, SEV_ERROR, "images file: record too short for a frame of " + std::to_string(Length) + " bytes",
             e_failed_to_load_set_of_bitmaps);
    EndOfStream = true;
  }
  return true;
}

bool TVcEngine::SlaveMediaType(mg::AM_MEDIA_TYPE& MediaType, bool& Flag) {
  if (Destroying || !Master || !Master->Grab.HaveGrabberType) return false;
  MediaType = Master->Grab.GrabberType;
  Flag = false;
  return true;
}

bool TVcEngine::NextSlaveFrame(uint8_t* Buffer, int32_t Length) {
  if (Destroying || !Grab.SlaveFrameReady) return false;
  Grab.SlaveFrameReady = false;
  std::vector<uint8_t> frame = std::move(Grab.SlaveFrame);
  Grab.SlaveFrame.clear();
  Grab.SlaveWaiting = true;
  // The master's frame may be of another size than the slave's buffer: a
  // short frame is refused, never read past.
  if (Length < 0 || frame.size() < static_cast<size_t>(Length)) return false;
  std::memcpy(Buffer, frame.data(), static_cast<size_t>(Length));
  return true;
}

bool TVcEngine::ExternalMediaType(mg::AM_MEDIA_TYPE&, bool&) { return false; }

bool TVcEngine::AddPushSource(std::shared_ptr<mg::Pin>& Pin, TPushSourceContext Context) {
  const int32_t rate100 = MultiplexedRole == mr_MultiplexedSlave ? Latched.MultiplexedSlaveFrameRate100 : ActiveFrameRate;
  Context.FrameDuration = rate100 > 0 ? static_cast<int64_t>(std::nearbyint(1e9 / rate100)) : 400'000;
  std::shared_ptr<mg::BaseFilter> source = capture::CreatePushSource(std::move(Context));
  if (!AddFilterToGraph(source, "PushSrc")) return false;
  Pin = FirstFreePin(source, mg::PINDIR_OUTPUT);
  return Pin != nullptr;
}

bool TVcEngine::CreatePushedSourceGraph() {
  if (Latched.VideoSource == vs_VideoFromImages) {
    TraceLine(CF_DEFAULT, "vs_VideoFromImages begin create graph");
    if (ImagesFile && ImagesFile->IsOpen()) return false;
    if (!CreateFilterGraph() || !rtl::FileExists(VideoFromImages_TemporaryFile)) return false;
    auto file = std::make_unique<TImagesFile>();
    if (!file->Open(VideoFromImages_TemporaryFile)) return false;
    ImagesFile = std::move(file);
    TPushSourceContext c;
    c.FormatBlock = [this](std::vector<uint8_t>& f) { return ImagesFileFormat(f); };
    c.Fill = [this](uint8_t* b, int32_t l, bool& eos) { return NextImagesFileFrame(b, l, eos); };
    if (!AddPushSource(MainVideoPin, std::move(c))) return false;
    AddAudioSource();
    TraceLine(CF_DEFAULT, "vs_VideoFromImages end create graph");
    return true;
  }
  if (!CreateFilterGraph()) return false;
  TPushSourceContext c;
  if (Latched.VideoSource == vs_VideoFromBitmaps) {
    c.MediaType = [this](mg::AM_MEDIA_TYPE& t, bool& f) { return BitmapMediaType(t, f); };
    c.Fill = [this](uint8_t* b, int32_t l, bool& eos) { return NextBitmapFrame(b, l, eos); };
  } else {
    c.MediaType = [this](mg::AM_MEDIA_TYPE& t, bool& f) { return ExternalMediaType(t, f); };
    c.Fill = [this](uint8_t* b, int32_t l, bool& eos) { return NextExternalFrame(b, l, eos); };
  }
  return AddPushSource(MainVideoPin, std::move(c));
}

bool TVcEngine::NextExternalFrame(uint8_t*, int32_t, bool&) { return false; }

}  // namespace capture
