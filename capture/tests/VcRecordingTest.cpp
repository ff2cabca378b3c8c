// Recordings on the simulated devices, read back by ffprobe and ffmpeg:
// the written files, their names and numbers, the free-space refusal, the
// hold, the switch to a new file, and the graph's events while recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "capture/VcDeviceManager.h"
#include "capture/VcEngine.h"
#include "capture/tests/VcManualGraphFixture.h"
#include "platform/mg/Events.h"
#include "platform/mg/SystemFilters.h"
#include "platform/rtl/Files.h"

namespace {

using namespace capture;

using captest::Shell;

// "key=value" lines of ffprobe's flat output for one stream.
std::string Probe(const std::string& file, const std::string& stream, const std::string& entries) {
  return Shell("ffprobe -v error -count_frames -select_streams " + stream + " -show_entries stream=" + entries +
             " -of default=noprint_wrappers=1 '" + file + "' 2>&1");
}

std::string Md5Hex(const std::vector<uint8_t>& bytes) {
  char name[] = "/tmp/vcrec-md5-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd < 0) return {};
  ::close(fd);
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
  const std::string out = Shell(std::string("md5sum ") + name);
  std::remove(name);
  return out.substr(0, 32);
}

// The media type on the device's connected output: what it sends.
bool FirstConnectedOutput(const std::shared_ptr<mg::BaseFilter>& f, mg::AM_MEDIA_TYPE* mt) {
  for (const auto& p : f ? f->Pins() : std::vector<std::shared_ptr<mg::Pin>>{})
    if (p->Direction() == mg::PINDIR_OUTPUT && p->IsConnected()) return p->ConnectionMediaType(mt) >= 0;
  return false;
}

// The tag ffprobe shows for the format's compression: its four characters,
// or four zero bytes for plain RGB.
std::string NativeTag(mg::AM_MEDIA_TYPE& mt) {
  const auto* vih = mt.FormatAs<mg::VIDEOINFOHEADER>();
  const uint32_t c = vih ? vih->bmiHeader.biCompression : 0;
  if (c == 0) return "[0][0][0][0]";
  std::string tag;
  for (int i = 0; i < 4; ++i) tag += static_cast<char>((c >> (8 * i)) & 0xFF);
  return tag;
}

class VcRecording : public captest::ManualGraphFixture {
protected:
  void TearDown() override {
    rtl::SetDiskSpaceQuery(nullptr);
    ManualGraphFixture::TearDown();
  }
  // A control recording the last camera (and the sound card when plugged)
  // into the storage folder under numbered names.
  TVidCap* RecordingControl(bool audio) {
    TVidCap* vc = MakeControl();
    vc->SetFrameGrabber(fg_Disabled);
    vc->SetCompressionMode(cm_NoCompression);
    vc->SetAudioRecording(audio);
    vc->SetAudioDeviceRendering(false);
    vc->SetStoragePath(storage);
    vc->SetAutoFileName(fn_Sequential);
    vc->SetAutoFilePrefix("vg");
    vc->SetVideoDevice(VideoCaptureDevices()->Count() - 1);
    vc->OnRecordingStarted = [this](TObject*, const String& f) { events.push_back("started " + f); };
    vc->OnRecordingCompleted = [this](TObject*, const String& f, bool ok) {
      events.push_back("completed " + f + (ok ? " ok" : " failed"));
    };
    vc->OnDeviceLost = [this](TObject*) { events.push_back("device lost"); };
    vc->OnDiskFull = [this](TObject*) { events.push_back("disk full"); };
    vc->OnInactive = [this](TObject*) { events.push_back("inactive"); };
    return vc;
  }
  // n rounds of one sample from each source: n video frames.
  static void PushFrames(TVcEngine& e, int n) {
    if (auto s = Scheduler(e)) s->Pump(n);
  }
  static int VideoFrames(const std::string& file) {
    const std::string out = Shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                  "stream=nb_read_frames -of csv=p=0 '" + file + "' 2>&1");
    return out.empty() ? -1 : std::atoi(out.c_str());
  }
  // Decodes the whole file; the decoder's complaints, empty when clean.
  static std::string DecodeErrors(const std::string& file) {
    return Shell("ffmpeg -v error -i '" + file + "' -f null - 2>&1");
  }
  std::vector<std::string> events;
};

