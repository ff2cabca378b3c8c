// The property setters with rules of their own: device selection, the
// recording method and file name, the trace switches, the text-overlay
// template, deinterlacing, the player's rate and audio, and the border.
#include <cmath>
#include <mutex>

#include "capture/VcLog.h"
#include "capture/VcProperties.h"
#include "capture/VidCap.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/Metrics.h"

namespace capture {

namespace {

std::mutex lookupMutex;
TTextLookup textLookup;

// The device selection shared by VideoDevice and AudioDevice.
void SelectDevice(TVidCap& vc, int32_t& published, int32_t bound, int32_t count, int32_t value, const char* what,
                  const char* code, bool (TVcEngine::*bind)()) {
  TVcEngine& e = *vc.Engine();
  published = value;
  if (value == -1 || DeviceListsState() != 2) return;
  if (e.CheckIndex(value, count, what) || count == 0 || value == bound || !e.Initialized) return;
  if (e.State != es_Idle) {
    e.RequestPreviewRefresh(code);
    return;
  }
  // While the form is read, the binding waits for the first idle moment.
  if (vc.ComponentState().Contains(forms::csLoading)) return;
  // The binding saves the settings of the device left behind.
  (e.*bind)();
}

}  // namespace

void SetTextLookup(TTextLookup Lookup) {
  std::lock_guard<std::mutex> lock(lookupMutex);
  textLookup = std::move(Lookup);
}

String LookupText(const String& Key, const String& English) {
  std::lock_guard<std::mutex> lock(lookupMutex);
  return textLookup ? textLookup(Key, English) : English;
}

String AudioFormatNames() {
  static const int rates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
  String text = LookupText("IDS_MAIN_COMBO_PATH_1", "Default") + "\r\n";
  for (int rate : rates) {
    for (int bits : {8, 16}) {
      for (const char* channels : {"Mono", "Stereo"})
        text += std::to_string(rate) + " Hz, " + std::to_string(bits) + "-bit " + channels + "\r\n";
    }
  }
  return text;
}

void UpdateOverlayActive(TVcEngine& e, bool DCHandlerAssigned) {
  e.Sel.OverlayActive = e.ShapeOverlayEnabled || e.TextOverlay_Enabled || DCHandlerAssigned;
}

bool ParseTextOverlay(TVcEngine& e, const String& Value) {
  int32_t target = 0;
  {
    std::lock_guard lock(e.Sel.OverlayLock);
    target = 1 - e.Sel.CurrentOverlay.load();
    TOverlayTemplate& t = e.Sel.Overlay[target];
    if (t.Writing.load() || t.Reading.load()) return false;
    t.Writing = true;
  }
  TOverlayTemplate& t = e.Sel.Overlay[target];
  int32_t count = 0;
  bool inToken = false;
  String text;
  auto tokenSegment = [](const String& token) {
    TOverlaySegment s;
    static const std::pair<const char*, int32_t> fixed[] = {
        {"time_code", 1}, {"frame_count", 2}, {"time_100ns", 3}, {"time_sec", 4}, {"time_full", 5}};
    for (const auto& [name, kind] : fixed)
      if (token == name) {
        s.Kind = kind;
        return s;
      }
    // The format sits between the bracket and the token's last character.
    if (token.rfind("sys_time[", 0) == 0) {
      s.Kind = 6;
      s.Text = token.substr(9, token.size() - 10);
    } else if (token.rfind("dv_time[", 0) == 0) {
      s.Kind = 7;
      s.Text = token.substr(8, token.size() - 9);
    } else if (token.size() == 7 && token.rfind("custom", 0) == 0 && token[6] >= '0' && token[6] <= '9') {
      s.Kind = 8 + (token[6] - '0');
    } else {
      s.Text = "%" + token + "%";
    }
    return s;
  };
  for (char c : Value) {
    if (c != '%') {
      text += c;
      continue;
    }
    t.Segments[count] = inToken ? tokenSegment(text) : TOverlaySegment{0, text};
    text.clear();
    inToken = !inToken;
    if (++count == 40) break;
  }
  if (!inToken && !text.empty()) t.Segments[count++] = TOverlaySegment{0, text};
  std::lock_guard lock(e.Sel.OverlayLock);
  t.Count = count;
  t.Writing = false;
  e.Sel.CurrentOverlay = target;
  e.TextOverlay_String = Value;
  return true;
}

std::vector<TOverlaySegment> CurrentOverlaySegments(const TVcEngine& e) {
  const TOverlayTemplate& t = e.Sel.Overlay[e.Sel.CurrentOverlay.load()];
  return std::vector<TOverlaySegment>(t.Segments, t.Segments + t.Count.load());
}

void TVidCap::SetVideoDevice(int32_t Value) {
  TVcEngine& e = *engine_;
  SelectDevice(*this, e.VideoDevice, e.BoundVideoDevice, e.VideoDeviceCount(), Value, "video capture device",
               "dsvdev", &TVcEngine::BindVideoDevice);
}

void TVidCap::SetAudioDevice(int32_t Value) {
  TVcEngine& e = *engine_;
  SelectDevice(*this, e.AudioDevice, e.BoundAudioDevice, e.AudioDeviceCount(), Value, "audio capture device",
               "dsadev", &TVcEngine::BindAudioDevice);
}

void TVidCap::SetPropertyPageSaver(forms::TComponent* Value) {
  TVcEngine& e = *engine_;
  if (Value == e.PropertyPageSaver) return;
  if (e.PropertyPageSaver) e.PropertyPageSaver->RemoveFreeNotification(this);
  // Only the saver companion is taken; anything else clears the property.
  if (Value && Value->ClassName().compare(0, 18, "TPropertyPageSaver") == 0) {
    e.PropertyPageSaver = Value;
    Value->FreeNotification(this);
  } else {
    e.PropertyPageSaver = nullptr;
  }
}

double TVidCap::MultiplexedSlaveFrameRate() const { return engine_->MultiplexedSlaveFrameRate100 / 100.0; }

void TVidCap::SetMultiplexedSlaveFrameRate(double Value) {
  TVcEngine& e = *engine_;
  if (Value < 0 || Value == e.MultiplexedSlaveFrameRate100 / 100.0) return;
  e.MultiplexedSlaveFrameRate100 = static_cast<int32_t>(std::nearbyint(Value * 100));
}

int32_t TVidCap::MultiplexedSlaveID(int32_t Index) const {
  return Index >= 0 && Index <= 3 ? engine_->MultiplexedSlaveID[Index] : -1;
}

void TVidCap::SetMultiplexedSlaveID(int32_t Index, int32_t Value) {
  if (Index >= 0 && Index <= 3) engine_->MultiplexedSlaveID[Index] = Value;
}

void TVidCap::SetLogoDisplayed(bool Value) {
  TVcEngine& e = *engine_;
  if (e.LogoDisplayed == Value) return;
  e.LogoDisplayed = Value;
  if (!e.Destroying) Invalidate();
}

void TVidCap::SetFrameGrabberRGBFormat(TFrameGrabberRGBFormat Value) {
  TVcEngine& e = *engine_;
  if (Value < fgf_Default || Value > fgf_RGB8 || e.FrameGrabberRGBFormat == Value) return;
  e.FrameGrabberRGBFormat = Value;
  if (e.FrameGrabber != fg_Disabled) e.RequestPreviewRefresh("dsfgf");
}

void TVidCap::SetBurstMode(bool Value) {
  TVcEngine& e = *engine_;
  std::lock_guard lock(e.Grab.BurstLock);
  // Switching bursts on starts the count again, with the first due frame
  // taken at once.
  if (Value) {
    e.Grab.BurstRemaining = e.BurstCount;
    e.Grab.BurstInterval = e.BurstInterval;
    e.Grab.BurstCountdown = 0;
  }
  e.BurstMode = Value;
}

void TVidCap::SetTextOverlay_String(const String& Value) { ParseTextOverlay(*engine_, Value); }

void TVidCap::SetShapeOverlay(forms::TControl* Value) {
  engine_->ShapeOverlay = Value;
  // The shape only describes the overlay; it is not shown on its form.
  if (Value) Value->SetVisible(false);
}

void TVidCap::SetOnFrameOverlayUsingDC(TOnFrameOverlayUsingDC Handler) {
  onFrameOverlayUsingDC_ = std::move(Handler);
  UpdateOverlayActive(*engine_, static_cast<bool>(onFrameOverlayUsingDC_));
}

void TVidCap::SetVideoProcessing_Rotation(TVideoRotation Value) {
  TVcEngine& e = *engine_;
  if (e.VideoProcessing_Rotation == Value) return;
  e.VideoProcessing_Rotation = Value;
  e.UpdateProcessingFlags();
  e.RequestPreviewRefresh("spr");
}

TVideoDeinterlacing TVidCap::VideoProcessing_Deinterlacing() const {
  return engine_->DeinterlaceFullSize ? di_FullSize : engine_->DeinterlaceHalfSize ? di_HalfSize : di_Disabled;
}

void TVidCap::SetVideoProcessing_Deinterlacing(TVideoDeinterlacing Value) {
  TVcEngine& e = *engine_;
  const bool halfBefore = e.DeinterlaceHalfSize;
  switch (Value) {
    case di_Disabled: e.DeinterlaceHalfSize = e.DeinterlaceFullSize = false; break;
    case di_HalfSize: e.DeinterlaceHalfSize = true; e.DeinterlaceFullSize = false; break;
    case di_FullSize: e.DeinterlaceHalfSize = false; e.DeinterlaceFullSize = true; break;
    default: break;
  }
  e.UpdateProcessingFlags();
  // Full-size deinterlacing keeps the picture's size: no rebuild for it.
  if (e.DeinterlaceHalfSize != halfBefore) e.RequestPreviewRefresh("spdi");
}

void TVidCap::SetMotionDetector_Enabled(bool Value) {
  TVcEngine& e = *engine_;
  if (Value == e.MotionDetector->Enabled) return;
  e.MotionDetector_Enabled = Value;
  e.MotionDetector->Enabled = Value;
  if (e.State == es_Idle || !e.SettingsLatched) return;
  // The detector compares 24- and 32-bit pixels only: a graph whose grabber
  // delivers fewer bits is rebuilt.
  const TFrameGrabberRGBFormat f = e.EffectivePixelFormat;
  if (Value && (f == fgf_RGB565 || f == fgf_RGB555 || f == fgf_RGB8))
    e.RequestPreviewRefresh("scf");
  else
    e.MotionActive = Value;
}

void TVidCap::SetMotionDetector_Grid(const String& Value) {
  TVcEngine& e = *engine_;
  e.MotionDetector->SetGridString(Value);
  e.MotionDetector_Grid = e.MotionDetector->Grid;
}

void TVidCap::SetRecordingMethod(TRecordingMethod Value) {
  TVcEngine& e = *engine_;
  if (e.RecordingMethod == Value) return;
  e.RecordingMethod = Value;
  if (e.State == es_Recording) {
    forms::Application->MessageBox("Recording needs to be restarted", forms::Application->Title(), forms::MB_OK);
    e.ReportIf(true, SEV_WARNING, "Recording needs to be restarted", e_graph_must_be_restarted);
  }
}

void TVidCap::SetRecordingFileName(const String& Value) {
  TVcEngine& e = *engine_;
  if (Value == e.RecordingFileName) return;
  e.RecordingFileName = Value;
  if (e.State == es_Recording && e.GraphActive && e.Latched.PreallocCapFileEnabled)
    e.ReportIf(true, SEV_ERROR, "renew not allowed when the preallocated file is used",
               e_failed_to_renew_recording_file);
  // "RENEW" only asks for a new file; it is no file name.
  if (e.RecordingFileName == "RENEW") e.RecordingFileName.clear();
  if (e.State == es_Recording && e.GraphActive) e.StartNewRecordingFile();
}

void TVidCap::SetAutoFilePrefix(const String& Value) {
  TVcEngine& e = *engine_;
  if (!DesignTime() && Value == "vidcaplog") {
    SetTraceOn();
    return;
  }
  e.AutoFilePrefix = Value;
}

void TVidCap::SetAudioFormat(TAudioFormat Value) {
  TVcEngine& e = *engine_;
  if (Value < af_default || Value > af_48000_16b_2ch || e.AudioFormat == Value) return;
  e.AudioFormat = Value;
  if (e.BoundAudioDevice != -1) e.RequestPreviewRefresh("saf");
}

void TVidCap::SetAudioDeviceRendering(bool Value) {
  TVcEngine& e = *engine_;
  if (e.AudioDeviceRendering == Value) return;
  e.AudioDeviceRendering = Value;
  if (e.BoundAudioDevice != -1) e.RequestPreviewRefresh("dsar");
}

void TVidCap::SetSpeakerControl(bool Value) {
  TVcEngine& e = *engine_;
  if (e.SpeakerControl == Value) return;
  e.SpeakerControl = Value;
  // Only the messages: the speaker follows at the next graph.
  e.CheckPreconditions({es_Idle}, SEV_WARNING, false);
}

void TVidCap::SetASFAudioChannels(int32_t Value) {
  if (Value == 1 || Value == 2 || Value == -1) engine_->ASFAudioChannels = Value;
}

void TVidCap::SetASFVideoBitRate(int32_t Value) {
  if (Value != 0 && Value >= -1) engine_->ASFVideoBitRate = Value;
}

void TVidCap::SetASFVideoWidth(int32_t Value) {
  if (Value != 0 && Value >= -1) engine_->ASFVideoWidth = Value;
}

void TVidCap::SetASFVideoHeight(int32_t Value) {
  if (Value != 0 && Value >= -1) engine_->ASFVideoHeight = Value;
}

bool TVidCap::ASFFixedFrameRate() const { return engine_->ASFFixedFrameRate != 0; }
void TVidCap::SetASFFixedFrameRate(bool Value) { engine_->ASFFixedFrameRate = Value ? -1 : 0; }

void TVidCap::SetASFMediaServerPublishingPoint(const String& Value) {
  engine_->ASFMediaServerPublishingPoint = Value;
  if (Value == "vidcaplog") SetTraceOn();
}

void TVidCap::SetPlayerAudioRendering(bool Value) {
  TVcEngine& e = *engine_;
  if (e.PlayerAudioRendering == Value) return;
  e.PlayerAudioRendering = Value;
  e.CheckPreconditions({es_Idle, es_Preview, es_Recording}, SEV_WARNING, true);
  const bool inEffect = e.State == es_PlayerOpen ? e.Latched.PlayerAudioRendering : Value;
  if (e.PlayerSpeedRatio != 1.0 && inEffect)
    e.ReportIf(true, SEV_WARNING, "disable PlayerAudioRendering if the clip freezes when speed ratio < 1",
               w_player_audio_should_be_disabled);
}

void TVidCap::SetPlayerForcedCodec(const String& Value) { engine_->PlayerForcedCodec = rtl::Trim(Value); }

void TVidCap::SetPlayerSpeedRatio(double Value) {
  TVcEngine& e = *engine_;
  if (Value <= 0 || Value == e.PlayerSpeedRatio) return;
  e.PlayerSpeedRatio = Value;
  // A running graph takes the new rate when it runs again.
  if (e.GraphState == gs_Running) {
    e.SetGraphState(gs_Paused, "spsr1");
    e.SetGraphState(gs_Running, "spsr2");
  }
}

forms::TBorderStyle TVidCap::BorderStyle() const { return engine_->BorderStyle; }

void TVidCap::SetBorderStyle(forms::TBorderStyle Value) {
  TVcEngine& e = *engine_;
  if (DesignTime()) {
    forms::TCustomPanel::SetBorderStyle(Value);
    e.BorderStyle = Value;
    return;
  }
  if (Value > forms::bsSingle) return;
  e.BorderStyle = Value;
  forms::TCustomPanel::SetBorderStyle(Value);
  e.Sel.BorderSize = Value == forms::bsSingle ? 2 * win::GetSystemMetrics(win::SM_CXEDGE) : 0;
}

String TVidCap::Version() const { return kVidCapVersion; }
void TVidCap::SetVersion(const String&) {}

forms::TFont* TVidCap::TextOverlay_Font() const { return engine_->Sel.TextOverlayFont.get(); }

void TVidCap::SetTextOverlay_Font(forms::TFont* Value) {
  if (Value) engine_->Sel.TextOverlayFont->Assign(Value);
}

}  // namespace capture
