#include "platform/mg/udev/UdevMonitor.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "platform/mg/RealDevices.h"

namespace mg::udev {

namespace {

struct Monitor {
  std::mutex mutex;
  std::thread thread;
  int wake = -1;  // an eventfd that ends the thread's wait
};

Monitor& TheMonitor() {
  static Monitor m;
  return m;
}

void Run(struct udev* u, udev_monitor* mon, int wake) {
  const int fd = udev_monitor_get_fd(mon);
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents & POLLIN) break;
    if (!(fds[0].revents & POLLIN)) continue;
    udev_device* d = udev_monitor_receive_device(mon);
    if (!d) continue;
    HotplugEvent e;
    if (const char* a = udev_device_get_action(d)) e.action = a;
    if (const char* s = udev_device_get_subsystem(d)) e.subsystem = s;
    if (const char* n = udev_device_get_devnode(d)) e.devnode = n;
    udev_device_unref(d);
    // Nodes without a device file (a card's parent) say nothing we use.
    if (!e.devnode.empty()) DispatchHotplugEvent(e);
  }
  udev_monitor_unref(mon);
  udev_unref(u);
}

}  // namespace

bool StartMonitor() {
  Monitor& m = TheMonitor();
  std::lock_guard lock(m.mutex);
  if (m.thread.joinable()) return true;
  struct udev* u = udev_new();
  if (!u) return false;
  udev_monitor* mon = udev_monitor_new_from_netlink(u, "udev");
  if (!mon || udev_monitor_filter_add_match_subsystem_devtype(mon, "video4linux", nullptr) < 0 ||
      udev_monitor_filter_add_match_subsystem_devtype(mon, "sound", nullptr) < 0 ||
      udev_monitor_enable_receiving(mon) < 0) {
    if (mon) udev_monitor_unref(mon);
    udev_unref(u);
    return false;
  }
  m.wake = ::eventfd(0, EFD_CLOEXEC);
  if (m.wake < 0) {
    udev_monitor_unref(mon);
    udev_unref(u);
    return false;
  }
  m.thread = std::thread(Run, u, mon, m.wake);
  return true;
}

void StopMonitor() {
  Monitor& m = TheMonitor();
  std::lock_guard lock(m.mutex);
  if (!m.thread.joinable()) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(m.wake, &one, sizeof one);
  m.thread.join();
  ::close(m.wake);
  m.wake = -1;
}

}  // namespace mg::udev
