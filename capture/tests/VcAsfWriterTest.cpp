// The ASF writer's profile XML and configuration: the tokenizer and
// generator, the removal of a stream and the rewriting of values, and
// recordings whose files and network stream follow the chosen profile.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>

#include "capture/VcAsfXml.h"
#include "capture/VcDeviceManager.h"
#include "capture/VcEngine.h"
#include "capture/tests/VcManualGraphFixture.h"
#include "platform/mg/Graph.h"
#include "platform/mg/Interfaces.h"
#include "platform/mg/WmProfiles.h"
#include "platform/mg/WmSinks.h"

namespace {

using namespace capture;
using captest::Shell;

std::string Joined(const rtl::TStringList& list) {
  std::string s;
  for (int32_t i = 0; i < list.Count(); ++i) s += (i ? "|" : "") + list[i];
  return s;
}

// ---- the XML routines -----------------------------------------------------------------

TEST(VcAsfXml, ParseTurnsTagsAndAttributesIntoTokens) {
  struct Case {
    const char* text;
    const char* tokens;
  };
  const Case cases[] = {
      {R"(<a x="1"></a>)", "<a|x=1|>a"},
      {R"(<a x="1"/>)", "<a|x=1|>a"},
      {R"(<a><b y="two words"/></a>)", "<a|<b|y=two words|>b|>a"},
      {R"(<Profile Name="v" bitrate = "5" />)", "<Profile|Name=v|bitrate=5|>Profile"},
      {"<a/>", "<a|>a"},
      {"<a>\n   <b>\n   </b>\n</a>", "<a|<b|>b|>a"},
      // An end with nothing open ends nothing.
      {"</a>", ""},
      // Blind spots: declarations read as an element, unquoted values are
      // never finished.
      {R"(<?xml version="1.0"?><a/>)", "<xml|version=1.0|<a|>a"},
      {"<a x=1>", "<a|x"},
  };
  for (const Case& c : cases) {
    TXML xml;
    xml.Parse(c.text);
    EXPECT_EQ(Joined(xml.Tokens), c.tokens) << c.text;
  }
}

TEST(VcAsfXml, GenerateWritesOneAttributePerLineAndEveryEndTag) {
  struct Case {
    std::vector<const char*> tokens;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases{
      {{"<a", "x=1", ">a"}, {"<a ", "     x=\"1\">", "</a>"}},
      {{"<p", "n=v", "<s", "k=1", ">s", ">p"},
       {"<p ", "     n=\"v\">", "     <s ", "          k=\"1\">", "     </s>", "</p>"}},
      {{"<e", ">e"}, {"<e >", "</e>"}},
  };
  for (const Case& c : cases) {
    TXML xml;
    for (const char* t : c.tokens) xml.Tokens.Add(t);
    ASSERT_TRUE(xml.Generate());
    std::vector<std::string> lines;
    for (int32_t i = 0; i < xml.Lines.Count(); ++i) lines.push_back(xml.Lines[i]);
    EXPECT_EQ(lines, c.lines) << c.tokens.front();
  }
  TXML empty;
  EXPECT_FALSE(empty.Generate());
  // What it writes reads back to the same tokens.
  TXML again;
  TXML first;
  first.Parse(R"(<p n="v"><s k="1"/></p>)");
  first.Generate();
  again.Parse(first.GetText());
  EXPECT_EQ(Joined(again.Tokens), Joined(first.Tokens));
}

// The catalogue's first profile run through the edits, read back.
mg::wm::ProfileSettings Edited(const std::function<void(TASFXML&)>& edit, bool* selected = nullptr) {
  TASFXML xml;
  xml.Parse(mg::wm::ProfileToXml(mg::wm::SystemProfiles()[2]));
  edit(xml);
  mg::wm::ProfileSettings p;
  p.name.clear();
  const bool generated = xml.Generate();
  if (selected) *selected = generated;
  EXPECT_TRUE(mg::wm::ProfileFromXml(xml.GetText(), p)) << xml.GetText();
  return p;
}

TEST(VcAsfXml, SelectStreamsDropsTheStreamNotRecorded) {
  auto p = Edited([](TASFXML& x) { EXPECT_TRUE(x.SelectStreams(true, false)); });
  EXPECT_TRUE(p.hasVideo);
  EXPECT_FALSE(p.hasAudio);
  p = Edited([](TASFXML& x) { EXPECT_TRUE(x.SelectStreams(false, true)); });
  EXPECT_FALSE(p.hasVideo);
  EXPECT_TRUE(p.hasAudio);
  p = Edited([](TASFXML& x) { EXPECT_TRUE(x.SelectStreams(true, true)); });
  EXPECT_EQ(p, mg::wm::SystemProfiles()[2]);

  // Written by hand in other letter case, it is found and removed alike.
  TASFXML mixed;
  mixed.Parse(R"(<profile><StreamConfig streamname="Audio"><x a="1"/></StreamConfig></profile>)");
  EXPECT_TRUE(mixed.SelectStreams(true, false));
  EXPECT_EQ(Joined(mixed.Tokens), "<profile|>profile");
  TASFXML none;
  none.Parse(R"(<profile name="x"/>)");
  EXPECT_FALSE(none.SelectStreams(true, true));
  TASFXML nothing;
  EXPECT_FALSE(nothing.SelectStreams(true, true));
}

TEST(VcAsfXml, SetValueRewritesTheNamedAttributesOfOneStreamKind) {
  const auto p = Edited([](TASFXML& x) {
    x.SelectStreams(true, true);
    x.SetValue("BitRate", "96000", 2);
    x.SetValue("nChannels", "1", 2);
    x.SetValue("biwidth", "640", 1);
    x.SetValue("biheight", "480", 1);
    x.SetValue("Quality", "90", 1);
  });
  const auto& base = mg::wm::SystemProfiles()[2];
  EXPECT_EQ(p.audioBitRate, 96000);
  EXPECT_EQ(p.channels, 1);
  EXPECT_EQ(p.videoBitRate, base.videoBitRate) << "the video stream's bit rate is another kind's";
  EXPECT_EQ(p.width, 640);
  EXPECT_EQ(p.height, 480);
  EXPECT_EQ(p.quality, 90);
  // Names that begin with the given one are rewritten as well, in lower case.
  TASFXML x;
  x.Parse(R"(<profile><streamconfig streamname="video" BitRateMax="1" bitrate="2"/></profile>)");
  x.SelectStreams(true, true);
  x.SetValue("BitRate", "7", 1);
  EXPECT_EQ(Joined(x.Tokens), "<profile|<streamconfig|streamname=video|bitrate=7|bitrate=7|>streamconfig|>profile");
}

TEST(VcAsfXml, ProfileFilesAreReadAsTextWhateverTheirEncoding) {
  const auto dir = std::filesystem::temp_directory_path() / ("vcasfxml-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string text = "<profile name=\"\xC3\xA9t\xC3\xA9\"></profile>";
  {
    std::ofstream(dir / "utf8.prx", std::ios::binary) << "\xEF\xBB\xBF" << text;
    std::ofstream utf16(dir / "utf16.prx", std::ios::binary);
    utf16 << "\xFF\xFE";
    for (char16_t c : u"<profile name=\"\u00E9t\u00E9\"></profile>") {
      if (!c) break;
      utf16.put(static_cast<char>(c & 0xFF)).put(static_cast<char>(c >> 8));
    }
    // A text end mark inside the file ends the profile.
    std::ofstream(dir / "marked.prx", std::ios::binary) << text << std::string(1, '\0') << "junk";
  }
  for (const char* name : {"utf8.prx", "utf16.prx", "marked.prx"}) {
    String s;
    EXPECT_TRUE(LoadFileIntoStream((dir / name).string(), s)) << name;
    EXPECT_EQ(s, text) << name;
  }
  String s;
  EXPECT_FALSE(LoadFileIntoStream((dir / "missing.prx").string(), s));
  std::filesystem::remove_all(dir);
}

// ---- recordings through the writer ------------------------------------------------------

class VcAsfWriter : public captest::ManualGraphFixture {
protected:
  void TearDown() override {
    SetWMFormatRuntimePresent(true);
    ManualGraphFixture::TearDown();
  }
  TVidCap* Control(bool audio) {
    TVidCap* vc = MakeControl();
    vc->SetName("VidCap1");
    vc->SetFrameGrabber(fg_Disabled);
    vc->SetCompressionMode(cm_NoCompression);
    vc->SetRecordingMethod(rm_ASF);
    vc->SetAudioRecording(audio);
    vc->SetAudioDeviceRendering(false);
    vc->SetStoragePath(storage);
    vc->SetAutoFileName(fn_Sequential);
    vc->SetAutoFilePrefix("as");
    vc->SetVideoDevice(VideoCaptureDevices()->Count() - 1);
    return vc;
  }
  // The profile the writer of the running recording was given.
  static mg::wm::ProfileSettings WriterProfile(const TVcEngine& e) {
    mg::wm::ProfileSettings p;
    mg::WMProfile wm;
    auto config = mg::QueryInterface<mg::IConfigAsfWriter>(e.AsfWriter);
    EXPECT_TRUE(config && config->GetCurrentProfile(&wm) == mg::S_OK && mg::wm::ProfileFromXml(wm.text, p));
    return p;
  }
  std::string storage;
};

TEST_F(VcAsfWriter, TheChosenProfileWithTheUsersValuesConfiguresTheWriter) {
  PlugCameras(1);
  PlugIn(mg::sim::AudioOptions{});
  struct Case {
    const char* what;
    int32_t profile, width, height, videoRate, channels;
    bool audio;
    int expectWidth, expectHeight;
    mg::LONG expectRate;
    int expectChannels;
    bool expectAudio;
  };
  const Case cases[] = {
      {"as listed", 0, -1, -1, -1, -1, true, 160, 120, 100'000, 1, true},
      {"edited", 0, 320, 240, 400'000, 2, true, 320, 240, 400'000, 2, true},
      {"half a size is no size", 0, 320, -1, -1, -1, true, 160, 120, 100'000, 1, true},
      {"three channels are ignored", 2, -1, -1, -1, 3, true, 320, 240, 500'000, 2, true},
      {"one channel", 2, -1, -1, -1, 1, true, 320, 240, 500'000, 1, true},
      {"no sound recorded, no sound stream", 2, -1, -1, -1, -1, false, 320, 240, 500'000, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TVidCap* vc = Control(c.audio);
    vc->SetASFProfile(c.profile);
    vc->SetASFVideoWidth(c.width);
    vc->SetASFVideoHeight(c.height);
    vc->SetASFVideoBitRate(c.videoRate);
    vc->SetASFAudioChannels(c.channels);
    ASSERT_TRUE(vc->StartRecording());
    const auto p = WriterProfile(*vc->Engine());
    EXPECT_EQ(p.width, c.expectWidth);
    EXPECT_EQ(p.height, c.expectHeight);
    EXPECT_EQ(p.videoBitRate, c.expectRate);
    EXPECT_EQ(p.hasAudio, c.expectAudio);
    if (c.expectAudio) {
      EXPECT_EQ(p.channels, c.expectChannels);
    }
    EXPECT_TRUE(Logged("using ASF profile: \"" + mg::wm::SystemProfiles()[c.profile].name + "\""));
    vc->StopRecording();
    delete vc;
  }
}

TEST_F(VcAsfWriter, TheFileHasTheProfilesSizeAndBitRateAndAnEditedProfileTakesEffect) {
  PlugCameras(1);
  // A busy picture, so the encoder has to spend what the profile allows.
  const std::string clip = (dir_ / "busy.avi").string();
  Shell("ffmpeg -v error -f lavfi -i testsrc2=size=640x480:rate=15 -f lavfi -i sine=sample_rate=44100 -t 6 "
        "-c:v mjpeg -q:v 3 -c:a pcm_s16le '" + clip + "'");
  struct Case {
    const char* what;
    int32_t width, height, videoRate, audioRate, channels;
    const char* size;
    double expectVideoRate;
    const char* expectAudioRate;
  };
  const Case cases[] = {
      {"as listed", -1, -1, -1, -1, -1, "wmv2,320,240", 250'000, "1,32000"},
      {"edited", 640, 480, 600'000, 48'000, 2, "wmv2,640,480", 600'000, "2,48000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TVidCap* vc = Control(true);
    vc->SetASFProfile(1);
    vc->SetASFVideoWidth(c.width);
    vc->SetASFVideoHeight(c.height);
    vc->SetASFVideoBitRate(c.videoRate);
    vc->SetASFAudioBitRate(c.audioRate);
    vc->SetASFAudioChannels(c.channels);
    TReencodingSettings job;
    job.SourceVideoClip = clip;
    job.NewVideoClip = (dir_ / (std::string(c.what) + ".asf")).string();
    job.Method = rm_ASF;
    job.UseFrameGrabber = false;
    ASSERT_TRUE(vc->Engine()->Reencode(job, false));
    for (int guard = 0; vc->Engine()->State == es_Reencoding && guard < 1000; ++guard) {
      Scheduler(*vc->Engine())->Pump(1);
      Settle();
    }
    const std::string& file = job.NewVideoClip;
    EXPECT_EQ(Shell("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height -of csv=p=0 '" +
                    file + "'"),
              std::string(c.size) + "\n");
    EXPECT_EQ(Shell("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,bit_rate,channels -of csv=p=0 '" +
                    file + "'"),
              std::string("wmav2,") + c.expectAudioRate + "\n");
    // The video's rate is the encoder's aim; it keeps near it over the clip.
    const std::string bytes = Shell("ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 '" +
                                    file + "' | awk '{s+=$1} END {print s}'");
    const double rate = std::atof(bytes.c_str()) * 8 / 6;
    EXPECT_NEAR(rate, c.expectVideoRate, c.expectVideoRate * 0.4);
    delete vc;
  }
}

TEST_F(VcAsfWriter, ProblemsWithTheProfileLeaveTheWriterWithItsOwn) {
  PlugCameras(1);
  const std::string custom = (dir_ / "custom.prx").string();
  mg::wm::ProfileSettings mine = mg::wm::SystemProfiles()[0];
  mine.name = "Mine";
  mine.width = 176;
  mine.height = 144;
  std::ofstream(custom) << mg::wm::ProfileToXml(mine);
  std::ofstream(dir_ / "broken.prx") << "<profile name=\"x\"><streamconfig";
  struct Case {
    int32_t profile;
    std::string file;
    bool runtime;
    std::string message;
    int width;
  };
  const std::vector<Case> cases{
      {7, "", true, "ASF profile index out of range", 320},
      {-2, "", true, "ASF profile index out of range", 320},
      {0, (dir_ / "missing.prx").string(), true, "failed to load ASF profile", 320},
      {0, (dir_ / "broken.prx").string(), true, "failed to load ASF profile", 320},
      {0, custom, true, "", 176},
      {-1, "", true, "", 320},
      {0, "", false, "wmvcore.dll not found. Install the Media Player 9.", 320},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message + " " + c.file);
    log.clear();
    SetWMFormatRuntimePresent(c.runtime);
    TVidCap* vc = Control(false);
    vc->SetASFProfile(c.profile);
    vc->SetASFProfileFromCustomFile(c.file);
    vc->SetASFVideoWidth(-1);
    vc->SetASFVideoHeight(-1);
    ASSERT_TRUE(vc->StartRecording());
    EXPECT_EQ(WriterProfile(*vc->Engine()).width, c.width);
    if (!c.message.empty()) {
      EXPECT_TRUE(Logged(c.message));
    }
    vc->StopRecording();
    delete vc;
  }
  SetWMFormatRuntimePresent(true);
}

TEST_F(VcAsfWriter, ProfileListNamesTheCatalogueOrReportsAMissingRuntime) {
  TVidCap* vc = Control(false);
  String expected;
  for (const auto& p : mg::wm::SystemProfiles()) expected += p.name + "\n";
  EXPECT_EQ(vc->GetASFProfiles(), expected);
  SetWMFormatRuntimePresent(false);
  EXPECT_EQ(vc->GetASFProfiles(), "");
  EXPECT_TRUE(Logged("wmvcore.dll not found. Install the Media Player 9."));
  delete vc;
}

TEST_F(VcAsfWriter, ANetworkClientOnLoopbackReadsTheStreamBeingRecorded) {
  PlugCameras(1);
  TVidCap* vc = Control(false);
  TVcEngine& e = *vc->Engine();
  vc->SetASFProfile(0);
  vc->SetASFVideoWidth(-1);
  vc->SetASFVideoHeight(-1);
  vc->SetNetworkStreaming(ns_ASFDirectNetworkStreaming);
  vc->SetASFNetworkPort(0);
  std::string url, host;
  int32_t port = -1;
  vc->OnDirectNetworkStreamingHostUrl = [&](TObject*, const String& u, const String& h, int32_t p) {
    url = u;
    host = h;
    port = p;
  };
  ASSERT_TRUE(vc->StartRecording());
  Settle();
  ASSERT_GT(vc->ASFNetworkPort(), 0) << "the port the sink got is written back";
  EXPECT_EQ(port, vc->ASFNetworkPort());
  EXPECT_EQ(host, "127.0.0.1");
  EXPECT_EQ(url, "mms://127.0.0.1:" + std::to_string(port));
  auto sink = std::dynamic_pointer_cast<mg::wm::NetworkSink>(e.AsfNetworkSink);
  ASSERT_TRUE(sink);
  const std::string got = (dir_ / "got.asf").string();
  auto client = std::async(std::launch::async, [&] {
    return Shell("curl -s -m 60 -o '" + got + "' http://127.0.0.1:" + std::to_string(port) + "/ ; echo $?");
  });
  ASSERT_TRUE(sink->WaitForClients(1, 30'000));
  Scheduler(e)->Pump(40);
  const std::string file = e.Sel.FinalRecordingPath;
  vc->StopRecording();
  EXPECT_EQ(client.get(), "0\n");
  EXPECT_EQ(Shell("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height -of csv=p=0 '" +
                  got + "'"),
            "wmv2,160,120\n");
  const std::string frames = Shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                   "stream=nb_read_frames -of csv=p=0 '" + got + "'");
  EXPECT_GE(std::atoi(frames.c_str()), 30) << frames;
  // The file is written beside the stream.
  EXPECT_EQ(Shell("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 '" + file + "'"),
            "wmv2\n");
  delete vc;
}

TEST_F(VcAsfWriter, APublishingPointThatCannotBeReachedFailsTheStart) {
  PlugCameras(1);
  TVidCap* vc = Control(false);
  vc->SetNetworkStreaming(ns_ASFStreamingToPublishingPoint);
  // A port nothing listens on: the one a closed listener had.
  int port = 0;
  {
    auto probe = std::make_shared<mg::wm::NetworkSink>();
    mg::DWORD p = 0;
    ASSERT_EQ(probe->Open(&p), mg::S_OK);
    port = static_cast<int>(p);
    probe->Close();
  }
  const std::string point = "http://127.0.0.1:" + std::to_string(port) + "/live";
  vc->SetASFMediaServerPublishingPoint(point);
  EXPECT_FALSE(vc->StartRecording());
  EXPECT_TRUE(Logged("failed to connect to publishing point \"" + point + "\""));
  EXPECT_TRUE(Logged("failed to start Recording"));
  delete vc;
}

}  // namespace
