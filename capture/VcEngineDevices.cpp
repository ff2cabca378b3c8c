// The capture control's view of the device lists: counts, names and
// finding by name, the binding of the chosen devices, and the parts of the
// bound device that the public methods read.
#include <utility>
#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VcProperties.h"

namespace capture {

namespace {

const TDevices* ListOf(TDeviceKind kind) {
  switch (kind) {
    case dev_VideoCapture: return VideoCaptureDevices();
    case dev_AudioCapture: return AudioCaptureDevices();
    case dev_VideoCompressor: return VideoCompressors();
    case dev_AudioCompressor: return AudioCompressors();
  }
  return nullptr;
}

}  // namespace

int32_t TVcEngine::VideoDeviceCount() const { return DeviceCount(*this, dev_VideoCapture); }
int32_t TVcEngine::AudioDeviceCount() const { return DeviceCount(*this, dev_AudioCapture); }

void TVcEngine::EnsureDevicesBound() { BindChosenDevices(); }

// Every count is 0 and every name empty until the lists are built.
int32_t DeviceCount(const TVcEngine&, TDeviceKind Kind) {
  const TDevices* list = ListOf(Kind);
  return list ? list->Count() : 0;
}

String DeviceName(const TVcEngine&, TDeviceKind Kind, int32_t Index) {
  const TDevices* list = ListOf(Kind);
  return list ? list->GetName(Index) : String();
}

String DeviceNames(const TVcEngine&, TDeviceKind Kind) {
  // The methods' line lists end each line with CR LF, as the other lists of
  // the control do.
  const TDevices* list = ListOf(Kind);
  String text;
  for (int32_t i = 0; list && i < list->Count(); ++i) text += list->GetName(i) + "\r\n";
  return text;
}

int32_t FindDevice(const TVcEngine&, TDeviceKind Kind, const String& Name) {
  const TDevices* list = ListOf(Kind);
  return list ? FindDeviceIndexIn(list->GetNamesText(), Name) : -1;
}

// The input lists are what discovery recorded for the bound device; the
// routing, the mixer, the standards and the controls are reached through
// the interfaces of a device graph, which brings them.
String VideoInputNames(const TVcEngine& Engine) { return Engine.DeviceSettings.Video[vds_VideoInputs].StrValue; }
String AudioInputNames(const TVcEngine& Engine) { return Engine.DeviceSettings.Audio[ads_AudioInputs].StrValue; }
void RouteVideoInput(TVcEngine& Engine) { Engine.SelectVideoInput(Engine.DeviceSettings.Video[vds_VideoInput].IntValue); }
namespace {
// PAL G (0x40) has no entry: it is never listed and cannot be chosen.
constexpr std::pair<int32_t, const char*> kAnalogStandards[] = {
    {0x1, "NTSC M"},      {0x2, "NTSC M J"},    {0x4, "NTSC 433"},   {0x10, "PAL B"},       {0x20, "PAL D"},
    {0x80, "PAL H"},      {0x100, "PAL I"},     {0x200, "PAL M"},    {0x400, "PAL N"},      {0x800, "PAL 60"},
    {0x1000, "SECAM B"},  {0x2000, "SECAM D"},  {0x4000, "SECAM G"}, {0x8000, "SECAM H"},   {0x10000, "SECAM K"},
    {0x20000, "SECAM K1"}, {0x40000, "SECAM L"}, {0x80000, "SECAM L1"}, {0x100000, "PAL N COMBO"},
};
}  // namespace

String AnalogStandardNames(int32_t Mask) {
  String out;
  for (const auto& [bit, name] : kAnalogStandards) {
    if (!(Mask & bit)) continue;
    if (!out.empty()) out += "\r\n";
    out += name;
  }
  return out;
}

int32_t AnalogStandardFromName(const String& Name) {
  for (const auto& [bit, name] : kAnalogStandards)
    if (Name == name) return bit;
  TraceLine(CF_RED, "ERROR: invalid tv format");
  return 0x1;
}

bool ChosenDeviceIsDV(const TVcEngine& Engine) {
  const TDevices* list = VideoCaptureDevices();
  const TCapDeviceInfo* info = list ? list->Info(Engine.VideoDevice) : nullptr;
  return (info && info->IsDV) || Engine.Sel.IsDV || Engine.DeviceSettings.Video[vds_IsDigitalVideoIn].BoolValue;
}

bool SizeOfListEntry(TVcEngine& Engine, int32_t Index, int32_t& Width, int32_t& Height) {
  return Engine.GetSelectedVideoSize(Index, Width, Height);
}

void TuneCurrentChannel(TVcEngine& Engine) { Engine.TuneCurrentChannel(); }

bool ShowDeviceDialog(TVcEngine& Engine, int32_t Kind) { return Engine.ShowDialog(Kind); }

}  // namespace capture
