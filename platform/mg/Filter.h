#pragma once
// Filters, pins, media samples and the allocator: the parts every filter
// is made of. A filter owns its pins; an output pin pushes samples into the
// input pin it is connected to, on the streaming thread (or, with the
// manual scheduler, on the test's thread).
//
// Lock order, outermost first (never take an earlier one while holding a
// later one):
//   1. a caller's own locks (the application's, a test's)
//   2. FilterGraph::stateMutex_   (Run/Pause/Stop, AddFilter, Connect)
//   3. ThreadedScheduler's shared mutex (worker bookkeeping)
//   4. BaseFilter::filterMutex_   (pins list, clock, per-filter settings)
//   5. per-object data locks: a pin's stream-control lock, a grabber's
//      buffer lock, the graph's event queue lock
// A streaming thread holds none of 2..4 while a sample travels, and takes
// the locks of 5 only briefly. User callbacks (the sample grabber's, and
// any filter's that calls out to the application) run with none of 2..5
// held, inside a UserCodeScope, so Stop can return while a callback waits
// for lock 1 that the stopping thread holds; see Scheduler.h. Such a
// callback still finishes afterwards: the next Run, a RemoveFilter and the
// graph's release wait for it, so do those without holding the lock it
// waits for.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mg/Events.h"
#include "platform/mg/Interfaces.h"
#include "platform/mg/MediaType.h"
#include "platform/mg/Object.h"
#include "platform/mg/ReferenceClock.h"

namespace mg {

class BaseFilter;
class FilterGraph;

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

// ---- samples and allocator ---------------------------------------------------

class MediaSample {
public:
  explicit MediaSample(size_t size = 0) : buffer_(size) {}

  uint8_t* GetPointer() { return buffer_.data(); }
  const uint8_t* GetPointer() const { return buffer_.data(); }
  HRESULT GetPointer(uint8_t** ppBuffer);
  LONG GetSize() const { return static_cast<LONG>(buffer_.size()); }
  LONG GetActualDataLength() const { return actual_; }
  HRESULT SetActualDataLength(LONG length);
  // VFW_E_SAMPLE_TIME_NOT_SET without times; VFW_S_NO_STOP_TIME with a start only.
  HRESULT GetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) const;
  // nullptr start clears both times.
  HRESULT SetTime(const REFERENCE_TIME* pStart, const REFERENCE_TIME* pEnd);
  bool HasTime() const { return hasStart_; }
  REFERENCE_TIME StartTime() const { return start_; }
  REFERENCE_TIME StopTime() const { return hasStop_ ? stop_ : start_ + 1; }
  HRESULT GetMediaTime(int64_t* pStart, int64_t* pEnd) const;
  HRESULT SetMediaTime(const int64_t* pStart, const int64_t* pEnd);
  HRESULT IsSyncPoint() const { return sync_ ? S_OK : S_FALSE; }
  HRESULT SetSyncPoint(bool b) { sync_ = b; return S_OK; }
  HRESULT IsDiscontinuity() const { return discontinuity_ ? S_OK : S_FALSE; }
  HRESULT SetDiscontinuity(bool b) { discontinuity_ = b; return S_OK; }
  HRESULT IsPreroll() const { return preroll_ ? S_OK : S_FALSE; }
  HRESULT SetPreroll(bool b) { preroll_ = b; return S_OK; }
  // A type change travelling with this sample, or nullptr.
  const AM_MEDIA_TYPE* GetMediaType() const { return typeChanged_ ? &type_ : nullptr; }
  HRESULT SetMediaType(const AM_MEDIA_TYPE* pmt);

  // Copies the properties (times, flags) but not the data.
  void CopyPropertiesFrom(const MediaSample& other);
  // Makes room for `size` bytes (allocator use).
  void Resize(size_t size) { buffer_.resize(size); }
  void ResetProperties();

private:
  std::vector<uint8_t> buffer_;
  LONG actual_ = 0;
  bool hasStart_ = false, hasStop_ = false;
  REFERENCE_TIME start_ = 0, stop_ = 0;
  bool hasMediaTime_ = false;
  int64_t mediaStart_ = 0, mediaStop_ = 0;
  bool sync_ = false, discontinuity_ = false, preroll_ = false;
  bool typeChanged_ = false;
  AM_MEDIA_TYPE type_;
};

