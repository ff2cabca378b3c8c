#include "capture/VcLog.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "capture/tests/VidCapTestUtil.h"

using namespace capture;
using captest::LogEntry;

namespace {

class VcLogTest : public captest::VidCapFixture {
protected:
  static std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // What unrtf makes of the trace file as plain text; empty when it failed.
  static std::string UnrtfText() {
    std::string out;
    FILE* p = ::popen("unrtf --text vidcaplog.rtf 2>/dev/null", "r");
    if (!p) return out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    return ::pclose(p) == 0 ? out : std::string();
  }
};

TEST_F(VcLogTest, ReportTracesAndRaisesOnLogForFailuresOnly) {
  struct Case {
    mg::HRESULT hr;
    int32_t severity;
    bool result;
    std::vector<LogEntry> raised;
    const char* trace;  // the entry as traced, after its colour
  };
  const Case cases[] = {
      {mg::E_FAIL, SEV_INFO, false, {{e_failed, "INFO", "m"}}, "\\cf0 9 INFO: m\\par"},
      {mg::E_FAIL, SEV_WARNING, false, {{e_failed, "WARNING", "m"}}, "\\cf4 9 WARNING: m\\par"},
      {mg::E_FAIL, SEV_ERROR, false, {{e_failed, "ERROR", "m"}}, "\\cf4 9 ERROR: m\\par"},
      // Severity 0 and unknown severities read "ERROR"; only 1..3 raise.
      {mg::E_FAIL, SEV_TRACE_ONLY, false, {}, "\\cf4 9 ERROR: m\\par"},
      {mg::E_FAIL, 7, false, {}, "\\cf4 9 ERROR: m\\par"},
      // Success is traced with an empty severity and raises nothing.
      {mg::S_OK, SEV_WARNING, true, {}, "\\cf0 9 : m\\par"},
      {mg::S_FALSE, SEV_ERROR, true, {}, "\\cf0 9 : m\\par"},
  };
  SetTraceOn();
  TVidCap* vc = MakeControl();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.hr) + "/" + std::to_string(c.severity));
    log.clear();
    EXPECT_EQ(vc->Engine()->Report(c.hr, c.severity, "m", e_failed), c.result);
    EXPECT_EQ(log, c.raised);
    const std::string last = TraceLog()->Lines()[TraceLog()->Lines().Count() - 1];
    EXPECT_EQ(std::regex_replace(last, std::regex("[0-9]+\\.[0-9]{3} "), ""), c.trace);
  }
}

TEST_F(VcLogTest, ReportIfAnswersWhetherItReportedAFailure) {
  TVidCap* vc = MakeControl();
  EXPECT_TRUE(vc->Engine()->ReportIf(true, SEV_ERROR, "bad", e_failed));
  EXPECT_FALSE(vc->Engine()->ReportIf(false, SEV_ERROR, "fine", e_failed));
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_failed, "ERROR", "bad"}}));
}

TEST_F(VcLogTest, OnLogIsGuarded) {
  SetTraceOn();
  // No window: the full guard refuses, the trace still takes the line.
  auto* windowless = new TVidCap(form);
  bool raised = false;
  windowless->OnLog = [&](TObject*, TLogType, const String&, const String&) { raised = true; };
  const int before = TraceCount();
  windowless->Engine()->ReportIf(true, SEV_ERROR, "no window", e_failed);
  EXPECT_FALSE(raised);
  EXPECT_EQ(TraceCount(), before + 1);

  // A window, but destruction has begun.
  TVidCap* vc = MakeControl();
  vc->Engine()->Destroying = true;
  vc->Engine()->ReportIf(true, SEV_ERROR, "destroying", e_failed);
  EXPECT_TRUE(log.empty());
  vc->Engine()->Destroying = false;

  // No handler.
  vc->OnLog = nullptr;
  EXPECT_TRUE(vc->Engine()->ReportIf(true, SEV_ERROR, "nobody listens", e_failed));
}

TEST_F(VcLogTest, ReportsBeforeInitializationRefuseAndLeaveNoTrace) {
  SetTraceOn();
  TVidCap* vc = MakeControl();
  const int before = TraceCount();
  vc->Engine()->Initialized = false;
  EXPECT_FALSE(vc->Engine()->Report(mg::S_OK, SEV_INFO, "x", e_failed));
  // Every check refuses: ReportIf sees a failure even for a passed check.
  EXPECT_TRUE(vc->Engine()->ReportIf(false, SEV_ERROR, "x", e_failed));
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(TraceCount(), before);
  vc->Engine()->Initialized = true;
}

