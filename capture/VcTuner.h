#pragma once
// The TV tuner: tuning a channel with the auto-tune table and the user's
// frequency overrides, the channel scan and its step thread, and the
// tuner state read from and put back on the device.
#include <cstdint>
#include <memory>

#include "capture/VcRegistry.h"
#include "capture/VcWorker.h"

namespace capture {

// "\Software\Microsoft\TV System Services\TVAutoTune\TS<country>-<1 - input type>\".
String AutoTuneKeyPath(int32_t Country, int32_t InputType);
// The key under the local machine, created when missing; nullptr when it
// cannot be opened.
std::unique_ptr<TRegistry2> OpenAutoTuneKey(int32_t Country, int32_t InputType);
// The frequency of a channel in the key's "AutoTune" pairs; -1 when none.
int32_t ReadAutoTuneFrequency(TRegistry2& Registry, int32_t Channel);
// The frequency of a channel in the pairs of an "AutoTune" value of `Size`
// bytes (whole pairs only); -1 when none.
int32_t AutoTuneFrequencyIn(const uint8_t* Data, int32_t Size, int32_t Channel);

// The step thread of the channel scan: one scan step per cycle while a
// scan runs; it stops itself when none does.
class TAutoTuningStepThread : public TVidCapThread {
public:
  TAutoTuningStepThread(const String& Name, int Mode, TVidCap* Owner, int Period)
      : TVidCapThread(Name, Mode, Owner, Period) {}
  ~TAutoTuningStepThread() override { EndThread(); }

protected:
  void Execute() override;
  void TimerTick(forms::TObject* Sender) override;

private:
  // False once the thread has nothing more to do.
  bool Cycle();
};

inline constexpr int32_t kChannelScanStepPeriod = 200;

}  // namespace capture
