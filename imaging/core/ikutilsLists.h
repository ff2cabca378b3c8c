#pragma once
// Small value collections of the imaging component: fixed-size items in one
// contiguous block (so a list can be handed on as a plain array), the
// scroll-bar and mouse-wheel setting records of the views, and the distance
// routines behind the views' hit tests.
#include <cstdint>
#include <vector>

namespace imaging {

class TIKList {
public:
  TIKList() { TIKList::Clear(); }
  virtual ~TIKList() = default;
  TIKList(const TIKList&) = delete;
  TIKList& operator=(const TIKList&) = delete;

  virtual void SetCount(int32_t count);
  // Indexes outside the list are ignored.
  virtual void Delete(int32_t index);
  virtual void Clear();
  virtual void Assign(const TIKList* source);

  // Appends a copy of ItemSize bytes and returns its index.
  int32_t Add(const void* item);
  // No range check: callers stay within Count.
  uint8_t* ItemAddress(int32_t index) { return items_.data() + static_cast<int64_t>(index) * itemSize_; }
  // Null when the list is empty.
  uint8_t* Items() { return items_.empty() ? nullptr : items_.data(); }

  int32_t Count() const { return count_; }
  int32_t ItemSize() const { return itemSize_; }
  // Bit 0 is set by every change of the items and cleared only by Clear.
  uint8_t Changed() const { return changed_; }
  void SetChanged(uint8_t flags) { changed_ = flags; }

protected:
  void SetItemSize(int32_t size) { itemSize_ = size; }

private:
  std::vector<uint8_t> items_;
  int32_t count_ = 0;
  int32_t itemSize_ = 0;
  uint8_t changed_ = 0;
};

class TIKDoubleList : public TIKList {
public:
  TIKDoubleList() { TIKDoubleList::Clear(); }
  void Clear() override;
  void Assign(const TIKList* source) override;
  double& operator[](int32_t index) { return reinterpret_cast<double*>(ItemAddress(0))[index]; }
  int32_t Add(double value) { return TIKList::Add(&value); }

  double RangeMin = 0;
  double RangeMax = 0;
  double RangeStep = 0;
  double CurrentValue = 0;
};

class TIKIntegerList : public TIKList {
public:
  TIKIntegerList() { TIKIntegerList::Clear(); }
  void Clear() override;
  void Assign(const TIKList* source) override;
  int32_t& operator[](int32_t index) { return reinterpret_cast<int32_t*>(ItemAddress(0))[index]; }
  int32_t Add(int32_t value) { return TIKList::Add(&value); }

  int32_t RangeMin = 0;
  int32_t RangeMax = 0;
  int32_t RangeStep = 0;
  int32_t CurrentValue = 0;
};

class TIKRecordList : public TIKList {
public:
  explicit TIKRecordList(int32_t itemSize) { SetItemSize(itemSize); }
  uint8_t* GetItem(int32_t index) { return ItemAddress(index); }
  int32_t AddItem(const void* record) { return Add(record); }
};

struct TIKScrollBarParams {
  int32_t LineStep = -1;  // -1: automatic
  int32_t PageStep = -1;  // -1: automatic
  bool Tracking = true;
};

struct TIKMouseWheelParams {
  bool Inverted = false;
  uint8_t Action = 2;         // 0 none, 1 scroll, 2 zoom
  uint8_t VariationKind = 1;  // 0 absolute, 1 percent
  int32_t Variation = 8;
  bool ZoomAtCursor = false;
};

// Distance from a point to the infinite line through two points.
double DistanceToLine(int32_t px, int32_t py, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// Distance from a point to a segment; 1000000 stands for a point far away
// beyond an end.
double DistanceToSegment(int32_t px, int32_t py, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
bool DetectMmx();

}  // namespace imaging
