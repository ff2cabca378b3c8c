// Re-encoding after a recording on the simulated devices: the capture file
// compressed into the final file with the chosen compressors, the events
// in their order, the checks of a job, its times, and what is left when a
// job does not finish.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "capture/VcDeviceManager.h"
#include "capture/VcEngine.h"
#include "capture/tests/VcManualGraphFixture.h"
#include "platform/mg/Graph.h"

namespace {

using namespace capture;
using captest::Shell;
namespace fs = std::filesystem;

std::string Probe(const std::string& file, const std::string& stream, const std::string& entries) {
  return Shell("ffprobe -v error -select_streams " + stream + " -show_entries stream=" + entries +
               " -of default=noprint_wrappers=1:nokey=1 '" + file + "' 2>&1");
}

int32_t IndexOf(const TDevices* list, const std::string& name) {
  for (int32_t i = 0; list && i < list->Count(); ++i)
    if (list->GetName(i) == name) return i;
  return -1;
}

class VcReencode : public captest::ManualGraphFixture {
protected:
  // A control that records the camera (and the sound card) and compresses
  // afterwards with the given compressors.
  TVidCap* Control(bool audio) {
    TVidCap* vc = MakeControl();
    vc->SetName("VidCap1");
    vc->SetFrameGrabber(fg_Disabled);
    vc->SetCompressionMode(cm_CompressAfterRecording);
    vc->SetCompressionType(ct_AudioVideo);
    vc->SetAudioRecording(audio);
    vc->SetAudioDeviceRendering(false);
    vc->SetStoragePath(storage);
    vc->SetAutoFileName(fn_Sequential);
    vc->SetAutoFilePrefix("vg");
    vc->SetVideoDevice(VideoCaptureDevices()->Count() - 1);
    vc->SetVideoCompressor(IndexOf(VideoCompressors(), "MPEG-4 Part 2 Video Encoder"));
    vc->SetAudioCompressor(IndexOf(AudioCompressors(), "MPEG Layer-2"));
    vc->OnRecordingStarted = [this](TObject*, const String& f) { events.push_back("recording started " + f); };
    vc->OnRecordingCompleted = [this](TObject*, const String& f, bool ok) {
      events.push_back("recording completed " + f + (ok ? " ok" : " failed"));
    };
    vc->OnReencodingStarted = [this](TObject*, const String& s, const String& d) {
      events.push_back("reencoding started " + s + " -> " + d);
    };
    vc->OnReencodingProgress = [this](TObject*, const TProgressInfo& p) { percents.push_back(p.Percent); };
    vc->OnReencodingCompleted = [this](TObject*, const String& s, const String& d, bool ok) {
      events.push_back("reencoding completed " + s + " -> " + d + (ok ? " ok" : " failed"));
    };
    return vc;
  }
  // Feeds the re-encoding graph a frame at a time, letting the periodic
  // work and the events run in between, until the job is over.
  void RunJob(TVcEngine& e) {
    for (int guard = 0; e.State == es_Reencoding && guard < 2000; ++guard) {
      if (auto s = Scheduler(e)) s->Pump(1);
      Settle();
    }
    Settle();
  }
  // Records `frames` frames and stops.
  void Record(TVidCap* vc, int frames) {
    ASSERT_TRUE(vc->StartRecording());
    if (auto s = Scheduler(*vc->Engine())) s->Pump(frames);
    vc->StopRecording();
  }
  std::vector<std::string> events;
  std::vector<int32_t> percents;
};

TEST_F(VcReencode, RecordingEndsAsTheChosenCompressorsOutputAfterTheJobsEvents) {
  PlugCameras(1);
  PlugIn(mg::sim::AudioOptions{});
  TVidCap* vc = Control(true);
  TVcEngine& e = *vc->Engine();
  ASSERT_GE(IndexOf(VideoCompressors(), "MPEG-4 Part 2 Video Encoder"), 0);
  ASSERT_GE(IndexOf(AudioCompressors(), "MPEG Layer-2"), 0);
  Record(vc, 40);
  const std::string rec = storage + "/" + vc->Name() + ".rec";
  const std::string file = storage + "/vg000001.avi";
  EXPECT_EQ(e.State, es_Reencoding);
  RunJob(e);
  EXPECT_EQ(e.State, es_Idle);
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events, (std::vector<std::string>{"recording started " + file, "reencoding started " + rec + " -> " + file,
                                              "reencoding completed " + rec + " -> " + file + " ok",
                                              "recording completed " + file + " ok"}));
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(percents.back(), 100);
  EXPECT_GT(percents.size(), 2u) << "progress is reported while the job runs";
  EXPECT_EQ(Probe(file, "v:0", "codec_name,nb_frames"), "mpeg4\n40\n");
  EXPECT_EQ(Probe(file, "a:0", "codec_name"), "mp2\n");
  // The component leaves its capture file to the application.
  EXPECT_TRUE(fs::exists(rec));
  delete vc;
}

