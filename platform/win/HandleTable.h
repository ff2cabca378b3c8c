#pragma once
// Handles are ids into tables of objects. The id carries the slot's
// generation, so a handle kept after its object was destroyed is recognised
// as stale and every call on it fails cleanly instead of touching freed
// memory.
//
// A value packs (generation << 20) | (slot + 1) in 31 bits, so it survives a
// round trip through a 32-bit signed integer (tags, window longs) and zero is
// never a valid handle.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace win {

template <class T>
class HandleTable {
public:
  static constexpr uint32_t kSlotBits = 20;
  static constexpr uint32_t kMaxSlots = (1u << kSlotBits) - 1;
  static constexpr uint32_t kGenerationMask = (1u << (31 - kSlotBits)) - 1;

  // Stores the object and returns its handle value, or 0 when the table is full.
  uintptr_t Add(std::shared_ptr<T> object) {
    std::lock_guard lock(mutex_);
    uint32_t slot;
    // Reuse slots first-in first-out so a freed handle value comes back as
    // late as possible.
    if (!free_.empty() && (free_.size() > 64 || slots_.size() >= kMaxSlots)) {
      slot = free_.front();
      free_.pop_front();
    } else if (slots_.size() < kMaxSlots) {
      slot = static_cast<uint32_t>(slots_.size());
      slots_.push_back({});
    } else {
      return 0;
    }
    Slot& s = slots_[slot];
    s.object = std::move(object);
    ++count_;
    return Encode(slot, s.generation);
  }

  // The object behind a handle value, or null when the value is stale or
  // was never issued.
  std::shared_ptr<T> Find(uintptr_t value) const {
    std::lock_guard lock(mutex_);
    const Slot* s = Lookup(value);
    return s ? s->object : nullptr;
  }

  bool Contains(uintptr_t value) const { return Find(value) != nullptr; }

  // Removes the object; returns it so the caller controls when it dies.
  std::shared_ptr<T> Remove(uintptr_t value) {
    std::lock_guard lock(mutex_);
    Slot* s = const_cast<Slot*>(Lookup(value));
    if (!s) return nullptr;
    std::shared_ptr<T> object = std::move(s->object);
    s->object.reset();
    s->generation = (s->generation + 1) & kGenerationMask;
    free_.push_back(SlotOf(value) - 1);
    --count_;
    return object;
  }

  size_t Count() const {
    std::lock_guard lock(mutex_);
    return count_;
  }

  // Calls f(value, object) for every live object, on a snapshot taken
  // under the lock so f may add and remove handles.
  template <class F>
  void ForEach(F&& f) const {
    std::vector<std::pair<uintptr_t, std::shared_ptr<T>>> live;
    {
      std::lock_guard lock(mutex_);
      for (uint32_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].object) live.emplace_back(Encode(i, slots_[i].generation), slots_[i].object);
    }
    for (auto& [v, o] : live) f(v, o);
  }

private:
  struct Slot {
    std::shared_ptr<T> object;
    uint32_t generation = 1;
  };

  static uintptr_t Encode(uint32_t slot, uint32_t generation) {
    return (static_cast<uintptr_t>(generation) << kSlotBits) | (slot + 1);
  }
  static uint32_t SlotOf(uintptr_t value) { return static_cast<uint32_t>(value & kMaxSlots); }
  static uint32_t GenerationOf(uintptr_t value) { return static_cast<uint32_t>(value >> kSlotBits); }

  const Slot* Lookup(uintptr_t value) const {
    if (value == 0 || value > 0x7FFFFFFF) return nullptr;
    const uint32_t slot = SlotOf(value);
    if (slot == 0 || slot > slots_.size()) return nullptr;
    const Slot& s = slots_[slot - 1];
    if (!s.object || s.generation != GenerationOf(value)) return nullptr;
    return &s;
  }

  mutable std::mutex mutex_;
  std::vector<Slot> slots_;
  std::deque<uint32_t> free_;
  size_t count_ = 0;
};

}  // namespace win
