#include "capture/VcRegistry.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VcTypes.h"
#include "platform/mg/Interfaces.h"
#include "platform/rtl/Exceptions.h"

namespace capture {

namespace {

constexpr int32_t kMaxInt = std::numeric_limits<int32_t>::max();

struct TSettingDef {
  const char* Name;
  int32_t Type;
  int32_t IntDefault;
  bool BoolDefault;
};

// clang-format off
constexpr TSettingDef kVideoDefs[vds_Count] = {
    {"_AudioDeviceAssociated", st_String, 0, false},
    {"_AudioInputAssociated", st_Integer, 0, false},
    {"_AudioInputBalanceAssociated", st_Integer, 0, false},
    {"_AudioInputLevelAssociated", st_Integer, 50000, false},
    {"_AudioInputMonoAssociated", st_Boolean, 0, false},
    {"_AudioInputNameAssociated", st_String, 0, false},
    {"_SpeakerVolumeAssociated", st_Integer, 50000, false},
    {"_SpeakerBalanceAssociated", st_Integer, 0, false},
    {"_DeviceDiscovered", st_Boolean, 0, false},
    {"_IsVfw", st_Boolean, 0, false},
    {"_IsDigitalVideoIn", st_Boolean, 0, false},
    {"_IsDVPal", st_Boolean, 0, false},
    {"_IsVideoPortAvailable", st_Boolean, 0, false},
    {"_IsVideoInterlaced", st_Boolean, 0, false},
    {"_IsTVTunerAvail", st_Boolean, 0, false},
    {"_IsTVAudioAvail", st_Boolean, 0, false},
    {"_IsAnalogVideoDecoderAvail", st_Boolean, 0, false},
    {"_IsVCRHorizontalLockingAvail", st_Boolean, 0, false},
    {"_IsAudioCrossbarAvail", st_Boolean, 0, false},
    {"_IsVideoCrossbarAvail", st_Boolean, 0, false},
    {"_IsVideoQualityAvail", st_Boolean, 0, false},
    {"_IsCameraControlAvail", st_Boolean, 0, false},
    {"_IsVideoControlAvail", st_Boolean, 0, false},
    {"_IsMpegStream", st_Boolean, 0, false},
    {"_VideoControlCaps", st_Integer, 0, false},
    {"_VfwCaptureDialogFormat", st_Boolean, 0, false},
    {"_VfwCaptureDialogSource", st_Boolean, 0, false},
    {"_VfwCaptureDialogDisplay", st_Boolean, 0, false},
    {"VideoInputs", st_String, 0, false},
    {"ExtTransportAvail", st_Boolean, 0, false},
    {"TimeCodeReaderAvail", st_Boolean, 0, false},
    {"ANTVFormats", st_Integer, 0, false},
    {"VIDEOCROSSBARAVAIL", st_Boolean, 0, false},
    {"AUDIOCROSSBARAVAIL", st_Boolean, 0, false},
    {"DummyMAYNOTBESAVED", st_Integer, kMaxInt, false},
    {"VideoSize", st_Integer, 0, false},
    {"VideoInput", st_Integer, 0, false},
    {"VideoInputName", st_Integer, 0, false},
    {"VideoRenderer", st_Integer, 0, false},
    {"VideoSubtype", st_Integer, 0, false},
    {"_VideoControlMode", st_Integer, 0, false},
    {"TVChannel", st_Integer, 0, false},
    {"TVChannelFreq", st_Integer, 0, false},
    {"TVInputType", st_Integer, 0, false},
    {"TVConnectInput", st_Integer, kMaxInt, false},
    {"TVTuningSpace", st_Integer, 0, false},
    {"TVCountryCode", st_Integer, 0, false},
    {"TVMode", st_Integer, 0, false},
    {"ANTVFormat", st_Integer, 0, false},
    {"ANVVCRHorzLocking", st_Integer, 0, false},
    {"ANVOutputEnable", st_Integer, kMaxInt, false},
    {"AMVideoCrossbar", st_String, 0, false},
    {"AMAudioCrossbar", st_String, 0, false},
    {"VideoQualityAuto", st_Boolean, 0, true},
    {"VideoQualityValues", st_Bytes, 0, false},
    {"CameraControlAuto", st_Boolean, 0, true},
    {"CameraControlValues ", st_Bytes, 0, false},  // the trailing blank is part of the stored name
};

constexpr TSettingDef kAudioDefs[ads_Count] = {
    {"_DeviceDiscovered", st_Boolean, 0, false},
    {"AudioInputs", st_String, 0, false},
    {"AudioInput", st_Integer, 0, false},
    {"AudioInputBalance", st_Integer, 0, false},
    {"AudioInputLevel", st_Integer, 50000, false},
    {"AudioInputMono", st_Boolean, 0, false},
    {"AudioInputName", st_String, 0, false},
    {"SpeakerVolume", st_Integer, 50000, false},
    {"SpeakerBalance", st_Integer, 0, false},
    {"AudioMute", st_Boolean, 0, false},
    {"AIsSoundCard", st_Boolean, 0, false},
    {"DummyMAYNOTBESAVED", st_Integer, kMaxInt, false},
    {"AIsAudioCrossbarAvail", st_Boolean, 0, false},
};

constexpr TSettingDef kGlobalDefs[gs_Count] = {
    {"_LastRecordingFileName", st_String, 0, false},
    {"_LastClipPlayed", st_String, 0, false},
};
// clang-format on

template <size_t N>
void FillRecord(TSettingsRecord& Record, const TSettingDef (&Defs)[N]) {
  Record.assign(N, TSetting{});
  for (size_t i = 0; i < N; ++i) {
    Record[i].Name = Defs[i].Name;
    Record[i].Type = Defs[i].Type;
    Record[i].IntValue = Defs[i].IntDefault;
    Record[i].BoolValue = Defs[i].BoolDefault;
  }
}

// Reads entries [0, Last) of Record from the open key. A value that is
// there but cannot be taken (another kind, another size) is ignored with a
// trace line; the entries after it are still read.
bool ReadRecord(TRegistry2& Registry, TSettingsRecord& Record, size_t Last, const String& Where) {
  bool ok = true;
  for (size_t i = 0; i < Last && i < Record.size(); ++i) {
    if (ReadSetting(Registry, Record[i])) continue;
    ok = false;
    if (Record[i].Type != st_None && Registry.ValueExists(Record[i].Name))
      TraceLine(CF_RED, "registry value \"" + Record[i].Name + "\" of " + Where + " ignored: unexpected kind or size");
  }
  return ok;
}

void WriteRecord(TRegistry2& Registry, const TSettingsRecord& Record) {
  for (const TSetting& s : Record) WriteSetting(Registry, s);
}

}  // namespace

// ---------------------------------------------------------------------------
// TRegistry2

TRegDataKind RegTypeToDataKind(uint32_t RegType) {
  switch (RegType) {
    case rtl::REG_SZ:
      return rdk_String;
    case rtl::REG_EXPAND_SZ:
      return rdk_ExpandString;
    case rtl::REG_DWORD:
      return rdk_Integer;
    case rtl::REG_BINARY:
      return rdk_Bytes;
    default:
      return rdk_Other;
  }
}

TRegistry2::TRegistry2(bool LocalMachine) {
  if (LocalMachine) reg_.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
}

bool TRegistry2::OpenKey(const String& Path, bool CanCreate) {
  try {
    return reg_.OpenKey(Path, CanCreate);
  } catch (const rtl::Exception&) {
    return false;
  }
}

bool TRegistry2::CreateKey(const String& Path) {
  try {
    return reg_.CreateKey(Path);
  } catch (const rtl::Exception&) {
    return false;
  }
}

bool TRegistry2::DeleteKey(const String& Path) {
  try {
    return reg_.DeleteKey(Path);
  } catch (const rtl::Exception&) {
    return false;
  }
}

bool TRegistry2::DeleteValue(const String& Name) {
  try {
    return reg_.DeleteValue(Name);
  } catch (const rtl::Exception&) {
    return false;
  }
}

bool TRegistry2::KeyExists(const String& Path) { return reg_.KeyExists(Path); }
bool TRegistry2::ValueExists(const String& Name) { return reg_.ValueExists(Name); }
bool TRegistry2::GetDataInfo(const String& Name, rtl::TRegDataInfo& Info) { return reg_.GetDataInfo(Name, Info); }

void TRegistry2::WriteString(const String& Name, const String& Value) {
  try {
    reg_.WriteString(Name, Value);
  } catch (const rtl::Exception&) {
  }
}

void TRegistry2::WriteInteger(const String& Name, int32_t Value) {
  try {
    reg_.WriteInteger(Name, Value);
  } catch (const rtl::Exception&) {
  }
}

void TRegistry2::WriteBool(const String& Name, bool Value) { WriteInteger(Name, Value ? 1 : 0); }

void TRegistry2::WriteDouble(const String& Name, double Value) { WriteBinary(Name, &Value, sizeof Value); }

void TRegistry2::WriteBinary(const String& Name, const void* Buffer, int32_t Size) {
  try {
    reg_.WriteBinaryData(Name, Buffer, Size);
  } catch (const rtl::Exception&) {
  }
}

bool TRegistry2::QueryValue(const String& Name, void* Buffer, int32_t Capacity, int32_t& Size, TRegDataKind& Kind) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (!reg_.ReadRawValue(Name, type, data)) return false;
  Kind = RegTypeToDataKind(type);
  Size = static_cast<int32_t>(data.size());
  if (Size > Capacity) return false;
  if (Size > 0) std::memcpy(Buffer, data.data(), data.size());
  return true;
}

