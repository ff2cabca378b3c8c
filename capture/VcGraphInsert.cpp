// Putting filters into the engine's graph: adding under a label,
// connecting (directly, through converters, or by rebuilding the link
// upstream), inserting in line, the renderers with their save and restore
// of the device side of the graph, the null renderer, the overlay mixer and
// the video-port path, and the trace of the graph's tree.
#include <algorithm>

#include "capture/VcEngine.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"

namespace capture {

bool TVcEngine::AddFilterToGraph(const std::shared_ptr<mg::BaseFilter>& Filter, const String& Label) {
  const mg::HRESULT hr = FilterGraph && Filter ? FilterGraph->AddFilter(Filter, Label) : mg::E_FAIL;
  return Report(hr, SEV_ERROR, "rejected: " + Label, e_add_filter);
}

bool TVcEngine::ConnectPins(const std::shared_ptr<mg::Pin>& OutPin, const std::shared_ptr<mg::Pin>& InPin) {
  if (!OutPin) {
    ReportIf(true, SEV_TRACE_ONLY, "connect: OutPin not assigned", e_not_assigned);
    return false;
  }
  if (!InPin) {
    ReportIf(true, SEV_TRACE_ONLY, "connect: In not assigned", e_not_assigned);
    return false;
  }
  if (!FilterGraph) return false;
  if (FilterGraph->ConnectDirect(OutPin, InPin, nullptr) >= 0) return true;
  FilterGraph->Disconnect(OutPin);
  FilterGraph->Disconnect(InPin);
  if (FilterGraph->Connect(OutPin, InPin) >= 0) return true;
  FilterGraph->Disconnect(OutPin);
  FilterGraph->Disconnect(InPin);
  // The upstream link may have settled on a type the new filter cannot
  // take; connecting it again intelligently may give converters room.
  const auto owner = OutPin->Owner();
  for (const auto& in : owner ? owner->Pins() : std::vector<std::shared_ptr<mg::Pin>>{}) {
    if (in->Direction() != mg::PINDIR_INPUT || !in->IsConnected()) continue;
    const auto feeder = in->ConnectedTo();
    FilterGraph->Disconnect(feeder);
    FilterGraph->Disconnect(in);
    if (FilterGraph->Connect(feeder, in) >= 0) return FilterGraph->Connect(OutPin, InPin) >= 0;
    return false;
  }
  return false;
}

bool TVcEngine::ConnectToInput(bool ByMediaType, std::shared_ptr<mg::Pin>& Pin, const mg::GUID& MajorType,
                               const std::shared_ptr<mg::BaseFilter>& Filter) {
  std::shared_ptr<mg::Pin> input;
  if (ByMediaType) {
    for (const auto& p : Filter ? Filter->Pins() : std::vector<std::shared_ptr<mg::Pin>>{})
      if (p->Direction() == mg::PINDIR_INPUT && !p->IsConnected() && mg::PinHasMajorType(*p, MajorType)) {
        input = p;
        break;
      }
  } else {
    input = FirstFreePin(Filter, mg::PINDIR_INPUT);
  }
  if (!input || !ConnectPins(Pin, input)) return false;
  Pin.reset();
  return true;
}

bool TVcEngine::ConnectToMux(bool ByMediaType, std::shared_ptr<mg::Pin>& Pin, const mg::AM_MEDIA_TYPE* MediaType,
                             std::shared_ptr<mg::Pin>& ControlPin, const mg::GUID& MajorType,
                             const std::shared_ptr<mg::BaseFilter>& Mux) {
  ControlPin.reset();
  std::shared_ptr<mg::Pin> input;
  if (ByMediaType) {
    for (const auto& p : Mux ? Mux->Pins() : std::vector<std::shared_ptr<mg::Pin>>{})
      if (p->Direction() == mg::PINDIR_INPUT && !p->IsConnected() && mg::PinHasMajorType(*p, MajorType)) {
        input = p;
        break;
      }
  } else {
    input = FirstFreePin(Mux, mg::PINDIR_INPUT);
  }
  if (!input) return false;
  bool teeInserted = false;
  if (!mg::QueryInterface<mg::IAMStreamControl>(input)) {
    std::shared_ptr<mg::Pin> preview;
    if (!InsertFilter2(mg::CLSID_SmartTee, UniqueFilterName("control"), preview, Pin, Pin)) return false;
    teeInserted = true;
  }
  bool connected = false;
  if (MediaType && FilterGraph) connected = FilterGraph->ConnectDirect(Pin, input, MediaType) >= 0;
  if (!connected) connected = ConnectPins(Pin, input);
  ControlPin = teeInserted ? Pin : input;
  Pin.reset();
  return connected;
}

bool TVcEngine::InsertFilterInline(const mg::CLSID& Class, const String& Label, std::shared_ptr<mg::Pin>& Pin,
                                   const mg::GUID* OutputType, std::shared_ptr<mg::BaseFilter>& Filter) {
  Filter.reset();
  if (!Pin) return false;
  std::shared_ptr<mg::BaseFilter> filter;
  std::shared_ptr<mg::Pin> input;
  if (!AddFilterGetInput(*this, Class, Label, filter, input)) {
    // The filter went in but is of no use without its input.
    if (filter) FilterGraph->RemoveFilter(filter);
    return false;
  }
  if (!ConnectPins(Pin, input)) {
    FilterGraph->RemoveFilter(filter);
    TraceLine(CF_RED, "ERROR: InsertFilterInline cannot connect " + Label);
    return false;
  }
  std::shared_ptr<mg::Pin> output;
  for (const auto& p : filter->Pins())
    if (p->Direction() == mg::PINDIR_OUTPUT && !p->IsConnected() &&
        (!OutputType || mg::PinHasMajorType(*p, *OutputType))) {
      output = p;
      break;
    }
  if (!output) {
    FilterGraph->Disconnect(Pin);
    FilterGraph->Disconnect(input);
    FilterGraph->RemoveFilter(filter);
    TraceLine(CF_RED, "ERROR: InsertFilterInline: out pin not found in " + Label);
    return false;
  }
  Pin = output;
  Filter = filter;
  return true;
}

bool TVcEngine::InsertFilterInline(const mg::CLSID& Class, const String& Label, std::shared_ptr<mg::Pin>& Pin,
                                   const mg::GUID* OutputType) {
  std::shared_ptr<mg::BaseFilter> unused;
  return InsertFilterInline(Class, Label, Pin, OutputType, unused);
}

bool TVcEngine::InsertFilter2(const mg::CLSID& Class, const String& Label, std::shared_ptr<mg::Pin>& Output2,
                              std::shared_ptr<mg::Pin>& Output1, std::shared_ptr<mg::Pin>& Pin) {
  // Callers pass one of the outputs as Pin to go on along it, so the old
  // pin is taken out before the outputs are written.
  const std::shared_ptr<mg::Pin> upstream = std::move(Pin);
  Pin.reset();
  std::shared_ptr<mg::BaseFilter> filter;
  std::shared_ptr<mg::Pin> input, out1, out2;
  const bool added = AddFilterGetInput2Outputs(*this, Class, Label, filter, input, out1, out2);
  if (!added || !ConnectPins(upstream, input)) {
    if (filter) FilterGraph->RemoveFilter(filter);
    TraceLine(CF_RED, "ERROR: InsertFilter2 cannot connect " + Label);
    // The chain stays where it was.
    Pin = upstream;
    return false;
  }
  Output1 = out1;
  Output2 = out2;
  return true;
}

bool TVcEngine::AddDisplayRenderer(const String& Label, TDisplayAttachment& Attachment, bool AllowMixingRenderer) {
  TraceLine(CF_DEFAULT, "ADR begin");
  if (Attachment.Shown) ReleaseAttachment(Attachment);
  Attachment.Renderer.reset();
  std::shared_ptr<mg::BaseFilter> renderer;
  if (AllowMixingRenderer && !ColorKeyEnabled && Latched.VideoRenderer != vr_StandardRenderer) {
    TraceLine(CF_DEFAULT, "cr VMR");
    if (Latched.VideoRenderer == vr_VMR9) CreateInstanceTraced(mg::CLSID_VideoMixingRenderer9, renderer, Label);
    if (Latched.VideoRenderer == vr_VMR7) CreateInstanceTraced(mg::CLSID_VideoMixingRenderer, renderer, Label);
    if (!renderer) CreateInstanceTraced(mg::CLSID_VideoMixingRenderer, renderer, Label);
    if (!renderer) CreateInstanceTraced(mg::CLSID_VideoMixingRenderer9, renderer, Label);
  }
  if (!renderer) {
    TraceLine(CF_DEFAULT, "ADR cr normal");
    if (CreateInstanceTraced(mg::CLSID_VideoRenderer, renderer, Label))
      if (auto ddraw = mg::QueryInterface<mg::IDirectDrawVideo>(renderer)) ddraw->SetSwitches(mg::AMDDS_RGBOFF);
  }
  bool ok = false;
  if (!renderer) {
    TraceLine(CF_RED, "ERROR: AddFilterGetInput cocreate instance failed on filter " + Label);
  } else {
    TraceLine(CF_DEFAULT, "ADR add filt");
    if (AddFilterToGraph(renderer, Label)) {
      TraceLine(CF_DEFAULT, "ADR find input ok: " + Label);
      Attachment.Renderer = renderer;
      Attachment.Shown = true;
      ok = true;
    } else {
      TraceLine(CF_RED, "ERROR: AddFilterGetInput cannot add filter " + Label);
    }
  }
  TraceLine(CF_DEFAULT, "ADR end");
  return ok;
}

bool TVcEngine::AddDisplayRendererGetInput(const String& Label, TDisplayAttachment& Attachment,
                                           bool AllowMixingRenderer, std::shared_ptr<mg::Pin>& InputPin) {
  InputPin.reset();
  if (!AddDisplayRenderer(Label, Attachment, AllowMixingRenderer)) return false;
  InputPin = FirstFreePin(Attachment.Renderer, mg::PINDIR_INPUT);
  if (!InputPin) {
    TraceLine(CF_RED, "ERROR: AddFilterGetInput cannot find input pin in filter " + Label);
    return false;
  }
  return true;
}

void TVcEngine::ReadVideoSizeFromPin(const std::shared_ptr<mg::Pin>& Pin) {
  if (UsesMPEGSource() && State != es_PlayerOpen) {
    int32_t w = 0, h = 0;
    if (GetSelectedVideoSize(DeviceSettings.Video[vds_VideoSize].IntValue, w, h)) {
      VideoWidth = w;
      VideoHeight = h;
    }
    return;
  }
  mg::AM_MEDIA_TYPE mt;
  if (!Pin || Pin->ConnectionMediaType(&mt) != mg::S_OK) return;
  if (DeviceDialogMode && mt.formattype == mg::FORMAT_VideoInfo2)
    if (const auto* vih2 = mt.FormatAs<mg::VIDEOINFOHEADER2>()) Interlaced = (vih2->dwInterlaceFlags & 1) != 0;
  const mg::BITMAPINFOHEADER* bih = nullptr;
  if (mt.formattype == mg::FORMAT_VideoInfo) {
    if (const auto* vih = mt.FormatAs<mg::VIDEOINFOHEADER>()) bih = &vih->bmiHeader;
  } else if (mt.formattype == mg::FORMAT_VideoInfo2) {
    if (const auto* vih2 = mt.FormatAs<mg::VIDEOINFOHEADER2>()) bih = &vih2->bmiHeader;
  }
  if (bih && bih->biWidth > 0) {
    VideoWidth = bih->biWidth;
    VideoHeight = bih->biHeight < 0 ? -bih->biHeight : bih->biHeight;
  }
}

bool TVcEngine::TerminateWithNullRenderer(std::shared_ptr<mg::Pin>& Pin, bool ReadSize) {
  std::shared_ptr<mg::BaseFilter> renderer;
  if (CreateInstanceTraced(mg::CLSID_NullRenderer, renderer, "Null Renderer") &&
      AddFilterToGraph(renderer, "Null Renderer"))
    ConnectPins(Pin, FirstFreePin(renderer, mg::PINDIR_INPUT));
  if (ReadSize) ReadVideoSizeFromPin(Pin);
  return true;
}

void TVcEngine::InsertOverlayMixer(std::shared_ptr<mg::Pin>& Pin) {
  if (!Pin || OverlayInterface) return;
  std::shared_ptr<mg::BaseFilter> mixer;
  bool ok = CreateInstanceTraced(mg::CLSID_OverlayMixer, mixer, "ov mix") && AddFilterToGraph(mixer, "ov mix");
  std::shared_ptr<mg::Pin> input, output;
  if (ok) {
    input = FirstFreePin(mixer, mg::PINDIR_INPUT);
    output = FirstFreePin(mixer, mg::PINDIR_OUTPUT);
    ok = input && output && ConnectPins(Pin, input);
  }
  if (ok) {
    OverlayInterface = mg::QueryInterface<mg::IOverlay>(input);
    if (!OverlayInterface) OverlayInterface = mg::QueryInterface<mg::IOverlay>(mixer);
    ok = OverlayInterface != nullptr;
  }
  if (ok) {
    Pin = output;
    return;
  }
  ReportIf(true, SEV_ERROR,
           "window transparency failed, try FrameGrabber = fg_Disabled or FrameGrabber = fg_CaptureStream",
           e_window_transparency_failed);
  if (mixer && FilterGraph && FilterGraph->Contains(mixer.get())) FilterGraph->RemoveFilter(mixer);
}

bool TVcEngine::BuildVideoPortPath() {
  const mg::GUID vp = mg::KSDATAFORMAT_SUBTYPE_VPVideo;
  std::shared_ptr<mg::Pin> pin;
  if (!FindPinByMediaType(VideoDeviceFilter, mg::PINDIR_OUTPUT, mg::MEDIATYPE_Video, pin, &vp)) return false;
  pin.reset();
  if (!CaptureGraphBuilder ||
      CaptureGraphBuilder->FindPin(VideoDeviceFilter, mg::PINDIR_OUTPUT, &mg::PIN_CATEGORY_VIDEOPORT, nullptr, 1, 0,
                                   &pin) != mg::S_OK)
    return false;
  if (!InsertFilterInline(mg::CLSID_OverlayMixer, "ovy mix", pin, nullptr)) return false;
  TDisplayAttachment& port = Attachments[da_VideoPort];
  std::shared_ptr<mg::Pin> input;
  if (!AddDisplayRendererGetInput("renderer", port, false, input) || !ConnectPins(pin, input)) return false;
  port.UsesVideoPort = true;
  mg::AM_MEDIA_TYPE mt;
  if (input->ConnectionMediaType(&mt) == mg::S_OK) {
    if (mt.formattype == mg::FORMAT_VideoInfo) {
      if (const auto* vih = mt.FormatAs<mg::VIDEOINFOHEADER>()) {
        VideoPortWidth = vih->bmiHeader.biWidth;
        VideoPortHeight = vih->bmiHeader.biHeight;
      }
    } else if (mt.formattype == mg::FORMAT_VideoInfo2) {
      if (const auto* vih2 = mt.FormatAs<mg::VIDEOINFOHEADER2>()) {
        VideoPortWidth = vih2->bmiHeader.biWidth;
        VideoPortHeight = vih2->bmiHeader.biHeight;
      }
    }
  }
  return true;
}

bool TVcEngine::InsertRendererWithRestore(std::shared_ptr<mg::Pin>& Pin) {
  const std::unique_ptr<TSaveFilterState> state = SaveFilterState(Pin);
  bool ok = InstallDisplay(Pin, true);
  if (!ok) {
    for (TDisplayAttachment& a : Attachments) ReleaseAttachment(a);
    if (RestoreFilterState(*state, Pin)) {
      TraceLine(CF_DEFAULT, "GRAPH RESTORED...");
      ok = InstallDisplay(Pin, false);
    }
  }
  if (!ok) ReportIf(true, SEV_TRACE_ONLY, "insert video renderer", e_failed);
  return ok;
}

std::unique_ptr<TSaveFilterState> TVcEngine::SaveFilterState(const std::shared_ptr<mg::Pin>& Pin) {
  auto state = std::make_unique<TSaveFilterState>();
  if (!FilterGraph) return state;
  if (Pin) {
    mg::PIN_INFO info;
    if (Pin->QueryPinInfo(&info) == mg::S_OK) {
      state->PinName = info.achName.substr(0, 128);
      state->PinFilterName = FilterNameOf(info.pFilter);
    }
  }
  // Only the names matter here; the walk's trace is not wanted.
  const std::function<void(const std::shared_ptr<mg::BaseFilter>&)> walk =
      [&](const std::shared_ptr<mg::BaseFilter>& f) {
        if (!f) return;
        state->Add(f->Name());
        for (const auto& p : f->Pins())
          if (p->Direction() == mg::PINDIR_OUTPUT)
            if (auto peer = p->ConnectedTo()) walk(peer->Owner());
      };
  walk(VideoDeviceFilter);
  walk(AudioDeviceFilter);
  return state;
}

bool TVcEngine::RestoreFilterState(const TSaveFilterState& State, std::shared_ptr<mg::Pin>& Pin) {
  Pin.reset();
  if (!FilterGraph) return false;
  for (bool removed = true; removed;) {
    removed = false;
    for (const auto& f : FilterGraph->Filters())
      if (State.IndexOf(f->Name()) < 0) {
        DisconnectAllPins(f);
        FilterGraph->RemoveFilter(f);
        removed = true;
        break;
      }
  }
  for (const auto& f : FilterGraph->Filters()) {
    if (f->Name() != State.PinFilterName) continue;
    std::shared_ptr<mg::Pin> p;
    if (FindPinByName(f, mg::PINDIR_OUTPUT, State.PinName, p, false, false) != mg::S_OK)
      p = FirstFreePin(f, mg::PINDIR_OUTPUT);
    Pin = p;
    break;
  }
  return Pin != nullptr;
}

void TVcEngine::TraceGraphTree() {
  if (!TraceOn() || !FilterGraph) return;
  const String bar(40, '=');
  rtl::TStringList names;
  TraceLine(bar, CF_DEFAULT, "video tree");
  DumpGraphTree(VideoDeviceFilter, 0, names);
  TraceLine(CF_DEFAULT, "video tree end");
  TraceLine(bar, CF_DEFAULT, "audio tree");
  DumpGraphTree(AudioDeviceFilter, 0, names);
  TraceLine(CF_DEFAULT, "audio tree end");
  TraceLine(bar, CF_DEFAULT, "UNC");
  for (const auto& f : FilterGraph->Filters())
    if (names.IndexOf(f->Name()) < 0) TraceLine(CF_DEFAULT, f->Name());
  TraceLine(CF_DEFAULT, "UNC end");
}

// ---- the display stage ---------------------------------------------------------
// The windows the renderers show in (placing, the second display, full
// screen) are bound by the display-window code; here the renderer is
// chosen, added and fed.

void TVcEngine::ReleaseAttachment(TDisplayAttachment& Attachment) {
  const int32_t index = static_cast<int32_t>(&Attachment - Attachments);
  TDisplayForm* form = index >= 0 && index < 3 ? DisplayForms[index].get() : nullptr;
  // A full-screen window keeps covering the screen until it is left.
  if (form && !Destroying && !(Attachment.Window >= 0 && WindowOptions(Attachment.Window).FullScreen)) form->Hide();
  if (auto window = mg::QueryInterface<mg::IVideoWindow>(Attachment.Renderer)) {
    window->put_Visible(mg::OAFALSE);
    window->put_MessageDrain(nullptr);
    window->put_Owner(nullptr);
  }
  if (Attachment.Window >= 0) WindowRuntime[Attachment.Window].Bound = false;
  if (QualityProperties && QualityProperties == mg::QueryInterface<mg::IQualProp>(Attachment.Renderer))
    QualityProperties.reset();
  Attachment.Renderer.reset();
  Attachment.RendererWindow.reset();
  Attachment.RendererHandle = nullptr;
  Attachment.Window = -1;
  Attachment.Shown = false;
  Attachment.UsesVideoPort = false;
}

bool TVcEngine::InstallDisplay(std::shared_ptr<mg::Pin>& Pin, bool AllowMixingRenderer) {
  TraceLine(CF_DEFAULT, "installing display");
  const bool fullDV = UsesDVSource() && DeviceSettings.Video[vds_VideoSize].IntValue == 4;
  if ((Latched.FrameGrabber == fg_CaptureStream || Latched.FrameGrabber == fg_Disabled) && fullDV &&
      (Latched.VideoRenderer == vr_AutoSelect || Latched.VideoRenderer == vr_VMR9))
    Latched.VideoRenderer = vr_VMR7;
  if (Latched.VideoRenderer == vr_AutoSelect)
    Latched.VideoRenderer = State == es_PlayerOpen ? vr_VMR7 : vr_StandardRenderer;
  if (Latched.VideoRenderer == vr_None) return TerminateWithNullRenderer(Pin, true);

  // The second display shows the same stream through a tee of its own.
  std::shared_ptr<mg::BaseFilter> tee;
  const bool dual = DualDisplayAllowed();
  if (dual && !InsertFilterInline(mg::CLSID_InfTee, "Inf Tee 2nd rnd", Pin, &mg::MEDIATYPE_Video, tee)) {
    ReportIf(true, SEV_TRACE_ONLY, "installing display done", e_failed);
    return false;
  }
  TDisplayAttachment& main = Attachments[da_Main];
  std::shared_ptr<mg::Pin> input;
  bool ok = AddDisplayRendererGetInput("rndr", main, AllowMixingRenderer, input);
  if (ok) {
    const std::shared_ptr<mg::Object> source = Pin;
    ok = CaptureGraphBuilder &&
         CaptureGraphBuilder->RenderStream(nullptr, nullptr, source, nullptr, main.Renderer) >= 0;
    if (ok) {
      Pin.reset();
      ReadVideoSizeFromPin(input);
      std::shared_ptr<mg::Pin> second;
      if (dual && AddDisplayRendererGetInput("rndr", Attachments[da_Second], AllowMixingRenderer, second))
        ConnectPins(FirstFreePin(tee, mg::PINDIR_OUTPUT), second);
    } else {
      FilterGraph->RemoveFilter(main.Renderer);
      ReleaseAttachment(main);
    }
  }
  if (!ok) ReportIf(true, SEV_TRACE_ONLY, "installing display done", e_failed);
  return ok;
}

bool TVcEngine::InsertVideoDisplay(std::shared_ptr<mg::Pin>& Pin) {
  if (ColorKeyEnabled) {
    TraceLine(CF_DEFAULT, "ck enabled");
    if (!mg::QueryInterface<mg::IOverlay>(VideoDeviceFilter)) {
      TraceLine(CF_DEFAULT, "ck: insert ov");
      InsertOverlayMixer(Pin);
    }
  }
  if (InsertRendererWithRestore(Pin)) return true;
  TraceLine(CF_RED, "insert video display");
  return false;
}

}  // namespace capture
