#include "platform/mg/alsa/AlsaSpeakerMixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>

namespace mg::alsa {

AlsaSpeakerMixer::AlsaSpeakerMixer(std::string device) : device_(std::move(device)) {}

AlsaSpeakerMixer::~AlsaSpeakerMixer() {
  std::lock_guard lock(mutex_);
  Close();
}

void AlsaSpeakerMixer::Close() {
  if (mixer_) snd_mixer_close(static_cast<snd_mixer_t*>(mixer_));
  mixer_ = nullptr;
  elem_ = nullptr;
}

void* AlsaSpeakerMixer::Element() {
  if (elem_) {
    // Events tell the mixer about a removed card; a stale element is dropped.
    if (snd_mixer_handle_events(static_cast<snd_mixer_t*>(mixer_)) >= 0) return elem_;
    Close();
  }
  snd_mixer_t* m = nullptr;
  if (snd_mixer_open(&m, 0) < 0) return nullptr;
  if (snd_mixer_attach(m, device_.c_str()) < 0 || snd_mixer_selem_register(m, nullptr, nullptr) < 0 ||
      snd_mixer_load(m) < 0) {
    snd_mixer_close(m);
    return nullptr;
  }
  for (const char* name : {"Master", "PCM"}) {
    snd_mixer_selem_id_t* id;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_name(id, name);
    snd_mixer_elem_t* e = snd_mixer_find_selem(m, id);
    if (e && snd_mixer_selem_has_playback_volume(e)) {
      mixer_ = m;
      elem_ = e;
      return e;
    }
  }
  snd_mixer_close(m);
  return nullptr;
}

bool AlsaSpeakerMixer::GetVolume(uint32_t* left, uint32_t* right) {
  if (!left || !right) return false;
  std::lock_guard lock(mutex_);
  auto* e = static_cast<snd_mixer_elem_t*>(Element());
  if (!e) return false;
  long lo = 0, hi = 0, l = 0, r = 0;
  snd_mixer_selem_get_playback_volume_range(e, &lo, &hi);
  if (hi <= lo || snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &l) < 0) return false;
  if (snd_mixer_selem_is_playback_mono(e) || snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_RIGHT, &r) < 0)
    r = l;
  auto scale = [&](long v) {
    return static_cast<uint32_t>(std::lround(double(std::clamp(v, lo, hi) - lo) * 65535.0 / double(hi - lo)));
  };
  *left = scale(l);
  *right = scale(r);
  return true;
}

bool AlsaSpeakerMixer::SetVolume(uint32_t left, uint32_t right) {
  std::lock_guard lock(mutex_);
  auto* e = static_cast<snd_mixer_elem_t*>(Element());
  if (!e) return false;
  long lo = 0, hi = 0;
  snd_mixer_selem_get_playback_volume_range(e, &lo, &hi);
  if (hi <= lo) return false;
  auto raw = [&](uint32_t v) { return lo + std::lround(double(std::min<uint32_t>(v, 65535)) * double(hi - lo) / 65535.0); };
  if (snd_mixer_selem_is_playback_mono(e))
    return snd_mixer_selem_set_playback_volume_all(e, raw(std::max(left, right))) >= 0;
  return snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, raw(left)) >= 0 &&
         snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_RIGHT, raw(right)) >= 0;
}

}  // namespace mg::alsa
