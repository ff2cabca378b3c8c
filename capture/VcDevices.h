#pragma once
// The process-wide device lists: video and audio capture devices, video and
// audio compressors. An entry remembers a device by a key made from its
// moniker's display name and friendly name, so a device that is unplugged
// and plugged in again keeps its entry, its index and its registry key.
// Entries are never deleted while the lists live. Also here: finding a
// device by name and the lookups behind binding a device into a graph.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "capture/VcDeviceManager.h"
#include "platform/mg/Devices.h"
#include "platform/mg/Types.h"
#include "platform/rtl/Threads.h"
#include "platform/rtl/Types.h"

namespace capture {

using rtl::String;

class TVcEngine;

class TCapDeviceInfo {
public:
  String Key;
  String Name;
  String AvcName1;
  String AvcName2;
  bool IsWDM = true;
  bool WasPresent = false;
  bool Moved = false;
  bool IsDV = false;
  bool Present = false;
  int32_t VfwIndex = -1;
  bool InUse = false;
  int32_t Instance = 1;
  mg::GUID Category;
};

// List kinds.
inline constexpr int32_t dk_VideoCapture = 0;
inline constexpr int32_t dk_AudioCapture = 1;
inline constexpr int32_t dk_VideoCompressor = 2;
inline constexpr int32_t dk_AudioCompressor = 3;

class TDevices {
public:
  struct TEntry {
    String DisplayName;
    std::unique_ptr<TCapDeviceInfo> Info;
  };

  // Sets the list up and enumerates its category at once.
  TDevices(int32_t Kind, TDevices* AudioPartner, bool AddDriverSuffix, const String& VfwDriverNamesText,
           const String& ExcludedNames, const mg::GUID& Category, const String& Label);
  TDevices(const TDevices&) = delete;
  TDevices& operator=(const TDevices&) = delete;

  const int32_t Kind;
  const String Label;
  const mg::GUID Category;
  const String VfwCaptureClass;
  const bool AddDriverSuffix;
  const String ExcludedNames;
  std::vector<String> VfwDriverNames;
  rtl::TCriticalSection Lock;
  TDevices* const AudioPartner;
  std::vector<TEntry> Entries;

  // Enumerates the category again: known devices are marked present, new
  // ones appended (video devices that say "AUDIO" go to the partner).
  void Rebuild();
  int32_t Count() const { return static_cast<int32_t>(Entries.size()); }
  // Every display name, one per line.
  String GetNamesText() const;
  // "" when Index is out of range.
  String GetName(int32_t Index) const;
  // The entry at Index, null out of range.
  TCapDeviceInfo* Info(int32_t Index) const;
  bool MarkPresent(const String& Key);
  int32_t NextInstance(const String& Name) const;
  void ApplyPreferenceOrder();
  // The entry's registry key path; "" out of range.
  String GetRegistryKey(int32_t Index) const;

private:
  bool AppendNew(const String& DisplayName, const String& FriendlyName, const String& Key, const String& Clsid);
};

// ---- the four lists ---------------------------------------------------------

// Null until CreateDeviceLists ran.
TDevices* VideoCaptureDevices();
TDevices* AudioCaptureDevices();
TDevices* VideoCompressors();
TDevices* AudioCompressors();
// The list of a kind (dk_...), null without lists or for another kind.
TDevices* DeviceList(int32_t Kind);
// Builds the lists in their order (audio capture, video capture, video
// compressors, audio compressors); a second call does nothing.
void CreateDeviceLists();
void FreeDeviceLists();
// Rebuilds the video then the audio capture list and answers the devices
// that came and went.
std::vector<TDeviceChange> RebuildCaptureDeviceLists();
// These lists and the engine's binding, which the device manager uses
// unless a test puts others in their place; the reset puts them back.
TDeviceListHooks MakeDeviceListHooks();
void ResetDeviceListHooks();

// ---- lookups ----------------------------------------------------------------

String DeviceKey(const String& DisplayName, const String& FriendlyName);
// Collects the characters up to the next "!" (or the end) and moves past it.
String NextListToken(size_t& Position, const String& Text);
bool NameNotExcluded(const String& Name, const String& ExcludedNames);
bool ParseAvcName(const String& DisplayName, String& Name1, String& Name2);
// The ten driver-name lines, "." where an index has no driver.
String GetVfwDriverNames();
// Where the driver names come from; null: no such drivers (all ".").
using TVfwDriverNameSource = std::function<String(int32_t Index)>;
void SetVfwDriverNameSource(TVfwDriverNameSource Source);
// Mode 0: friendly name equals Name; 1: contains it; 2: contains every
// "!"-separated token; 3: the device key equals Name.
bool FindDeviceMoniker(const mg::GUID& Category, const String& Name, int32_t Mode, String& FriendlyName,
                       std::shared_ptr<mg::Moniker>& Moniker);
// The index of the first line of NamesText that the name matches, with
// "*" at the start, end or both; -1 when none.
int32_t FindDeviceIndexIn(const String& NamesText, const String& Name);

// ---- discovery ----------------------------------------------------------------

// Stand-ins a test may put in place of the format and device-control code:
// discovering a device the first time it is bound, the size of its
// selected format and choosing the audio input. Unset entries leave the
// component's own code to answer.
struct TDiscoveryHooks {
  std::function<bool(TVcEngine& Engine)> DiscoverVideoDevice;
  std::function<bool(TVcEngine& Engine)> DiscoverAudioDevice;
  std::function<bool(TVcEngine& Engine, int32_t Index, int32_t& Width, int32_t& Height)> GetSelectedVideoSize;
  std::function<void(TVcEngine& Engine)> SelectAudioInput;
};
void SetDiscoveryHooks(TDiscoveryHooks Hooks);
const TDiscoveryHooks& DiscoveryHooks();

int32_t LineCount(const String& Text);
String GetLine(const String& Text, int32_t Index);
int32_t TVCountryTuningSpace(int32_t CountryCode);

}  // namespace capture
