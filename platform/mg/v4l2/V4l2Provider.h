#pragma once
// The V4L2 capture devices as the device enumerator sees them: every
// /dev/video* node that captures video and streams, named
// "@v4l2:/dev/videoN:<bus>" with the driver's card name as friendly name.
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/mg/Devices.h"
#include "platform/mg/v4l2/V4l2Io.h"

namespace mg::v4l2 {

class V4l2DeviceProvider : public DeviceProvider {
public:
  explicit V4l2DeviceProvider(std::shared_ptr<V4l2Io> io);
  std::vector<std::shared_ptr<Moniker>> Enumerate(const GUID& category) override;
  // Whether any capture device is present now.
  bool AnyDevice();
  // A node was removed: filters made for it stop delivering and report
  // the loss. An added node starts afresh.
  void NodeRemoved(const std::string& path);
  void NodeAdded(const std::string& path);

private:
  std::shared_ptr<std::atomic<bool>> PresenceOf(const std::string& path);
  std::shared_ptr<V4l2Io> io_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<std::atomic<bool>>> presence_;
};

}  // namespace mg::v4l2