TEST_F(VcReencode, CompressionTypeChoosesWhichStreamsAreCompressed) {
  PlugCameras(1);
  PlugIn(mg::sim::AudioOptions{});
  struct Case {
    TCompressionType type;
    const char* video;
    const char* audio;
  };
  // Without a video compressor the video goes as the decoders deliver it.
  for (const Case c : {Case{ct_Video, "mpeg4", "pcm_s16le"}, Case{ct_Audio, "rawvideo", "mp2"}}) {
    SCOPED_TRACE(c.video);
    TVidCap* vc = Control(true);
    vc->SetCompressionType(c.type);
    Record(vc, 10);
    const std::string file = vc->Engine()->Sel.FinalRecordingPath;
    RunJob(*vc->Engine());
    EXPECT_EQ(Probe(file, "v:0", "codec_name"), std::string(c.video) + "\n");
    EXPECT_EQ(Probe(file, "a:0", "codec_name"), std::string(c.audio) + "\n");
    delete vc;
  }
}

TEST_F(VcReencode, AStoppedJobKeepsTheCaptureFileAndSaysWhereTheRecordingIs) {
  PlugCameras(1);
  TVidCap* vc = Control(false);
  TVcEngine& e = *vc->Engine();
  Record(vc, 30);
  const std::string rec = storage + "/" + vc->Name() + ".rec";
  const std::string file = storage + "/vg000001.avi";
  ASSERT_EQ(e.State, es_Reencoding);
  Scheduler(e)->Pump(5);
  vc->Stop();
  Settle();
  EXPECT_EQ(e.State, es_Idle);
  EXPECT_EQ(events.back(), "recording completed " + rec + " failed");
  EXPECT_EQ(events[events.size() - 2], "reencoding completed " + rec + " -> " + file + " failed");
  EXPECT_TRUE(Logged("re-encoding did not complete, the recording is kept in " + rec));
  EXPECT_EQ(Probe(rec, "v:0", "nb_frames"), "30\n");
  delete vc;
}

TEST_F(VcReencode, AsfRecordingWithCompressionAfterwardsWritesItsFinalFileAtOnce) {
  PlugCameras(1);
  TVidCap* vc = Control(false);
  vc->SetRecordingMethod(rm_ASF);
  Record(vc, 10);
  Settle();
  const std::string file = storage + "/vg000001.asf";
  EXPECT_EQ(vc->Engine()->State, es_Idle);
  EXPECT_EQ(events, (std::vector<std::string>{"recording started " + file, "recording completed " + file + " ok"}));
  EXPECT_FALSE(fs::exists(storage + "/" + vc->Name() + ".rec"));
  EXPECT_EQ(Probe(file, "v:0", "codec_name"), "wmv2\n");
  delete vc;
}

// ---- jobs started directly ------------------------------------------------------------

class VcReencodeJob : public VcReencode {
protected:
  void SetUp() override {
    VcReencode::SetUp();
    clip = (dir_ / "clip.avi").string();
    // Three seconds at 25 frames per second, with sound.
    Shell("ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=frequency=440:sample_rate=22050 "
          "-t 3 -c:v mjpeg -c:a pcm_s16le '" + clip + "'");
    PlugCameras(1);
    vc = Control(false);
    vc->SetRecordingMethod(rm_AVI);
  }
  void TearDown() override {
    delete vc;
    VcReencode::TearDown();
  }
  TReencodingSettings Job(const std::string& dest) const {
    TReencodingSettings s;
    s.SourceVideoClip = clip;
    s.NewVideoClip = dest;
    s.UseFrameGrabber = false;
    return s;
  }
  std::string clip;
  TVidCap* vc = nullptr;
};

TEST_F(VcReencodeJob, ChecksRefuseAJobThatCannotBeDone) {
  fs::create_symlink(clip, dir_ / "link.avi");
  fs::create_directories(dir_ / "sub");
  struct Case {
    std::string source, dest;
    bool video, audio;
    std::string message;
  };
  const std::vector<Case> cases{
      {"", "out.avi", true, true, "source video clip not specified"},
      {clip, "  ", true, true, "new video clip not specified"},
      {clip, clip, true, true, "source and destination files must not be identical"},
      {clip, (dir_ / "link.avi").string(), true, true, "source and destination files must not be identical"},
      {clip, (dir_ / "sub" / ".." / "clip.avi").string(), true, true,
       "source and destination files must not be identical"},
      {clip, (dir_ / "out.avi").string(), false, false,
       "specify either the video stream, the audio stream or both streams"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dest);
    log.clear();
    TReencodingSettings s = Job(c.dest);
    s.SourceVideoClip = c.source;
    s.IncludeVideoStream = c.video;
    s.IncludeAudioStream = c.audio;
    EXPECT_FALSE(vc->Engine()->Reencode(s, false));
    EXPECT_TRUE(Logged(c.message));
  }
  // Nothing was written over the source.
  EXPECT_EQ(Probe(clip, "v:0", "nb_frames"), "75\n");
  // Names that differ only in letter case are two files here.
  log.clear();
  EXPECT_TRUE(vc->Engine()->Reencode(Job((dir_ / "CLIP.avi").string()), false));
  EXPECT_FALSE(Logged("source and destination files must not be identical"));
}

