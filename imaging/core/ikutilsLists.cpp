#include "imaging/core/ikutilsLists.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace imaging {

void TIKList::SetCount(int32_t count) {
  count = std::max(count, 0);
  items_.resize(static_cast<size_t>(count) * static_cast<size_t>(itemSize_));
  if (count == 0) items_.shrink_to_fit();
  count_ = count;
  changed_ |= 1;
}

void TIKList::Delete(int32_t index) {
  if (index < 0 || index >= count_) return;
  const auto at = items_.begin() + static_cast<int64_t>(index) * itemSize_;
  items_.erase(at, at + itemSize_);
  --count_;
  changed_ |= 1;
}

void TIKList::Clear() {
  items_.clear();
  items_.shrink_to_fit();
  count_ = 0;
  changed_ = 0;
}

void TIKList::Assign(const TIKList* source) {
  if (!source || source == this) return;
  items_ = source->items_;
  count_ = source->count_;
  itemSize_ = source->itemSize_;
  changed_ = source->changed_;
}

int32_t TIKList::Add(const void* item) {
  SetCount(count_ + 1);
  std::memcpy(ItemAddress(count_ - 1), item, static_cast<size_t>(itemSize_));
  return count_ - 1;
}

void TIKDoubleList::Clear() {
  TIKList::Clear();
  SetItemSize(sizeof(double));
  RangeMin = RangeMax = RangeStep = CurrentValue = 0;
}

void TIKDoubleList::Assign(const TIKList* source) {
  TIKList::Assign(source);
  if (const auto* list = dynamic_cast<const TIKDoubleList*>(source)) {
    RangeMin = list->RangeMin;
    RangeMax = list->RangeMax;
    RangeStep = list->RangeStep;
    CurrentValue = list->CurrentValue;
  }
}

void TIKIntegerList::Clear() {
  TIKList::Clear();
  SetItemSize(sizeof(int32_t));
  RangeMin = RangeMax = RangeStep = CurrentValue = 0;
}

void TIKIntegerList::Assign(const TIKList* source) {
  TIKList::Assign(source);
  if (const auto* list = dynamic_cast<const TIKIntegerList*>(source)) {
    RangeMin = list->RangeMin;
    RangeMax = list->RangeMax;
    RangeStep = list->RangeStep;
    CurrentValue = list->CurrentValue;
  }
}

double DistanceToLine(int32_t px, int32_t py, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  // In 64 bits: far points must give their distance, not an overflow.
  const int64_t numerator = std::llabs(int64_t{px} * (int64_t{y1} - y2) + (int64_t{x2} - x1) * py +
                                       int64_t{x1} * y2 - int64_t{x2} * y1);
  const double dy = static_cast<double>(int64_t{y1} - y2);
  const double dx = static_cast<double>(int64_t{x2} - x1);
  return static_cast<double>(numerator) / std::sqrt(dy * dy + dx * dx);
}

double DistanceToSegment(int32_t px, int32_t py, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  constexpr double kFar = 1000000;
  constexpr int64_t kLimit = 45000;
  const auto distance = [](int64_t ax, int64_t ay, int64_t bx, int64_t by) {
    const double dx = static_cast<double>(ax - bx), dy = static_cast<double>(ay - by);
    return std::sqrt(dx * dx + dy * dy);
  };
  const double d1 = distance(px, py, x1, y1);
  if (x1 == x2 && y1 == y2) return d1;
  const double sx = static_cast<double>(int64_t{x2} - x1), sy = static_cast<double>(int64_t{y2} - y1);
  const double t = (sy * (static_cast<double>(py) - y1) + (static_cast<double>(px) - x1) * sx) / (sx * sx + sy * sy);
  if (t > 1) {
    if (std::llabs(int64_t{px} - x2) <= kLimit && std::llabs(int64_t{py} - y2) <= kLimit) return distance(px, py, x2, y2);
    return kFar;
  }
  if (t >= 0) return DistanceToLine(px, py, x1, y1, x2, y2);
  if (std::llabs(int64_t{x1} - px) <= kLimit && std::llabs(int64_t{y1} - py) <= kLimit) return d1;
  return kFar;
}

bool DetectMmx() {
#if defined(__x86_64__) || defined(__i386__)
  return __builtin_cpu_supports("mmx");
#else
  return false;
#endif
}

}  // namespace imaging
