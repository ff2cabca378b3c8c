// The capture control on the real-device backends: a USB camera and a TV
// card answering through recorded driver answers at the V4L2 seam, a
// microphone through ALSA's userspace plugins, and udev arrivals and
// removals injected where the monitor hands them over. With
// VORIX_REAL_DEVICES=1 the same preview and recording run on the
// machine's own devices.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "capture/VcDeviceManager.h"
#include "capture/VcEngine.h"
#include "capture/tests/VidCapTestUtil.h"
#include "platform/mg/RealDevices.h"
#include "platform/mg/SystemFilters.h"
#include "platform/mg/tests/FakeV4l2.h"

namespace {

using namespace capture;
namespace fs = std::filesystem;

using captest::Shell;

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Index of `line` in a "\r\n"-separated list, -1 when absent.
int32_t IndexIn(const std::string& list, const std::string& line) {
  int32_t i = 0;
  size_t at = 0;
  while (at <= list.size()) {
    const size_t end = list.find("\r\n", at);
    if (list.substr(at, end == std::string::npos ? std::string::npos : end - at) == line) return i;
    if (end == std::string::npos) break;
    at = end + 2;
    ++i;
  }
  return -1;
}

class VcRealDevices : public captest::VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    SetGraphSchedulerFactory([this] {
      scheduler = std::make_shared<mg::ManualScheduler>();
      return scheduler;
    });
    if (const char* old = std::getenv("ALSA_CONFIG_PATH")) oldAlsa = old;
  }
  void TearDown() override {
    mg::UninstallRealDevices();
    VidCapFixture::TearDown();
    if (oldAlsa.empty())
      ::unsetenv("ALSA_CONFIG_PATH");
    else
      ::setenv("ALSA_CONFIG_PATH", oldAlsa.c_str(), 1);
  }
  // The recorded device, and (when asked) a microphone whose capture is a
  // tone ffmpeg made, read by ALSA's file plugin.
  void Install(const char* fixture, bool microphone) {
    fake = std::make_shared<fakev4l2::FakeV4l2>(std::string(VORIX_SOURCE_DIR "/platform/mg/tests/data/v4l2/") +
                                                fixture);
    mg::RealDeviceOptions o;
    o.io = fake;
    o.monitor = false;
    o.speakerMixer = false;
    if (microphone) {
      const fs::path wav = dir_ / "tone.wav";
      toneRaw = dir_ / "tone.raw";
      Shell("ffmpeg -v error -y -f lavfi -i 'sine=frequency=440:duration=3' -ac 2 -ar 44100 -c:a pcm_s16le '" +
            wav.string() + "'");
      Shell("ffmpeg -v error -y -i '" + wav.string() + "' -f s16le '" + toneRaw.string() + "'");
      std::ofstream(dir_ / "asound.conf") << "pcm.vorixmic {\n  type file\n  slave.pcm { type null }\n"
                                          << "  file \"/dev/null\"\n  infile \"" << toneRaw.string()
                                          << "\"\n  format \"raw\"\n}\n";
      ::setenv("ALSA_CONFIG_PATH", (dir_ / "asound.conf").c_str(), 1);
      o.cards = [] { return std::vector<mg::alsa::CaptureCard>{{"vorixmic", "hw:1,0", "USB Microphone", ""}}; };
    } else {
      o.cards = [] { return std::vector<mg::alsa::CaptureCard>{}; };
    }
    mg::InstallRealDevices(o);
  }
  TVidCap* BoundControl() {
    TVidCap* vc = MakeControl();
    vc->SetFrameGrabber(fg_Disabled);
    vc->Engine()->VideoDevice = 0;
    vc->Engine()->BindVideoDevice();
    return vc;
  }
  // n MJPG frames of 640x480 from ffmpeg's test picture.
  std::vector<std::vector<uint8_t>> MjpgFrames(int n) {
    Shell("ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=30 -frames:v " + std::to_string(n) +
          " -c:v mjpeg -q:v 5 -f image2 '" + (dir_ / "f%03d.jpg").string() + "'");
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 1; i <= n; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "f%03d.jpg", i);
      frames.push_back(ReadAll(dir_ / name));
    }
    return frames;
  }
  static std::shared_ptr<mg::VideoRenderer> Renderer(const TVcEngine& e) {
    return std::dynamic_pointer_cast<mg::VideoRenderer>(e.Attachments[da_Main].Renderer);
  }
  void Settle() {
    for (int i = 0; i < 5; ++i) {
      forms::Application->ProcessMessages();
      clock.Advance(20);
    }
    forms::Application->ProcessMessages();
  }
  std::shared_ptr<fakev4l2::FakeV4l2> fake;
  std::shared_ptr<mg::ManualScheduler> scheduler;
  fs::path toneRaw;
  std::string oldAlsa;
};

