#pragma once
// The filter graph: it holds the filters, connects them (directly, or
// through registered converters), runs them with a scheduler and a clock,
// queues their events for the application, and seeks and steps through
// the filters that can.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/mg/Filter.h"
#include "platform/mg/Scheduler.h"

namespace mg {

class Moniker;

class IMediaFilter {
public:
  virtual ~IMediaFilter() = default;
  virtual HRESULT SetSyncSource(std::shared_ptr<ReferenceClock> clock) = 0;
  virtual HRESULT GetSyncSource(std::shared_ptr<ReferenceClock>* clock) = 0;
};

class IMediaControl {
public:
  virtual ~IMediaControl() = default;
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(LONG msTimeout, FILTER_STATE* state) = 0;
  virtual HRESULT StopWhenReady() = 0;
  virtual HRESULT RenderFile(const std::string& fileName) = 0;
};

inline constexpr LONG INFINITE_TIMEOUT = -1;

class IMediaEventEx {
public:
  virtual ~IMediaEventEx() = default;
  // E_ABORT when no event arrived within msTimeout (-1 waits for ever).
  virtual HRESULT GetEvent(long* lEventCode, intptr_t* lParam1, intptr_t* lParam2, LONG msTimeout) = 0;
  virtual HRESULT WaitForCompletion(LONG msTimeout, long* pEvCode) = 0;
  virtual HRESULT CancelDefaultHandling(long lEvCode) = 0;
  virtual HRESULT RestoreDefaultHandling(long lEvCode) = 0;
  virtual HRESULT FreeEventParams(long lEvCode, intptr_t lParam1, intptr_t lParam2) = 0;
  // Each queued event posts `lMsg` (wParam 0, lParam lInstanceData) to hwnd.
  virtual HRESULT SetNotifyWindow(win::HWND hwnd, LONG lMsg, intptr_t lInstanceData) = 0;
  virtual HRESULT SetNotifyFlags(LONG lNoNotifyFlags) = 0;
  virtual HRESULT GetNotifyFlags(LONG* lplNoNotifyFlags) = 0;
};

inline constexpr DWORD AM_SEEKING_CanSeekAbsolute = 0x1;
inline constexpr DWORD AM_SEEKING_CanSeekForwards = 0x2;
inline constexpr DWORD AM_SEEKING_CanSeekBackwards = 0x4;
inline constexpr DWORD AM_SEEKING_CanGetCurrentPos = 0x8;
inline constexpr DWORD AM_SEEKING_CanGetStopPos = 0x10;
inline constexpr DWORD AM_SEEKING_CanGetDuration = 0x20;
inline constexpr DWORD AM_SEEKING_CanPlayBackwards = 0x40;
inline constexpr DWORD AM_SEEKING_CanDoSegments = 0x80;
inline constexpr DWORD AM_SEEKING_Source = 0x100;
inline constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
inline constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;
inline constexpr DWORD AM_SEEKING_RelativePositioning = 0x2;
inline constexpr DWORD AM_SEEKING_IncrementalPositioning = 0x3;
inline constexpr DWORD AM_SEEKING_PositioningBitsMask = 0x3;
inline constexpr DWORD AM_SEEKING_SeekToKeyFrame = 0x4;
inline constexpr DWORD AM_SEEKING_ReturnTime = 0x8;

class IMediaSeeking {
public:
  virtual ~IMediaSeeking() = default;
  virtual HRESULT GetCapabilities(DWORD* pCapabilities) = 0;
  virtual HRESULT CheckCapabilities(DWORD* pCapabilities) = 0;
  virtual HRESULT IsFormatSupported(const GUID* pFormat) = 0;
  virtual HRESULT QueryPreferredFormat(GUID* pFormat) = 0;
  virtual HRESULT GetTimeFormat(GUID* pFormat) = 0;
  virtual HRESULT IsUsingTimeFormat(const GUID* pFormat) = 0;
  virtual HRESULT SetTimeFormat(const GUID* pFormat) = 0;
  virtual HRESULT GetDuration(int64_t* pDuration) = 0;
  virtual HRESULT GetStopPosition(int64_t* pStop) = 0;
  virtual HRESULT GetCurrentPosition(int64_t* pCurrent) = 0;
  virtual HRESULT ConvertTimeFormat(int64_t* pTarget, const GUID* pTargetFormat, int64_t Source,
                                    const GUID* pSourceFormat) = 0;
  virtual HRESULT SetPositions(int64_t* pCurrent, DWORD dwCurrentFlags, int64_t* pStop, DWORD dwStopFlags) = 0;
  virtual HRESULT GetPositions(int64_t* pCurrent, int64_t* pStop) = 0;
  virtual HRESULT GetAvailable(int64_t* pEarliest, int64_t* pLatest) = 0;
  virtual HRESULT SetRate(double dRate) = 0;
  virtual HRESULT GetRate(double* pdRate) = 0;
  virtual HRESULT GetPreroll(int64_t* pllPreroll) = 0;
};

class IVideoFrameStep {
public:
  virtual ~IVideoFrameStep() = default;
  virtual HRESULT Step(DWORD dwFrames, Object* pStepObject) = 0;
  virtual HRESULT CanStep(LONG bMultiple, Object* pStepObject) = 0;
  virtual HRESULT CancelStep() = 0;
};

// What a renderer offers the graph for frame stepping: let `frames` more
// frames through while the graph runs, then send EC_STEP_COMPLETE.
class FrameStepTarget {
public:
  virtual ~FrameStepTarget() = default;
  virtual void BeginStep(DWORD frames) = 0;
  virtual void CancelStep() = 0;
};

class IGraphBuilder {
public:
  virtual ~IGraphBuilder() = default;
  // A name already used gets " 0001", " 0002", ... and VFW_S_DUPLICATE_NAME.
  virtual HRESULT AddFilter(const std::shared_ptr<BaseFilter>& filter, const std::string& name) = 0;
  virtual HRESULT RemoveFilter(const std::shared_ptr<BaseFilter>& filter) = 0;
  virtual HRESULT EnumFilters(Enumerator<std::shared_ptr<BaseFilter>>* e) = 0;
  virtual HRESULT FindFilterByName(const std::string& name, std::shared_ptr<BaseFilter>* filter) = 0;
  virtual HRESULT ConnectDirect(const std::shared_ptr<Pin>& out, const std::shared_ptr<Pin>& in,
                                const AM_MEDIA_TYPE* mt) = 0;
  virtual HRESULT Reconnect(const std::shared_ptr<Pin>& pin) = 0;
  virtual HRESULT Disconnect(const std::shared_ptr<Pin>& pin) = 0;
  virtual HRESULT SetDefaultSyncSource() = 0;
  virtual HRESULT Connect(const std::shared_ptr<Pin>& out, const std::shared_ptr<Pin>& in) = 0;
  virtual HRESULT Render(const std::shared_ptr<Pin>& out) = 0;
  virtual HRESULT RenderFile(const std::string& file, const std::string& playList) = 0;
  virtual HRESULT AddSourceFilter(const std::string& fileName, const std::string& filterName,
                                  std::shared_ptr<BaseFilter>* filter) = 0;
  virtual HRESULT Abort() = 0;
  // IFilterGraph2
  virtual HRESULT AddSourceFilterForMoniker(const std::shared_ptr<Moniker>& moniker, const std::string& name,
                                            std::shared_ptr<BaseFilter>* filter) = 0;
  virtual HRESULT ReconnectEx(const std::shared_ptr<Pin>& pin, const AM_MEDIA_TYPE* mt) = 0;
};
using IFilterGraph = IGraphBuilder;
using IFilterGraph2 = IGraphBuilder;

class FilterGraph : public Object,
                    public IGraphBuilder,
                    public IMediaControl,
                    public IMediaEventEx,
                    public IMediaEventSink,
                    public IMediaFilter,
                    public IMediaSeeking,
                    public IVideoFrameStep {
public:
  // Graphs start with the threaded scheduler and the system clock.
  static std::shared_ptr<FilterGraph> Create();
  FilterGraph();
  ~FilterGraph() override;

  // Replaces the scheduler (only while stopped); one that brings its own
  // clock (the manual one) becomes the sync source too.
  HRESULT SetScheduler(std::shared_ptr<Scheduler> scheduler);
  std::shared_ptr<Scheduler> GetScheduler() const;
  std::vector<std::shared_ptr<BaseFilter>> Filters() const;
  bool Contains(const BaseFilter* filter) const;

  // IGraphBuilder / IFilterGraph2
  HRESULT AddFilter(const std::shared_ptr<BaseFilter>& filter, const std::string& name) override;
  HRESULT RemoveFilter(const std::shared_ptr<BaseFilter>& filter) override;
  HRESULT EnumFilters(Enumerator<std::shared_ptr<BaseFilter>>* e) override;
  HRESULT FindFilterByName(const std::string& name, std::shared_ptr<BaseFilter>* filter) override;
  HRESULT ConnectDirect(const std::shared_ptr<Pin>& out, const std::shared_ptr<Pin>& in,
                        const AM_MEDIA_TYPE* mt) override;
  HRESULT Reconnect(const std::shared_ptr<Pin>& pin) override;
  HRESULT Disconnect(const std::shared_ptr<Pin>& pin) override;
  HRESULT SetDefaultSyncSource() override;
  HRESULT Connect(const std::shared_ptr<Pin>& out, const std::shared_ptr<Pin>& in) override;
  HRESULT Render(const std::shared_ptr<Pin>& out) override;
  HRESULT RenderFile(const std::string& file, const std::string& playList) override;
  HRESULT AddSourceFilter(const std::string& fileName, const std::string& filterName,
                          std::shared_ptr<BaseFilter>* filter) override;
  HRESULT Abort() override { return S_OK; }
  HRESULT AddSourceFilterForMoniker(const std::shared_ptr<Moniker>& moniker, const std::string& name,
                                    std::shared_ptr<BaseFilter>* filter) override;
  HRESULT ReconnectEx(const std::shared_ptr<Pin>& pin, const AM_MEDIA_TYPE* mt) override;

  // IMediaControl
  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetState(LONG msTimeout, FILTER_STATE* state) override;
  HRESULT StopWhenReady() override { return Stop(); }
  HRESULT RenderFile(const std::string& fileName) override { return RenderFile(fileName, {}); }

  // IMediaEventEx and the filters' side
  HRESULT GetEvent(long* lEventCode, intptr_t* lParam1, intptr_t* lParam2, LONG msTimeout) override;
  HRESULT WaitForCompletion(LONG msTimeout, long* pEvCode) override;
  HRESULT CancelDefaultHandling(long lEvCode) override;
  HRESULT RestoreDefaultHandling(long lEvCode) override;
  HRESULT FreeEventParams(long lEvCode, intptr_t lParam1, intptr_t lParam2) override;
  HRESULT SetNotifyWindow(win::HWND hwnd, LONG lMsg, intptr_t lInstanceData) override;
  HRESULT SetNotifyFlags(LONG lNoNotifyFlags) override;
  HRESULT GetNotifyFlags(LONG* lplNoNotifyFlags) override;
  HRESULT Notify(long code, intptr_t param1, intptr_t param2) override;
  size_t PendingEvents() const;

  // IMediaFilter
  HRESULT SetSyncSource(std::shared_ptr<ReferenceClock> clock) override;
  HRESULT GetSyncSource(std::shared_ptr<ReferenceClock>* clock) override;

  // IMediaSeeking: answered by the filters that seek, or from the clock
  // for a live graph (current position only).
  HRESULT GetCapabilities(DWORD* pCapabilities) override;
  HRESULT CheckCapabilities(DWORD* pCapabilities) override;
  HRESULT IsFormatSupported(const GUID* pFormat) override;
  HRESULT QueryPreferredFormat(GUID* pFormat) override;
  HRESULT GetTimeFormat(GUID* pFormat) override;
  HRESULT IsUsingTimeFormat(const GUID* pFormat) override;
  HRESULT SetTimeFormat(const GUID* pFormat) override;
  HRESULT GetDuration(int64_t* pDuration) override;
  HRESULT GetStopPosition(int64_t* pStop) override;
  HRESULT GetCurrentPosition(int64_t* pCurrent) override;
  HRESULT ConvertTimeFormat(int64_t* pTarget, const GUID* pTargetFormat, int64_t Source,
                            const GUID* pSourceFormat) override;
  HRESULT SetPositions(int64_t* pCurrent, DWORD dwCurrentFlags, int64_t* pStop, DWORD dwStopFlags) override;
  HRESULT GetPositions(int64_t* pCurrent, int64_t* pStop) override;
  HRESULT GetAvailable(int64_t* pEarliest, int64_t* pLatest) override;
  HRESULT SetRate(double dRate) override;
  HRESULT GetRate(double* pdRate) override;
  HRESULT GetPreroll(int64_t* pllPreroll) override;

  // IVideoFrameStep
  HRESULT Step(DWORD dwFrames, Object* pStepObject) override;
  HRESULT CanStep(LONG bMultiple, Object* pStepObject) override;
  HRESULT CancelStep() override;

protected:
  // The graph answers for its renderers' window, video and audio interfaces.
  std::shared_ptr<Object> QueryDelegate(const std::type_info& type) override;

private:
  struct Event {
    long code;
    intptr_t p1, p2;
  };
  HRESULT ConnectVia(const std::shared_ptr<Pin>& out, const std::shared_ptr<Pin>& in, int depth);
  HRESULT RenderVia(const std::shared_ptr<Pin>& out, int depth);
  HRESULT DisconnectFilter(BaseFilter& f);
  bool InGraph(const std::shared_ptr<Pin>& pin) const;
  std::vector<std::shared_ptr<IMediaSeeking>> Seekers() const;
  void Queue(long code, intptr_t p1, intptr_t p2);
  HRESULT PauseFilters();

  mutable std::recursive_mutex stateMutex_;
  std::vector<std::shared_ptr<BaseFilter>> filters_;
  std::shared_ptr<Scheduler> scheduler_;
  std::shared_ptr<ReferenceClock> clock_;
  // The clock was taken away on purpose: the sources run unpaced.
  bool freeRunning_ = false;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  REFERENCE_TIME startTime_ = 0;
  GUID timeFormat_ = TIME_FORMAT_MEDIA_TIME;
  double rate_ = 1.0;

  mutable std::mutex eventMutex_;
  std::condition_variable eventArrived_;
  std::deque<Event> events_;
  std::set<long> cancelled_;
  int renderers_ = 0;
  int completed_ = 0;
  win::HWND notifyWindow_ = nullptr;
  LONG notifyMsg_ = 0;
  intptr_t notifyData_ = 0;
  LONG notifyFlags_ = 0;
  std::atomic<bool> stepping_{false};
  // Set while RenderFile runs: connections then try the idle filters the
  // graph already holds first.
  bool renderingFile_ = false;
};

// Posts the graph's notification message; the window system's PostMessage
// by default. Tests and other front ends may install another poster.
using NotifyPoster = std::function<void(win::HWND hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam)>;
void SetNotifyPoster(NotifyPoster poster);
void PostGraphNotification(win::HWND hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam);

}  // namespace mg
