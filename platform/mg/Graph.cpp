#include "platform/mg/Graph.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "platform/mg/Devices.h"

namespace mg {

std::shared_ptr<FilterGraph> FilterGraph::Create() { return std::make_shared<FilterGraph>(); }

FilterGraph::FilterGraph()
    : scheduler_(std::make_shared<ThreadedScheduler>()), clock_(std::make_shared<SystemReferenceClock>()) {
  RegisterSystemFilters();
}

FilterGraph::~FilterGraph() {
  Stop();
  scheduler_->Join();
  std::lock_guard lock(stateMutex_);
  for (auto& f : filters_) {
    for (auto& p : f->Pins()) {
      if (auto other = p->ConnectedTo()) other->Disconnect();
      p->Disconnect();
    }
    f->JoinFilterGraph(nullptr, {});
  }
  filters_.clear();
}

HRESULT FilterGraph::SetScheduler(std::shared_ptr<Scheduler> scheduler) {
  if (!scheduler) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (scheduler_) scheduler_->Join();
  scheduler_ = std::move(scheduler);
  if (auto clock = scheduler_->PreferredClock()) SetSyncSource(clock);
  return S_OK;
}

std::shared_ptr<Scheduler> FilterGraph::GetScheduler() const {
  std::lock_guard lock(stateMutex_);
  return scheduler_;
}

std::vector<std::shared_ptr<BaseFilter>> FilterGraph::Filters() const {
  std::lock_guard lock(stateMutex_);
  return filters_;
}

bool FilterGraph::Contains(const BaseFilter* filter) const {
  std::lock_guard lock(stateMutex_);
  return std::any_of(filters_.begin(), filters_.end(), [&](auto& f) { return f.get() == filter; });
}

bool FilterGraph::InGraph(const std::shared_ptr<Pin>& pin) const {
  return pin && pin->OwnerFilter() && pin->OwnerFilter()->Graph() == this && Contains(pin->OwnerFilter());
}

// ---- filters ----------------------------------------------------------------------

HRESULT FilterGraph::AddFilter(const std::shared_ptr<BaseFilter>& filter, const std::string& name) {
  if (!filter) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  if (filter->Graph()) return filter->Graph() == this ? VFW_E_DUPLICATE_NAME : E_INVALIDARG;
  std::string base = name.empty() ? std::string("Filter") : name;
  auto taken = [&](const std::string& n) {
    return std::any_of(filters_.begin(), filters_.end(), [&](auto& f) { return f->Name() == n; });
  };
  std::string unique = base;
  HRESULT hr = S_OK;
  for (int i = 1; taken(unique); ++i) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, " %04d", i);
    unique = base + suffix;
    hr = VFW_S_DUPLICATE_NAME;
  }
  filters_.push_back(filter);
  filter->JoinFilterGraph(this, unique);
  filter->SetSyncSource(clock_);
  return hr;
}

HRESULT FilterGraph::DisconnectFilter(BaseFilter& f) {
  for (auto& p : f.Pins()) {
    if (auto other = p->ConnectedTo()) other->Disconnect();
    p->Disconnect();
  }
  return S_OK;
}

HRESULT FilterGraph::RemoveFilter(const std::shared_ptr<BaseFilter>& filter) {
  if (!filter) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  auto it = std::find(filters_.begin(), filters_.end(), filter);
  if (it == filters_.end()) return VFW_E_NOT_FOUND;
  // Streaming threads read connections without locks, so the graph only
  // rewires itself while stopped.
  if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  scheduler_->Join();
  DisconnectFilter(*filter);
  filter->SetSyncSource(nullptr);
  filter->JoinFilterGraph(nullptr, {});
  filters_.erase(std::find(filters_.begin(), filters_.end(), filter));
  return S_OK;
}

HRESULT FilterGraph::EnumFilters(Enumerator<std::shared_ptr<BaseFilter>>* e) {
  if (!e) return E_POINTER;
  // Newest first, as the platform enumerates.
  auto list = Filters();
  std::reverse(list.begin(), list.end());
  *e = Enumerator<std::shared_ptr<BaseFilter>>(std::move(list));
  return S_OK;
}

HRESULT FilterGraph::FindFilterByName(const std::string& name, std::shared_ptr<BaseFilter>* filter) {
  if (!filter) return E_POINTER;
  for (auto& f : Filters())
    if (f->Name() == name) {
      *filter = f;
      return S_OK;
    }
  filter->reset();
  return VFW_E_NOT_FOUND;
}

