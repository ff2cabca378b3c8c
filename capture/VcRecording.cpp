// The files of a recording: the folder and name it is written under
// (chosen or numbered), the space left where it goes, the preallocated
// capture file, the switch to a new file while recording, the points that
// hold a recording until the application releases it, and the AVI
// multiplexer's options.
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "capture/VcDeviceManager.h"
#include "capture/VcEngine.h"
#include "capture/VcFormats.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/forms/Forms.h"
#include "platform/mg/Interfaces.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Files.h"

namespace capture {

namespace {

constexpr int64_t kMinFreeBytes = 25000000;

void ProcessMessagesSafely() {
  if (forms::Application && !forms::Application->Terminated()) forms::Application->ProcessMessages();
}

}  // namespace

bool HasFreeSpace(const String& Path) {
  if (Path.empty()) return false;
  const int64_t free = rtl::DiskFree(Path);
  // Space that cannot be read does not stop a recording.
  if (free < 0) return true;
  return free >= kMinFreeBytes;
}

// 1 remote, 2 CD-ROM, 0 anything else.
int32_t DriveKind(const String& Path) {
  switch (rtl::DriveKindOf(Path.empty() ? String(".") : Path)) {
    case rtl::TDriveKind::Remote: return 1;
    case rtl::TDriveKind::CDRom: return 2;
    default: return 0;
  }
}

String TVcEngine::StorageFolder() {
  String folder = StoragePath;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  if (StorageFolderChanged) {
    StorageFolderChanged = false;
    if (!folder.empty()) ForceFolders(folder);
    if (TSyncManager* manager = SyncManager()) {
      // Registers the folder's keys and reads the numbers its files took.
      int32_t index = -1;
      const int32_t next = manager->NextSequenceNumber(folder, AutoFilePrefix, RecordingExtension(), index);
      if (index >= 0) manager->SetSequenceCount(index, next - 1);
    }
  }
  return folder;
}

String TVcEngine::RecordingExtension() const {
  if (!CaptureFileExt.empty() && CaptureFileExt != "Default") return CaptureFileExt;
  return RecordingMethod == rm_ASF ? "asf" : "avi";
}

void TVcEngine::MakeAutoFileName(int32_t Kind, const String& Extension, String& Path, int32_t& KeyIndex) {
  Path.clear();
  KeyIndex = -1;
  TSyncManager* manager = SyncManager();
  if (!manager) return;
  const String ext = Kind == 0 ? String("bmp") : Kind == 1 ? String("jpg") : Extension;
  const String folder = StorageFolder();
  String stamp;
  if (AutoFileName == fn_DateTime) {
    stamp = rtl::FormatDateTime("yymmdd_hhnnss_zzz", rtl::Now());
  } else {
    stamp = std::to_string(manager->NextSequenceNumber(folder, AutoFilePrefix, ext, KeyIndex));
    while (stamp.size() <= 5) stamp = "0" + stamp;
  }
  Path = folder + AutoFilePrefix + stamp + "." + ext;
}

bool TVcEngine::PrepareRecordingFile(String& OutPath) {
  TSyncManager* manager = SyncManager();
  if (!manager) return false;
  bool prealloc = Latched.PreallocCapFileEnabled;
  if (prealloc) {
    if (RecordingMethod != rm_AVI || UsesMPEGSource()) {
      ReportIf(true, SEV_WARNING, "the preallocated recording file is not compatible with ASF or MPEG2 recording",
               i_preallocated_file_not_suitable);
      prealloc = false;
      Latched.PreallocCapFileEnabled = false;
    } else {
      // The capture file's own drive; before the first recording the
      // current folder's.
      const int32_t kind = DriveKind(Sel.CaptureFilePath);
      if (UsesCaptureDevice() && kind == 1)
        ReportIf(true, SEV_WARNING,
                 "PreallocCapFile= " + Sel.CaptureFilePath + "\r\nNetwork drives or slow drives may produce high rate of dropped frames",
                 w_storage_path_on_network);
      else if (kind == 2)
        ReportIf(true, SEV_ERROR,
                 "PreallocCapFile= " + Sel.CaptureFilePath + "\r\npreallocated recording file set on read-only drive",
                 e_storage_path_read_only);
    }
  }
  Sel.FinalRecordingPath.clear();
  Sel.CaptureFilePath.clear();
  if ((prealloc && Latched.RecordingMethod == rm_AVI) || Latched.CompressionMode == cm_CompressAfterRecording) {
    Sel.CaptureFilePath = PreallocCapFileName.empty() ? StorageFolder() + Owner->Name() + ".rec" : PreallocCapFileName;
    if (!Latched.PreallocCapFileCopiedAfterRecording) Sel.FinalRecordingPath = Sel.CaptureFilePath;
  }
  int32_t keyIndex = -1;
  if (Sel.FinalRecordingPath.empty()) {
    if (!RecordingFileName.empty() && RecordingFileName != "RENEW")
      Sel.FinalRecordingPath = RecordingFileName;
    else
      MakeAutoFileName(2, RecordingExtension(), Sel.FinalRecordingPath, keyIndex);
  }
  if (Sel.CaptureFilePath.empty()) Sel.CaptureFilePath = Sel.FinalRecordingPath;
  Sel.SequenceKeyIndex = keyIndex;
  SequenceNumber = keyIndex >= 0 ? manager->GetSequenceCount(keyIndex) : -1;
  if (!HasFreeSpace(Sel.FinalRecordingPath)) {
    PostEvent(qe_DiskFull);
    ReportIf(true, SEV_ERROR, "disk full!", e_disk_full);
    return false;
  }
  const int32_t kind = DriveKind(Sel.FinalRecordingPath);
  if (UsesCaptureDevice() && kind == 1)
    ReportIf(true, SEV_WARNING,
             "StoragePath= " + StorageFolder() + "\r\nNetwork drives or slow drives may produce high rate of dropped frames",
             w_storage_path_on_network);
  else if (kind == 2)
    ReportIf(true, SEV_ERROR, "StoragePath= " + StorageFolder() + "\r\nstorage set on read-only drive",
             e_storage_path_read_only);
  if (Latched.CompressionMode == cm_CompressAfterRecording) CompressAfterRecordingPending = true;
  if ((CompressAfterRecordingPending || prealloc) && !PreallocateCaptureFile(Sel.CaptureFilePath)) return false;
  OutPath = Sel.CaptureFilePath;
  CurrentRecordingFile = Sel.FinalRecordingPath;
  return true;
}

bool TVcEngine::PreallocateCaptureFile(const String& Path) {
  const String file = Path.empty() ? StorageFolder() + Owner->Name() + ".rec" : Path;
  const int32_t n = PreallocCapFileSizeInMB;
  const int64_t size = rtl::FileSize(file);
  bool ok = false;
  if (size >= 0 && size / 1048576 >= n) {
    ReportIf(true, SEV_INFO, "prealloc. cap. file \"" + file + "\" large enough", i_preallocated_file_size_large_enough);
    ok = true;
  } else {
    ReportIf(true, SEV_INFO, "resizing prealloc. cap. file \"" + file + "\"...", i_preallocated_file_size_changed);
    std::remove(file.c_str());
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
      const std::vector<char> block(1048576, 0);
      int32_t lastPercent = -1;
      ok = true;
      // One block more than the size asked for, as the file always had.
      for (int32_t k = 1; k <= n + 1; ++k) {
        if (std::fwrite(block.data(), 1, block.size(), f) != block.size()) {
          ok = false;
          break;
        }
        if (CanRaiseEvent(Owner->OnCreatePreallocFileProgress)) {
          const int32_t percent = std::min<int32_t>(100, static_cast<int32_t>(std::nearbyint(k * 100.0 / n)));
          if (percent != lastPercent) {
            lastPercent = percent;
            ProgressInfo = TProgressInfo{};
            ProgressInfo.Percent = percent;
            ProgressInfo.Position = k;
            ProgressInfo.Duration = n;
            Owner->OnCreatePreallocFileProgress(Owner, ProgressInfo);
          }
        }
        ProcessMessagesSafely();
      }
      if (ok && lastPercent >= 0 && lastPercent < 100 && CanRaiseEvent(Owner->OnCreatePreallocFileProgress)) {
        ProgressInfo.Percent = 100;
        ProgressInfo.Position = ProgressInfo.Duration;
        Owner->OnCreatePreallocFileProgress(Owner, ProgressInfo);
      }
      if (std::fclose(f) != 0) ok = false;
    }
  }
  PreallocResult = ok;
  PreallocFileName = file;
  PreallocFileCreated = ok;
  PostEvent(qe_CreatePreallocFileCompleted);
  if (!ok)
    ReportIf(true, SEV_ERROR, "failed to create preallocated file \"" + file + "\"", e_failed_to_allocate_recording_file);
  return ok;
}

