#pragma once
// The device manager that every capture control of the process shares: the
// list of engines, a hidden window that hears of device changes and parents
// controls that have no parent, a 300 ms timer that rebuilds the device
// lists a while after the last change and releases synchronized starts, the
// first-idle preparation of the controls, the program's temporary files and
// the counters of numbered recording files. Everything here runs on the GUI
// thread, except the engine list, which workers and destructors also touch.
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "capture/VcWorker.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Timers.h"

namespace capture {

class TVcEngine;
class TSyncManager;

// One device that came or went in a rebuild of the device lists.
struct TDeviceChange {
  bool IsArrival = true;
  bool IsVideoDevice = true;
  String DeviceName;  // the entry's display name
  int32_t DeviceIndex = -1;
};

// Where the device lists plug in. The lists themselves live elsewhere; the
// manager only says when to build and rebuild them and acts on the changes.
struct TDeviceListHooks {
  // Builds the process's device lists (once, from the manager's start).
  std::function<void()> Create;
  // Rebuilds the video, then the audio capture list, keeping every entry
  // and marking it present or absent, and answers the arrivals and removals
  // found, video entries first, each list in its order.
  std::function<std::vector<TDeviceChange>()> Rebuild;
  // Frees the lists (the manager's end).
  std::function<void()> Free;
  // Binds an engine's chosen video or audio device after an arrival.
  std::function<void(TVcEngine* Engine)> BindVideoDevice;
  std::function<void(TVcEngine* Engine)> BindAudioDevice;
  // The first-idle preparation of one engine; without it the engine binds
  // the devices it has chosen when they are not bound yet.
  std::function<void(TVcEngine* Engine)> PrepareAtFirstIdle;
};
void SetDeviceListHooks(TDeviceListHooks Hooks);
const TDeviceListHooks& DeviceListHooks();

// The hidden window. A form that is never shown; its window exists from the
// start, so that controls without a parent can be given one.
class TSyncGlobalMessages : public forms::TCustomForm {
public:
  explicit TSyncGlobalMessages(TSyncManager* Manager);
  ~TSyncGlobalMessages() override;
  void Dispatch(forms::TMessage& Message) override;

private:
  friend class TSyncManager;
  TSyncManager* manager_;
};

class TSyncTimer : public forms::TTimer {
public:
  explicit TSyncTimer(TSyncManager* Manager);
  int Cursor = 0;
  bool InTick = false;
  TSyncManager* Manager;

protected:
  void Timer() override;
};

// Rebuild states.
inline constexpr int kRebuildNone = 0;
inline constexpr int kRebuildScheduled = 1;
inline constexpr int kRebuildRunning = 2;

// The delay between the last device-change message and the rebuild.
inline constexpr uint32_t kRebuildDelayMs = 2000;
inline constexpr uint32_t kSyncTimerMs = 300;

class TSyncManager {
public:
  TSyncManager();
  ~TSyncManager();
  TSyncManager(const TSyncManager&) = delete;
  TSyncManager& operator=(const TSyncManager&) = delete;

  std::unique_ptr<TSyncTimer> Timer;
  bool Preparing = false;
  TCSList<TVcEngine*> Engines;
  TSyncGlobalMessages* Messages = nullptr;
  uint32_t RebuildDue = 0;
  int RebuildState = kRebuildNone;

  void AppIdle(forms::TObject* Sender, bool& Done);
  void PrepareEngines();
  void ScheduleRebuild();
  void RebuildDeviceLists();
  void ReleaseSynchronizedStart();

  // The temporary file registered for Key (keys compared exactly), or "".
  String FindTempFile(const String& Key) const;
  // The registered file, or a new empty one in the program's private
  // temporary folder, named after the first characters of Key; "" when it
  // cannot be made (nothing is registered then).
  String GetTempFile(const String& Key);

  // The counters of numbered recording names: -1 for index -1 or past the
  // list, else the last number handed out for that name key.
  int32_t GetSequenceCount(int32_t Index) const;
  // Gives a number back: lowers the counter by one while above 0.
  void ReleaseSequenceNumber(int32_t Index);
  // For the allocation: the index of a name key (added with count 0 when
  // new; the list stays sorted, so indexes of later keys move), and the
  // count it stores.
  int32_t SequenceIndex(const String& Key);
  void SetSequenceCount(int32_t Index, int32_t Count);
  // The next number of a numbered name in Folder for Prefix and Extension
  // (every component of the process counts together); the key's index.
  // The first use of a folder and prefix reads the numbers already taken
  // by the files in that folder.
  int32_t NextSequenceNumber(const String& Folder, const String& Prefix, const String& Extension,
                             int32_t& KeyIndex);

private:
  int32_t FindSequenceKey(const String& Key) const;
  void RescanSequenceNumbers(const String& Folder, const String& Prefix);
  friend class TSyncGlobalMessages;
  int idleHandler_ = 0;
  std::vector<std::pair<String, String>> tempFiles_;           // path, key
  std::vector<std::pair<String, int32_t>> sequenceCounters_;  // sorted by key
};

// The manager, or null before the first control was made at run time.
TSyncManager* SyncManager();
// Ends the manager (program end; tests between cases): it frees the device
// lists and deletes the temporary files it handed out.
void FreeSyncManager();

// Once per process, from the manager's start: cleans old temporary files,
// registers the graph-event message and builds the device lists.
void CreateGlobalDeviceLists();
// Deletes "v~*" and "tv*" files not dated today (day and month compared) in
// the program's private temporary folder, and nowhere else: the shared
// folder holds other programs' files.
void CleanOldTempFiles();
// For tests: the first idle moment still to come, and the device lists
// not built, as in a new process.
void ResetDeviceListsState();

// Lookups in the engine list.
// The first engine other than `Asking` whose UniqueID is ID; null for a
// negative ID, without a manager, or when there is none.
TVcEngine* FindEngineByUniqueID(const TVcEngine* Asking, int32_t ID);
// A master links the engines of its slave IDs (both ways); false unless
// the engine is a multiplexing master.
bool LinkMultiplexedSlaves(TVcEngine* Engine);
bool IsSynchronizedMaster(const TVcEngine* Engine);

}  // namespace capture
