#include <gtest/gtest.h>

#include <filesystem>

#include "platform/mg/tests/SimTestSupport.h"
#include "platform/win/ImageFiles.h"
#include "platform/win/Surface.h"

using namespace mg;
using namespace mg::sim;
using namespace mg::simtest;

namespace {

bool SaveImage(const RgbImage& img, const std::string& path) {
  win::Surface s(img.width, img.height);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) s.SetPixel(x, y, 0xFF000000u | img.At(x, y));
  return win::SavePng(s, path);
}

// The first frame a device delivers, read back from its own format.
RgbImage FirstFrame(const std::shared_ptr<SimVideoSource>& device) {
  DeviceRun run(device, device->Output());
  EXPECT_EQ(run.connected, S_OK);
  run.graph->Run();
  run.scheduler->Pump(1);
  const auto samples = run.sink->Samples();
  RgbImage img;
  if (samples.empty()) return img;
  const AM_MEDIA_TYPE mt = device->CurrentFormat();
  const BITMAPINFOHEADER* bih = mt.BitmapHeader();
  ReadPicture(samples[0].bytes.data(), static_cast<uint32_t>(samples[0].bytes.size()), mt.subtype, bih->biWidth,
              std::abs(bih->biHeight), &img);
  return img;
}

}  // namespace

// One frame of each simulated video device as PNG, for a look.
TEST(SimSnapshot, SavesOneFrameOfEachVideoDevice) {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "sim_snapshots";
  std::filesystem::create_directories(dir);

  CameraOptions o;
  o.width = 640;
  o.height = 480;
  auto camera = std::make_shared<SimCamera>(std::make_shared<DevicePresence>(), o);
  MotionScript script;
  script.MoveBox(200, 160, 280, 200, 2);
  camera->SetMotionScript(script);
  ASSERT_EQ(camera->Set(VideoProcAmp_Brightness, 10, VideoProcAmp_Flags_Manual), S_OK);

  auto tv = SimTvCapture::Create(std::make_shared<DevicePresence>(), TvOptions{});
  ASSERT_EQ(tv->Tuner()->put_Channel(4, -1, -1), S_OK);
  auto snow = SimTvCapture::Create(std::make_shared<DevicePresence>(), TvOptions{});
  ASSERT_EQ(snow->Tuner()->put_Channel(6, -1, -1), S_OK);

  struct Shot {
    const char* name;
    std::shared_ptr<SimVideoSource> device;
  };
  for (const Shot& s : {Shot{"camera", camera}, Shot{"tv_channel_4", tv}, Shot{"tv_no_signal", snow}}) {
    const RgbImage img = FirstFrame(s.device);
    ASSERT_GT(img.width, 0) << s.name;
    const std::string path = (dir / (std::string(s.name) + ".png")).string();
    ASSERT_TRUE(SaveImage(img, path)) << path;
  }

  // The camcorder's tape frame, decoded by ffmpeg from its DIF bytes.
  const std::string dif = (dir / "dv.dv").string();
  WriteFile(dif, MakeDvFrame(true, 1234, ""));
  const std::string raw = RunCommand("ffmpeg -v error -f dv -i '" + dif + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
  ASSERT_EQ(raw.size(), 720u * 576u * 3u);
  RgbImage dv(720, 576);
  for (size_t i = 0; i < dv.pixels.size(); ++i)
    dv.pixels[i] = Rgb(static_cast<uint8_t>(raw[i * 3]), static_cast<uint8_t>(raw[i * 3 + 1]),
                       static_cast<uint8_t>(raw[i * 3 + 2]));
  ASSERT_TRUE(SaveImage(dv, (dir / "dv_tape_1234.png").string()));
  std::printf("snapshots in %s\n", dir.c_str());

  for (const char* name : {"camera.png", "tv_channel_4.png", "tv_no_signal.png", "dv_tape_1234.png"})
    EXPECT_GT(std::filesystem::file_size(dir / name), 1000u) << name;
}
