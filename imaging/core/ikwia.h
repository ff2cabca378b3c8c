#pragma once
// TIKWia connects an input/output component to the system's image
// acquisition device manager (scanners and cameras) and reports the
// manager's item events. Linux has no such device manager: the object is
// made without one, registers nothing, and acquires nothing; its events
// can still be fed in, so that whatever listens to them is exercised.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/core/ikdefs.h"

namespace imaging {

class TImgKitIO;
class TIKBitmap;
class TIKWia;

// Last device event codes.
enum : uint8_t {
  ikWiaEventNone = 0,
  ikWiaItemsTreeUpdated = 1,
  ikWiaItemCreated = 2,
  ikWiaItemDeleted = 3,
};

// The device manager's events, as it names them.
enum class TIKWiaEventId { ItemTreeUpdated, ItemCreated, ItemDeleted, Other };

// Receives the device manager's events for its owner.
class TWiaEventCallBack {
public:
  explicit TWiaEventCallBack(TIKWia* owner) : owner_(owner) {}
  // Always reports success, whatever the event.
  int32_t ImageEventCallback(TIKWiaEventId eventId);
  void ForgetOwner() { owner_ = nullptr; }

private:
  TIKWia* owner_;
};

class TIKWia {
public:
  explicit TIKWia(TImgKitIO* owner);
  ~TIKWia();
  TIKWia(const TIKWia&) = delete;
  TIKWia& operator=(const TIKWia&) = delete;

  // Fired after every registered device event, with this object as sender.
  std::function<void(TIKWia* Sender)> OnItemsTreeUpdated;
  // Called for each acquired image; unused until acquisition exists.
  std::function<void(TIKBitmap* bitmap)> OnAcquireBitmap;
  // (percent) -> continue; set by the owner.
  std::function<bool(int32_t percent)> ProgressCallback;

  TImgKitIO* Owner() const { return owner_; }
  // True when the system's device manager was reached (never on Linux).
  bool HasDeviceManager() const { return deviceManager_ != nullptr; }
  // Registered event callbacks (none without a device manager).
  int32_t RegisteredEvents() const;
  int32_t DeviceCount() const { return static_cast<int32_t>(devices_.size()); }
  void ClearDevices();
  uint8_t LastEvent() const { return lastEvent_; }

  bool TakePicture = true;
  bool DeleteTakenPicture = false;
  String SaveTransferBufferAs;
  uint8_t TransferFormat = 0;
  int32_t DeviceIndex = 0;

  // The entry the device manager calls; tests call it in its place.
  TWiaEventCallBack& EventSink() { return *sink_; }

private:
  friend class TWiaEventCallBack;
  struct DeviceInfo {
    String Id, Name;
  };

  TImgKitIO* owner_;
  TIKBitmap* processing_ = nullptr;
  std::vector<std::unique_ptr<DeviceInfo>> devices_;
  std::shared_ptr<void> rootItem_;
  std::shared_ptr<void> deviceManager_;
  std::shared_ptr<TWiaEventCallBack> registrations_[3];
  std::unique_ptr<TWiaEventCallBack> sink_;
  uint8_t lastEvent_ = ikWiaEventNone;
};

}  // namespace imaging