TEST_F(VcRecording, CameraAndSoundCardRecordAnAviWithTheFramesPushedAndPcmSound) {
  PlugCameras(1);
  PlugIn(mg::sim::AudioOptions{});
  TVidCap* vc = RecordingControl(true);
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartRecording());
  EXPECT_EQ(e.State, es_Recording);
  ASSERT_NE(e.AviMux, nullptr);
  // Sound reached the file, so it leads; the OpenDML form has no legacy
  // index of its own.
  auto config = mg::QueryInterface<mg::IConfigAviMux>(e.AviMux);
  ASSERT_NE(config, nullptr);
  mg::LONG master = 0;
  mg::BOOL oldIndex = 1;
  config->GetMasterStream(&master);
  config->GetOutputCompatibilityIndex(&oldIndex);
  EXPECT_EQ(master, 1);
  EXPECT_EQ(oldIndex, 0);
  const std::string file = storage + "/vg000001.avi";
  EXPECT_EQ(e.Sel.FinalRecordingPath, file);
  auto renderer = std::dynamic_pointer_cast<mg::VideoRenderer>(e.Attachments[da_Main].Renderer);
  ASSERT_NE(renderer, nullptr) << "the preview is shown while recording";
  // The sound and the pictures go in time order; each picture is kept as
  // the preview showed it.
  const int frames = 30;
  std::vector<std::string> hashes;
  for (mg::REFERENCE_TIME t = 100'000; renderer->FramesDrawn() < frames; t += 100'000) {
    const int64_t before = renderer->FramesDrawn();
    Scheduler(e)->AdvanceTo(t);
    if (renderer->FramesDrawn() != before) hashes.push_back(Md5Hex(renderer->LastFrame()));
  }
  mg::AM_MEDIA_TYPE native;
  ASSERT_TRUE(FirstConnectedOutput(e.VideoDeviceFilter, &native));
  vc->StopRecording();
  Settle();
  EXPECT_EQ(e.State, es_Idle);
  EXPECT_EQ(events, (std::vector<std::string>{"started " + file, "completed " + file + " ok", "inactive"}));

  const std::string video = Probe(file, "v:0", "codec_tag_string,width,height,nb_read_frames");
  EXPECT_NE(video.find("codec_tag_string=" + NativeTag(native)), std::string::npos) << video;
  EXPECT_NE(video.find("width=" + std::to_string(e.VideoWidth)), std::string::npos) << video;
  EXPECT_NE(video.find("nb_read_frames=" + std::to_string(frames)), std::string::npos) << video;
  const std::string audio = Probe(file, "a:0", "codec_name,sample_rate,channels");
  EXPECT_NE(audio.find("codec_name=pcm_s16le"), std::string::npos) << audio;
  EXPECT_NE(audio.find("sample_rate=44100"), std::string::npos) << audio;
  // The frames at 29.97 per second last about a second.
  const std::string duration = Shell("ffprobe -v error -select_streams v:0 -show_entries stream=duration -of csv=p=0 '" +
                                   file + "'");
  EXPECT_NEAR(std::stod(duration), frames / 29.97, 0.01) << duration;
  // Every written frame is the frame the camera sent.
  std::istringstream md5(Shell("ffmpeg -v error -i '" + file + "' -map 0:v -f framemd5 - 2>&1"));
  std::vector<std::string> written;
  for (std::string line; std::getline(md5, line);)
    if (!line.empty() && line[0] != '#') written.push_back(line.substr(line.rfind(',') + 1));
  for (auto& h : written) h.erase(0, h.find_first_not_of(' '));
  EXPECT_EQ(written, hashes);
  delete vc;
}

