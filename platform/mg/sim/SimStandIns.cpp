#include "platform/mg/sim/SimStandIns.h"

#include <sys/statvfs.h>

namespace mg {

namespace {
std::mutex& MixerMutex() {
  static std::mutex m;
  return m;
}
std::shared_ptr<SpeakerMixer>& CurrentMixer() {
  static std::shared_ptr<SpeakerMixer> m;
  return m;
}
}  // namespace

void SetSpeakerMixer(std::shared_ptr<SpeakerMixer> mixer) {
  std::lock_guard lock(MixerMutex());
  CurrentMixer() = std::move(mixer);
}

std::shared_ptr<SpeakerMixer> GetSpeakerMixer() {
  std::lock_guard lock(MixerMutex());
  return CurrentMixer();
}

}  // namespace mg

namespace mg::sim {

namespace {

// Whether `path` lies in `folder` (same text, or a '/' follows the folder).
size_t FolderMatch(const rtl::String& path, const rtl::String& folder) {
  rtl::String f = folder;
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  if (path.compare(0, f.size(), f) != 0) return 0;
  if (path.size() == f.size() || f == "/" || path[f.size()] == '/') return f.size() + 1;
  return 0;
}

template <class V>
const V* LongestMatch(const std::map<rtl::String, V>& table, const rtl::String& path) {
  const V* best = nullptr;
  size_t bestLen = 0;
  for (auto& [folder, v] : table) {
    const size_t len = FolderMatch(path, folder);
    if (len > bestLen) {
      bestLen = len;
      best = &v;
    }
  }
  return best;
}

bool RealSpace(const rtl::String& path, int64_t& freeBytes, int64_t& totalBytes) {
  rtl::String probe = path;
  struct statvfs st {};
  while (!probe.empty()) {
    if (::statvfs(probe.c_str(), &st) == 0) {
      freeBytes = static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
      totalBytes = static_cast<int64_t>(st.f_blocks) * static_cast<int64_t>(st.f_frsize);
      return true;
    }
    const size_t slash = probe.find_last_of('/');
    if (slash == rtl::String::npos) break;
    probe = slash == 0 ? rtl::String("/") : probe.substr(0, slash);
    if (probe == "/" && ::statvfs("/", &st) != 0) break;
  }
  return false;
}

std::mutex& DriveMutex() {
  static std::mutex m;
  return m;
}
std::map<rtl::String, rtl::TDriveKind>& DriveTable() {
  static std::map<rtl::String, rtl::TDriveKind> t;
  return t;
}

}  // namespace

bool SimSpeakerMixer::GetVolume(uint32_t* left, uint32_t* right) {
  std::lock_guard lock(mutex_);
  if (!present_ || !left || !right) return false;
  *left = left_;
  *right = right_;
  return true;
}

bool SimSpeakerMixer::SetVolume(uint32_t left, uint32_t right) {
  std::lock_guard lock(mutex_);
  if (!present_) return false;
  left_ = std::min<uint32_t>(left, 65535);
  right_ = std::min<uint32_t>(right, 65535);
  history_.emplace_back(left_, right_);
  return true;
}

void SimSpeakerMixer::SetPresent(bool present) {
  std::lock_guard lock(mutex_);
  present_ = present;
}

std::vector<std::pair<uint32_t, uint32_t>> SimSpeakerMixer::History() const {
  std::lock_guard lock(mutex_);
  return history_;
}

ScopedSpeakerMixer::ScopedSpeakerMixer(std::shared_ptr<SimSpeakerMixer> mixer)
    : mixer_(std::move(mixer)), previous_(GetSpeakerMixer()) {
  SetSpeakerMixer(mixer_);
}

ScopedSpeakerMixer::~ScopedSpeakerMixer() { SetSpeakerMixer(previous_); }

std::vector<win::MonitorLayout> SimMonitorLayout() {
  return {{{0, 0, 1280, 1024}, {0, 0, 1280, 1024}}, {{1280, 0, 2304, 768}, {1280, 0, 2304, 768}}};
}

ScopedMonitors::ScopedMonitors(std::vector<win::MonitorLayout> monitors) : previous_(win::GetMonitorLayout()) {
  win::SetMonitorLayout(monitors);
}

ScopedMonitors::~ScopedMonitors() { win::SetMonitorLayout(previous_); }

struct ScopedDiskSpace::State {
  std::mutex mutex;
  std::map<rtl::String, std::pair<int64_t, int64_t>> table;
};

ScopedDiskSpace::ScopedDiskSpace() : state_(std::make_shared<State>()) {
  std::shared_ptr<State> st = state_;
  rtl::SetDiskSpaceQuery([st](const rtl::String& path, int64_t& freeBytes, int64_t& totalBytes) {
    {
      std::lock_guard lock(st->mutex);
      if (auto* v = LongestMatch(st->table, path)) {
        freeBytes = v->first;
        totalBytes = v->second;
        return true;
      }
    }
    return RealSpace(path, freeBytes, totalBytes);
  });
}

ScopedDiskSpace::~ScopedDiskSpace() { rtl::SetDiskSpaceQuery(nullptr); }

void ScopedDiskSpace::Set(const rtl::String& folder, int64_t freeBytes, int64_t totalBytes) {
  std::lock_guard lock(state_->mutex);
  state_->table[folder] = {freeBytes, totalBytes};
}

rtl::TDriveKind DriveKindFor(const rtl::String& path) {
  {
    std::lock_guard lock(DriveMutex());
    if (auto* k = LongestMatch(DriveTable(), path)) return *k;
  }
  return rtl::DriveKindOf(path);
}

ScopedDriveKinds::ScopedDriveKinds() = default;

ScopedDriveKinds::~ScopedDriveKinds() {
  std::lock_guard lock(DriveMutex());
  DriveTable().clear();
}

void ScopedDriveKinds::Set(const rtl::String& folder, rtl::TDriveKind kind) {
  std::lock_guard lock(DriveMutex());
  DriveTable()[folder] = kind;
}

}  // namespace mg::sim
