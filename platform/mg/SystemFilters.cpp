#include "platform/mg/SystemFilters.h"

#include <algorithm>
#include <cstring>

#include "platform/mg/Scheduler.h"

namespace mg {

namespace {
// Outputs of pass-through filters offer, and accept, what their input carries.
std::vector<AM_MEDIA_TYPE> InputTypeOf(const std::shared_ptr<Pin>& input) {
  if (!input || !input->IsConnected()) return {};
  return {input->CurrentType()};
}
HRESULT SameAsInput(const std::shared_ptr<Pin>& input, const AM_MEDIA_TYPE& mt) {
  if (!input || !input->IsConnected()) return VFW_E_NOT_CONNECTED;
  return input->CurrentType().Equals(mt) ? S_OK : S_FALSE;
}
}  // namespace

// ---- CallbackSource ------------------------------------------------------------------------

CallbackSource::CallbackSource(const AM_MEDIA_TYPE& type, REFERENCE_TIME period, FillFunction fill,
                               const GUID& category)
    : BaseFilter(GUID_NULL), type_(type), period_(period), fill_(std::move(fill)) {
  auto pin = std::make_shared<ControlledOutputPin>(this, "Capture");
  pin->SetCategory(category);
  AddPin(pin);
}

HRESULT CallbackSource::CheckMediaType(const Pin&, const AM_MEDIA_TYPE& mt) const {
  return type_.Matches(mt) && mt.majortype == type_.majortype && mt.subtype == type_.subtype ? S_OK : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> CallbackSource::GetMediaTypes(const Pin&) const { return {type_}; }

HRESULT CallbackSource::PushOne(REFERENCE_TIME t) {
  if (ended_) return S_FALSE;
  auto out = Output();
  if (State() == State_Stopped) return VFW_E_WRONG_STATE;
  const int64_t index = frames_.fetch_add(1);
  if (!out->IsConnected()) {
    dropped_.fetch_add(1);
    return S_OK;
  }
  std::shared_ptr<MediaSample> sample;
  HRESULT hr = out->Allocator().GetBuffer(sample);
  if (FAILED(hr)) {
    dropped_.fetch_add(1);
    return hr;
  }
  long room = sample->GetSize();
  if (type_.lSampleSize > 0 && type_.lSampleSize < static_cast<uint32_t>(room)) room = static_cast<long>(type_.lSampleSize);
  const long used = fill_ ? fill_(sample->GetPointer(), room, index) : room;
  if (used < 0) {
    ended_ = true;
    out->DeliverEndOfStream();
    return S_FALSE;
  }
  sample->SetActualDataLength(std::min<long>(used, sample->GetSize()));
  REFERENCE_TIME start = t, stop = t + (period_ > 0 ? period_ : 1);
  sample->SetTime(&start, &stop);
  sample->SetSyncPoint(true);
  sample->SetDiscontinuity(fresh_.exchange(false));
  bytes_.fetch_add(used);
  hr = out->Deliver(*sample);
  if (hr == VFW_E_WRONG_STATE) return hr;  // the graph is stopping
  if (FAILED(hr)) dropped_.fetch_add(1);
  return S_OK;
}

HRESULT CallbackSource::Stop() {
  fresh_.store(true);
  return BaseFilter::Stop();
}

HRESULT CallbackSource::Pause() {
  fresh_.store(true);
  return BaseFilter::Pause();
}

HRESULT CallbackSource::GetNumDropped(LONG* n) {
  if (!n) return E_POINTER;
  *n = static_cast<LONG>(dropped_.load());
  return S_OK;
}

HRESULT CallbackSource::GetNumNotDropped(LONG* n) {
  if (!n) return E_POINTER;
  *n = static_cast<LONG>(frames_.load() - dropped_.load());
  return S_OK;
}

HRESULT CallbackSource::GetDroppedInfo(LONG, LONG*, LONG* copied) {
  if (copied) *copied = 0;
  return E_NOTIMPL;
}

HRESULT CallbackSource::GetAverageFrameSize(LONG* size) {
  if (!size) return E_POINTER;
  const int64_t n = frames_.load() - dropped_.load();
  *size = n > 0 ? static_cast<LONG>(bytes_.load() / n) : 0;
  return S_OK;
}

// ---- SmartTee ---------------------------------------------------------------------------------

SmartTee::SmartTee() : BaseFilter(CLSID_SmartTee) {
  AddPin(std::make_shared<Pin>(this, "Input", PINDIR_INPUT));
  auto capture = std::make_shared<ControlledOutputPin>(this, "Capture");
  capture->SetCategory(PIN_CATEGORY_CAPTURE);
  AddPin(capture);
  auto preview = std::make_shared<Pin>(this, "Preview", PINDIR_OUTPUT);
  preview->SetCategory(PIN_CATEGORY_PREVIEW);
  AddPin(preview);
}

HRESULT SmartTee::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_INPUT) return mt.IsComplete() ? S_OK : S_FALSE;
  return SameAsInput(Input(), mt);
}

