// Compressors, the AVI mux and the file writer, checked against ffprobe.
#include <gtest/gtest.h>

#include "platform/mg/ffmpeg/FfCodecs.h"
#include "platform/mg/ffmpeg/FfAsfWriter.h"
#include "platform/mg/ffmpeg/FfAviMux.h"
#include "platform/mg/ffmpeg/FfCompressor.h"
#include "platform/mg/tests/FfTestSupport.h"

namespace mg {
namespace {

using fftest::Probe;
using fftest::TempDir;

class FfWrite : public ::testing::Test {
protected:
  void SetUp() override { ff::RegisterFfmpegFilters(); }

  std::shared_ptr<BaseFilter> Compressor(const std::string& encoder) {
    const ff::EncoderEntry* e = ff::FindEncoder(encoder);
    if (!e) return nullptr;
    std::shared_ptr<BaseFilter> f;
    EXPECT_EQ(ClassFactory::CreateInstance(e->clsid, &f), S_OK);
    return f;
  }

  // Records `frames` pictures (and a tone when `audio`) through the
  // compressor into an AVI file on the manual scheduler.
  void Record(const std::string& file, const std::shared_ptr<BaseFilter>& compressor, int frames, bool audio,
              int w = 320, int h = 240) {
    test::ManualGraph g;
    auto builder = CaptureGraphBuilder::Create();
    ASSERT_EQ(builder->SetFiltergraph(g.graph), S_OK);
    std::shared_ptr<BaseFilter> mux;
    std::shared_ptr<IFileSinkFilter> sink;
    ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file, &mux, &sink), S_OK);
    auto cam = test::MakeSource(MEDIASUBTYPE_RGB24, w, h, fftest::PictureFill(w, h));
    ASSERT_EQ(g.graph->AddFilter(cam, "Camera"), S_OK);
    if (compressor) {
      ASSERT_EQ(g.graph->AddFilter(compressor, "Compressor"), S_OK);
    }
    ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, cam, compressor, mux), S_OK);
    if (audio) {
      auto mic = fftest::MakeToneSource();
      ASSERT_EQ(g.graph->AddFilter(mic, "Microphone"), S_OK);
      ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, mic, nullptr, mux), S_OK);
    }
    ASSERT_EQ(g.graph->Run(), S_OK);
    g.scheduler->Pump(frames);
    ASSERT_EQ(g.graph->Stop(), S_OK);
    for (auto& e : test::DrainEvents(*g.graph)) EXPECT_NE(e.code, EC_ERRORABORT);
  }
};

TEST_F(FfWrite, CompressorCategoriesListTheAviEncodersWithNamesAndClassIds) {
  SystemDeviceEnum devEnum;
  for (const auto& [category, required] :
       std::vector<std::pair<GUID, std::vector<std::string>>>{
           {CLSID_VideoCompressorCategory, {"mjpeg", "mpeg4", "msmpeg4v2", "msmpeg4", "wmv1", "wmv2", "ffv1",
                                            "huffyuv", "dvvideo"}},
           {CLSID_AudioCompressorCategory, {"pcm_s16le", "adpcm_ms", "adpcm_ima_wav", "mp2", "wmav2"}}}) {
    IEnumMoniker e;
    ASSERT_EQ(devEnum.CreateClassEnumerator(category, &e, 0), S_OK);
    std::vector<std::string> names;
    for (auto& m : e.Items()) {
      std::string friendly, clsid;
      ASSERT_EQ(m->Properties().Read("FriendlyName", &friendly), S_OK);
      ASSERT_EQ(m->Properties().Read("CLSID", &clsid), S_OK);
      EXPECT_FALSE(friendly.empty());
      names.push_back(m->DisplayName().substr(m->DisplayName().rfind('\\') + 1));
      std::shared_ptr<BaseFilter> f;
      ASSERT_EQ(m->BindToObject(&f), S_OK);
      EXPECT_EQ(f->ClassId(), GUID::FromText(clsid));
      EXPECT_EQ(QueryInterface<IAMVideoCompression>(f) != nullptr, category == CLSID_VideoCompressorCategory);
    }
    for (auto& r : required) EXPECT_NE(std::find(names.begin(), names.end(), r), names.end()) << r;
  }
  EXPECT_EQ(ff::FindEncoder("dvvideo")->clsid, CLSID_DVVideoEnc);
  EXPECT_EQ(ff::FindEncoder("dvvideo")->friendlyName, "DV Video Encoder");
}

