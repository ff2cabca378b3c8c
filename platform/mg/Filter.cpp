#include "platform/mg/Filter.h"

#include <algorithm>
#include <limits>

#include "platform/mg/Graph.h"

namespace mg {

// ---- MediaSample ------------------------------------------------------------------

HRESULT MediaSample::GetPointer(uint8_t** ppBuffer) {
  if (!ppBuffer) return E_POINTER;
  *ppBuffer = buffer_.data();
  return S_OK;
}

HRESULT MediaSample::SetActualDataLength(LONG length) {
  if (length < 0 || static_cast<size_t>(length) > buffer_.size()) return VFW_E_BUFFER_OVERFLOW;
  actual_ = length;
  return S_OK;
}

HRESULT MediaSample::GetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) const {
  if (!hasStart_) return VFW_E_SAMPLE_TIME_NOT_SET;
  if (pStart) *pStart = start_;
  if (!hasStop_) {
    if (pEnd) *pEnd = start_ + 1;
    return VFW_S_NO_STOP_TIME;
  }
  if (pEnd) *pEnd = stop_;
  return S_OK;
}

HRESULT MediaSample::SetTime(const REFERENCE_TIME* pStart, const REFERENCE_TIME* pEnd) {
  hasStart_ = pStart != nullptr;
  hasStop_ = pStart && pEnd;
  start_ = pStart ? *pStart : 0;
  stop_ = hasStop_ ? *pEnd : 0;
  return S_OK;
}

HRESULT MediaSample::GetMediaTime(int64_t* pStart, int64_t* pEnd) const {
  if (!hasMediaTime_) return VFW_E_SAMPLE_TIME_NOT_SET;
  if (pStart) *pStart = mediaStart_;
  if (pEnd) *pEnd = mediaStop_;
  return S_OK;
}

HRESULT MediaSample::SetMediaTime(const int64_t* pStart, const int64_t* pEnd) {
  hasMediaTime_ = pStart && pEnd;
  mediaStart_ = pStart ? *pStart : 0;
  mediaStop_ = pEnd ? *pEnd : 0;
  return S_OK;
}

HRESULT MediaSample::SetMediaType(const AM_MEDIA_TYPE* pmt) {
  typeChanged_ = pmt != nullptr;
  type_ = pmt ? *pmt : AM_MEDIA_TYPE{};
  return S_OK;
}

void MediaSample::CopyPropertiesFrom(const MediaSample& o) {
  hasStart_ = o.hasStart_;
  hasStop_ = o.hasStop_;
  start_ = o.start_;
  stop_ = o.stop_;
  hasMediaTime_ = o.hasMediaTime_;
  mediaStart_ = o.mediaStart_;
  mediaStop_ = o.mediaStop_;
  sync_ = o.sync_;
  discontinuity_ = o.discontinuity_;
  preroll_ = o.preroll_;
  typeChanged_ = o.typeChanged_;
  type_ = o.type_;
}

void MediaSample::ResetProperties() { CopyPropertiesFrom(MediaSample{}); actual_ = 0; }

// ---- MemAllocator -------------------------------------------------------------------

HRESULT MemAllocator::SetProperties(const ALLOCATOR_PROPERTIES& request, ALLOCATOR_PROPERTIES* actual) {
  if (request.cbBuffer < 0 || request.cBuffers < 0) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  props_ = request;
  if (props_.cBuffers < 1) props_.cBuffers = 1;
  if (props_.cbAlign < 1) props_.cbAlign = 1;
  if (actual) *actual = props_;
  return S_OK;
}

HRESULT MemAllocator::GetProperties(ALLOCATOR_PROPERTIES* props) const {
  if (!props) return E_POINTER;
  std::lock_guard lock(mutex_);
  *props = props_;
  return S_OK;
}

HRESULT MemAllocator::Commit() {
  std::lock_guard lock(mutex_);
  if (props_.cbBuffer <= 0) return VFW_E_SIZENOTSET;
  committed_ = true;
  while (slots_.size() < static_cast<size_t>(props_.cBuffers)) slots_.push_back(std::make_shared<Slot>());
  return S_OK;
}

HRESULT MemAllocator::Decommit() {
  std::lock_guard lock(mutex_);
  committed_ = false;
  return S_OK;
}

