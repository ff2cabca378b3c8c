// Temporary stand-ins for the notification worker, the queues and the
// device manager, so that the engine builds and runs its start and stop
// work before they arrive. Queued tasks and events go nowhere here.
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "platform/win/Messages.h"

namespace capture {

namespace {
int32_t engineCount = 0;
bool managerExists = false;
}  // namespace

void TVcEngine::PostTask(int32_t Code) {
  if (Code >= 5) RunTask(Code);
}

void TVcEngine::RunTask(int32_t Code) {
  switch (Code) {
    case TASK_END_ACTIVITY:
      if (GraphActive) EndGraphActivity();
      break;
    case TASK_START_PREVIEW:
      if (RestartGraph(es_Preview)) PostEvent(qe_PreviewStarted);
      break;
    case TASK_START_RECORDING:
      RestartGraph(es_Recording);
      break;
    default:
      break;
  }
}

bool TVcEngine::RunNextTask() { return false; }
void TVcEngine::PostEvent(TVcQueuedEvent) {}
bool TVcEngine::RaiseNextEvent() { return false; }
void TVcEngine::ApplyNotificationPeriod() {}
void TVcEngine::StartWorker() {}
void TVcEngine::EndWorker() {}

int32_t AttachEngineToDeviceManager(TVcEngine*) {
  managerExists = true;
  return engineCount++;
}
void DetachEngineFromDeviceManager(TVcEngine*) {}
bool DeviceManagerExists() { return managerExists; }
forms::TWinControl* DeviceManagerForm() { return nullptr; }
win::UINT GraphEventMessage() {
  static const win::UINT message = win::RegisterWindowMessageA("WMNW-capture-graph-event");
  return message;
}
int32_t DeviceListsState() { return 2; }

}  // namespace capture
