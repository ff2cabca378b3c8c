// The camera-control and video-quality dialogs: over a scripted set of
// device properties for the slider rules, and over the simulated camera
// for what reaches the picture.
#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

#include "app/FormCameraControl.h"
#include "app/FormVideoQuality.h"
#include "app/ResStr.h"
#include "capture/VcEngine.h"
#include "capture/tests/VidCapTestUtil.h"
#include "platform/forms/Forms.h"
#include "platform/mg/SystemFilters.h"
#include "platform/rtl/Exceptions.h"
#include "platform/win/Input.h"

using namespace app;
using namespace forms;

namespace {

// A device whose properties the test writes; it records every set request
// and refuses those the device would (unavailable, outside the range).
struct FakeDevice {
  struct Prop {
    bool available = false;
    int32_t min = 0, max = 0, step = 1, def = 0, value = 0;
  };
  std::map<int32_t, Prop> props;
  std::vector<std::pair<int32_t, int32_t>> sets;
  bool autoMode = false;
  std::vector<bool> autoSets;

  TDeviceControlAccess Access() {
    TDeviceControlAccess a;
    a.IsAvailable = [this](int32_t i) { return props[i].available; };
    a.Min = [this](int32_t i) { return props[i].min; };
    a.Max = [this](int32_t i) { return props[i].max; };
    a.Step = [this](int32_t i) { return props[i].step; };
    a.Default = [this](int32_t i) { return props[i].def; };
    a.Value = [this](int32_t i) { return props[i].value; };
    a.SetValue = [this](int32_t i, int32_t v) {
      sets.emplace_back(i, v);
      Prop& p = props[i];
      if (!p.available || v < p.min || v > p.max) return false;
      p.value = v;
      return true;
    };
    a.GetAuto = [this] { return autoMode; };
    a.SetAuto = [this](bool on) {
      autoSets.push_back(on);
      autoMode = on;
    };
    return a;
  }
};

class DeviceControlsDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    win::ResetInputState();
    host = new TForm(Application);
    host->SetBounds(100, 80, 640, 480);
  }
  void TearDown() override {
    Application->OnIdle = nullptr;
    delete host;
    win::ResetInputState();
    Application->ProcessMessages();
  }
  rtl::ScopedVirtualClock clock;
  TForm* host = nullptr;
  FakeDevice device;
};

