#pragma once
// The media runtime behind the ASF writer: its catalogue of system
// profiles, the profile manager that loads and saves profiles as XML text,
// and the factories of the writer's network and push sinks. The catalogue
// is our own; its XML carries everything in attributes, with lower-case
// element and attribute names, so a program can edit it as text and hand
// it back.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/mg/Interfaces.h"
#include "platform/mg/Object.h"
#include "platform/mg/Types.h"

namespace mg::wm {

// A profile in its parsed form. Codecs are named by the encoder that
// carries them ("wmv2", "wmav2"); times are in 100-ns units.
struct ProfileSettings {
  std::string name = "Video 320x240, 25 fps (300 kbit/s); audio stereo (64 kbit/s)";
  std::string description;
  bool hasVideo = true;
  std::string videoCodec = "wmv2";
  int width = 320, height = 240, fps = 25;
  LONG videoBitRate = 300'000;
  int quality = 75;
  int64_t maxKeyFrameSpacing = 80'000'000;
  bool hasAudio = true;
  std::string audioCodec = "wmav2";
  LONG audioBitRate = 64'000;
  int channels = 2;
  int sampleRate = 44'100;

  bool operator==(const ProfileSettings&) const = default;
};

// The XML text of a profile, one element per line, attributes in quotes.
std::string ProfileToXml(const ProfileSettings& p);
// False (and `out` unchanged) on text that is not a usable profile: no
// profile element, no stream, an unknown codec or a value out of range.
bool ProfileFromXml(const std::string& text, ProfileSettings& out);

// The system catalogue, in the order the profile manager lists it.
const std::vector<ProfileSettings>& SystemProfiles();

class Profile : public Object {
public:
  explicit Profile(ProfileSettings settings) : settings_(std::move(settings)) {}
  HRESULT GetName(std::string* name) const;
  const ProfileSettings& Settings() const { return settings_; }

private:
  ProfileSettings settings_;
};

class ProfileManager : public Object {
public:
  // Only version 8.0 of the catalogue exists.
  HRESULT SetSystemProfileVersion(DWORD version);
  HRESULT GetSystemProfileVersion(DWORD* version) const;
  HRESULT GetSystemProfileCount(DWORD* count) const;
  HRESULT LoadSystemProfile(DWORD index, std::shared_ptr<Profile>* profile) const;
  // Text that is not a profile gives an error and no profile.
  HRESULT LoadProfileByData(const std::string& text, std::shared_ptr<Profile>* profile) const;
  HRESULT SaveProfile(const std::shared_ptr<Profile>& profile, std::string* text) const;

private:
  DWORD version_ = 0x00080000;
};

HRESULT WMCreateProfileManager(std::shared_ptr<ProfileManager>* manager);

}  // namespace mg::wm