TEST_F(VcRealDevices, TheRecordedCameraGivesItsListsAndControls) {
  Install("uvc-webcam.txt", true);
  TVidCap* vc = BoundControl();
  ASSERT_EQ(VideoCaptureDevices()->Count(), 1) << "the metadata node is no device";
  ASSERT_EQ(AudioCaptureDevices()->Count(), 1);
  EXPECT_EQ(VideoCaptureDevices()->Info(0)->Name, "HD Pro Webcam C920");
  EXPECT_EQ(AudioCaptureDevices()->Info(0)->Name, "USB Microphone");
  EXPECT_EQ(vc->GetVideoSubtypes(), "Default\r\nYUY2\r\nMJPG\r\n");
  EXPECT_EQ(vc->GetVideoSizes(), "Default\r\n160x120\r\n320x240\r\n640x480\r\n1280x720\r\n1920x1080\r\n");
  EXPECT_TRUE(vc->IsVideoQualityAvailable());
  EXPECT_TRUE(vc->IsCameraControlAvailable());
  EXPECT_FALSE(vc->IsTVTunerAvailable());
  EXPECT_FALSE(vc->IsTVAudioAvailable());
  EXPECT_FALSE(vc->IsVideoCrossbarAvailable());
  EXPECT_FALSE(vc->IsAnalogVideoDecoderAvailable());
  EXPECT_FALSE(vc->IsDVDevice());
  // Brightness 0..255 around 128; hue is not on this camera; pan in
  // degrees; zoom as the driver counts it.
  EXPECT_TRUE(vc->IsVideoQualityPropertyAvailable(0));
  EXPECT_EQ(vc->GetVideoQualityMax(0), 255);
  EXPECT_EQ(vc->GetVideoQualityDefault(0), 128);
  EXPECT_FALSE(vc->IsVideoQualityPropertyAvailable(2));
  EXPECT_TRUE(vc->IsCameraControlPropertyAvailable(0));
  EXPECT_EQ(vc->GetCameraControlMin(0), -10);
  EXPECT_EQ(vc->GetCameraControlMax(3), 500);
  EXPECT_FALSE(vc->IsCameraControlPropertyAvailable(2));
}

TEST_F(VcRealDevices, TheRecordedTvCardGivesItsInputsTunerAndStandards) {
  Install("bttv-tuner.txt", false);
  TVidCap* vc = BoundControl();
  EXPECT_EQ(VideoCaptureDevices()->Info(0)->Name, "BT878 video (Hauppauge (bt878))");
  EXPECT_TRUE(vc->IsTVTunerAvailable());
  EXPECT_TRUE(vc->IsTVAudioAvailable());
  EXPECT_TRUE(vc->IsVideoCrossbarAvailable());
  EXPECT_TRUE(vc->IsAnalogVideoDecoderAvailable());
  EXPECT_FALSE(vc->IsCameraControlAvailable());
  ASSERT_TRUE(vc->StartPreview());
  EXPECT_EQ(vc->GetVideoInputs(), "Tuner\r\nComposite\r\nSVideo\r\nComposite 1");
  vc->SetVideoInput(2);
  Settle();
  EXPECT_EQ(fake->Input("/dev/video0"), 2) << "the S-Video input is routed on the card";
  const std::string standards = vc->GetAnalogVideoStandards();
  // PAL, NTSC and SECAM as the driver groups them (NTSC 4.43 is not one).
  EXPECT_NE(IndexIn(standards, "NTSC M"), -1) << standards;
  EXPECT_NE(IndexIn(standards, "PAL B"), -1) << standards;
  EXPECT_NE(IndexIn(standards, "SECAM L"), -1) << standards;
  EXPECT_EQ(IndexIn(standards, "NTSC 433"), -1) << standards;
  vc->StopPreview();
}