bool TVcEngine::StartNewRecordingFile() {
  InsertControlTee("VIDC", VideoControlPin);
  const bool aviSink = Latched.RecordingMethod == rm_AVI && FileSink;
  const bool asfSink = Latched.RecordingMethod == rm_ASF && AsfFileSink;
  if (State != es_Recording || !(aviSink || asfSink)) return false;
  if (Latched.PreallocCapFileEnabled) {
    ReportIf(true, SEV_ERROR, "creating a new AVI file during recording not allowed when using a preallocated file",
             e_failed_to_create_file);
    return false;
  }
  if (Latched.CompressionMode == cm_CompressAfterRecording) {
    ReportIf(true, SEV_ERROR,
             "creating a new AVI file during Recording not allowed when reencoding after recording",
             e_failed_to_create_file);
    return false;
  }
  const int32_t graphState = GraphState;
  // Stopping finishes the old file: its index is written before it is
  // announced.
  SetGraphState(gs_Stopped, "ncfdac");
  RecordingStarted = true;
  RecordingSuccess = true;
  // The old file is announced under its own name, fixed now: the event is
  // raised after the new name has replaced it.
  const String oldFile = Sel.FinalRecordingPath;
  PostRecordingEvent(qe_RecordingCompleted, oldFile);
  const int32_t oldKey = Sel.SequenceKeyIndex;
  const int32_t oldNumber = SequenceNumber;
  String output;
  if (!PrepareRecordingFile(output)) {
    // No new file: the old one stays complete and nothing overwrites it.
    Sel.FinalRecordingPath = Sel.CaptureFilePath = oldFile;
    Sel.SequenceKeyIndex = oldKey;
    SequenceNumber = oldNumber;
    CurrentRecordingFile = oldFile;
    ReportIf(true, SEV_ERROR, "failed to create a new recording file", e_failed_to_create_file);
    EndStoppedRecording();
    return false;
  }
  OutputPath = output;
  mg::IFileSinkFilter* sink = aviSink ? FileSink.get() : AsfFileSink.get();
  if (!Report(sink->SetFileName(OutputPath, nullptr), SEV_ERROR, "set outputfilename (mux/sink", e_set_output_file_name)) {
    EndStoppedRecording();
    return false;
  }
  Periodic.ResetRunCounters();
  if (graphState == gs_Running) SetGraphState(gs_Running, "ncfdac2");
  else if (graphState == gs_Paused) SetGraphState(gs_Paused, "ncfdac2");
  PostRecordingEvent(qe_RecordingStarted, Sel.FinalRecordingPath);
  return true;
}

