#pragma once
// Helpers behind the capture control's property setters and list methods.
#include <functional>

#include "capture/VcEngine.h"
#include "capture/VcTypes.h"
#include "platform/rtl/DateUtils.h"

namespace capture {

// Parses a text-overlay template into the buffer that is not current and
// makes it current; false (and nothing changed) while that buffer is being
// written or read.
bool ParseTextOverlay(TVcEngine& Engine, const String& Value);
// The current template's segments, copied.
std::vector<TOverlaySegment> CurrentOverlaySegments(const TVcEngine& Engine);
// Whether the frame grabber must draw overlays: a text overlay, a shape
// overlay with its shape, or a handler drawing on the frame's DC.
void UpdateOverlayActive(TVcEngine& Engine, bool DCHandlerAssigned);
// The frame's DV recording date and time; false when the frame carries
// none or it is not a valid time of day.
bool DVDateTime(const TFrameInfo& Info, rtl::TDateTime& Value);
// The shape overlay on the DC; nothing for a control that is not an
// enabled shape.
void DrawShape(win::HDC Dc, forms::TControl* Shape);

// The application's fixed texts that the component shows (the first line
// of its format lists, connector and transport names). Until the
// application installs its table, the English text is used.
using TTextLookup = std::function<String(const String& Key, const String& English)>;
void SetTextLookup(TTextLookup Lookup);
String LookupText(const String& Key, const String& English);

// The names of the audio formats, line N for value N; line 0 is the
// "Default" entry.
String AudioFormatNames();

// The device side of the public methods: the device and compressor lists,
// the bound device's inputs, formats, standards and controls, tuning and
// dialogs. Each answers "nothing" (0, empty, -1, false) while the device
// has no such part or the lists are not built.
enum TDeviceKind : int32_t { dev_VideoCapture, dev_AudioCapture, dev_VideoCompressor, dev_AudioCompressor };
int32_t DeviceCount(const TVcEngine& Engine, TDeviceKind Kind);
String DeviceName(const TVcEngine& Engine, TDeviceKind Kind, int32_t Index);
String DeviceNames(const TVcEngine& Engine, TDeviceKind Kind);
int32_t FindDevice(const TVcEngine& Engine, TDeviceKind Kind, const String& Name);
String VideoInputNames(const TVcEngine& Engine);
String AudioInputNames(const TVcEngine& Engine);
void RouteVideoInput(TVcEngine& Engine);
bool SizeOfListEntry(TVcEngine& Engine, int32_t Index, int32_t& Width, int32_t& Height);
// The analog video standards by bit, in the order the lists show them.
String AnalogStandardNames(int32_t Mask);
int32_t AnalogStandardFromName(const String& Name);
// The chosen video device delivers DV: its list entry says so, its pins
// were found to, or discovery recorded a digital video input.
bool ChosenDeviceIsDV(const TVcEngine& Engine);
void TuneCurrentChannel(TVcEngine& Engine);
bool ShowDeviceDialog(TVcEngine& Engine, int32_t Kind);

}  // namespace capture
