#include "capture/VcDialogs.h"

#include <algorithm>

#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VcWorker.h"
#include "capture/VidCap.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/MsgDialogs.h"
#include "platform/mg/CaptureGraphBuilder.h"
#include "platform/mg/Graph.h"
#include "platform/mg/Guids.h"
#include "platform/win/Window.h"

namespace capture {

namespace {

constexpr int kMargin = 8;
constexpr int kRowHeight = 28;
constexpr int kLabelWidth = 150;
constexpr int kEditorWidth = 200;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

}  // namespace

// ---------------------------------------------------------------------------
// The property-page dialog

TPropertyFrameForm::TPropertyFrameForm(const String& Caption, std::vector<mg::PropertyPage> Pages)
    : forms::TForm(nullptr), pages_(std::move(Pages)) {
  SetBorderStyle(forms::bsDialog);
  SetCaption(Caption.empty() && !pages_.empty() ? pages_.front().title : Caption);
  size_t rows = 1;
  for (const mg::PropertyPage& p : pages_) rows = std::max(rows, p.properties.size());
  const int pageWidth = kLabelWidth + kEditorWidth + 3 * kMargin;
  const int pageHeight = static_cast<int>(rows) * kRowHeight + 2 * kMargin + 24;
  SetClientWidth(pageWidth + 2 * kMargin);
  SetClientHeight(pageHeight + 3 * kMargin + kButtonHeight);

  PageControl = new forms::TPageControl(this);
  PageControl->SetParent(this);
  PageControl->SetBounds(kMargin, kMargin, pageWidth, pageHeight);
  for (const mg::PropertyPage& page : pages_) {
    auto* sheet = new forms::TTabSheet(this);
    sheet->SetPageControl(PageControl);
    sheet->SetCaption(page.title);
    int top = kMargin;
    for (const mg::PropertyDescriptor& d : page.properties) {
      auto* label = new forms::TLabel(this);
      label->SetParent(sheet);
      label->SetCaption(d.name);
      label->SetBounds(kMargin, top + 4, kLabelWidth, 16);
      forms::TControl* editor = nullptr;
      switch (d.kind) {
        case mg::PropertyDescriptor::Kind::Int: {
          auto* bar = new forms::TTrackBar(this);
          bar->SetParent(sheet);
          bar->SetRange(d.min, std::max(d.min, d.max));
          bar->SetPosition(d.get ? d.get() : d.def);
          editor = bar;
          break;
        }
        case mg::PropertyDescriptor::Kind::Bool: {
          auto* box = new forms::TCheckBox(this);
          box->SetParent(sheet);
          box->SetChecked(d.get ? d.get() != 0 : d.def != 0);
          editor = box;
          break;
        }
        case mg::PropertyDescriptor::Kind::Choice: {
          auto* combo = new forms::TComboBox(this);
          combo->SetParent(sheet);
          combo->SetStyle(forms::csDropDownList);
          for (const std::string& c : d.choices) combo->Items()->Add(c);
          combo->SetItemIndex(d.get ? d.get() : d.def);
          editor = combo;
          break;
        }
        case mg::PropertyDescriptor::Kind::Text: {
          auto* edit = new forms::TEdit(this);
          edit->SetParent(sheet);
          edit->SetText(d.getText ? d.getText() : String());
          editor = edit;
          break;
        }
      }
      editor->SetBounds(2 * kMargin + kLabelWidth, top, kEditorWidth, kRowHeight - 4);
      TEditor entry;
      entry.Descriptor = &d;
      entry.Control = editor;
      if (d.kind == mg::PropertyDescriptor::Kind::Text)
        entry.ShownText = static_cast<forms::TEdit*>(editor)->Text();
      else
        entry.Shown = EditorValue(entry);
      Editors.push_back(entry);
      top += kRowHeight;
    }
  }

  const int buttonsTop = kMargin * 2 + pageHeight;
  auto button = [&](const char* caption, int index) {
    auto* b = new forms::TButton(this);
    b->SetParent(this);
    b->SetCaption(caption);
    b->SetBounds(ClientWidth() - (3 - index) * (kButtonWidth + kMargin), buttonsTop, kButtonWidth, kButtonHeight);
    return b;
  };
  OkButton = button("OK", 0);
  OkButton->SetModalResult(forms::mrOk);
  OkButton->SetDefault(true);
  CancelButton = button("Cancel", 1);
  CancelButton->SetModalResult(forms::mrCancel);
  CancelButton->SetCancel(true);
  ApplyButton = button("Apply", 2);
  ApplyButton->OnClick = [this](forms::TObject*) { Apply(); };
}

forms::TControl* TPropertyFrameForm::EditorOf(const String& Name) const {
  for (const TEditor& e : Editors)
    if (e.Descriptor->name == Name) return e.Control;
  return nullptr;
}

int TPropertyFrameForm::EditorValue(const TEditor& Editor) const {
  switch (Editor.Descriptor->kind) {
    case mg::PropertyDescriptor::Kind::Int:
      return static_cast<forms::TTrackBar*>(Editor.Control)->Position();
    case mg::PropertyDescriptor::Kind::Bool:
      return static_cast<forms::TCheckBox*>(Editor.Control)->Checked() ? 1 : 0;
    case mg::PropertyDescriptor::Kind::Choice:
      return static_cast<forms::TComboBox*>(Editor.Control)->ItemIndex();
    default:
      return 0;
  }
}

void TPropertyFrameForm::Apply() {
  // Only what the user changed: an object's value outside the editor's
  // range (a "use the default" marker) must not be overwritten by the
  // clamped value the editor shows, and a write may restart the device.
  for (TEditor& e : Editors) {
    const mg::PropertyDescriptor& d = *e.Descriptor;
    if (d.kind == mg::PropertyDescriptor::Kind::Text) {
      const String text = static_cast<forms::TEdit*>(e.Control)->Text();
      if (text != e.ShownText && d.setText) d.setText(text);
      e.ShownText = text;
      continue;
    }
    const int value = EditorValue(e);
    if (value != e.Shown && value >= 0 && d.set) d.set(value);
    e.Shown = value;
  }
}

bool ShowPropertyFrame(win::HWND Owner, int X, int Y, const String& Caption,
                       const std::vector<std::shared_ptr<mg::Object>>& Objects) {
  std::vector<mg::PropertyPage> pages;
  for (const auto& object : Objects) {
    auto specify = mg::QueryInterface<mg::ISpecifyPropertyPages>(object);
    std::vector<mg::PropertyPage> more;
    if (specify && specify->GetPages(&more) == mg::S_OK) pages.insert(pages.end(), more.begin(), more.end());
  }
  if (pages.empty()) return false;
  std::unique_ptr<TPropertyFrameForm> form = std::make_unique<TPropertyFrameForm>(Caption, std::move(pages));
  win::RECT r{};
  if (Owner && win::GetWindowRect(Owner, &r)) {
    form->SetLeft(r.left + X);
    form->SetTop(r.top + Y);
  } else {
    form->SetLeft(X);
    form->SetTop(Y);
  }
  if (forms::DialogPresenter()->ShowDialog(form.get()) == forms::mrOk) form->Apply();
  return true;
}

void InstallPropertyFrameDialog() {
  mg::SetPropertyFramePresenter([](win::HWND parent, const std::string& caption, std::vector<mg::PropertyPage>& pages) {
    if (pages.empty()) return mg::S_FALSE;
    TPropertyFrameForm form(caption, pages);
    if (forms::DialogPresenter()->ShowDialog(&form) == forms::mrOk) form.Apply();
    (void)parent;
    return mg::S_OK;
  });
}

// ---------------------------------------------------------------------------
// The engine's dialog kinds

namespace {

win::HWND OwnerWindow(TVcEngine& e) {
  return e.Owner && e.Owner->HandleAllocated() ? e.Owner->Handle() : nullptr;
}

bool ShowPropertyPages(TVcEngine& e, const std::shared_ptr<mg::Object>& object) {
  return object && ShowPropertyFrame(OwnerWindow(e), 30, 30, String(), {object});
}

void ShowStreamConfigPages(TVcEngine& e, const std::shared_ptr<mg::Object>& object) {
  if (object) ShowPropertyFrame(OwnerWindow(e), 0, 0, String(), {object});
}

void Box(const String& Text) {
  forms::Application->MessageBox(Text, forms::Application->Title(), forms::MB_OK);
}

// A graph of the dialog's own holding the chosen video capture device,
// torn down when it goes out of scope.
class TDialogGraph {
public:
  ~TDialogGraph() {
    if (Graph)
      for (const auto& f : Graph->Filters()) Graph->RemoveFilter(f);
  }
  bool Build(TVcEngine& e) {
    Graph = std::make_shared<mg::FilterGraph>();
    Builder = std::make_shared<mg::CaptureGraphBuilder>();
    Builder->SetFiltergraph(Graph);
    TCapDeviceInfo* unused = nullptr;
    int32_t index = e.VideoDevice;
    return e.BindDevice(Graph, VideoCaptureDevices(), String(), false, unused, false, Capture, String(), index);
  }
  template <class I>
  std::shared_ptr<I> FindUpstream() {
    std::shared_ptr<I> found;
    if (Capture) Builder->FindInterface(&mg::LOOK_UPSTREAM_ONLY, nullptr, Capture, &found);
    return found;
  }
  std::shared_ptr<mg::FilterGraph> Graph;
  std::shared_ptr<mg::CaptureGraphBuilder> Builder;
  std::shared_ptr<mg::BaseFilter> Capture;
};

const TCapDeviceInfo* ChosenVideoEntry(const TVcEngine& e) {
  TDevices* list = VideoCaptureDevices();
  return list ? list->Info(e.VideoDevice) : nullptr;
}

bool IsVfwDevice(const TVcEngine& e) {
  const TCapDeviceInfo* info = ChosenVideoEntry(e);
  return (info && !info->IsWDM) || e.DeviceSettings.Video[vds_IsVfw].BoolValue;
}

bool IsDVDevice(const TVcEngine& e) {
  const TCapDeviceInfo* info = ChosenVideoEntry(e);
  return (info && info->IsDV) || e.Sel.IsDV || e.DeviceSettings.Video[vds_IsDigitalVideoIn].BoolValue;
}

bool ListsReady() { return DeviceManagerExists() && VideoCaptureDevices() != nullptr; }

template <class I>
std::shared_ptr<mg::Object> LiveFilterWith(TVcEngine& e) {
  if (!e.FilterGraph) return nullptr;
  for (const auto& f : e.FilterGraph->Filters())
    if (mg::QueryInterface<I>(f)) return f;
  return nullptr;
}

// The live graph's filter of the bound video device, under the name its
// binding gives it.
std::shared_ptr<mg::BaseFilter> LiveCaptureFilter(TVcEngine& e) {
  std::shared_ptr<mg::BaseFilter> f;
  TDevices* list = VideoCaptureDevices();
  if (!e.FilterGraph || !list || e.BoundVideoDevice < 0) return nullptr;
  e.FilterGraph->FindFilterByName(std::to_string(e.BoundVideoDevice) + " " + list->GetName(e.BoundVideoDevice), &f);
  return f;
}

// What sits upstream of a filter of the live graph and offers I.
template <class I>
std::shared_ptr<I> LiveUpstream(TVcEngine& e, const std::shared_ptr<mg::BaseFilter>& From) {
  std::shared_ptr<I> found;
  if (!From || !e.FilterGraph) return found;
  std::shared_ptr<mg::CaptureGraphBuilder> builder = e.CaptureGraphBuilder;
  if (!builder) {
    builder = std::make_shared<mg::CaptureGraphBuilder>();
    builder->SetFiltergraph(e.FilterGraph);
  }
  builder->FindInterface(&mg::LOOK_UPSTREAM_ONLY, nullptr, From, &found);
  return found;
}

// The video crossbar is the first one upstream of the capture filter, the
// audio crossbar the next one upstream of that.
std::shared_ptr<mg::Object> LiveCrossbar(TVcEngine& e, bool Video) {
  auto video = LiveUpstream<mg::IAMCrossbar>(e, LiveCaptureFilter(e));
  if (Video) return std::dynamic_pointer_cast<mg::Object>(video);
  auto audio = LiveUpstream<mg::IAMCrossbar>(e, std::dynamic_pointer_cast<mg::BaseFilter>(video));
  return std::dynamic_pointer_cast<mg::Object>(audio);
}

template <class I>
std::shared_ptr<mg::Object> LiveDeviceInterface(TVcEngine& e) {
  return std::dynamic_pointer_cast<mg::Object>(LiveUpstream<I>(e, LiveCaptureFilter(e)));
}

// The capture pin's stream configuration of a dialog's graph, lent to the
// engine while the format the user chose is read back.
std::shared_ptr<mg::IAMStreamConfig> DialogStreamConfig(TDialogGraph& g) {
  std::shared_ptr<mg::IAMStreamConfig> config;
  if (g.Builder && g.Capture)
    g.Builder->FindInterface(&mg::PIN_CATEGORY_CAPTURE, &mg::MEDIATYPE_Video, g.Capture, &config);
  return config;
}

// Kinds 0, 4, 5 and 6 outside a live graph.
bool DialogStep(TVcEngine& e, int32_t Kind) {
  if (e.ReportIf(!ListsReady() || VideoCaptureDevices()->Count() == 0, SEV_ERROR, "no video capture device",
                 e_no_video_input_device))
    return false;
  if (!e.CheckPreconditions(TEngineStates{es_Idle, es_Preview}, SEV_ERROR, true)) return false;
  // The device cannot be opened twice: a running preview makes way and
  // comes back afterwards.
  if (e.State == es_Preview) e.ClearGraph(true);
  SetBusyCursor(&e, true);
  TDialogGraph g;
  const bool built = g.Build(e);
  SetBusyCursor(&e, false);
  bool readBack = false;
  if (built) {
    if (Kind == 0) {
      readBack = ShowPropertyPages(e, g.Capture);
    } else if (auto dialogs = mg::QueryInterface<mg::IAMVfwCaptureDialogs>(g.Capture)) {
      const int which = Kind == 4 ? mg::VfwCaptureDialog_Format : Kind == 5 ? mg::VfwCaptureDialog_Source
                                                                            : mg::VfwCaptureDialog_Display;
      if (dialogs->HasDialog(which) == mg::S_OK) {
        dialogs->ShowDialog(which, OwnerWindow(e));
        readBack = Kind == 4;
      }
    }
  }
  if (readBack) {
    e.StreamConfig = DialogStreamConfig(g);
    e.ReadCurrentVideoFormat();
    e.StreamConfig.reset();
  }
  if (readBack && e.Owner && e.CanRaiseEvent(e.Owner->OnVideoDeviceSelected))
    e.Owner->OnVideoDeviceSelected(e.Owner);
  return true;
}

bool FormatDialog(TVcEngine& e) {
  if (!ListsReady() || VideoCaptureDevices()->Count() == 0 || IsDVDevice(e)) return false;
  if (!e.CheckPreconditions(TEngineStates{es_Idle, es_Preview}, SEV_ERROR, true)) return false;
  if (e.State == es_Preview) e.ClearGraph(true);
  e.LatchSettings(false);
  TDialogGraph g;
  if (!g.Build(e)) return true;
  std::shared_ptr<mg::IAMStreamConfig> config = DialogStreamConfig(g);
  if (auto object = std::dynamic_pointer_cast<mg::Object>(config)) {
    ShowStreamConfigPages(e, object);
    e.StreamConfig = config;
    e.ReadCurrentVideoFormat();
    int32_t rate = 0;
    if (e.ReadFormatFrameRate(rate)) e.FrameRate100 = e.DeviceFrameRate = e.ActiveFrameRate = rate;
    e.StreamConfig.reset();
  }
  return true;
}

bool CompressorDialog(TVcEngine& e, bool Video) {
  TDevices* captureList = Video ? VideoCaptureDevices() : AudioCaptureDevices();
  if (!ListsReady() || !captureList || captureList->Count() == 0) {
    const String text = Video ? "no video capture device" : "no Audio capture device";
    Box(text);
    e.ReportIf(true, SEV_ERROR, text, Video ? e_no_video_input_device : e_no_audio_input_device);
    return false;
  }
  if (!e.CheckPreconditions(TEngineStates{es_Idle, es_Preview}, SEV_ERROR, true)) return false;
  SetBusyCursor(&e, true);
  const int32_t noted = e.State;
  if (e.State == es_Preview) e.ClearGraph(true);
  e.LatchSettings(false);

  TDialogGraph g;
  std::shared_ptr<mg::BaseFilter> source;
  if (Video) {
    if (g.Build(e)) source = g.Capture;
  } else {
    g.Graph = std::make_shared<mg::FilterGraph>();
    g.Builder = std::make_shared<mg::CaptureGraphBuilder>();
    g.Builder->SetFiltergraph(g.Graph);
    int32_t index = e.AudioDevice;
    e.BindListEntry(g.Graph, captureList, false, source, String(), index);
  }
  TDevices* compressors = Video ? VideoCompressors() : AudioCompressors();
  int32_t index = Video ? e.Sel.VideoCompressor : e.Sel.AudioCompressor;
  std::shared_ptr<mg::BaseFilter> compressor;
  bool shown = false;
  if (source && g.Graph && e.BindListEntry(g.Graph, compressors, true, compressor, Video ? "VIDC" : "AUDC", index)) {
    std::shared_ptr<mg::Pin> out;
    if (Video)
      g.Builder->FindPin(source, mg::PINDIR_OUTPUT, &mg::PIN_CATEGORY_CAPTURE, nullptr, 1, 0, &out);
    else
      g.Builder->FindPin(source, mg::PINDIR_OUTPUT, nullptr, nullptr, 1, 0, &out);
    std::shared_ptr<mg::Pin> in, compressorOut;
    g.Builder->FindPin(compressor, mg::PINDIR_INPUT, nullptr, nullptr, 1, 0, &in);
    g.Builder->FindPin(compressor, mg::PINDIR_OUTPUT, nullptr, nullptr, 0, 0, &compressorOut);
    const bool connected = out && in && g.Graph->Connect(out, in) == mg::S_OK;
    if (!connected) {
      if (Video) {
        e.ReportIf(true, SEV_ERROR, "video compressor not suitable", e_video_compressor_not_suitable);
      } else {
        Box("audio compressor not suitable");
        e.ReportIf(true, SEV_ERROR, "audio compressor not suitable", e_audio_compressor_not_suitable);
      }
    } else if (compressorOut) {
      const String key = compressors->GetRegistryKey(index);
      ReadFilterStateFromRegistry(compressor, key);
      SetBusyCursor(&e, false);
      if (auto dialogs = mg::QueryInterface<mg::IAMVfwCompressDialogs>(compressor))
        shown = dialogs->ShowDialog(mg::VfwCompressDialog_Config, OwnerWindow(e)) == mg::S_OK;
      else
        shown = ShowPropertyPages(e, compressor);
      SetBusyCursor(&e, true);
      if (!shown) {
        const String text = Video ? "no dialog for this video compressor" : "no dialog for this audio compressor";
        Box(text);
        e.ReportIf(true, SEV_WARNING, text, e_no_dialog_for_this_compressor);
      }
      WriteFilterStateToRegistry(compressor, key);
    }
  }
  SetBusyCursor(&e, false);
  e.State = noted;
  e.RequestPreviewRefresh(Video ? "dvcd" : "dacd");
  return shown;
}

bool AudioDevicePages(TVcEngine& e) {
  if (!ListsReady()) return false;
  if (auto live = LiveFilterWith<mg::IAMAudioInputMixer>(e)) return ShowPropertyPages(e, live);
  TDevices* list = AudioCaptureDevices();
  if (!list || e.AudioDevice < 0 || e.AudioDevice >= list->Count()) return false;
  if (!e.CheckPreconditions(TEngineStates{es_Idle, es_Preview}, SEV_ERROR, false)) return false;
  e.LatchSettings(false);
  TDialogGraph g;
  g.Graph = std::make_shared<mg::FilterGraph>();
  int32_t index = e.AudioDevice;
  std::shared_ptr<mg::BaseFilter> filter;
  bool shown = false;
  if (e.BindListEntry(g.Graph, list, false, filter, String(), index)) shown = ShowPropertyPages(e, filter);
  e.RequestPreviewRefresh("dadd");
  return shown;
}

}  // namespace

bool TVcEngine::ShowDialog(int32_t Kind) {
  const bool wasPreviewing = State == es_Preview;
  bool result = false;
  switch (static_cast<uint32_t>(Kind)) {
    case 0: {
      auto live = LiveCaptureFilter(*this);
      if (live && !IsVfwDevice(*this) && GraphActive)
        result = ShowPropertyPages(*this, live);
      else
        result = DialogStep(*this, 0);
      break;
    }
    case 1:
    case 2:
      result = CompressorDialog(*this, Kind == 1);
      break;
    case 3:
      if (IsDVDevice(*this)) break;
      result = IsVfwDevice(*this) ? DialogStep(*this, 0) : FormatDialog(*this);
      break;
    case 4:
    case 5:
    case 6:
      result = DialogStep(*this, Kind);
      break;
    case 7:
    case 8:
      result = ShowPropertyPages(*this, LiveCrossbar(*this, Kind == 7));
      break;
    case 9: {
      std::shared_ptr<mg::Object> tuner = LiveDeviceInterface<mg::IAMTVTuner>(*this);
      TDialogGraph g;
      if (!tuner && State == es_Idle && ListsReady() && g.Build(*this)) {
        auto found = g.FindUpstream<mg::IAMTVTuner>();
        tuner = std::dynamic_pointer_cast<mg::Object>(found);
      }
      result = ShowPropertyPages(*this, tuner);
      break;
    }
    case 10:
      result = ShowPropertyPages(*this, LiveDeviceInterface<mg::IAMTVAudio>(*this));
      break;
    case 11:
      result = AudioDevicePages(*this);
      break;
    default:
      break;
  }
  // Pages of the live graph leave the preview running; every other kind
  // restarts it. A kind-0 dialog that had to build a graph of its own tore
  // the preview down, so it comes back too rather than staying lost.
  const bool keepsPreview = Kind == 0 || Kind == 7 || Kind == 8 || Kind == 9 || Kind == 10;
  const bool previewLost = State != es_Preview;
  if (wasPreviewing && (!keepsPreview || previewLost)) {
    State = es_Preview;
    RequestPreviewRefresh("dd");
  }
  return result;
}

}  // namespace capture
