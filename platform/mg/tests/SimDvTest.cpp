#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/mg/tests/SimTestSupport.h"

using namespace mg;
using namespace mg::sim;
using namespace mg::simtest;

namespace {

std::shared_ptr<SimDvCamcorder> MakeDv(DvOptions o = {}) {
  return std::make_shared<SimDvCamcorder>(std::make_shared<DevicePresence>(), o);
}

// The first pack with this id in the frame's video AUX blocks (payload bytes), or empty.
std::vector<uint8_t> VauxPack(const std::vector<uint8_t>& frame, uint8_t id) {
  for (size_t b = 0; b + 80 <= frame.size(); b += 80)
    if ((frame[b] >> 5) == 2)
      for (int k = 0; k < 15; ++k) {
        const uint8_t* p = &frame[b + 3 + 5 * k];
        if (p[0] == id) return {p + 1, p + 5};
      }
  return {};
}

}  // namespace

TEST(SimDv, VariantsOfferTheirPinsAndTheSignalKind) {
  struct Case {
    bool pal, interleavedOnly;
    size_t outputs;
    LONG signal;
    uint32_t bytes;
  };
  for (const Case& c : {Case{true, false, 2, ED_TRANSBASIC_SIGNAL_625_50_SD, 144000},
                        Case{false, true, 1, ED_TRANSBASIC_SIGNAL_525_60_SD, 120000}}) {
    DvOptions o;
    o.pal = c.pal;
    o.interleavedOnly = c.interleavedOnly;
    o.tapeFrames = 10;
    auto dv = MakeDv(o);
    size_t outputs = 0;
    for (auto& p : dv->Pins()) outputs += p->Direction() == PINDIR_OUTPUT;
    EXPECT_EQ(outputs, c.outputs);
    EXPECT_EQ(dv->VideoPin() == nullptr, c.interleavedOnly);
    const auto av = dv->InterleavedPin()->MediaTypes();
    ASSERT_EQ(av.size(), 1u);
    EXPECT_EQ(av[0].majortype, MEDIATYPE_Interleaved);
    EXPECT_EQ(av[0].subtype, MEDIASUBTYPE_dvsd);
    EXPECT_EQ(av[0].formattype, FORMAT_DvInfo);
    // The format block holds the frame's own AUX packs.
    EXPECT_EQ(std::memcmp(av[0].pbFormat(), &static_cast<const DVINFO&>(DvInfoOf(dv->TapeFrame(0))), sizeof(DVINFO)), 0);
    if (!c.interleavedOnly) {
      const auto v = dv->VideoPin()->MediaTypes();
      ASSERT_EQ(v.size(), 1u);
      EXPECT_EQ(v[0].majortype, MEDIATYPE_Video);
      EXPECT_EQ(v[0].BitmapHeader()->biHeight, c.pal ? 576 : 480);
    }
    LONG signal = 0;
    ASSERT_EQ(dv->GetTransportBasicParameters(ED_TRANSBASIC_INPUT_SIGNAL, &signal, nullptr), S_OK);
    EXPECT_EQ(signal, c.signal);
    EXPECT_EQ(dv->TapeFrame(3).size(), c.bytes);
  }
}

