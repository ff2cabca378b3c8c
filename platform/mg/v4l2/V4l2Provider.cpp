#include "platform/mg/v4l2/V4l2Provider.h"

#include "platform/mg/v4l2/V4l2Capture.h"

namespace mg::v4l2 {

V4l2DeviceProvider::V4l2DeviceProvider(std::shared_ptr<V4l2Io> io) : io_(std::move(io)) {}

std::shared_ptr<std::atomic<bool>> V4l2DeviceProvider::PresenceOf(const std::string& path) {
  std::lock_guard lock(mutex_);
  auto& p = presence_[path];
  if (!p) p = std::make_shared<std::atomic<bool>>(true);
  return p;
}

void V4l2DeviceProvider::NodeRemoved(const std::string& path) {
  std::lock_guard lock(mutex_);
  auto it = presence_.find(path);
  if (it == presence_.end()) return;
  it->second->store(false);
  // The next device on this node is another one.
  presence_.erase(it);
}

void V4l2DeviceProvider::NodeAdded(const std::string& path) { NodeRemoved(path); }

bool V4l2DeviceProvider::AnyDevice() {
  DeviceInfo info;
  for (const std::string& node : io_->ListNodes())
    if (QueryCaptureNode(*io_, node, &info)) return true;
  return false;
}

std::vector<std::shared_ptr<Moniker>> V4l2DeviceProvider::Enumerate(const GUID& category) {
  if (category != CLSID_VideoInputDeviceCategory) return {};
  std::vector<std::shared_ptr<Moniker>> list;
  for (const std::string& node : io_->ListNodes()) {
    DeviceInfo info;
    if (!QueryCaptureNode(*io_, node, &info)) continue;
    auto io = io_;
    auto presence = PresenceOf(node);
    // The full description is read when the device is bound, so listing
    // stays quick for a machine with many nodes.
    auto m = std::make_shared<Moniker>("@v4l2:" + node + ":" + info.busInfo, [io, node, presence] {
      DeviceInfo full;
      if (!presence->load() || !ProbeDevice(*io, node, &full)) return std::shared_ptr<BaseFilter>();
      return std::static_pointer_cast<BaseFilter>(V4l2CaptureFilter::Create(io, full, presence));
    });
    m->Properties().Write("FriendlyName", info.card);
    m->Properties().Write("CLSID", CLSID_V4l2Capture.ToString());
    m->Properties().Write("DevicePath", node);
    list.push_back(std::move(m));
  }
  return list;
}

}  // namespace mg::v4l2
