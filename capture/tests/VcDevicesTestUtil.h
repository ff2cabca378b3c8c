#pragma once
// Shared pieces of the device-list, registry and dialog tests: each test
// starts as a new process would (no manager, no lists, an empty registry
// in a folder of its own, no simulated device plugged), plus a provider
// whose devices the test lists by hand and controls on a form whose OnLog
// reports are kept.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/VcDeviceManager.h"
#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VcWorker.h"
#include "capture/VidCap.h"
#include "platform/forms/Forms.h"
#include "platform/mg/Devices.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/TempFiles.h"

namespace vcdevtest {

// Devices listed by hand: friendly name, display name and class id per
// category; a device can be taken away and brought back.
class HandProvider : public mg::DeviceProvider {
public:
  struct Device {
    mg::GUID category;
    std::string friendlyName;
    std::string displayName;
    std::string clsid;  // "" for none
    bool present = true;
  };
  std::vector<std::shared_ptr<mg::Moniker>> Enumerate(const mg::GUID& category) override {
    std::lock_guard lock(mutex);
    std::vector<std::shared_ptr<mg::Moniker>> list;
    for (const Device& d : devices) {
      if (!d.present || d.category != category) continue;
      auto m = std::make_shared<mg::Moniker>(d.displayName, [] { return std::shared_ptr<mg::BaseFilter>(); });
      m->Properties().Write("FriendlyName", d.friendlyName);
      if (!d.clsid.empty()) m->Properties().Write("CLSID", d.clsid);
      list.push_back(std::move(m));
    }
    return list;
  }
  void Add(const mg::GUID& category, const std::string& name, const std::string& clsid = "{00000000-0000-0000-0000-000000000001}") {
    std::lock_guard lock(mutex);
    devices.push_back({category, name, "@device:test:" + name + "#" + std::to_string(devices.size()), clsid, true});
  }
  void SetPresent(const std::string& name, bool present) {
    std::lock_guard lock(mutex);
    for (Device& d : devices)
      if (d.friendlyName == name) d.present = present;
  }
  std::mutex mutex;
  std::vector<Device> devices;
};

struct LogEntry {
  capture::TLogType type;
  std::string severity;
  std::string msg;
};

class DevicesFixture : public ::testing::Test {
protected:
  void SetUp() override {
    capture::FreeSyncManager();
    capture::ResetDeviceListsState();
    capture::FreeDeviceLists();
    capture::ResetDeviceListHooks();
    capture::SetDiscoveryHooks({});
    capture::SetVfwDriverNameSource(nullptr);
    capture::ResetBusyCursorCount();
    capture::ResetTraceForTests();
    tempDir = std::filesystem::temp_directory_path() /
              ("vcdevices-test-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(tempDir);
    std::filesystem::create_directories(tempDir / "private");
    std::filesystem::create_directories(tempDir / "registry");
    rtl::SetTempPath((tempDir / "private").string());
    rtl::SetRegistryFolder(rtl::HKEY_CURRENT_USER, (tempDir / "registry").string());
    rtl::SetRegistryFolder(rtl::HKEY_LOCAL_MACHINE, (tempDir / "registry").string());
    sim = mg::sim::SimDeviceProvider::Instance();
    sim->Clear();
    mg::SystemDeviceEnum::AddProvider(sim);
    hand = std::make_shared<HandProvider>();
    mg::SystemDeviceEnum::AddProvider(hand);
    form = new forms::TForm(nullptr);
  }
  void TearDown() override {
    delete form;
    capture::FreeSyncManager();
    capture::FreeDeviceLists();
    capture::ResetDeviceListsState();
    capture::ResetDeviceListHooks();
    capture::SetDiscoveryHooks({});
    capture::SetVfwDriverNameSource(nullptr);
    capture::ResetBusyCursorCount();
    capture::ResetTraceForTests();
    forms::Screen->SetCursor(forms::crDefault);
    mg::SystemDeviceEnum::RemoveProvider(hand);
    mg::SystemDeviceEnum::RemoveProvider(sim);
    sim->Clear();
    rtl::SetTempPath("");
    rtl::SetRegistryFolder(rtl::HKEY_CURRENT_USER, "");
    rtl::SetRegistryFolder(rtl::HKEY_LOCAL_MACHINE, "");
    std::filesystem::remove_all(tempDir);
  }

  // A control on the form with a window, whose reports are kept in `log`.
  // The device lists are built (through the manager) by the first one.
  capture::TVidCap* MakeControl() {
    auto* vc = new capture::TVidCap(form);
    vc->SetParent(form);
    vc->HandleNeeded();
    vc->OnLog = [this](forms::TObject*, capture::TLogType type, const std::string& severity, const std::string& msg) {
      log.push_back({type, severity, msg});
    };
    return vc;
  }

  std::vector<std::string> Names(const capture::TDevices& list) const {
    std::vector<std::string> names;
    for (const auto& e : list.Entries) names.push_back(e.DisplayName);
    return names;
  }

  bool Logged(const std::string& msg) const {
    for (const LogEntry& e : log)
      if (e.msg == msg) return true;
    return false;
  }

  std::filesystem::path tempDir;
  std::shared_ptr<mg::sim::SimDeviceProvider> sim;
  std::shared_ptr<HandProvider> hand;
  forms::TForm* form = nullptr;
  std::vector<LogEntry> log;
};

}  // namespace vcdevtest