struct ALLOCATOR_PROPERTIES {
  LONG cBuffers = 0;
  LONG cbBuffer = 0;
  LONG cbAlign = 1;
  LONG cbPrefix = 0;
};

// A pool of samples. A live stream never waits for a free buffer: when all
// are out the pool grows, so a slow branch cannot stall the source thread.
class MemAllocator : public Object {
public:
  HRESULT SetProperties(const ALLOCATOR_PROPERTIES& request, ALLOCATOR_PROPERTIES* actual);
  HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) const;
  HRESULT Commit();
  HRESULT Decommit();
  // A free sample, reset and sized to cbBuffer; it returns to the pool when
  // the last shared_ptr to it goes. VFW_E_NOT_COMMITTED when decommitted.
  HRESULT GetBuffer(std::shared_ptr<MediaSample>& sample);
  size_t PoolSize() const;

private:
  struct Slot {
    MediaSample sample;
    std::atomic<bool> busy{false};
  };
  mutable std::mutex mutex_;
  ALLOCATOR_PROPERTIES props_;
  bool committed_ = false;
  std::vector<std::shared_ptr<Slot>> slots_;
};

// ---- pins ----------------------------------------------------------------------

struct PIN_INFO {
  std::shared_ptr<BaseFilter> pFilter;
  PIN_DIRECTION dir = PINDIR_INPUT;
  std::string achName;  // at most 127 characters
};

class Pin : public Object {
public:
  Pin(BaseFilter* owner, std::string name, PIN_DIRECTION dir);

  const std::string& Name() const { return name_; }
  PIN_DIRECTION Direction() const { return dir_; }
  HRESULT QueryDirection(PIN_DIRECTION* dir) const;
  HRESULT QueryPinInfo(PIN_INFO* info) const;
  HRESULT QueryId(std::string* id) const;
  std::shared_ptr<BaseFilter> Owner() const;
  BaseFilter* OwnerFilter() const { return owner_; }

  std::shared_ptr<Pin> ConnectedTo() const;
  HRESULT ConnectedTo(std::shared_ptr<Pin>* pin) const;
  bool IsConnected() const;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mt) const;
  const AM_MEDIA_TYPE& CurrentType() const { return mt_; }
  // The types this pin prefers, best first.
  std::vector<AM_MEDIA_TYPE> MediaTypes() const;
  HRESULT EnumMediaTypes(Enumerator<AM_MEDIA_TYPE>* e) const;
  // S_OK when the pin would accept the type now.
  HRESULT QueryAccept(const AM_MEDIA_TYPE& mt) const;

  // The category a capture device or tee gives this pin (PIN_CATEGORY_*),
  // GUID_NULL for none.
  GUID Category() const { return category_; }
  void SetCategory(const GUID& c) { category_ = c; }

  // Connection protocol: the graph calls Connect on the output pin, which
  // offers types to the input pin's ReceiveConnection.
  virtual HRESULT Connect(const std::shared_ptr<Pin>& receivePin, const AM_MEDIA_TYPE* mt);
  virtual HRESULT ReceiveConnection(const std::shared_ptr<Pin>& connector, const AM_MEDIA_TYPE& mt);
  // Breaks this side only, as on the platform; the graph breaks both.
  virtual HRESULT Disconnect();

  // Streaming, called on input pins by the upstream output pin.
  virtual HRESULT Receive(MediaSample& sample);
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  // Output side: hands a sample to the connected input pin.
  HRESULT Deliver(MediaSample& sample);
  HRESULT DeliverEndOfStream();
  // The output pin's own pool (sized when the connection was made).
  MemAllocator& Allocator() { return *allocator_; }

