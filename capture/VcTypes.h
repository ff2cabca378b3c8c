#pragma once
// The capture component's vocabulary: its enumerated types, the records its
// events pass, the event signatures and the settings record that holds the
// value of every published property.
#include <array>
#include <atomic>
#include <mutex>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>

#include "platform/forms/Classes.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Graphics.h"
#include "platform/forms/Jpeg.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Threads.h"
#include "platform/rtl/Types.h"
#include "platform/win/Bitmap.h"
#include "platform/mg/Types.h"
#include "platform/win/Types.h"

namespace mg {
class Object;
}

namespace mg {
class BaseFilter;
}  // namespace mg

namespace capture {

using rtl::String;
using forms::TObject;

// Every enumerated type is stored as a 32-bit value; its ordinals run from 0
// in the order listed.
enum TASFDeinterlaceMode : int32_t {
  adm_NotInterlaced,
  adm_DeinterlaceNormal,
  adm_DeinterlaceHalfSize,
  adm_DeinterlaceHalfSizeDoubleRate,
  adm_DeinterlaceInverseTelecine,
  adm_DeinterlaceVerticalHalfSizeDoubleRate
};
enum TAutoFileName : int32_t { fn_Sequential, fn_DateTime };
enum TCompressionMode : int32_t { cm_NoCompression, cm_CompressOnTheFly, cm_CompressAfterRecording };
enum TCompressionType : int32_t { ct_Video, ct_Audio, ct_AudioVideo };
enum TDVSize : int32_t { dvFull, dvHalf, dvQuarter, dvDC };
enum TFileSort : int32_t { fs_TimeAsc, fs_TimeDesc, fs_NameAsc, fs_NameDesc };
enum TFrameCaptureDest : int32_t { fc_TBitmap, fc_BmpFile, fc_JpegFile };
enum TFrameGrabber : int32_t { fg_BothStreams, fg_PreviewStream, fg_CaptureStream, fg_Disabled };
enum TFrameGrabberRGBFormat : int32_t { fgf_Default, fgf_RGB32, fgf_RGB24, fgf_RGB565, fgf_RGB555, fgf_RGB8 };
enum TLogoLayout : int32_t { lg_Centered, lg_Stretched, lg_Repeated };
enum TMultiplexedRole : int32_t { mr_NotMultiplexed, mr_MultiplexedMaster, mr_MultiplexedSlave };
enum TNetworkStreaming : int32_t { ns_Disabled, ns_ASFDirectNetworkStreaming, ns_ASFStreamingToPublishingPoint };
enum TNotificationMethod : int32_t { nm_Timer, nm_Thread };
enum TRecordingMethod : int32_t { rm_AVI, rm_ASF, rm_Stream };
enum TSampleCapture : int32_t { sc_Disabled, sc_Unsplitted, sc_Native, sc_AfterOnDraw, sc_AfterCompression };
enum TTextOverlayAlign : int32_t { tf_Left, tf_Center, tf_Right };
enum TThirdPartyFilterList : int32_t {
  tpf_VideoSource,
  tpf_VideoPreview,
  tpf_VideoCapture,
  tpf_AudioSource,
  tpf_AudioRender,
  tpf_AudioRecording
};
enum TVideoDeinterlacing : int32_t { di_Disabled, di_HalfSize, di_FullSize };
enum TVideoRenderer : int32_t { vr_AutoSelect, vr_VMR9, vr_VMR7, vr_StandardRenderer, vr_None };
enum TVideoRotation : int32_t {
  rt_0_deg,
  rt_90_deg,
  rt_180_deg,
  rt_270_deg,
  rt_0_deg_mirror,
  rt_90_deg_mirror,
  rt_180_deg_mirror,
  rt_270_deg_mirror
};
enum TVideoSource : int32_t {
  vs_VideoCaptureDevice,
  vs_VideoFileOrURL,
  vs_IPCamera,
  vs_VideoFromImages,
  vs_VideoFromBitmaps,
  vs_ExternalSource
};

// af_default, then rates 8000 .. 48000 Hz, each as 8-bit mono, 8-bit stereo,
// 16-bit mono, 16-bit stereo.
enum TAudioFormat : int32_t {
  af_default,
  af_8000_8b_1ch, af_8000_8b_2ch, af_8000_16b_1ch, af_8000_16b_2ch,
  af_11025_8b_1ch, af_11025_8b_2ch, af_11025_16b_1ch, af_11025_16b_2ch,
  af_16000_8b_1ch, af_16000_8b_2ch, af_16000_16b_1ch, af_16000_16b_2ch,
  af_22050_8b_1ch, af_22050_8b_2ch, af_22050_16b_1ch, af_22050_16b_2ch,
  af_32000_8b_1ch, af_32000_8b_2ch, af_32000_16b_1ch, af_32000_16b_2ch,
  af_44100_8b_1ch, af_44100_8b_2ch, af_44100_16b_1ch, af_44100_16b_2ch,
  af_48000_8b_1ch, af_48000_8b_2ch, af_48000_16b_1ch, af_48000_16b_2ch
};

// The log codes; the trace writes their ordinals, so the order is fixed.
enum TLogType : int32_t {
  e_add_filter, e_add_source_filter, e_audio_compressor_not_suitable, e_bind_moniker_to_filter,
  e_compressor_possibly_not_suited, e_create_instance, e_ddraw_caps_not_suitable,
  e_device_in_use_in_another_graph, e_disk_full, e_failed, e_failed_to_allocate_recording_file,
  e_failed_to_bind_codec, e_failed_to_connect_crossbar_pin, e_failed_to_connect_to_server,
  e_failed_to_create_directory, e_failed_to_create_file, e_failed_to_create_temp,
  e_failed_to_bind_frame_grabber, e_failed_to_load_ASF_profile, e_failed_to_load_ASF_profile_custom_file,
  e_failed_to_load_set_of_bitmaps, e_failed_to_play_backwards, e_failed_to_render_file,
  e_failed_to_renew_recording_file, e_failed_to_set_player_speed_ratio_with_audio,
  e_failed_to_setup_network_streaming, e_failed_to_start_preview, e_failed_to_start_recording,
  e_file_in_use, e_file_name_not_specified, e_file_not_found, e_get_audio_format, e_get_interface,
  e_get_video_format, e_graph_error, e_graph_must_be_restarted, e_hw_deinterlace_not_supported,
  e_incompatible_options, e_index_out_of_range, e_invalid_directory, e_library_not_found, e_load_filter,
  e_no_audio_input_device, e_no_device_available, e_no_dialog_for_this_compressor, e_no_stream_control,
  e_no_tv_tuner, e_no_video_device_selected, e_no_video_input_device,
  e_not_allowed_during_network_streaming, e_not_assigned, e_not_multiplexed_master, e_not_previewing,
  e_not_recording, e_not_reencoding, e_not_streaming, e_pause_resume_disabled, e_pin_not_found,
  e_query_config_avi_mux, e_reencoding, e_recording_cannot_pause, e_render_audio_stream,
  e_render_video_stream, e_must_restart_master, e_recording_on_motion_failed, e_set_filter_graph,
  e_set_interleaving_mode, e_set_master_stream, e_set_output_compatibility_index, e_set_output_file_name,
  e_set_format, e_start_preview_first, e_stop_player_first, e_stop_preview_first, e_stop_recording_first,
  e_stop_reencoding_first, e_storage_path_read_only, e_streaming_type_not_specified,
  e_third_party_filter_already_inserted, e_third_party_filter_error, e_trace_log,
  e_tv_command_not_allowed_during_tv_tuning, e_tuner_input_not_selected, e_TVidCap_Filter_obsolete,
  e_value_out_of_range, e_video_compressor_not_suitable, e_window_transparency_failed,
  i_audio_device_associated_to_video_device, i_begin_discovering_device, i_binding_device_or_compressor,
  i_discovering_device, i_end_discovering_device, i_preallocated_file_size_large_enough,
  i_preallocated_file_size_changed, i_preallocated_file_not_suitable, i_streaming_to_publishing_point,
  i_third_party_filter_inserted, i_using_ASF_Profile, i_recording_videosubtype,
  w_cannot_connect_thirdparty_filter, w_cannot_connect_thirdparty_renderer,
  w_cannot_instantiate_thirdparty_filter, w_cannot_route_audio_crossbar, w_cannot_use_color_key,
  w_does_not_apply_to_dv, w_find_audio_device, w_filter_does_not_save_properties,
  w_frame_grabber_requires_CPU, w_hold_recording, w_information, w_not_playing,
  w_player_audio_should_be_disabled, w_recording_cancelled_by_user, w_can_pause_and_ASF_incompatible,
  w_set_audio_format, w_storage_path_on_network, w_tv_tuner, w_using_nearest_video_size,
  w_divx_codec_not_installed
};
inline constexpr int32_t kLogTypeCount = w_divx_codec_not_installed + 1;

// Severities of a report: 0 goes to the trace only.
inline constexpr int32_t SEV_TRACE_ONLY = 0;
inline constexpr int32_t SEV_INFO = 1;
inline constexpr int32_t SEV_WARNING = 2;
inline constexpr int32_t SEV_ERROR = 3;

// Engine states (what runs) and graph states.
enum TEngineState : int32_t { es_Idle, es_Preview, es_Recording, es_PlayerOpen, es_Reencoding };
enum TGraphState : int32_t { gs_Stopped, gs_Paused, gs_Running };
using TEngineStates = forms::SetOf<TEngineState>;

// The platform's video header, as a capture driver's frame callback hands it.
struct TVideoHdr {
  uint8_t* lpData = nullptr;
  uint32_t dwBufferLength = 0;
  uint32_t dwBytesUsed = 0;
  uint32_t dwTimeCaptured = 0;
  uintptr_t dwUser = 0;
  uint32_t dwFlags = 0;
  uintptr_t dwReserved[4] = {};
};
using PDIBSection = win::DIBSECTION*;

struct TFrameData {
  forms::TBitmap* Bitmap = nullptr;  // owned by the engine
  int32_t FrameNumber = 0;
  win::DIBSECTION DIBSection{};
  int64_t FrameTime = 0;
};

struct TFrameInfo {
  int32_t FrameNumber = 0;
  int32_t DroppedFrames = 0;
  int32_t TotalMinutes = 0;
  int32_t Hours = 0;
  int32_t Minutes = 0;
  int32_t Seconds = 0;
  int32_t Hundredths = 0;
  bool DVDateValid = false;
  int32_t DVYear = 0, DVMonth = 0, DVDay = 0, DVHour = 0, DVMinute = 0, DVSecond = 0;
  bool DVTimecodeValid = false;
  int32_t DVTimecodeHours = 0, DVTimecodeMinutes = 0, DVTimecodeSeconds = 0, DVTimecodeFrames = 0;
  int64_t FrameTime = 0;
  int64_t TotalSeconds = 0;
  int64_t TotalHundredths = 0;
};

struct TSampleData {
  void* Data = nullptr;
  int32_t BufferSize = 0;
  int32_t DataLength = 0;
  int32_t SampleKind = 0;
  void* Format = nullptr;
  void* BitmapInfoHeader = nullptr;
  int64_t StartTime = 0;
  int64_t StopTime = 0;
};

struct TProgressInfo {
  int32_t Percent = 0;
  int64_t Position = 0;
  int64_t Duration = 0;
  String Info;
};

// What a re-encoding job copies or encodes, and into what.
struct TReencodingSettings {
  bool IncludeVideoStream = true;
  bool IncludeAudioStream = true;
  String NewVideoClip;
  TRecordingMethod Method = rm_AVI;
  String SourceVideoClip;
  int64_t StartTime = -1;  // 100-ns units; -1 from the start
  int64_t StopTime = -1;   // -1 to the end
  bool UseFrameGrabber = true;
  bool UseVideoCompressor = false;
  bool UseAudioCompressor = false;
  bool WMVOutput = true;
};

struct TTVChannelInfo {
  int32_t Channel = 0;
  int32_t Locked = 0;  // a Boolean in a 4-byte slot
  int32_t Frequency = -1;
  int32_t OverrideFrequency = -1;
  int32_t VideoFrequency = 0;
  int32_t AudioFrequency = 0;
};
static_assert(sizeof(TTVChannelInfo) == 24);

// Event signatures; Sender is always the control.
using TEventNotification = std::function<void(TObject* Sender)>;
using TOnColorKeyChange = std::function<void(TObject* Sender, forms::TColor ColorKey)>;
using TOnCreatePreallocatedFileCompleted = std::function<void(TObject* Sender, const String& FileName, bool Success)>;
using TOnDeviceArrivalOrRemoval = std::function<void(TObject* Sender, bool IsDeviceArrival, bool IsVideoDevice,
                                                     const String& DeviceName, int32_t DeviceIndex)>;
using TOnDirectNetworkStreamingHostUrl =
    std::function<void(TObject* Sender, const String& HostUrl, const String& HostName, int32_t HostPort)>;
using TOnDVCommandCompleted = std::function<void(TObject* Sender, int32_t NewStateValue, const String& NewStateLabel)>;
using TOnFileNotification = std::function<void(TObject* Sender, const String& FileName)>;
using TOnFrameCaptureCompleted = std::function<void(TObject* Sender, const TFrameData& FrameData,
                                                    TFrameCaptureDest DestType, const String& FileName, bool Success)>;
using TOnFrameOverlayUsingDC = std::function<void(TObject* Sender, const TFrameInfo& FrameInfo, win::HDC Dc)>;
using TOnFrameOverlayUsingDIB =
    std::function<void(TObject* Sender, const TFrameInfo& FrameInfo, PDIBSection DibSection)>;
using TOnFrameOverlayUsingVIDEOHDR =
    std::function<void(TObject* Sender, const TFrameInfo& FrameInfo, const TVideoHdr& VideoHdr)>;
using TOnFrameProgress = std::function<void(TObject* Sender, const TFrameInfo& FrameInfo)>;
using TOnLog = std::function<void(TObject* Sender, TLogType LogType, const String& Severity, const String& InfoMsg)>;
using TOnMotionDetected =
    std::function<void(TObject* Sender, double GlobalMotionRatio, const TFrameData& FrameData, bool& CaptureFrame)>;
using TOnMotionNotDetected = std::function<void(TObject* Sender, const TFrameData& FrameData, bool& CaptureFrame)>;
using TOnPlayerBufferingData = std::function<void(TObject* Sender, bool StartingToBuffer)>;
using TOnProgress = std::function<void(TObject* Sender, const TProgressInfo& ProgressInfo)>;
using TOnRecordingCompleted = std::function<void(TObject* Sender, const String& FileName, bool Success)>;
using TOnResizeVideo = std::function<void(TObject* Sender, int32_t SourceWidth, int32_t SourceHeight)>;
using TOnSampleCapture = std::function<void(TObject* Sender, const TSampleData& SampleData)>;
using TOnSourceFileToDestFileStarted =
    std::function<void(TObject* Sender, const String& SourceFile, const String& DestFile)>;
using TOnSourceFileToDestFileCompleted =
    std::function<void(TObject* Sender, const String& SourceFile, const String& DestFile, bool Success)>;
using TOnThirdPartyFilterConnected = std::function<void(TObject* Sender, TThirdPartyFilterList Location,
                                                        int32_t Index, std::shared_ptr<mg::Object> Intf)>;
using TOnTVChannelScanStarted = std::function<void(TObject* Sender, int32_t MinChannel, int32_t MaxChannel)>;
using TOnTVChannelSelected = std::function<void(TObject* Sender, const TTVChannelInfo& ChannelInfo)>;
using TOnVideoCompressionSettings =
    std::function<void(TObject* Sender, bool CanKeyFrameRate, bool CanPFramesPerKeyFrame, bool CanQuality,
                       bool CanWindowSize, int32_t DefaultFrameRate, int32_t DefaultPFramesPerKey,
                       double DefaultQuality)>;
using TOnVideoFromBitmaps_FormatNeeded = std::function<void(TObject* Sender, win::HBITMAP& BitmapHandle)>;
using TOnVideoFromBitmaps_NextFrameNeeded =
    std::function<void(TObject* Sender, win::HBITMAP& BitmapHandle, bool& EndOfData)>;
using TOnVideoKeyPress = std::function<void(TObject* Sender, int32_t VideoWindow, char& Key, int32_t PhysicalKey,
                                            forms::TShiftState ShiftState)>;
using TOnVideoMouseMove =
    std::function<void(TObject* Sender, int32_t VideoWindow, forms::TShiftState Shift, int32_t X, int32_t Y)>;
using TOnVideoMouseUpDown = std::function<void(TObject* Sender, int32_t VideoWindow, forms::TMouseButton Button,
                                               forms::TShiftState Shift, int32_t X, int32_t Y)>;

// The queued events, named by an id rather than by the handler's address
// (handlers are std::function values and cannot be compared). The order is
// the dispatcher's matching order.
enum TVcQueuedEvent : int32_t {
  qe_RecordingStarted,
  qe_PreviewStarted,
  qe_DeviceLost,
  qe_PlayerOpened,
  qe_CopyPreallocDataProgress,
  qe_ReencodingProgress,
  qe_ReencodingStarted,
  qe_Inactive,
  qe_TVChannelSelected,
  qe_TVChannelScanStarted,
  qe_RecordingCompleted,
  qe_ReencodingCompleted,
  qe_CopyPreallocDataCompleted,
  qe_VideoDeviceSelected,
  qe_AudioDeviceSelected,
  qe_CreatePreallocFileStarted,
  qe_CreatePreallocFileCompleted,
  qe_DiskFull,
  qe_CopyPreallocDataStarted,
  qe_NoVideoDevices,
  qe_DirectNetworkStreamingHostUrl,
  qe_Reinitializing
};
inline constexpr int32_t kQueuedEventCount = qe_Reinitializing + 1;

// The options of one video window (main or dual), as the Display_* and
// DualDisplay_* properties show them.
struct TVideoWindowOptions {
  bool Active = true;
  bool AutoSize = true;
  bool Embedded = true;
  bool FullScreen = false;
  bool KeepAspectRatio = true;
  bool StayOnTop = false;
  bool MouseMovesWindow = true;
  bool VideoPortEnabled = true;
  int32_t Monitor = 0;
  int32_t Width = 320;
  int32_t Height = 240;
  int32_t Left = 10;
  int32_t Top = 10;
};

// The text that the sample overlay template holds after construction.
inline constexpr const char* kSampleTextOverlay =
    "Note: the date/time formats\r\ncan be easily modified.\r\n\r\n"
    "system date/time: %sys_time[dd/mm/yy hh:nn:ss]%\r\nDV time code: %time_code%\r\n"
    "DV date/time: %dv_time[dd/mm/yy hh:nn:ss]%\r\nframe count: %frame_count%\r\n"
    "time (full): %time_full%\r\ntime (sec): %time_sec% \r\ntime (ns): %time_100ns%";
inline constexpr const char* kVidCapVersion = "v7.2 (build 7.2.4 rev n, March 14, 2005)";
// Placeholders for the two addresses whose defaults name no real server.
inline constexpr const char* kSampleClipAddress = "http://media.example.org/clips/sample.avi";
inline constexpr const char* kSamplePublishingPoint = "mms://mediaserver.example.org/publishingpoint";

// One camera-control or video-quality property of the bound device, as
// the device's settings store it: six 32-bit integers.
struct TDeviceControl {
  int32_t Available = 0;  // only the low byte counts
  int32_t Value = 0;
  int32_t Min = 0;
  int32_t Max = 0;
  int32_t Step = 0;
  int32_t Default = 0;
};
static_assert(sizeof(TDeviceControl) == 24);
// The tables are kept as the registry stores them: records of six 32-bit
// integers, read and written only inside their bounds (a record outside
// reads as zeros and is not written).
template <size_t N>
TDeviceControl ControlRecord(const std::array<uint8_t, N>& table, int32_t index) {
  TDeviceControl c;
  if (index >= 0 && static_cast<size_t>(index) < N / sizeof(TDeviceControl))
    std::memcpy(&c, table.data() + index * sizeof(TDeviceControl), sizeof c);
  return c;
}
template <size_t N>
void PutControlRecord(std::array<uint8_t, N>& table, int32_t index, const TDeviceControl& c) {
  if (index >= 0 && static_cast<size_t>(index) < N / sizeof(TDeviceControl))
    std::memcpy(table.data() + index * sizeof(TDeviceControl), &c, sizeof c);
}
inline constexpr int32_t kCameraControlCount = 7;   // Pan .. Focus
inline constexpr int32_t kVideoQualityCount = 10;   // Brightness .. Gain

// An extra filter the user asked to insert at one place of the graph.
struct TThirdPartyFilter {
  mg::GUID Clsid{};
  bool Enabled = false;
  // The name it is added to the graph under, and the instance while a
  // graph holds it.
  String Name;
  std::shared_ptr<mg::BaseFilter> Filter;
};
inline constexpr int32_t kThirdPartyFilterLocations = 6;
inline constexpr int32_t kThirdPartyFiltersPerLocation = 10;

// One item of the parsed text-overlay template: kind 0 is literal text,
// 1..7 the time and frame tokens, 8..17 the ten custom texts.
struct TOverlaySegment {
  int32_t Kind = 0;
  String Text;
};
inline constexpr int32_t kMaxOverlaySegments = 41;

// The text-overlay template in two buffers, so that the drawing code on a
// streaming thread always reads a complete one while the setter writes the
// other.
struct TOverlayTemplate {
  TOverlaySegment Segments[kMaxOverlaySegments];
  std::atomic<int32_t> Count{0};
  std::atomic<bool> Writing{false};
  std::atomic<bool> Reading{false};
};

// What the public methods select and read beyond the published values and
// the bound device's own settings: compressors, the analog standard, the
// video format lists, the extra filters, the overlay template and the
// snapshot request.
struct TVcSelections {
  int32_t VideoCompressor = -1;
  int32_t AudioCompressor = -1;
  // The tuner's input is routed on the crossbar.
  bool TunerInputSelected = false;
  // The source's pins were found to carry DV.
  bool IsDV = false;
  TThirdPartyFilter ThirdPartyFilters[kThirdPartyFilterLocations][kThirdPartyFiltersPerLocation];
  // The parsed text overlay and the ten texts its custom tokens show.
  TOverlayTemplate Overlay[2];
  std::atomic<int32_t> CurrentOverlay{0};
  // Taken to test and set a buffer's flags and to swap the current one,
  // so a drawing never starts on a buffer the setter has begun to refill.
  std::mutex OverlayLock;
  String CustomText[10];
  // Whether the frame grabber draws overlays.
  bool OverlayActive = false;
  // The border the layout of the video windows leaves around them.
  int32_t BorderSize = 0;
  // The current recording's files and the counter its sequence number came
  // from (-1 none).
  int32_t SequenceKeyIndex = -1;
  String CaptureFilePath;
  String FinalRecordingPath;
  // The motion step paused the recording for want of motion.
  bool PausedByNoMotion = false;
  // A snapshot asked for and not taken yet.
  bool SnapshotPending = false;
  TFrameCaptureDest SnapshotDest = fc_TBitmap;
  String SnapshotFileName;
  // The motion grid's size.
  int32_t GridColumns = 10;
  int32_t GridRows = 10;
  // The text overlay's font: a copy of the control's, in its own colour.
  std::unique_ptr<forms::TFont> TextOverlayFont;
  // The bound device's video sizes (sorted, no duplicates) and subtypes,
  // each list's first entry standing for the device's own choice. Discovery
  // and the format cache fill them; the public lists and the selections read
  // them.
  rtl::TStringList VideoSizes;
  rtl::TStringList VideoSubtypes;
};

// The value of every published property that the engine stores, with the
// value it has after construction. Doubles that the component keeps in
// hundredths are stored that way.
struct TVcSettings {
  // Devices, sources and device settings
  int32_t VideoDevice = 0;
  int32_t AudioDevice = 0;
  bool AssociateAudioAndVideoDevices = false;
  bool AutoConnectRelatedPins = true;
  bool StoreDeviceSettingsInRegistry = true;
  TVideoSource VideoSource = vs_VideoCaptureDevice;
  String VideoSource_FileOrURL = kSampleClipAddress;
  int64_t VideoSource_FileOrURL_StartTime = -1;
  int64_t VideoSource_FileOrURL_StopTime = -1;
  String VideoFromImages_SourceDirectory;
  String VideoFromImages_TemporaryFile = "SetOfBitmaps01.dat";
  TFileSort VideoFromImages_BitmapsSortedBy = fs_TimeAsc;
  bool VideoFromImages_RepeatIndefinitely = false;
  forms::TComponent* PropertyPageSaver = nullptr;
  int32_t UniqueID = -1;
  bool Synchronized = false;
  TMultiplexedRole MultiplexedRole = mr_NotMultiplexed;
  int32_t MultiplexedSlaveFrameRate100 = 400;
  int32_t MultiplexedSlaveID[4] = {-1, -1, -1, -1};
  bool CameraControlSettings = true;
  bool VideoQualitySettings = true;
  bool VideoControlSettings = true;
  bool TVUseFrequencyOverrides = true;
  bool DVRgb219 = false;
  bool DVReduceFrameRate = false;
  // The frame rate asked for, in hundredths of a frame per second (0: the
  // device's own rate).
  int32_t FrameRate100 = 2997;

