// The property-page dialog built from descriptors, answered by a scripted
// presenter, and the engine's dialog kinds on the simulated devices and
// the installed compressors.
#include <algorithm>
#include <functional>

#include "capture/VcDialogs.h"
#include "capture/VcRegistry.h"
#include "capture/tests/VcDevicesTestUtil.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/MsgDialogs.h"
#include "platform/mg/CaptureGraphBuilder.h"
#include "platform/mg/Guids.h"
#include "platform/mg/ffmpeg/FfRegister.h"

using namespace capture;

namespace {

// Answers every dialog by a script; records what was shown.
class ScriptPresenter : public forms::TDialogPresenter {
public:
  int ShowDialog(forms::TCustomForm* dialog) override {
    auto* frame = dynamic_cast<TPropertyFrameForm*>(dialog);
    EXPECT_NE(frame, nullptr);
    if (!frame) return forms::mrCancel;
    std::vector<std::string> titles;
    for (const mg::PropertyPage& p : frame->Pages()) titles.push_back(p.title);
    shown.push_back(titles);
    EXPECT_EQ(frame->PageControl->PageCount(), static_cast<int>(titles.size()));
    return script ? script(*frame) : forms::mrCancel;
  }
  std::function<int(TPropertyFrameForm&)> script;
  std::vector<std::vector<std::string>> shown;
};

class Boxes : public forms::TMessageBoxPresenter {
public:
  int MessageBox(win::HWND, const forms::String& text, const forms::String&, win::UINT) override {
    texts.push_back(text);
    return forms::IDOK;
  }
  std::vector<std::string> texts;
};

// An object with one setting of every kind.
class Paged : public mg::Object, public mg::ISpecifyPropertyPages {
public:
  int level = 5, mode = 1, writes = 0;
  bool on = false;
  std::string label = "abc";
  mg::HRESULT GetPages(std::vector<mg::PropertyPage>* pages) override {
    using K = mg::PropertyDescriptor::Kind;
    mg::PropertyPage p;
    p.title = "Settings";
    mg::PropertyDescriptor d;
    d.name = "Level";
    d.kind = K::Int;
    d.min = 0;
    d.max = 10;
    d.get = [this] { return level; };
    d.set = [this](int v) { level = v, ++writes; };
    p.properties.push_back(d);
    d = {};
    d.name = "On";
    d.kind = K::Bool;
    d.get = [this] { return on ? 1 : 0; };
    d.set = [this](int v) { on = v != 0, ++writes; };
    p.properties.push_back(d);
    d = {};
    d.name = "Mode";
    d.kind = K::Choice;
    d.choices = {"slow", "fast", "auto"};
    d.get = [this] { return mode; };
    d.set = [this](int v) { mode = v, ++writes; };
    p.properties.push_back(d);
    mg::PropertyPage q;
    q.title = "Label";
    d = {};
    d.name = "Text";
    d.kind = K::Text;
    d.getText = [this] { return label; };
    d.setText = [this](const std::string& t) { label = t, ++writes; };
    q.properties.push_back(d);
    pages->push_back(p);
    pages->push_back(q);
    return mg::S_OK;
  }
};

class DialogFixture : public vcdevtest::DevicesFixture {
protected:
  void SetUp() override {
    DevicesFixture::SetUp();
    forms::SetDialogPresenter(&presenter);
    forms::SetMessageBoxPresenter(&boxes);
  }
  void TearDown() override {
    forms::SetDialogPresenter(nullptr);
    forms::SetMessageBoxPresenter(nullptr);
    DevicesFixture::TearDown();
  }
  TVidCap* Control() {
    TVidCap* vc = MakeControl();
    vc->OnVideoDeviceSelected = [this](forms::TObject*) { ++videoSelected; };
    return vc;
  }
  int32_t IndexOf(const TDevices& list, const std::string& name) {
    for (int32_t i = 0; i < list.Count(); ++i)
      if (list.GetName(i) == name) return i;
    return -1;
  }
  ScriptPresenter presenter;
  Boxes boxes;
  int videoSelected = 0;
};

template <class C>
C* EditorAs(TPropertyFrameForm& f, const std::string& name) {
  return dynamic_cast<C*>(f.EditorOf(name));
}

}  // namespace

