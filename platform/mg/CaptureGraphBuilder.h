#pragma once
// The capture graph builder: builds the usual capture branches on a graph
// (preview through a Smart Tee when the device has no preview pin, file
// output through a mux and a writer), finds pins by category, and finds
// interfaces upstream and downstream of a filter.
#include <functional>
#include <memory>

#include "platform/mg/Graph.h"

namespace mg {

// A device whose analog inputs come from companion filters (crossbars,
// tuner, TV audio), as a capture card's driver provides them. The builder
// asks it to add and connect them before it renders the device or looks
// upstream of it; the device adds them once.
class IUpstreamCompanions {
public:
  virtual ~IUpstreamCompanions() = default;
  virtual HRESULT AddUpstreamFilters(FilterGraph& graph) = 0;
};

class CaptureGraphBuilder : public Object {
public:
  static std::shared_ptr<CaptureGraphBuilder> Create() { return std::make_shared<CaptureGraphBuilder>(); }

  HRESULT SetFiltergraph(std::shared_ptr<FilterGraph> graph);
  // Makes a graph when none was set.
  HRESULT GetFiltergraph(std::shared_ptr<FilterGraph>* graph);

  // Avi: AVI mux + file writer; Asf: the ASF writer; any other type is the
  // class id of a mux. Both filters are added to the graph.
  HRESULT SetOutputFileName(const GUID* pType, const std::string& fileName, std::shared_ptr<BaseFilter>* ppf,
                            std::shared_ptr<IFileSinkFilter>* ppSink);

  // With a pin category: the output pin of that category, then downstream
  // of it. Without a category: `pf`, its pins, then upstream, then
  // downstream. LOOK_UPSTREAM_ONLY / LOOK_DOWNSTREAM_ONLY search only the
  // filters on that side, not `pf` itself (so a second crossbar is found
  // upstream of the first).
  template <class I>
  HRESULT FindInterface(const GUID* pCategory, const GUID* pType, const std::shared_ptr<BaseFilter>& pf,
                        std::shared_ptr<I>* out) {
    if (!out) return E_POINTER;
    std::shared_ptr<Object> found;
    const HRESULT hr = FindObject(pCategory, pType, pf,
                                  [](const std::shared_ptr<Object>& o) { return mg::QueryInterface<I>(o) != nullptr; },
                                  &found);
    *out = found ? mg::QueryInterface<I>(found) : nullptr;
    return hr;
  }
  HRESULT FindObject(const GUID* pCategory, const GUID* pType, const std::shared_ptr<BaseFilter>& pf,
                     const std::function<bool(const std::shared_ptr<Object>&)>& has, std::shared_ptr<Object>* found);

  // The source is a filter or one of its output pins. A preview request
  // on a filter without a preview pin puts a Smart Tee on its capture pin
  // and answers VFW_S_NOPREVIEWPIN.
  HRESULT RenderStream(const GUID* pCategory, const GUID* pType, const std::shared_ptr<Object>& pSource,
                       const std::shared_ptr<BaseFilter>& pIntermediate, const std::shared_ptr<BaseFilter>& pSink);

  // Start and stop times for the output pins of `pFilter` (every filter in
  // the graph when null) of that category and type.
  HRESULT ControlStream(const GUID* pCategory, const GUID* pType, const std::shared_ptr<BaseFilter>& pFilter,
                        const REFERENCE_TIME* pstart, const REFERENCE_TIME* pstop, uint16_t wStartCookie,
                        uint16_t wStopCookie);

  HRESULT FindPin(const std::shared_ptr<Object>& pSource, PIN_DIRECTION pindir, const GUID* pCategory,
                  const GUID* pType, BOOL fUnconnected, int num, std::shared_ptr<Pin>* ppPin);

  HRESULT AllocCapFile(const std::string&, uint64_t) { return E_NOTIMPL; }
  HRESULT CopyCaptureFile(const std::string&, const std::string&, int, void*) { return E_NOTIMPL; }

private:
  std::shared_ptr<FilterGraph> Graph();
  void AddCompanions(const std::shared_ptr<BaseFilter>& filter);
  HRESULT ConnectToFree(const std::shared_ptr<Pin>& out, BaseFilter& to);
  std::shared_ptr<Pin> SourcePin(const GUID* pCategory, const GUID* pType, const std::shared_ptr<Object>& source,
                                 bool* viaTee, HRESULT* hr);

  std::shared_ptr<FilterGraph> graph_;
};
using ICaptureGraphBuilder2 = CaptureGraphBuilder;

// True when a pin's types (or its connection) include the major type.
bool PinHasMajorType(const Pin& pin, const GUID& major);

}  // namespace mg
