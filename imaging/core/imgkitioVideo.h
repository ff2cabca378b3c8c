#pragma once
// The state an input/output component keeps while a video file is open for
// frame reads: the AVI reader's stream information and the media file's
// frame bookkeeping.
#include <cstdint>
#include <memory>

#include "imaging/core/ikds.h"

namespace imaging {

// What the component keeps of an open AVI file's video stream.
struct TIKAviStreamInfo {
  uint32_t dwLength = 0;  // frames
  uint32_t dwRate = 0;    // frames per dwScale seconds
  uint32_t dwScale = 0;
};

struct TIKAviFile {
  std::unique_ptr<TIKDirectShow> Reader;
  TIKAviStreamInfo Info;
};

struct TIKMediaFile {
  std::unique_ptr<TIKDirectShow> Source;
  double FrameDelay = 0;       // 1/100 s
  int64_t TimeMultiplier = 1;  // positions per frame index
};

// Milliseconds per frame of a stream of `rate` frames per `scale`
// seconds, truncated; 0 when either is 0, since such a stream tells
// nothing about its timing.
int32_t AviFrameDelayOf(uint32_t rate, uint32_t scale);

// The frame count and position multiplier of a media file from its
// duration in media time, its duration in frames (equal to the media-time
// one when the source cannot count frames) and its average frame time.
struct TIKMediaFrameCount {
  int64_t Frames = 0;
  int64_t Multiplier = 1;
};
TIKMediaFrameCount MediaFrameCountOf(int64_t mediaDuration, int64_t frameDuration, int64_t avgTimePerFrame);

}  // namespace imaging