std::vector<AM_MEDIA_TYPE> SmartTee::GetMediaTypes(const Pin& pin) const {
  return pin.Direction() == PINDIR_OUTPUT ? InputTypeOf(Input()) : std::vector<AM_MEDIA_TYPE>{};
}

HRESULT SmartTee::OnReceive(Pin&, MediaSample& sample) {
  auto capture = CaptureOutput();
  auto preview = PreviewOutput();
  if (capture->IsConnected()) {
    const HRESULT hr = capture->Deliver(sample);
    if (hr == VFW_E_WRONG_STATE) return hr;
  }
  if (!preview->IsConnected()) return S_OK;
  if (sample.HasTime() && State() == State_Running && StreamTime() > sample.StopTime()) {
    previewDropped_.fetch_add(1);
    return S_OK;
  }
  // The preview branch renders at once: it gets the same buffer, untimed.
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT timed = sample.GetTime(&start, &stop);
  sample.SetTime(nullptr, nullptr);
  preview->Deliver(sample);
  if (timed == S_OK)
    sample.SetTime(&start, &stop);
  else if (timed == VFW_S_NO_STOP_TIME)
    sample.SetTime(&start, nullptr);
  previewDelivered_.fetch_add(1);
  return S_OK;
}

HRESULT SmartTee::OnEndOfStream(Pin&) {
  for (auto& p : Pins())
    if (p->Direction() == PINDIR_OUTPUT && p->IsConnected()) p->DeliverEndOfStream();
  return S_OK;
}

// ---- InfTee ------------------------------------------------------------------------------------

InfTee::InfTee() : BaseFilter(CLSID_InfTee) {
  AddPin(std::make_shared<Pin>(this, "Input", PINDIR_INPUT));
  AddPin(std::make_shared<Pin>(this, "Output" + std::to_string(nextIndex_++), PINDIR_OUTPUT));
}

std::shared_ptr<Pin> InfTee::FreeOutput() const {
  for (auto& p : Pins())
    if (p->Direction() == PINDIR_OUTPUT && !p->IsConnected()) return p;
  return nullptr;
}

HRESULT InfTee::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_INPUT) return mt.IsComplete() ? S_OK : S_FALSE;
  return SameAsInput(Input(), mt);
}

std::vector<AM_MEDIA_TYPE> InfTee::GetMediaTypes(const Pin& pin) const {
  return pin.Direction() == PINDIR_OUTPUT ? InputTypeOf(Input()) : std::vector<AM_MEDIA_TYPE>{};
}

HRESULT InfTee::OnConnect(Pin& pin) {
  if (pin.Direction() == PINDIR_OUTPUT && !FreeOutput())
    AddPin(std::make_shared<Pin>(this, "Output" + std::to_string(nextIndex_++), PINDIR_OUTPUT));
  return S_OK;
}

HRESULT InfTee::OnReceive(Pin&, MediaSample& sample) {
  for (auto& p : Pins())
    if (p->Direction() == PINDIR_OUTPUT && p->IsConnected() && p->Deliver(sample) == VFW_E_WRONG_STATE)
      return VFW_E_WRONG_STATE;
  return S_OK;
}

HRESULT InfTee::OnEndOfStream(Pin&) {
  for (auto& p : Pins())
    if (p->Direction() == PINDIR_OUTPUT && p->IsConnected()) p->DeliverEndOfStream();
  return S_OK;
}

// ---- NullRenderer ---------------------------------------------------------------------------------

NullRenderer::NullRenderer() : BaseFilter(CLSID_NullRenderer) {
  AddPin(std::make_shared<Pin>(this, "In", PINDIR_INPUT));
}

HRESULT NullRenderer::OnReceive(Pin&, MediaSample& sample) {
  samples_.fetch_add(1);
  lastStart_.store(sample.HasTime() ? sample.StartTime() : -1);
  return S_OK;
}

// ---- SampleGrabber ----------------------------------------------------------------------------------