bool TRegistry2::ReadString(const String& Name, String& Text) {
  Text.clear();
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (!reg_.ReadRawValue(Name, type, data) || (type != rtl::REG_SZ && type != rtl::REG_EXPAND_SZ)) return false;
  Text.assign(data.begin(), data.end());
  const size_t zero = Text.find('\0');
  if (zero != String::npos) Text.resize(zero);
  return true;
}

bool TRegistry2::ReadInteger(const String& Name, int32_t& Value) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (!reg_.ReadRawValue(Name, type, data) || type != rtl::REG_DWORD || data.size() != 4) return false;
  Value = static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24);
  return true;
}

bool TRegistry2::ReadBool(const String& Name, bool& Value) {
  int32_t v = 0;
  if (!ReadInteger(Name, v)) return false;
  Value = v != 0;
  return true;
}

bool TRegistry2::ReadDouble(const String& Name, double& Value) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (!reg_.ReadRawValue(Name, type, data) || type != rtl::REG_BINARY || data.size() != sizeof(double)) return false;
  std::memcpy(&Value, data.data(), sizeof Value);
  return true;
}

bool TRegistry2::ReadBinary(const String& Name, void* Buffer, int32_t ExpectedSize) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (!reg_.ReadRawValue(Name, type, data)) return false;
  // Binary or untyped: the other kinds have a meaning of their own.
  if (type != rtl::REG_BINARY && type != rtl::REG_NONE) return false;
  if (static_cast<int32_t>(data.size()) != ExpectedSize) return false;
  if (ExpectedSize > 0) std::memcpy(Buffer, data.data(), data.size());
  return true;
}

