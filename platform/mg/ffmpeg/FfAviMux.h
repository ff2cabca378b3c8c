#pragma once
// Writing files: the AVI mux (libavformat's AVI muxer writing through a
// custom I/O context into its output pin) and the file writer it feeds.
// The mux stamps each block it sends with the byte offset it belongs at
// (sample start = offset), so the writer can go back and fill in the
// headers the muxer completes at the end. Streams that are already in
// their final form (a device's native MPEG stream) go straight to the
// writer and are written as they come.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mg/Filter.h"

namespace mg::ff {

class FfMux : public BaseFilter, public IConfigAviMux, public IConfigInterleaving {
public:
  // `format` is the library's muxer name ("avi"). A streamed muxer writes
  // front to back, for a reader that cannot seek (a network client).
  FfMux(const CLSID& clsid, std::string format, bool streamed = false);
  ~FfMux() override;
  std::shared_ptr<Pin> Output() const { return PinAt(0); }
  // The input pins, connected or not, in order.
  std::vector<std::shared_ptr<Pin>> Inputs() const;
  int64_t PacketsWritten() const { return packets_.load(); }
  // The stream type of the output: Avi or Asf.
  GUID OutputSubtype() const;

  // Writes the file's trailer once; later samples are refused. Called at
  // the end of every input stream, at Stop, and by a writer that stops
  // first.
  void Finish();

  // IConfigAviMux: the master stream and the legacy index are kept as
  // settings; the muxer always writes the legacy index beside the
  // extended one.
  HRESULT SetMasterStream(LONG iStream) override;
  HRESULT GetMasterStream(LONG* pStream) override;
  HRESULT SetOutputCompatibilityIndex(BOOL fOldIndex) override;
  HRESULT GetOutputCompatibilityIndex(BOOL* pfOldIndex) override;
  // IConfigInterleaving: NONE writes samples in arrival order; the other
  // modes interleave within the interleave time.
  HRESULT put_Mode(InterleavingMode mode) override;
  HRESULT get_Mode(InterleavingMode* pMode) override;
  HRESULT put_Interleaving(const REFERENCE_TIME* prtInterleave, const REFERENCE_TIME* prtPreroll) override;
  HRESULT get_Interleaving(REFERENCE_TIME* prtInterleave, REFERENCE_TIME* prtPreroll) override;

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;

  struct Muxer;

private:
  HRESULT StartLocked();
  void FinishLocked();
  HRESULT WriteOut(const uint8_t* data, size_t size, int64_t offset);

  std::string format_;
  bool streamed_ = false;
  std::mutex settingsMutex_;
  LONG master_ = -1;
  BOOL oldIndex_ = 1;
  InterleavingMode mode_ = INTERLEAVE_CAPTURE;
  REFERENCE_TIME interleave_ = UNITS, preroll_ = 0;
  int nextIndex_ = 1;

  std::recursive_mutex muxMutex_;
  std::unique_ptr<Muxer> muxer_;
  std::atomic<int64_t> packets_{0};
  MediaSample block_;
  friend struct Muxer;
};

class FfFileWriter : public BaseFilter, public IFileSinkFilter {
public:
  FfFileWriter();
  ~FfFileWriter() override;
  HRESULT SetFileName(const std::string& pszFileName, const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetCurFile(std::string* ppszFileName, AM_MEDIA_TYPE* pmt) override;
  // Bytes written in this run (the file's length when it closes).
  int64_t BytesWritten() const { return length_.load(); }

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  bool IsRenderer() const override { return true; }

private:
  void Close();

  std::mutex fileMutex_;
  std::string path_;
  int fd_ = -1;
  bool positioned_ = false;
  std::atomic<int64_t> length_{0};
};

}  // namespace mg::ff
