#pragma once
// The thumbnail view's background loading: the loaders at work and the
// scheduler thread that starts them. Everything here is guarded by the
// imaging component's global lock.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/imgkitio.h"
#include "imaging/views/ikmview.h"

namespace imaging {

struct TImgKitMView::Loader {
  // The reader goes first: freeing it waits for its worker thread, which
  // still writes into the bitmap until then.
  std::unique_ptr<TIKBitmap> bitmap;
  std::unique_ptr<TImgKitIO> io;
  String fileName;
  // Set by the completion, which runs once however the load ended.
  bool completed = false;
  ~Loader() {
    io.reset();
    bitmap.reset();
  }
};

// One per view. It waits on a condition with its own wake-up token, both
// under the global lock, so a request queued while it decides to go idle
// is never lost.
class TIKStarter {
public:
  explicit TIKStarter(TImgKitMView* view) : view_(view) {}
  ~TIKStarter() { Terminate(); }
  TIKStarter(const TIKStarter&) = delete;
  TIKStarter& operator=(const TIKStarter&) = delete;

  // Global lock held. Starts the thread on the first call.
  void Wake();
  // Stops the thread and waits for it (global lock not held).
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Global lock held by `lock`: waits until nothing is queued or loading.
  bool WaitIdle(std::unique_lock<std::recursive_mutex>& lock, std::chrono::milliseconds timeout);
  void NotifyIdle() { idle_.notify_all(); }

private:
  void Execute();

  TImgKitMView* view_;
  std::condition_variable_any wake_;
  std::condition_variable_any idle_;
  bool pending_ = false;
  bool terminated_ = false;
  std::thread thread_;
};

}  // namespace imaging
