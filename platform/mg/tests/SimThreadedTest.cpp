// Simulated devices on real streaming threads, paced by a clock the test
// moves; these run under the thread sanitizer too.
#include <gtest/gtest.h>

#include <condition_variable>

#include "platform/mg/tests/SimTestSupport.h"

using namespace mg;
using namespace mg::sim;
using namespace mg::simtest;

namespace {

class CountingSink : public KeepSink {
public:
  HRESULT OnReceive(Pin& pin, MediaSample& s) override {
    KeepSink::OnReceive(pin, s);
    std::lock_guard lock(m_);
    ++count_;
    cv_.notify_all();
    return S_OK;
  }
  void WaitFor(int n) {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return count_ >= n; });
  }

private:
  std::mutex m_;
  std::condition_variable cv_;
  int count_ = 0;
};

}  // namespace

TEST(SimThreaded, DevicesStreamWhileTheirControlsChange) {
  auto clock = std::make_shared<ManualClock>();
  auto graph = FilterGraph::Create();
  graph->SetScheduler(std::make_shared<ThreadedScheduler>());
  CameraOptions o;
  o.subtype = MEDIASUBTYPE_RGB32;
  o.width = 160;
  o.height = 120;
  auto cam = std::make_shared<SimCamera>(std::make_shared<DevicePresence>(), o);
  auto card = std::make_shared<SimAudioCard>(std::make_shared<DevicePresence>(), AudioOptions{});
  auto videoSink = std::make_shared<CountingSink>();
  auto audioSink = std::make_shared<CountingSink>();
  graph->AddFilter(cam, "camera");
  graph->AddFilter(card, "sound");
  graph->AddFilter(videoSink, "video");
  graph->AddFilter(audioSink, "audio");
  ASSERT_EQ(graph->ConnectDirect(cam->Output(), videoSink->Input(), nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(card->Output(), audioSink->Input(), nullptr), S_OK);
  ASSERT_EQ(graph->SetSyncSource(clock), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  for (int k = 1; k <= 10; ++k) {
    // Controls change from this thread while the streaming threads render.
    cam->Set(VideoProcAmp_Brightness, k, VideoProcAmp_Flags_Manual);
    MotionScript script;
    script.MoveBox(0, 0, k * 4, 0, 3);
    cam->SetMotionScript(script);
    card->InputPins()[static_cast<size_t>(k % 5)]->put_Enable(1);
    clock->Advance(SimAudioCard::kBufferPeriod);
    audioSink->WaitFor(k + 1);
    videoSink->WaitFor(3 * k);
  }
  ASSERT_EQ(graph->Stop(), S_OK);
  EXPECT_GE(videoSink->Samples().size(), 30u);
  for (auto& s : videoSink->Samples()) EXPECT_EQ(s.bytes.size(), 160u * 120u * 4u);
}