TEST_F(VcRealDevices, MjpgFramesAndTheMicrophoneArePreviewedAndRecordedIntoAnAvi) {
  Install("uvc-webcam.txt", true);
  TVidCap* vc = BoundControl();
  const std::string storage = (dir_ / "videos").string();
  vc->SetCompressionMode(cm_NoCompression);
  vc->SetRecordingInNativeFormat(true);
  vc->SetAudioRecording(true);
  vc->SetAudioDeviceRendering(false);
  vc->SetStoragePath(storage);
  vc->SetAutoFileName(fn_Sequential);
  vc->SetAutoFilePrefix("cam");
  vc->SetVideoSubtype(IndexIn(vc->GetVideoSubtypes(), "MJPG"));
  vc->SetVideoSize(IndexIn(vc->GetVideoSizes(), "640x480"));
  ASSERT_TRUE(vc->StartRecording());
  TVcEngine& e = *vc->Engine();
  const auto frames = MjpgFrames(60);
  for (const auto& f : frames) fake->QueueFrame("/dev/video0", {f});
  auto renderer = Renderer(e);
  ASSERT_NE(renderer, nullptr);
  // Two seconds: 60 frames at 30 a second, 20 tenths of sound.
  for (mg::REFERENCE_TIME t = 1'000'000; t <= 20'000'000; t += 1'000'000) scheduler->AdvanceTo(t);
  EXPECT_EQ(renderer->FramesDrawn(), 60) << "every MJPG frame was decoded for the preview";
  // The last picture shown is ffmpeg's test pattern, not a blank one.
  const std::vector<uint8_t> shown = renderer->LastFrame();
  ASSERT_FALSE(shown.empty());
  EXPECT_GT(std::count_if(shown.begin(), shown.end(), [](uint8_t b) { return b > 40; }), int64_t(shown.size() / 4));
  vc->StopRecording();
  Settle();

  const std::string file = storage + "/cam000001.avi";
  const std::string video = Shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                  "stream=codec_name,width,height,nb_read_frames -of default=noprint_wrappers=1 '" +
                                  file + "'");
  EXPECT_NE(video.find("codec_name=mjpeg"), std::string::npos) << video;
  EXPECT_NE(video.find("width=640"), std::string::npos) << video;
  EXPECT_NE(video.find("nb_read_frames=60"), std::string::npos) << video;
  // The sound in the file is the tone, sample for sample, from its start.
  const fs::path sound = dir_ / "recorded.raw";
  Shell("ffmpeg -v error -y -i '" + file + "' -map 0:a -f s16le '" + sound.string() + "'");
  const std::vector<uint8_t> got = ReadAll(sound), want = ReadAll(toneRaw);
  ASSERT_GE(got.size(), 44100u * 4 * 19 / 10) << "the two seconds";
  ASSERT_LE(got.size(), want.size());
  EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin()));
}

