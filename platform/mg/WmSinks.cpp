#include "platform/mg/WmSinks.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace mg::wm {

namespace {

// A client that reads slower than the stream comes is let go once this
// much waits for it, rather than holding up the graph or growing without
// end.
constexpr size_t kMaxPending = 16u << 20;
constexpr size_t kMaxRequest = 8192;

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

struct NetworkSink::Client {
  int fd = -1;
  std::string request;
  bool active = false;
  bool drainThenClose = false;
  std::string pending;
  ~Client() { CloseFd(fd); }
};

NetworkSink::NetworkSink() = default;

NetworkSink::~NetworkSink() { Close(); }

HRESULT NetworkSink::SetNetworkProtocol(WMT_NET_PROTOCOL protocol) {
  return protocol == WMT_PROTOCOL_HTTP ? S_OK : E_INVALIDARG;
}

HRESULT NetworkSink::SetMaximumClients(DWORD clients) {
  std::lock_guard lock(mutex_);
  maxClients_ = clients;
  return S_OK;
}

HRESULT NetworkSink::GetMaximumClients(DWORD* clients) const {
  if (!clients) return E_POINTER;
  std::lock_guard lock(mutex_);
  *clients = maxClients_;
  return S_OK;
}

HRESULT NetworkSink::Open(DWORD* port) {
  if (!port) return E_POINTER;
  if (*port > 65535) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  if (listen_ >= 0) return E_UNEXPECTED;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return E_FAIL;
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(*port));
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    CloseFd(fd);
    return E_FAIL;
  }
  ::fcntl(fd, F_SETFL, O_NONBLOCK);
  listen_ = fd;
  port_ = ntohs(addr.sin_port);
  *port = port_;
  thread_ = std::thread(&NetworkSink::Serve, this);
  return S_OK;
}

HRESULT NetworkSink::GetHostURL(std::string* url) const {
  if (!url) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (listen_ < 0) return E_UNEXPECTED;
  *url = "http://127.0.0.1:" + std::to_string(port_);
  return S_OK;
}

HRESULT NetworkSink::Close() {
  {
    std::unique_lock lock(mutex_);
    if (listen_ < 0) return S_FALSE;
    // What the clients were sent before the end still reaches them, unless
    // they stop reading.
    changed_.wait_for(lock, std::chrono::seconds(2), [&] {
      for (const auto& c : clients_)
        if (!c->pending.empty()) return false;
      return true;
    });
    CloseFd(listen_);
    if (wake_[1] >= 0) (void)!::write(wake_[1], "x", 1);
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  clients_.clear();
  CloseFd(wake_[0]);
  CloseFd(wake_[1]);
  changed_.notify_all();
  return S_OK;
}

size_t NetworkSink::ClientCount() const {
  std::lock_guard lock(mutex_);
  size_t n = 0;
  for (const auto& c : clients_) n += c->active ? 1 : 0;
  return n;
}

bool NetworkSink::WaitForClients(size_t n, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    size_t active = 0;
    for (const auto& c : clients_) active += c->active ? 1 : 0;
    return active >= n;
  });
}

// Under the lock: queue for every client that has asked for the stream and
// send what the socket takes now; the serving thread sends the rest.
void NetworkSink::SendToAll(const uint8_t* data, size_t size) {
  bool waiting = false;
  for (size_t i = 0; i < clients_.size();) {
    Client& c = *clients_[i];
    if (!c.active) {
      ++i;
      continue;
    }
    c.pending.append(reinterpret_cast<const char*>(data), size);
    while (!c.pending.empty()) {
      const ssize_t n = ::send(c.fd, c.pending.data(), c.pending.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
      if (n <= 0) break;
      c.pending.erase(0, static_cast<size_t>(n));
    }
    if (c.pending.size() > kMaxPending) {
      DropClient(i);
      continue;
    }
    waiting |= !c.pending.empty();
    ++i;
  }
  if (waiting && wake_[1] >= 0) (void)!::write(wake_[1], "x", 1);
}

void NetworkSink::DropClient(size_t index) {
  clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(index));
  changed_.notify_all();
}

