#pragma once
// The ASF writer: uncompressed video and PCM audio in, an ASF file out,
// encoded as its profile says (codecs, picture size, bit rates, key-frame
// spacing). Inside it is a small chain of the other filters: a compressor
// per input, the muxer in its ASF form and the file writer, and, for the
// network and push sinks, a second muxer writing the streamable form.
// Its sinks start as the file alone; a writer whose file sink was removed
// only streams.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mg/Filter.h"
#include "platform/mg/WmProfiles.h"

namespace mg::ff {

// The writer's profile: the runtime's parsed form. Its text form is the
// profile XML (see WmProfiles.h).
using AsfProfile = wm::ProfileSettings;

class FfAsfWriter : public BaseFilter,
                    public IFileSinkFilter,
                    public IConfigAsfWriter,
                    public IServiceProvider,
                    public IWMWriterAdvanced2 {
public:
  FfAsfWriter();
  ~FfAsfWriter() override;
  std::shared_ptr<Pin> AudioInput() const { return PinAt(0); }
  std::shared_ptr<Pin> VideoInput() const { return PinAt(1); }

  HRESULT SetFileName(const std::string& pszFileName, const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetCurFile(std::string* ppszFileName, AM_MEDIA_TYPE* pmt) override;

  // Profiles by id or identifier belong to the system catalogue, which
  // this writer does not carry.
  HRESULT ConfigureFilterUsingProfileId(DWORD dwProfileId) override;
  HRESULT GetCurrentProfileId(DWORD* pdwProfileId) override;
  HRESULT ConfigureFilterUsingProfileGuid(const GUID& guidProfile) override;
  HRESULT GetCurrentProfileGuid(GUID* pProfileGuid) override;
  HRESULT ConfigureFilterUsingProfile(const WMProfile& profile) override;
  HRESULT GetCurrentProfile(WMProfile* ppProfile) override;
  HRESULT SetIndexMode(BOOL bIndexFile) override;
  HRESULT GetIndexMode(BOOL* pbIndexFile) override;

  HRESULT QueryService(const GUID& guidService, std::shared_ptr<Object>* service) override;

  HRESULT GetSinkCount(DWORD* pcSinks) override;
  HRESULT GetSink(DWORD dwSinkNum, std::shared_ptr<Object>* ppSink) override;
  HRESULT AddSink(const std::shared_ptr<Object>& pSink) override;
  HRESULT RemoveSink(const std::shared_ptr<Object>& pSink) override;
  HRESULT SetLiveSource(BOOL fIsLiveSource) override;
  HRESULT IsRealTime(BOOL* pfRealTime) override;
  HRESULT SetInputSetting(DWORD dwInputNum, const std::string& pszName, WMT_ATTR_DATATYPE Type,
                          const uint8_t* pValue, uint16_t cbLength) override;
  HRESULT GetInputSetting(DWORD dwInputNum, const std::string& pszName, WMT_ATTR_DATATYPE* pType, uint8_t* pValue,
                          uint16_t* pcbLength) override;

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  // Each input names its kind of stream (a partial type), as a builder
  // looks for the writer's video or audio input by it.
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  void OnDisconnect(Pin& pin) override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT Stop() override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;
  bool IsRenderer() const override { return true; }

  struct Chain;

private:
  HRESULT BuildChain();

  std::mutex configMutex_;
  AsfProfile profile_;
  BOOL indexMode_ = 1;
  BOOL live_ = 0;
  std::string path_;
  std::vector<std::shared_ptr<Object>> sinks_;
  struct Setting {
    DWORD input;
    std::string name;
    WMT_ATTR_DATATYPE type;
    std::vector<uint8_t> value;
  };
  std::vector<Setting> settings_;
  std::unique_ptr<Chain> chain_;
};

}  // namespace mg::ff
