#pragma once
// The one place the V4L2 backend touches the kernel: opening device nodes,
// ioctls, buffer mapping and waiting for a frame. Everything above it is
// plain code over the answers, so tests drive it with recorded answers of
// real drivers instead of hardware. Arguments are the kernel's own
// structures (linux/videodev2.h), passed through untouched.
#include <memory>
#include <string>
#include <vector>

namespace mg::v4l2 {

class V4l2Io {
public:
  virtual ~V4l2Io() = default;
  // The video device nodes present now ("/dev/video0", ...), sorted by number.
  virtual std::vector<std::string> ListNodes() = 0;
  // A descriptor, or -errno.
  virtual int Open(const std::string& path) = 0;
  virtual void Close(int fd) = 0;
  // 0, or -errno.
  virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
  // The buffer the driver exported at `offset`, or nullptr.
  virtual void* Map(int fd, size_t length, long offset) = 0;
  virtual void Unmap(void* address, size_t length) = 0;
  // 1 when a frame is ready, 0 on time-out, -errno when the device failed.
  virtual int WaitFrame(int fd, int timeoutMs) = 0;
};

// The kernel itself (open/ioctl/mmap/poll on /dev/video*).
std::shared_ptr<V4l2Io> SystemV4l2Io();

}  // namespace mg::v4l2