// The graph was stopped for the switch, so the activity is no longer
// marked running; it still has to end with its teardown and its events.
void TVcEngine::EndStoppedRecording() {
  GraphActive = true;
  EndGraphActivity();
}

bool TVcEngine::InsertControlTee(const String& FilterName, std::shared_ptr<mg::Pin>& ControlPin) {
  if (!FilterGraph) return true;
  std::shared_ptr<mg::BaseFilter> filter;
  if (FilterGraph->FindFilterByName(FilterName, &filter) < 0 || !filter) return true;
  std::shared_ptr<mg::Pin> input;
  for (const auto& p : filter->Pins())
    if (p->Direction() == mg::PINDIR_INPUT && p->IsConnected()) {
      input = p;
      break;
    }
  if (!input) return false;
  std::shared_ptr<mg::Pin> upstream = input->ConnectedTo();
  if (!upstream || FilterGraph->Disconnect(upstream) < 0 || FilterGraph->Disconnect(input) < 0) return false;
  std::shared_ptr<mg::Pin> preview, capture;
  if (!InsertFilter2(mg::CLSID_SmartTee, UniqueFilterName("Smart Tee"), preview, capture, upstream)) return false;
  if (!ConnectPins(capture, input)) return false;
  ControlPin = capture;
  return true;
}