TEST_F(VcLogTest, TraceStaysOffUntilSwitchedOn) {
  TVidCap* vc = MakeControl();
  vc->Engine()->ReportIf(true, SEV_ERROR, "x", e_failed);
  TraceLine(CF_GREY, "nothing");
  EXPECT_EQ(TraceLog(), nullptr);
  EXPECT_FALSE(std::filesystem::exists(kTraceFileName));
}

TEST_F(VcLogTest, DocumentOpensWithHeaderAndFramedBlockAndTimesLaterLines) {
  SetTraceOn();
  TraceLine(CF_GREY, "first");
  clock.Advance(16);
  TraceLine("+", CF_GREY, "second");
  const std::vector<std::string> expected = {
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1036{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 Courier New;}}",
      "{\\colortbl ;\\red128\\green128\\blue128;\\red0\\green0\\blue255;\\red0\\green128\\blue0;\\red255\\green0"
      "\\blue0;\\red128\\green0\\blue128;\\red255\\green255\\blue0;}",
      "\\viewkind4\\uc1\\pard\\b\\f0\\fs20",
      "\\par",
      "\\cf6 " + std::string(70, '=') + "\\par",
      "\\cf0 BEGIN TVidCap vv7.2 (build 7.2.4 rev n, March 14, 2005) process log\\par",
      "\\cf6 " + std::string(70, '=') + "\\par",
      "\\par",
      "\\cf1 0.000 first\\par",
      "\\par",
      "\\cf6 " + std::string(70, '+') + "\\par",
      "\\cf1 0.016 second\\par",
      "\\cf6 " + std::string(70, '+') + "\\par",
      "\\par",
  };
  std::vector<std::string> lines;
  for (int i = 0; i < TraceLog()->Lines().Count(); ++i) lines.push_back(TraceLog()->Lines()[i]);
  EXPECT_EQ(lines, expected);
  // The file holds the same lines and the closing brace.
  std::string file;
  for (const auto& l : expected) file += l + "\n";
  EXPECT_EQ(ReadFile(kTraceFileName), file + "}\n");
  EXPECT_TRUE(TraceYesNo(true, CF_GREY, "instance: x"));
  EXPECT_FALSE(TraceYesNo(false, CF_GREY, "instance: y"));
  EXPECT_EQ(TraceTexts(TraceCount() - 2), (std::vector<std::string>{"instance: x: YES", "instance: y: no"}));
}

TEST_F(VcLogTest, TraceFileIsCompleteRtfAfterEveryLine) {
  SetTraceOn();
  for (int n = 1; n <= 30; ++n) {
    clock.Advance(3);
    TraceLine(n % 10 == 0 ? "#" : "", CF_BLUE, "line " + std::to_string(n));
    if (n == 1 || n == 30) {
      const std::string text = UnrtfText();
      ASSERT_FALSE(text.empty()) << "unrtf could not read the file after " << n << " lines";
      EXPECT_NE(text.find("BEGIN TVidCap vv7.2 (build 7.2.4 rev n, March 14, 2005) process log"), std::string::npos);
      EXPECT_NE(text.find("line " + std::to_string(n)), std::string::npos);
    }
  }
  TraceClosingBlock();
  const std::string text = UnrtfText();
  EXPECT_NE(text.find("END TVidCap vv7.2 (build 7.2.4 rev n, March 14, 2005) process log"), std::string::npos);
  EXPECT_NE(text.find(std::string(70, '#')), std::string::npos);
}

TEST_F(VcLogTest, UnwritableFolderOnlyFailsTheSave) {
  SetTraceOn();
  TraceLine(CF_GREY, "written");
  std::filesystem::remove(kTraceFileName);
  std::filesystem::create_directory(kTraceFileName);  // a folder in the file's place
  EXPECT_FALSE(SaveTrace());
  TraceLine(CF_GREY, "still traced");
  EXPECT_EQ(TraceTexts(TraceCount() - 1), (std::vector<std::string>{"still traced"}));
  std::filesystem::remove(kTraceFileName);
  EXPECT_TRUE(SaveTrace());
}

TEST_F(VcLogTest, ComponentInitializationIsTraced) {
  SetTraceOn();
  MakeControl();
  const auto lines = TraceTexts();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "component initialized"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), std::string(70, '+')), lines.end());
}

TEST_F(VcLogTest, CreateInstanceTracedSucceedsOnlyForAKnownClass) {
  SetTraceOn();
  std::shared_ptr<mg::BaseFilter> filter;
  EXPECT_TRUE(CreateInstanceTraced(mg::CLSID_SmartTee, filter, "Smart Tee"));
  EXPECT_NE(filter, nullptr);
  EXPECT_FALSE(CreateInstanceTraced(mg::GUID{}, filter, "nothing"));
  EXPECT_EQ(TraceTexts(TraceCount() - 2),
            (std::vector<std::string>{"instance: Smart Tee: YES", "instance: nothing: no"}));
}

}  // namespace
