#pragma once
// Stand-ins for the machine around the capture devices, which tests set to
// what they need: the speaker mixer, the monitors, free disk space and the
// kind of drive a path is on.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/rtl/Files.h"
#include "platform/win/Monitors.h"

namespace mg {

// The sound card's speaker line: a volume per channel, 0..65535, left first.
class SpeakerMixer {
public:
  virtual ~SpeakerMixer() = default;
  // False when there is no mixer or no speaker line.
  virtual bool GetVolume(uint32_t* left, uint32_t* right) = 0;
  virtual bool SetVolume(uint32_t left, uint32_t right) = 0;
};

// The mixer the program uses; nullptr (the default until a backend or a
// test installs one) means there is none.
void SetSpeakerMixer(std::shared_ptr<SpeakerMixer> mixer);
std::shared_ptr<SpeakerMixer> GetSpeakerMixer();

}  // namespace mg

namespace mg::sim {

// A speaker mixer that keeps its volume and records every value set.
class SimSpeakerMixer : public SpeakerMixer {
public:
  SimSpeakerMixer(uint32_t left = 50000, uint32_t right = 50000) : left_(left), right_(right) {}
  bool GetVolume(uint32_t* left, uint32_t* right) override;
  bool SetVolume(uint32_t left, uint32_t right) override;
  // Without a speaker line every call fails.
  void SetPresent(bool present);
  std::vector<std::pair<uint32_t, uint32_t>> History() const;

private:
  mutable std::mutex mutex_;
  bool present_ = true;
  uint32_t left_, right_;
  std::vector<std::pair<uint32_t, uint32_t>> history_;
};

// Installs a simulated mixer for its lifetime.
class ScopedSpeakerMixer {
public:
  explicit ScopedSpeakerMixer(std::shared_ptr<SimSpeakerMixer> mixer = std::make_shared<SimSpeakerMixer>());
  ~ScopedSpeakerMixer();
  ScopedSpeakerMixer(const ScopedSpeakerMixer&) = delete;
  ScopedSpeakerMixer& operator=(const ScopedSpeakerMixer&) = delete;
  SimSpeakerMixer& mixer() { return *mixer_; }

private:
  std::shared_ptr<SimSpeakerMixer> mixer_;
  std::shared_ptr<SpeakerMixer> previous_;
};

// The simulated monitor list: a 1280x1024 primary monitor and a 1024x768
// one to its right, unless given others. Restores the previous list.
std::vector<win::MonitorLayout> SimMonitorLayout();
class ScopedMonitors {
public:
  explicit ScopedMonitors(std::vector<win::MonitorLayout> monitors = SimMonitorLayout());
  ~ScopedMonitors();
  ScopedMonitors(const ScopedMonitors&) = delete;
  ScopedMonitors& operator=(const ScopedMonitors&) = delete;

private:
  std::vector<win::MonitorLayout> previous_;
};

// Free and total bytes per folder (the longest matching folder wins; other
// paths keep their real values) through rtl's disk-space hook.
class ScopedDiskSpace {
public:
  ScopedDiskSpace();
  ~ScopedDiskSpace();
  ScopedDiskSpace(const ScopedDiskSpace&) = delete;
  ScopedDiskSpace& operator=(const ScopedDiskSpace&) = delete;
  void Set(const rtl::String& folder, int64_t freeBytes, int64_t totalBytes);

private:
  struct State;
  std::shared_ptr<State> state_;
};

// The drive kind of a path as the capture code should ask it: a kind set
// for a folder in the scope below, or else rtl::DriveKindOf.
rtl::TDriveKind DriveKindFor(const rtl::String& path);
class ScopedDriveKinds {
public:
  ScopedDriveKinds();
  ~ScopedDriveKinds();
  ScopedDriveKinds(const ScopedDriveKinds&) = delete;
  ScopedDriveKinds& operator=(const ScopedDriveKinds&) = delete;
  void Set(const rtl::String& folder, rtl::TDriveKind kind);
};

}  // namespace mg::sim
