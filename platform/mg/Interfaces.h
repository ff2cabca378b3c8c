#pragma once
// The control interfaces devices and filters implement, with the platform's
// method names and HRESULT results. Out-parameters stay pointers where the
// callers pass "nil" for values they do not want.
#include <functional>
#include <string>
#include <vector>

#include "platform/mg/MediaType.h"
#include "platform/mg/Object.h"

namespace mg {

class Pin;
class BaseFilter;

using BOOL = int32_t;
using LONG = int32_t;
using DWORD = uint32_t;
using ULONG = uint32_t;

// ---- stream control and statistics -------------------------------------

inline constexpr DWORD AM_STREAM_INFO_START_DEFINED = 0x1;
inline constexpr DWORD AM_STREAM_INFO_STOP_DEFINED = 0x2;
inline constexpr DWORD AM_STREAM_INFO_DISCARDING = 0x4;
inline constexpr DWORD AM_STREAM_INFO_STOP_SEND_EXTRA = 0x10;

struct AM_STREAM_INFO {
  REFERENCE_TIME tStart = 0;
  REFERENCE_TIME tStop = 0;
  DWORD dwStartCookie = 0;
  DWORD dwStopCookie = 0;
  DWORD dwFlags = 0;
};

class IAMStreamControl {
public:
  virtual ~IAMStreamControl() = default;
  // nullptr: now; MAX_TIME: never (cancels a pending start or stop).
  virtual HRESULT StartAt(const REFERENCE_TIME* ptStart, DWORD dwCookie) = 0;
  virtual HRESULT StopAt(const REFERENCE_TIME* ptStop, BOOL bSendExtra, DWORD dwCookie) = 0;
  virtual HRESULT GetInfo(AM_STREAM_INFO* pInfo) = 0;
};

class IAMDroppedFrames {
public:
  virtual ~IAMDroppedFrames() = default;
  virtual HRESULT GetNumDropped(LONG* plDropped) = 0;
  virtual HRESULT GetNumNotDropped(LONG* plNotDropped) = 0;
  virtual HRESULT GetDroppedInfo(LONG lSize, LONG* plArray, LONG* plNumCopied) = 0;
  virtual HRESULT GetAverageFrameSize(LONG* plAverageSize) = 0;
};

class IQualProp {
public:
  virtual ~IQualProp() = default;
  virtual HRESULT get_FramesDroppedInRenderer(int* pcFrames) = 0;
  virtual HRESULT get_FramesDrawn(int* pcFramesDrawn) = 0;
  virtual HRESULT get_AvgFrameRate(int* piAvgFrameRate) = 0;  // hundredths of frames per second
  virtual HRESULT get_Jitter(int* iJitter) = 0;
  virtual HRESULT get_AvgSyncOffset(int* piAvg) = 0;
  virtual HRESULT get_DevSyncOffset(int* piDev) = 0;
};

// ---- formats -------------------------------------------------------------

class IAMStreamConfig {
public:
  virtual ~IAMStreamConfig() = default;
  virtual HRESULT SetFormat(const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT GetFormat(AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT GetNumberOfCapabilities(int* piCount, int* piSize) = 0;
  // pSCC receives a VIDEO_STREAM_CONFIG_CAPS or AUDIO_STREAM_CONFIG_CAPS of piSize bytes.
  virtual HRESULT GetStreamCaps(int iIndex, AM_MEDIA_TYPE* pmt, uint8_t* pSCC) = 0;
};

// ---- crossbar, tuner, decoder, TV audio ----------------------------------

enum PhysicalConnectorType : LONG {
  PhysConn_Video_Tuner = 1,
  PhysConn_Video_Composite = 2,
  PhysConn_Video_SVideo = 3,
  PhysConn_Video_RGB = 4,
  PhysConn_Video_YRYBY = 5,
  PhysConn_Video_SerialDigital = 6,
  PhysConn_Video_ParallelDigital = 7,
  PhysConn_Video_SCSI = 8,
  PhysConn_Video_AUX = 9,
  PhysConn_Video_1394 = 10,
  PhysConn_Video_USB = 11,
  PhysConn_Video_VideoDecoder = 12,
  PhysConn_Video_VideoEncoder = 13,
  PhysConn_Video_SCART = 14,
  PhysConn_Video_Black = 15,
  PhysConn_Audio_Tuner = 4096,
  PhysConn_Audio_Line = 4097,
  PhysConn_Audio_Mic = 4098,
  PhysConn_Audio_AESDigital = 4099,
  PhysConn_Audio_SPDIFDigital = 4100,
  PhysConn_Audio_SCSI = 4101,
  PhysConn_Audio_AUX = 4102,
  PhysConn_Audio_1394 = 4103,
  PhysConn_Audio_USB = 4104,
  PhysConn_Audio_AudioDecoder = 4105,
};

class IAMCrossbar {
public:
  virtual ~IAMCrossbar() = default;
  virtual HRESULT get_PinCounts(LONG* OutputPinCount, LONG* InputPinCount) = 0;
  virtual HRESULT CanRoute(LONG OutputPinIndex, LONG InputPinIndex) = 0;
  virtual HRESULT Route(LONG OutputPinIndex, LONG InputPinIndex) = 0;
  virtual HRESULT get_IsRoutedTo(LONG OutputPinIndex, LONG* InputPinIndex) = 0;
  virtual HRESULT get_CrossbarPinInfo(BOOL IsInputPin, LONG PinIndex, LONG* PinIndexRelated, LONG* PhysicalType) = 0;
};

enum AnalogVideoStandard : LONG {
  AnalogVideo_None = 0,
  AnalogVideo_NTSC_M = 0x1,
  AnalogVideo_NTSC_M_J = 0x2,
  AnalogVideo_NTSC_433 = 0x4,
  AnalogVideo_PAL_B = 0x10,
  AnalogVideo_PAL_D = 0x20,
  AnalogVideo_PAL_G = 0x40,
  AnalogVideo_PAL_H = 0x80,
  AnalogVideo_PAL_I = 0x100,
  AnalogVideo_PAL_M = 0x200,
  AnalogVideo_PAL_N = 0x400,
  AnalogVideo_PAL_60 = 0x800,
  AnalogVideo_SECAM_B = 0x1000,
  AnalogVideo_SECAM_D = 0x2000,
  AnalogVideo_SECAM_G = 0x4000,
  AnalogVideo_SECAM_H = 0x8000,
  AnalogVideo_SECAM_K = 0x10000,
  AnalogVideo_SECAM_K1 = 0x20000,
  AnalogVideo_SECAM_L = 0x40000,
  AnalogVideo_SECAM_L1 = 0x80000,
  AnalogVideo_PAL_N_COMBO = 0x100000,
};

enum TunerInputType : LONG { TunerInputCable = 0, TunerInputAntenna = 1 };
enum AMTunerModeType : LONG {
  AMTUNER_MODE_DEFAULT = 0,
  AMTUNER_MODE_TV = 0x1,
  AMTUNER_MODE_FM_RADIO = 0x2,
  AMTUNER_MODE_AM_RADIO = 0x4,
  AMTUNER_MODE_DSS = 0x8,
};
inline constexpr LONG AMTUNER_HASNOSIGNALSTRENGTH = -1;
inline constexpr LONG AMTUNER_NOSIGNAL = 0;
inline constexpr LONG AMTUNER_SIGNALPRESENT = 1;
inline constexpr LONG AMTUNER_SUBCHAN_NO_TUNE = -2;
inline constexpr LONG AMTUNER_SUBCHAN_DEFAULT = -1;

class IAMTuner {
public:
  virtual ~IAMTuner() = default;
  virtual HRESULT put_Channel(LONG lChannel, LONG lVideoSubChannel, LONG lAudioSubChannel) = 0;
  virtual HRESULT get_Channel(LONG* plChannel, LONG* plVideoSubChannel, LONG* plAudioSubChannel) = 0;
  virtual HRESULT ChannelMinMax(LONG* lChannelMin, LONG* lChannelMax) = 0;
  virtual HRESULT put_CountryCode(LONG lCountryCode) = 0;
  virtual HRESULT get_CountryCode(LONG* plCountryCode) = 0;
  virtual HRESULT put_TuningSpace(LONG lTuningSpace) = 0;
  virtual HRESULT get_TuningSpace(LONG* plTuningSpace) = 0;
  virtual HRESULT SignalPresent(LONG* plSignalStrength) = 0;
  virtual HRESULT put_Mode(AMTunerModeType lMode) = 0;
  virtual HRESULT get_Mode(AMTunerModeType* plMode) = 0;
  virtual HRESULT GetAvailableModes(LONG* plModes) = 0;
};

class IAMTVTuner : public IAMTuner {
public:
  virtual HRESULT get_AvailableTVFormats(LONG* lAnalogVideoStandard) = 0;
  virtual HRESULT get_TVFormat(LONG* plAnalogVideoStandard) = 0;
  virtual HRESULT AutoTune(LONG lChannel, LONG* plFoundSignal) = 0;
  virtual HRESULT StoreAutoTune() = 0;
  virtual HRESULT get_NumInputConnections(LONG* plNumInputConnections) = 0;
  virtual HRESULT put_InputType(LONG lIndex, TunerInputType InputType) = 0;
  virtual HRESULT get_InputType(LONG lIndex, TunerInputType* pInputType) = 0;
  virtual HRESULT put_ConnectInput(LONG lIndex) = 0;
  virtual HRESULT get_ConnectInput(LONG* plIndex) = 0;
  virtual HRESULT get_VideoFrequency(LONG* lFreq) = 0;
  virtual HRESULT get_AudioFrequency(LONG* lFreq) = 0;
};

// A TV tuner that tunes television only (no radio or other bands): the
// mode answers every such tuner gives.
class TvOnlyTuner : public IAMTVTuner {
public:
  HRESULT put_Mode(AMTunerModeType mode) override { return mode == AMTUNER_MODE_TV ? S_OK : E_INVALIDARG; }
  HRESULT get_Mode(AMTunerModeType* mode) override {
    if (!mode) return E_POINTER;
    *mode = AMTUNER_MODE_TV;
    return S_OK;
  }
  HRESULT GetAvailableModes(LONG* modes) override {
    if (!modes) return E_POINTER;
    *modes = AMTUNER_MODE_TV;
    return S_OK;
  }
};

class IAMAnalogVideoDecoder {
public:
  virtual ~IAMAnalogVideoDecoder() = default;
  virtual HRESULT get_AvailableTVFormats(LONG* lAnalogVideoStandard) = 0;
  virtual HRESULT put_TVFormat(LONG lAnalogVideoStandard) = 0;
  virtual HRESULT get_TVFormat(LONG* plAnalogVideoStandard) = 0;
  virtual HRESULT get_HorizontalLocked(LONG* plLocked) = 0;
  virtual HRESULT put_VCRHorizontalLocking(LONG lVCRHorizontalLocking) = 0;
  virtual HRESULT get_VCRHorizontalLocking(LONG* plVCRHorizontalLocking) = 0;
  virtual HRESULT get_NumberOfLines(LONG* plNumberOfLines) = 0;
  virtual HRESULT put_OutputEnable(LONG lOutputEnable) = 0;
  virtual HRESULT get_OutputEnable(LONG* plOutputEnable) = 0;
};

class IAMTVAudio {
public:
  virtual ~IAMTVAudio() = default;
  virtual HRESULT GetHardwareSupportedTVAudioModes(LONG* plModes) = 0;
  virtual HRESULT GetAvailableTVAudioModes(LONG* plModes) = 0;
  virtual HRESULT get_TVAudioMode(LONG* plMode) = 0;
  virtual HRESULT put_TVAudioMode(LONG lMode) = 0;
};

// ---- picture and camera controls -----------------------------------------

enum VideoProcAmpProperty : LONG {
  VideoProcAmp_Brightness = 0,
  VideoProcAmp_Contrast = 1,
  VideoProcAmp_Hue = 2,
  VideoProcAmp_Saturation = 3,
  VideoProcAmp_Sharpness = 4,
  VideoProcAmp_Gamma = 5,
  VideoProcAmp_ColorEnable = 6,
  VideoProcAmp_WhiteBalance = 7,
  VideoProcAmp_BacklightCompensation = 8,
  VideoProcAmp_Gain = 9,
};
enum CameraControlProperty : LONG {
  CameraControl_Pan = 0,
  CameraControl_Tilt = 1,
  CameraControl_Roll = 2,
  CameraControl_Zoom = 3,
  CameraControl_Exposure = 4,
  CameraControl_Iris = 5,
  CameraControl_Focus = 6,
};
inline constexpr LONG VideoProcAmp_Flags_Auto = 1;
inline constexpr LONG VideoProcAmp_Flags_Manual = 2;
inline constexpr LONG CameraControl_Flags_Auto = 1;
inline constexpr LONG CameraControl_Flags_Manual = 2;

class IAMVideoProcAmp {
public:
  virtual ~IAMVideoProcAmp() = default;
  virtual HRESULT GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta, LONG* pDefault,
                           LONG* pCapsFlags) = 0;
  virtual HRESULT Set(LONG Property, LONG lValue, LONG Flags) = 0;
  virtual HRESULT Get(LONG Property, LONG* lValue, LONG* Flags) = 0;
};

class IAMCameraControl {
public:
  virtual ~IAMCameraControl() = default;
  virtual HRESULT GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta, LONG* pDefault,
                           LONG* pCapsFlags) = 0;
  virtual HRESULT Set(LONG Property, LONG lValue, LONG Flags) = 0;
  virtual HRESULT Get(LONG Property, LONG* lValue, LONG* Flags) = 0;
};

inline constexpr LONG VideoControlFlag_FlipHorizontal = 0x1;
inline constexpr LONG VideoControlFlag_FlipVertical = 0x2;
inline constexpr LONG VideoControlFlag_ExternalTriggerEnable = 0x4;
inline constexpr LONG VideoControlFlag_Trigger = 0x8;

class IAMVideoControl {
public:
  virtual ~IAMVideoControl() = default;
  virtual HRESULT GetCaps(Pin* pPin, LONG* pCapsFlags) = 0;
  virtual HRESULT SetMode(Pin* pPin, LONG Mode) = 0;
  virtual HRESULT GetMode(Pin* pPin, LONG* Mode) = 0;
  virtual HRESULT GetCurrentActualFrameRate(Pin* pPin, int64_t* ActualFrameRate) = 0;
};

// ---- external devices (DV transport, time code) ---------------------------

inline constexpr LONG ED_BASE = 0x1000;
inline constexpr LONG ED_MODE_PLAY = ED_BASE + 200;           // 4296
inline constexpr LONG ED_MODE_STOP = ED_BASE + 201;           // 4297
inline constexpr LONG ED_MODE_FREEZE = ED_BASE + 202;         // 4298
inline constexpr LONG ED_MODE_THAW = ED_BASE + 203;           // 4299
inline constexpr LONG ED_MODE_FF = ED_BASE + 204;             // 4300
inline constexpr LONG ED_MODE_REW = ED_BASE + 205;            // 4301
inline constexpr LONG ED_MODE_RECORD = ED_BASE + 206;         // 4302
inline constexpr LONG ED_MODE_RECORD_STROBE = ED_BASE + 207;  // 4303
inline constexpr LONG ED_MODE_RECORD_FREEZE = ED_BASE + 808;  // 4904
inline constexpr LONG ED_MODE_STEP = ED_BASE + 208;           // 4304
inline constexpr LONG ED_MODE_STEP_FWD = ED_MODE_STEP;
inline constexpr LONG ED_MODE_STEP_REV = ED_BASE + 809;       // 4905
inline constexpr LONG ED_MODE_SHUTTLE = ED_BASE + 209;        // 4305
inline constexpr LONG ED_MODE_LINK_ON = ED_BASE + 280;
inline constexpr LONG ED_MODE_LINK_OFF = ED_BASE + 281;
inline constexpr LONG ED_MODE_REW_FASTEST = ED_BASE + 933;    // 5029
inline constexpr LONG ED_MODE_PLAY_FASTEST_FWD = ED_BASE + 934;
inline constexpr LONG ED_MODE_PLAY_SLOWEST_FWD = ED_BASE + 935;
inline constexpr LONG ED_MODE_PLAY_FASTEST_REV = ED_BASE + 936;  // 5032
inline constexpr LONG ED_MODE_PLAY_SLOWEST_REV = ED_BASE + 937;
inline constexpr LONG ED_TRANSBASIC_INPUT_SIGNAL = ED_BASE + 940;  // 5036
inline constexpr LONG ED_TRANSBASIC_SIGNAL_525_60_SD = ED_BASE + 942;  // 5038
inline constexpr LONG ED_TRANSBASIC_SIGNAL_525_60_SDL = ED_BASE + 943;
inline constexpr LONG ED_TRANSBASIC_SIGNAL_625_50_SD = ED_BASE + 944;  // 5040
inline constexpr LONG ED_TRANSBASIC_SIGNAL_625_50_SDL = ED_BASE + 945;  // 5041

class IAMExtDevice {
public:
  virtual ~IAMExtDevice() = default;
  virtual HRESULT GetCapability(LONG Capability, LONG* pValue, double* pdblValue) = 0;
  virtual HRESULT get_ExternalDeviceID(std::string* ppszData) = 0;
  virtual HRESULT get_ExternalDeviceVersion(std::string* ppszData) = 0;
  virtual HRESULT put_DevicePower(LONG PowerMode) = 0;
  virtual HRESULT get_DevicePower(LONG* pPowerMode) = 0;
  virtual HRESULT Calibrate(intptr_t hEvent, LONG Mode, LONG* pStatus) = 0;
  virtual HRESULT put_DevicePort(LONG DevicePort) = 0;
  virtual HRESULT get_DevicePort(LONG* pDevicePort) = 0;
};

class IAMExtTransport {
public:
  virtual ~IAMExtTransport() = default;
  virtual HRESULT GetCapability(LONG Capability, LONG* pValue, double* pdblValue) = 0;
  virtual HRESULT put_MediaState(LONG State) = 0;
  virtual HRESULT get_MediaState(LONG* pState) = 0;
  virtual HRESULT put_LocalControl(LONG State) = 0;
  virtual HRESULT get_LocalControl(LONG* pState) = 0;
  virtual HRESULT GetStatus(LONG StatusItem, LONG* pValue) = 0;
  virtual HRESULT GetTransportBasicParameters(LONG Param, LONG* pValue, std::string* ppszData) = 0;
  virtual HRESULT SetTransportBasicParameters(LONG Param, LONG Value, const std::string& pszData) = 0;
  virtual HRESULT put_Mode(LONG Mode) = 0;
  virtual HRESULT get_Mode(LONG* pMode) = 0;
  virtual HRESULT put_Rate(double dblRate) = 0;
  virtual HRESULT get_Rate(double* pdblRate) = 0;
};

// The kind of time code GetTimecode is asked for, in TIMECODE_SAMPLE.dwFlags.
inline constexpr DWORD ED_DEVCAP_TIMECODE_READ = ED_BASE + 25;  // 4121

class IAMTimecodeReader {
public:
  virtual ~IAMTimecodeReader() = default;
  virtual HRESULT GetTCRMode(LONG Param, LONG* pValue) = 0;
  virtual HRESULT SetTCRMode(LONG Param, LONG Value) = 0;
  virtual HRESULT put_VITCLine(LONG Line) = 0;
  virtual HRESULT get_VITCLine(LONG* pLine) = 0;
  virtual HRESULT GetTimecode(TIMECODE_SAMPLE* pTimecodeSample) = 0;
};

// ---- audio ---------------------------------------------------------------

class IAMAudioInputMixer {
public:
  virtual ~IAMAudioInputMixer() = default;
  virtual HRESULT put_Enable(BOOL fEnable) = 0;
  virtual HRESULT get_Enable(BOOL* pfEnable) = 0;
  virtual HRESULT put_Mono(BOOL fMono) = 0;
  virtual HRESULT get_Mono(BOOL* pfMono) = 0;
  virtual HRESULT put_MixLevel(double Level) = 0;  // 0..1, or -1 for automatic gain
  virtual HRESULT get_MixLevel(double* pLevel) = 0;
  virtual HRESULT put_Pan(double Pan) = 0;  // -1 left .. 1 right
  virtual HRESULT get_Pan(double* pPan) = 0;
  virtual HRESULT put_Loudness(BOOL fLoudness) = 0;
  virtual HRESULT get_Loudness(BOOL* pfLoudness) = 0;
  virtual HRESULT put_Treble(double Treble) = 0;
  virtual HRESULT get_Treble(double* pTreble) = 0;
  virtual HRESULT put_Bass(double Bass) = 0;
  virtual HRESULT get_Bass(double* pBass) = 0;
};

// Volume in hundredths of a decibel (0 full, -10000 silent), balance -10000..10000.
class IBasicAudio {
public:
  virtual ~IBasicAudio() = default;
  virtual HRESULT put_Volume(LONG lVolume) = 0;
  virtual HRESULT get_Volume(LONG* plVolume) = 0;
  virtual HRESULT put_Balance(LONG lBalance) = 0;
  virtual HRESULT get_Balance(LONG* plBalance) = 0;
};

// ---- compression ---------------------------------------------------------

inline constexpr LONG CompressionCaps_CanQuality = 0x1;
inline constexpr LONG CompressionCaps_CanCrunch = 0x2;
inline constexpr LONG CompressionCaps_CanKeyFrame = 0x4;
inline constexpr LONG CompressionCaps_CanBFrame = 0x8;
inline constexpr LONG CompressionCaps_CanWindow = 0x10;

class IAMVideoCompression {
public:
  virtual ~IAMVideoCompression() = default;
  virtual HRESULT put_KeyFrameRate(LONG KeyFrameRate) = 0;
  virtual HRESULT get_KeyFrameRate(LONG* pKeyFrameRate) = 0;
  virtual HRESULT put_PFramesPerKeyFrame(LONG PFramesPerKeyFrame) = 0;
  virtual HRESULT get_PFramesPerKeyFrame(LONG* pPFramesPerKeyFrame) = 0;
  virtual HRESULT put_Quality(double Quality) = 0;
  virtual HRESULT get_Quality(double* pQuality) = 0;
  virtual HRESULT put_WindowSize(uint64_t WindowSize) = 0;
  virtual HRESULT get_WindowSize(uint64_t* pWindowSize) = 0;
  virtual HRESULT GetInfo(std::u16string* pszVersion, std::u16string* pszDescription, LONG* pDefaultKeyFrameRate,
                          LONG* pDefaultPFramesPerKey, double* pDefaultQuality, LONG* pCapabilities) = 0;
  virtual HRESULT OverrideKeyFrame(LONG FrameNumber) = 0;
  virtual HRESULT OverrideFrameSize(LONG FrameNumber, LONG Size) = 0;
};

enum VfwCaptureDialogs : LONG {
  VfwCaptureDialog_Source = 0x1,
  VfwCaptureDialog_Format = 0x2,
  VfwCaptureDialog_Display = 0x4,
};
enum VfwCompressDialogs : LONG {
  VfwCompressDialog_Config = 0x1,
  VfwCompressDialog_About = 0x2,
  VfwCompressDialog_QueryConfig = 0x4,
  VfwCompressDialog_QueryAbout = 0x8,
};
inline constexpr uint32_t ICM_GETSTATE = 0x5000;  // 20480
inline constexpr uint32_t ICM_SETSTATE = 0x5001;  // 20481

class IAMVfwCaptureDialogs {
public:
  virtual ~IAMVfwCaptureDialogs() = default;
  virtual HRESULT HasDialog(int iDialog) = 0;  // S_OK when present, S_FALSE when not
  virtual HRESULT ShowDialog(int iDialog, win::HWND hwnd) = 0;
  virtual HRESULT SendDriverMessage(int iDialog, int uMsg, intptr_t dw1, intptr_t dw2) = 0;
};

class IAMVfwCompressDialogs {
public:
  virtual ~IAMVfwCompressDialogs() = default;
  virtual HRESULT ShowDialog(int iDialog, win::HWND hwnd) = 0;
  virtual HRESULT GetState(void* pState, int* pcbState) = 0;
  virtual HRESULT SetState(const void* pState, int cbState) = 0;
  virtual HRESULT SendDriverMessage(int uMsg, intptr_t dw1, intptr_t dw2) = 0;
};

// ---- property pages as data -------------------------------------------------

// One setting a property page shows. A presenter (a dialog in the program,
// a script in tests) reads and writes it through get and set.
struct PropertyDescriptor {
  enum class Kind { Int, Bool, Choice, Text };
  std::string name;
  Kind kind = Kind::Int;
  int min = 0;
  int max = 0;
  int step = 1;
  int def = 0;
  std::vector<std::string> choices;
  std::function<int()> get;
  std::function<void(int)> set;
  std::function<std::string()> getText;
  std::function<void(const std::string&)> setText;
};

struct PropertyPage {
  std::string title;
  std::vector<PropertyDescriptor> properties;
};

class ISpecifyPropertyPages {
public:
  virtual ~ISpecifyPropertyPages() = default;
  virtual HRESULT GetPages(std::vector<PropertyPage>* pPages) = 0;
};

// Shows the pages of the given objects under one caption. The GUI layer
// installs a dialog; without one, S_FALSE and nothing shown.
using PropertyFramePresenter =
    std::function<HRESULT(win::HWND parent, const std::string& caption, std::vector<PropertyPage>& pages)>;
void SetPropertyFramePresenter(PropertyFramePresenter presenter);
HRESULT OleCreatePropertyFrame(win::HWND parent, const std::string& caption,
                               const std::vector<std::shared_ptr<Object>>& objects);

// ---- persistence, sinks and muxers ------------------------------------------

class IPersistStream {
public:
  virtual ~IPersistStream() = default;
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(const std::vector<uint8_t>& stream) = 0;
  virtual HRESULT Save(std::vector<uint8_t>& stream, BOOL fClearDirty) = 0;
  virtual HRESULT GetSizeMax(uint64_t* pcbSize) = 0;
};

class IFileSinkFilter {
public:
  virtual ~IFileSinkFilter() = default;
  virtual HRESULT SetFileName(const std::string& pszFileName, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT GetCurFile(std::string* ppszFileName, AM_MEDIA_TYPE* pmt) = 0;
};

class IFileSourceFilter {
public:
  virtual ~IFileSourceFilter() = default;
  virtual HRESULT Load(const std::string& pszFileName, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT GetCurFile(std::string* ppszFileName, AM_MEDIA_TYPE* pmt) = 0;
};

class IConfigAviMux {
public:
  virtual ~IConfigAviMux() = default;
  virtual HRESULT SetMasterStream(LONG iStream) = 0;
  virtual HRESULT GetMasterStream(LONG* pStream) = 0;
  virtual HRESULT SetOutputCompatibilityIndex(BOOL fOldIndex) = 0;
  virtual HRESULT GetOutputCompatibilityIndex(BOOL* pfOldIndex) = 0;
};

enum InterleavingMode : LONG {
  INTERLEAVE_NONE = 0,
  INTERLEAVE_CAPTURE = 1,
  INTERLEAVE_FULL = 2,
  INTERLEAVE_NONE_BUFFERED = 3,
};

class IConfigInterleaving {
public:
  virtual ~IConfigInterleaving() = default;
  virtual HRESULT put_Mode(InterleavingMode mode) = 0;
  virtual HRESULT get_Mode(InterleavingMode* pMode) = 0;
  virtual HRESULT put_Interleaving(const REFERENCE_TIME* prtInterleave, const REFERENCE_TIME* prtPreroll) = 0;
  virtual HRESULT get_Interleaving(REFERENCE_TIME* prtInterleave, REFERENCE_TIME* prtPreroll) = 0;
};

// An ASF profile is kept as its text (the writer's own catalogue format).
struct WMProfile {
  std::string name;
  std::string text;
};
inline constexpr DWORD WMT_VER_8_0 = 0x00080000;

class IConfigAsfWriter {
public:
  virtual ~IConfigAsfWriter() = default;
  virtual HRESULT ConfigureFilterUsingProfileId(DWORD dwProfileId) = 0;
  virtual HRESULT GetCurrentProfileId(DWORD* pdwProfileId) = 0;
  virtual HRESULT ConfigureFilterUsingProfileGuid(const GUID& guidProfile) = 0;
  virtual HRESULT GetCurrentProfileGuid(GUID* pProfileGuid) = 0;
  virtual HRESULT ConfigureFilterUsingProfile(const WMProfile& profile) = 0;
  virtual HRESULT GetCurrentProfile(WMProfile* ppProfile) = 0;
  virtual HRESULT SetIndexMode(BOOL bIndexFile) = 0;
  virtual HRESULT GetIndexMode(BOOL* pbIndexFile) = 0;
};

// ---- miscellany ------------------------------------------------------------

inline constexpr DWORD AM_FILTER_MISC_FLAGS_IS_RENDERER = 0x1;
inline constexpr DWORD AM_FILTER_MISC_FLAGS_IS_SOURCE = 0x2;

class IAMFilterMiscFlags {
public:
  virtual ~IAMFilterMiscFlags() = default;
  virtual ULONG GetMiscFlags() = 0;
};

// Property sets on pins and filters (a pin's category is property 0 of
// AMPROPSETID_Pin).
inline constexpr DWORD KSPROPERTY_SUPPORT_GET = 1;
inline constexpr DWORD KSPROPERTY_SUPPORT_SET = 2;

class IKsPropertySet {
public:
  virtual ~IKsPropertySet() = default;
  virtual HRESULT Set(const GUID& guidPropSet, DWORD dwPropID, const void* pInstanceData, DWORD cbInstanceData,
                      const void* pPropData, DWORD cbPropData) = 0;
  virtual HRESULT Get(const GUID& guidPropSet, DWORD dwPropID, const void* pInstanceData, DWORD cbInstanceData,
                      void* pPropData, DWORD cbPropData, DWORD* pcbReturned) = 0;
  virtual HRESULT QuerySupported(const GUID& guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) = 0;
};

// The renderer stand-ins accept these and keep what they were given.
inline constexpr DWORD AMDDS_RGBOFF = 0x10;
class IDirectDrawVideo {
public:
  virtual ~IDirectDrawVideo() = default;
  virtual HRESULT SetSwitches(DWORD Switches) = 0;
  virtual HRESULT GetSwitches(DWORD* pSwitches) = 0;
};

struct COLORKEY {
  DWORD KeyType = 0;
  DWORD PaletteIndex = 0;
  win::COLORREF LowColorValue = 0;
  win::COLORREF HighColorValue = 0;
};
class IOverlay {
public:
  virtual ~IOverlay() = default;
  virtual HRESULT GetColorKey(COLORKEY* pColorKey) = 0;
  virtual HRESULT SetColorKey(COLORKEY* pColorKey) = 0;
};

}  // namespace mg

namespace mg {

inline constexpr LONG OATRUE = -1;
inline constexpr LONG OAFALSE = 0;

// The video window of a renderer, kept as data until the window system
// shows it: owner, position, visibility and styles.
class IVideoWindow {
public:
  virtual ~IVideoWindow() = default;
  virtual HRESULT put_Caption(const std::string& caption) = 0;
  virtual HRESULT get_Caption(std::string* caption) = 0;
  virtual HRESULT put_WindowStyle(LONG style) = 0;
  virtual HRESULT get_WindowStyle(LONG* style) = 0;
  virtual HRESULT put_WindowStyleEx(LONG style) = 0;
  virtual HRESULT get_WindowStyleEx(LONG* style) = 0;
  virtual HRESULT put_AutoShow(LONG autoShow) = 0;
  virtual HRESULT get_AutoShow(LONG* autoShow) = 0;
  virtual HRESULT put_WindowState(LONG state) = 0;
  virtual HRESULT get_WindowState(LONG* state) = 0;
  virtual HRESULT put_Visible(LONG visible) = 0;
  virtual HRESULT get_Visible(LONG* visible) = 0;
  virtual HRESULT put_Left(LONG v) = 0;
  virtual HRESULT get_Left(LONG* v) = 0;
  virtual HRESULT put_Top(LONG v) = 0;
  virtual HRESULT get_Top(LONG* v) = 0;
  virtual HRESULT put_Width(LONG v) = 0;
  virtual HRESULT get_Width(LONG* v) = 0;
  virtual HRESULT put_Height(LONG v) = 0;
  virtual HRESULT get_Height(LONG* v) = 0;
  virtual HRESULT put_Owner(win::HWND owner) = 0;
  virtual HRESULT get_Owner(win::HWND* owner) = 0;
  virtual HRESULT put_MessageDrain(win::HWND drain) = 0;
  virtual HRESULT get_MessageDrain(win::HWND* drain) = 0;
  virtual HRESULT put_BorderColor(LONG color) = 0;
  virtual HRESULT get_BorderColor(LONG* color) = 0;
  virtual HRESULT put_FullScreenMode(LONG mode) = 0;
  virtual HRESULT get_FullScreenMode(LONG* mode) = 0;
  virtual HRESULT SetWindowForeground(LONG focus) = 0;
  virtual HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) = 0;
  virtual HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
  virtual HRESULT HideCursor(LONG hide) = 0;
  virtual HRESULT IsCursorHidden(LONG* hidden) = 0;
};

class IBasicVideo {
public:
  virtual ~IBasicVideo() = default;
  virtual HRESULT get_AvgTimePerFrame(REFERENCE_TIME* t) = 0;
  virtual HRESULT get_VideoWidth(LONG* w) = 0;
  virtual HRESULT get_VideoHeight(LONG* h) = 0;
  virtual HRESULT SetSourcePosition(LONG left, LONG top, LONG width, LONG height) = 0;
  virtual HRESULT GetSourcePosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
  virtual HRESULT SetDefaultSourcePosition() = 0;
  virtual HRESULT SetDestinationPosition(LONG left, LONG top, LONG width, LONG height) = 0;
  virtual HRESULT GetDestinationPosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
  virtual HRESULT SetDefaultDestinationPosition() = 0;
  virtual HRESULT GetVideoSize(LONG* width, LONG* height) = 0;
  // The last frame as a packed DIB (header then pixels); with a null
  // buffer, its size in *pBufferSize.
  virtual HRESULT GetCurrentImage(LONG* pBufferSize, uint8_t* pDIBImage) = 0;
};

}  // namespace mg

namespace mg {

// ---- DV -----------------------------------------------------------------------

inline constexpr int DVRESOLUTION_FULL = 1000;
inline constexpr int DVRESOLUTION_HALF = 1001;
inline constexpr int DVRESOLUTION_QUARTER = 1002;
inline constexpr int DVRESOLUTION_DC = 1003;

class IDVSplitter {
public:
  virtual ~IDVSplitter() = default;
  virtual HRESULT DiscardAlternateVideoFrames(int nDiscard) = 0;
};

class IIPDVDec {
public:
  virtual ~IIPDVDec() = default;
  virtual HRESULT get_IPDisplay(int* displayPix) = 0;
  virtual HRESULT put_IPDisplay(int displayPix) = 0;  // DVRESOLUTION_*
};

class IDVRGB219 {
public:
  virtual ~IDVRGB219() = default;
  virtual HRESULT SetRGB219(BOOL bState) = 0;
};

// ---- MPEG-2 demultiplexing ------------------------------------------------------

inline constexpr DWORD MPEG2_PROGRAM_STREAM_MAP = 0;
inline constexpr DWORD MPEG2_PROGRAM_ELEMENTARY_STREAM = 1;
inline constexpr DWORD MPEG2_PROGRAM_DIRECTORY_PES_PACKET = 2;
inline constexpr DWORD MPEG2_PROGRAM_PACK_HEADER = 3;
inline constexpr DWORD MPEG2_PROGRAM_PES_STREAM = 4;
inline constexpr DWORD MPEG2_PROGRAM_SYSTEM_HEADER = 5;
inline constexpr ULONG SUBSTREAM_FILTER_VAL_NONE = 0x10000000;
enum MEDIA_SAMPLE_CONTENT : DWORD {
  MEDIA_TRANSPORT_PACKET = 0,
  MEDIA_ELEMENTARY_STREAM = 1,
  MEDIA_MPEG2_PSI = 2,
  MEDIA_TRANSPORT_PAYLOAD = 3,
};

class IMpeg2Demultiplexer {
public:
  virtual ~IMpeg2Demultiplexer() = default;
  virtual HRESULT CreateOutputPin(const AM_MEDIA_TYPE* pMediaType, const std::string& pszPinName,
                                  std::shared_ptr<Pin>* ppIPin) = 0;
  virtual HRESULT SetOutputPinMediaType(const std::string& pszPinName, const AM_MEDIA_TYPE* pMediaType) = 0;
  virtual HRESULT DeleteOutputPin(const std::string& pszPinName) = 0;
};

class IMPEG2StreamIdMap {
public:
  virtual ~IMPEG2StreamIdMap() = default;
  virtual HRESULT MapStreamId(ULONG ulStreamId, DWORD MediaSampleContent, ULONG ulSubstreamFilterValue,
                              int iDataOffset) = 0;
  virtual HRESULT UnmapStreamId(ULONG culStreamId, const ULONG* pulStreamId) = 0;
};

class IMPEG2PIDMap {
public:
  virtual ~IMPEG2PIDMap() = default;
  virtual HRESULT MapPID(ULONG culPID, const ULONG* pulPID, MEDIA_SAMPLE_CONTENT MediaSampleContent) = 0;
  virtual HRESULT UnmapPID(ULONG culPID, const ULONG* pulPID) = 0;
};

// ---- the ASF writer's advanced side ------------------------------------------------

// Another object this one offers as a service (the ASF writer's advanced writer).
class IServiceProvider {
public:
  virtual ~IServiceProvider() = default;
  virtual HRESULT QueryService(const GUID& guidService, std::shared_ptr<Object>* service) = 0;
};

enum WMT_ATTR_DATATYPE : int32_t {
  WMT_TYPE_DWORD = 0,
  WMT_TYPE_STRING = 1,
  WMT_TYPE_BINARY = 2,
  WMT_TYPE_BOOL = 3,
  WMT_TYPE_QWORD = 4,
  WMT_TYPE_WORD = 5,
  WMT_TYPE_GUID = 6,
};

// Sinks are objects (file, network, push); settings are typed byte values.
class IWMWriterAdvanced2 {
public:
  virtual ~IWMWriterAdvanced2() = default;
  virtual HRESULT GetSinkCount(DWORD* pcSinks) = 0;
  virtual HRESULT GetSink(DWORD dwSinkNum, std::shared_ptr<Object>* ppSink) = 0;
  virtual HRESULT AddSink(const std::shared_ptr<Object>& pSink) = 0;
  virtual HRESULT RemoveSink(const std::shared_ptr<Object>& pSink) = 0;
  virtual HRESULT SetLiveSource(BOOL fIsLiveSource) = 0;
  virtual HRESULT IsRealTime(BOOL* pfRealTime) = 0;
  virtual HRESULT SetInputSetting(DWORD dwInputNum, const std::string& pszName, WMT_ATTR_DATATYPE Type,
                                  const uint8_t* pValue, uint16_t cbLength) = 0;
  virtual HRESULT GetInputSetting(DWORD dwInputNum, const std::string& pszName, WMT_ATTR_DATATYPE* pType,
                                  uint8_t* pValue, uint16_t* pcbLength) = 0;
};

}  // namespace mg
