#include "platform/mg/CaptureGraphBuilder.h"

#include <deque>
#include <set>

#include "platform/mg/Devices.h"
#include "platform/mg/SystemFilters.h"

namespace mg {

namespace {
bool IsSearchDirection(const GUID* c) { return c && (*c == LOOK_UPSTREAM_ONLY || *c == LOOK_DOWNSTREAM_ONLY); }

bool CategoryMatches(const Pin& pin, const GUID* category) {
  return !category || category->IsNull() || IsSearchDirection(category) || pin.Category() == *category;
}

std::shared_ptr<Pin> FirstFree(const BaseFilter& f, PIN_DIRECTION dir) {
  for (auto& p : f.Pins())
    if (p->Direction() == dir && !p->IsConnected()) return p;
  return nullptr;
}
}  // namespace

bool PinHasMajorType(const Pin& pin, const GUID& major) {
  if (pin.IsConnected()) return pin.CurrentType().majortype == major;
  for (auto& t : pin.MediaTypes())
    if (t.majortype == major) return true;
  return false;
}

HRESULT CaptureGraphBuilder::SetFiltergraph(std::shared_ptr<FilterGraph> graph) {
  if (!graph) return E_POINTER;
  if (graph_) return E_UNEXPECTED;
  graph_ = std::move(graph);
  return S_OK;
}

HRESULT CaptureGraphBuilder::GetFiltergraph(std::shared_ptr<FilterGraph>* graph) {
  if (!graph) return E_POINTER;
  *graph = Graph();
  return S_OK;
}

std::shared_ptr<FilterGraph> CaptureGraphBuilder::Graph() {
  if (!graph_) graph_ = FilterGraph::Create();
  return graph_;
}

HRESULT CaptureGraphBuilder::FindPin(const std::shared_ptr<Object>& source, PIN_DIRECTION dir, const GUID* category,
                                     const GUID* type, BOOL unconnected, int num, std::shared_ptr<Pin>* out) {
  if (!source || !out) return E_POINTER;
  out->reset();
  auto matches = [&](const Pin& p) {
    return p.Direction() == dir && CategoryMatches(p, category) && (!type || type->IsNull() || PinHasMajorType(p, *type)) &&
           (!unconnected || !p.IsConnected());
  };
  if (auto pin = std::dynamic_pointer_cast<Pin>(source)) {
    if (num == 0 && matches(*pin)) {
      *out = pin;
      return S_OK;
    }
    return E_FAIL;
  }
  auto filter = std::dynamic_pointer_cast<BaseFilter>(source);
  if (!filter) return E_NOINTERFACE;
  int index = 0;
  for (auto& p : filter->Pins())
    if (matches(*p) && index++ == num) {
      *out = p;
      return S_OK;
    }
  return E_FAIL;
}

HRESULT CaptureGraphBuilder::FindObject(const GUID* category, const GUID* type, const std::shared_ptr<BaseFilter>& pf,
                                        const std::function<bool(const std::shared_ptr<Object>&)>& has,
                                        std::shared_ptr<Object>* found) {
  if (!found) return E_POINTER;
  found->reset();
  if (!pf) return E_POINTER;
  auto check = [&](const std::shared_ptr<Object>& o) {
    if (o && has(o)) {
      *found = o;
      return true;
    }
    return false;
  };
  // Breadth-first from `starts` through connections in one direction,
  // checking each filter reached and its pins.
  auto walk = [&](std::vector<std::shared_ptr<Pin>> starts, PIN_DIRECTION along) {
    std::set<const BaseFilter*> seen{pf.get()};
    std::deque<std::shared_ptr<Pin>> queue(starts.begin(), starts.end());
    while (!queue.empty()) {
      auto pin = queue.front();
      queue.pop_front();
      auto other = pin->ConnectedTo();
      if (!other) continue;
      if (check(other)) return true;
      auto f = other->Owner();
      if (!f || !seen.insert(f.get()).second) continue;
      if (check(f)) return true;
      for (auto& p : f->Pins())
        if (p != other && check(p)) return true;
      for (auto& p : f->Pins())
        if (p->Direction() == along) queue.push_back(p);
    }
    return false;
  };
  auto pinsOf = [&](PIN_DIRECTION d) {
    std::vector<std::shared_ptr<Pin>> list;
    for (auto& p : pf->Pins())
      if (p->Direction() == d) list.push_back(p);
    return list;
  };

  if (category && !category->IsNull() && !IsSearchDirection(category)) {
    bool any = false;
    for (auto& p : pf->Pins()) {
      if (p->Direction() != PINDIR_OUTPUT || p->Category() != *category) continue;
      if (type && !type->IsNull() && !PinHasMajorType(*p, *type)) continue;
      any = true;
      if (check(p) || walk({p}, PINDIR_OUTPUT)) return S_OK;
    }
    return any ? E_NOINTERFACE : E_FAIL;
  }
  const bool up = !category || category->IsNull() || *category == LOOK_UPSTREAM_ONLY;
  const bool down = !category || category->IsNull() || *category == LOOK_DOWNSTREAM_ONLY;
  if (up && down) {
    if (check(pf)) return S_OK;
    for (auto& p : pf->Pins())
      if ((!type || type->IsNull() || PinHasMajorType(*p, *type)) && check(p)) return S_OK;
  }
  if (up) AddCompanions(pf);
  if (up && walk(pinsOf(PINDIR_INPUT), PINDIR_INPUT)) return S_OK;
  if (down && walk(pinsOf(PINDIR_OUTPUT), PINDIR_OUTPUT)) return S_OK;
  return E_NOINTERFACE;
}

void CaptureGraphBuilder::AddCompanions(const std::shared_ptr<BaseFilter>& filter) {
  auto companions = mg::QueryInterface<IUpstreamCompanions>(filter);
  if (!companions || !filter->Graph()) return;
  for (auto& p : filter->Pins())
    if (p->Direction() == PINDIR_INPUT && !p->IsConnected()) {
      companions->AddUpstreamFilters(*Graph());
      return;
    }
}

HRESULT CaptureGraphBuilder::ConnectToFree(const std::shared_ptr<Pin>& out, BaseFilter& to) {
  HRESULT hr = VFW_E_NO_ACCEPTABLE_TYPES;
  for (auto& in : to.Pins())
    if (in->Direction() == PINDIR_INPUT && !in->IsConnected() && (hr = Graph()->Connect(out, in)) == S_OK) return S_OK;
  return hr;
}

std::shared_ptr<Pin> CaptureGraphBuilder::SourcePin(const GUID* category, const GUID* type,
                                                    const std::shared_ptr<Object>& source, bool* viaTee, HRESULT* hr) {
  *viaTee = false;
  *hr = S_OK;
  if (auto pin = std::dynamic_pointer_cast<Pin>(source)) {
    if (pin->Direction() != PINDIR_OUTPUT) {
      *hr = VFW_E_INVALID_DIRECTION;
      return nullptr;
    }
    return pin;
  }
  auto filter = std::dynamic_pointer_cast<BaseFilter>(source);
  if (!filter) {
    *hr = E_NOINTERFACE;
    return nullptr;
  }
  AddCompanions(filter);
  std::shared_ptr<Pin> pin;
  const bool preview = category && *category == PIN_CATEGORY_PREVIEW;
  const bool capture = category && *category == PIN_CATEGORY_CAPTURE;
  if (preview && SUCCEEDED(FindPin(filter, PINDIR_OUTPUT, category, type, 1, 0, &pin))) return pin;
  if (preview || capture) {
    // A capture pin that already feeds a Smart Tee continues through the tee.
    std::shared_ptr<Pin> cap;
    for (int i = 0; SUCCEEDED(FindPin(filter, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, type, 0, i, &cap)); ++i) {
      auto to = cap->ConnectedTo();
      auto tee = to ? std::dynamic_pointer_cast<SmartTee>(to->Owner()) : nullptr;
      if (tee) {
        auto out = preview ? tee->PreviewOutput() : tee->CaptureOutput();
        if (!out->IsConnected()) {
          *viaTee = preview;
          return out;
        }
        continue;
      }
      if (cap->IsConnected()) continue;
      if (capture) return cap;
      // Preview without a preview pin: split the capture pin.
      auto teeFilter = std::make_shared<SmartTee>();
      auto graph = Graph();
      if (FAILED(*hr = graph->AddFilter(teeFilter, "Smart Tee"))) return nullptr;
      if (FAILED(*hr = graph->ConnectDirect(cap, teeFilter->Input(), nullptr))) {
        graph->RemoveFilter(teeFilter);
        return nullptr;
      }
      *viaTee = true;
      return teeFilter->PreviewOutput();
    }
    *hr = E_FAIL;
    return nullptr;
  }
  if (FAILED(*hr = FindPin(filter, PINDIR_OUTPUT, category, type, 1, 0, &pin))) return nullptr;
  return pin;
}

HRESULT CaptureGraphBuilder::RenderStream(const GUID* category, const GUID* type,
                                          const std::shared_ptr<Object>& source,
                                          const std::shared_ptr<BaseFilter>& intermediate,
                                          const std::shared_ptr<BaseFilter>& sink) {
  if (!source) return E_POINTER;
  auto graph = Graph();
  for (auto* f : {intermediate.get(), sink.get()})
    if (f && !graph->Contains(f)) return VFW_E_NOT_IN_GRAPH;
  bool viaTee = false;
  HRESULT hr = S_OK;
  std::shared_ptr<Pin> pin = SourcePin(category, type, source, &viaTee, &hr);
  if (!pin) return FAILED(hr) ? hr : E_FAIL;
  if (intermediate) {
    if (FAILED(hr = ConnectToFree(pin, *intermediate))) return hr;
    pin = FirstFree(*intermediate, PINDIR_OUTPUT);
    if (!pin) return sink ? E_FAIL : S_OK;  // the intermediate ends the stream (a writer)
  }
  if (sink) {
    hr = ConnectToFree(pin, *sink);
  } else {
    hr = graph->Render(pin);
  }
  if (FAILED(hr)) return hr;
  return viaTee ? VFW_S_NOPREVIEWPIN : S_OK;
}

HRESULT CaptureGraphBuilder::ControlStream(const GUID* category, const GUID* type,
                                           const std::shared_ptr<BaseFilter>& filter, const REFERENCE_TIME* start,
                                           const REFERENCE_TIME* stop, uint16_t startCookie, uint16_t stopCookie) {
  std::vector<std::shared_ptr<BaseFilter>> filters;
  if (filter)
    filters.push_back(filter);
  else
    filters = Graph()->Filters();
  bool anyPin = false, anyControl = false;
  for (auto& f : filters)
    for (auto& p : f->Pins()) {
      if (p->Direction() != PINDIR_OUTPUT || !CategoryMatches(*p, category)) continue;
      if (!category && !filter) continue;  // the whole graph only by category
      if (type && !type->IsNull() && !PinHasMajorType(*p, *type)) continue;
      anyPin = true;
      auto control = mg::QueryInterface<IAMStreamControl>(p);
      if (!control) continue;
      anyControl = true;
      control->StartAt(start, startCookie);
      control->StopAt(stop, 0, stopCookie);
    }
  if (!anyPin) return E_FAIL;
  return anyControl ? S_OK : E_NOINTERFACE;
}

HRESULT CaptureGraphBuilder::SetOutputFileName(const GUID* type, const std::string& fileName,
                                               std::shared_ptr<BaseFilter>* ppf,
                                               std::shared_ptr<IFileSinkFilter>* ppSink) {
  if (!type || !ppf) return E_POINTER;
  if (fileName.empty()) return E_INVALIDARG;
  auto graph = Graph();
  std::shared_ptr<BaseFilter> mux;
  const CLSID muxClass = *type == MEDIASUBTYPE_Avi ? CLSID_AviDest : *type == MEDIASUBTYPE_Asf ? CLSID_WMAsfWriter : *type;
  HRESULT hr = ClassFactory::CreateInstance(muxClass, &mux);
  if (FAILED(hr)) return hr;
  FilterRegistration reg;
  ClassFactory::Find(muxClass, &reg);
  if (FAILED(hr = graph->AddFilter(mux, reg.name.empty() ? "Mux" : reg.name))) return hr;
  std::shared_ptr<IFileSinkFilter> sink = mg::QueryInterface<IFileSinkFilter>(mux);
  if (!sink) {
    std::shared_ptr<BaseFilter> writer;
    if (FAILED(hr = ClassFactory::CreateInstance(CLSID_FileWriter, &writer)) ||
        FAILED(hr = graph->AddFilter(writer, "File Writer"))) {
      graph->RemoveFilter(mux);
      return hr;
    }
    auto out = FirstFree(*mux, PINDIR_OUTPUT);
    auto in = FirstFree(*writer, PINDIR_INPUT);
    hr = out && in ? graph->ConnectDirect(out, in, nullptr) : E_FAIL;
    sink = mg::QueryInterface<IFileSinkFilter>(writer);
    if (FAILED(hr) || !sink) {
      graph->RemoveFilter(writer);
      graph->RemoveFilter(mux);
      return FAILED(hr) ? hr : E_NOINTERFACE;
    }
  }
  if (FAILED(hr = sink->SetFileName(fileName, nullptr))) return hr;
  *ppf = mux;
  if (ppSink) *ppSink = sink;
  return S_OK;
}

}  // namespace mg