TEST_F(VcRecording, NumberedNamesContinueFromTheFolderAndRefusedRecordingsGiveTheirNumberBack) {
  PlugCameras(1);
  std::filesystem::create_directories(storage);
  for (const char* name : {"vg000007.avi", "vg000012.avi", "vgabc.avi", "vg000020.jpg", "other000099.avi"})
    std::ofstream(storage + "/" + name) << "x";
  TVidCap* vc = RecordingControl(false);
  TVcEngine& e = *vc->Engine();
  int64_t freeBytes = 24'999'999;
  rtl::SetDiskSpaceQuery([&](const String&, int64_t& free, int64_t& total) {
    free = freeBytes;
    total = 1'000'000'000;
    return true;
  });
  // Below the minimum nothing is built and the number is free again.
  EXPECT_FALSE(vc->StartRecording());
  EXPECT_EQ(e.State, es_Idle);
  EXPECT_TRUE(Logged("disk full!"));
  EXPECT_TRUE(Logged("failed to start Recording"));
  Settle();
  EXPECT_EQ(events, (std::vector<std::string>{"disk full"}));
  EXPECT_FALSE(std::filesystem::exists(storage + "/vg000013.avi"));
  freeBytes = 25'000'000;
  ASSERT_TRUE(vc->StartRecording());
  EXPECT_EQ(e.Sel.FinalRecordingPath, storage + "/vg000013.avi");
  PushFrames(e, 3);
  vc->StopRecording();
  EXPECT_EQ(VideoFrames(storage + "/vg000013.avi"), 3);
  // Pictures are counted apart from recordings.
  String path;
  int32_t key = -1;
  e.MakeAutoFileName(1, "avi", path, key);
  EXPECT_EQ(path, storage + "/vg000021.jpg");
  e.MakeAutoFileName(2, "avi", path, key);
  EXPECT_EQ(path, storage + "/vg000014.avi");
  delete vc;
}

TEST_F(VcRecording, UnpluggedCameraEndsTheRecordingWithAPlayableFileAndReportsTheLoss) {
  const int camera = PlugIn(mg::sim::CameraOptions{});
  PlugIn(mg::sim::AudioOptions{});
  TVidCap* vc = RecordingControl(true);
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartRecording());
  const std::string file = e.Sel.FinalRecordingPath;
  PushFrames(e, 12);
  ASSERT_TRUE(mg::sim::SimDeviceProvider::Instance()->Unplug(camera));
  PushFrames(e, 3);
  Settle();
  EXPECT_EQ(e.State, es_Idle);
  EXPECT_EQ(events, (std::vector<std::string>{"started " + file, "completed " + file + " ok", "inactive",
                                              "device lost"}));
  EXPECT_EQ(VideoFrames(file), 12);
  EXPECT_EQ(DecodeErrors(file), "");
  delete vc;
}

TEST_F(VcRecording, GraphEventsDuringARecording) {
  PlugCameras(1);
  TVidCap* vc = RecordingControl(false);
  TVcEngine& e = *vc->Engine();
  int64_t freeBytes = 30'000'000;
  rtl::SetDiskSpaceQuery([&](const String&, int64_t& free, int64_t& total) {
    free = freeBytes;
    total = 1'000'000'000;
    return true;
  });
  ASSERT_TRUE(vc->StartRecording());
  const std::string file = e.Sel.FinalRecordingPath;
  PushFrames(e, 2);
  // A capture device's stream does not end by an end of stream or a
  // stream-control stop; a pause with enough space left is no disk full.
  for (long code : {mg::EC_COMPLETE, mg::EC_STREAM_CONTROL_STOPPED, mg::EC_PAUSED}) e.FilterGraph->Notify(code, 0, 0);
  Settle();
  EXPECT_EQ(e.State, es_Recording);
  EXPECT_EQ(events, (std::vector<std::string>{"started " + file}));
  // A loss seen just before the recording stops is not announced after it.
  e.FilterGraph->Notify(mg::EC_DEVICE_LOST, 0, 0);
  e.ProcessGraphEvents();
  vc->StopRecording();
  Settle();
  EXPECT_EQ(events, (std::vector<std::string>{"started " + file, "completed " + file + " ok", "inactive"}));
  // Short of space, a pause stops the recording and says so.
  events.clear();
  ASSERT_TRUE(vc->StartRecording());
  const std::string second = e.Sel.FinalRecordingPath;
  PushFrames(e, 4);
  freeBytes = 20'000'000;
  e.FilterGraph->Notify(mg::EC_PAUSED, 0, 0);
  Settle();
  EXPECT_EQ(e.State, es_Idle);
  // The disk-full event is raised at once; the queued ones follow.
  EXPECT_EQ(events, (std::vector<std::string>{"started " + second, "disk full", "completed " + second + " failed",
                                              "inactive"}));
  EXPECT_EQ(VideoFrames(second), 4) << "the file written so far stays";
  delete vc;
}