TEST_F(VcReencodeJob, TimesAreCheckedAgainstTheClipsDuration) {
  struct Case {
    int64_t start, stop;
    bool ok;
    std::string message;
  };
  const std::vector<Case> cases{
      {10'000'000, 10'000'000, true, ""},
      {10'000'000, 9'999'999, false, "stop time must be higher than start time"},
      {50'000'000, -1, false, "start time exceeds duration (30000000)"},
      {-5, 10, false, "start time and stop time must have positive values"},
      {0, 40'000'000, true, "stop time exceeds duration  (30000000)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    log.clear();
    TReencodingSettings s = Job((dir_ / "cut.avi").string());
    s.StartTime = c.start;
    s.StopTime = c.stop;
    EXPECT_EQ(vc->Engine()->Reencode(s, false), c.ok);
    if (!c.message.empty()) {
      EXPECT_TRUE(Logged(c.message));
    }
    vc->Engine()->StopAll();
    Settle();
  }
}

TEST_F(VcReencodeJob, AClipIsCutToItsTimesAndAMissingSoundIsNoError) {
  // A second of the clip, from the first second on.
  TReencodingSettings s = Job((dir_ / "cut.avi").string());
  s.StartTime = 10'000'000;
  s.StopTime = 20'000'000;
  s.UseVideoCompressor = true;
  ASSERT_TRUE(vc->Engine()->Reencode(s, false));
  RunJob(*vc->Engine());
  const int frames = std::atoi(Probe(s.NewVideoClip, "v:0", "nb_frames").c_str());
  EXPECT_NEAR(frames, 25, 1);
  EXPECT_EQ(percents.back(), 100);

  const std::string silent = (dir_ / "silent.avi").string();
  Shell("ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=25 -t 1 -c:v mjpeg '" + silent + "'");
  log.clear();
  TReencodingSettings v = Job((dir_ / "video-only.avi").string());
  v.SourceVideoClip = silent;
  v.UseVideoCompressor = true;
  ASSERT_TRUE(vc->Engine()->Reencode(v, false));
  RunJob(*vc->Engine());
  EXPECT_EQ(Shell("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + v.NewVideoClip + "'"), "mpeg4\n");
  EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const captest::LogEntry& l) { return l.severity == "ERROR"; }));
}

TEST_F(VcReencodeJob, AMissingSourceEndsTheJobWithItsCompletion) {
  TReencodingSettings s = Job((dir_ / "out.avi").string());
  s.SourceVideoClip = (dir_ / "missing.avi").string();
  EXPECT_FALSE(vc->Engine()->Reencode(s, false));
  Settle();
  EXPECT_TRUE(Logged("source not found or not suitable: " + s.SourceVideoClip));
  EXPECT_EQ(events, (std::vector<std::string>{"reencoding completed " + s.SourceVideoClip + " -> " + s.NewVideoClip +
                                              " failed"}));
  EXPECT_EQ(vc->Engine()->State, es_Idle);
}

}  // namespace

namespace {

using namespace capture;

TEST_F(VcReencode, APreallocatedCaptureFileIsCopiedOutIntoTheRecordingFile) {
  PlugCameras(1);
  TVidCap* vc = Control(false);
  TVcEngine& e = *vc->Engine();
  vc->SetCompressionMode(cm_NoCompression);
  const std::string prealloc = (dir_ / "capture.dat").string();
  vc->SetPreallocCapFileName(prealloc);
  vc->SetPreallocCapFileSizeInMB(1);
  vc->SetPreallocCapFileEnabled(true);
  std::vector<std::string> copy;
  vc->OnCopyPreallocDataStarted = [&](TObject*, const String& s, const String& d) { copy.push_back(s + " -> " + d); };
  vc->OnCopyPreallocDataCompleted = [&](TObject*, const String&, const String&, bool ok) {
    copy.push_back(ok ? "copied" : "not copied");
  };
  Record(vc, 20);
  const std::string file = storage + "/vg000001.avi";
  RunJob(e);
  EXPECT_EQ(copy, (std::vector<std::string>{prealloc + " -> " + file, "copied"}));
  EXPECT_EQ(events.back(), "recording completed " + file + " ok");
  // The frames go over as they were recorded.
  EXPECT_EQ(Probe(file, "v:0", "codec_name,nb_frames"), Probe(prealloc, "v:0", "codec_name,nb_frames"));
  EXPECT_EQ(Probe(file, "v:0", "nb_frames"), "20\n");
  delete vc;
}

}  // namespace
