#include "platform/mg/Scheduler.h"

#include <algorithm>
#include <chrono>

namespace mg {

struct ThreadedScheduler::Shared {
  std::mutex mutex;
  std::condition_variable changed;
};

struct ThreadedScheduler::Worker {
  std::thread thread;
  std::thread::id id;     // set before the thread starts
  Shared* shared = nullptr;
  bool finished = false;  // guarded by shared->mutex
  int inUserCode = 0;     // guarded by shared->mutex
  bool stop = false;      // guarded by shared->mutex
};

namespace {
thread_local ThreadedScheduler::Worker* tlsWorker = nullptr;
}

// ---- UserCodeScope ----------------------------------------------------------------

UserCodeScope::UserCodeScope() : worker_(tlsWorker) {
  if (auto* w = static_cast<ThreadedScheduler::Worker*>(worker_)) {
    std::lock_guard lock(w->shared->mutex);
    ++w->inUserCode;
    w->shared->changed.notify_all();
  }
}

UserCodeScope::~UserCodeScope() {
  if (auto* w = static_cast<ThreadedScheduler::Worker*>(worker_)) {
    std::lock_guard lock(w->shared->mutex);
    --w->inUserCode;
  }
}

// ---- ThreadedScheduler ----------------------------------------------------------------

ThreadedScheduler::ThreadedScheduler() : shared_(std::make_shared<Shared>()) {}

ThreadedScheduler::~ThreadedScheduler() {
  Stop();
  JoinLingering();
}

void ThreadedScheduler::Start(std::vector<ScheduledSource> sources, std::shared_ptr<ReferenceClock> clock,
                              REFERENCE_TIME start) {
  Stop();
  JoinLingering();
  if (!clock) clock = std::make_shared<SystemReferenceClock>();
  std::lock_guard lock(shared_->mutex);
  for (auto& s : sources) {
    auto w = std::make_shared<Worker>();
    w->shared = shared_.get();
    // The thread waits for the lock we hold, so it sees its id set.
    w->thread = std::thread(&ThreadedScheduler::Loop, shared_, w, s, clock, start);
    w->id = w->thread.get_id();
    workers_.push_back(std::move(w));
  }
}

void ThreadedScheduler::Loop(std::shared_ptr<Shared> shared, std::shared_ptr<Worker> w, ScheduledSource src,
                             std::shared_ptr<ReferenceClock> clock, REFERENCE_TIME start) {
  tlsWorker = w.get();
  const REFERENCE_TIME period = src.source->FramePeriod();
  int64_t frame = 0;
  for (;;) {
    REFERENCE_TIME t = 0;
    {
      std::unique_lock lock(shared->mutex);
      if (period > 0) {
        t = frame * period;
        // Paced on the graph clock; re-read it often, since a test's
        // virtual clock moves without waking anyone.
        for (;;) {
          if (w->stop || !src.paced) break;
          const REFERENCE_TIME now = clock->Now() - start;
          if (now >= t) break;
          const auto wait = std::chrono::milliseconds(std::clamp<REFERENCE_TIME>((t - now) / MILLISECONDS, 1, 10));
          shared->changed.wait_for(lock, wait);
        }
      } else {
        t = clock->Now() - start;
      }
      if (w->stop) break;
    }
    const HRESULT hr = src.source->PushOne(t);
    ++frame;
    if (hr != S_OK) break;
  }
  tlsWorker = nullptr;
  src = ScheduledSource{};  // let the source go before saying we are done
  std::lock_guard lock(shared->mutex);
  w->finished = true;
  shared->changed.notify_all();
}

void ThreadedScheduler::Stop() {
  std::vector<std::shared_ptr<Worker>> done;
  {
    std::unique_lock lock(shared_->mutex);
    for (auto& w : workers_) w->stop = true;
    shared_->changed.notify_all();
    const auto self = std::this_thread::get_id();
    for (auto& w : workers_) {
      // Wait for the thread to end, unless it sits in user code, which may
      // be waiting for a lock our caller holds, or it is our caller.
      shared_->changed.wait(lock, [&] { return w->finished || w->inUserCode > 0 || w->id == self; });
      if (w->finished)
        done.push_back(std::move(w));
      else
        lingering_.push_back(std::move(w));
    }
    workers_.clear();
  }
  for (auto& w : done) w->thread.join();
}

void ThreadedScheduler::JoinLingering() {
  std::vector<std::shared_ptr<Worker>> list;
  {
    std::lock_guard lock(shared_->mutex);
    list.swap(lingering_);
  }
  for (auto& w : list) {
    if (w->id == std::this_thread::get_id())
      w->thread.detach();  // its own record and the lock stay alive with it
    else
      w->thread.join();
  }
}

size_t ThreadedScheduler::LingeringThreads() {
  std::lock_guard lock(shared_->mutex);
  size_t n = 0;
  for (auto& w : lingering_)
    if (!w->finished) ++n;
  return n;
}

// ---- ManualScheduler ----------------------------------------------------------------------

ManualScheduler::ManualScheduler() : clock_(std::make_shared<ManualClock>()) {}

void ManualScheduler::Start(std::vector<ScheduledSource> sources, std::shared_ptr<ReferenceClock>,
                            REFERENCE_TIME start) {
  entries_.clear();
  for (auto& s : sources) entries_.push_back(Entry{std::move(s), 0, false});
  start_ = start;
  running_ = true;
}

void ManualScheduler::Stop() {
  running_ = false;
  entries_.clear();
}

bool ManualScheduler::PushEntry(Entry& e) {
  const REFERENCE_TIME period = e.src.source->FramePeriod();
  REFERENCE_TIME t = period > 0 ? e.frame * period : StreamTime();
  if (clock_->Current() < start_ + t) clock_->Set(start_ + t);
  const HRESULT hr = e.src.source->PushOne(t);
  ++e.frame;
  if (hr != S_OK) e.ended = true;
  return true;
}

int ManualScheduler::Pump(int rounds) {
  int made = 0;
  for (int r = 0; r < rounds && running_; ++r) {
    for (size_t i = 0; i < entries_.size() && running_; ++i) {
      if (entries_[i].ended) continue;
      PushEntry(entries_[i]);
      ++made;
    }
  }
  return made;
}

int ManualScheduler::AdvanceTo(REFERENCE_TIME t) {
  int made = 0;
  while (running_) {
    Entry* next = nullptr;
    REFERENCE_TIME best = MAX_TIME;
    for (auto& e : entries_) {
      const REFERENCE_TIME period = e.src.source->FramePeriod();
      if (e.ended || period <= 0) continue;
      const REFERENCE_TIME due = e.frame * period;
      if (due < t && due < best) {
        best = due;
        next = &e;
      }
    }
    if (!next) break;
    PushEntry(*next);
    ++made;
  }
  if (running_ && clock_->Current() < start_ + t) clock_->Set(start_ + t);
  return made;
}

}  // namespace mg