  // Preview, display and cursors
  bool AutoStartPreview = false;
  bool AutoRefreshPreview = true;
  bool AutoStartPlayer = true;
  TVideoRenderer VideoRenderer = vr_AutoSelect;
  int32_t PreviewZoomSize = 100;
  forms::TColor BackgroundColor = 0;
  forms::TBorderStyle BorderStyle = forms::bsSingle;
  bool ColorKeyEnabled = false;
  bool TranslateMouseCoordinates = true;
  bool LogoDisplayed = false;
  TLogoLayout LogoLayout = lg_Stretched;
  forms::TCursor NormalCursor = forms::crDefault;
  forms::TCursor BusyCursor = forms::crHourGlass;
  TVideoWindowOptions Display;
  TVideoWindowOptions DualDisplay{false, true, false, false, true, false, true, true, 0, 320, 240, 400, 10};

  // Frame grabber, snapshots and samples
  TFrameGrabber FrameGrabber = fg_PreviewStream;
  TFrameGrabberRGBFormat FrameGrabberRGBFormat = fgf_Default;
  bool FrameCaptureWithoutOverlay = false;
  int32_t FrameCaptureZoomSize = 100;
  bool BurstMode = false;
  int32_t BurstCount = 3;
  int32_t BurstInterval = 0;
  TFrameCaptureDest BurstType = fc_TBitmap;
  forms::TJPEGPerformance JPEGPerformance = forms::jpBestQuality;
  bool JPEGProgressiveDisplay = false;
  int32_t JPEGQuality = 100;
  TSampleCapture SampleCapture_Audio = sc_Disabled;
  TSampleCapture SampleCapture_Video = sc_Disabled;
  bool SampleCaptureAsyncEvent = true;