TEST_F(FfWrite, CompressionSettingsRoundTripThroughPersistStreamAndPages) {
  auto f = Compressor("mpeg4");
  auto vc = QueryInterface<IAMVideoCompression>(f);
  auto ps = QueryInterface<IPersistStream>(f);
  ASSERT_TRUE(vc && ps);
  LONG caps = 0, defKey = 0;
  double defQ = 0;
  ASSERT_EQ(vc->GetInfo(nullptr, nullptr, &defKey, nullptr, &defQ, &caps), S_OK);
  EXPECT_TRUE(caps & CompressionCaps_CanQuality);
  EXPECT_TRUE(caps & CompressionCaps_CanKeyFrame);
  EXPECT_EQ(ps->IsDirty(), S_FALSE);
  EXPECT_EQ(vc->put_KeyFrameRate(7), S_OK);
  EXPECT_EQ(vc->put_Quality(0.4), S_OK);
  EXPECT_EQ(vc->put_Quality(1.5), E_INVALIDARG);
  EXPECT_EQ(ps->IsDirty(), S_OK);
  std::vector<uint8_t> saved;
  ASSERT_EQ(ps->Save(saved, 1), S_OK);
  EXPECT_EQ(ps->IsDirty(), S_FALSE);

  auto g = Compressor("mpeg4");
  ASSERT_EQ(QueryInterface<IPersistStream>(g)->Load(saved), S_OK);
  LONG key = 0;
  double q = 0;
  QueryInterface<IAMVideoCompression>(g)->get_KeyFrameRate(&key);
  QueryInterface<IAMVideoCompression>(g)->get_Quality(&q);
  EXPECT_EQ(key, 7);
  EXPECT_DOUBLE_EQ(q, 0.4);
  // Settings of another codec, or garbage, are refused and change nothing.
  EXPECT_EQ(QueryInterface<IPersistStream>(Compressor("mjpeg"))->Load(saved), E_INVALIDARG);
  const std::string junk = "encoder=mpeg4\nquality=abc\n";
  EXPECT_EQ(QueryInterface<IPersistStream>(g)->Load(std::vector<uint8_t>(junk.begin(), junk.end())), E_INVALIDARG);
  QueryInterface<IAMVideoCompression>(g)->get_KeyFrameRate(&key);
  EXPECT_EQ(key, 7);

  // The page's quality field is the interface's value in percent.
  std::vector<PropertyPage> pages;
  ASSERT_EQ(QueryInterface<ISpecifyPropertyPages>(g)->GetPages(&pages), S_OK);
  ASSERT_EQ(pages.size(), 1u);
  auto& props = pages[0].properties;
  auto quality = std::find_if(props.begin(), props.end(), [](auto& p) { return p.name == "Quality"; });
  ASSERT_NE(quality, props.end());
  EXPECT_EQ(quality->get(), 40);
  quality->set(90);
  QueryInterface<IAMVideoCompression>(g)->get_Quality(&q);
  EXPECT_DOUBLE_EQ(q, 0.9);

  // Intra-only codecs offer no key-frame control.
  QueryInterface<IAMVideoCompression>(Compressor("mjpeg"))->GetInfo(nullptr, nullptr, &defKey, nullptr, nullptr, &caps);
  EXPECT_FALSE(caps & CompressionCaps_CanKeyFrame);
  EXPECT_EQ(defKey, 1);
}

struct RecordCase {
  const char* encoder;
  const char* probedCodec;
  int width, height;  // as written
};

TEST_F(FfWrite, HundredFramesThroughEachCompressorWithPcmBesideThemReadBackByFfprobe) {
  for (const RecordCase& c : {RecordCase{"mjpeg", "mjpeg", 320, 240}, RecordCase{"mpeg4", "mpeg4", 320, 240},
                              RecordCase{"dvvideo", "dvvideo", 720, 576}}) {
    SCOPED_TRACE(c.encoder);
    TempDir dir;
    const std::string file = dir / "clip.avi";
    Record(file, Compressor(c.encoder), 100, true);
    auto v = Probe(file, "v:0");
    EXPECT_EQ(v["codec_name"], c.probedCodec);
    EXPECT_EQ(v["width"], std::to_string(c.width));
    EXPECT_EQ(v["height"], std::to_string(c.height));
    EXPECT_EQ(v["nb_read_frames"], "100");
    EXPECT_NEAR(std::stod(v["duration"].empty() ? "0" : v["duration"]), 4.0, 0.05);
    auto a = Probe(file, "a:0");
    EXPECT_EQ(a["codec_name"], "pcm_s16le");
    EXPECT_EQ(a["sample_rate"], "44100");
    EXPECT_NEAR(fftest::AudioSeconds(file), 4.0, 0.001);
  }
}

