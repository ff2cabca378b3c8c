#pragma once
// Shared pieces of the worker, device-manager and periodic-work tests: a
// fresh device manager per test with the program's temporary folder in a
// folder of the test's own, controls on a form, and a media control that
// counts its runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "capture/VcDeviceManager.h"
#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/forms/Forms.h"
#include "platform/mg/Devices.h"
#include "platform/mg/Graph.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/TempFiles.h"

namespace vcworkertest {

class CountingControl : public mg::IMediaControl {
public:
  std::atomic<int> runs{0};
  mg::HRESULT Run() override {
    ++runs;
    return mg::S_OK;
  }
  mg::HRESULT Pause() override { return mg::S_OK; }
  mg::HRESULT Stop() override { return mg::S_OK; }
  mg::HRESULT GetState(mg::LONG, mg::FILTER_STATE*) override { return mg::S_OK; }
  mg::HRESULT StopWhenReady() override { return mg::S_OK; }
  mg::HRESULT RenderFile(const std::string&) override { return mg::E_NOTIMPL; }
};

// Every test starts with no device manager, no device lists and none to
// build (the manager's own timing is what these tests watch), no busy
// operation, and the simulated provider empty.
class ManagerFixture : public ::testing::Test {
protected:
  void SetUp() override {
    capture::FreeSyncManager();
    capture::ResetDeviceListsState();
    capture::SetDeviceListHooks({});
    capture::ResetBusyCursorCount();
    capture::ResetTraceForTests();
    tempDir = std::filesystem::temp_directory_path() /
              ("vcworker-test-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(tempDir);
    std::filesystem::create_directories(tempDir / "private");
    // The trace file goes to the current folder.
    previousDir_ = std::filesystem::current_path();
    std::filesystem::current_path(tempDir);
    rtl::SetTempPath((tempDir / "private").string());
    sim = mg::sim::SimDeviceProvider::Instance();
    sim->Clear();
    mg::SystemDeviceEnum::AddProvider(sim);
    form = new forms::TForm(nullptr);
  }
  void TearDown() override {
    delete form;
    capture::FreeSyncManager();
    capture::ResetDeviceListHooks();
    capture::ResetBusyCursorCount();
    capture::ResetTraceForTests();
    forms::Screen->SetCursor(forms::crDefault);
    mg::SystemDeviceEnum::RemoveProvider(sim);
    sim->Clear();
    rtl::SetTempPath("");
    std::filesystem::current_path(previousDir_);
    std::filesystem::remove_all(tempDir);
  }

  // A control on the form with a window, or without a parent at all.
  capture::TVidCap* MakeControl(bool onForm = true) {
    auto* vc = new capture::TVidCap(form);
    if (onForm) {
      vc->SetParent(form);
      vc->HandleNeeded();
    }
    return vc;
  }
  static capture::TSyncManager& Manager() { return *capture::SyncManager(); }

  std::filesystem::path tempDir;
  std::shared_ptr<mg::sim::SimDeviceProvider> sim;
  forms::TForm* form = nullptr;

private:
  std::filesystem::path previousDir_;
};

// The same on the virtual clock, installed before the manager's timers.
class ClockedFixture : public ManagerFixture {
protected:
  rtl::ScopedVirtualClock clock;
};

}  // namespace vcworkertest
