#include "capture/VcDeviceManager.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TempFiles.h"
#include "platform/win/MessageIds.h"
#include "platform/win/Messages.h"

namespace capture {

namespace {

TSyncManager* g_manager = nullptr;
// The component's own lists and binding from the start, so every host gets
// the same device handling; tests may put others in their place.
TDeviceListHooks g_hooks = MakeDeviceListHooks();
// 0 not built, 1 being built, 2 built.
int32_t g_deviceListsState = 0;
bool g_firstIdleDone = false;
win::UINT g_graphEventMessage = 0;

void RegisterGraphEventMessage() {
  if (g_graphEventMessage == 0)
    g_graphEventMessage = win::RegisterWindowMessageA(("WMNW" + std::to_string(rtl::GetTickCount())).c_str());
}

}  // namespace

void SetDeviceListHooks(TDeviceListHooks Hooks) { g_hooks = std::move(Hooks); }
const TDeviceListHooks& DeviceListHooks() { return g_hooks; }

// ---------------------------------------------------------------------------
// The process-wide entry points the engine and the control use

TSyncManager* SyncManager() { return g_manager; }

void FreeSyncManager() {
  delete g_manager;
  g_manager = nullptr;
}

int32_t AttachEngineToDeviceManager(TVcEngine* Engine) {
  if (!g_manager) g_manager = new TSyncManager;
  return g_manager->Engines.Add(Engine);
}

void DetachEngineFromDeviceManager(TVcEngine* Engine) {
  if (g_manager) g_manager->Engines.Remove(Engine);
}

bool DeviceManagerExists() { return g_manager != nullptr; }

forms::TWinControl* DeviceManagerForm() { return g_manager ? g_manager->Messages : nullptr; }

win::UINT GraphEventMessage() {
  // Asked for before any manager (a control at design time): registered
  // now, so that the number never is 0, which every window receives.
  RegisterGraphEventMessage();
  return g_graphEventMessage;
}

int32_t DeviceListsState() { return g_deviceListsState; }

void ResetDeviceListsState() {
  g_deviceListsState = 0;
  g_firstIdleDone = false;
}

// ---------------------------------------------------------------------------
// Start-up work

void CleanOldTempFiles() {
  // Only the program's own folder: the system's temporary folder is shared
  // with other programs and users, whose "tv*" files are none of our
  // business.
  const String folder = rtl::GetTempPath();
  if (folder.empty()) {
    // An empty folder would turn the patterns below into names in the
    // working folder; better to leave old files than to delete others'.
    TraceLine(CF_RED, "ERROR: no private temporary folder can be made in " + rtl::SystemTempFolder() +
                          "; old temporary files are not cleaned");
    return;
  }
  uint16_t year, month, day;
  rtl::DecodeDate(rtl::Now(), year, month, day);
  for (const char* pattern : {"v~*", "tv*"}) {
    rtl::TSearchRec f;
    std::vector<String> old;
    for (int found = rtl::FindFirst(folder + pattern, rtl::faAnyFile, f); found == 0; found = rtl::FindNext(f)) {
      if (f.Attr & rtl::faDirectory) continue;
      uint16_t fy, fm, fd;
      rtl::DecodeDate(f.TimeStamp, fy, fm, fd);
      // The year is not compared: a file of this day a year ago stays.
      if (fd != day || fm != month) old.push_back(folder + f.Name);
    }
    rtl::FindClose(f);
    for (const String& path : old) rtl::DeleteFile(path);  // undeletable ones are skipped
  }
}

void CreateGlobalDeviceLists() {
  if (DesignTime() || g_deviceListsState != 0) return;
  g_deviceListsState = 1;
  CleanOldTempFiles();
  std::srand(static_cast<unsigned>(rtl::GetTickCount()));
  RegisterGraphEventMessage();
  TraceLine(CF_DEFAULT, "creating devs");
  if (g_hooks.Create) g_hooks.Create();
  g_deviceListsState = 2;
}

// ---------------------------------------------------------------------------
// TSyncGlobalMessages

TSyncGlobalMessages::TSyncGlobalMessages(TSyncManager* Manager) : forms::TCustomForm(nullptr), manager_(Manager) {
  SetTag(reinterpret_cast<intptr_t>(Manager));
  HandleNeeded();
  mg::sim::RegisterDeviceChangeWindow(Handle());
}

TSyncGlobalMessages::~TSyncGlobalMessages() {
  if (HandleAllocated()) mg::sim::UnregisterDeviceChangeWindow(Handle());
  // Whoever frees the window first, the manager must not free it again.
  if (manager_) manager_->Messages = nullptr;
}

void TSyncGlobalMessages::Dispatch(forms::TMessage& Message) {
  forms::TCustomForm::Dispatch(Message);
  // What changed is not looked at: any change may add or remove a device.
  if (Message.Msg == win::WM_DEVICECHANGE && manager_) manager_->ScheduleRebuild();
}

// ---------------------------------------------------------------------------
// TSyncTimer

TSyncTimer::TSyncTimer(TSyncManager* Manager) : forms::TTimer(nullptr), Manager(Manager) {
  SetEnabled(false);
  SetInterval(kSyncTimerMs);
}

void TSyncTimer::Timer() {
  if (InTick) return;
  InTick = true;
  // One engine per tick: a walk of n engines takes n + 1 ticks.
  TVcEngine* engine = Manager->Engines.Next(Cursor);
  if (!engine) {
    Cursor = 0;
  } else if (engine->SyncStartState == 2) {
    Manager->ReleaseSynchronizedStart();
  } else if (Manager->RebuildState == kRebuildScheduled) {
    Manager->RebuildDeviceLists();
  }
  InTick = false;
}

// ---------------------------------------------------------------------------
// TSyncManager

TSyncManager::TSyncManager() {
  std::srand(static_cast<unsigned>(rtl::GetTickCount()));
  CreateGlobalDeviceLists();
  Messages = new TSyncGlobalMessages(this);
  Timer = std::make_unique<TSyncTimer>(this);
  // An added idle handler rather than the application's OnIdle: the
  // program's own OnIdle keeps working, and assigning it later cannot
  // unhook the manager.
  if (forms::Application)
    idleHandler_ = forms::Application->AddIdleHandler([this](forms::TObject* s, bool& d) { AppIdle(s, d); });
  Timer->SetEnabled(true);
}

TSyncManager::~TSyncManager() {
  TraceLine(CF_DEFAULT, "freeing global resources");
  if (idleHandler_ && forms::Application) forms::Application->RemoveIdleHandler(idleHandler_);
  Timer.reset();
  if (Messages) {
    Messages->manager_ = nullptr;
    delete Messages;
    Messages = nullptr;
  }
  TraceClosingBlock();
  // The device lists go with the manager; a later one builds them anew.
  if (g_deviceListsState == 2 && g_hooks.Free) g_hooks.Free();
  g_deviceListsState = 0;
  for (const auto& [path, key] : tempFiles_) rtl::DeleteFile(path);
  tempFiles_.clear();
}

void TSyncManager::AppIdle(forms::TObject*, bool& Done) {
  Done = true;
  if (!g_firstIdleDone) {
    g_firstIdleDone = true;
    PrepareEngines();
  }
}

void TSyncManager::PrepareEngines() {
  if (Preparing) return;
  Preparing = true;
  int cursor = 0;
  for (TVcEngine* e = Engines.First(cursor); e; e = Engines.Next(cursor)) {
    if (g_hooks.PrepareAtFirstIdle) {
      g_hooks.PrepareAtFirstIdle(e);
    } else {
      if (e->Owner) e->Owner->SetCaption("");
      if (e->VideoDevice != e->BoundVideoDevice) e->EnsureDevicesBound();
    }
    if (e->AutoStartPreview && e->VideoSource == vs_VideoCaptureDevice &&
        e->MultiplexedRole != mr_MultiplexedSlave && e->State == es_Idle && e->Owner)
      e->Owner->StartPreview();
  }
  Preparing = false;
}

void TSyncManager::ScheduleRebuild() {
  if (RebuildState == kRebuildRunning) return;
  RebuildDue = rtl::GetTickCount() + kRebuildDelayMs;
  RebuildState = kRebuildScheduled;
}

void TSyncManager::RebuildDeviceLists() {
  if (rtl::GetTickCount() < RebuildDue) return;
  RebuildState = kRebuildRunning;
  std::vector<TDeviceChange> changes;
  if (g_hooks.Rebuild) changes = g_hooks.Rebuild();
  for (const TDeviceChange& change : changes) {
    int cursor = 0;
    for (TVcEngine* e = Engines.First(cursor); e; e = Engines.Next(cursor)) {
      if (e->Destroying) continue;
      if (change.IsArrival) {
        const auto& bind = change.IsVideoDevice ? g_hooks.BindVideoDevice : g_hooks.BindAudioDevice;
        if (bind) bind(e);
      }
      TVidCap* c = e->Owner;
      if (c && e->CanRaiseEvent(c->OnDeviceArrivalOrRemoval))
        c->OnDeviceArrivalOrRemoval(c, change.IsArrival, change.IsVideoDevice, change.DeviceName,
                                    change.DeviceIndex);
    }
  }
  RebuildState = kRebuildNone;
}

void TSyncManager::ReleaseSynchronizedStart() {
  int cursor = 0;
  for (TVcEngine* e = Engines.First(cursor); e; e = Engines.Next(cursor))
    if (IsSynchronizedMaster(e) && e->SyncStartState != 2) return;
  // Only the engines that built their graph for this start and wait for it
  // go: a running engine outside it would otherwise activate its graph a
  // second time (and, recording, announce the recording again).
  for (TVcEngine* e = Engines.First(cursor); e; e = Engines.Next(cursor))
    if (e->SyncStartState == 2) e->SyncStartState = 3;
}

String TSyncManager::FindTempFile(const String& Key) const {
  for (const auto& [path, key] : tempFiles_)
    if (key == Key) return path;
  return String();
}

String TSyncManager::GetTempFile(const String& Key) {
  String path = FindTempFile(Key);
  if (!path.empty()) return path;
  const String folder = rtl::GetTempPath();
  if (folder.empty()) return String();
  if (rtl::GetTempFileName(folder, Key.substr(0, 9), 0, path) == 0 || path.empty()) return String();
  tempFiles_.emplace_back(path, Key);
  return path;
}

int32_t TSyncManager::GetSequenceCount(int32_t Index) const {
  if (Index < 0 || Index >= static_cast<int32_t>(sequenceCounters_.size())) return -1;
  return sequenceCounters_[static_cast<size_t>(Index)].second;
}

void TSyncManager::ReleaseSequenceNumber(int32_t Index) {
  if (Index < 0 || Index >= static_cast<int32_t>(sequenceCounters_.size())) return;
  int32_t& count = sequenceCounters_[static_cast<size_t>(Index)].second;
  if (count > 0) --count;
}

int32_t TSyncManager::SequenceIndex(const String& Key) {
  auto it = std::lower_bound(sequenceCounters_.begin(), sequenceCounters_.end(), Key,
                             [](const auto& entry, const String& k) { return entry.first < k; });
  if (it == sequenceCounters_.end() || it->first != Key) it = sequenceCounters_.insert(it, {Key, 0});
  return static_cast<int32_t>(it - sequenceCounters_.begin());
}

void TSyncManager::SetSequenceCount(int32_t Index, int32_t Count) {
  if (Index < 0 || Index >= static_cast<int32_t>(sequenceCounters_.size())) return;
  sequenceCounters_[static_cast<size_t>(Index)].second = Count;
}

// ---------------------------------------------------------------------------
// Engine lookups

TVcEngine* FindEngineByUniqueID(const TVcEngine* Asking, int32_t ID) {
  if (ID < 0 || !g_manager) return nullptr;
  int cursor = 0;
  for (TVcEngine* e = g_manager->Engines.First(cursor); e; e = g_manager->Engines.Next(cursor))
    if (e != Asking && e->UniqueID == ID) return e;
  return nullptr;
}

bool LinkMultiplexedSlaves(TVcEngine* Engine) {
  if (Engine->MultiplexedRole != mr_MultiplexedMaster) return false;
  for (int i = 0; i < 4; ++i) {
    const int32_t id = Engine->MultiplexedSlaveID[i];
    if (id == -1) continue;
    if (TVcEngine* slave = FindEngineByUniqueID(Engine, id)) {
      Engine->Slave[i] = slave;
      slave->Master = Engine;
    }
  }
  return true;
}

bool IsSynchronizedMaster(const TVcEngine* Engine) {
  return Engine->Synchronized && Engine->MultiplexedRole != mr_MultiplexedSlave;
}

}  // namespace capture

