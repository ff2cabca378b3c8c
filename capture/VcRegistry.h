#pragma once
// The component's registry tree "\Software\TVidCap\" under the current
// user: a version stamp, one key per device of the four lists (what
// discovery found, the user's settings for it, its format cache, a
// compressor's state), the global values and the extra filters' keys.
// Reads never raise: a missing value or one of another kind answers false.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/mg/Filter.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/Types.h"

namespace capture {

using rtl::String;

// How a value is stored, mapped from the registry's kinds.
enum TRegDataKind { rdk_String, rdk_ExpandString, rdk_Integer, rdk_Bytes, rdk_Other };
TRegDataKind RegTypeToDataKind(uint32_t RegType);

// A thin layer over the class library's registry object: readers answer
// false (and leave the output alone, or empty a string) where the library's
// raise, writers swallow failures.
class TRegistry2 {
public:
  explicit TRegistry2(bool LocalMachine);
  TRegistry2(const TRegistry2&) = delete;
  TRegistry2& operator=(const TRegistry2&) = delete;

  rtl::TRegistry& Registry() { return reg_; }

  bool OpenKey(const String& Path, bool CanCreate);
  bool CreateKey(const String& Path);
  bool DeleteKey(const String& Path);
  bool DeleteValue(const String& Name);
  bool KeyExists(const String& Path);
  bool ValueExists(const String& Name);
  bool GetDataInfo(const String& Name, rtl::TRegDataInfo& Info);

  void WriteString(const String& Name, const String& Value);
  void WriteInteger(const String& Name, int32_t Value);
  void WriteBool(const String& Name, bool Value);
  void WriteDouble(const String& Name, double Value);
  void WriteBinary(const String& Name, const void* Buffer, int32_t Size);

