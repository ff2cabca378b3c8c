#pragma once
// The compressor filters of the video and audio compressor categories:
// one filter class per encoder of the installed FFmpeg that AVI files can
// hold. Video compressors take uncompressed video (RGB or YUV) and offer
// the compression interface; their settings survive through the persist
// stream and show as property pages.
#include <memory>
#include <mutex>
#include <string>

#include "platform/mg/Devices.h"
#include "platform/mg/ffmpeg/FfCodecs.h"

namespace mg::ff {

class VideoCompressor : public BaseFilter,
                        public IAMVideoCompression,
                        public IPersistStream,
                        public ISpecifyPropertyPages {
public:
  explicit VideoCompressor(const EncoderEntry& entry);
  ~VideoCompressor() override;
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  std::shared_ptr<Pin> Output() const { return PinAt(1); }
  const std::string& EncoderName() const { return entry_.encoder; }
  // A picture size to scale to (0: the input's) and a bit rate to aim for
  // when no quality is set (0: the encoder's default). Before connecting.
  HRESULT SetOutputSize(int width, int height);
  HRESULT SetBitRate(LONG bitsPerSecond);

  // IAMVideoCompression. KeyFrameRate 0 means key frames only; -1 and
  // negative quality restore the defaults.
  HRESULT put_KeyFrameRate(LONG KeyFrameRate) override;
  HRESULT get_KeyFrameRate(LONG* pKeyFrameRate) override;
  HRESULT put_PFramesPerKeyFrame(LONG PFramesPerKeyFrame) override;
  HRESULT get_PFramesPerKeyFrame(LONG* pPFramesPerKeyFrame) override;
  HRESULT put_Quality(double Quality) override;
  HRESULT get_Quality(double* pQuality) override;
  HRESULT put_WindowSize(uint64_t WindowSize) override;
  HRESULT get_WindowSize(uint64_t* pWindowSize) override;
  HRESULT GetInfo(std::u16string* pszVersion, std::u16string* pszDescription, LONG* pDefaultKeyFrameRate,
                  LONG* pDefaultPFramesPerKey, double* pDefaultQuality, LONG* pCapabilities) override;
  HRESULT OverrideKeyFrame(LONG FrameNumber) override;
  HRESULT OverrideFrameSize(LONG FrameNumber, LONG Size) override;

  // IPersistStream: the settings as "name=value" lines.
  HRESULT IsDirty() override;
  HRESULT Load(const std::vector<uint8_t>& stream) override;
  HRESULT Save(std::vector<uint8_t>& stream, BOOL fClearDirty) override;
  HRESULT GetSizeMax(uint64_t* pcbSize) override;

  HRESULT GetPages(std::vector<PropertyPage>* pPages) override;

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  void OnDisconnect(Pin& pin) override;
  ALLOCATOR_PROPERTIES DecideBufferSize(const Pin& pin) const override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;

  struct Settings {
    LONG keyFrameRate = -1;
    LONG pFramesPerKey = -1;
    double quality = -1.0;
    uint64_t windowSize = 1;
    int width = 0, height = 0;
    LONG bitRate = 0;
  };
  struct Encoder;

private:
  Settings Current() const;
  LONG DefaultKeyFrameRate() const;

  EncoderEntry entry_;
  mutable std::mutex settingsMutex_;
  Settings settings_;
  bool dirty_ = false;
  LONG forceKeyFrame_ = -1;
  std::mutex codecMutex_;
  std::unique_ptr<Encoder> encoder_;
  AM_MEDIA_TYPE outputType_;
};

class AudioCompressor : public BaseFilter, public IPersistStream, public ISpecifyPropertyPages {
public:
  explicit AudioCompressor(const EncoderEntry& entry);
  ~AudioCompressor() override;
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  std::shared_ptr<Pin> Output() const { return PinAt(1); }

  // Bits per second for the encoders that take a rate; 0 for the default.
  HRESULT SetBitRate(LONG bitsPerSecond);
  LONG BitRate() const;
  // 1 or 2 channels to encode, mixing or copying the input's; 0 for the
  // input's own. Before connecting.
  HRESULT SetOutputChannels(int channels);
  int OutputChannels() const;

  HRESULT IsDirty() override;
  HRESULT Load(const std::vector<uint8_t>& stream) override;
  HRESULT Save(std::vector<uint8_t>& stream, BOOL fClearDirty) override;
  HRESULT GetSizeMax(uint64_t* pcbSize) override;
  HRESULT GetPages(std::vector<PropertyPage>* pPages) override;

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  void OnDisconnect(Pin& pin) override;
  ALLOCATOR_PROPERTIES DecideBufferSize(const Pin& pin) const override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;

  struct Encoder;

private:
  EncoderEntry entry_;
  mutable std::mutex settingsMutex_;
  LONG bitRate_ = 0;
  int outChannels_ = 0;
  bool dirty_ = false;
  std::mutex codecMutex_;
  std::unique_ptr<Encoder> encoder_;
  AM_MEDIA_TYPE outputType_;
};

// A compressor filter for the class id of a listed encoder; nullptr if none.
std::shared_ptr<BaseFilter> CreateCompressor(const CLSID& clsid);

// Lists the encoders in the video and audio compressor categories.
class CompressorProvider : public DeviceProvider {
public:
  std::vector<std::shared_ptr<Moniker>> Enumerate(const GUID& category) override;
};

}  // namespace mg::ff