  // Overlays
  bool TextOverlay_Enabled = false;
  String TextOverlay_String = kSampleTextOverlay;
  int32_t TextOverlay_Left = 0;
  int32_t TextOverlay_Top = 0;
  int32_t TextOverlay_Right = 320;
  forms::TColor TextOverlay_BkColor = 0xFFFFFF;
  TTextOverlayAlign TextOverlay_Align = tf_Left;
  bool TextOverlay_Transparent = true;
  forms::TControl* ShapeOverlay = nullptr;
  bool ShapeOverlayEnabled = false;

  // Video processing
  int32_t VideoProcessing_Brightness = 0;
  int32_t VideoProcessing_Contrast = 0;
  int32_t VideoProcessing_Saturation = 0;
  int32_t VideoProcessing_Hue = 0;
  bool VideoProcessing_GrayScale = false;
  bool VideoProcessing_InvertColors = false;
  bool VideoProcessing_FlipHorizontal = false;
  bool VideoProcessing_FlipVertical = false;
  TVideoRotation VideoProcessing_Rotation = rt_0_deg;
  bool DeinterlaceHalfSize = false;
  bool DeinterlaceFullSize = false;

  // Motion detector
  bool MotionDetector_Enabled = false;
  String MotionDetector_Grid =
      "5555555555 5555555555 5555555555 5555555555 5555555555 5555555555 5555555555 5555555555 5555555555 "
      "5555555555 ";
  bool MotionDetector_CompareRed = true;
  bool MotionDetector_CompareGreen = true;
  bool MotionDetector_CompareBlue = true;
  bool MotionDetector_GreyScale = false;
  bool MotionDetector_ReduceVideoNoise = false;
  int32_t MotionDetector_ReduceCPULoad = 1;
  double MotionDetector_MaxDetectionsPerSecond = 0;