HRESULT NetworkSink::OnHeader(const uint8_t* data, size_t size) {
  std::lock_guard lock(mutex_);
  if (headerDone_) {
    // A new run: its header replaces the last one's.
    header_.clear();
    headerDone_ = false;
  }
  header_.insert(header_.end(), data, data + size);
  SendToAll(data, size);
  return S_OK;
}

HRESULT NetworkSink::OnDataUnit(const uint8_t* data, size_t size) {
  std::lock_guard lock(mutex_);
  headerDone_ = true;
  SendToAll(data, size);
  return S_OK;
}

HRESULT NetworkSink::OnEndWriting() {
  std::lock_guard lock(mutex_);
  headerDone_ = true;
  // The stream is over for those who watched it: they get what is queued
  // and then the end of the connection.
  for (auto& c : clients_)
    if (c->active) c->drainThenClose = true;
  if (wake_[1] >= 0) (void)!::write(wake_[1], "x", 1);
  return S_OK;
}

void NetworkSink::Serve() {
  for (;;) {
    std::vector<pollfd> fds;
    {
      std::lock_guard lock(mutex_);
      if (listen_ < 0) return;
      fds.push_back({wake_[0], POLLIN, 0});
      fds.push_back({listen_, POLLIN, 0});
      for (auto& c : clients_) {
        short events = POLLIN;
        if (!c->pending.empty()) events |= POLLOUT;
        fds.push_back({c->fd, events, 0});
      }
    }
    if (::poll(fds.data(), fds.size(), 1000) < 0 && errno != EINTR) return;
    std::lock_guard lock(mutex_);
    if (listen_ < 0) return;
    char drain[64];
    while (::read(wake_[0], drain, sizeof drain) > 0) {
    }
    // Clients are matched by descriptor: the list may have changed while
    // poll waited.
    for (size_t k = 2; k < fds.size(); ++k) {
      if (!fds[k].revents) continue;
      for (size_t i = 0; i < clients_.size(); ++i) {
        Client& c = *clients_[i];
        if (c.fd != fds[k].fd) continue;
        bool drop = (fds[k].revents & (POLLERR | POLLNVAL)) != 0;
        if (!drop && (fds[k].revents & (POLLIN | POLLHUP))) {
          char buf[1024];
          const ssize_t n = ::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
          if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            drop = true;
          } else if (n > 0 && !c.active) {
            c.request.append(buf, static_cast<size_t>(n));
            if (c.request.find("\r\n\r\n") != std::string::npos) {
              const bool get = c.request.starts_with("GET ");
              c.pending = get ? "HTTP/1.0 200 OK\r\nContent-Type: video/x-ms-asf\r\nCache-Control: no-cache\r\n\r\n"
                              : "HTTP/1.0 405 Method Not Allowed\r\n\r\n";
              if (get) {
                c.pending.append(header_.begin(), header_.end());
                c.active = true;
              } else {
                c.drainThenClose = true;
              }
              changed_.notify_all();
            } else if (c.request.size() > kMaxRequest) {
              drop = true;
            }
          }
        }
        while (!drop && !c.pending.empty()) {
          const ssize_t n = ::send(c.fd, c.pending.data(), c.pending.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
          if (n < 0 && errno != EAGAIN && errno != EINTR) drop = true;
          if (n <= 0) break;
          c.pending.erase(0, static_cast<size_t>(n));
        }
        if (c.pending.empty()) changed_.notify_all();
        if (drop || (c.drainThenClose && c.pending.empty())) DropClient(i);
        break;
      }
    }
    for (size_t i = 0; i < clients_.size();) {
      if (clients_[i]->drainThenClose && clients_[i]->pending.empty())
        DropClient(i);
      else
        ++i;
    }
    if (fds[1].revents & POLLIN) {
      for (;;) {
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) break;
        auto c = std::make_unique<Client>();
        c->fd = fd;
        if (clients_.size() >= maxClients_) {
          c->pending = "HTTP/1.0 503 Service Unavailable\r\n\r\n";
          (void)!::send(fd, c->pending.data(), c->pending.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
          continue;
        }
        clients_.push_back(std::move(c));
      }
    }
  }
}