TEST_F(FfWrite, KeyFrameRateAndQualityReachTheEncoder) {
  TempDir dir;
  auto mp4 = Compressor("mpeg4");
  QueryInterface<IAMVideoCompression>(mp4)->put_KeyFrameRate(10);
  Record(dir / "k.avi", mp4, 50, false, 160, 120);
  const std::string keys = fftest::Run("ffprobe -v error -select_streams v:0 -show_entries frame=key_frame -of csv=p=0 '" +
                                       (dir / "k.avi") + "' | grep -c 1");
  EXPECT_EQ(std::stoi(keys), 5);

  auto low = Compressor("mjpeg"), high = Compressor("mjpeg");
  QueryInterface<IAMVideoCompression>(low)->put_Quality(0.1);
  QueryInterface<IAMVideoCompression>(high)->put_Quality(0.95);
  Record(dir / "low.avi", low, 10, false, 160, 120);
  Record(dir / "high.avi", high, 10, false, 160, 120);
  EXPECT_LT(std::filesystem::file_size(dir / "low.avi") * 5, std::filesystem::file_size(dir / "high.avi") * 4);
}

TEST_F(FfWrite, AudioCompressorsEncodeTheToneIntoAvi) {
  for (const char* enc : {"adpcm_ms", "mp2"}) {
    SCOPED_TRACE(enc);
    TempDir dir;
    const std::string file = dir / "a.avi";
    test::ManualGraph g;
    auto builder = CaptureGraphBuilder::Create();
    builder->SetFiltergraph(g.graph);
    std::shared_ptr<BaseFilter> mux;
    ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file, &mux, nullptr), S_OK);
    auto mic = fftest::MakeToneSource();
    auto comp = Compressor(enc);
    g.graph->AddFilter(mic, "Microphone");
    g.graph->AddFilter(comp, "Compressor");
    ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, mic, comp, mux), S_OK);
    g.graph->Run();
    g.scheduler->Pump(50);
    g.graph->Stop();
    for (auto& e : test::DrainEvents(*g.graph)) EXPECT_NE(e.code, EC_ERRORABORT) << std::hex << e.p1;
    EXPECT_GT(std::dynamic_pointer_cast<ff::FfMux>(mux)->PacketsWritten(), 0);
    EXPECT_EQ(mic->Frames(), 50);
    auto a = Probe(file, "a:0");
    EXPECT_EQ(a["codec_name"], enc);
    EXPECT_NEAR(fftest::AudioSeconds(file), 2.0, 0.06);
  }
}

TEST_F(FfWrite, MuxInputStreamControlStopsRecordingAtTheTime) {
  TempDir dir;
  const std::string file = dir / "sc.avi";
  test::ManualGraph g;
  auto builder = CaptureGraphBuilder::Create();
  builder->SetFiltergraph(g.graph);
  std::shared_ptr<BaseFilter> mux;
  ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file, &mux, nullptr), S_OK);
  auto cam = test::MakeSource(MEDIASUBTYPE_RGB24, 64, 48, fftest::PictureFill(64, 48));
  g.graph->AddFilter(cam, "Camera");
  auto comp = Compressor("mjpeg");
  g.graph->AddFilter(comp, "Compressor");
  ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, cam, comp, mux), S_OK);
  auto control = QueryInterface<IAMStreamControl>(comp->Pins()[1]->ConnectedTo());
  ASSERT_TRUE(control);
  const REFERENCE_TIME stop = 20 * test::kPeriod;
  ASSERT_EQ(control->StopAt(&stop, 0, 7), S_OK);
  g.graph->Run();
  g.scheduler->Pump(40);
  g.graph->Stop();
  EXPECT_EQ(Probe(file, "v:0")["nb_read_frames"], "20");
}

TEST_F(FfWrite, WriterCutsAPreallocatedFileAndWritesNativeStreamsAsTheyCome) {
  TempDir dir;
  const std::string file = dir / "native.mpg";
  {
    std::ofstream pre(file, std::ios::binary);
    pre << std::string(1 << 20, 'x');
  }
  AM_MEDIA_TYPE mt;
  mt.majortype = MEDIATYPE_Stream;
  mt.subtype = MEDIASUBTYPE_MPEG2_PROGRAM;
  mt.formattype = FORMAT_None;
  mt.lSampleSize = 4096;
  test::ManualGraph g;
  auto src = std::make_shared<CallbackSource>(mt, test::kPeriod, test::IndexFill(1000));
  std::shared_ptr<BaseFilter> writer;
  ASSERT_EQ(ClassFactory::CreateInstance(CLSID_FileWriter, &writer), S_OK);
  ASSERT_EQ(QueryInterface<IFileSinkFilter>(writer)->SetFileName(file, nullptr), S_OK);
  g.graph->AddFilter(src, "Encoder");
  g.graph->AddFilter(writer, "Writer");
  ASSERT_EQ(g.graph->ConnectDirect(src->Output(), writer->Pins()[0], nullptr), S_OK);
  g.graph->Run();
  g.scheduler->Pump(3);
  g.graph->Stop();
  const auto bytes = fftest::ReadFile(file);
  ASSERT_EQ(bytes.size(), 3000u);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[1500], 1);
  EXPECT_EQ(bytes[2999], 2);
}

}  // namespace
}  // namespace mg