  // Recording, files and audio
  TRecordingMethod RecordingMethod = rm_AVI;
  String RecordingFileName;
  bool RecordingInNativeFormat = false;
  TAutoFileName AutoFileName = fn_Sequential;
  String AutoFilePrefix = "vg";
  String CaptureFileExt;
  String StoragePath;
  bool HoldRecording = false;
  TCompressionMode CompressionMode = cm_NoCompression;
  TCompressionType CompressionType = ct_Video;
  bool AVIFormatOpenDML = true;
  int32_t VideoCompression_KeyFrameRate = 15;
  int32_t VideoCompression_PFramesPerKeyFrame = 0;
  double VideoCompression_Quality = 1.0;
  int32_t VideoCompression_WindowSize = -1;
  bool PreallocCapFileEnabled = false;
  bool PreallocCapFileCopiedAfterRecording = true;
  String PreallocCapFileName;
  int32_t PreallocCapFileSizeInMB = 100;
  bool RecordingOnMotion_Enabled = false;
  double RecordingOnMotion_MotionThreshold = 0.001;
  int32_t RecordingOnMotion_NoMotionPauseDelayMs = 2000;
  bool AudioRecording = false;
  TAudioFormat AudioFormat = af_default;
  bool AudioDeviceRendering = false;
  bool MuteAudioRendering = false;
  bool SpeakerControl = false;