TEST_F(VcRealDevices, UnplugDuringRecordingIsReportedAndUnplugWithReplugGivesOneRebuild) {
  Install("uvc-webcam.txt", false);
  int rebuilds = 0;
  TDeviceListHooks hooks = DeviceListHooks();
  auto rebuild = hooks.Rebuild;
  hooks.Rebuild = [&rebuilds, rebuild] {
    ++rebuilds;
    return rebuild();
  };
  SetDeviceListHooks(hooks);
  TVidCap* vc = BoundControl();
  std::vector<std::string> events;
  vc->OnDeviceLost = [&](forms::TObject*) { events.push_back("lost"); };
  vc->SetCompressionMode(cm_NoCompression);
  vc->SetAudioRecording(false);
  vc->SetStoragePath((dir_ / "videos").string());
  ASSERT_TRUE(vc->StartRecording());
  std::vector<uint8_t> yuyv(640 * 480 * 2, 0x80);
  for (int i = 0; i < 3; ++i) fake->QueueFrame("/dev/video0", {yuyv});
  scheduler->Pump(3);

  fake->Unplug("/dev/video0");
  mg::DispatchHotplugEvent({"remove", "video4linux", "/dev/video0"});
  mg::DispatchHotplugEvent({"remove", "video4linux", "/dev/video1"});
  scheduler->Pump(2);
  Settle();
  EXPECT_EQ(events, std::vector<std::string>{"lost"});
  clock.Advance(500);
  fake->Replug("/dev/video0");
  mg::DispatchHotplugEvent({"add", "video4linux", "/dev/video0"});
  mg::DispatchHotplugEvent({"add", "video4linux", "/dev/video1"});
  forms::Application->ProcessMessages();
  clock.Advance(2700);
  Settle();
  EXPECT_EQ(rebuilds, 1);
  EXPECT_EQ(VideoCaptureDevices()->Count(), 1);
  EXPECT_TRUE(VideoCaptureDevices()->Info(0)->Present);
  // Events of other subsystems, or without an action we know, change nothing.
  mg::DispatchHotplugEvent({"change", "video4linux", "/dev/video0"});
  mg::DispatchHotplugEvent({"add", "usb", "/dev/bus/usb/001/004"});
  forms::Application->ProcessMessages();
  clock.Advance(3000);
  Settle();
  EXPECT_EQ(rebuilds, 1);
}

// The machine's own devices, when asked for: the preview and a recording
// on the first camera, and a recording from the first sound card.
TEST_F(VcRealDevices, OwnDevicesPreviewAndRecordWhenAskedFor) {
  const char* want = std::getenv("VORIX_REAL_DEVICES");
  if (!want || std::string(want) != "1")
    GTEST_SKIP() << "the machine's own capture devices are tried only with VORIX_REAL_DEVICES=1";
  mg::RealDeviceOptions o;
  o.monitor = false;
  o.speakerMixer = false;
  mg::InstallRealDevices(o);
  const bool camera = mg::AnyRealVideoDevice();
  const bool sound = !mg::alsa::ListCaptureCards().empty();
  if (!camera && !sound) GTEST_SKIP() << "VORIX_REAL_DEVICES=1, but there is no /dev/video* capture device or sound card";
  SetGraphSchedulerFactory([] { return std::make_shared<mg::ThreadedScheduler>(); });
  TVidCap* vc = MakeControl();
  vc->SetFrameGrabber(fg_Disabled);
  vc->SetCompressionMode(cm_NoCompression);
  vc->SetAudioRecording(sound);
  vc->SetAudioDeviceRendering(false);
  vc->SetStoragePath((dir_ / "videos").string());
  vc->SetAutoFileName(fn_Sequential);
  vc->SetAutoFilePrefix("own");
  if (!camera) GTEST_SKIP() << "VORIX_REAL_DEVICES=1: no video capture device, the sound card alone is not recorded";
  ASSERT_TRUE(vc->StartRecording());
  // Real devices deliver on their own time: wait for frames, not for a clock.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  auto renderer = Renderer(*vc->Engine());
  while (renderer && renderer->FramesDrawn() < 10 && std::chrono::steady_clock::now() < deadline)
    forms::Application->ProcessMessages();
  vc->StopRecording();
  Settle();
  ASSERT_NE(renderer, nullptr);
  EXPECT_GE(renderer->FramesDrawn(), 10);
  const std::string file = (dir_ / "videos" / "own000001.avi").string();
  const std::string out = Shell("ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames "
                                "-of csv=p=0 '" + file + "'");
  EXPECT_NE(out.find("video"), std::string::npos) << out;
  if (sound) {
    EXPECT_NE(out.find("audio"), std::string::npos) << out;
  }
}

}  // namespace