TEST_F(DialogFixture, PropertyFrameEditsEveryKindAndWritesOnlyChanges) {
  auto object = std::make_shared<Paged>();
  presenter.script = [](TPropertyFrameForm& f) {
    EXPECT_EQ(EditorAs<forms::TTrackBar>(f, "Level")->Position(), 5);
    EXPECT_FALSE(EditorAs<forms::TCheckBox>(f, "On")->Checked());
    EXPECT_EQ(EditorAs<forms::TComboBox>(f, "Mode")->ItemIndex(), 1);
    EXPECT_EQ(EditorAs<forms::TEdit>(f, "Text")->Text(), "abc");
    EditorAs<forms::TTrackBar>(f, "Level")->SetPosition(8);
    EditorAs<forms::TEdit>(f, "Text")->SetText("xyz");
    return forms::mrOk;
  };
  ASSERT_TRUE(ShowPropertyFrame(nullptr, 30, 30, "", {object}));
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0], (std::vector<std::string>{"Settings", "Label"}));
  EXPECT_EQ(object->level, 8);
  EXPECT_EQ(object->label, "xyz");
  EXPECT_EQ(object->mode, 1);
  EXPECT_EQ(object->writes, 2);  // the untouched settings are not written

  // Cancel keeps what Apply wrote and drops the rest.
  presenter.script = [](TPropertyFrameForm& f) {
    EditorAs<forms::TCheckBox>(f, "On")->SetChecked(true);
    f.ApplyButton->OnClick(f.ApplyButton);
    EditorAs<forms::TComboBox>(f, "Mode")->SetItemIndex(2);
    return forms::mrCancel;
  };
  ASSERT_TRUE(ShowPropertyFrame(nullptr, 0, 0, "Caption", {object}));
  EXPECT_TRUE(object->on);
  EXPECT_EQ(object->mode, 1);
  EXPECT_EQ(object->writes, 3);

  // Nothing to show: no dialog.
  EXPECT_FALSE(ShowPropertyFrame(nullptr, 0, 0, "", {std::make_shared<mg::Object>()}));
  EXPECT_EQ(presenter.shown.size(), 2u);
}

TEST_F(DialogFixture, MediaGraphPropertyFrameUsesTheDialog) {
  InstallPropertyFrameDialog();
  auto object = std::make_shared<Paged>();
  presenter.script = [](TPropertyFrameForm& f) {
    EXPECT_EQ(f.Caption(), "Own caption");
    EditorAs<forms::TComboBox>(f, "Mode")->SetItemIndex(0);
    return forms::mrOk;
  };
  EXPECT_EQ(mg::OleCreatePropertyFrame(nullptr, "Own caption", {object}), mg::S_OK);
  EXPECT_EQ(object->mode, 0);
  mg::SetPropertyFramePresenter(nullptr);
}

TEST_F(DialogFixture, DevicePagesOfTheCameraTunerAndSoundCard) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  sim->PlugIn(mg::sim::TvOptions{}, "TV Card");
  sim->PlugIn(mg::sim::AudioOptions{}, "Card");
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();

  ASSERT_TRUE(e.ShowDialog(0));
  ASSERT_EQ(presenter.shown.size(), 1u);
  const std::vector<std::string>& tabs = presenter.shown[0];
  EXPECT_NE(std::find(tabs.begin(), tabs.end(), "Camera Control"), tabs.end());
  EXPECT_EQ(videoSelected, 1);  // the format was read back

  // Kinds 4 to 6 belong to the old driver model: a camera has none, but
  // the checks passed.
  for (int kind : {4, 5, 6}) EXPECT_TRUE(e.ShowDialog(kind)) << kind;
  EXPECT_EQ(presenter.shown.size(), 1u);

  e.VideoDevice = 1;
  ASSERT_TRUE(e.ShowDialog(9));  // the tuner, found upstream of the TV card
  EXPECT_EQ(presenter.shown.size(), 2u);
  ASSERT_TRUE(e.ShowDialog(11));  // the sound card
  EXPECT_EQ(presenter.shown.size(), 3u);

  // Without a live graph there is no crossbar or TV audio to show.
  for (int kind : {7, 8, 10}) EXPECT_FALSE(e.ShowDialog(kind)) << kind;
  for (int kind : {12, -1, 1000}) EXPECT_FALSE(e.ShowDialog(kind)) << kind;
  EXPECT_EQ(presenter.shown.size(), 3u);
  EXPECT_EQ(BusyCursorCount(), 0);
}

