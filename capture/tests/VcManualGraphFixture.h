#pragma once
// Tests whose graphs move only when the test pumps them: every device
// counts as found, each new graph gets a manual scheduler, and recordings
// go to <test folder>/videos.
#include <memory>
#include <string>

#include "capture/VcEngine.h"
#include "capture/tests/VidCapTestUtil.h"
#include "platform/mg/Scheduler.h"

namespace captest {

class ManualGraphFixture : public VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    capture::SetDiscoveryHooks({[](capture::TVcEngine&) { return true; }, {}, {}, {}});
    capture::SetGraphSchedulerFactory([] { return std::make_shared<mg::ManualScheduler>(); });
    storage = (dir_ / "videos").string();
  }
  static std::shared_ptr<mg::ManualScheduler> Scheduler(const capture::TVcEngine& e) {
    return e.FilterGraph ? std::dynamic_pointer_cast<mg::ManualScheduler>(e.FilterGraph->GetScheduler()) : nullptr;
  }
  // Lets the window messages, the worker's timer and its tasks run.
  void Settle() {
    for (int i = 0; i < 5; ++i) {
      forms::Application->ProcessMessages();
      clock.Advance(20);
    }
    forms::Application->ProcessMessages();
  }
  std::string storage;
};

}  // namespace captest