// ---- push sink ----------------------------------------------------------------------------------

PushSink::~PushSink() { Disconnect(); }

HRESULT PushSink::Connect(const std::string& url, const std::string&, BOOL) {
  std::lock_guard lock(mutex_);
  if (socket_ >= 0) return E_UNEXPECTED;
  // "http://host[:port][/path]" only.
  if (!url.starts_with("http://")) return E_INVALIDARG;
  const std::string rest = url.substr(7);
  const size_t slash = rest.find('/');
  const std::string hostPort = rest.substr(0, slash);
  const std::string path = slash == std::string::npos ? "/" : rest.substr(slash);
  const size_t colon = hostPort.rfind(':');
  const std::string host = hostPort.substr(0, colon);
  const std::string port = colon == std::string::npos ? "80" : hostPort.substr(colon + 1);
  if (host.empty() || port.empty()) return E_INVALIDARG;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return E_FAIL;
  int fd = -1;
  for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
    fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) CloseFd(fd);
  }
  ::freeaddrinfo(found);
  if (fd < 0) return E_FAIL;
  const std::string head = "POST " + path + " HTTP/1.1\r\nHost: " + hostPort +
                           "\r\nContent-Type: video/x-ms-asf\r\nTransfer-Encoding: chunked\r\n\r\n";
  if (::send(fd, head.data(), head.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(head.size())) {
    CloseFd(fd);
    return E_FAIL;
  }
  socket_ = fd;
  return S_OK;
}

HRESULT PushSink::Disconnect() {
  std::lock_guard lock(mutex_);
  if (socket_ < 0) return S_FALSE;
  (void)!::send(socket_, "0\r\n\r\n", 5, MSG_NOSIGNAL);
  CloseFd(socket_);
  return S_OK;
}

HRESULT PushSink::SendChunk(const uint8_t* data, size_t size) {
  std::lock_guard lock(mutex_);
  if (socket_ < 0) return E_UNEXPECTED;
  if (size == 0) return S_OK;
  char head[24];
  const int n = std::snprintf(head, sizeof head, "%zx\r\n", size);
  bool ok = ::send(socket_, head, static_cast<size_t>(n), MSG_NOSIGNAL) == n;
  for (size_t sent = 0; ok && sent < size;) {
    const ssize_t k = ::send(socket_, data + sent, size - sent, MSG_NOSIGNAL);
    ok = k > 0;
    if (ok) sent += static_cast<size_t>(k);
  }
  ok = ok && ::send(socket_, "\r\n", 2, MSG_NOSIGNAL) == 2;
  // A server that went away ends the push; the writer goes on with its file.
  if (!ok) CloseFd(socket_);
  return ok ? S_OK : E_FAIL;
}

HRESULT PushSink::OnHeader(const uint8_t* data, size_t size) { return SendChunk(data, size); }
HRESULT PushSink::OnDataUnit(const uint8_t* data, size_t size) { return SendChunk(data, size); }
HRESULT PushSink::OnEndWriting() { return Disconnect(); }

HRESULT WMCreateWriterNetworkSink(std::shared_ptr<NetworkSink>* sink) {
  if (!sink) return E_POINTER;
  *sink = std::make_shared<NetworkSink>();
  return S_OK;
}

HRESULT WMCreateWriterPushSink(std::shared_ptr<PushSink>* sink) {
  if (!sink) return E_POINTER;
  *sink = std::make_shared<PushSink>();
  return S_OK;
}

}  // namespace mg::wm
