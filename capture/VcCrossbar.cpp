// Crossbar routing: connector names, the video input list, routing the
// chosen input with its related audio, the routing texts kept per device,
// and the routes through chained crossbars.
#include "capture/VcCrossbar.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "capture/VcEngine.h"
#include "capture/VcLog.h"

namespace capture {

namespace {

// These names are fixed English texts that no language file changes.
constexpr std::pair<int32_t, const char*> kConnectorNames[] = {
    {1, "Tuner"},          {2, "Composite"},     {3, "SVideo"},          {4, "RGB"},
    {5, "YRYBY"},          {6, "Serial Digital"}, {7, "Parallel Digital"}, {8, "SCSI"},
    {9, "AUX"},            {10, "1394"},          {11, "USB"},            {12, "Video Decoder"},
    {13, "Video Encoder"}, {14, "SCART"},         {15, "black"},          {4096, "Audio Tuner"},
    {4097, "Audio Line"},  {4098, "Audio Mic"},   {4099, "Audio AES Digital"}, {4100, "Audio SPDIF Digital"},
    {4101, "Audio SCSI"},  {4102, "Audio AUX"},   {4103, "Audio 1394"},   {4104, "Audio USB"},
    {4105, "Audio Decoder"},
};

constexpr int32_t kInvalidToken = INT32_MAX;
constexpr mg::BOOL kInputPin = 1;
constexpr mg::BOOL kOutputPin = 0;

// The text before the next "!", as a decimal number; the rest of the text
// moves past the "!". An empty text, a missing "!", a "!" in first place
// or an unreadable number are invalid.
int32_t NextToken(String& Text) {
  const size_t bang = Text.find('!');
  if (Text.empty() || bang == String::npos || bang == 0) {
    Text.clear();
    return kInvalidToken;
  }
  const String token = Text.substr(0, bang);
  Text.erase(0, bang + 1);
  if (token.size() > 11) return kInvalidToken;
  size_t i = token[0] == '-' ? 1 : 0;
  if (i == token.size()) return kInvalidToken;
  int64_t value = 0;
  for (; i < token.size(); ++i) {
    if (token[i] < '0' || token[i] > '9') return kInvalidToken;
    value = value * 10 + (token[i] - '0');
  }
  if (token[0] == '-') value = -value;
  if (value < INT32_MIN || value >= INT32_MAX) return kInvalidToken;
  return static_cast<int32_t>(value);
}

}  // namespace

String GetConnectorName(int32_t Type) {
  for (const auto& [type, name] : kConnectorNames)
    if (type == Type) return name;
  return String();
}

String GetCrossbarRouting(mg::IAMCrossbar* Crossbar) {
  if (!Crossbar) return String();
  mg::LONG outputs = 0, inputs = 0;
  if (Crossbar->get_PinCounts(&outputs, &inputs) != mg::S_OK) return String();
  String text = std::to_string(outputs) + "!";
  for (mg::LONG i = 0; i < outputs; ++i) {
    mg::LONG in = -1;
    Crossbar->get_IsRoutedTo(i, &in);
    text += std::to_string(in) + "!";
  }
  return text;
}

bool SetCrossbarRouting(mg::IAMCrossbar* Crossbar, const String& Text) {
  if (!Crossbar) return true;
  mg::LONG outputs = 0, inputs = 0;
  if (Crossbar->get_PinCounts(&outputs, &inputs) != mg::S_OK) return true;
  String rest = Text;
  if (NextToken(rest) != outputs) return true;
  std::vector<int32_t> routes;
  for (mg::LONG i = 0; i < outputs; ++i) {
    const int32_t token = NextToken(rest);
    if (token == kInvalidToken) return true;
    routes.push_back(token);
  }
  // The text is stored with the device's name, not its pins: after a
  // driver change it may name inputs the crossbar no longer has, and a
  // driver is not to be trusted with those. -1 leaves an output unrouted.
  for (const int32_t in : routes)
    if (in < -1 || in >= inputs) return false;
  for (mg::LONG i = 0; i < outputs; ++i) Crossbar->Route(i, routes[static_cast<size_t>(i)]);
  return true;
}

TVideoInputList ListCrossbarVideoInputs(mg::IAMCrossbar* Crossbar) {
  TVideoInputList list;
  mg::LONG outputs = 0, inputs = 0;
  if (!Crossbar || Crossbar->get_PinCounts(&outputs, &inputs) != mg::S_OK) return list;
  bool videoOutput = false;
  for (mg::LONG i = 0; i < outputs && !videoOutput; ++i) {
    mg::LONG related = 0, type = 0;
    videoOutput = Crossbar->get_CrossbarPinInfo(kOutputPin, i, &related, &type) == mg::S_OK && IsVideoConnector(type);
  }
  if (!videoOutput) return list;
  std::vector<int32_t> types;
  for (mg::LONG i = 0; i < inputs; ++i) {
    mg::LONG related = 0, type = 0;
    if (Crossbar->get_CrossbarPinInfo(kInputPin, i, &related, &type) != mg::S_OK || !IsVideoConnector(type)) continue;
    const auto same = std::count(types.begin(), types.end(), type);
    String name = GetConnectorName(type);
    if (same > 0) name += " " + std::to_string(same);
    if (!list.Names.empty()) list.Names += "\r\n";
    list.Names += name;
    types.push_back(type);
    list.PinIndexes.push_back(i);
  }
  return list;
}

// ---- the route tree --------------------------------------------------------------------------------

TCrossbarTree::TCrossbarTree(std::shared_ptr<mg::Pin> StartPin) : start_(std::move(StartPin)) {
  if (!start_) return;
  std::vector<TRouting> chain;
  Collect(start_, 0, chain);
}

TCrossbarTree::TCollect TCrossbarTree::Collect(const std::shared_ptr<mg::Pin>& InputPin, int32_t Depth,
                                               std::vector<TRouting>& Chain) {
  const std::shared_ptr<mg::Pin> connected = InputPin ? InputPin->ConnectedTo() : nullptr;
  const std::shared_ptr<mg::BaseFilter> filter = connected ? connected->Owner() : nullptr;
  const auto crossbar = mg::QueryInterface<mg::IAMCrossbar>(filter);
  if (!crossbar) return Depth == 0 ? TCollect::Failed : TCollect::ConnectorEnd;

  mg::LONG outputs = 0, inputs = 0;
  if (crossbar->get_PinCounts(&outputs, &inputs) != mg::S_OK) return TCollect::Failed;
  // A crossbar lists its input pins first, then its outputs.
  const auto pins = filter->Pins();
  const auto at = std::find(pins.begin(), pins.end(), connected);
  const auto output = static_cast<mg::LONG>(at - pins.begin()) - inputs;
  if (at == pins.end() || output < 0 || output >= outputs) return TCollect::Failed;
  mg::LONG outRelated = -1, outType = 0;
  if (crossbar->get_CrossbarPinInfo(kOutputPin, output, &outRelated, &outType) != mg::S_OK) return TCollect::Failed;

  for (mg::LONG in = 0; in < inputs; ++in) {
    mg::LONG inRelated = -1, inType = 0;
    if (crossbar->get_CrossbarPinInfo(kInputPin, in, &inRelated, &inType) != mg::S_OK || !IsVideoConnector(inType))
      continue;
    if (crossbar->CanRoute(output, in) != mg::S_OK) continue;
    if (static_cast<size_t>(in) >= pins.size()) continue;
    TRouting step;
    step.Crossbar = crossbar;
    step.VideoInputIndex = in;
    step.VideoOutputIndex = output;
    step.AudioInputIndex = inRelated;
    step.AudioOutputIndex = outRelated;
    step.InputPhysicalType = inType;
    step.OutputPhysicalType = outType;
    step.Depth = Depth;
    Chain.resize(static_cast<size_t>(Depth));
    Chain.push_back(step);
    if (Collect(pins[static_cast<size_t>(in)], Depth + 1, Chain) == TCollect::ConnectorEnd) {
      std::vector<TRouting> route(Chain.rbegin(), Chain.rend());
      routes_.push_back(std::move(route));
    }
  }
  return TCollect::Crossbar;
}

mg::HRESULT TCrossbarTree::RouteCurrentInputType(mg::IAMCrossbar* Crossbar) {
  if (!Crossbar) return mg::E_FAIL;
  mg::LONG in = -1, related = 0, type = 0;
  if (Crossbar->get_IsRoutedTo(0, &in) != mg::S_OK) return mg::E_FAIL;
  if (Crossbar->get_CrossbarPinInfo(kInputPin, in, &related, &type) != mg::S_OK) return mg::E_FAIL;
  for (int32_t i = 0; i < RouteCount(); ++i)
    for (const TRouting& step : routes_[static_cast<size_t>(i)])
      if (step.Depth == 0 && step.InputPhysicalType == type) return ApplyRoute(i);
  return mg::E_FAIL;
}

mg::HRESULT TCrossbarTree::ApplyRoute(int32_t Index) {
  if (Index < 0 || Index >= RouteCount()) return mg::E_FAIL;
  current_ = Index;
  bool routedBoth = false;
  for (const TRouting& step : routes_[static_cast<size_t>(Index)]) {
    if (step.Crossbar->Route(step.VideoOutputIndex, step.VideoInputIndex) != mg::S_OK) continue;
    if (step.AudioInputIndex == -1 || step.AudioOutputIndex == -1) continue;
    if (step.Crossbar->Route(step.AudioOutputIndex, step.AudioInputIndex) == mg::S_OK) routedBoth = true;
  }
  return routedBoth ? mg::S_OK : mg::E_FAIL;
}

// ---- the engine's side ------------------------------------------------------------------------------

String TVcEngine::ListVideoInputs() { return ListCrossbarVideoInputs(VideoCrossbar.get()).Names; }

int32_t TVcEngine::GetRoutedVideoInput() {
  mg::LONG in = -1;
  if (!VideoCrossbar || VideoCrossbar->get_IsRoutedTo(0, &in) != mg::S_OK) return 0;
  // The list leaves out the crossbar's audio inputs, so the routed pin is
  // found by its place among the listed ones.
  const auto pins = ListCrossbarVideoInputs(VideoCrossbar.get()).PinIndexes;
  const auto at = std::find(pins.begin(), pins.end(), in);
  return at == pins.end() ? 0 : static_cast<int32_t>(at - pins.begin());
}

void TVcEngine::SelectVideoInput(int32_t Index) {
  if (!VideoCrossbar) return;
  // A list index is not a pin index: audio inputs (or inputs whose pin
  // information fails) before a video input would make it route the wrong
  // pin, and an index from another device's list must not reach the
  // crossbar at all.
  const auto pins = ListCrossbarVideoInputs(VideoCrossbar.get()).PinIndexes;
  if (ReportIf(Index < 0 || Index >= static_cast<int32_t>(pins.size()), SEV_ERROR,
               "Video input index out of range", e_index_out_of_range))
    return;
  const mg::LONG pin = pins[static_cast<size_t>(Index)];
  if (!Report(VideoCrossbar->Route(0, pin), SEV_ERROR, "Cannot route video crossbar input",
              e_failed_to_connect_crossbar_pin))
    return;
  if (CrossbarTree)
    CrossbarTree->RouteCurrentInputType(VideoCrossbar.get());
  else
    RouteAudioForVideo();
  mg::LONG related = 0, type = 0;
  if (VideoCrossbar->get_CrossbarPinInfo(kInputPin, pin, &related, &type) == mg::S_OK)
    Sel.TunerInputSelected = type == mg::PhysConn_Video_Tuner;
  if (Sel.TunerInputSelected) TuneChannel(DeviceSettings.Video[vds_TVChannel].IntValue, mg::AMTUNER_SUBCHAN_DEFAULT);
}

void TVcEngine::RouteAudioForVideo() {
  mg::LONG outputs = 0, inputs = 0;
  if (!VideoCrossbar || VideoCrossbar->get_PinCounts(&outputs, &inputs) != mg::S_OK || outputs < 1) return;
  mg::LONG audioOut = -1, videoOut = -1;
  for (mg::LONG i = 0; i < outputs && (audioOut < 0 || videoOut < 0); ++i) {
    mg::LONG related = 0, type = 0;
    if (VideoCrossbar->get_CrossbarPinInfo(kOutputPin, i, &related, &type) != mg::S_OK) continue;
    if (IsVideoConnector(type)) {
      if (videoOut < 0) videoOut = i;
    } else if (audioOut < 0) {
      audioOut = i;
    }
  }
  if (audioOut < 0 || videoOut < 0) return;
  mg::LONG in = -1, related = -1, type = 0;
  if (VideoCrossbar->get_IsRoutedTo(videoOut, &in) != mg::S_OK) return;
  if (VideoCrossbar->get_CrossbarPinInfo(kInputPin, in, &related, &type) != mg::S_OK) return;
  Report(VideoCrossbar->Route(audioOut, related), SEV_WARNING, "cannot route audio crossbar",
         w_cannot_route_audio_crossbar);
}

void TVcEngine::ProcessCrossbars() {
  TraceLine(CF_DEFAULT, "begin process crossbars");
  if (VideoCrossbar) {
    ReportIf(!SetCrossbarRouting(VideoCrossbar.get(), DeviceSettings.Video[vds_AMVideoCrossbar].StrValue),
             SEV_ERROR, "crossbar routing index out of range", e_index_out_of_range);
    TraceLine(CF_DEFAULT, "process crossbars process auto connect");
    if (AutoConnectRelatedPins) {
      if (CrossbarTree)
        CrossbarTree->RouteCurrentInputType(VideoCrossbar.get());
      else
        RouteAudioForVideo();
    }
  }
  TraceLine(CF_DEFAULT, "end process crossbars");
}

void TVcEngine::ReadBackCrossbarRouting() {
  TSettingsRecord& v = DeviceSettings.Video;
  if (VideoCrossbar) {
    v[vds_AMVideoCrossbar].StrValue = GetCrossbarRouting(VideoCrossbar.get());
    v[vds_VIDEOCROSSBARAVAIL].BoolValue = true;
  }
  if (AudioCrossbar) {
    v[vds_AMAudioCrossbar].StrValue = GetCrossbarRouting(AudioCrossbar.get());
    v[vds_AUDIOCROSSBARAVAIL].BoolValue = true;
  }
}

}  // namespace capture
