#pragma once
// Who calls the sources. The threaded scheduler gives each source its own
// streaming thread while the graph runs; the manual one makes samples only
// when a test pumps it, on the test's thread, stamped from its own clock,
// so every frame and event is reproducible.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/mg/Filter.h"

namespace mg {

struct ScheduledSource {
  std::shared_ptr<BaseFilter> filter;  // keeps the source alive while it streams
  StreamSource* source = nullptr;
  // False in a graph that runs without a clock (SetSyncSource(nullptr)):
  // its sources push as fast as downstream takes the samples, as a file
  // conversion wants.
  bool paced = true;
};

class Scheduler {
public:
  virtual ~Scheduler() = default;
  // The graph started running at clock time `start` (stream time 0).
  virtual void Start(std::vector<ScheduledSource> sources, std::shared_ptr<ReferenceClock> clock,
                     REFERENCE_TIME start) = 0;
  // No source is called after Stop returns, except that a streaming thread
  // inside user code (a grabber callback) finishes that call first; Stop
  // does not wait for it, so a callback blocked on a lock the stopping
  // thread holds cannot deadlock the two.
  virtual void Stop() = 0;
  // The clock the graph should use with this scheduler, if it brings one.
  virtual std::shared_ptr<ReferenceClock> PreferredClock() { return nullptr; }
  // Waits for streaming threads Stop left inside user code. The graph
  // calls it before it lets go of filters (RemoveFilter, its release, the
  // next Run): a callback still running must not outlive its filter.
  virtual void Join() {}
};

// Marks a stretch of a streaming thread as user code (see Scheduler::Stop).
// Harmless on threads no scheduler started.
class UserCodeScope {
public:
  UserCodeScope();
  ~UserCodeScope();
  UserCodeScope(const UserCodeScope&) = delete;
  UserCodeScope& operator=(const UserCodeScope&) = delete;

private:
  void* worker_;
};

// A streaming thread may itself stop the graph or let it go (from a
// callback): it never waits for itself, and what it still runs on (the
// scheduler's lock, its own record) lives as long as the thread.
class ThreadedScheduler : public Scheduler {
public:
  ThreadedScheduler();
  ~ThreadedScheduler() override;
  void Start(std::vector<ScheduledSource> sources, std::shared_ptr<ReferenceClock> clock,
             REFERENCE_TIME start) override;
  void Stop() override;
  void Join() override { JoinLingering(); }
  // Threads that were inside user code when Stop returned, not joined yet.
  size_t LingeringThreads();

  struct Shared;
  struct Worker;

private:
  static void Loop(std::shared_ptr<Shared> shared, std::shared_ptr<Worker> w, ScheduledSource src,
                   std::shared_ptr<ReferenceClock> clock, REFERENCE_TIME start);
  void JoinLingering();

  std::shared_ptr<Shared> shared_;
  std::vector<std::shared_ptr<Worker>> workers_;    // guarded by shared_->mutex
  std::vector<std::shared_ptr<Worker>> lingering_;  // guarded by shared_->mutex
};

class ManualScheduler : public Scheduler {
public:
  ManualScheduler();
  void Start(std::vector<ScheduledSource> sources, std::shared_ptr<ReferenceClock> clock,
             REFERENCE_TIME start) override;
  void Stop() override;
  std::shared_ptr<ReferenceClock> PreferredClock() override { return clock_; }

  // n rounds; in each, every source in the order the graph holds them makes
  // one sample at its next frame time (frame index x period), with the
  // clock set to that time first. Returns the samples made.
  int Pump(int rounds = 1);
  // Makes every sample due before stream time `t`, earliest first.
  int AdvanceTo(REFERENCE_TIME t);
  std::shared_ptr<ManualClock> Clock() const { return clock_; }
  bool Running() const { return running_; }
  REFERENCE_TIME StreamTime() const { return clock_->Current() - start_; }

private:
  struct Entry {
    ScheduledSource src;
    int64_t frame = 0;
    bool ended = false;
  };
  bool PushEntry(Entry& e);

  std::shared_ptr<ManualClock> clock_;
  std::vector<Entry> entries_;
  REFERENCE_TIME start_ = 0;
  bool running_ = false;
};

}  // namespace mg