  // The raw value into Buffer (up to Capacity bytes); Size is the stored
  // size, which may exceed Capacity (then nothing is copied and the answer
  // is false).
  bool QueryValue(const String& Name, void* Buffer, int32_t Capacity, int32_t& Size, TRegDataKind& Kind);
  bool ReadString(const String& Name, String& Text);
  bool ReadInteger(const String& Name, int32_t& Value);
  bool ReadBool(const String& Name, bool& Value);
  bool ReadDouble(const String& Name, double& Value);
  // Only a value of exactly ExpectedSize bytes.
  bool ReadBinary(const String& Name, void* Buffer, int32_t ExpectedSize);

private:
  rtl::TRegistry reg_;
};

// Setting types.
inline constexpr int32_t st_None = 0;
inline constexpr int32_t st_Integer = 1;
inline constexpr int32_t st_String = 2;
inline constexpr int32_t st_Boolean = 3;
inline constexpr int32_t st_Double = 4;
inline constexpr int32_t st_Bytes = 5;

struct TSetting {
  String Name;
  int32_t Type = st_None;
  int32_t IntValue = 0;
  String StrValue;
  bool BoolValue = false;
  double DoubleValue = 0;
  uint8_t* BinData = nullptr;
  int32_t BinSize = 0;
};
using TSettingsRecord = std::vector<TSetting>;

bool ReadSetting(TRegistry2& Registry, TSetting& Setting);
void WriteSetting(TRegistry2& Registry, const TSetting& Setting);

// Entries of the video device record, in record order.
enum TVideoDeviceSetting : int32_t {
  vds_AudioDeviceAssociated, vds_AudioInputAssociated, vds_AudioInputBalanceAssociated,
  vds_AudioInputLevelAssociated, vds_AudioInputMonoAssociated, vds_AudioInputNameAssociated,
  vds_SpeakerVolumeAssociated, vds_SpeakerBalanceAssociated, vds_DeviceDiscovered, vds_IsVfw,
  vds_IsDigitalVideoIn, vds_IsDVPal, vds_IsVideoPortAvailable, vds_IsVideoInterlaced, vds_IsTVTunerAvail,
  vds_IsTVAudioAvail, vds_IsAnalogVideoDecoderAvail, vds_IsVCRHorizontalLockingAvail, vds_IsAudioCrossbarAvail,
  vds_IsVideoCrossbarAvail, vds_IsVideoQualityAvail, vds_IsCameraControlAvail, vds_IsVideoControlAvail,
  vds_IsMpegStream, vds_VideoControlCaps, vds_VfwCaptureDialogFormat, vds_VfwCaptureDialogSource,
  vds_VfwCaptureDialogDisplay, vds_VideoInputs, vds_ExtTransportAvail, vds_TimeCodeReaderAvail, vds_ANTVFormats,
  vds_VIDEOCROSSBARAVAIL, vds_AUDIOCROSSBARAVAIL, vds_DummyMAYNOTBESAVED, vds_VideoSize, vds_VideoInput,
  vds_VideoInputName, vds_VideoRenderer, vds_VideoSubtype, vds_VideoControlMode, vds_TVChannel, vds_TVChannelFreq,
  vds_TVInputType, vds_TVConnectInput, vds_TVTuningSpace, vds_TVCountryCode, vds_TVMode, vds_ANTVFormat,
  vds_ANVVCRHorzLocking, vds_ANVOutputEnable, vds_AMVideoCrossbar, vds_AMAudioCrossbar, vds_VideoQualityAuto,
  vds_VideoQualityValues, vds_CameraControlAuto, vds_CameraControlValues,
  vds_Count
};
// Entries from here on are the user's settings, loaded only while the
// component keeps device settings in the registry.
inline constexpr int32_t kFirstUserVideoSetting = vds_DummyMAYNOTBESAVED;

enum TAudioDeviceSetting : int32_t {
  ads_DeviceDiscovered, ads_AudioInputs, ads_AudioInput, ads_AudioInputBalance, ads_AudioInputLevel,
  ads_AudioInputMono, ads_AudioInputName, ads_SpeakerVolume, ads_SpeakerBalance, ads_AudioMute, ads_AIsSoundCard,
  ads_DummyMAYNOTBESAVED, ads_AIsAudioCrossbarAvail,
  ads_Count
};
inline constexpr int32_t kFirstUserAudioSetting = ads_DummyMAYNOTBESAVED;

enum TGlobalSetting : int32_t { gs_LastRecordingFileName, gs_LastClipPlayed, gs_Count };

// 10 controls x 6 integers and 7 controls x 6 integers.
inline constexpr int32_t kVideoQualityTableSize = 240;
inline constexpr int32_t kCameraControlTableSize = 168;

// The per-device and global records an engine keeps, with the buffers the
// two byte entries point at. Not copyable: the entries point into it.
struct TDeviceSettingsRecords {
  TDeviceSettingsRecords();
  TDeviceSettingsRecords(const TDeviceSettingsRecords&) = delete;
  TDeviceSettingsRecords& operator=(const TDeviceSettingsRecords&) = delete;

  TSettingsRecord Video;
  TSettingsRecord Audio;
  TSettingsRecord Global;
  std::array<uint8_t, kVideoQualityTableSize> VideoQualityTable{};
  std::array<uint8_t, kCameraControlTableSize> CameraControlTable{};

  void ResetVideo();
  void ResetAudio();
  void ResetGlobal();
};

// "\Software\TVidCap\" and its "Global\" key.
String GetRegistryRoot();
String GetGlobalKey();
// The version stamp's key name.
String RegistryVersionKey();
// Clears the tree unless this version's stamp is there, then sets it.
void CheckRegistryVersion();
void ClearRegistry();

bool WriteFilterStateToRegistry(const std::shared_ptr<mg::BaseFilter>& Filter, const String& KeyPath);
bool ReadFilterStateFromRegistry(const std::shared_ptr<mg::BaseFilter>& Filter, const String& KeyPath);

// Format cache values, "FMT000" and "SUB000" upwards.
String FormatCacheName(const char* Prefix, int32_t Number);
// Writes the lists under KeyPath (the old values of both go first).
void WriteFormatCache(const String& KeyPath, const std::vector<String>& Sizes, const std::vector<String>& Subtypes);

}  // namespace capture
