#pragma once
// The file source: opens a clip with libavformat (AVI, ASF/WMV, DV, MPEG,
// MP4 and whatever else the library reads) and splits it into one output
// pin per video and audio stream, carrying the compressed packets. It
// seeks (media time or frames), plays at a rate, and plays backwards by
// seeking to each earlier frame in turn.
//
// Sample times follow the usual convention: relative to the position the
// last seek went to, divided by the rate. Packets decoded only to reach a
// seek target (from the key frame before it) carry negative times; the
// decoders drop the pictures they give.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mg/Graph.h"

namespace mg::ff {

class FfSource : public BaseFilter,
                 public StreamSource,
                 public IFileSourceFilter,
                 public IMediaSeeking,
                 public IAMFilterMiscFlags {
public:
  explicit FfSource(const CLSID& clsid);
  ~FfSource() override;

  // IFileSourceFilter: opens the clip and makes the output pins.
  HRESULT Load(const std::string& pszFileName, const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetCurFile(std::string* ppszFileName, AM_MEDIA_TYPE* pmt) override;
  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

  // StreamSource: one video frame's packets (and the audio up to it).
  HRESULT PushOne(REFERENCE_TIME streamTime) override;
  REFERENCE_TIME FramePeriod() const override;

  // IMediaSeeking
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

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  ALLOCATOR_PROPERTIES DecideBufferSize(const Pin& pin) const override;
  HRESULT Pause() override;

  struct Demuxer;

private:
  HRESULT ToMediaTime(int64_t value, const GUID& format, REFERENCE_TIME* out) const;
  HRESULT FromMediaTime(REFERENCE_TIME t, const GUID& format, int64_t* out) const;
  HRESULT SeekLocked(REFERENCE_TIME target);
  HRESULT PushForward();
  HRESULT PushBackward();
  void EndStreams(HRESULT error);

  // What one push sends, gathered under the lock and delivered after it;
  // a null sample is the end of the stream.
  struct Outgoing {
    std::shared_ptr<Pin> pin;
    std::shared_ptr<MediaSample> sample;
  };
  std::vector<Outgoing> outbox_;
  HRESULT endError_ = S_OK;
  mutable std::mutex demuxMutex_;
  std::unique_ptr<Demuxer> demux_;
  std::string path_;
  GUID timeFormat_ = TIME_FORMAT_MEDIA_TIME;
  double rate_ = 1.0;
  REFERENCE_TIME segmentStart_ = 0;   // media time the samples count from
  REFERENCE_TIME stop_ = MAX_TIME;    // media time playback ends at
  REFERENCE_TIME current_ = 0;        // media time of the last frame sent
  REFERENCE_TIME backwardsSent_ = 0;  // frames sent backwards, as time
  bool ended_ = false;
  bool needSeek_ = false;
};

}  // namespace mg::ff