HRESULT MemAllocator::GetBuffer(std::shared_ptr<MediaSample>& sample) {
  std::shared_ptr<Slot> slot;
  size_t size = 0;
  {
    std::lock_guard lock(mutex_);
    if (!committed_) return VFW_E_NOT_COMMITTED;
    size = static_cast<size_t>(props_.cbBuffer);
    for (auto& s : slots_) {
      bool expected = false;
      if (s->busy.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
        slot = s;
        break;
      }
    }
    if (!slot) {
      slot = std::make_shared<Slot>();
      slot->busy.store(true);
      slots_.push_back(slot);
    }
  }
  slot->sample.ResetProperties();
  if (static_cast<size_t>(slot->sample.GetSize()) != size) slot->sample.Resize(size);
  sample = std::shared_ptr<MediaSample>(&slot->sample,
                                        [slot](MediaSample*) { slot->busy.store(false, std::memory_order_release); });
  return S_OK;
}

size_t MemAllocator::PoolSize() const {
  std::lock_guard lock(mutex_);
  return slots_.size();
}

// ---- Pin ------------------------------------------------------------------------------

Pin::Pin(BaseFilter* owner, std::string name, PIN_DIRECTION dir) : owner_(owner), name_(std::move(name)), dir_(dir) {
  if (name_.size() > 127) name_.resize(127);
  if (dir_ == PINDIR_OUTPUT) allocator_ = std::make_shared<MemAllocator>();
}

HRESULT Pin::QueryDirection(PIN_DIRECTION* dir) const {
  if (!dir) return E_POINTER;
  *dir = dir_;
  return S_OK;
}

HRESULT Pin::QueryPinInfo(PIN_INFO* info) const {
  if (!info) return E_POINTER;
  info->pFilter = Owner();
  info->dir = dir_;
  info->achName = name_;
  return S_OK;
}

HRESULT Pin::QueryId(std::string* id) const {
  if (!id) return E_POINTER;
  *id = name_;
  return S_OK;
}

std::shared_ptr<BaseFilter> Pin::Owner() const {
  if (!owner_) return nullptr;
  return std::dynamic_pointer_cast<BaseFilter>(owner_->weak_from_this().lock());
}

std::shared_ptr<Pin> Pin::ConnectedTo() const { return connected_; }

HRESULT Pin::ConnectedTo(std::shared_ptr<Pin>* pin) const {
  if (!pin) return E_POINTER;
  *pin = connected_;
  return connected_ ? S_OK : VFW_E_NOT_CONNECTED;
}

bool Pin::IsConnected() const { return connected_ != nullptr; }