void TVcEngine::PlaceHoldPoints() {
  InsertControlTee("VIDC", VideoControlPin);
  const std::shared_ptr<mg::BaseFilter> mux = Latched.RecordingMethod == rm_ASF ? AsfWriter
                                              : Latched.RecordingMethod == rm_AVI ? AviMux
                                                                                   : nullptr;
  if (!mux) return;
  InsertControlTee("AUDC", AudioControlPin);
  auto inputOf = [&](const mg::GUID& major) {
    std::shared_ptr<mg::Pin> pin;
    for (const auto& p : mux->Pins())
      if (p->Direction() == mg::PINDIR_INPUT && p->IsConnected() && mg::PinHasMajorType(*p, major)) pin = p;
    return pin;
  };
  if (!VideoControlPin) VideoControlPin = inputOf(mg::MEDIATYPE_Video);
  if (!VideoControlPin) VideoControlPin = inputOf(mg::MEDIATYPE_Interleaved);
  if (!AudioControlPin) AudioControlPin = inputOf(mg::MEDIATYPE_Audio);
}

bool TVcEngine::SwitchStream(const std::shared_ptr<mg::Pin>& Pin, const String& Name, bool Start) {
  if (!Pin) return true;
  auto control = mg::QueryInterface<mg::IAMStreamControl>(Pin);
  if (!control) {
    ReportIf(true, SEV_ERROR, "no stream control on " + Name + " pin", e_no_stream_control);
    return true;
  }
  const mg::REFERENCE_TIME never = mg::MAX_TIME;
  if (Start) {
    control->StopAt(&never, 1, 0);
    control->StartAt(nullptr, 0);
  } else {
    control->StartAt(&never, 0);
    control->StopAt(nullptr, 0, 0);
  }
  return true;
}

void TVcEngine::ConfigureAviMux(bool CapturesAudio) {
  if (!AviMux) return;
  if (auto config = mg::QueryInterface<mg::IConfigAviMux>(AviMux)) {
    Report(config->SetOutputCompatibilityIndex(AVIFormatOpenDML ? 0 : 1), SEV_ERROR,
           "set output Compatibility Index", e_set_output_compatibility_index);
    if (CapturesAudio) {
      const mg::LONG master = AviMasterStreamKind == 1 ? 1 : AviMasterStreamKind == 2 ? -1 : 0;
      Report(config->SetMasterStream(master), SEV_ERROR, "set master stream", e_set_master_stream);
    }
  } else {
    ReportIf(true, SEV_TRACE_ONLY, "query config avi F_AVIFileMux", e_query_config_avi_mux);
  }
  if (Latched.AudioRecording && Latched.RecordingMethod == rm_AVI) {
    auto interleaving = mg::QueryInterface<mg::IConfigInterleaving>(AviMux);
    const mg::HRESULT hr = interleaving ? interleaving->put_Mode(mg::INTERLEAVE_NONE) : mg::E_NOINTERFACE;
    Report(hr, SEV_ERROR, "set interleaving mode", e_set_interleaving_mode);
  }
}

}  // namespace capture
