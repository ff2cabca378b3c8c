#pragma once
// Routing of an analog card's connectors through its crossbars: the names
// of the connectors, the routing of a whole crossbar as a short text, and
// the routes through a chain of crossbars that lead to the capture
// filter's analog video input.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/mg/Filter.h"
#include "platform/mg/Interfaces.h"
#include "platform/rtl/Types.h"

namespace capture {

using rtl::String;

// The name of a physical connector type; empty for types without one.
String GetConnectorName(int32_t Type);
// Types below 4096 are video connectors.
inline bool IsVideoConnector(int32_t Type) { return Type < 4096; }

// "N!i0!i1!...": the output count, then the input routed to each output.
String GetCrossbarRouting(mg::IAMCrossbar* Crossbar);
// Applies a routing text; a text that does not fit the crossbar (another
// output count, an unreadable number, an input pin it does not have)
// changes nothing. False only for a text that named a missing input pin.
bool SetCrossbarRouting(mg::IAMCrossbar* Crossbar, const String& Text);

// The video input names, one per line (CR LF between them), and the
// crossbar input pin behind each name, in list order.
struct TVideoInputList {
  String Names;
  std::vector<int32_t> PinIndexes;
};
TVideoInputList ListCrossbarVideoInputs(mg::IAMCrossbar* Crossbar);

// One step of a route, on one crossbar.
struct TRouting {
  std::shared_ptr<mg::IAMCrossbar> Crossbar;
  int32_t VideoInputIndex = -1;
  int32_t VideoOutputIndex = -1;
  // The pins related to the video pins; -1 when there is none.
  int32_t AudioInputIndex = -1;
  int32_t AudioOutputIndex = -1;
  int32_t InputPhysicalType = 0;
  int32_t OutputPhysicalType = 0;
  // 0 for the crossbar that feeds the capture filter, one more per
  // crossbar further upstream.
  int32_t Depth = 0;
};

class TCrossbarTree {
public:
  // Collects every route that ends at a connector, starting from the
  // capture filter's analog video input.
  explicit TCrossbarTree(std::shared_ptr<mg::Pin> StartPin);

  // Applies the first route whose step on the crossbar next to the capture
  // filter uses the input type that crossbar routes now.
  mg::HRESULT RouteCurrentInputType(mg::IAMCrossbar* Crossbar);
  // S_OK when at least one step routed both its video and its audio pins.
  mg::HRESULT ApplyRoute(int32_t Index);

  int32_t RouteCount() const { return static_cast<int32_t>(routes_.size()); }
  // A route's steps, from the connector's crossbar down to depth 0.
  const std::vector<TRouting>& Route(int32_t Index) const { return routes_.at(static_cast<size_t>(Index)); }
  int32_t CurrentRoute() const { return current_; }

private:
  enum class TCollect { Failed, ConnectorEnd, Crossbar };
  TCollect Collect(const std::shared_ptr<mg::Pin>& InputPin, int32_t Depth, std::vector<TRouting>& Chain);

  std::shared_ptr<mg::Pin> start_;
  std::vector<std::vector<TRouting>> routes_;
  int32_t current_ = 0;
};

}  // namespace capture