  // ASF, Windows Media and network streaming
  int32_t ASFProfile = -1;
  String ASFProfileFromCustomFile;
  int32_t ASFAudioBitRate = -1;
  int32_t ASFAudioChannels = -1;
  int32_t ASFVideoBitRate = -1;
  int32_t ASFVideoQuality = -1;
  int32_t ASFVideoMaxKeyFrameSpacing = -1;
  int32_t ASFVideoWidth = 320;
  int32_t ASFVideoHeight = 240;
  TASFDeinterlaceMode ASFDeinterlaceMode = adm_NotInterlaced;
  int32_t ASFFixedFrameRate = 0;  // a 32-bit flag: True is all bits set
  int32_t ASFNetworkPort = 0;
  int32_t ASFNetworkMaxUsers = 5;
  String ASFMediaServerPublishingPoint = kSamplePublishingPoint;
  TNetworkStreaming NetworkStreaming = ns_Disabled;

  // Player
  String PlayerFileName;
  bool PlayerAudioRendering = true;
  TDVSize PlayerDVSize = dvFull;
  int32_t PlayerFastSeekSpeedRatio = 4;
  String PlayerForcedCodec;
  bool PlayerRefreshPausedDisplay = true;
  double PlayerSpeedRatio = 1.0;
  forms::TTrackBar* PlayerTrackBar = nullptr;

