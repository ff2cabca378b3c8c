#pragma once
// The speaker line of the default sound card: the "Master" playback volume
// of its simple mixer, or "PCM" where there is no master, scaled to
// 0..65535 per channel.
#include <memory>
#include <mutex>
#include <string>

#include "platform/mg/sim/SimStandIns.h"

namespace mg::alsa {

class AlsaSpeakerMixer : public SpeakerMixer {
public:
  // `device` is a control device ("default", "hw:0").
  explicit AlsaSpeakerMixer(std::string device = "default");
  ~AlsaSpeakerMixer() override;
  bool GetVolume(uint32_t* left, uint32_t* right) override;
  bool SetVolume(uint32_t left, uint32_t right) override;

private:
  // Opens the mixer on first use, and again after a card went away.
  void* Element();
  void Close();
  std::mutex mutex_;
  std::string device_;
  void* mixer_ = nullptr;  // snd_mixer_t*
  void* elem_ = nullptr;   // snd_mixer_elem_t*
};

}  // namespace mg::alsa
