#pragma once
// The threads a worker's timer starts: each tick runs the work on a thread
// of its own, finished ones are joined at the next tick, and the owner
// waits for all of them before it goes, so no run outlives the worker.
#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace alarms {

class TWorkerRuns {
public:
  TWorkerRuns() = default;
  ~TWorkerRuns() { WaitForRuns(); }
  TWorkerRuns(const TWorkerRuns&) = delete;
  TWorkerRuns& operator=(const TWorkerRuns&) = delete;

  void Start(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    for (auto it = runs_.begin(); it != runs_.end();) {
      if (it->done) {
        it->thread.join();
        it = runs_.erase(it);
      } else {
        ++it;
      }
    }
    Run& run = runs_.emplace_back();
    run.thread = std::thread([work = std::move(work), &run] {
      work();
      run.done = true;
    });
  }

  // Whether a run is still on.
  bool Busy() {
    std::lock_guard lock(mutex_);
    for (const auto& r : runs_)
      if (!r.done) return true;
    return false;
  }

  // Waits for every run started so far; runs started meanwhile are waited
  // for by the next call.
  void WaitForRuns() {
    std::list<Run> runs;
    {
      std::lock_guard lock(mutex_);
      runs.splice(runs.end(), runs_);
    }
    for (auto& r : runs) r.thread.join();
  }

private:
  struct Run {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  std::mutex mutex_;
  std::list<Run> runs_;
};

}  // namespace alarms
