// The bound video device's formats: the one-time discovery of its sizes
// and subtypes and their cache in the device's key, the size of a list
// entry, the subtype a graph asks for, and the steps that put the chosen
// format and frame rate on the capture pin.
#include <cmath>
#include <cstring>

#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcFormats.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VcRegistry.h"
#include "platform/rtl/StringUtils.h"

namespace capture {

namespace {

TSetting& V(TVcEngine& e, TVideoDeviceSetting s) { return e.DeviceSettings.Video[s]; }

String BoundVideoName(const TVcEngine& e) {
  const TDevices* list = VideoCaptureDevices();
  return list ? list->GetName(e.BoundVideoDevice >= 0 ? e.BoundVideoDevice : e.VideoDevice) : String();
}

bool IsPinnacleMovieBox(const String& name) {
  const String n = rtl::LowerCase(name);
  return n.find("pinnacle") != String::npos && n.find("moviebox") != String::npos;
}

// The resolutions of a DV decoder: Default (half), DC, quarter, half, full.
constexpr int32_t kDVSizes[2][5][2] = {
    {{360, 240}, {88, 60}, {180, 120}, {360, 240}, {720, 480}},
    {{360, 288}, {88, 72}, {180, 144}, {360, 288}, {720, 576}},
};

// Every media type the stream configuration describes, in its order.
template <class F>
void ForEachCapability(mg::IAMStreamConfig& config, int count, int size, F&& f) {
  std::vector<uint8_t> scc(static_cast<size_t>(std::max(size, 128)));
  for (int i = 0; i < count; ++i) {
    mg::AM_MEDIA_TYPE mt;
    if (config.GetStreamCaps(i, &mt, scc.data()) != mg::S_OK) continue;
    if (f(mt, scc.data())) break;
  }
}

// The capability count, traced as discovery and the format step want it.
int CapabilityCount(mg::IAMStreamConfig* config, int& size) {
  TraceLine(CF_DEFAULT, "searching number of capabilities");
  int count = 0;
  size = 0;
  if (!config || config->GetNumberOfCapabilities(&count, &size) != mg::S_OK) {
    TraceLine(CF_DEFAULT, "searching number of capabilities: no AMVideoStreamConfig");
    return -1;
  }
  if (count <= 0) {
    TraceLine(CF_DEFAULT, "number of capabilities = 0");
    return 0;
  }
  TraceLine(CF_DEFAULT, "number of capabilities ok");
  TraceLine(CF_DEFAULT, "CapAvail: looping capabilities " + std::to_string(count));
  return count;
}

}  // namespace

// ---- discovery ------------------------------------------------------------------

bool TVcEngine::RunVideoDiscovery() {
  const String name = BoundVideoName(*this);
  ReportIf(true, SEV_INFO, "one-time video device discovery:\r\n" + name + "\r\nplease wait...",
           i_begin_discovering_device);
  DiscoveryMode = true;
  V(*this, vds_VideoInput).IntValue = 0;
  V(*this, vds_VideoInputs).StrValue.clear();
  Sel.VideoSizes.Clear();
  Sel.VideoSubtypes.Clear();
  V(*this, vds_ANTVFormats).IntValue = 0;
  LatchSettings(false);

  bool result = false;
  if (CreateBaseGraph()) {
    ReadBackDeviceSettings();
    ReadDVSignalStandard();
    std::shared_ptr<mg::IAMVfwCaptureDialogs> dialogs;
    if (CaptureGraphBuilder)
      CaptureGraphBuilder->FindInterface(&PinCategory, nullptr, VideoDeviceFilter, &dialogs);
    V(*this, vds_VfwCaptureDialogFormat).BoolValue = dialogs && dialogs->HasDialog(mg::VfwCaptureDialog_Format) == mg::S_OK;
    V(*this, vds_VfwCaptureDialogSource).BoolValue = dialogs && dialogs->HasDialog(mg::VfwCaptureDialog_Source) == mg::S_OK;
    V(*this, vds_VfwCaptureDialogDisplay).BoolValue =
        dialogs && dialogs->HasDialog(mg::VfwCaptureDialog_Display) == mg::S_OK;

    bool standardRead = false;
    mg::LONG current = 0;
    if (V(*this, vds_ANTVFormats).IntValue == 0) {
      mg::LONG available = 0;
      if (AnalogDecoder) {
        AnalogDecoder->get_AvailableTVFormats(&available);
        standardRead = AnalogDecoder->get_TVFormat(&current) == mg::S_OK;
      } else if (TVTuner) {
        TVTuner->get_AvailableTVFormats(&available);
        standardRead = TVTuner->get_TVFormat(&current) == mg::S_OK;
      }
      V(*this, vds_ANTVFormats).IntValue = available;
    }

    Sel.VideoSizes.Clear();
    Sel.VideoSubtypes.Clear();
    if (V(*this, vds_IsMpegStream).BoolValue) {
      const String mpeg2 = mg::MEDIASUBTYPE_MPEG2_VIDEO.ToString();
      Sel.VideoSubtypes.Add(" " + mpeg2);
      Sel.VideoSubtypes.Add(mpeg2);
      for (const char* s : {"    360x240", " 320x240", " 352x240", " 352x288", " 360x240", " 640x480", " 704x480",
                            " 720x480", " 720x576"})
        Sel.VideoSizes.Add(s);
    } else if (V(*this, vds_IsVfw).BoolValue) {
      DiscoverVfwFormats();
    } else {
      DiscoverWdmFormats(SourcePin);
      if (UsesDVSource() && SourcePin) {
        std::shared_ptr<mg::Pin> pin = SourcePin;
        std::shared_ptr<mg::BaseFilter> decoder;
        if (InsertFilterInline(mg::CLSID_DVVideoCodec, UniqueFilterName("DV Codec"), pin, &mg::MEDIATYPE_Video,
                               decoder))
          AddPinSubtypes(pin);
      }
    }
    WriteFormatCacheEntries();
    if (standardRead) {
      V(*this, vds_ANTVFormat).IntValue = current;
      if (AnalogDecoder) AnalogDecoder->put_TVFormat(current);
    }
    if (UsesDVSource()) TraceLine(CF_DEFAULT, "Digital video in");
    TraceLine(CF_DEFAULT, "END Discovering " + name);
    result = true;
  }
  ReleaseControlInterfaces();
  ClearGraph(false);
  ReportIf(true, SEV_INFO, "end of device discovery", i_end_discovering_device);
  DiscoveryMode = false;
  return result;
}

void TVcEngine::WriteFormatCacheEntries() {
  const String key = BoundVideoDeviceKey();
  if (key.empty()) return;
  std::vector<String> sizes, subtypes;
  for (int32_t i = 0; i < Sel.VideoSizes.Count(); ++i) sizes.push_back(Sel.VideoSizes[i]);
  for (int32_t i = 0; i < Sel.VideoSubtypes.Count(); ++i) subtypes.push_back(Sel.VideoSubtypes[i]);
  WriteFormatCache(key, sizes, subtypes);
}

void TVcEngine::DiscoverWdmFormats(const std::shared_ptr<mg::Pin>& Pin) {
  if (!Pin) {
    TraceLine(CF_RED, "ERROR: NO OUPTUT PIN FOUND IN FORMAT DISCOVERING");
    return;
  }
  int size = 0;
  const int count = CapabilityCount(StreamConfig.get(), size);
  if (count > 0) {
    ForEachCapability(*StreamConfig, count, size, [&](const mg::AM_MEDIA_TYPE& mt, const uint8_t* scc) {
      AddVideoSubtype(mt);
      uint32_t bitRate = 0;
      int64_t duration = 0;
      int32_t w = 0, h = 0;
      if (GetVideoFrameInfo(mt, bitRate, duration, w, h)) {
        mg::VIDEO_STREAM_CONFIG_CAPS caps;
        std::memcpy(&caps, scc, sizeof caps);
        WalkSizesFromCaps(static_cast<uint32_t>(w), static_cast<uint32_t>(h),
                          static_cast<uint32_t>(caps.MinOutputSize.cx), static_cast<uint32_t>(caps.MinOutputSize.cy),
                          static_cast<uint32_t>(caps.MaxOutputSize.cx), static_cast<uint32_t>(caps.MaxOutputSize.cy));
      }
      return false;
    });
  } else {
    TraceLine(CF_DEFAULT, "No CapAvail: enumerating media types");
    for (const mg::AM_MEDIA_TYPE& mt : Pin->MediaTypes()) {
      uint32_t bitRate = 0;
      int64_t duration = 0;
      int32_t w = 0, h = 0;
      if (!GetVideoFrameInfo(mt, bitRate, duration, w, h)) continue;
      AddVideoSubtype(mt);
      WalkSizesFromCaps(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 80, 60, 2048, 1536);
    }
  }
  if (V(*this, vds_IsAnalogVideoDecoderAvail).BoolValue) {
    static const int32_t kAnalogSizes[][2] = {{176, 144}, {320, 240}, {352, 240}, {352, 288},
                                              {480, 288}, {480, 480}, {640, 480}, {704, 480},
                                              {704, 574}, {720, 480}, {720, 576}};
    for (const auto& s : kAnalogSizes) AddVideoSize(s[0], s[1]);
  }
  FinishFormatLists();
  TraceLine(CF_DEFAULT, "END Discovering formats for " + BoundVideoName(*this));
}

void TVcEngine::WalkSizesFromCaps(uint32_t W, uint32_t H, uint32_t MinW, uint32_t MinH, uint32_t MaxW,
                                  uint32_t MaxH) {
  WalkSizes(W, H, MinW, MinH, MaxW, MaxH);
  WalkSizes(MinW, MinH, MinW, MinH, MaxW, MaxH);
  WalkSizes(MaxW, MaxH, MinW, MinH, MaxW, MaxH);
}

void TVcEngine::WalkSizes(uint32_t W, uint32_t H, uint32_t MinW, uint32_t MinH, uint32_t MaxW, uint32_t MaxH) {
  if (H > W) H >>= 1;
  // A walk ends when its value stops changing too: a zero size or bound
  // would otherwise halve or double for ever.
  auto walk = [&](bool doubling, bool byWidth) {
    uint32_t w = W, h = H;
    for (;;) {
      const uint32_t v = byWidth ? w : h;
      const bool inside = doubling ? v <= (byWidth ? MaxW : MaxH) : v >= (byWidth ? MinW : MinH);
      if (!inside) break;
      AddVideoSize(static_cast<int32_t>(w), static_cast<int32_t>(h));
      const uint32_t nw = doubling ? w << 1 : w >> 1;
      const uint32_t nh = doubling ? h << 1 : h >> 1;
      if ((byWidth ? nw : nh) == v || (doubling && (byWidth ? nw : nh) < v)) break;
      w = nw;
      h = nh;
    }
  };
  walk(false, true);
  walk(false, false);
  walk(true, true);
  walk(true, false);
}

void TVcEngine::AddVideoSize(int32_t Width, int32_t Height) {
  if (Width <= 0 || Height <= 0) return;
  const String text = PaddedSizeText(Width, Height);
  if (Sel.VideoSizes.IndexOf(text) >= 0) return;
  if (Sel.VideoSizes.Count() == 0) Sel.VideoSizes.Add("   " + text);
  Sel.VideoSizes.Add(text);
  ReportIf(true, SEV_INFO, "video size: " + text, i_discovering_device);
}

void TVcEngine::AddVideoSubtype(const mg::AM_MEDIA_TYPE& MediaType) {
  const String text = MediaType.subtype.ToString();
  const String name = rtl::LowerCase(SubtypeName(text));
  TraceLine(CF_DEFAULT, "seen: " + name + " -> " + text);
  if (name.empty()) return;
  if (IsDVSubtypeName(name)) V(*this, vds_IsDigitalVideoIn).BoolValue = true;
  if (Sel.VideoSubtypes.IndexOf(text) >= 0) return;
  Sel.VideoSubtypes.Add(text);
  ReportIf(true, SEV_INFO, "video format: " + name, i_discovering_device);
}

void TVcEngine::AddPinSubtypes(const std::shared_ptr<mg::Pin>& Pin) {
  if (!Pin) return;
  for (const mg::AM_MEDIA_TYPE& mt : Pin->MediaTypes()) AddVideoSubtype(mt);
}

void TVcEngine::FinishFormatLists() {
  rtl::TStringList& subtypes = Sel.VideoSubtypes;
  for (const mg::GUID* g : {&mg::MEDIASUBTYPE_Y422, &mg::MEDIASUBTYPE_RGB565, &mg::MEDIASUBTYPE_I420,
                            &mg::MEDIASUBTYPE_RGB32, &mg::MEDIASUBTYPE_RGB24, &mg::MEDIASUBTYPE_YUY2,
                            &mg::MEDIASUBTYPE_UYVY, &mg::MEDIASUBTYPE_RGB555}) {
    const int32_t i = subtypes.IndexOf(g->ToString());
    if (i > 0) subtypes.Move(i, 0);
  }
  if (subtypes.Count() > 0) subtypes.Insert(0, subtypes[0]);

  rtl::TStringList& sizes = Sel.VideoSizes;
  auto defaultIndex = [&sizes] {
    int32_t i = sizes.IndexOf(" 352x288");
    if (i < 0) i = sizes.IndexOf(" 320x240");
    return i;
  };
  if (UsesDVSource()) {
    sizes.Clear();
    for (const char* s : {"    half", "   dc", "  quarter", " half", "full"}) sizes.Add(s);
  } else if (V(*this, vds_IsVfw).BoolValue) {
    const int32_t i = defaultIndex();
    if (sizes.Count() > 1 && i > 1) sizes.Add("   " + rtl::Trim(sizes[i]));
  } else {
    int32_t w = 0, h = 0;
    if (GetVideoSizeAt(0, w, h) && (w > 400 || h > 400)) {
      const int32_t i = defaultIndex();
      if (i > 1) {
        const String entry = rtl::Trim(sizes[i]);
        sizes.Delete(0);
        sizes.Add("   " + entry);
      }
    }
  }
}

void TVcEngine::DiscoverVfwFormats() {
  const String name = BoundVideoName(*this);
  TraceLine(CF_DEFAULT, "BEGIN Discovering vfw formats for " + name);
  Sel.VideoSizes.Clear();
  Sel.VideoSubtypes.Clear();
  mg::AM_MEDIA_TYPE mt;
  if (!StreamConfig || StreamConfig->GetFormat(&mt) != mg::S_OK) {
    ReportIf(true, SEV_ERROR, "get Video format", e_get_video_format);
    TraceLine(CF_RED, "ERROR: NO OUPTUT PIN FOUND IN FORMAT DISCOVERING");
    return;
  }
  mg::BITMAPINFOHEADER* header = KindBitmapHeader(mt, GetVideoFormatKind(mt));
  if (header) {
    const int32_t w = header->biWidth, h = std::abs(header->biHeight);
    static const int32_t kProbeSizes[][2] = {{96, 72},   {120, 90},  {128, 96},  {160, 120}, {192, 144},
                                             {240, 180}, {256, 192}, {320, 240}, {352, 288}, {384, 288},
                                             {640, 480}, {720, 576}, {768, 576}};
    for (const auto& s : kProbeSizes) {
      header->biWidth = s[0];
      header->biHeight = s[1];
      header->biSizeImage = static_cast<uint32_t>(DibImageSize(header));
      const String text = PaddedSizeText(s[0], s[1]);
      if (StreamConfig->SetFormat(&mt) == mg::S_OK && Sel.VideoSizes.IndexOf(text) < 0) {
        Sel.VideoSizes.Add(text);
        ReportIf(true, SEV_INFO, "video size: " + text, i_discovering_device);
      }
    }
    header->biWidth = w;
    header->biHeight = h;
    for (const char* probe : {"RLE4", "RLE8", "RGB4", "RGB8", "BITF16", "BITF24", "BITF32", "UYVY", "YUY2", "YUV9",
                              "I420", "IYUV", "YV12", "RGB555", "RGB565", "RGB24", "RGB32"}) {
      // The two 16-bit RGB names would read as 555 and 565 bits a pixel;
      // a bitmap header only takes 16 for them.
      const String n = probe;
      if (n == "RGB555") {
        header->biCompression = mg::BI_RGB;
        header->biBitCount = 16;
      } else if (n == "RGB565") {
        header->biCompression = mg::BI_BITFIELDS;
        header->biBitCount = 16;
      } else {
        ParseFourCCName(n, header->biCompression, header->biBitCount);
      }
      header->biSizeImage = static_cast<uint32_t>(DibImageSize(header));
      if (StreamConfig->SetFormat(&mt) == mg::S_OK && Sel.VideoSubtypes.IndexOf(n) < 0) {
        Sel.VideoSubtypes.Add(n);
        ReportIf(true, SEV_INFO, "video format: " + n, i_discovering_device);
      }
    }
  }
  FinishFormatLists();
  TraceLine(CF_DEFAULT, "END Discovering formats for " + name);
}

// ---- sizes and subtypes of the lists -----------------------------------------------

bool TVcEngine::GetVideoSizeAt(int32_t Index, int32_t& Width, int32_t& Height) {
  Width = Height = -1;
  const int32_t count = Sel.VideoSizes.Count();
  if (count == 0) {
    Width = 320;
    Height = 240;
    return false;
  }
  if (Index == -1) {
    int32_t& selected = V(*this, vds_VideoSize).IntValue;
    if (selected >= count) selected = 0;
    Index = selected;
  }
  if (UsesDVSource()) {
    if (Index < 0 || Index > 4) return false;
    const int32_t pal = V(*this, vds_IsDVPal).BoolValue ? 1 : 0;
    Width = kDVSizes[pal][Index][0];
    Height = kDVSizes[pal][Index][1];
    return true;
  }
  if (Index < 0 || Index >= count) return false;
  return ParseSizeText(Sel.VideoSizes[Index], Width, Height);
}

bool TVcEngine::ComputeSelectedVideoSize(int32_t Index, int32_t& Width, int32_t& Height) {
  if (Index == -1 && Sel.VideoSizes.Count() > 0 && V(*this, vds_VideoSize).IntValue == 0 &&
      V(*this, vds_IsAnalogVideoDecoderAvail).BoolValue) {
    const bool pal = V(*this, vds_ANTVFormat).IntValue >= 16;
    if (Sel.VideoSizes.IndexOf(pal ? " 352x288" : " 352x240") >= 1) {
      Width = 352;
      Height = pal ? 288 : 240;
      return true;
    }
  }
  return GetVideoSizeAt(Index, Width, Height);
}

bool TVcEngine::GetEffectiveSubtype(mg::GUID& Subtype) {
  const rtl::TStringList& list = Sel.VideoSubtypes;
  Subtype = mg::GUID{};
  if (list.Count() == 0) return false;
  if (ActiveSubtypeIndex < 0 || ActiveSubtypeIndex >= list.Count()) ActiveSubtypeIndex = 0;
  int32_t index = ActiveSubtypeIndex;
  if (index == 0 && Latched.FrameGrabber != fg_Disabled) {
    // The grabber works on RGB frames: the first RGB subtype the device
    // lists, when it has one.
    for (int32_t i = 1; i < list.Count(); ++i) {
      const String text = rtl::UpperCase(rtl::Trim(SubtypeEntryName(list[i])));
      if (text.find("RGB") != String::npos && text != "RGB") {
        index = i;
        break;
      }
    }
  }
  const String text = rtl::Trim(list[index]);
  if (text.size() == 38) GuidFromText(text, Subtype);
  return true;
}

// ---- applying the selection ----------------------------------------------------------

void TVcEngine::ApplySelectedVideoFormat() {
  if (DiscoveryMode || IsPinnacleMovieBox(BoundVideoName(*this))) return;
  if (!ApplyVideoFormatByCaps(SourcePin) && !ApplyVideoFormat()) ApplyFrameRate();
}

namespace {

// The size-list checks the first two steps share; false to stop the step.
bool SelectedSizeUsable(TVcEngine& e) {
  if (e.Sel.VideoSizes.Count() == 0 || !e.StreamConfig) return false;
  int32_t& selected = e.DeviceSettings.Video[vds_VideoSize].IntValue;
  if (selected >= e.Sel.VideoSizes.Count()) {
    selected = 0;
    e.ReportIf(true, SEV_ERROR, "VideoSize index out of range, default size used", e_index_out_of_range);
    return false;
  }
  return true;
}

}  // namespace

bool TVcEngine::ApplyVideoFormatByCaps(const std::shared_ptr<mg::Pin>&) {
  if (V(*this, vds_IsVfw).BoolValue) return false;
  TraceLine(CF_DEFAULT, "video stream config 1");
  if (!SelectedSizeUsable(*this)) return false;
  int32_t w = 0, h = 0;
  ComputeSelectedVideoSize(-1, w, h);
  mg::GUID subtype;
  GetEffectiveSubtype(subtype);
  return ApplyStreamCaps(w, h, subtype);
}

bool TVcEngine::ApplyStreamCaps(int32_t Width, int32_t Height, const mg::GUID& Subtype) {
  int size = 0;
  const int count = CapabilityCount(StreamConfig.get(), size);
  bool applied = false;
  if (count <= 0) return false;
  ForEachCapability(*StreamConfig, count, size, [&](mg::AM_MEDIA_TYPE mt, const uint8_t*) {
    uint32_t bitRate = 0;
    int64_t duration = 0;
    int32_t w = 0, h = 0;
    if (!GetVideoFrameInfo(mt, bitRate, duration, w, h) || mt.subtype != Subtype || w != Width || h != Height)
      return false;
    if (!SetFrameDuration(GetVideoFormatKind(mt), mt)) TraceLine(CF_RED, "failed to set frame rate");
    if (StreamConfig->SetFormat(&mt) != mg::S_OK) {
      TraceLine(CF_RED, "failed to set video format");
      return false;
    }
    if (mt.formattype != mg::FORMAT_VideoInfo && mt.formattype != mg::FORMAT_DvInfo)
      V(*this, vds_IsMpegStream).BoolValue = true;
    applied = true;
    return true;
  });
  return applied;
}

bool TVcEngine::ApplyVideoFormat() {
  TraceLine(CF_DEFAULT, "video stream config 2");
  if (!SelectedSizeUsable(*this)) return false;
  int32_t w = 0, h = 0;
  ComputeSelectedVideoSize(-1, w, h);
  mg::AM_MEDIA_TYPE mt;
  if (StreamConfig->GetFormat(&mt) != mg::S_OK) {
    ReportIf(true, SEV_ERROR, "get Video format", e_get_video_format);
    return false;
  }
  const int32_t kind = GetVideoFormatKind(mt);
  bool result = false;
  if (kind != 8) {
    const bool vfw = V(*this, vds_IsVfw).BoolValue;
    String formatName;
    mg::GUID subtype;
    if (GetEffectiveSubtype(subtype)) {
      if (!vfw) {
        if (!subtype.IsNull()) mt.subtype = subtype;
        formatName = FourCCText(static_cast<int32_t>(subtype.Data1));
      } else if (ActiveSubtypeIndex < Sel.VideoSubtypes.Count()) {
        formatName = rtl::Trim(Sel.VideoSubtypes[ActiveSubtypeIndex]);
      }
    }
    SetFrameDuration(kind, mt);
    if (kind == 0 || kind == 1 || kind == 3 || kind == 4) {
      if (kind == 0 || kind == 3) {
        auto* h0 = mt.FormatAs<mg::VIDEOINFOHEADER>();
        h0->rcSource = h0->rcTarget = win::RECT{};
      } else {
        auto* h1 = mt.FormatAs<mg::VIDEOINFOHEADER2>();
        h1->rcSource = h1->rcTarget = win::RECT{};
      }
      mg::BITMAPINFOHEADER* header = KindBitmapHeader(mt, kind);
      header->biWidth = w;
      header->biHeight = h;
      if (vfw) {
        header->biSize = 40;
        header->biXPelsPerMeter = header->biYPelsPerMeter = 0;
        ParseFourCCName(formatName, header->biCompression, header->biBitCount);
        header->biPlanes = 1;
        header->biSizeImage = static_cast<uint32_t>(DibImageSize(header));
      }
      result = StreamConfig->SetFormat(&mt) == mg::S_OK;
    } else if (kind == 2) {
      if (!subtype.IsNull()) mt.subtype = subtype;
      result = StreamConfig->SetFormat(&mt) == mg::S_OK;
    } else {
      result = true;
    }
  }
  if (!result) TraceLine(CF_RED, "set video format 2");
  return result;
}

bool TVcEngine::ApplyFrameRate() {
  if (UsesDVSource() || !StreamConfig) return false;
  if (ActiveFrameRate < 0) ActiveFrameRate = 1500;
  if (ActiveFrameRate == 0) return false;
  mg::AM_MEDIA_TYPE mt;
  if (StreamConfig->GetFormat(&mt) != mg::S_OK) {
    ReportIf(true, SEV_ERROR, "get Video format", e_get_video_format);
    return false;
  }
  const int32_t kind = GetVideoFormatKind(mt);
  if (kind == 8 || !SetFrameDuration(kind, mt)) return false;
  return StreamConfig->SetFormat(&mt) == mg::S_OK;
}

bool TVcEngine::SetFrameDuration(int32_t Kind, mg::AM_MEDIA_TYPE& MediaType) {
  if (ActiveFrameRate < 1) ActiveFrameRate = 1500;
  const auto duration = static_cast<mg::REFERENCE_TIME>(std::nearbyint(1e9 / ActiveFrameRate));
  if (Kind == 0 || Kind == 3) {
    if (auto* h = MediaType.FormatAs<mg::VIDEOINFOHEADER>()) {
      h->AvgTimePerFrame = duration;
      return true;
    }
  } else if (Kind == 1 || Kind == 4) {
    if (auto* h = MediaType.FormatAs<mg::VIDEOINFOHEADER2>()) {
      h->AvgTimePerFrame = duration;
      return true;
    }
  }
  return false;
}

bool TVcEngine::ApplyDVSubtype() {
  if (!UsesDVSource() || !StreamConfig || Sel.VideoSizes.Count() == 0) return false;
  int32_t& selected = V(*this, vds_VideoSize).IntValue;
  if (selected >= Sel.VideoSizes.Count()) {
    selected = 0;
    ReportIf(true, SEV_ERROR, "VideoSize index out of range, default size used", e_index_out_of_range);
  }
  int32_t w = 0, h = 0;
  if (!GetVideoSizeAt(selected, w, h)) return false;
  mg::GUID subtype;
  const int32_t index = V(*this, vds_VideoSubtype).IntValue;
  if (index >= 0 && index < Sel.VideoSubtypes.Count()) GuidFromText(rtl::Trim(Sel.VideoSubtypes[index]), subtype);
  mg::AM_MEDIA_TYPE mt;
  if (StreamConfig->GetFormat(&mt) != mg::S_OK) {
    ReportIf(true, SEV_ERROR, "get Video format", e_get_video_format);
    return false;
  }
  if (GetVideoFormatKind(mt) != 2) return false;
  if (!subtype.IsNull()) mt.subtype = subtype;
  const bool ok = StreamConfig->SetFormat(&mt) == mg::S_OK;
  if (!ok) ReportIf(true, SEV_ERROR, "set video format", e_set_format);
  return ok;
}

// ---- reading the device's format back ------------------------------------------------

void TVcEngine::ReadCurrentVideoFormat() {
  if (!StreamConfig) return;
  mg::AM_MEDIA_TYPE mt;
  if (StreamConfig->GetFormat(&mt) != mg::S_OK) {
    ReportIf(true, SEV_ERROR, "get Video format", e_get_video_format);
    return;
  }
  uint32_t bitRate = 0;
  int64_t duration = 0;
  int32_t w = 0, h = 0;
  const String text = mt.subtype.ToString();
  if (!GetVideoFrameInfo(mt, bitRate, duration, w, h) || text.empty() || w == 0 || h == 0) return;
  const int32_t subtype = Sel.VideoSubtypes.IndexOf(text);
  if (subtype >= 0) V(*this, vds_VideoSubtype).IntValue = subtype;
  for (int32_t i = 0; i < Sel.VideoSizes.Count(); ++i) {
    int32_t ew = 0, eh = 0;
    if (GetVideoSizeAt(i, ew, eh) && ew == w && eh == h) {
      V(*this, vds_VideoSize).IntValue = i;
      break;
    }
  }
}

bool TVcEngine::ReadFormatFrameRate(int32_t& Rate) {
  if (!StreamConfig) return false;
  mg::AM_MEDIA_TYPE mt;
  if (StreamConfig->GetFormat(&mt) != mg::S_OK) {
    ReportIf(true, SEV_ERROR, "get Video format", e_get_video_format);
    return false;
  }
  uint32_t bitRate = 0;
  int64_t duration = 0;
  int32_t w = 0, h = 0;
  if (!GetVideoFrameInfo(mt, bitRate, duration, w, h) || duration <= 0) return false;
  Rate = static_cast<int32_t>(std::nearbyint(1e9 / static_cast<double>(duration)));
  return true;
}

void TVcEngine::ReadDeviceFrameRate() {
  if (!StreamConfig) return;
  DeviceFrameRate = 0;
  int32_t rate = 0;
  if (ReadFormatFrameRate(rate)) DeviceFrameRate = rate;
}

bool TVcEngine::ReadDVSignalStandard() {
  int64_t duration = 0;
  return ReadDVSignalStandard(duration);
}

bool TVcEngine::FindPinMediaType(const std::shared_ptr<mg::Pin>& Pin, const mg::GUID* FormatType,
                                 mg::AM_MEDIA_TYPE& Found) {
  mg::GUID subtype;
  if (!Pin || !GetEffectiveSubtype(subtype)) return false;
  for (const mg::AM_MEDIA_TYPE& mt : Pin->MediaTypes()) {
    if (mt.subtype != subtype || (FormatType && mt.formattype != *FormatType)) continue;
    Found = mt;
    return true;
  }
  return false;
}

}  // namespace capture