// ---------------------------------------------------------------------------
// Settings

bool ReadSetting(TRegistry2& Registry, TSetting& Setting) {
  switch (Setting.Type) {
    case st_Integer:
      return Registry.ReadInteger(Setting.Name, Setting.IntValue);
    case st_String: {
      String text;
      if (!Registry.ReadString(Setting.Name, text)) return false;
      Setting.StrValue = text;
      return true;
    }
    case st_Boolean:
      return Registry.ReadBool(Setting.Name, Setting.BoolValue);
    case st_Double:
      return Registry.ReadDouble(Setting.Name, Setting.DoubleValue);
    case st_Bytes: {
      if (!Setting.BinData) return false;
      // Read into a copy first: the engine's table stays whole when the
      // size value that must follow is missing.
      std::vector<uint8_t> copy(static_cast<size_t>(Setting.BinSize));
      int32_t size = 0;
      if (!Registry.ReadBinary(Setting.Name, copy.data(), Setting.BinSize)) return false;
      if (!Registry.ReadInteger(Setting.Name + "Size", size) || size != Setting.BinSize) return false;
      if (!copy.empty()) std::memcpy(Setting.BinData, copy.data(), copy.size());
      return true;
    }
    default:
      return false;
  }
}

void WriteSetting(TRegistry2& Registry, const TSetting& Setting) {
  switch (Setting.Type) {
    case st_Integer:
      Registry.WriteInteger(Setting.Name, Setting.IntValue);
      break;
    case st_String:
      Registry.WriteString(Setting.Name, Setting.StrValue);
      break;
    case st_Boolean:
      Registry.WriteBool(Setting.Name, Setting.BoolValue);
      break;
    case st_Double:
      Registry.WriteDouble(Setting.Name, Setting.DoubleValue);
      break;
    case st_Bytes:
      if (!Setting.BinData) break;
      Registry.WriteBinary(Setting.Name, Setting.BinData, Setting.BinSize);
      Registry.WriteInteger(Setting.Name + "Size", Setting.BinSize);
      break;
    default:
      break;
  }
}