TEST_F(DialogFixture, RefusalsWithoutDevicesAndForDV) {
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();
  EXPECT_FALSE(e.ShowDialog(0));
  EXPECT_TRUE(Logged("no video capture device"));
  EXPECT_FALSE(e.ShowDialog(2));
  EXPECT_EQ(boxes.texts, (std::vector<std::string>{"no Audio capture device"}));
  EXPECT_TRUE(Logged("no Audio capture device"));
  EXPECT_FALSE(e.ShowDialog(1));
  EXPECT_EQ(boxes.texts.back(), "no video capture device");

  FreeDeviceLists();
  sim->PlugIn(mg::sim::DvOptions{}, "Microsoft DV Camera and VCR");
  CreateDeviceLists();
  EXPECT_FALSE(e.ShowDialog(3));
  EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(DialogFixture, PreviewComesBackAfterTheKindsThatStopIt) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  sim->PlugIn(mg::sim::AudioOptions{}, "Card");
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();
  SetTraceOn();
  struct Case {
    int kind;
    bool restarts;           // the dialog's own restart of the preview
    const char* ownRefresh;  // a refresh the kind asks for itself
  };
  for (const Case c : {Case{12, true, nullptr}, Case{3, true, nullptr}, Case{1, true, "dvcd"},
                       Case{11, true, "dadd"}, Case{7, false, nullptr}, Case{10, false, nullptr}}) {
    ResetTraceForTests();
    SetTraceOn();
    e.State = es_Preview;
    e.ShowDialog(c.kind);
    const String trace = TraceLog() ? TraceLog()->Lines().Text() : String();
    EXPECT_EQ(trace.find("REFRESHING PREVIEW FROM dd") != String::npos, c.restarts) << c.kind;
    if (c.ownRefresh) {
      EXPECT_NE(trace.find(String("REFRESHING PREVIEW FROM ") + c.ownRefresh), String::npos) << c.kind;
    }
    e.State = es_Idle;
  }
}

TEST_F(DialogFixture, CompressorDialogLoadsAndSavesItsState) {
  mg::ff::RegisterFfmpegFilters();
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();
  const TDevices& compressors = *VideoCompressors();
  e.Sel.VideoCompressor = IndexOf(compressors, "Motion JPEG Compressor");
  ASSERT_GE(e.Sel.VideoCompressor, 0);

  presenter.script = [](TPropertyFrameForm& f) {
    auto* quality = EditorAs<forms::TTrackBar>(f, "Quality");
    EXPECT_NE(quality, nullptr);
    if (quality) quality->SetPosition(40);
    return forms::mrOk;
  };
  ASSERT_TRUE(e.ShowDialog(1));
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0], (std::vector<std::string>{"Motion JPEG Compressor"}));
  const String key = compressors.GetRegistryKey(e.Sel.VideoCompressor);
  rtl::TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(key, false));
  EXPECT_GT(reg.ReadInteger("WDMStateSize"), 0);

  // The next dialog starts from the saved state.
  int shownQuality = -1;
  presenter.script = [&](TPropertyFrameForm& f) {
    if (auto* bar = EditorAs<forms::TTrackBar>(f, "Quality")) shownQuality = bar->Position();
    return forms::mrCancel;
  };
  ASSERT_TRUE(e.ShowDialog(1));
  EXPECT_EQ(shownQuality, 40);
  EXPECT_EQ(BusyCursorCount(), 0);
}

