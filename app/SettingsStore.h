#pragma once
// The settings file "Capture.ini" beside the executable: sections General,
// Device, Codec, Shot, Overlay, Effect, ASF and Capture.
//
// Most capture settings are not kept in the record: the loader gives them
// to the capture component and the saver reads them back from it. Between
// the file and the component they pass through TCaptureSettings, which
// holds nothing once a load or save is over.
//
// The file differs from a plain profile file in three ways, each so that
// what is saved is what is read back:
//  - the mail body and the overlay text may hold line breaks; they are
//    written with "#13" for CR, "#10" for LF and "#35" for "#", so the
//    value stays on its line (no line of it can be taken for a key) and
//    reads back whole;
//  - reals are written and read with "." whatever the locale ("," is
//    accepted on reading);
//  - each key is read on its own: a value that fails (an overlay picture
//    that does not load, a setter that raises) keeps its default and the
//    keys after it are still read, so the next save does not write the
//    defaults over the user's other settings.
// The file is written whole, through a temporary file renamed over it,
// with mode 0600, since it holds the mail and FTP passwords.
#include <cstdint>

#include "app/Globals.h"
#include "platform/rtl/Types.h"

namespace capture {
class TVidCap;
}

namespace app {

// The capture component's settings as the file stores them. Enumerations
// are kept as their ordinals; the defaults are the component's defaults.
struct TCaptureSettings {
  // [Device]
  double FrameRate = 29.97;
  int32_t AudioInputLevel = 32768;
  int32_t AudioInputBalance = 0;
  int32_t TVInputType = 0;
  int32_t TVCountryCode = 0;
  int32_t TVChannel = 0;
  bool TVUseFrequencyOverrides = false;
  // [Codec]
  int32_t RecordingMethod = 0;  // rm_AVI
  int32_t VideoCompressor = 0;
  int32_t AudioCompressor = 0;
  int32_t CompressionMode = 2;  // cm_CompressAfterRecording
  int32_t CompressionType = 2;  // ct_AudioVideo
  // [Shot]
  String AutoFilePrefix = "File";
  int32_t BurstCount = 1;
  int32_t BurstInterval = 0;
  int32_t FrameGrabberRGBFormat = 0;  // fgf_Default
  int32_t FrameCaptureZoomSize = 100;
  // [Overlay]
  bool TextOverlay_Enabled = false;
  String TextOverlay_String;
  int32_t TextOverlay_Left = 0;
  int32_t TextOverlay_Top = 0;
  int32_t TextOverlay_Right = 100;
  bool TextOverlay_Transparent = true;
  int32_t TextOverlay_Align = 0;  // tf_Left
  // [Effect]
  int32_t VideoProcessing_Rotation = 0;       // rt_0_deg
  int32_t VideoProcessing_Deinterlacing = 0;  // di_Disabled
  bool VideoProcessing_FlipVertical = false;
  bool VideoProcessing_FlipHorizontal = false;
  bool VideoProcessing_GrayScale = false;
  bool VideoProcessing_InvertColors = false;
  int32_t VideoProcessing_Brightness = 0;
  int32_t VideoProcessing_Contrast = 0;
  int32_t VideoProcessing_Saturation = 0;
  int32_t VideoProcessing_Hue = 0;
  // [ASF]
  int32_t ASFVideoWidth = -1;
  int32_t ASFVideoHeight = -1;
  int32_t ASFVideoBitRate = -1;
  int32_t ASFVideoQuality = -1;
  int32_t ASFVideoMaxKeyFrameSpacing = -1;
  int32_t ASFAudioChannels = -1;
  int32_t ASFProfile = -1;
  bool ASFFixedFrameRate = false;
  int32_t ASFDeinterlaceMode = 0;  // adm_NotInterlaced
  // [Capture]
  bool AudioRecording = true;
  bool AudioDeviceRendering = false;
  bool MuteAudioRendering = true;
  bool RecordingInNativeFormat = true;
};

// "Capture.ini" in the executable's folder.
String SettingsFileName();

// Reads the file into `g` and `cs`; a missing file is written from their
// current values instead. Never raises; the result carries nothing.
bool LoadSettings(TGlobalVarsFields& g, TCaptureSettings& cs);
// Writes every key from `g` and `cs`. Never raises; false when the file
// could not be written (it then stays as it was), with the system's reason
// in `reason` when given.
bool SaveSettings(const TGlobalVarsFields& g, const TCaptureSettings& cs, String* reason = nullptr);
// Whether "Capture.ini" can be written where it lies: its folder takes a
// new file and the name is no folder. False with the reason otherwise.
bool SettingsWritable(String* reason);

// The same with the capture component: its settings start from its
// current values, and what the file holds is given to it, with the motion
// sensitivity of the record (when it is not null and the file existed).
// Saving writes audio rendering muted, as the capture settings dialog
// leaves it.
bool LoadSettings(TGlobalVars& g, capture::TVidCap* vidCap);
bool SaveSettings(const TGlobalVars& g, capture::TVidCap* vidCap, String* reason = nullptr);

// Gives the component the settings, each setter on its own so one that
// raises does not stop the others, with the frequency override of the
// current channel; a compressor index past the end of the component's list
// gives the first compressor.
void ApplyCaptureSettings(capture::TVidCap& vidCap, const TCaptureSettings& cs, const TGlobalVarsFields& g);
// The component's current settings.
TCaptureSettings ReadCaptureSettings(capture::TVidCap& vidCap);

// Writes the chosen language file's name at once ([General] "Language").
void WriteLanguageChoice(const String& fileName);

// The file form of a value that may hold line breaks, and back.
String EncodeLines(const String& value);
String DecodeLines(const String& text);

}  // namespace app