TDeviceSettingsRecords::TDeviceSettingsRecords() {
  ResetVideo();
  ResetAudio();
  ResetGlobal();
}

void TDeviceSettingsRecords::ResetVideo() {
  FillRecord(Video, kVideoDefs);
  Video[vds_VideoQualityValues].BinData = VideoQualityTable.data();
  Video[vds_VideoQualityValues].BinSize = kVideoQualityTableSize;
  Video[vds_CameraControlValues].BinData = CameraControlTable.data();
  Video[vds_CameraControlValues].BinSize = kCameraControlTableSize;
}

void TDeviceSettingsRecords::ResetAudio() { FillRecord(Audio, kAudioDefs); }
void TDeviceSettingsRecords::ResetGlobal() { FillRecord(Global, kGlobalDefs); }

// ---------------------------------------------------------------------------
// Paths, version stamp

String GetRegistryRoot() { return "\\Software\\TVidCap\\"; }
String GetGlobalKey() { return GetRegistryRoot() + "Global\\"; }
String RegistryVersionKey() { return kVidCapVersion; }

void ClearRegistry() {
  TRegistry2 reg(false);
  reg.DeleteKey(GetRegistryRoot());
}

void CheckRegistryVersion() {
  TRegistry2 reg(false);
  if (reg.OpenKey(GetRegistryRoot() + RegistryVersionKey(), false)) return;
  ClearRegistry();
  TRegistry2 stamp(false);
  stamp.CreateKey(GetRegistryRoot() + RegistryVersionKey());
}

String FormatCacheName(const char* Prefix, int32_t Number) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%.3u", Prefix, static_cast<unsigned>(Number));
  return buf;
}

void WriteFormatCache(const String& KeyPath, const std::vector<String>& Sizes, const std::vector<String>& Subtypes) {
  TRegistry2 reg(false);
  if (!reg.OpenKey(KeyPath, true)) return;
  for (const char* prefix : {"FMT", "SUB"})
    for (int32_t n = 0; reg.ValueExists(FormatCacheName(prefix, n)); ++n) reg.DeleteValue(FormatCacheName(prefix, n));
  for (size_t i = 0; i < Sizes.size(); ++i) reg.WriteString(FormatCacheName("FMT", static_cast<int32_t>(i)), Sizes[i]);
  for (size_t i = 0; i < Subtypes.size(); ++i)
    reg.WriteString(FormatCacheName("SUB", static_cast<int32_t>(i)), Subtypes[i]);
}

// ---------------------------------------------------------------------------
// Filter state

bool WriteFilterStateToRegistry(const std::shared_ptr<mg::BaseFilter>& Filter, const String& KeyPath) {
  if (!Filter || KeyPath.empty()) return false;
  TRegistry2 reg(false);
  if (!reg.OpenKey(KeyPath, true)) return false;
  if (auto persist = mg::QueryInterface<mg::IPersistStream>(Filter)) {
    std::vector<uint8_t> stream;
    if (persist->Save(stream, 1) != mg::S_OK) return false;
    reg.WriteBinary("WDMState", stream.data(), static_cast<int32_t>(stream.size()));
    reg.WriteInteger("WDMStateSize", static_cast<int32_t>(stream.size()));
    return true;
  }
  if (auto dialogs = mg::QueryInterface<mg::IAMVfwCompressDialogs>(Filter)) {
    int size = 0;
    if (dialogs->GetState(nullptr, &size) != mg::S_OK || size <= 0) return false;
    std::vector<uint8_t> state(static_cast<size_t>(size));
    if (dialogs->GetState(state.data(), &size) != mg::S_OK) return false;
    reg.WriteBinary("VfwState", state.data(), size);
    return true;
  }
  return false;
}

bool ReadFilterStateFromRegistry(const std::shared_ptr<mg::BaseFilter>& Filter, const String& KeyPath) {
  if (!Filter || KeyPath.empty()) return false;
  TRegistry2 reg(false);
  if (!reg.OpenKey(KeyPath, false)) return false;
  if (auto persist = mg::QueryInterface<mg::IPersistStream>(Filter)) {
    int32_t size = 0;
    // The size value is checked against the stored state before anything
    // is allocated: a damaged value must not ask for gigabytes.
    if (!reg.ReadInteger("WDMStateSize", size) || size < 0 || reg.Registry().GetDataSize("WDMState") != size)
      return false;
    std::vector<uint8_t> stream(static_cast<size_t>(size));
    if (!reg.ReadBinary("WDMState", stream.data(), size)) return false;
    return persist->Load(stream) == mg::S_OK;
  }
  if (auto dialogs = mg::QueryInterface<mg::IAMVfwCompressDialogs>(Filter)) {
    int size = 0;
    if (dialogs->GetState(nullptr, &size) != mg::S_OK || size <= 0) return false;
    std::vector<uint8_t> state(static_cast<size_t>(size));
    if (!reg.ReadBinary("VfwState", state.data(), size)) return false;
    return dialogs->SetState(state.data(), size) == mg::S_OK;
  }
  return false;
}

