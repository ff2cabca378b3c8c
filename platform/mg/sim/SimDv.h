#pragma once
// The simulated DV camcorder with a tape. Each tape frame is made once, on
// first use, by libavcodec's DV encoder and libavformat's DV muxer from the
// test pattern, with the time code of its position and a fixed recording
// date, so the DIF bytes carry what a real tape's subcode and AUX packs do.
// The transport moves the head one frame period at a time while the graph
// runs; get_Mode reports a new mode only after a settable number of polls,
// as a real deck takes a moment to settle.
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mg/sim/SimVideo.h"

namespace mg::sim {

inline constexpr GUID CLSID_SimDv = MakeGuid(0x5E1C0007, 0x7A3D, 0x4C21, 0x9B, 0x51, 0x56, 0x4F, 0x52, 0x49, 0x58, 0x01);

// Frame-rate kinds of a time code.
inline constexpr uint16_t ED_FORMAT_SMPTE_30_SIM = ED_BASE + 110;
inline constexpr uint16_t ED_FORMAT_SMPTE_25_SIM = ED_BASE + 112;

struct DvOptions {
  bool pal = true;
  // Only the interleaved pin, without the DV video pin.
  bool interleavedOnly = false;
  int tapeFrames = 250;
  // Polls of get_Mode that still answer the previous mode after put_Mode.
  int settlingPolls = 0;
};

// The recording date every tape frame carries: 2004-07-15 14:30:00.
struct DvRecordingDate {
  int year = 2004, month = 7, day = 15, hour = 14, minute = 30, second = 0;
};

// Time code of a tape position, "hh:mm:ss:ff" and as BCD 0xHHMMSSFF.
std::string DvTimecodeText(int64_t position, bool pal);
uint32_t DvTimecodeBcd(int64_t position, bool pal);
// Bytes of one DIF frame.
inline constexpr uint32_t DvFrameBytes(bool pal) { return pal ? 144000u : 120000u; }
// One tape frame: the pattern with `caption`, encoded and muxed with 48 kHz
// stereo silence-free tone audio. Empty when FFmpeg fails.
std::vector<uint8_t> MakeDvFrame(bool pal, int64_t position, const std::string& caption);
// The DVINFO block of a DIF frame (its audio and video AUX source and control packs).
DVINFO DvInfoOf(const std::vector<uint8_t>& frame);

// The sixteen transport modes the deck accepts.
const std::vector<LONG>& DvTransportModes();

class SimDvCamcorder : public BaseFilter,
                       public StreamSource,
                       public IAMExtTransport,
                       public IAMTimecodeReader,
                       public IAMDroppedFrames {
public:
  SimDvCamcorder(std::shared_ptr<DevicePresence> presence, const DvOptions& options);

  // nullptr for the interleaved-only variant.
  std::shared_ptr<Pin> VideoPin() const;
  std::shared_ptr<Pin> InterleavedPin() const;
  std::shared_ptr<Pin> InputPin() const;
  int64_t Position() const;
  void SetPosition(int64_t frame);
  void SetSettlingPolls(int polls);
  // The bytes of a tape frame (made on first use).
  std::vector<uint8_t> TapeFrame(int64_t position);
  const DvOptions& Options() const { return options_; }

  HRESULT PushOne(REFERENCE_TIME streamTime) override;
  REFERENCE_TIME FramePeriod() const override { return options_.pal ? 400'000 : 333'667; }
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  ALLOCATOR_PROPERTIES DecideBufferSize(const Pin& pin) const override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT Stop() override;

  // IAMExtTransport
  HRESULT GetCapability(LONG Capability, LONG* pValue, double* pdblValue) override;
  HRESULT put_MediaState(LONG State) override;
  HRESULT get_MediaState(LONG* pState) override;
  HRESULT put_LocalControl(LONG State) override;
  HRESULT get_LocalControl(LONG* pState) override;
  HRESULT GetStatus(LONG StatusItem, LONG* pValue) override;
  HRESULT GetTransportBasicParameters(LONG Param, LONG* pValue, std::string* ppszData) override;
  HRESULT SetTransportBasicParameters(LONG Param, LONG Value, const std::string& pszData) override;
  HRESULT put_Mode(LONG Mode) override;
  HRESULT get_Mode(LONG* pMode) override;
  HRESULT put_Rate(double dblRate) override;
  HRESULT get_Rate(double* pdblRate) override;

  // IAMTimecodeReader
  HRESULT GetTCRMode(LONG Param, LONG* pValue) override;
  HRESULT SetTCRMode(LONG Param, LONG Value) override;
  HRESULT put_VITCLine(LONG Line) override;
  HRESULT get_VITCLine(LONG* pLine) override;
  HRESULT GetTimecode(TIMECODE_SAMPLE* pTimecodeSample) override;

  // IAMDroppedFrames
  HRESULT GetNumDropped(LONG* plDropped) override;
  HRESULT GetNumNotDropped(LONG* plNotDropped) override;
  HRESULT GetDroppedInfo(LONG lSize, LONG* plArray, LONG* plNumCopied) override;
  HRESULT GetAverageFrameSize(LONG* plAverageSize) override;

private:
  AM_MEDIA_TYPE VideoType() const;
  AM_MEDIA_TYPE InterleavedType() const;
  std::vector<uint8_t> FrameLocked(int64_t position);
  // Moves the head for one frame period; records when recording.
  void AdvanceLocked();

  std::shared_ptr<DevicePresence> presence_;
  DvOptions options_;
  DVINFO dvInfo_;
  mutable std::mutex mutex_;
  std::map<int64_t, std::vector<uint8_t>> tape_;
  std::vector<uint8_t> lastInput_;
  int64_t position_ = 0;
  LONG mode_ = ED_MODE_STOP;       // what the deck does
  LONG reported_ = ED_MODE_STOP;   // what get_Mode answers
  int pendingPolls_ = 0;
  LONG pendingMode_ = ED_MODE_STOP;
  double rate_ = 1.0;
  double fraction_ = 0.0;
  int64_t delivered_ = 0;
  int64_t dropped_ = 0;
  bool lostSent_ = false;
};

}  // namespace mg::sim
