#pragma once
// Small helpers the media graph tests share.
#include <cstring>
#include <memory>

#include "platform/mg/SystemFilters.h"

namespace mg::test {

inline constexpr REFERENCE_TIME kPeriod = 400'000;  // 25 frames per second

// Every byte of frame k is (k + offset) & 0xFF, so a buffer tells its frame.
inline FillFunction IndexFill(long bytes = -1) {
  return [bytes](uint8_t* buf, long size, int64_t k) {
    const long n = bytes < 0 ? size : bytes;
    std::memset(buf, static_cast<int>(k & 0xFF), static_cast<size_t>(n));
    return n;
  };
}

inline std::shared_ptr<CallbackSource> MakeSource(const GUID& subtype = MEDIASUBTYPE_RGB24, int w = 8, int h = 4,
                                                   FillFunction fill = IndexFill(),
                                                   const GUID& category = PIN_CATEGORY_CAPTURE) {
  return std::make_shared<CallbackSource>(MakeVideoType(subtype, w, h, kPeriod), kPeriod, std::move(fill), category);
}

// A graph on the manual scheduler.
struct ManualGraph {
  std::shared_ptr<FilterGraph> graph = FilterGraph::Create();
  std::shared_ptr<ManualScheduler> scheduler = std::make_shared<ManualScheduler>();
  ManualGraph() { graph->SetScheduler(scheduler); }
};

struct Event {
  long code;
  intptr_t p1, p2;
};
inline std::vector<Event> DrainEvents(FilterGraph& g) {
  std::vector<Event> list;
  Event e{};
  while (g.GetEvent(&e.code, &e.p1, &e.p2, 0) == S_OK) list.push_back(e);
  return list;
}

}  // namespace mg::test