SampleGrabber::SampleGrabber() : BaseFilter(CLSID_SampleGrabber) {
  AddPin(std::make_shared<Pin>(this, "Input", PINDIR_INPUT));
  AddPin(std::make_shared<Pin>(this, "Output", PINDIR_OUTPUT));
}

HRESULT SampleGrabber::SetOneShot(BOOL oneShot) {
  std::lock_guard lock(grabMutex_);
  oneShot_ = oneShot != 0;
  shotTaken_ = false;
  return S_OK;
}

HRESULT SampleGrabber::SetMediaType(const AM_MEDIA_TYPE* type) {
  std::lock_guard lock(grabMutex_);
  wanted_ = type ? *type : AM_MEDIA_TYPE{};
  return S_OK;
}

HRESULT SampleGrabber::GetConnectedMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  return Input()->ConnectionMediaType(type);
}

HRESULT SampleGrabber::SetBufferSamples(BOOL bufferThem) {
  std::lock_guard lock(grabMutex_);
  buffer_ = bufferThem != 0;
  return S_OK;
}

HRESULT SampleGrabber::GetCurrentBuffer(LONG* size, uint8_t* buffer) {
  if (!size) return E_POINTER;
  std::lock_guard lock(grabMutex_);
  if (!buffer_ || !hasBuffer_) return VFW_E_WRONG_STATE;
  const LONG need = static_cast<LONG>(buffered_.size());
  if (!buffer) {
    *size = need;
    return S_OK;
  }
  if (*size < need) return E_OUTOFMEMORY;
  std::memcpy(buffer, buffered_.data(), buffered_.size());
  *size = need;
  return S_OK;
}

HRESULT SampleGrabber::GetCurrentSample(MediaSample**) { return E_NOTIMPL; }

HRESULT SampleGrabber::SetCallback(std::shared_ptr<ISampleGrabberCB> callback, LONG which) {
  if (which != 0 && which != 1) return E_INVALIDARG;
  std::lock_guard lock(grabMutex_);
  callback_ = std::move(callback);
  method_ = which;
  return S_OK;
}

HRESULT SampleGrabber::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_OUTPUT) return SameAsInput(Input(), mt);
  std::lock_guard lock(grabMutex_);
  return mt.IsComplete() && wanted_.Matches(mt) ? S_OK : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> SampleGrabber::GetMediaTypes(const Pin& pin) const {
  return pin.Direction() == PINDIR_OUTPUT ? InputTypeOf(Input()) : std::vector<AM_MEDIA_TYPE>{};
}

HRESULT SampleGrabber::Run(REFERENCE_TIME tStart) {
  {
    std::lock_guard lock(grabMutex_);
    shotTaken_ = false;
  }
  return BaseFilter::Run(tStart);
}

bool SampleGrabber::IsRenderer() const { return !Output()->IsConnected(); }

HRESULT SampleGrabber::OnReceive(Pin&, MediaSample& sample) {
  std::shared_ptr<ISampleGrabberCB> callback;
  LONG method = 0;
  bool endAfter = false;
  {
    std::lock_guard lock(grabMutex_);
    if (oneShot_ && shotTaken_) return S_FALSE;
    const LONG len = sample.GetActualDataLength();
    if (buffer_) {
      buffered_.assign(sample.GetPointer(), sample.GetPointer() + len);
      hasBuffer_ = true;
    }
    callback = callback_;
    method = method_;
    if (oneShot_) shotTaken_ = endAfter = true;
  }
  samples_.fetch_add(1);
  if (callback) {
    const double when = sample.HasTime() ? static_cast<double>(sample.StartTime()) / UNITS : 0.0;
    // No graph lock is held here; Stop does not wait for this call.
    UserCodeScope user;
    if (method == 0)
      callback->SampleCB(when, &sample);
    else
      callback->BufferCB(when, sample.GetPointer(), sample.GetActualDataLength());
  }
  if (State() == State_Stopped) return VFW_E_WRONG_STATE;
  auto out = Output();
  if (out->IsConnected()) {
    const HRESULT hr = out->Deliver(sample);
    if (hr == VFW_E_WRONG_STATE) return hr;
  }
  if (endAfter) {
    if (out->IsConnected())
      out->DeliverEndOfStream();
    else
      NotifyEvent(EC_COMPLETE, S_OK, 0);
    return S_FALSE;
  }
  return S_OK;
}

HRESULT SampleGrabber::OnEndOfStream(Pin& pin) {
  auto out = Output();
  if (out->IsConnected()) return out->DeliverEndOfStream();
  return BaseFilter::OnEndOfStream(pin);
}

}  // namespace mg
