#pragma once
// TIKDirectShow builds a media graph that ends in a sample grabber, so that
// single frames of a video file (or of a capture filter the caller sets)
// can be copied into an image buffer. The input/output component reads
// the frames of video files through it, and the thumbnail view takes the
// first frame of each clip from it.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/rtl/StringList.h"
#include "platform/rtl/Types.h"
#include "platform/win/Types.h"
#include "imaging/core/ikdefs.h"

namespace mg {
class BaseFilter;
class FilterGraph;
class CaptureGraphBuilder;
class SampleGrabber;
class NullRenderer;
class IMediaControl;
class IMediaSeeking;
class IMediaEventEx;
class IAMStreamConfig;
class IAMCrossbar;
class IAMTVTuner;
class IVideoFrameStep;
}  // namespace mg

namespace imaging {

class TIKBitmap;
class TIKSampleGrabberCB;

// One capability of a capture source's output.
struct TIKVideoFormat {
  String Subtype;
  int32_t BitRate = 0;
  String VideoStandards;
  int32_t MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
  int32_t GranularityX = 0, GranularityY = 0;
};

// Time formats by index, as SetTimeFormat takes them.
enum : int32_t {
  ikTimeFormatNone = 0,
  ikTimeFormatFrame = 1,
  ikTimeFormatSample = 2,
  ikTimeFormatField = 3,
  ikTimeFormatByte = 4,
  ikTimeFormatMediaTime = 5,  // 100-nanosecond units
};

class TIKDirectShow {
public:
  TIKDirectShow();
  ~TIKDirectShow();
  TIKDirectShow(const TIKDirectShow&) = delete;
  TIKDirectShow& operator=(const TIKDirectShow&) = delete;

  // Names of devices and codecs the caller keeps here; nothing in this
  // object fills them.
  rtl::TStringList VideoInputs, AudioInputs, VideoCodecs, AudioCodecs;
  std::vector<TIKVideoFormat> VideoFormats;
  rtl::TStringList CrossbarInputs;

  // What Connect builds the graph from.
  std::shared_ptr<mg::BaseFilter> VideoCaptureFilter;
  std::shared_ptr<mg::BaseFilter> AudioCaptureFilter;
  std::shared_ptr<mg::BaseFilter> VideoCodecFilter;
  std::shared_ptr<mg::BaseFilter> AudioCodecFilter;
  String FileInput;
  // A name ending in ".avi" or ".asf" adds the matching writer.
  String FileOutput;
  bool Grab = false;
  bool RenderAudio = false;

  void Connect();
  void Disconnect();
  bool IsConnected() const { return graph_ != nullptr; }
  // A paused file source hands its current frame to the grabber.
  void Pause();
  bool IsActive();
  void SetTimeFormat(int32_t index);
  int64_t Duration();
  // 100-nanosecond units; 0 when the video format does not tell.
  int64_t AvgTimePerFrame();
  void GetVideoSize(int32_t& width, int32_t& height, String& subtypeName);
  void Seek(int64_t position);
  // Copies the grabber's last frame into the bitmap (24-bit RGB of the
  // video's size). False when there was no frame to copy.
  bool GetFrame(TIKBitmap* bitmap);
  // Frames and graph events are posted to the window as the two messages,
  // with this object as lParam.
  void SetNotifyWindow(win::HWND window, uint32_t frameMessage, uint32_t eventMessage);
  // What Connect found on the source, for the caller's device settings.
  std::shared_ptr<mg::IAMStreamConfig> StreamConfig() const { return streamConfig_; }
  std::shared_ptr<mg::IAMCrossbar> Crossbar() const { return crossbar_; }
  std::shared_ptr<mg::IAMTVTuner> TVTuner() const { return tvTuner_; }

  // The graph, for callers that drive it further; null when not connected.
  std::shared_ptr<mg::FilterGraph> Graph() const { return graph_; }

private:
  friend class TIKSampleGrabberCB;
  void FindSourceControls();
  void RebuildVideoFormats();
  void RebuildCrossbarInputs();

  std::shared_ptr<mg::BaseFilter> colorConverter_;
  std::shared_ptr<mg::BaseFilter> fileSource_;
  std::shared_ptr<mg::FilterGraph> graph_;
  std::shared_ptr<mg::CaptureGraphBuilder> builder_;
  std::shared_ptr<mg::IMediaControl> control_;
  std::shared_ptr<mg::IMediaSeeking> seeking_;
  std::shared_ptr<mg::IMediaEventEx> events_;
  std::shared_ptr<mg::IAMStreamConfig> streamConfig_;
  std::shared_ptr<mg::BaseFilter> crossbarFilter_;
  std::shared_ptr<mg::IAMCrossbar> crossbar_;
  std::shared_ptr<mg::BaseFilter> tvTunerFilter_;
  std::shared_ptr<mg::IAMTVTuner> tvTuner_;
  std::shared_ptr<mg::IVideoFrameStep> frameStep_;
  std::shared_ptr<mg::SampleGrabber> grabber_;
  std::shared_ptr<TIKSampleGrabberCB> callback_;
  std::shared_ptr<mg::NullRenderer> nullRenderer_;
  std::shared_ptr<mg::BaseFilter> writer_;
  std::atomic<win::HWND> notifyWindow_{nullptr};
  std::atomic<uint32_t> frameMessage_{0};
  uint32_t eventMessage_ = 0;
};

}  // namespace imaging