  // Re-encoding
  String Reencoding_SourceVideoClip;
  String Reencoding_NewVideoClip;
  int64_t Reencoding_StartTime = -1;
  int64_t Reencoding_StopTime = -1;
  bool Reencoding_IncludeVideoStream = true;
  bool Reencoding_IncludeAudioStream = true;
  TRecordingMethod Reencoding_Method = rm_AVI;
  bool Reencoding_UseFrameGrabber = true;
  bool Reencoding_UseVideoCompressor = false;
  bool Reencoding_UseAudioCompressor = false;
  bool Reencoding_WMVOutput = true;

  // Notification
  TNotificationMethod NotificationMethod = nm_Timer;
  rtl::TThreadPriority NotificationPriority = rtl::tpNormal;
  int32_t NotificationSleepTime = -1;
  bool EventNotificationSynchrone = false;

  // What the public methods select beyond the published values.
  TVcSelections Sel;
};

// The copies of the published settings a built graph works with.
struct TLatchedSettings {
  bool FrameCaptureWithoutOverlay = false;
  TFrameGrabber FrameGrabber = fg_PreviewStream;
  TFrameGrabberRGBFormat FrameGrabberRGBFormat = fgf_Default;
  TCompressionMode CompressionMode = cm_NoCompression;
  TCompressionType CompressionType = ct_Video;
  int32_t BurstCount = 3;
  int32_t BurstInterval = 0;
  bool RecordingCanPause = false;
  bool RecordingInNativeFormat = false;
  bool AudioDeviceRendering = false;
  bool PlayerAudioRendering = true;
  TVideoSource VideoSource = vs_VideoCaptureDevice;
  bool SpeakerControl = false;
  bool AudioRecording = false;
  TVideoRenderer VideoRenderer = vr_AutoSelect;
  bool MotionDetector_Enabled = false;
  TRecordingMethod RecordingMethod = rm_AVI;
  TNetworkStreaming NetworkStreaming = ns_Disabled;
  bool HoldRecording = false;
  bool PreallocCapFileEnabled = false;
  bool PreallocCapFileCopiedAfterRecording = true;
  int32_t FrameRate100 = 0;
  int32_t MultiplexedSlaveFrameRate100 = 400;
  double RecordingOnMotion_MotionThreshold = 0.001;
  bool RecordingOnMotion_Enabled = false;
  int32_t RecordingOnMotion_NoMotionPauseDelayMs = 2000;
};

}  // namespace capture