// One property at a time on the brightness slider (index 0), the others
// unavailable.
TEST_F(DeviceControlsDialogTest, SlidersShowTheDeviceRangeUpsideDown) {
  struct Case {
    const char* name;
    FakeDevice::Prop prop;
    bool enabled;
    int32_t min, max, value, increment;
    const char* label;
  };
  const Case cases[] = {
      {"unavailable", {false, -10, 10, 1, 0, 4}, false, 0, 1, 1, 1, "100%"},
      {"centred range", {true, -10, 10, 1, 0, 4}, true, -10, 10, -4, 1, "-20%"},
      {"at the maximum", {true, -10, 10, 2, 0, 10}, true, -10, 10, -10, 2, "-50%"},
      // A range above the slider's designed 0..10 still takes its minimum.
      {"range above the design", {true, 100, 400, 1, 100, 100}, true, 100, 400, 400, 1, "133%"},
      {"range below zero", {true, -13, -1, 1, -6, -2}, true, -13, -1, -12, 1, "-100%"},
      // A step the slider cannot take leaves the finest step, not an
      // unopened dialog.
      {"no step", {true, 0, 250, 0, 0, 50}, true, 0, 250, 200, 1, "80%"},
      {"step wider than the range", {true, 0, 10, 50, 5, 3}, true, 0, 10, 7, 1, "70%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device.props.clear();
    device.props[0] = c.prop;
    auto* dialog = new TfrmVideoQuality(host, device.Access());
    controls::TVxSlider* s = dialog->trkBrightness;
    EXPECT_EQ(s->Enabled(), c.enabled);
    EXPECT_EQ(s->MinValue(), c.min);
    EXPECT_EQ(s->MaxValue(), c.max);
    EXPECT_EQ(s->Value(), c.value);
    EXPECT_EQ(s->Increment(), c.increment);
    EXPECT_EQ(s->Tag(), -1) << "inverted, index 0";
    EXPECT_EQ(dialog->lblBrightnessPercent->Caption(), c.label);
    EXPECT_EQ(s->Hint(), c.label);
    EXPECT_TRUE(s->ShowHint());
    EXPECT_EQ(device.props[0].value, c.prop.value) << "opening leaves the device's value as it was";
    delete dialog;
  }
}

TEST_F(DeviceControlsDialogTest, MovingASliderSendsTheDeviceValueAtOnce) {
  device.props[0] = {true, -10, 10, 1, 0, 4};
  device.props[9] = {true, 0, 100, 1, 0, 30};
  auto* dialog = new TfrmVideoQuality(host, device.Access());
  // Opening passes each value once more; the unavailable ones are refused.
  EXPECT_EQ(device.props[0].value, 4);
  EXPECT_EQ(device.props[9].value, 30);
  device.sets.clear();
  dialog->trkBrightness->SetValue(10);
  EXPECT_EQ(device.sets, (std::vector<std::pair<int32_t, int32_t>>{{0, -10}}));
  EXPECT_EQ(dialog->lblBrightnessPercent->Caption(), "50%");
  dialog->trkGain->SetValue(100);
  EXPECT_EQ(device.sets.back(), std::make_pair(9, 0));
  EXPECT_EQ(device.props[9].value, 0);
  delete dialog;
}

// Each slider drives the property its caption names.
TEST_F(DeviceControlsDialogTest, EachSliderDrivesItsOwnProperty) {
  struct Case {
    const char* name;
    bool camera;
    std::vector<int32_t> indexes;
  };
  const Case cases[] = {
      {"camera", true, {0, 1, 2, 3, 4, 5, 6}},
      {"quality", false, {0, 1, 2, 3, 4, 5, 7, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device.props.clear();
    for (int32_t i = 0; i < 10; ++i) device.props[i] = {true, 0, 20, 1, 10, 10};
    TDeviceControlsDialog* dialog = c.camera ? static_cast<TDeviceControlsDialog*>(new TfrmCameraControl(host, device.Access()))
                                             : new TfrmVideoQuality(host, device.Access());
    ASSERT_EQ(dialog->Rows().size(), c.indexes.size());
    for (size_t i = 0; i < c.indexes.size(); ++i) {
      device.sets.clear();
      dialog->Rows()[i].slider->SetValue(0);
      EXPECT_EQ(device.sets, (std::vector<std::pair<int32_t, int32_t>>{{c.indexes[i], 20}})) << "row " << i;
    }
    delete dialog;
  }
  device.props.clear();
  for (int32_t i = 0; i < 10; ++i) device.props[i] = {true, 0, 20, 1, 10, 10};
  auto* quality = new TfrmVideoQuality(host, device.Access());
  EXPECT_EQ(quality->lblWhiteBal->Caption(), IDS_VIDEOQUALITY_LABEL_WHITEBAR);
  EXPECT_EQ(quality->lblGain->Caption(), IDS_VIDEOQUALITY_LABEL_GAIN);
  EXPECT_EQ(quality->Caption(), IDS_VIDEOQUALITY_TITLE);
  delete quality;
}

TEST_F(DeviceControlsDialogTest, AutoDisablesTheSlidersAndDefault) {
  device.props[3] = {true, 100, 400, 1, 100, 250};
  device.autoMode = true;
  auto* dialog = new TfrmCameraControl(host, device.Access());
  EXPECT_TRUE(dialog->chkAuto->Checked());
  EXPECT_FALSE(dialog->btnDefault->Enabled());
  for (const auto& row : dialog->Rows()) EXPECT_FALSE(row.slider->Enabled()) << row.slider->Name();
  EXPECT_EQ(dialog->trkZoom->Value(), 250);

  device.sets.clear();
  dialog->chkAuto->SetChecked(false);
  EXPECT_FALSE(device.autoMode);
  EXPECT_TRUE(dialog->btnDefault->Enabled());
  EXPECT_TRUE(dialog->trkZoom->Enabled());
  EXPECT_FALSE(dialog->trkPan->Enabled()) << "pan is not there";
  EXPECT_TRUE(device.sets.empty()) << "reloading sends nothing";
  dialog->chkAuto->SetChecked(true);
  EXPECT_TRUE(device.autoMode);
  EXPECT_FALSE(dialog->trkZoom->Enabled());
  EXPECT_EQ(device.autoSets, (std::vector<bool>{true, false, true})) << "opening ticks as the device stands";
  delete dialog;
}

TEST_F(DeviceControlsDialogTest, DefaultPutsTheDeviceDefaultsOnDeviceAndSliders) {
  device.props[0] = {true, -180, 180, 1, 0, 90};
  device.props[3] = {true, 100, 400, 1, 100, 300};
  device.props[6] = {true, 0, 250, 5, 0, 125};
  auto* dialog = new TfrmCameraControl(host, device.Access());
  dialog->btnDefaultClick(dialog->btnDefault);
  EXPECT_EQ(device.props[0].value, 0);
  EXPECT_EQ(device.props[3].value, 100);
  EXPECT_EQ(device.props[6].value, 0);
  EXPECT_EQ(dialog->trkPan->Value(), 0);
  EXPECT_EQ(dialog->trkZoom->Value(), 400);
  EXPECT_EQ(dialog->trkFocus->Value(), 250);
  EXPECT_EQ(dialog->lblZoomPercent->Caption(), "133%");
  EXPECT_TRUE(dialog->Ready());
  delete dialog;
}

// Enter presses Default, Esc closes.
TEST_F(DeviceControlsDialogTest, EnterRestoresDefaultsAndEscapeCloses) {
  device.props[1] = {true, -10, 10, 1, 0, 7};
  host->Show();
  auto* dialog = new TfrmVideoQuality(host, device.Access());
  int step = 0;
  TPoint placed;
  Application->OnIdle = [&](TObject*, bool& done) {
    done = false;
    if (!dialog->Visible()) return;
    switch (step++) {
      case 0:
        placed = Point(dialog->Left(), dialog->Top());
        win::InjectKeyPress(win::VK_RETURN);
        break;
      case 1: win::InjectKeyPress(win::VK_ESCAPE); break;
      default: break;
    }
  };
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(device.props[1].value, 0);
  EXPECT_EQ(dialog->trkContrast->Value(), 0);
  EXPECT_EQ(placed.x, 100 + (640 - dialog->Width()) / 2) << "centred on its owner";
  EXPECT_EQ(placed.y, 80 + (480 - dialog->Height()) / 2);
}

// Over the simulated camera: the picture follows the sliders.
class DeviceControlsOnCameraTest : public captest::VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    capture::SetGraphSchedulerFactory([this] {
      scheduler = std::make_shared<mg::ManualScheduler>();
      return scheduler;
    });
  }
  capture::TVidCap* CameraControl() {
    PlugCameras(1);
    capture::TVidCap* vc = MakeControl();
    vc->SetFrameGrabber(capture::fg_Disabled);
    vc->SetVideoDevice(capture::VideoCaptureDevices()->Count() - 1);
    vc->SetVideoSubtype(2);  // RGB24 at the renderer
    return vc;
  }
  double NextFrameLuma(const capture::TVcEngine& e) {
    scheduler->Pump(1);
    auto renderer = std::dynamic_pointer_cast<mg::VideoRenderer>(e.Attachments[capture::da_Main].Renderer);
    const std::vector<uint8_t> frame = renderer->LastFrame();
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i + 2 < frame.size(); i += 3, ++n) sum += 0.114 * frame[i] + 0.587 * frame[i + 1] + 0.299 * frame[i + 2];
    return n ? sum / static_cast<double>(n) : -1;
  }
  std::shared_ptr<mg::ManualScheduler> scheduler;
};

