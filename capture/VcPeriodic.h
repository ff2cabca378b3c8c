#pragma once
// What the notification worker does each cycle while a graph is active:
// frame counts and frame progress, the re-encoding percentage and the
// polling of a DV tape transport. The counters live in the engine.
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/mg/Graph.h"
#include "platform/mg/Interfaces.h"

namespace capture {

struct TPeriodicState {
  // Keeps a pass from starting inside another (a handler that pumps
  // messages in timer mode).
  bool Busy = false;
  // The capture filter's frame counters, when it has them.
  std::shared_ptr<mg::IAMDroppedFrames> DroppedFrames;
  // The delivered count seen last; frame progress follows its changes.
  int32_t LastDelivered = 0;
  // Set by the graph build when frames are not grabbed: progress then
  // follows the delivered count.
  bool FrameGrabberDisabled = false;
  // Left by the frame callback (a streaming thread) when it delivered a
  // frame.
  std::atomic<bool> NewFrame{false};
  // Cycles since the re-encoding percentage was last computed.
  int32_t ProgressCycles = 0;
  // The graph whose position the re-encoding percentage follows, and
  // whether the job is a copy of preallocated data.
  std::shared_ptr<mg::IMediaSeeking> ProgressSeeking;
  bool CopyingPreallocData = false;
  int32_t LastPercent = -1;
  // The tape transport of a DV device, polled every 10th call.
  std::shared_ptr<mg::IAMExtTransport> ExtTransport;
  int32_t DVPollCount = 0;
  int32_t LastTransportMode = -1;
  int32_t TransportState = -1;

  // The per-run part: counts and trackers back to their start.
  void ResetRunCounters() {
    LastDelivered = 0;
    NewFrame = false;
    ProgressCycles = 0;
    LastPercent = -1;
  }
};

// Calls between two reads of the DV transport mode and cycles between two
// computations of the re-encoding percentage.
inline constexpr int32_t kDVPollEvery = 10;
inline constexpr int32_t kProgressEvery = 11;

}  // namespace capture
