#include "platform/mg/SystemFilters.h"

namespace mg {

// ---- AviMuxStandIn ----------------------------------------------------------------------

AviMuxStandIn::AviMuxStandIn() : BaseFilter(CLSID_AviDest) {
  AddPin(std::make_shared<Pin>(this, "AVI Out", PINDIR_OUTPUT));
  char name[16];
  std::snprintf(name, sizeof name, "Input %02d", nextIndex_++);
  AddPin(std::make_shared<ControlledInputPin>(this, name));
}

HRESULT AviMuxStandIn::SetMasterStream(LONG s) {
  std::lock_guard lock(settingsMutex_);
  master_ = s;
  return S_OK;
}
HRESULT AviMuxStandIn::GetMasterStream(LONG* s) {
  if (!s) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  *s = master_;
  return S_OK;
}
HRESULT AviMuxStandIn::SetOutputCompatibilityIndex(BOOL old) {
  std::lock_guard lock(settingsMutex_);
  oldIndex_ = old;
  return S_OK;
}
HRESULT AviMuxStandIn::GetOutputCompatibilityIndex(BOOL* old) {
  if (!old) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  *old = oldIndex_;
  return S_OK;
}
HRESULT AviMuxStandIn::put_Mode(InterleavingMode mode) {
  if (mode < INTERLEAVE_NONE || mode > INTERLEAVE_NONE_BUFFERED) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  mode_ = mode;
  return S_OK;
}
HRESULT AviMuxStandIn::get_Mode(InterleavingMode* mode) {
  if (!mode) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  *mode = mode_;
  return S_OK;
}
HRESULT AviMuxStandIn::put_Interleaving(const REFERENCE_TIME* interleave, const REFERENCE_TIME* preroll) {
  std::lock_guard lock(settingsMutex_);
  if (interleave) interleave_ = *interleave;
  if (preroll) preroll_ = *preroll;
  return S_OK;
}
HRESULT AviMuxStandIn::get_Interleaving(REFERENCE_TIME* interleave, REFERENCE_TIME* preroll) {
  std::lock_guard lock(settingsMutex_);
  if (interleave) *interleave = interleave_;
  if (preroll) *preroll = preroll_;
  return S_OK;
}

HRESULT AviMuxStandIn::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_OUTPUT)
    return mt.majortype == MEDIATYPE_Stream && mt.subtype == MEDIASUBTYPE_Avi ? S_OK : S_FALSE;
  return mt.majortype == MEDIATYPE_Video || mt.majortype == MEDIATYPE_Audio ||
                 mt.majortype == MEDIATYPE_Interleaved
             ? S_OK
             : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> AviMuxStandIn::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() != PINDIR_OUTPUT) return {};
  AM_MEDIA_TYPE mt;
  mt.majortype = MEDIATYPE_Stream;
  mt.subtype = MEDIASUBTYPE_Avi;
  mt.formattype = FORMAT_None;
  mt.bFixedSizeSamples = false;
  mt.lSampleSize = 1;
  return {mt};
}

HRESULT AviMuxStandIn::OnConnect(Pin& pin) {
  if (pin.Direction() != PINDIR_INPUT) return S_OK;
  for (auto& p : Pins())
    if (p->Direction() == PINDIR_INPUT && !p->IsConnected()) return S_OK;
  char name[16];
  std::snprintf(name, sizeof name, "Input %02d", nextIndex_++);
  AddPin(std::make_shared<ControlledInputPin>(this, name));
  return S_OK;
}

HRESULT AviMuxStandIn::OnReceive(Pin&, MediaSample&) {
  samples_.fetch_add(1);
  return S_OK;
}

HRESULT AviMuxStandIn::OnEndOfStream(Pin&) {
  auto out = Output();
  return out->IsConnected() ? out->DeliverEndOfStream() : S_OK;
}

// ---- FileWriter -------------------------------------------------------------------------------

FileWriter::FileWriter() : BaseFilter(CLSID_FileWriter) { AddPin(std::make_shared<Pin>(this, "in", PINDIR_INPUT)); }

FileWriter::~FileWriter() {
  if (file_) std::fclose(file_);
}

HRESULT FileWriter::SetFileName(const std::string& name, const AM_MEDIA_TYPE*) {
  if (name.empty()) return E_INVALIDARG;
  if (State() != State_Stopped) return VFW_E_NOT_STOPPED;
  std::lock_guard lock(fileMutex_);
  path_ = name;
  return S_OK;
}

HRESULT FileWriter::GetCurFile(std::string* name, AM_MEDIA_TYPE* mt) {
  if (!name) return E_POINTER;
  std::lock_guard lock(fileMutex_);
  *name = path_;
  if (mt) *mt = AM_MEDIA_TYPE{};
  return path_.empty() ? E_FAIL : S_OK;
}

HRESULT FileWriter::CheckMediaType(const Pin&, const AM_MEDIA_TYPE& mt) const {
  return mt.majortype == MEDIATYPE_Stream ? S_OK : S_FALSE;
}

HRESULT FileWriter::Pause() {
  if (State() == State_Stopped) {
    std::lock_guard lock(fileMutex_);
    if (path_.empty()) return E_FAIL;
    if (!file_) file_ = std::fopen(path_.c_str(), "wb");
    if (!file_) return E_ACCESSDENIED;
  }
  return BaseFilter::Pause();
}

HRESULT FileWriter::Stop() {
  BaseFilter::Stop();
  std::lock_guard lock(fileMutex_);
  if (file_) std::fclose(file_);
  file_ = nullptr;
  return S_OK;
}

HRESULT FileWriter::OnReceive(Pin&, MediaSample& sample) {
  bool written = false;
  {
    std::lock_guard lock(fileMutex_);
    if (!file_) return VFW_E_WRONG_STATE;
    const size_t n = static_cast<size_t>(sample.GetActualDataLength());
    written = std::fwrite(sample.GetPointer(), 1, n, file_) == n;
  }
  if (written) return S_OK;
  NotifyEvent(EC_ERRORABORT, E_FAIL, 0);  // outside the file lock, as the lock order asks
  return E_FAIL;
}

// ---- AsfWriterStandIn --------------------------------------------------------------------------

AsfWriterStandIn::AsfWriterStandIn() : BaseFilter(CLSID_WMAsfWriter) {
  AddPin(std::make_shared<ControlledInputPin>(this, "Audio Input 01"));
  AddPin(std::make_shared<ControlledInputPin>(this, "Video Input 01"));
}

HRESULT AsfWriterStandIn::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  const bool audio = pin.Name().rfind("Audio", 0) == 0;
  return mt.majortype == (audio ? MEDIATYPE_Audio : MEDIATYPE_Video) ? S_OK : S_FALSE;
}

HRESULT AsfWriterStandIn::SetFileName(const std::string& name, const AM_MEDIA_TYPE*) {
  if (name.empty()) return E_INVALIDARG;
  std::lock_guard lock(fileMutex_);
  path_ = name;
  return S_OK;
}

HRESULT AsfWriterStandIn::GetCurFile(std::string* name, AM_MEDIA_TYPE* mt) {
  if (!name) return E_POINTER;
  std::lock_guard lock(fileMutex_);
  *name = path_;
  if (mt) *mt = AM_MEDIA_TYPE{};
  return path_.empty() ? E_FAIL : S_OK;
}

}  // namespace mg
