#include <exception>

#include "app/SettingsStore.h"
#include "capture/VidCap.h"
#include "platform/rtl/Files.h"

// The link between the settings file and the capture component's
// properties: what the loader gives the component and what the saver reads
// back from it.

namespace app {

using namespace capture;

namespace {

// One setter at a time: a setter that raises costs its own value only.
template <typename F>
void Guarded(F&& set) {
  try {
    set();
  } catch (const std::exception&) {
  }
}

}  // namespace

void ApplyCaptureSettings(TVidCap& vc, const TCaptureSettings& cs, const TGlobalVarsFields& g) {
  Guarded([&] { vc.SetFrameRate(cs.FrameRate); });
  Guarded([&] { vc.SetAudioInputLevel(cs.AudioInputLevel); });
  Guarded([&] { vc.SetAudioInputBalance(cs.AudioInputBalance); });
  Guarded([&] { vc.SetTVInputType(cs.TVInputType); });
  Guarded([&] { vc.SetTVCountryCode(cs.TVCountryCode); });
  Guarded([&] { vc.SetTVChannel(cs.TVChannel); });
  Guarded([&] {
    const int32_t channel = vc.GetTVChannel();
    if (channel >= 0) vc.SetTVFrequencyOverride(channel, g.TVFrequency);
  });
  Guarded([&] { vc.SetTVUseFrequencyOverrides(cs.TVUseFrequencyOverrides); });

  Guarded([&] { vc.SetRecordingMethod(static_cast<TRecordingMethod>(cs.RecordingMethod)); });
  // An index past the end of the device's compressor list means the first.
  Guarded([&] { vc.SetVideoCompressor(cs.VideoCompressor < vc.GetVideoCompressorCount() ? cs.VideoCompressor : 0); });
  Guarded([&] { vc.SetAudioCompressor(cs.AudioCompressor < vc.GetAudioCompressorCount() ? cs.AudioCompressor : 0); });
  Guarded([&] { vc.SetCompressionMode(static_cast<TCompressionMode>(cs.CompressionMode)); });
  Guarded([&] { vc.SetCompressionType(static_cast<TCompressionType>(cs.CompressionType)); });

  Guarded([&] { vc.SetAutoFilePrefix(cs.AutoFilePrefix); });
  Guarded([&] { vc.SetAutoFileName(fn_DateTime); });
  Guarded([&] { vc.SetBurstCount(cs.BurstCount); });
  Guarded([&] { vc.SetBurstInterval(cs.BurstInterval); });
  Guarded([&] { vc.SetFrameGrabberRGBFormat(static_cast<TFrameGrabberRGBFormat>(cs.FrameGrabberRGBFormat)); });
  Guarded([&] { vc.SetFrameCaptureZoomSize(cs.FrameCaptureZoomSize); });

  Guarded([&] { vc.SetTextOverlay_String(cs.TextOverlay_String); });
  Guarded([&] { vc.SetTextOverlay_Left(cs.TextOverlay_Left); });
  Guarded([&] { vc.SetTextOverlay_Top(cs.TextOverlay_Top); });
  Guarded([&] { vc.SetTextOverlay_Right(cs.TextOverlay_Right); });
  Guarded([&] { vc.SetTextOverlay_Transparent(cs.TextOverlay_Transparent); });
  Guarded([&] { vc.SetTextOverlay_Align(static_cast<TTextOverlayAlign>(cs.TextOverlay_Align)); });
  Guarded([&] { vc.SetTextOverlay_Enabled(cs.TextOverlay_Enabled); });

  Guarded([&] { vc.SetVideoProcessing_Rotation(static_cast<TVideoRotation>(cs.VideoProcessing_Rotation)); });
  Guarded(
      [&] { vc.SetVideoProcessing_Deinterlacing(static_cast<TVideoDeinterlacing>(cs.VideoProcessing_Deinterlacing)); });
  Guarded([&] { vc.SetVideoProcessing_FlipVertical(cs.VideoProcessing_FlipVertical); });
  Guarded([&] { vc.SetVideoProcessing_FlipHorizontal(cs.VideoProcessing_FlipHorizontal); });
  Guarded([&] { vc.SetVideoProcessing_GrayScale(cs.VideoProcessing_GrayScale); });
  Guarded([&] { vc.SetVideoProcessing_InvertColors(cs.VideoProcessing_InvertColors); });
  Guarded([&] { vc.SetVideoProcessing_Brightness(cs.VideoProcessing_Brightness); });
  Guarded([&] { vc.SetVideoProcessing_Contrast(cs.VideoProcessing_Contrast); });
  Guarded([&] { vc.SetVideoProcessing_Saturation(cs.VideoProcessing_Saturation); });
  Guarded([&] { vc.SetVideoProcessing_Hue(cs.VideoProcessing_Hue); });

  Guarded([&] { vc.SetASFVideoWidth(cs.ASFVideoWidth); });
  Guarded([&] { vc.SetASFVideoHeight(cs.ASFVideoHeight); });
  Guarded([&] { vc.SetASFVideoBitRate(cs.ASFVideoBitRate); });
  Guarded([&] { vc.SetASFVideoQuality(cs.ASFVideoQuality); });
  Guarded([&] { vc.SetASFVideoMaxKeyFrameSpacing(cs.ASFVideoMaxKeyFrameSpacing); });
  Guarded([&] { vc.SetASFAudioChannels(cs.ASFAudioChannels); });
  Guarded([&] { vc.SetASFProfile(cs.ASFProfile); });
  Guarded([&] { vc.SetASFFixedFrameRate(cs.ASFFixedFrameRate); });
  Guarded([&] { vc.SetASFDeinterlaceMode(static_cast<TASFDeinterlaceMode>(cs.ASFDeinterlaceMode)); });

  Guarded([&] { vc.SetAudioRecording(cs.AudioRecording); });
  Guarded([&] { vc.SetAudioDeviceRendering(cs.AudioDeviceRendering); });
  Guarded([&] { vc.SetMuteAudioRendering(cs.MuteAudioRendering); });
  Guarded([&] { vc.SetRecordingInNativeFormat(cs.RecordingInNativeFormat); });
}

TCaptureSettings ReadCaptureSettings(TVidCap& vc) {
  TCaptureSettings cs;
  cs.FrameRate = vc.GetFrameRate();
  cs.AudioInputLevel = vc.GetAudioInputLevel();
  cs.AudioInputBalance = vc.GetAudioInputBalance();
  cs.TVInputType = vc.GetTVInputType();
  cs.TVCountryCode = vc.GetTVCountryCode();
  cs.TVChannel = vc.GetTVChannel();
  cs.TVUseFrequencyOverrides = vc.TVUseFrequencyOverrides();
  cs.RecordingMethod = vc.RecordingMethod();
  cs.VideoCompressor = vc.GetVideoCompressor();
  cs.AudioCompressor = vc.GetAudioCompressor();
  cs.CompressionMode = vc.CompressionMode();
  cs.CompressionType = vc.CompressionType();
  cs.AutoFilePrefix = vc.AutoFilePrefix();
  cs.BurstCount = vc.BurstCount();
  cs.BurstInterval = vc.BurstInterval();
  cs.FrameGrabberRGBFormat = vc.FrameGrabberRGBFormat();
  cs.FrameCaptureZoomSize = vc.FrameCaptureZoomSize();
  cs.TextOverlay_Enabled = vc.TextOverlay_Enabled();
  cs.TextOverlay_String = vc.TextOverlay_String();
  cs.TextOverlay_Left = vc.TextOverlay_Left();
  cs.TextOverlay_Top = vc.TextOverlay_Top();
  cs.TextOverlay_Right = vc.TextOverlay_Right();
  cs.TextOverlay_Transparent = vc.TextOverlay_Transparent();
  cs.TextOverlay_Align = vc.TextOverlay_Align();
  cs.VideoProcessing_Rotation = vc.VideoProcessing_Rotation();
  cs.VideoProcessing_Deinterlacing = vc.VideoProcessing_Deinterlacing();
  cs.VideoProcessing_FlipVertical = vc.VideoProcessing_FlipVertical();
  cs.VideoProcessing_FlipHorizontal = vc.VideoProcessing_FlipHorizontal();
  cs.VideoProcessing_GrayScale = vc.VideoProcessing_GrayScale();
  cs.VideoProcessing_InvertColors = vc.VideoProcessing_InvertColors();
  cs.VideoProcessing_Brightness = vc.VideoProcessing_Brightness();
  cs.VideoProcessing_Contrast = vc.VideoProcessing_Contrast();
  cs.VideoProcessing_Saturation = vc.VideoProcessing_Saturation();
  cs.VideoProcessing_Hue = vc.VideoProcessing_Hue();
  cs.ASFVideoWidth = vc.ASFVideoWidth();
  cs.ASFVideoHeight = vc.ASFVideoHeight();
  cs.ASFVideoBitRate = vc.ASFVideoBitRate();
  cs.ASFVideoQuality = vc.ASFVideoQuality();
  cs.ASFVideoMaxKeyFrameSpacing = vc.ASFVideoMaxKeyFrameSpacing();
  cs.ASFAudioChannels = vc.ASFAudioChannels();
  cs.ASFProfile = vc.ASFProfile();
  cs.ASFFixedFrameRate = vc.ASFFixedFrameRate();
  cs.ASFDeinterlaceMode = vc.ASFDeinterlaceMode();
  cs.AudioRecording = vc.AudioRecording();
  cs.AudioDeviceRendering = vc.AudioDeviceRendering();
  cs.MuteAudioRendering = vc.MuteAudioRendering();
  cs.RecordingInNativeFormat = vc.RecordingInNativeFormat();
  return cs;
}

bool LoadSettings(TGlobalVars& g, TVidCap* vidCap) {
  TCaptureSettings cs = vidCap ? ReadCaptureSettings(*vidCap) : TCaptureSettings{};
  const bool fileExisted = rtl::FileExists(SettingsFileName());
  const bool result = LoadSettings(static_cast<TGlobalVarsFields&>(g), cs);
  if (vidCap && fileExisted) {
    ApplyCaptureSettings(*vidCap, cs, g);
    Guarded([&] { vidCap->MotionDetector_SetGlobalSensitivity(g.Sensitivity); });
  }
  return result;
}

bool SaveSettings(const TGlobalVars& g, TVidCap* vidCap, String* reason) {
  TCaptureSettings cs;
  if (vidCap) {
    // Audio rendering is written muted, as the capture settings dialog
    // leaves it.
    Guarded([&] { vidCap->SetMuteAudioRendering(true); });
    cs = ReadCaptureSettings(*vidCap);
  }
  return SaveSettings(static_cast<const TGlobalVarsFields&>(g), cs, reason);
}

}  // namespace app
