// DV tape transport commands and states, the tape's time code, the DV
// signal standard and the DV decoder's output size.
#include "capture/VcDVTransport.h"

#include <utility>

#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/rtl/StringUtils.h"

namespace capture {

namespace {

// The state names are fixed English texts that no language file changes.
constexpr std::pair<int32_t, const char*> kTransportModes[16] = {
    {mg::ED_MODE_PLAY, "play"},
    {mg::ED_MODE_STOP, "stop"},
    {mg::ED_MODE_FREEZE, "freeze"},
    {mg::ED_MODE_THAW, "thaw"},
    {mg::ED_MODE_FF, "ff"},
    {mg::ED_MODE_REW, "rew"},
    {mg::ED_MODE_RECORD, "record"},
    {mg::ED_MODE_RECORD_FREEZE, "record freeze"},
    {mg::ED_MODE_RECORD_STROBE, "record strobe"},
    {mg::ED_MODE_STEP_FWD, "fwd"},
    {mg::ED_MODE_STEP_REV, "rev"},
    {mg::ED_MODE_SHUTTLE, "shuttle"},
    // The four speed modes follow each other from ED_BASE + 933.
    {mg::ED_BASE + 933, "fastest fwd"},
    {mg::ED_BASE + 934, "slowest fwd"},
    {mg::ED_BASE + 935, "fastest rev"},
    {mg::ED_BASE + 936, "slowest rev"},
};

int32_t FromBcd(uint32_t Byte) { return static_cast<int32_t>((Byte >> 4) & 0xF) * 10 + static_cast<int32_t>(Byte & 0xF); }

}  // namespace

int32_t TransportModeOfCommand(int32_t Command) {
  if (Command < 0 || Command > 15) return 0;
  return kTransportModes[Command].first;
}

rtl::String TransportStateName(int32_t Mode) {
  if (Mode == 0) return "not in VCR mode";
  for (const auto& [mode, name] : kTransportModes)
    if (mode == Mode) return name;
  return "not supported";
}

TDVTimecode DecodeBcdTimecode(uint32_t Field) {
  TDVTimecode t;
  if ((Field & 0xFF) == 0xFF || ((Field >> 8) & 0xFF) == 0xFF) return t;
  t.Valid = true;
  t.Frames = FromBcd(Field & 0xFF);
  t.Seconds = FromBcd((Field >> 8) & 0xFF);
  t.Minutes = FromBcd((Field >> 16) & 0xFF);
  t.Hours = FromBcd((Field >> 24) & 0xFF);
  return t;
}

bool TVcEngine::SendDVCommand(int32_t Command) {
  if (!DeviceSettings.Video[vds_ExtTransportAvail].BoolValue) return false;
  SetBusyCursor(this, true);
  if (!ExtTransport) {
    LatchSettings(false);
    if (CreateDeviceGraph()) ExtTransport = mg::QueryInterface<mg::IAMExtTransport>(VideoDeviceFilter);
  }
  bool result = false;
  if (ExtTransport) {
    mg::LONG mode = 0;
    if (ExtTransport->get_Mode(&mode) == mg::S_OK) Periodic.LastTransportMode = mode;
    result = ExtTransport->put_Mode(TransportModeOfCommand(Command)) == mg::S_OK;
  }
  SetBusyCursor(this, false);
  return result;
}

void TVcEngine::RaiseDVCommandCompleted() {
  TVidCap* c = Owner;
  if (c && CanRaiseEvent(c->OnDVCommandCompleted))
    c->OnDVCommandCompleted(c, Periodic.TransportState, TransportStateName(Periodic.TransportState));
}

bool TVcEngine::ReadTimeCode(TFrameInfo& Info) {
  if (!TimecodeReader) return false;
  mg::TIMECODE_SAMPLE sample;
  sample.dwFlags = mg::ED_DEVCAP_TIMECODE_READ;
  TDVTimecode t;
  if (TimecodeReader->GetTimecode(&sample) == mg::S_OK) t = DecodeBcdTimecode(sample.timecode.dwFrames);
  Info.DVTimecodeValid = t.Valid;
  Info.DVTimecodeHours = t.Hours;
  Info.DVTimecodeMinutes = t.Minutes;
  Info.DVTimecodeSeconds = t.Seconds;
  Info.DVTimecodeFrames = t.Frames;
  if (!t.Valid || t == LastTimeCode) return false;
  LastTimeCode = t;
  return true;
}

bool TVcEngine::ReadDVSignalStandard(int64_t& FrameDuration) {
  if (!ExtTransport) return false;
  mg::LONG signal = 0;
  std::string data;
  if (ExtTransport->GetTransportBasicParameters(mg::ED_TRANSBASIC_INPUT_SIGNAL, &signal, &data) != mg::S_OK)
    return false;
  switch (signal) {
    case mg::ED_TRANSBASIC_SIGNAL_525_60_SD:
    case mg::ED_TRANSBASIC_SIGNAL_525_60_SDL:
      FrameDuration = 333667;
      DeviceSettings.Video[vds_IsDVPal].BoolValue = false;
      return true;
    case mg::ED_TRANSBASIC_SIGNAL_625_50_SD:
    case mg::ED_TRANSBASIC_SIGNAL_625_50_SDL:
      FrameDuration = 400000;
      DeviceSettings.Video[vds_IsDVPal].BoolValue = true;
      return true;
    default:
      FrameDuration = 333667;
      return false;
  }
}

}  // namespace capture

namespace capture {

void TVcEngine::ApplyDVDecoderSettings(const std::shared_ptr<mg::BaseFilter>& Filter) {
  const auto decoder = mg::QueryInterface<mg::IIPDVDec>(Filter);
  if (!decoder) return;
  const int32_t count = Sel.VideoSizes.Count();
  if (count == 0) {
    TraceLine(CF_RED, "ERROR: NO FORMATS");
    return;
  }
  int32_t& index = DeviceSettings.Video[vds_VideoSize].IntValue;
  if (index >= count || index < 0) {
    index = 0;
    ReportIf(true, SEV_ERROR, "DV VideoSize index out of range, index 0 used instead", e_index_out_of_range);
  }
  const String entry = rtl::Trim(Sel.VideoSizes[index]);
  int resolution = mg::DVRESOLUTION_HALF;
  if (entry == "dc")
    resolution = mg::DVRESOLUTION_DC;
  else if (entry == "quarter")
    resolution = mg::DVRESOLUTION_QUARTER;
  else if (entry == "full")
    resolution = mg::DVRESOLUTION_FULL;
  decoder->put_IPDisplay(resolution);
  if (const auto rgb = mg::QueryInterface<mg::IDVRGB219>(Filter)) rgb->SetRGB219(DVRgb219 ? -1 : 0);
}

}  // namespace capture