protected:
  // Output pins with stream control screen each sample here: true to pass.
  // `extra` is set for the one sample sent after a stop.
  virtual bool PassSample(MediaSample& sample) {
    (void)sample;
    return true;
  }
  void SetConnection(const std::shared_ptr<Pin>& other, const AM_MEDIA_TYPE& mt);
  void ClearConnection();

private:
  BaseFilter* owner_;
  std::string name_;
  PIN_DIRECTION dir_;
  GUID category_;
  std::shared_ptr<Pin> connected_;
  AM_MEDIA_TYPE mt_;
  std::shared_ptr<MemAllocator> allocator_;

  friend class BaseFilter;
  void DetachOwner() { owner_ = nullptr; }
};

// The start/stop bookkeeping of IAMStreamControl, shared by the pins that
// offer it. Sample times are compared with the scheduled stream times.
class StreamControlState {
public:
  HRESULT StartAt(const REFERENCE_TIME* t, DWORD cookie);
  HRESULT StopAt(const REFERENCE_TIME* t, BOOL sendExtra, DWORD cookie);
  HRESULT GetInfo(AM_STREAM_INFO* info) const;
  // Decides for a sample starting at `t`; the events to send come back in
  // `events` (code, cookie) for the caller to post outside the lock.
  bool Check(REFERENCE_TIME t, std::vector<std::pair<long, DWORD>>& events);
  void Reset();

private:
  mutable std::mutex mutex_;
  bool running_ = true;
  bool startPending_ = false, stopPending_ = false;
  REFERENCE_TIME start_ = 0, stop_ = 0;
  DWORD startCookie_ = 0, stopCookie_ = 0;
  bool sendExtra_ = false;
};

// An output pin that offers stream control (capture pins, the Smart Tee's
// capture output). Reaching a start or stop sends
// EC_STREAM_CONTROL_STARTED / _STOPPED with the pin and the cookie.
class ControlledOutputPin : public Pin, public IAMStreamControl {
public:
  ControlledOutputPin(BaseFilter* owner, std::string name) : Pin(owner, std::move(name), PINDIR_OUTPUT) {}
  HRESULT StartAt(const REFERENCE_TIME* ptStart, DWORD dwCookie) override { return control_.StartAt(ptStart, dwCookie); }
  HRESULT StopAt(const REFERENCE_TIME* ptStop, BOOL bSendExtra, DWORD dwCookie) override {
    return control_.StopAt(ptStop, bSendExtra, dwCookie);
  }
  HRESULT GetInfo(AM_STREAM_INFO* pInfo) override { return control_.GetInfo(pInfo); }

protected:
  bool PassSample(MediaSample& sample) override;

private:
  StreamControlState control_;
};

// An input pin with stream control (the mux's inputs).
class ControlledInputPin : public Pin, public IAMStreamControl {
public:
  ControlledInputPin(BaseFilter* owner, std::string name) : Pin(owner, std::move(name), PINDIR_INPUT) {}
  HRESULT StartAt(const REFERENCE_TIME* ptStart, DWORD dwCookie) override { return control_.StartAt(ptStart, dwCookie); }
  HRESULT StopAt(const REFERENCE_TIME* ptStop, BOOL bSendExtra, DWORD dwCookie) override {
    return control_.StopAt(ptStop, bSendExtra, dwCookie);
  }
  HRESULT GetInfo(AM_STREAM_INFO* pInfo) override { return control_.GetInfo(pInfo); }
  HRESULT Receive(MediaSample& sample) override;

private:
  StreamControlState control_;
};

// ---- filters -------------------------------------------------------------------

struct FILTER_INFO {
  std::string achName;
  std::shared_ptr<FilterGraph> pGraph;
};

class BaseFilter : public Object {
public:
  explicit BaseFilter(const CLSID& clsid);
  ~BaseFilter() override;

  CLSID ClassId() const { return clsid_; }
  HRESULT GetClassID(CLSID* clsid) const;