// ---- connections --------------------------------------------------------------------

HRESULT FilterGraph::ConnectDirect(const std::shared_ptr<Pin>& out, const std::shared_ptr<Pin>& in,
                                   const AM_MEDIA_TYPE* mt) {
  if (!out || !in) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  if (!InGraph(out) || !InGraph(in)) return VFW_E_NOT_IN_GRAPH;
  if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (out->Direction() != PINDIR_OUTPUT || in->Direction() != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
  return out->Connect(in, mt);
}

HRESULT FilterGraph::Disconnect(const std::shared_ptr<Pin>& pin) {
  if (!pin) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  if (!InGraph(pin)) return VFW_E_NOT_IN_GRAPH;
  return pin->Disconnect();
}

HRESULT FilterGraph::ReconnectEx(const std::shared_ptr<Pin>& pin, const AM_MEDIA_TYPE* mt) {
  if (!pin) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  if (!InGraph(pin)) return VFW_E_NOT_IN_GRAPH;
  if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  auto other = pin->ConnectedTo();
  if (!other) return VFW_E_NOT_CONNECTED;
  auto out = pin->Direction() == PINDIR_OUTPUT ? pin : other;
  auto in = pin->Direction() == PINDIR_OUTPUT ? other : pin;
  AM_MEDIA_TYPE old = out->CurrentType();
  out->Disconnect();
  in->Disconnect();
  HRESULT hr = ConnectDirect(out, in, mt);
  if (FAILED(hr) && mt) ConnectDirect(out, in, &old);
  return hr;
}

HRESULT FilterGraph::Reconnect(const std::shared_ptr<Pin>& pin) { return ReconnectEx(pin, nullptr); }

HRESULT FilterGraph::Connect(const std::shared_ptr<Pin>& out, const std::shared_ptr<Pin>& in) {
  if (!out || !in) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  if (!InGraph(out) || !InGraph(in)) return VFW_E_NOT_IN_GRAPH;
  return ConnectVia(out, in, 2);
}

namespace {
bool OffersInputType(const FilterRegistration& reg, const std::vector<AM_MEDIA_TYPE>& types) {
  if (reg.inputTypes.empty() || types.empty()) return true;
  for (const auto& t : types)
    for (const auto& [major, sub] : reg.inputTypes)
      if ((major.IsNull() || major == t.majortype) && (sub.IsNull() || sub == t.subtype)) return true;
  return false;
}
}  // namespace

HRESULT FilterGraph::ConnectVia(const std::shared_ptr<Pin>& out, const std::shared_ptr<Pin>& in, int depth) {
  HRESULT hr = ConnectDirect(out, in, nullptr);
  if (hr == S_OK || depth <= 0 || hr == VFW_E_NOT_STOPPED || hr == VFW_E_ALREADY_CONNECTED ||
      hr == VFW_E_INVALID_DIRECTION)
    return hr;
  // While a file is rendered, a filter the application put into the graph
  // and left unconnected is tried before any registered one: it was put
  // there to be used (a decoder of its choice).
  const std::vector<std::shared_ptr<BaseFilter>> present =
      renderingFile_ ? filters_ : std::vector<std::shared_ptr<BaseFilter>>{};
  for (const auto& f : present) {
    if (f == out->Owner() || (in && f == in->Owner())) continue;
    bool idle = true, hasOutput = false;
    for (auto& p : f->Pins()) {
      idle = idle && !p->IsConnected();
      hasOutput = hasOutput || p->Direction() == PINDIR_OUTPUT;
    }
    if (!idle || !hasOutput) continue;
    for (auto& fin : f->Pins()) {
      if (fin->Direction() != PINDIR_INPUT || ConnectDirect(out, fin, nullptr) != S_OK) continue;
      for (auto& fout : f->Pins())
        if (fout->Direction() == PINDIR_OUTPUT && ConnectVia(fout, in, depth - 1) == S_OK) return S_OK;
      Disconnect(out);
      Disconnect(fin);
      break;
    }
  }
  const auto outTypes = out->MediaTypes();
  for (const FilterRegistration& reg : ClassFactory::ByRole(FilterRole::Transform)) {
    if (reg.merit <= MERIT_DO_NOT_USE || !OffersInputType(reg, outTypes)) continue;
    std::shared_ptr<BaseFilter> f = reg.create ? reg.create() : nullptr;
    if (!f || FAILED(AddFilter(f, reg.name))) continue;
    bool done = false;
    for (auto& fin : f->Pins()) {
      if (fin->Direction() != PINDIR_INPUT || ConnectDirect(out, fin, nullptr) != S_OK) continue;
      for (auto& fout : f->Pins())
        if (fout->Direction() == PINDIR_OUTPUT && !fout->IsConnected() && ConnectVia(fout, in, depth - 1) == S_OK) {
          done = true;
          break;
        }
      break;
    }
    if (done) return S_OK;
    RemoveFilter(f);
  }
  return VFW_E_CANNOT_CONNECT;
}

HRESULT FilterGraph::Render(const std::shared_ptr<Pin>& out) {
  if (!out) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  if (!InGraph(out)) return VFW_E_NOT_IN_GRAPH;
  if (out->Direction() != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
  if (out->IsConnected()) return VFW_E_ALREADY_CONNECTED;
  return RenderVia(out, 2);
}

HRESULT FilterGraph::RenderVia(const std::shared_ptr<Pin>& out, int depth) {
  for (const FilterRegistration& reg : ClassFactory::ByRole(FilterRole::Renderer)) {
    if (reg.merit <= MERIT_DO_NOT_USE) continue;
    std::shared_ptr<BaseFilter> f = reg.create ? reg.create() : nullptr;
    if (!f || FAILED(AddFilter(f, reg.name))) continue;
    for (auto& in : f->Pins())
      if (in->Direction() == PINDIR_INPUT && !in->IsConnected() && ConnectVia(out, in, depth) == S_OK) return S_OK;
    RemoveFilter(f);
  }
  return VFW_E_CANNOT_RENDER;
}

HRESULT FilterGraph::AddSourceFilter(const std::string& fileName, const std::string& filterName,
                                     std::shared_ptr<BaseFilter>* filter) {
  if (!filter) return E_POINTER;
  filter->reset();
  const bool url = fileName.find("://") != std::string::npos;
  std::error_code ec;
  if (!url && !std::filesystem::is_regular_file(fileName, ec)) return HRESULT_FILE_NOT_FOUND;
  FilterRegistration reg;
  if (!ClassFactory::FindSourceFor(fileName, &reg) || !reg.create) return VFW_E_UNKNOWN_FILE_TYPE;
  std::shared_ptr<BaseFilter> f = reg.create();
  auto loader = mg::QueryInterface<IFileSourceFilter>(f);
  if (!loader) return VFW_E_CANNOT_LOAD_SOURCE_FILTER;
  HRESULT hr = loader->Load(fileName, nullptr);
  if (FAILED(hr)) return hr;
  hr = AddFilter(f, filterName.empty() ? fileName : filterName);
  if (FAILED(hr)) return hr;
  *filter = f;
  return S_OK;
}

HRESULT FilterGraph::RenderFile(const std::string& file, const std::string&) {
  std::lock_guard lock(stateMutex_);
  renderingFile_ = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{renderingFile_};
  std::shared_ptr<BaseFilter> src;
  HRESULT hr = AddSourceFilter(file, file, &src);
  if (FAILED(hr)) return hr;
  int rendered = 0, total = 0;
  for (auto& p : src->Pins()) {
    if (p->Direction() != PINDIR_OUTPUT) continue;
    ++total;
    if (RenderVia(p, 2) == S_OK) ++rendered;
  }
  if (rendered == 0) {
    RemoveFilter(src);
    return VFW_E_CANNOT_RENDER;
  }
  return rendered == total ? S_OK : VFW_S_PARTIAL_RENDER;
}

HRESULT FilterGraph::AddSourceFilterForMoniker(const std::shared_ptr<Moniker>& moniker, const std::string& name,
                                               std::shared_ptr<BaseFilter>* filter) {
  if (!moniker || !filter) return E_POINTER;
  std::shared_ptr<BaseFilter> f;
  HRESULT hr = moniker->BindToObject(&f);
  if (FAILED(hr)) return hr;
  hr = AddFilter(f, name);
  if (FAILED(hr)) return hr;
  *filter = f;
  return hr;
}

// ---- clock and state ----------------------------------------------------------------------

HRESULT FilterGraph::SetSyncSource(std::shared_ptr<ReferenceClock> clock) {
  std::lock_guard lock(stateMutex_);
  if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  clock_ = std::move(clock);
  freeRunning_ = !clock_;
  for (auto& f : filters_) f->SetSyncSource(clock_);
  Notify(EC_CLOCK_CHANGED, 0, 0);
  return S_OK;
}

HRESULT FilterGraph::GetSyncSource(std::shared_ptr<ReferenceClock>* clock) {
  if (!clock) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  *clock = clock_;
  return clock_ ? S_OK : S_FALSE;
}

HRESULT FilterGraph::SetDefaultSyncSource() {
  std::shared_ptr<ReferenceClock> clock = GetScheduler()->PreferredClock();
  if (!clock) clock = std::make_shared<SystemReferenceClock>();
  return SetSyncSource(clock);
}

HRESULT FilterGraph::PauseFilters() {
  HRESULT result = S_OK;
  for (auto it = filters_.rbegin(); it != filters_.rend(); ++it) {
    const HRESULT hr = (*it)->Pause();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  if (FAILED(result))  // one filter cannot run (a writer without a file): none does
    for (auto& f : filters_) f->Stop();
  return result;
}

HRESULT FilterGraph::Run() {
  std::lock_guard lock(stateMutex_);
  if (state_.load() == State_Running) return S_OK;
  if (state_.load() == State_Stopped)
    if (const HRESULT hr = PauseFilters(); FAILED(hr)) return hr;
  {
    std::lock_guard ev(eventMutex_);
    completed_ = 0;
    renderers_ = static_cast<int>(std::count_if(filters_.begin(), filters_.end(), [](auto& f) { return f->IsRenderer(); }));
  }
  if (!stepping_.load())
    for (auto& f : filters_)
      if (auto* t = dynamic_cast<FrameStepTarget*>(f.get())) t->CancelStep();
  auto clock = clock_ ? clock_ : std::make_shared<SystemReferenceClock>();
  startTime_ = clock->Now();
  // Downstream first, so nothing arrives at a filter that is not running yet.
  for (auto it = filters_.rbegin(); it != filters_.rend(); ++it) (*it)->Run(startTime_);
  std::vector<ScheduledSource> sources;
  for (auto& f : filters_)
    if (auto* s = dynamic_cast<StreamSource*>(f.get())) sources.push_back({f, s, !freeRunning_});
  state_.store(State_Running);
  scheduler_->Start(std::move(sources), clock, startTime_);
  return S_OK;
}

HRESULT FilterGraph::Pause() {
  std::lock_guard lock(stateMutex_);
  if (state_.load() == State_Paused) return S_OK;
  if (state_.load() == State_Running) scheduler_->Stop();
  const bool wasStopped = state_.load() == State_Stopped;
  if (const HRESULT hr = PauseFilters(); FAILED(hr)) {
    if (!wasStopped) scheduler_->Join();
    state_.store(State_Stopped);
    return hr;
  }
  state_.store(State_Paused);
  return S_OK;
}

HRESULT FilterGraph::Stop() {
  std::lock_guard lock(stateMutex_);
  if (state_.load() == State_Stopped) return S_OK;
  stepping_.store(false);
  // Filters first: a streaming thread finds them stopped and gives up at
  // once; then wait for the threads (see Scheduler::Stop).
  for (auto& f : filters_) f->Stop();
  scheduler_->Stop();
  state_.store(State_Stopped);
  return S_OK;
}

HRESULT FilterGraph::GetState(LONG, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  *state = state_.load();
  return S_OK;
}

// ---- events ----------------------------------------------------------------------------------

namespace {
std::mutex posterMutex;
NotifyPoster& Poster() {
  static NotifyPoster poster;
  return poster;
}
}  // namespace

void SetNotifyPoster(NotifyPoster poster) {
  std::lock_guard lock(posterMutex);
  Poster() = std::move(poster);
}

void PostWindowMessage(win::HWND hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam);

void PostGraphNotification(win::HWND hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  NotifyPoster poster;
  {
    std::lock_guard lock(posterMutex);
    poster = Poster();
  }
  if (poster)
    poster(hwnd, msg, wParam, lParam);
  else
    PostWindowMessage(hwnd, msg, wParam, lParam);
}

void FilterGraph::Queue(long code, intptr_t p1, intptr_t p2) {
  win::HWND hwnd = nullptr;
  LONG msg = 0;
  intptr_t data = 0;
  {
    std::lock_guard lock(eventMutex_);
    events_.push_back({code, p1, p2});
    if (notifyWindow_ && !(notifyFlags_ & AM_MEDIAEVENT_NONOTIFY)) {
      hwnd = notifyWindow_;
      msg = notifyMsg_;
      data = notifyData_;
    }
  }
  eventArrived_.notify_all();
  if (hwnd) PostGraphNotification(hwnd, static_cast<uint32_t>(msg), 0, data);
}

HRESULT FilterGraph::Notify(long code, intptr_t param1, intptr_t param2) {
  bool cancelled = false;
  {
    std::lock_guard lock(eventMutex_);
    cancelled = cancelled_.count(code) != 0;
    if (!cancelled && code == EC_COMPLETE) {
      // One EC_COMPLETE for the graph, once every renderer has finished.
      if (++completed_ < renderers_) return S_OK;
      if (completed_ > renderers_ && renderers_ > 0) return S_OK;
      param1 = S_OK;
      param2 = 0;
    }
  }
  // Handled by the graph unless the application asked for them: renderers
  // repaint themselves, and the graph already uses the new clock.
  if (!cancelled && (code == EC_REPAINT || code == EC_CLOCK_CHANGED)) return S_OK;
  if (code == EC_STEP_COMPLETE && stepping_.exchange(false)) {
    // The step is over: the graph reads as paused again. No graph lock
    // here, this runs on a streaming thread.
    state_.store(State_Paused);
  }
  Queue(code, param1, param2);
  return S_OK;
}

size_t FilterGraph::PendingEvents() const {
  std::lock_guard lock(eventMutex_);
  return events_.size();
}

HRESULT FilterGraph::GetEvent(long* code, intptr_t* p1, intptr_t* p2, LONG msTimeout) {
  if (!code || !p1 || !p2) return E_POINTER;
  std::unique_lock lock(eventMutex_);
  auto ready = [&] { return !events_.empty(); };
  if (msTimeout < 0)
    eventArrived_.wait(lock, ready);
  else if (msTimeout > 0)
    eventArrived_.wait_for(lock, std::chrono::milliseconds(msTimeout), ready);
  if (events_.empty()) {
    *code = 0;
    *p1 = *p2 = 0;
    return E_ABORT;
  }
  const Event e = events_.front();
  events_.pop_front();
  *code = e.code;
  *p1 = e.p1;
  *p2 = e.p2;
  return S_OK;
}

HRESULT FilterGraph::WaitForCompletion(LONG msTimeout, long* pEvCode) {
  if (!pEvCode) return E_POINTER;
  *pEvCode = 0;
  std::unique_lock lock(eventMutex_);
  auto done = [&] {
    return std::any_of(events_.begin(), events_.end(), [](const Event& e) {
      return e.code == EC_COMPLETE || e.code == EC_ERRORABORT || e.code == EC_USERABORT;
    });
  };
  if (msTimeout < 0)
    eventArrived_.wait(lock, done);
  else
    eventArrived_.wait_for(lock, std::chrono::milliseconds(msTimeout), done);
  for (auto it = events_.begin(); it != events_.end(); ++it)
    if (it->code == EC_COMPLETE || it->code == EC_ERRORABORT || it->code == EC_USERABORT) {
      *pEvCode = it->code;
      events_.erase(it);
      return S_OK;
    }
  return E_ABORT;
}

HRESULT FilterGraph::CancelDefaultHandling(long code) {
  std::lock_guard lock(eventMutex_);
  cancelled_.insert(code);
  return S_OK;
}

HRESULT FilterGraph::RestoreDefaultHandling(long code) {
  std::lock_guard lock(eventMutex_);
  cancelled_.erase(code);
  return S_OK;
}

HRESULT FilterGraph::FreeEventParams(long, intptr_t, intptr_t) { return S_OK; }

HRESULT FilterGraph::SetNotifyWindow(win::HWND hwnd, LONG lMsg, intptr_t lInstanceData) {
  std::lock_guard lock(eventMutex_);
  notifyWindow_ = hwnd;
  notifyMsg_ = lMsg;
  notifyData_ = lInstanceData;
  return S_OK;
}

HRESULT FilterGraph::SetNotifyFlags(LONG flags) {
  if (flags != 0 && flags != AM_MEDIAEVENT_NONOTIFY) return E_INVALIDARG;
  std::lock_guard lock(eventMutex_);
  notifyFlags_ = flags;
  return S_OK;
}

HRESULT FilterGraph::GetNotifyFlags(LONG* flags) {
  if (!flags) return E_POINTER;
  std::lock_guard lock(eventMutex_);
  *flags = notifyFlags_;
  return S_OK;
}

// ---- seeking -----------------------------------------------------------------------------------

std::vector<std::shared_ptr<IMediaSeeking>> FilterGraph::Seekers() const {
  std::vector<std::shared_ptr<IMediaSeeking>> list;
  for (auto& f : Filters())
    if (auto s = mg::QueryInterface<IMediaSeeking>(f)) list.push_back(s);
  return list;
}

HRESULT FilterGraph::GetCapabilities(DWORD* caps) {
  if (!caps) return E_POINTER;
  auto seekers = Seekers();
  if (seekers.empty()) {
    *caps = AM_SEEKING_CanGetCurrentPos;
    return S_OK;
  }
  DWORD all = ~DWORD{0};
  for (auto& s : seekers) {
    DWORD c = 0;
    if (SUCCEEDED(s->GetCapabilities(&c))) all &= c;
  }
  *caps = all | AM_SEEKING_CanGetCurrentPos;
  return S_OK;
}

HRESULT FilterGraph::CheckCapabilities(DWORD* caps) {
  if (!caps) return E_POINTER;
  DWORD have = 0;
  GetCapabilities(&have);
  const DWORD asked = *caps;
  *caps &= have;
  if (*caps == asked) return S_OK;
  return *caps ? S_FALSE : E_FAIL;
}

HRESULT FilterGraph::IsFormatSupported(const GUID* format) {
  if (!format) return E_POINTER;
  if (*format == TIME_FORMAT_MEDIA_TIME) return S_OK;
  for (auto& s : Seekers())
    if (s->IsFormatSupported(format) == S_OK) return S_OK;
  return S_FALSE;
}

HRESULT FilterGraph::QueryPreferredFormat(GUID* format) {
  if (!format) return E_POINTER;
  *format = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}

HRESULT FilterGraph::GetTimeFormat(GUID* format) {
  if (!format) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  *format = timeFormat_;
  return S_OK;
}

HRESULT FilterGraph::IsUsingTimeFormat(const GUID* format) {
  if (!format) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  return *format == timeFormat_ ? S_OK : S_FALSE;
}

HRESULT FilterGraph::SetTimeFormat(const GUID* format) {
  if (!format) return E_POINTER;
  if (IsFormatSupported(format) != S_OK) return E_INVALIDARG;
  std::lock_guard lock(stateMutex_);
  if (state_.load() != State_Stopped && state_.load() != State_Paused) return VFW_E_WRONG_STATE;
  for (auto& s : Seekers()) s->SetTimeFormat(format);
  timeFormat_ = *format;
  return S_OK;
}

HRESULT FilterGraph::GetDuration(int64_t* d) {
  if (!d) return E_POINTER;
  HRESULT result = E_NOTIMPL;
  int64_t best = 0;
  for (auto& s : Seekers()) {
    int64_t v = 0;
    if (SUCCEEDED(s->GetDuration(&v))) {
      best = std::max(best, v);
      result = S_OK;
    }
  }
  *d = best;
  return result;
}

HRESULT FilterGraph::GetStopPosition(int64_t* stop) {
  if (!stop) return E_POINTER;
  for (auto& s : Seekers())
    if (SUCCEEDED(s->GetStopPosition(stop))) return S_OK;
  return GetDuration(stop);
}

HRESULT FilterGraph::GetCurrentPosition(int64_t* cur) {
  if (!cur) return E_POINTER;
  for (auto& s : Seekers())
    if (SUCCEEDED(s->GetCurrentPosition(cur))) return S_OK;
  std::lock_guard lock(stateMutex_);
  if (timeFormat_ != TIME_FORMAT_MEDIA_TIME) return E_NOTIMPL;
  *cur = state_.load() == State_Running && clock_ ? clock_->Now() - startTime_ : 0;
  return S_OK;
}

HRESULT FilterGraph::ConvertTimeFormat(int64_t* target, const GUID* targetFormat, int64_t source,
                                       const GUID* sourceFormat) {
  if (!target) return E_POINTER;
  const GUID from = sourceFormat ? *sourceFormat : timeFormat_;
  const GUID to = targetFormat ? *targetFormat : timeFormat_;
  if (from == to) {
    *target = source;
    return S_OK;
  }
  for (auto& s : Seekers())
    if (SUCCEEDED(s->ConvertTimeFormat(target, &to, source, &from))) return S_OK;
  return E_NOTIMPL;
}

HRESULT FilterGraph::SetPositions(int64_t* cur, DWORD curFlags, int64_t* stop, DWORD stopFlags) {
  auto seekers = Seekers();
  if (seekers.empty()) return E_NOTIMPL;
  HRESULT result = S_OK;
  for (auto& s : seekers) {
    const HRESULT hr = s->SetPositions(cur, curFlags, stop, stopFlags);
    if (FAILED(hr)) result = hr;
  }
  return result;
}

HRESULT FilterGraph::GetPositions(int64_t* cur, int64_t* stop) {
  HRESULT hr = S_OK;
  if (cur) hr = GetCurrentPosition(cur);
  if (stop && SUCCEEDED(hr)) hr = GetStopPosition(stop);
  return hr;
}

HRESULT FilterGraph::GetAvailable(int64_t* earliest, int64_t* latest) {
  if (earliest) *earliest = 0;
  if (latest) return GetDuration(latest);
  return S_OK;
}

HRESULT FilterGraph::SetRate(double rate) {
  if (rate == 0.0) return E_INVALIDARG;
  auto seekers = Seekers();
  for (auto& s : seekers) {
    const HRESULT hr = s->SetRate(rate);
    if (FAILED(hr)) return hr;
  }
  std::lock_guard lock(stateMutex_);
  rate_ = rate;
  return seekers.empty() ? E_NOTIMPL : S_OK;
}

HRESULT FilterGraph::GetRate(double* rate) {
  if (!rate) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  *rate = rate_;
  return S_OK;
}

HRESULT FilterGraph::GetPreroll(int64_t* preroll) {
  if (!preroll) return E_POINTER;
  *preroll = 0;
  return S_OK;
}

// ---- frame stepping ---------------------------------------------------------------------------

HRESULT FilterGraph::CanStep(LONG, Object*) {
  for (auto& f : Filters())
    if (dynamic_cast<FrameStepTarget*>(f.get())) return S_OK;
  return S_FALSE;
}

HRESULT FilterGraph::Step(DWORD frames, Object*) {
  if (frames == 0) return E_INVALIDARG;
  std::lock_guard lock(stateMutex_);
  FrameStepTarget* target = nullptr;
  for (auto& f : filters_)
    if ((target = dynamic_cast<FrameStepTarget*>(f.get()))) break;
  if (!target) return E_FAIL;
  if (state_.load() == State_Stopped)
    if (const HRESULT hr = PauseFilters(); FAILED(hr)) return hr;
  stepping_.store(true);
  target->BeginStep(frames);
  if (state_.load() != State_Running) {
    state_.store(State_Paused);
    return Run();
  }
  return S_OK;
}

HRESULT FilterGraph::CancelStep() {
  std::lock_guard lock(stateMutex_);
  stepping_.store(false);
  for (auto& f : filters_)
    if (auto* t = dynamic_cast<FrameStepTarget*>(f.get())) t->CancelStep();
  return S_OK;
}

// ---- interfaces answered for the renderers -------------------------------------------------------

namespace {
template <class I>
std::shared_ptr<Object> FirstWith(const std::vector<std::shared_ptr<BaseFilter>>& filters) {
  for (auto it = filters.rbegin(); it != filters.rend(); ++it)
    if (mg::QueryInterface<I>(*it)) return *it;
  return nullptr;
}
}  // namespace

std::shared_ptr<Object> FilterGraph::QueryDelegate(const std::type_info& type) {
  const auto filters = Filters();
  if (type == typeid(IVideoWindow)) return FirstWith<IVideoWindow>(filters);
  if (type == typeid(IBasicVideo)) return FirstWith<IBasicVideo>(filters);
  if (type == typeid(IBasicAudio)) return FirstWith<IBasicAudio>(filters);
  if (type == typeid(IQualProp)) return FirstWith<IQualProp>(filters);
  return nullptr;
}

}  // namespace mg