namespace capture {

int32_t TSyncManager::FindSequenceKey(const String& Key) const {
  auto it = std::lower_bound(sequenceCounters_.begin(), sequenceCounters_.end(), Key,
                             [](const auto& entry, const String& k) { return entry.first < k; });
  if (it == sequenceCounters_.end() || it->first != Key) return -1;
  return static_cast<int32_t>(it - sequenceCounters_.begin());
}

void TSyncManager::RescanSequenceNumbers(const String& Folder, const String& Prefix) {
  std::error_code ec;
  const std::filesystem::path dir = Folder.empty() ? std::filesystem::path(".") : std::filesystem::path(Folder);
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const String name = entry.path().filename().string();
    if (name.compare(0, Prefix.size(), Prefix) != 0) continue;
    const size_t dot = name.find('.');
    // A name that starts with its dot has no number before it.
    if (dot == String::npos || dot == 0) continue;
    const int32_t index = FindSequenceKey(Folder + Prefix + name.substr(dot + 1));
    if (index < 0 || dot < 6) continue;
    const String digits = name.substr(dot - 6, 6);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    const int32_t number = std::stoi(digits);
    int32_t& count = sequenceCounters_[static_cast<size_t>(index)].second;
    if (number > count) count = number;
  }
}

int32_t TSyncManager::NextSequenceNumber(const String& Folder, const String& Prefix, const String& Extension,
                                         int32_t& KeyIndex) {
  String folder = Folder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  const String key = folder + Prefix + Extension;
  KeyIndex = FindSequenceKey(key);
  if (KeyIndex < 0) {
    bool added = false;
    for (const String& ext : {String("bmp"), String("jpg"), Extension})
      if (FindSequenceKey(folder + Prefix + ext) < 0) {
        SequenceIndex(folder + Prefix + ext);
        added = true;
      }
    if (added) RescanSequenceNumbers(folder, Prefix);
    KeyIndex = FindSequenceKey(key);
  }
  if (KeyIndex < 0) {
    TraceLine(CF_RED, "ERROR: sequential file count not found: " + key);
    return 1;
  }
  int32_t& count = sequenceCounters_[static_cast<size_t>(KeyIndex)].second;
  return ++count;
}

}  // namespace capture