HRESULT Pin::ConnectionMediaType(AM_MEDIA_TYPE* mt) const {
  if (!mt) return E_POINTER;
  if (!connected_) {
    *mt = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  *mt = mt_;
  return S_OK;
}

std::vector<AM_MEDIA_TYPE> Pin::MediaTypes() const { return owner_ ? owner_->GetMediaTypes(*this) : std::vector<AM_MEDIA_TYPE>{}; }

HRESULT Pin::EnumMediaTypes(Enumerator<AM_MEDIA_TYPE>* e) const {
  if (!e) return E_POINTER;
  *e = Enumerator<AM_MEDIA_TYPE>(MediaTypes());
  return S_OK;
}

HRESULT Pin::QueryAccept(const AM_MEDIA_TYPE& mt) const {
  if (!owner_) return S_FALSE;
  return owner_->CheckMediaType(*this, mt) == S_OK ? S_OK : S_FALSE;
}

void Pin::SetConnection(const std::shared_ptr<Pin>& other, const AM_MEDIA_TYPE& mt) {
  connected_ = other;
  mt_ = mt;
}

void Pin::ClearConnection() {
  connected_.reset();
  mt_ = AM_MEDIA_TYPE{};
}

HRESULT Pin::Connect(const std::shared_ptr<Pin>& receivePin, const AM_MEDIA_TYPE* mt) {
  if (!receivePin) return E_POINTER;
  if (dir_ != PINDIR_OUTPUT || receivePin->Direction() != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
  if (connected_ || receivePin->IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (!owner_ || !receivePin->OwnerFilter()) return VFW_E_NEED_OWNER;
  if (owner_->State() != State_Stopped || receivePin->OwnerFilter()->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  auto self = std::static_pointer_cast<Pin>(shared_from_this());

  std::vector<AM_MEDIA_TYPE> candidates;
  if (mt && mt->IsComplete()) {
    candidates.push_back(*mt);
  } else {
    for (auto& t : MediaTypes())
      if (!mt || mt->Matches(t)) candidates.push_back(std::move(t));
    for (auto& t : receivePin->MediaTypes())
      if (!mt || mt->Matches(t)) candidates.push_back(std::move(t));
  }
  if (candidates.empty()) return VFW_E_NO_TYPES;
  for (const AM_MEDIA_TYPE& c : candidates) {
    if (!c.IsComplete() || owner_->CheckMediaType(*this, c) != S_OK) continue;
    if (receivePin->ReceiveConnection(self, c) != S_OK) continue;
    SetConnection(receivePin, c);
    ALLOCATOR_PROPERTIES props = owner_->DecideBufferSize(*this);
    allocator_->SetProperties(props, nullptr);
    if (FAILED(owner_->OnConnect(*this))) {
      receivePin->Disconnect();
      ClearConnection();
      continue;
    }
    return S_OK;
  }
  return mt && mt->IsComplete() ? VFW_E_TYPE_NOT_ACCEPTED : VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT Pin::ReceiveConnection(const std::shared_ptr<Pin>& connector, const AM_MEDIA_TYPE& mt) {
  if (!connector) return E_POINTER;
  if (dir_ != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (!owner_) return VFW_E_NEED_OWNER;
  if (owner_->CheckMediaType(*this, mt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  SetConnection(connector, mt);
  const HRESULT hr = owner_->OnConnect(*this);
  if (FAILED(hr)) {
    ClearConnection();
    return hr;
  }
  return S_OK;
}

HRESULT Pin::Disconnect() {
  if (owner_ && owner_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!connected_) return S_FALSE;
  ClearConnection();
  if (allocator_) allocator_->Decommit();
  if (owner_) owner_->OnDisconnect(*this);
  return S_OK;
}

HRESULT Pin::Receive(MediaSample& sample) {
  BaseFilter* owner = owner_;
  if (!owner) return VFW_E_NOT_CONNECTED;
  if (owner->State() == State_Stopped) return VFW_E_WRONG_STATE;
  // Keeps the filter alive while the sample is in it, should a callback
  // further down let the graph go.
  const std::shared_ptr<Object> keep = owner->weak_from_this().lock();
  return owner->OnReceive(*this, sample);
}

HRESULT Pin::EndOfStream() {
  BaseFilter* owner = owner_;
  if (!owner) return VFW_E_NOT_CONNECTED;
  if (owner->State() == State_Stopped) return VFW_E_WRONG_STATE;
  return owner->OnEndOfStream(*this);
}

HRESULT Pin::BeginFlush() { return S_OK; }
HRESULT Pin::EndFlush() { return S_OK; }
HRESULT Pin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

HRESULT Pin::Deliver(MediaSample& sample) {
  std::shared_ptr<Pin> to = connected_;
  if (!to) return VFW_E_NOT_CONNECTED;
  if (!PassSample(sample)) return S_OK;
  return to->Receive(sample);
}

HRESULT Pin::DeliverEndOfStream() {
  std::shared_ptr<Pin> to = connected_;
  if (!to) return VFW_E_NOT_CONNECTED;
  return to->EndOfStream();
}

// ---- stream control ----------------------------------------------------------------------

namespace {
constexpr REFERENCE_TIME kNow = std::numeric_limits<REFERENCE_TIME>::min();

void PostStreamEvents(BaseFilter* owner, Pin* pin, const std::vector<std::pair<long, DWORD>>& events) {
  if (!owner) return;
  for (const auto& [code, cookie] : events)
    owner->NotifyEvent(code, reinterpret_cast<intptr_t>(pin), static_cast<intptr_t>(cookie));
}
}  // namespace

HRESULT StreamControlState::StartAt(const REFERENCE_TIME* t, DWORD cookie) {
  std::lock_guard lock(mutex_);
  if (t && *t == MAX_TIME) {
    startPending_ = false;
    return S_OK;
  }
  start_ = t ? *t : kNow;
  startCookie_ = cookie;
  startPending_ = true;
  running_ = false;
  return S_OK;
}

HRESULT StreamControlState::StopAt(const REFERENCE_TIME* t, BOOL sendExtra, DWORD cookie) {
  std::lock_guard lock(mutex_);
  if (t && *t == MAX_TIME) {
    stopPending_ = false;
    return S_OK;
  }
  stop_ = t ? *t : kNow;
  stopCookie_ = cookie;
  sendExtra_ = sendExtra != 0;
  stopPending_ = true;
  return S_OK;
}

HRESULT StreamControlState::GetInfo(AM_STREAM_INFO* info) const {
  if (!info) return E_POINTER;
  std::lock_guard lock(mutex_);
  *info = AM_STREAM_INFO{};
  if (startPending_) {
    info->dwFlags |= AM_STREAM_INFO_START_DEFINED;
    info->tStart = start_ == kNow ? 0 : start_;
    info->dwStartCookie = startCookie_;
  }
  if (stopPending_) {
    info->dwFlags |= AM_STREAM_INFO_STOP_DEFINED;
    info->tStop = stop_ == kNow ? 0 : stop_;
    info->dwStopCookie = stopCookie_;
    if (sendExtra_) info->dwFlags |= AM_STREAM_INFO_STOP_SEND_EXTRA;
  }
  if (!running_) info->dwFlags |= AM_STREAM_INFO_DISCARDING;
  return S_OK;
}

bool StreamControlState::Check(REFERENCE_TIME t, std::vector<std::pair<long, DWORD>>& events) {
  std::lock_guard lock(mutex_);
  if (!running_ && startPending_ && t >= start_ && (!stopPending_ || stop_ == kNow || start_ < stop_ || t < stop_)) {
    running_ = true;
    startPending_ = false;
    events.emplace_back(EC_STREAM_CONTROL_STARTED, startCookie_);
  }
  if (stopPending_ && t >= stop_) {
    stopPending_ = false;
    events.emplace_back(EC_STREAM_CONTROL_STOPPED, stopCookie_);
    const bool extra = running_ && sendExtra_;
    running_ = false;
    return extra;
  }
  return running_;
}

void StreamControlState::Reset() {
  std::lock_guard lock(mutex_);
  running_ = true;
  startPending_ = stopPending_ = false;
}

bool ControlledOutputPin::PassSample(MediaSample& sample) {
  BaseFilter* owner = OwnerFilter();
  const REFERENCE_TIME t = sample.HasTime() ? sample.StartTime() : (owner ? owner->StreamTime() : 0);
  std::vector<std::pair<long, DWORD>> events;
  const bool pass = control_.Check(t, events);
  PostStreamEvents(owner, this, events);
  return pass;
}

HRESULT ControlledInputPin::Receive(MediaSample& sample) {
  BaseFilter* owner = OwnerFilter();
  const REFERENCE_TIME t = sample.HasTime() ? sample.StartTime() : (owner ? owner->StreamTime() : 0);
  std::vector<std::pair<long, DWORD>> events;
  const bool pass = control_.Check(t, events);
  PostStreamEvents(owner, this, events);
  return pass ? Pin::Receive(sample) : S_OK;
}

// ---- BaseFilter ----------------------------------------------------------------------------

BaseFilter::BaseFilter(const CLSID& clsid) : clsid_(clsid) {}

BaseFilter::~BaseFilter() {
  for (auto& p : pins_) {
    p->DetachOwner();
    p->ClearConnection();
  }
}

HRESULT BaseFilter::GetClassID(CLSID* clsid) const {
  if (!clsid) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

std::vector<std::shared_ptr<Pin>> BaseFilter::Pins() const {
  std::lock_guard lock(filterMutex_);
  return pins_;
}

HRESULT BaseFilter::EnumPins(Enumerator<std::shared_ptr<Pin>>* e) const {
  if (!e) return E_POINTER;
  *e = Enumerator<std::shared_ptr<Pin>>(Pins());
  return S_OK;
}

HRESULT BaseFilter::FindPin(const std::string& id, std::shared_ptr<Pin>* pin) const {
  if (!pin) return E_POINTER;
  for (auto& p : Pins())
    if (p->Name() == id) {
      *pin = p;
      return S_OK;
    }
  pin->reset();
  return VFW_E_NOT_FOUND;
}

HRESULT BaseFilter::QueryFilterInfo(FILTER_INFO* info) const {
  if (!info) return E_POINTER;
  std::lock_guard lock(filterMutex_);
  info->achName = name_;
  info->pGraph = graph_ ? std::dynamic_pointer_cast<FilterGraph>(graph_->weak_from_this().lock()) : nullptr;
  return S_OK;
}

std::string BaseFilter::Name() const {
  std::lock_guard lock(filterMutex_);
  return name_;
}

HRESULT BaseFilter::JoinFilterGraph(FilterGraph* graph, const std::string& name) {
  std::lock_guard lock(filterMutex_);
  graph_ = graph;
  name_ = graph ? name : std::string();
  return S_OK;
}

HRESULT BaseFilter::Stop() {
  state_.store(State_Stopped);
  for (auto& p : Pins())
    if (p->Direction() == PINDIR_OUTPUT) p->Allocator().Decommit();
  return S_OK;
}

HRESULT BaseFilter::Pause() {
  if (state_.load() == State_Stopped)
    for (auto& p : Pins())
      if (p->Direction() == PINDIR_OUTPUT && p->IsConnected()) p->Allocator().Commit();
  state_.store(State_Paused);
  return S_OK;
}

HRESULT BaseFilter::Run(REFERENCE_TIME tStart) {
  if (state_.load() == State_Stopped) Pause();
  startTime_.store(tStart);
  state_.store(State_Running);
  return S_OK;
}

HRESULT BaseFilter::GetState(DWORD, FILTER_STATE* state) const {
  if (!state) return E_POINTER;
  *state = state_.load();
  return S_OK;
}

HRESULT BaseFilter::SetSyncSource(std::shared_ptr<ReferenceClock> clock) {
  std::lock_guard lock(filterMutex_);
  clock_ = std::move(clock);
  return S_OK;
}

HRESULT BaseFilter::GetSyncSource(std::shared_ptr<ReferenceClock>* clock) const {
  if (!clock) return E_POINTER;
  *clock = Clock();
  return S_OK;
}

std::shared_ptr<ReferenceClock> BaseFilter::Clock() const {
  std::lock_guard lock(filterMutex_);
  return clock_;
}

REFERENCE_TIME BaseFilter::StreamTime() const {
  if (state_.load() != State_Running) return 0;
  auto clock = Clock();
  return clock ? clock->Now() - startTime_.load() : 0;
}

void BaseFilter::NotifyEvent(long code, intptr_t param1, intptr_t param2) {
  FilterGraph* graph = nullptr;
  {
    std::lock_guard lock(filterMutex_);
    graph = graph_;
  }
  if (graph) graph->Notify(code, param1, param2);
}

bool BaseFilter::IsRenderer() const {
  bool inputs = false;
  for (auto& p : Pins()) {
    if (p->Direction() == PINDIR_OUTPUT) return false;
    inputs = true;
  }
  return inputs;
}

HRESULT BaseFilter::CheckMediaType(const Pin&, const AM_MEDIA_TYPE&) const { return S_OK; }

std::vector<AM_MEDIA_TYPE> BaseFilter::GetMediaTypes(const Pin&) const { return {}; }

ALLOCATOR_PROPERTIES BaseFilter::DecideBufferSize(const Pin& pin) const {
  ALLOCATOR_PROPERTIES p;
  p.cBuffers = 2;
  const AM_MEDIA_TYPE& mt = pin.CurrentType();
  uint32_t size = mt.lSampleSize;
  if (const BITMAPINFOHEADER* bih = mt.BitmapHeader()) {
    const uint32_t frame = bih->biSizeImage ? bih->biSizeImage : FrameSize(mt.subtype, bih->biWidth, bih->biHeight);
    size = std::max(size, frame);
  }
  p.cbBuffer = static_cast<LONG>(std::max<uint32_t>(size, 4096));
  return p;
}

HRESULT BaseFilter::OnReceive(Pin&, MediaSample&) { return S_OK; }

HRESULT BaseFilter::OnEndOfStream(Pin&) {
  if (IsRenderer()) NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<intptr_t>(this));
  return S_OK;
}

void BaseFilter::AddPin(std::shared_ptr<Pin> pin) {
  std::lock_guard lock(filterMutex_);
  pins_.push_back(std::move(pin));
}

void BaseFilter::RemovePin(const Pin& pin) {
  std::lock_guard lock(filterMutex_);
  std::erase_if(pins_, [&](const std::shared_ptr<Pin>& p) {
    if (p.get() != &pin) return false;
    p->DetachOwner();
    return true;
  });
}

std::shared_ptr<Pin> BaseFilter::PinAt(size_t index) const {
  std::lock_guard lock(filterMutex_);
  return index < pins_.size() ? pins_[index] : nullptr;
}

}  // namespace mg
