#pragma once
// Watches udev for video and sound devices coming and going, on a thread
// of its own, and hands each event to DispatchHotplugEvent.
namespace mg::udev {

// False when udev cannot be watched (no netlink socket, as in most
// containers); devices are then found at start and on each listing only.
bool StartMonitor();
void StopMonitor();

}  // namespace mg::udev
