#pragma once
// Shared pieces of the capture control's tests: a form holding a control,
// a record of its OnLog reports, a private current folder for the trace
// file, simulated capture devices, and a media control whose runs can be
// made to fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/VcDeviceManager.h"
#include "capture/VcDevices.h"
#include "capture/VcLog.h"
#include "capture/VcWorker.h"
#include "capture/VidCap.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/mg/Graph.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/TempFiles.h"

namespace captest {

// Runs a shell command and returns its standard output.
inline std::string Shell(const std::string& cmd) {
  std::string out;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

struct LogEntry {
  capture::TLogType type;
  std::string severity;
  std::string msg;
  bool operator==(const LogEntry&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const LogEntry& e) {
  return os << "{" << static_cast<int>(e.type) << ", " << e.severity << ", \"" << e.msg << "\"}";
}

class RecordingPresenter : public forms::TMessageBoxPresenter {
public:
  int MessageBox(win::HWND, const forms::String& text, const forms::String& caption, win::UINT flags) override {
    boxes.push_back({text, caption, flags});
    return forms::IDOK;
  }
  struct Box {
    std::string text, caption;
    win::UINT flags;
  };
  std::vector<Box> boxes;
};

// A media control whose Run answers the queued results (S_OK once the
// queue is empty) and that counts its calls.
class ScriptedControl : public mg::IMediaControl {
public:
  std::deque<mg::HRESULT> runResults;
  int runs = 0, stops = 0, pauses = 0;
  mg::HRESULT Run() override {
    ++runs;
    if (runResults.empty()) return mg::S_OK;
    const mg::HRESULT hr = runResults.front();
    runResults.pop_front();
    return hr;
  }
  mg::HRESULT Pause() override {
    ++pauses;
    return mg::S_OK;
  }
  mg::HRESULT Stop() override {
    ++stops;
    return mg::S_OK;
  }
  mg::HRESULT GetState(mg::LONG, mg::FILTER_STATE*) override { return mg::S_OK; }
  mg::HRESULT StopWhenReady() override { return Stop(); }
  mg::HRESULT RenderFile(const std::string&) override { return mg::E_NOTIMPL; }
};

class VidCapFixture : public ::testing::Test {
protected:
  void SetUp() override {
    previousDir_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() /
           ("vidcap-test-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
    capture::ResetTraceForTests();
    ResetComponent();
    std::filesystem::create_directories(dir_ / "private");
    rtl::SetTempPath((dir_ / "private").string());
    rtl::SetRegistryFolder(rtl::HKEY_CURRENT_USER, dir_.string());
    rtl::SetRegistryFolder(rtl::HKEY_LOCAL_MACHINE, dir_.string());
    // The compressors come with the media library's filters; whether some
    // other test registered them first must not matter.
    mg::ff::RegisterFfmpegFilters();
    sim_ = mg::sim::SimDeviceProvider::Instance();
    sim_->Clear();
    mg::SystemDeviceEnum::AddProvider(sim_);
    form = new forms::TForm(nullptr);
    form->SetBounds(0, 0, 400, 400);
  }
  void TearDown() override {
    delete form;
    ResetComponent();
    rtl::SetTempPath("");
    rtl::SetRegistryFolder(rtl::HKEY_CURRENT_USER, "");
    rtl::SetRegistryFolder(rtl::HKEY_LOCAL_MACHINE, "");
    forms::Screen->SetCursor(forms::crDefault);
    mg::SystemDeviceEnum::RemoveProvider(sim_);
    sim_->Clear();
    capture::ResetTraceForTests();
    std::filesystem::current_path(previousDir_);
    std::filesystem::remove_all(dir_);
  }
  // A control on the form, with a window, recording its reports.
  capture::TVidCap* MakeControl() {
    auto* vc = new capture::TVidCap(form);
    vc->SetParent(form);
    vc->HandleNeeded();
    vc->OnLog = [this](forms::TObject*, capture::TLogType t, const std::string& s, const std::string& m) {
      log.push_back({t, s, m});
    };
    return vc;
  }
  void PlugCameras(int n) {
    for (int i = 0; i < n; ++i) sim_->PlugIn(mg::sim::CameraOptions{});
    if (capture::VideoCaptureDevices()) capture::RebuildCaptureDeviceLists();
  }
  // Plugs in any simulated device and rebuilds the lists; its id.
  int PlugIn(const mg::sim::DeviceOptions& options, const std::string& name = {}) {
    const int id = sim_->PlugIn(options, name);
    if (capture::VideoCaptureDevices()) capture::RebuildCaptureDeviceLists();
    return id;
  }
  void UnplugAll() {
    sim_->Clear();
    if (capture::VideoCaptureDevices()) capture::RebuildCaptureDeviceLists();
  }
  // Each test starts as a new process would: no device manager, no device
  // lists, the component's own device handling.
  static void ResetComponent() {
    capture::FreeSyncManager();
    capture::FreeDeviceLists();
    capture::ResetDeviceListsState();
    capture::ResetDeviceListHooks();
    capture::SetDiscoveryHooks({});
    capture::SetGraphBuildHook(nullptr);
    capture::SetGraphSchedulerFactory(nullptr);
    capture::ResetBusyCursorCount();
  }
  // The trace's entries from `from` on, without the RTF colour prefix, the
  // "\par" ending and (unless asked to keep it) the elapsed time.
  static std::vector<std::string> TraceTexts(int from = 0, bool stripTimes = true) {
    std::vector<std::string> out;
    capture::TLog* log = capture::TraceLog();
    if (!log) return out;
    for (int i = from; i < log->Lines().Count(); ++i) {
      std::string s = log->Lines()[i];
      if (s.rfind("\\cf", 0) == 0) s = s.substr(s.find(' ') + 1);
      if (s.size() >= 4 && s.compare(s.size() - 4, 4, "\\par") == 0) s.resize(s.size() - 4);
      if (stripTimes) s = StripElapsedTime(s);
      out.push_back(s);
    }
    return out;
  }
  // "12.345 text" gives "text". Done by hand: std::regex here would be
  // instantiated again by every test file that includes this header.
  static std::string StripElapsedTime(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    if (i == 0 || i + 5 > s.size() || s[i] != '.' || s[i + 4] != ' ') return s;
    for (size_t k = i + 1; k < i + 4; ++k)
      if (s[k] < '0' || s[k] > '9') return s;
    return s.substr(i + 5);
  }
  // Whether some report carried exactly this message.
  bool Logged(const std::string& msg) const {
    return std::any_of(log.begin(), log.end(), [&](const LogEntry& l) { return l.msg == msg; });
  }
  static int TraceCount() { return capture::TraceLog() ? capture::TraceLog()->Lines().Count() : 0; }

  rtl::ScopedVirtualClock clock;
  forms::TForm* form = nullptr;
  std::vector<LogEntry> log;
  std::filesystem::path dir_;

private:
  std::filesystem::path previousDir_;
  std::shared_ptr<mg::sim::SimDeviceProvider> sim_;
};

}  // namespace captest