TEST_F(VcRecording, RenewalAnnouncesTheOldFileAndContinuesInANewOne) {
  PlugCameras(1);
  TVidCap* vc = RecordingControl(false);
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartRecording());
  const std::string first = e.Sel.FinalRecordingPath;
  PushFrames(e, 5);
  vc->SetRecordingFileName("RENEW");
  const std::string second = e.Sel.FinalRecordingPath;
  EXPECT_NE(first, second);
  PushFrames(e, 7);
  vc->StopRecording();
  Settle();
  EXPECT_EQ(events, (std::vector<std::string>{"started " + first, "completed " + first + " ok", "started " + second,
                                              "completed " + second + " ok", "inactive"}));
  EXPECT_EQ(VideoFrames(first), 5);
  EXPECT_EQ(VideoFrames(second), 7);
  // No space for a new file: the renewal is refused, the recording ends
  // and the finished file is left as it was.
  events.clear();
  ASSERT_TRUE(vc->StartRecording());
  const std::string third = e.Sel.FinalRecordingPath;
  PushFrames(e, 3);
  rtl::SetDiskSpaceQuery([](const String&, int64_t& free, int64_t& total) {
    free = 1000;
    total = 1'000'000'000;
    return true;
  });
  vc->SetRecordingFileName("RENEW");
  Settle();
  EXPECT_EQ(e.State, es_Idle);
  EXPECT_EQ(VideoFrames(third), 3);
  EXPECT_EQ(DecodeErrors(third), "");
  EXPECT_TRUE(Logged("failed to create a new recording file"));
  delete vc;
}

TEST_F(VcRecording, HeldRecordingWritesNothingUntilResumed) {
  PlugCameras(1);
  TVidCap* vc = RecordingControl(false);
  TVcEngine& e = *vc->Engine();
  vc->SetHoldRecording(true);
  bool ready = false;
  vc->OnRecordingReadyToStart = [&](TObject*) { ready = true; };
  ASSERT_TRUE(vc->StartRecording());
  EXPECT_TRUE(ready);
  const std::string file = e.Sel.FinalRecordingPath;
  PushFrames(e, 5);
  Settle();
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(vc->ResumeRecording());
  PushFrames(e, 6);
  EXPECT_FALSE(vc->ResumeRecording());
  EXPECT_TRUE(Logged("Recording not paused"));
  vc->StopRecording();
  Settle();
  EXPECT_EQ(events, (std::vector<std::string>{"started " + file, "completed " + file + " ok", "inactive"}));
  EXPECT_EQ(VideoFrames(file), 6);
  delete vc;
}

TEST_F(VcRecording, NativeDVRecordingIsATypeOneAviOfTheCamcordersFrames) {
  PlugIn(mg::sim::DvOptions{});
  TVidCap* vc = RecordingControl(true);
  TVcEngine& e = *vc->Engine();
  vc->SetRecordingInNativeFormat(true);
  ASSERT_TRUE(vc->StartRecording());
  if (auto t = mg::QueryInterface<mg::IAMExtTransport>(e.VideoDeviceFilter)) t->put_Mode(mg::ED_MODE_PLAY);
  const std::string file = e.Sel.FinalRecordingPath;
  PushFrames(e, 10);
  vc->StopRecording();
  const std::string probe = Probe(file, "v:0", "codec_name,width,height,nb_read_frames");
  EXPECT_NE(probe.find("codec_name=dvvideo"), std::string::npos) << probe;
  EXPECT_NE(probe.find("width=720"), std::string::npos) << probe;
  EXPECT_NE(probe.find("nb_read_frames=10"), std::string::npos) << probe;
  // One interleaved stream: the type-1 form.
  EXPECT_EQ(Shell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + file + "'"), "video\n");
  delete vc;
}