TEST_F(DeviceControlsOnCameraTest, BrightnessSliderAndDefaultChangeThePicture) {
  capture::TVidCap* vc = CameraControl();
  ASSERT_TRUE(vc->StartPreview());
  const double base = NextFrameLuma(*vc->Engine());
  auto* dialog = new TfrmVideoQuality(form, vc);
  EXPECT_EQ(dialog->trkBrightness->MinValue(), -64);
  EXPECT_EQ(dialog->trkBrightness->MaxValue(), 64);
  EXPECT_EQ(dialog->chkAuto->Checked(), vc->GetVideoQualityAuto());
  dialog->chkAuto->SetChecked(false);
  EXPECT_FALSE(vc->GetVideoQualityAuto());
  EXPECT_TRUE(dialog->trkBrightness->Enabled());
  // The slider's bottom is the device's top.
  dialog->trkBrightness->SetValue(-64);
  EXPECT_EQ(vc->GetVideoQualityValue(0), 64);
  EXPECT_GT(NextFrameLuma(*vc->Engine()), base + 20);
  dialog->btnDefaultClick(dialog->btnDefault);
  EXPECT_EQ(vc->GetVideoQualityValue(0), 0);
  EXPECT_EQ(dialog->trkBrightness->Value(), 0);
  EXPECT_NEAR(NextFrameLuma(*vc->Engine()), base, 1.0);

  auto* camera = new TfrmCameraControl(form, vc);
  EXPECT_EQ(camera->trkZoom->MinValue(), 100);
  EXPECT_EQ(camera->trkZoom->MaxValue(), 400);
  EXPECT_EQ(camera->trkZoom->Value(), 400) << "zoom at its device minimum";
  camera->trkZoom->SetValue(100);
  EXPECT_EQ(vc->GetCameraControlValue(3), 400);
  EXPECT_TRUE(vc->Stop());
}

// A control without a device has no camera controls at all.
TEST_F(DeviceControlsOnCameraTest, WithoutControlsEverySliderRestsDisabledAtOne) {
  capture::TVidCap* vc = MakeControl();
  auto* dialog = new TfrmCameraControl(form, vc);
  for (const auto& row : dialog->Rows()) {
    SCOPED_TRACE(row.slider->Name());
    EXPECT_FALSE(row.slider->Enabled());
    EXPECT_EQ(row.slider->MinValue(), 0);
    EXPECT_EQ(row.slider->MaxValue(), 1);
    EXPECT_EQ(row.slider->Value(), 1);
    EXPECT_EQ(row.percent->Caption(), "100%");
  }
}

}  // namespace