  std::vector<std::shared_ptr<Pin>> Pins() const;
  HRESULT EnumPins(Enumerator<std::shared_ptr<Pin>>* e) const;
  HRESULT FindPin(const std::string& id, std::shared_ptr<Pin>* pin) const;
  HRESULT QueryFilterInfo(FILTER_INFO* info) const;
  std::string Name() const;
  FilterGraph* Graph() const { return graph_; }
  // Called by the graph when the filter is added (graph set) or removed (nullptr).
  virtual HRESULT JoinFilterGraph(FilterGraph* graph, const std::string& name);
  std::string QueryVendorInfo() const { return {}; }

  virtual HRESULT Stop();
  virtual HRESULT Pause();
  virtual HRESULT Run(REFERENCE_TIME tStart);
  HRESULT GetState(DWORD msTimeout, FILTER_STATE* state) const;
  FILTER_STATE State() const { return state_.load(); }
  HRESULT SetSyncSource(std::shared_ptr<ReferenceClock> clock);
  HRESULT GetSyncSource(std::shared_ptr<ReferenceClock>* clock) const;
  // The running stream time: clock time minus the start time, 0 when not running.
  REFERENCE_TIME StreamTime() const;

  // Posts an event to the graph the filter belongs to, if any.
  void NotifyEvent(long code, intptr_t param1, intptr_t param2);

  // A renderer ends a stream (sends EC_COMPLETE) and is what Render looks for.
  virtual bool IsRenderer() const;

  // ---- hooks for the pins ---------------------------------------------------------
  // Whether `pin` accepts `mt` for a connection.
  virtual HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const;
  // The types `pin` proposes, best first.
  virtual std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const;
  // A connection of `pin` was made or broken.
  virtual HRESULT OnConnect(Pin& pin) {
    (void)pin;
    return S_OK;
  }
  virtual void OnDisconnect(Pin& pin) { (void)pin; }
  // Buffers an output pin needs: count and size. Default: one frame of its type.
  virtual ALLOCATOR_PROPERTIES DecideBufferSize(const Pin& pin) const;
  // A sample arrived on an input pin (the filter is paused or running).
  virtual HRESULT OnReceive(Pin& pin, MediaSample& sample);
  virtual HRESULT OnEndOfStream(Pin& pin);

protected:
  void AddPin(std::shared_ptr<Pin> pin);
  void RemovePin(const Pin& pin);
  std::shared_ptr<Pin> PinAt(size_t index) const;
  std::shared_ptr<ReferenceClock> Clock() const;
  REFERENCE_TIME StartTime() const { return startTime_.load(); }

  mutable std::mutex filterMutex_;

private:
  CLSID clsid_;
  std::vector<std::shared_ptr<Pin>> pins_;
  FilterGraph* graph_ = nullptr;
  std::string name_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  std::atomic<REFERENCE_TIME> startTime_{0};
  std::shared_ptr<ReferenceClock> clock_;
};

// Source filters the schedulers drive. PushOne makes one sample stamped
// at `streamTime` and delivers it on the calling thread.
class StreamSource {
public:
  virtual ~StreamSource() = default;
  // S_OK: delivered (or dropped downstream); S_FALSE: end of stream.
  virtual HRESULT PushOne(REFERENCE_TIME streamTime) = 0;
  // Time between samples; 0 for a source that runs as fast as it can.
  virtual REFERENCE_TIME FramePeriod() const = 0;
};

// The platform's interface names for these classes.
using IBaseFilter = BaseFilter;
using IPin = Pin;
using IMediaSample = MediaSample;
using IMemAllocator = MemAllocator;
using IEnumPins = Enumerator<std::shared_ptr<Pin>>;
using IEnumMediaTypes = Enumerator<AM_MEDIA_TYPE>;
using IEnumFilters = Enumerator<std::shared_ptr<BaseFilter>>;

// The interfaces a graph implements for its filters.
class IMediaEventSink {
public:
  virtual ~IMediaEventSink() = default;
  virtual HRESULT Notify(long code, intptr_t param1, intptr_t param2) = 0;
};

}  // namespace mg
