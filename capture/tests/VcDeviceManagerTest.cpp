// The process-wide device manager: the delayed rebuild driven by simulated
// plug and unplug, what a rebuild tells the controls, the synchronized
// start, the first idle moment, the temporary files and the counters.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "VcWorkerTestUtil.h"
#include "platform/rtl/Files.h"

using namespace capture;
using vcworkertest::ClockedFixture;

namespace {

class VcDeviceManager : public ClockedFixture {
protected:
  // Counts rebuilds and when they came.
  void CountRebuilds(std::vector<TDeviceChange> changes = {}) {
    TDeviceListHooks hooks;
    hooks.Create = [this] { ++creates; };
    hooks.Free = [this] { ++frees; };
    hooks.Rebuild = [this, changes] {
      rebuildTicks.push_back(rtl::GetTickCount());
      return changes;
    };
    SetDeviceListHooks(hooks);
  }
  void Plug() {
    sim->PlugIn(mg::sim::CameraOptions{});
    forms::Application->ProcessMessages();
    lastMessage = rtl::GetTickCount();
  }
  int creates = 0;
  int frees = 0;
  std::vector<uint32_t> rebuildTicks;
  uint32_t lastMessage = 0;
};

// A burst of arrivals gives one rebuild, 2000 ms after the last message
// at the earliest; with one control the timer looks only on every second
// 300 ms tick, so it comes within 2600 ms.
TEST_F(VcDeviceManager, ABurstOfDeviceChangesGivesOneDelayedRebuild) {
  CountRebuilds();
  MakeControl();
  EXPECT_EQ(creates, 1) << "the lists are built with the manager";
  for (int i = 0; i < 3; ++i) {
    clock.Advance(500);
    Plug();
  }
  clock.Advance(1990);
  EXPECT_TRUE(rebuildTicks.empty());
  clock.Advance(700);
  ASSERT_EQ(rebuildTicks.size(), 1u);
  EXPECT_GE(rebuildTicks[0] - lastMessage, 2000u);
  EXPECT_LE(rebuildTicks[0] - lastMessage, 2600u);
  clock.Advance(5000);
  EXPECT_EQ(rebuildTicks.size(), 1u);

  // A removal is a change like any other.
  ASSERT_TRUE(sim->Unplug(sim->Devices().front().id));
  forms::Application->ProcessMessages();
  clock.Advance(2700);
  EXPECT_EQ(rebuildTicks.size(), 2u);

  // The lists go with the manager, and come again with the next one.
  FreeSyncManager();
  EXPECT_EQ(frees, 1);
  MakeControl();
  EXPECT_EQ(creates, 2);
}

// The timer's ticks walk the engine list; with no engine in it, no tick
// ever finds the rebuild due.
TEST_F(VcDeviceManager, NoRebuildWithoutAControl) {
  CountRebuilds();
  delete MakeControl();
  ASSERT_NE(SyncManager(), nullptr);
  Plug();
  EXPECT_EQ(Manager().RebuildState, kRebuildScheduled);
  clock.Advance(10000);
  EXPECT_TRUE(rebuildTicks.empty());
}

// A rebuild binds every control's device after an arrival and tells each
// control of every change, under the full guard (a control without a
// window hears nothing, but is bound all the same). A message that comes
// while the rebuild runs is not counted.
TEST_F(VcDeviceManager, RebuildBindsAndTellsEveryControl) {
  const std::vector<TDeviceChange> changes = {
      {true, true, "@device:sim:camera2", 1},
      {false, true, "@device:sim:camera1", 0},
      {true, false, "@device:sim:audio2", 1},
  };
  TDeviceListHooks hooks;
  std::vector<std::string> bound;
  hooks.Rebuild = [&] {
    Manager().ScheduleRebuild();
    return changes;
  };
  hooks.BindVideoDevice = [&](TVcEngine* e) { bound.push_back("video " + std::to_string(e->UniqueID)); };
  hooks.BindAudioDevice = [&](TVcEngine* e) { bound.push_back("audio " + std::to_string(e->UniqueID)); };
  SetDeviceListHooks(hooks);
  TVidCap* a = MakeControl();
  TVidCap* b = MakeControl(/*onForm=*/false);
  std::vector<std::string> told;
  auto listen = [&](TVidCap* vc, const std::string& who) {
    vc->OnDeviceArrivalOrRemoval = [&told, who](forms::TObject*, bool arrival, bool video, const String& name,
                                                int32_t index) {
      told.push_back(who + (arrival ? " +" : " -") + (video ? "video " : "audio ") + name + " " +
                     std::to_string(index));
    };
  };
  listen(a, "a");
  listen(b, "b");

  Plug();
  clock.Advance(2700);
  EXPECT_EQ(bound, (std::vector<std::string>{"video 0", "video 1", "audio 0", "audio 1"}));
  EXPECT_EQ(told, (std::vector<std::string>{"a +video @device:sim:camera2 1", "a -video @device:sim:camera1 0",
                                             "a +audio @device:sim:audio2 1"}));
  EXPECT_EQ(Manager().RebuildState, kRebuildNone);
  clock.Advance(5000);
  EXPECT_EQ(bound.size(), 4u) << "the message during the rebuild was dropped";
}

// Two synchronized controls: neither runs its graph until both have built
// theirs; then each runs it in its worker's next cycle. A third control,
// already running and not part of the start, is left alone.
TEST_F(VcDeviceManager, SynchronizedStartReleasesOnlyTheWaitingEngines) {
  TVidCap* vcs[3] = {MakeControl(), MakeControl(), MakeControl()};
  std::shared_ptr<vcworkertest::CountingControl> runs[3];
  for (int i = 0; i < 3; ++i) {
    TVcEngine& e = *vcs[i]->Engine();
    runs[i] = std::make_shared<vcworkertest::CountingControl>();
    e.MediaControl = runs[i];
    e.State = es_Preview;
    e.Synchronized = i < 2;
  }
  TVcEngine& a = *vcs[0]->Engine();
  TVcEngine& b = *vcs[1]->Engine();
  TVcEngine& c = *vcs[2]->Engine();
  a.SyncStartState = 2;  // built, waiting
  c.SyncStartState = 5;  // running on its own
  c.GraphActive = true;

  clock.Advance(2000);
  EXPECT_EQ(a.SyncStartState, 2);
  EXPECT_EQ(runs[0]->runs, 0);

  b.SyncStartState = 2;
  clock.Advance(2000);
  EXPECT_EQ(a.SyncStartState, 5);
  EXPECT_EQ(b.SyncStartState, 5);
  EXPECT_EQ(runs[0]->runs, 1);
  EXPECT_EQ(runs[1]->runs, 1);
  EXPECT_EQ(c.SyncStartState, 5);
  EXPECT_EQ(runs[2]->runs, 0) << "an engine outside the start ran its graph again";
}

// At the first idle moment every control is prepared (its caption cleared,
// its chosen devices bound) and previews start where AutoStartPreview asks
// for them with a capture device as the source. Only once per process.
TEST_F(VcDeviceManager, FirstIdlePreparesControlsAndStartsWantedPreviews) {
  TVidCap* a = MakeControl();
  TVidCap* b = MakeControl();
  a->SetCaption("a");
  a->Engine()->AutoStartPreview = true;
  b->Engine()->AutoStartPreview = true;
  b->Engine()->VideoSource = vs_VideoFileOrURL;
  std::vector<std::string> reports;
  for (TVidCap* vc : {a, b}) {
    vc->OnLog = [&reports, vc, a](forms::TObject*, TLogType, const String& severity, const String& msg) {
      reports.push_back(std::string(vc == a ? "a " : "b ") + severity + " " + msg);
    };
  }
  // Another idle handler that asks for more idle time, so that idling
  // does not wait for a message.
  const int keepBusy = forms::Application->AddIdleHandler([](forms::TObject*, bool& done) { done = false; });
  forms::Application->ProcessMessages();
  forms::Application->HandleMessage();
  forms::Application->HandleMessage();
  forms::Application->RemoveIdleHandler(keepBusy);

  EXPECT_EQ(a->Caption(), "");
  // No camera is plugged in: the preview start is refused, which shows
  // that it was attempted.
  EXPECT_EQ(reports, (std::vector<std::string>{"a INFO no video capture device available"}));
}

// Temporary files come from the program's private folder, one per key for
// the whole process, and go with the manager.
TEST_F(VcDeviceManager, TemporaryFilesOnePerKeyInThePrivateFolder) {
  MakeControl();
  TSyncManager& m = Manager();
  const String a = m.GetTempFile("v~a");
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(std::filesystem::path(a).parent_path(), tempDir / "private");
  EXPECT_EQ(std::filesystem::path(a).filename().string().substr(0, 3), "v~a");
  EXPECT_TRUE(std::filesystem::exists(a));
  std::ofstream(a) << "in use";
  EXPECT_EQ(m.GetTempFile("v~a"), a);
  EXPECT_EQ(std::filesystem::file_size(a), 6u) << "the second request made no new file";
  EXPECT_EQ(m.FindTempFile("v~a"), a);
  EXPECT_EQ(m.FindTempFile("V~A"), "");
  EXPECT_EQ(m.FindTempFile("v~b"), "");
  const String lib = m.GetTempFile("v~filterlib");
  EXPECT_NE(lib, a);
  EXPECT_EQ(std::filesystem::path(lib).filename().string().substr(0, 3), "v~f");

  // A folder that cannot be written: no file, nothing registered.
  rtl::SetTempPath((tempDir / "missing").string());
  EXPECT_EQ(m.GetTempFile("v~b"), "");
  EXPECT_EQ(m.FindTempFile("v~b"), "");

  FreeSyncManager();
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_FALSE(std::filesystem::exists(lib));
}

// Start-up cleans files of other days from the private folder only. The
// virtual clock's day is 2024-01-01; the day and month are compared, not
// the year.
TEST_F(VcDeviceManager, StartUpCleansOldFilesInThePrivateFolderOnly) {
  const std::filesystem::path shared = tempDir / "shared";
  std::filesystem::create_directories(shared);
  struct File {
    std::filesystem::path path;
    rtl::TDateTime date;
    bool stays;
  };
  const File files[] = {
      {tempDir / "private" / "v~old.tmp", 45291.5, false},       // yesterday
      {tempDir / "private" / "tvold.tmp", 45261.5, false},       // 1 December: the month differs
      {tempDir / "private" / "v~today.tmp", 45292.33, true},      // this morning
      {tempDir / "private" / "v~lastyear.tmp", 44927.5, true},    // 1 January 2023
      {tempDir / "private" / "other.tmp", 45291.5, true},         // not ours
      {shared / "v~old.tmp", 45291.5, true},                      // another program's
      {shared / "tvshow.tmp", 45200.5, true},                     //
  };
  for (const File& f : files) {
    std::ofstream(f.path) << "x";
    ASSERT_EQ(rtl::FileSetDateTime(f.path.string(), f.date), 0) << f.path;
  }
  MakeControl();
  for (const File& f : files) EXPECT_EQ(std::filesystem::exists(f.path), f.stays) << f.path;
}

// Without a private temporary folder start-up cleans nothing: neither the
// shared folder nor, through an empty folder name, the working folder.
TEST_F(VcDeviceManager, StartUpWithoutAPrivateFolderCleansNothing) {
  const std::filesystem::path work = tempDir / "work";
  std::filesystem::create_directories(work);
  const std::filesystem::path theirs = work / "tvold.tmp";
  std::ofstream(theirs) << "x";
  ASSERT_EQ(rtl::FileSetDateTime(theirs.string(), 45291.5), 0);
  const std::filesystem::path before = std::filesystem::current_path();
  const char* oldTmp = std::getenv("TMPDIR");
  const std::string savedTmp = oldTmp ? oldTmp : "";
  std::filesystem::current_path(work);
  ::setenv("TMPDIR", "/proc", 1);  // nothing can be made there, not even by root
  rtl::SetTempPath("");
  MakeControl();
  EXPECT_EQ(Manager().GetTempFile("v~a"), "");
  std::filesystem::current_path(before);
  if (oldTmp) ::setenv("TMPDIR", savedTmp.c_str(), 1); else ::unsetenv("TMPDIR");
  EXPECT_TRUE(std::filesystem::exists(theirs));
}

TEST_F(VcDeviceManager, SequenceCounters) {
  MakeControl();
  TSyncManager& m = Manager();
  EXPECT_EQ(m.GetSequenceCount(-1), -1);
  EXPECT_EQ(m.GetSequenceCount(0), -1);
  const int32_t b = m.SequenceIndex("/v/b|File|.avi");
  EXPECT_EQ(m.SequenceIndex("/v/b|File|.avi"), b) << "duplicates are ignored";
  m.SetSequenceCount(b, 2);
  EXPECT_EQ(m.SequenceIndex("/v/a|File|.avi"), 0) << "sorted";
  EXPECT_EQ(m.GetSequenceCount(1), 2);
  EXPECT_EQ(m.GetSequenceCount(0), 0);
  EXPECT_EQ(m.GetSequenceCount(2), -1);
  m.ReleaseSequenceNumber(1);
  m.ReleaseSequenceNumber(1);
  m.ReleaseSequenceNumber(1);
  EXPECT_EQ(m.GetSequenceCount(1), 0) << "never below 0";
  m.ReleaseSequenceNumber(-1);
  m.ReleaseSequenceNumber(5);
}

TEST_F(VcDeviceManager, EngineLookups) {
  TVidCap* vcs[3] = {MakeControl(), MakeControl(), MakeControl()};
  TVcEngine* a = vcs[0]->Engine();
  TVcEngine* b = vcs[1]->Engine();
  TVcEngine* c = vcs[2]->Engine();
  EXPECT_EQ(c->UniqueID, 2);
  EXPECT_EQ(FindEngineByUniqueID(a, 1), b);
  EXPECT_EQ(FindEngineByUniqueID(a, 0), nullptr) << "never the asking engine";
  EXPECT_EQ(FindEngineByUniqueID(a, -1), nullptr);
  EXPECT_EQ(FindEngineByUniqueID(a, 7), nullptr);

  EXPECT_FALSE(LinkMultiplexedSlaves(a));
  a->MultiplexedRole = mr_MultiplexedMaster;
  a->MultiplexedSlaveID[0] = 2;
  a->MultiplexedSlaveID[2] = 9;
  EXPECT_TRUE(LinkMultiplexedSlaves(a));
  EXPECT_EQ(a->Slave[0], c);
  EXPECT_EQ(c->Master, a);
  EXPECT_EQ(a->Slave[2], nullptr);
  EXPECT_EQ(b->Master, nullptr);

  b->Synchronized = true;
  EXPECT_TRUE(IsSynchronizedMaster(b));
  b->MultiplexedRole = mr_MultiplexedSlave;
  EXPECT_FALSE(IsSynchronizedMaster(b));
}

}  // namespace