TEST(SimDv, TapeFramesCarryTheirTimeCodeAndTheRecordingDate) {
  struct Case {
    bool pal;
    int64_t position;
    const char* timecode;
    uint32_t bcd;
  };
  for (const Case& c : {Case{true, 263, "00:00:10:13", 0x00001013}, Case{false, 263, "00:00:08:23", 0x00000823},
                        Case{true, 90'061, "01:00:02:11", 0x01000211}}) {
    EXPECT_EQ(DvTimecodeText(c.position, c.pal), c.timecode);
    EXPECT_EQ(DvTimecodeBcd(c.position, c.pal), c.bcd);
  }
  const std::vector<uint8_t> frame = MakeDvFrame(true, 263, "");
  ASSERT_EQ(frame.size(), 144000u);
  // FFmpeg's own reader finds the time code in the subcode.
  const std::string path = ::testing::TempDir() + "/sim_dv_263_" + std::to_string(::getpid()) + ".dv";
  WriteFile(path, frame);
  const std::string probe =
      RunCommand("ffprobe -v error -show_entries format_tags=timecode -of default=nw=1:nk=1 '" + path + "'");
  EXPECT_EQ(probe, "00:00:10:13\n");
  // Recording date and time packs: 15 July 2004, 14:30:00.
  const auto date = VauxPack(frame, 0x62), time = VauxPack(frame, 0x63);
  ASSERT_EQ(date.size(), 4u);
  ASSERT_EQ(time.size(), 4u);
  EXPECT_EQ(date[1] & 0x3F, 0x15);
  EXPECT_EQ(date[2] & 0x1F, 0x07);
  EXPECT_EQ(date[3], 0x04);
  EXPECT_EQ(time[3] & 0x3F, 0x14);
  EXPECT_EQ(time[2] & 0x7F, 0x30);
  // Frames are made once: the same position gives the same bytes.
  DvOptions o;
  o.tapeFrames = 300;
  EXPECT_EQ(MakeDv(o)->TapeFrame(263), frame);
}

TEST(SimDv, TransportMovesTheHeadAndDeliversTheFramesUnderIt) {
  DvOptions o;
  o.tapeFrames = 60;
  auto dv = MakeDv(o);
  DeviceRun run(dv, dv->InterleavedPin());
  ASSERT_EQ(run.connected, S_OK);
  ASSERT_EQ(run.graph->Run(), S_OK);
  struct Step {
    LONG mode;
    int periods;
    std::vector<int64_t> delivered;
    int64_t after;
  };
  const Step steps[] = {
      {ED_MODE_STOP, 2, {}, 0},
      {ED_MODE_PLAY, 3, {0, 1, 2}, 3},
      {ED_MODE_FF, 2, {3, 13}, 23},
      {ED_MODE_REW, 1, {23}, 13},
      {ED_MODE_FREEZE, 2, {13, 13}, 13},
      {ED_MODE_STEP_FWD, 1, {14}, 14},
      {ED_MODE_STEP_REV, 1, {13}, 13},
      {ED_MODE_PLAY_FASTEST_FWD, 2, {13, 15}, 17},
      {ED_MODE_PLAY_SLOWEST_FWD, 3, {17, 17, 18}, 18},
      {ED_MODE_PLAY_FASTEST_REV, 1, {18}, 16},
      {ED_MODE_REW_FASTEST, 2, {16}, 0},  // the tape's start stops the deck
  };
  size_t seen = 0;
  for (const Step& s : steps) {
    ASSERT_EQ(dv->put_Mode(s.mode), S_OK);
    run.scheduler->Pump(s.periods);
    const auto samples = run.sink->Samples();
    ASSERT_EQ(samples.size() - seen, s.delivered.size()) << "mode " << s.mode;
    for (size_t k = 0; k < s.delivered.size(); ++k)
      EXPECT_TRUE(samples[seen + k].bytes == dv->TapeFrame(s.delivered[k])) << "mode " << s.mode << " frame " << k;
    seen = samples.size();
    EXPECT_EQ(dv->Position(), s.after) << "mode " << s.mode;
    TIMECODE_SAMPLE tc;
    ASSERT_EQ(dv->GetTimecode(&tc), S_OK);
    EXPECT_EQ(tc.timecode.dwFrames, DvTimecodeBcd(s.after, true));
  }
  LONG mode = 0;
  ASSERT_EQ(dv->get_Mode(&mode), S_OK);
  EXPECT_EQ(mode, ED_MODE_STOP);
  // Playing into the end of the tape stops there too.
  dv->SetPosition(57);
  ASSERT_EQ(dv->put_Mode(ED_MODE_PLAY), S_OK);
  run.scheduler->Pump(4);
  EXPECT_EQ(run.sink->Samples().size() - seen, 2u);
  EXPECT_EQ(dv->Position(), 59);
  ASSERT_EQ(dv->get_Mode(&mode), S_OK);
  EXPECT_EQ(mode, ED_MODE_STOP);
}

TEST(SimDv, ModeIsReportedAfterTheSettlingPolls) {
  auto dv = MakeDv();
  for (LONG m : DvTransportModes()) EXPECT_EQ(dv->put_Mode(m), S_OK) << m;
  EXPECT_EQ(DvTransportModes().size(), 16u);
  EXPECT_EQ(dv->put_Mode(ED_BASE + 280), E_INVALIDARG);  // link on: not a tape mode
  ASSERT_EQ(dv->put_Mode(ED_MODE_STOP), S_OK);
  dv->SetSettlingPolls(3);
  ASSERT_EQ(dv->put_Mode(ED_MODE_PLAY), S_OK);
  std::vector<LONG> answers;
  for (int i = 0; i < 5; ++i) {
    LONG m = 0;
    ASSERT_EQ(dv->get_Mode(&m), S_OK);
    answers.push_back(m);
  }
  EXPECT_EQ(answers, (std::vector<LONG>{ED_MODE_STOP, ED_MODE_STOP, ED_MODE_STOP, ED_MODE_PLAY, ED_MODE_PLAY}));
}

TEST(SimDv, RecordingOverwritesTheTapeUnderTheHead) {
  DvOptions o;
  o.tapeFrames = 20;
  auto dv = MakeDv(o);
  const auto before7 = dv->TapeFrame(7);
  DeviceRun run(dv, dv->VideoPin());
  ASSERT_EQ(run.graph->Run(), S_OK);
  dv->SetPosition(5);
  ASSERT_EQ(dv->put_Mode(ED_MODE_RECORD), S_OK);
  run.scheduler->Pump(2);
  EXPECT_EQ(dv->Position(), 7);
  EXPECT_EQ(dv->TapeFrame(5), MakeDvFrame(true, 5, "REC"));
  EXPECT_EQ(dv->TapeFrame(6), MakeDvFrame(true, 6, "REC"));
  EXPECT_EQ(dv->TapeFrame(7), before7);
  // A strobe records one frame and freezes.
  ASSERT_EQ(dv->put_Mode(ED_MODE_RECORD_STROBE), S_OK);
  run.scheduler->Pump(2);
  EXPECT_EQ(dv->TapeFrame(7), MakeDvFrame(true, 7, "REC"));
  EXPECT_EQ(dv->TapeFrame(8), MakeDvFrame(true, 8, ""));
}