// ---------------------------------------------------------------------------
// The engine's records

void TVcEngine::ResetVideoDeviceSettings() { DeviceSettings.ResetVideo(); }
void TVcEngine::ResetAudioDeviceSettings() { DeviceSettings.ResetAudio(); }
void TVcEngine::ResetGlobalSettings() { DeviceSettings.ResetGlobal(); }

String TVcEngine::BoundVideoDeviceKey() const {
  TDevices* list = VideoCaptureDevices();
  return list ? list->GetRegistryKey(BoundVideoDevice) : String();
}

String TVcEngine::BoundAudioDeviceKey() const {
  TDevices* list = AudioCaptureDevices();
  return list ? list->GetRegistryKey(BoundAudioDevice) : String();
}

bool TVcEngine::LoadVideoDeviceSettings() {
  const String key = BoundVideoDeviceKey();
  if (!UsesCaptureDevice() || key.empty()) return false;
  TRegistry2 reg(false);
  if (!reg.OpenKey(key, false)) return false;
  const size_t last = StoreDeviceSettingsInRegistry ? DeviceSettings.Video.size() : kFirstUserVideoSetting;
  return ReadRecord(reg, DeviceSettings.Video, last, key);
}

bool TVcEngine::LoadAudioDeviceSettings() {
  const String key = BoundAudioDeviceKey();
  if (key.empty()) return false;
  TRegistry2 reg(false);
  if (!reg.OpenKey(key, false)) return false;
  const size_t last = StoreDeviceSettingsInRegistry ? DeviceSettings.Audio.size() : kFirstUserAudioSetting;
  return ReadRecord(reg, DeviceSettings.Audio, last, key);
}

bool TVcEngine::LoadGlobalSettings() {
  TRegistry2 reg(false);
  if (!reg.OpenKey(GetGlobalKey(), false)) return false;
  return ReadRecord(reg, DeviceSettings.Global, DeviceSettings.Global.size(), GetGlobalKey());
}

void TVcEngine::SaveVideoDeviceSettings() {
  const String key = BoundVideoDeviceKey();
  if (!UsesCaptureDevice() || key.empty() || !DeviceSettings.Video[vds_DeviceDiscovered].BoolValue) return;
  TRegistry2 reg(false);
  if (reg.OpenKey(key, true)) WriteRecord(reg, DeviceSettings.Video);
}

void TVcEngine::SaveAudioDeviceSettings() {
  const String key = BoundAudioDeviceKey();
  if (!UsesCaptureDevice() || key.empty() || !DeviceSettings.Audio[ads_DeviceDiscovered].BoolValue) return;
  TRegistry2 reg(false);
  if (reg.OpenKey(key, true)) WriteRecord(reg, DeviceSettings.Audio);
}

void TVcEngine::SaveGlobalSettings() {
  TRegistry2 reg(false);
  if (reg.OpenKey(GetGlobalKey(), true)) WriteRecord(reg, DeviceSettings.Global);
}

bool TVcEngine::LoadFormatCache() {
  Sel.VideoSizes.Clear();
  Sel.VideoSubtypes.Clear();
  const String key = BoundVideoDeviceKey();
  if (!UsesCaptureDevice() || key.empty()) return false;
  TRegistry2 reg(false);
  if (reg.OpenKey(key, true)) {
    for (const char* prefix : {"FMT", "SUB"}) {
      rtl::TStringList& list = prefix[0] == 'F' ? Sel.VideoSizes : Sel.VideoSubtypes;
      String text;
      for (int32_t n = 0; reg.ValueExists(FormatCacheName(prefix, n)); ++n)
        if (reg.ReadString(FormatCacheName(prefix, n), text) && !text.empty()) list.Add(text);
    }
  }
  if (Sel.VideoSizes.Count() > 0 && Sel.VideoSubtypes.Count() > 0) return true;
  TraceLine(CF_RED, "ERROR when loading from registry: Formats or Subtypes empty");
  return false;
}

}  // namespace capture