TEST_F(VcRecording, CompressionOnTheFlyWritesTheChosenCodecWithItsSettings) {
  PlugCameras(1);
  TVidCap* vc = RecordingControl(false);
  TVcEngine& e = *vc->Engine();
  const TDevices* list = VideoCompressors();
  ASSERT_NE(list, nullptr);
  int32_t mjpeg = -1;
  for (int32_t i = 0; i < list->Count(); ++i)
    if (list->GetName(i) == "Motion JPEG Compressor") mjpeg = i;
  ASSERT_GE(mjpeg, 0);
  vc->SetVideoCompressor(mjpeg);
  vc->SetCompressionMode(cm_CompressOnTheFly);
  vc->SetCompressionType(ct_Video);
  bool offered = false;
  vc->OnVideoCompressionSettings = [&](TObject*, bool, bool, bool canQuality, bool, int32_t, int32_t, double) {
    offered = canQuality;
  };
  ASSERT_TRUE(vc->StartRecording());
  EXPECT_TRUE(offered);
  const std::string file = e.Sel.FinalRecordingPath;
  PushFrames(e, 6);
  vc->StopRecording();
  const std::string probe = Probe(file, "v:0", "codec_name,nb_read_frames");
  EXPECT_NE(probe.find("codec_name=mjpeg"), std::string::npos) << probe;
  EXPECT_NE(probe.find("nb_read_frames=6"), std::string::npos) << probe;
  delete vc;
}

TEST_F(VcRecording, OwnFiltersComeFromTheProgramAndAnUnknownOneIsReported) {
  PlugCameras(1);
  TVidCap* vc = RecordingControl(false);
  TVcEngine& e = *vc->Engine();
  std::shared_ptr<mg::BaseFilter> writer;
  ASSERT_TRUE(e.CreateLocalFilterOrReport("RwCapFilter1", writer, "CreateLocalCFrwInstance"));
  EXPECT_NE(mg::QueryInterface<mg::IFileSinkFilter>(writer), nullptr);
  std::shared_ptr<mg::BaseFilter> none;
  EXPECT_FALSE(e.CreateLocalFilterOrReport("", none, "CreateLocalTransformInstance"));
  EXPECT_EQ(none, nullptr);
  EXPECT_TRUE(Logged("cannot load filter"));
  // Nothing was put into the temporary folder.
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "private"));
  delete vc;
}

TEST_F(VcRecording, PreallocatedFileIsKeptWhenLargeEnoughAndRewrittenOtherwise) {
  PlugCameras(1);
  TVidCap* vc = RecordingControl(false);
  TVcEngine& e = *vc->Engine();
  vc->SetPreallocCapFileSizeInMB(2);
  std::vector<int32_t> percents;
  vc->OnCreatePreallocFileProgress = [&](TObject*, const TProgressInfo& p) { percents.push_back(p.Percent); };
  const std::string file = (dir_ / "cap.rec").string();
  struct Case {
    int64_t existing;
    int64_t expected;
    bool rewritten;
  };
  for (const Case c : {Case{3 * 1048576 + 5, 3 * 1048576 + 5, false}, Case{2 * 1048576, 2 * 1048576, false},
                       Case{1048576, 3 * 1048576, true}}) {
    SCOPED_TRACE(c.existing);
    std::ofstream(file).close();
    std::filesystem::resize_file(file, static_cast<uintmax_t>(c.existing));
    percents.clear();
    EXPECT_TRUE(e.PreallocateCaptureFile(file));
    EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(file)), c.expected);
    if (c.rewritten) EXPECT_EQ(percents, (std::vector<int32_t>{50, 100}));
    else EXPECT_TRUE(percents.empty());
  }
  EXPECT_FALSE(e.PreallocateCaptureFile((dir_ / "missing" / "cap.rec").string()));
  EXPECT_TRUE(Logged("failed to create preallocated file \"" + (dir_ / "missing" / "cap.rec").string() + "\""));
  delete vc;
}

}  // namespace