namespace mg {
namespace {

TEST(FfAsf, WriterEncodesToItsProfileAndFfprobeReadsTheFile) {
  ff::RegisterFfmpegFilters();
  fftest::TempDir dir;
  const std::string file = dir / "clip.asf";
  test::ManualGraph g;
  auto builder = CaptureGraphBuilder::Create();
  builder->SetFiltergraph(g.graph);
  std::shared_ptr<BaseFilter> writer;
  std::shared_ptr<IFileSinkFilter> sink;
  ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Asf, file, &writer, &sink), S_OK);
  auto config = QueryInterface<IConfigAsfWriter>(writer);
  ASSERT_TRUE(config);
  WMProfile profile;
  ASSERT_EQ(config->GetCurrentProfile(&profile), S_OK);
  ff::AsfProfile p;
  ASSERT_TRUE(wm::ProfileFromXml(profile.text, p));
  p.width = 160;
  p.height = 120;
  p.videoBitRate = 200'000;
  const std::string small = wm::ProfileToXml(p);
  ASSERT_EQ(config->ConfigureFilterUsingProfile({"Small", small}), S_OK);
  auto edited = [&](const std::string& from, const std::string& to) {
    std::string t = small;
    const size_t at = t.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? t : t.replace(at, from.size(), to);
  };
  for (const std::string& bad : {std::string("width=abc"), edited("biwidth=\"160\"", "biwidth=\"abc\""),
                                 edited("biwidth=\"160\"", "biwidth=\"161\""),
                                 edited("{32564D57", "{3247504D"), edited("</profile>", "")})
    EXPECT_EQ(config->ConfigureFilterUsingProfile({"Bad", bad}), E_INVALIDARG) << bad;
  ASSERT_EQ(config->GetCurrentProfile(&profile), S_OK);
  EXPECT_EQ(profile.name, "Small");

  // The advanced writer behind the service: sinks and input settings kept.
  std::shared_ptr<Object> service;
  ASSERT_EQ(QueryInterface<IServiceProvider>(writer)->QueryService(GUID{}, &service), S_OK);
  auto advanced = QueryInterface<IWMWriterAdvanced2>(service);
  ASSERT_TRUE(advanced);
  const uint32_t mode = 1;
  EXPECT_EQ(advanced->SetInputSetting(1, "DeinterlaceMode", WMT_TYPE_DWORD, reinterpret_cast<const uint8_t*>(&mode), 4), S_OK);
  uint32_t back = 0;
  uint16_t len = 4;
  WMT_ATTR_DATATYPE type{};
  EXPECT_EQ(advanced->GetInputSetting(1, "DeinterlaceMode", &type, reinterpret_cast<uint8_t*>(&back), &len), S_OK);
  EXPECT_EQ(back, 1u);

  auto cam = test::MakeSource(MEDIASUBTYPE_RGB24, 320, 240, fftest::PictureFill(320, 240));
  auto mic = fftest::MakeToneSource();
  g.graph->AddFilter(cam, "Camera");
  g.graph->AddFilter(mic, "Microphone");
  ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, cam, nullptr, writer), S_OK);
  ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, mic, nullptr, writer), S_OK);
  ASSERT_EQ(g.graph->Run(), S_OK);
  g.scheduler->Pump(50);
  g.graph->Stop();
  auto v = fftest::Probe(file, "v:0");
  EXPECT_EQ(v["codec_name"], "wmv2");
  EXPECT_EQ(v["width"], "160");
  EXPECT_EQ(v["height"], "120");
  EXPECT_EQ(v["nb_read_frames"], "50");
  EXPECT_EQ(fftest::Probe(file, "a:0")["codec_name"], "wmav2");
  EXPECT_NEAR(fftest::AudioSeconds(file), 2.0, 0.1);
}

}  // namespace
}  // namespace mg