TEST_F(DialogFixture, AudioCompressorDialog) {
  mg::ff::RegisterFfmpegFilters();
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  sim->PlugIn(mg::sim::AudioOptions{}, "Card");
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();
  e.Sel.AudioCompressor = IndexOf(*AudioCompressors(), "MPEG Layer-2");
  ASSERT_GE(e.Sel.AudioCompressor, 0);
  presenter.script = [](TPropertyFrameForm&) { return forms::mrOk; };
  EXPECT_TRUE(e.ShowDialog(2));
  EXPECT_EQ(presenter.shown.size(), 1u);
  EXPECT_TRUE(boxes.texts.empty());

  // 8-bit output cannot take the card's 16-bit samples.
  e.Sel.AudioCompressor = IndexOf(*AudioCompressors(), "PCM unsigned 8-bit");
  ASSERT_GE(e.Sel.AudioCompressor, 0);
  EXPECT_FALSE(e.ShowDialog(2));
  EXPECT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(boxes.texts, (std::vector<std::string>{"audio compressor not suitable"}));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().msg, "audio compressor not suitable");
  EXPECT_EQ(log.back().type, e_audio_compressor_not_suitable);
  EXPECT_EQ(BusyCursorCount(), 0);
}

TEST_F(DialogFixture, CrossbarAndTunerPagesOfTheLiveGraph) {
  sim->PlugIn(mg::sim::TvOptions{}, "TV Card");
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();
  // A live graph as a preview has it: the card and what sits upstream.
  auto graph = std::make_shared<mg::FilterGraph>();
  auto builder = std::make_shared<mg::CaptureGraphBuilder>();
  builder->SetFiltergraph(graph);
  TCapDeviceInfo* ref = nullptr;
  std::shared_ptr<mg::BaseFilter> capture;
  int32_t index = 0;
  ASSERT_TRUE(e.BindDevice(graph, VideoCaptureDevices(), "", false, ref, false, capture, "", index));
  std::shared_ptr<mg::IAMTVTuner> tuner;
  builder->FindInterface(&mg::LOOK_UPSTREAM_ONLY, nullptr, capture, &tuner);
  ASSERT_NE(tuner, nullptr);
  e.FilterGraph = graph;
  e.BoundVideoDevice = 0;

  std::vector<std::string> settings;
  presenter.script = [&](TPropertyFrameForm& f) {
    settings.push_back(f.Pages().at(0).properties.empty() ? "" : f.Pages()[0].properties[0].name);
    return forms::mrCancel;
  };
  EXPECT_TRUE(e.ShowDialog(7));
  EXPECT_TRUE(e.ShowDialog(8));
  ASSERT_EQ(settings.size(), 2u);
  EXPECT_NE(settings[0].find("Video"), std::string::npos) << settings[0];
  EXPECT_NE(settings[1].find("Audio"), std::string::npos) << settings[1];
  EXPECT_TRUE(e.ShowDialog(9));  // the live graph's tuner, no graph of its own
  EXPECT_EQ(presenter.shown.size(), 3u);
  EXPECT_EQ(presenter.shown.back(), (std::vector<std::string>{"TV Tuner"}));

  // Kind 0 on a running graph shows the live capture filter's pages and
  // leaves the graph alone.
  e.GraphActive = true;
  EXPECT_TRUE(e.ShowDialog(0));
  ASSERT_EQ(presenter.shown.size(), 4u);
  EXPECT_EQ(presenter.shown.back().front(), "Video Proc Amp");
  EXPECT_EQ(e.FilterGraph, graph);
  EXPECT_EQ(videoSelected, 0);  // nothing read back
  e.GraphActive = false;
}
