// Tuning channels, the channel scan and the tuner state of a TV card.
#include "capture/VcTuner.h"

#include <cstring>
#include <vector>

#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/rtl/StringUtils.h"

namespace capture {

namespace {

TSetting& V(TVcEngine& e, TVideoDeviceSetting s) { return e.DeviceSettings.Video[s]; }

// Line `Index` of a list, without its line break; empty past the end.
String LineAt(const String& List, int32_t Index) {
  size_t pos = 0;
  for (int32_t i = 0; i < Index; ++i) {
    pos = List.find('\n', pos);
    if (pos == String::npos) return String();
    ++pos;
  }
  String line = List.substr(pos, List.find('\n', pos) - pos);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// The tuner's standard goes on the decoder when the two differ.
void MatchDecoderStandard(TVcEngine& e) {
  if (!e.AnalogDecoder || !e.TVTuner) return;
  mg::LONG tuner = 0, decoder = 0;
  if (e.TVTuner->get_TVFormat(&tuner) != mg::S_OK) return;
  if (e.AnalogDecoder->get_TVFormat(&decoder) == mg::S_OK && decoder == tuner) return;
  e.AnalogDecoder->put_TVFormat(tuner);
}

}  // namespace

String AutoTuneKeyPath(int32_t Country, int32_t InputType) {
  return "\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS" + std::to_string(Country) + "-" +
         std::to_string(1 - InputType) + "\\";
}

std::unique_ptr<TRegistry2> OpenAutoTuneKey(int32_t Country, int32_t InputType) {
  auto reg = std::make_unique<TRegistry2>(true);
  if (!reg->OpenKey(AutoTuneKeyPath(Country, InputType), true)) return nullptr;
  return reg;
}

int32_t AutoTuneFrequencyIn(const uint8_t* Data, int32_t Size, int32_t Channel) {
  if (!Data || Size < 8) return -1;
  const int32_t count = Size / 8;
  std::vector<int32_t> pairs(static_cast<size_t>(count) * 2);
  std::memcpy(pairs.data(), Data, pairs.size() * sizeof(int32_t));
  return LookUpPair(pairs.data(), count, Channel);
}

int32_t ReadAutoTuneFrequency(TRegistry2& Registry, int32_t Channel) {
  rtl::TRegDataInfo info;
  if (!Registry.GetDataInfo("AutoTune", info)) return -1;
  if (info.RegData != rtl::rdBinary && info.RegData != rtl::rdUnknown) return -1;
  if (info.DataSize < 8) return -1;
  std::vector<uint8_t> data(static_cast<size_t>(info.DataSize));
  int32_t size = 0;
  TRegDataKind kind = rdk_Other;
  if (!Registry.QueryValue("AutoTune", data.data(), info.DataSize, size, kind)) return -1;
  return AutoTuneFrequencyIn(data.data(), std::min(size, info.DataSize), Channel);
}

// ---- tuning ------------------------------------------------------------------------------------------

bool TVcEngine::TuneChannel(int32_t Channel, int32_t SubChannel) {
  if (!Sel.TunerInputSelected || !TVTuner || Destroying) return false;
  if (LineAt(V(*this, vds_VideoInputs).StrValue, V(*this, vds_VideoInput).IntValue) != "Tuner") return false;
  const bool scanning = ChannelScanRunning;
  const int32_t country = V(*this, vds_TVCountryCode).IntValue;
  const int32_t inputType = V(*this, vds_TVInputType).IntValue;
  int32_t frequency = -1;
  int32_t overrideFrequency = -1;
  if (!scanning) {
    SetBusyCursor(this, true);
    if (auto reg = OpenAutoTuneKey(country, inputType)) frequency = ReadAutoTuneFrequency(*reg, Channel);
    if (TVUseFrequencyOverrides) {
      auto reg = OpenAutoTuneKey(TVCountryTuningSpace(country), inputType);
      int32_t value = 0;
      if (reg && reg->ReadInteger(std::to_string(Channel), value)) overrideFrequency = value;
    }
    mg::LONG connectInput = 0;
    if (TVTuner->get_ConnectInput(&connectInput) == mg::S_OK)
      TVTuner->put_InputType(connectInput, static_cast<mg::TunerInputType>(inputType));
    if (overrideFrequency == -1) {
      TVTuner->put_TuningSpace(country);
      TVTuner->put_CountryCode(country);
    } else {
      // The tuning space of the override key makes the tuner take its
      // frequencies from there.
      TVTuner->put_CountryCode(country);
      TVTuner->put_TuningSpace(TVCountryTuningSpace(country));
      TVTuner->put_CountryCode(country);
    }
    MatchDecoderStandard(*this);
    OverridesInUse = overrideFrequency != -1;
  }
  bool result = TVTuner->put_Channel(Channel, SubChannel, SubChannel) == mg::S_OK;

  bool locked = false;
  if (AnalogDecoder) {
    mg::LONG h = 0;
    locked = AnalogDecoder->get_HorizontalLocked(&h) == mg::S_OK && h == 1;
  } else {
    mg::LONG strength = 0;
    locked = TVTuner->SignalPresent(&strength) == mg::S_OK && strength != 0;
  }
  mg::LONG audio = 0, video = 0;
  if (TVTuner->get_AudioFrequency(&audio) != mg::S_OK) audio = 0;
  if (TVTuner->get_VideoFrequency(&video) != mg::S_OK) video = 0;
  if (overrideFrequency != -1)
    result = true;
  else if (video != 0 && frequency == -1)
    frequency = video;

  ChannelInfo.Channel = Channel;
  ChannelInfo.Locked = locked ? 1 : 0;
  ChannelInfo.Frequency = frequency;
  ChannelInfo.OverrideFrequency = overrideFrequency;
  ChannelInfo.VideoFrequency = video;
  ChannelInfo.AudioFrequency = audio;
  if (!scanning) SetBusyCursor(this, false);
  PostEvent(qe_TVChannelSelected);
  return result;
}

void TVcEngine::TuneCurrentChannel() {
  if (ChannelScanRunning) {
    if (V(*this, vds_IsTVTunerAvail).BoolValue || TVTuner)
      ReportIf(true, SEV_ERROR, "TV commands not allowed during tv auto tuning",
               e_tv_command_not_allowed_during_tv_tuning);
    return;
  }
  if (TVTuner) TuneChannel(V(*this, vds_TVChannel).IntValue, mg::AMTUNER_SUBCHAN_DEFAULT);
}

// ---- the channel scan -----------------------------------------------------------------------------------

void TVcEngine::StartChannelScan() {
  ScanCountryCode = V(*this, vds_TVCountryCode).IntValue;
  ScanInputType = V(*this, vds_TVInputType).IntValue;
  if (!GraphActive || !TVTuner) return;
  mg::LONG connectInput = 0;
  if (TVTuner->get_ConnectInput(&connectInput) != mg::S_OK) return;
  if (TVTuner->put_InputType(connectInput, static_cast<mg::TunerInputType>(ScanInputType)) != mg::S_OK) return;
  if (TVTuner->put_TuningSpace(ScanCountryCode) != mg::S_OK) return;
  if (TVTuner->put_CountryCode(ScanCountryCode) != mg::S_OK) return;
  MatchDecoderStandard(*this);
  mg::LONG lo = 0, hi = 0;
  if (TVTuner->ChannelMinMax(&lo, &hi) != mg::S_OK) return;
  ScanChannel = lo;
  ScanMaxChannel = hi;
  ScanMinChannel = lo;
  ChannelScanRunning = true;
  if (!StepThread) {
    StepThread = std::make_unique<TAutoTuningStepThread>("tuning", NotificationMethod, Owner, kChannelScanStepPeriod);
    StepThread->SetPriority(NotificationPriority);
  }
  StepThread->Start();
  PostEvent(qe_TVChannelScanStarted);
}

void TVcEngine::StepChannelScan() {
  if (!GraphActive || !TVTuner) {
    ScanStopRequest = false;
    ChannelScanRunning = false;
    return;
  }
  ScanStepBusy = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{ScanStepBusy};
  bool stop = ScanStopRequest;
  if (!stop) {
    if (!ChannelScanRunning || !GraphActive) return;
    TuneChannel(ScanChannel, mg::AMTUNER_SUBCHAN_DEFAULT);
    if (!ChannelScanRunning || !GraphActive) return;
    ++ScanChannel;
    stop = ScanChannel > ScanMaxChannel;
  }
  if (!stop) return;
  if (TVTuner) TVTuner->StoreAutoTune();
  if (ChannelScanRunning && GraphActive) {
    ChannelScanRunning = false;
    ScanStopRequest = false;
    TVidCap* c = Owner;
    if (c && CanRaiseEvent(c->OnTVChannelScanCompleted)) c->OnTVChannelScanCompleted(c);
  }
}

bool TAutoTuningStepThread::Cycle() {
  TVcEngine* e = Owner->Engine();
  if (!e || e->Destroying) return false;
  if (!e->ChannelScanRunning) {
    Stop();
    return true;
  }
  if (!e->ScanStepBusy) e->RunTask(TASK_STEP_CHANNEL_SCAN);
  return true;
}

void TAutoTuningStepThread::Execute() {
  while (PausePoint()) {
    if (BeginThreadCycle()) {
      bool goOn = false;
      try {
        goOn = Cycle();
      } catch (const std::exception& x) {
        TraceLine(CF_RED, String("tuning: ") + x.what());
        goOn = true;
      }
      EndCycle();
      if (!goOn) {
        Terminate();
        break;
      }
      if (Stopped()) SuspendThread();
    }
    SleepPeriod();
  }
}

void TAutoTuningStepThread::TimerTick(forms::TObject*) {
  if (InTimer()) return;
  SetInTimer(true);
  if (TryBeginTimerCycle()) {
    const bool goOn = Cycle();
    EndCycle();
    if (!goOn && Timer()) Timer()->SetEnabled(false);
  }
  SetInTimer(false);
}

// ---- the tuner state of the device ------------------------------------------------------------------

void TVcEngine::ReadTunerState() {
  if (!TVTuner) return;
  mg::LONG v = 0, video = 0, audio = 0;
  if (TVTuner->get_Channel(&v, &video, &audio) == mg::S_OK) V(*this, vds_TVChannel).IntValue = v;
  if (TVTuner->get_ConnectInput(&v) == mg::S_OK) V(*this, vds_TVConnectInput).IntValue = v;
  mg::TunerInputType type = mg::TunerInputCable;
  if (TVTuner->get_InputType(V(*this, vds_TVConnectInput).IntValue, &type) == mg::S_OK)
    V(*this, vds_TVInputType).IntValue = type;
  if (TVTuner->get_TuningSpace(&v) == mg::S_OK) V(*this, vds_TVTuningSpace).IntValue = v;
  if (TVTuner->get_CountryCode(&v) == mg::S_OK) V(*this, vds_TVCountryCode).IntValue = v;
  mg::AMTunerModeType mode = mg::AMTUNER_MODE_DEFAULT;
  if (TVTuner->get_Mode(&mode) == mg::S_OK) V(*this, vds_TVMode).IntValue = mode;
}

void TVcEngine::ApplyTunerState() {
  mg::LONG standard = 0;
  if (AnalogDecoder && AnalogDecoder->get_TVFormat(&standard) == mg::S_OK)
    AnalogDecoder->put_TVFormat(V(*this, vds_ANTVFormat).IntValue);
  mg::AMTunerModeType mode = mg::AMTUNER_MODE_DEFAULT;
  if (TVTuner && TVTuner->get_Mode(&mode) == mg::S_OK) TVTuner->put_Mode(mg::AMTUNER_MODE_TV);
}

}  // namespace capture
