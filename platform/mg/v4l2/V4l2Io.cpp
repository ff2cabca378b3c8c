#include "platform/mg/v4l2/V4l2Io.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace mg::v4l2 {

namespace {

class SystemIo : public V4l2Io {
public:
  std::vector<std::string> ListNodes() override {
    std::vector<std::pair<int, std::string>> found;
    if (DIR* d = ::opendir("/dev")) {
      while (dirent* e = ::readdir(d)) {
        if (std::strncmp(e->d_name, "video", 5) != 0) continue;
        char* end = nullptr;
        const long n = std::strtol(e->d_name + 5, &end, 10);
        if (end == e->d_name + 5 || *end != '\0') continue;
        found.emplace_back(static_cast<int>(n), std::string("/dev/") + e->d_name);
      }
      ::closedir(d);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> nodes;
    for (auto& f : found) nodes.push_back(f.second);
    return nodes;
  }
  int Open(const std::string& path) override {
    // Non-blocking, so a dequeue never hangs the streaming thread; the
    // wait is done by WaitFrame with a time-out.
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
  }
  void Close(int fd) override {
    if (fd >= 0) ::close(fd);
  }
  int Ioctl(int fd, unsigned long request, void* arg) override {
    int r;
    do {
      r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r < 0 ? -errno : 0;
  }
  void* Map(int fd, size_t length, long offset) override {
    void* p = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
    return p == MAP_FAILED ? nullptr : p;
  }
  void Unmap(void* address, size_t length) override {
    if (address) ::munmap(address, length);
  }
  int WaitFrame(int fd, int timeoutMs) override {
    pollfd p{fd, POLLIN, 0};
    int r;
    do {
      r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -errno;
    if (r == 0) return 0;
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return (p.revents & POLLIN) ? 1 : -ENODEV;
    return 1;
  }
};

}  // namespace

std::shared_ptr<V4l2Io> SystemV4l2Io() {
  static const std::shared_ptr<V4l2Io> io = std::make_shared<SystemIo>();
  return io;
}

}  // namespace mg::v4l2
