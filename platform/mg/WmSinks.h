#pragma once
// The sinks of the ASF writer: its own file output, a network sink that
// serves the stream over HTTP to clients that connect to it, and a push
// sink that sends the stream to a server's publishing point. The writer
// hands every sink but the file the stream's header once and then its
// data, as a streamable ASF byte stream.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/mg/Interfaces.h"
#include "platform/mg/Object.h"
#include "platform/mg/Types.h"

namespace mg::wm {

class WriterSink : public Object {
public:
  virtual bool IsFileSink() const { return false; }
  // The header: called with consecutive pieces before any data.
  virtual HRESULT OnHeader(const uint8_t* data, size_t size) = 0;
  virtual HRESULT OnDataUnit(const uint8_t* data, size_t size) = 0;
  // The stream ended; the next run starts with a new header.
  virtual HRESULT OnEndWriting() = 0;
};

// Stands for the writer's output file in its list of sinks; removing it
// leaves a writer that only streams.
class FileSink : public WriterSink {
public:
  bool IsFileSink() const override { return true; }
  HRESULT OnHeader(const uint8_t*, size_t) override { return S_OK; }
  HRESULT OnDataUnit(const uint8_t*, size_t) override { return S_OK; }
  HRESULT OnEndWriting() override { return S_OK; }
};

enum WMT_NET_PROTOCOL { WMT_PROTOCOL_HTTP = 0 };

class NetworkSink : public WriterSink {
public:
  NetworkSink();
  ~NetworkSink() override;
  HRESULT SetNetworkProtocol(WMT_NET_PROTOCOL protocol);
  HRESULT SetMaximumClients(DWORD clients);
  HRESULT GetMaximumClients(DWORD* clients) const;
  // Listens on the loopback interface; a port of 0 takes a free one and
  // writes it back.
  HRESULT Open(DWORD* port);
  HRESULT GetHostURL(std::string* url) const;
  HRESULT Close();

  HRESULT OnHeader(const uint8_t* data, size_t size) override;
  HRESULT OnDataUnit(const uint8_t* data, size_t size) override;
  HRESULT OnEndWriting() override;

  // Clients connected now; waits (up to `timeoutMs`) until at least `n`.
  size_t ClientCount() const;
  bool WaitForClients(size_t n, int timeoutMs) const;

  struct Client;

private:
  void Serve();
  void SendToAll(const uint8_t* data, size_t size);
  void DropClient(size_t index);

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  int listen_ = -1;
  int wake_[2] = {-1, -1};
  DWORD maxClients_ = 5;
  DWORD port_ = 0;
  bool headerDone_ = false;
  std::vector<uint8_t> header_;
  std::vector<std::unique_ptr<Client>> clients_;
  std::thread thread_;
};

// Sends the stream by HTTP POST (chunked) to a publishing point given as
// an "http://host:port/path" address.
class PushSink : public WriterSink {
public:
  ~PushSink() override;
  HRESULT Connect(const std::string& url, const std::string& templateUrl, BOOL autoRemove);
  HRESULT Disconnect();
  HRESULT OnHeader(const uint8_t* data, size_t size) override;
  HRESULT OnDataUnit(const uint8_t* data, size_t size) override;
  HRESULT OnEndWriting() override;

private:
  HRESULT SendChunk(const uint8_t* data, size_t size);
  std::mutex mutex_;
  int socket_ = -1;
};

HRESULT WMCreateWriterNetworkSink(std::shared_ptr<NetworkSink>* sink);
HRESULT WMCreateWriterPushSink(std::shared_ptr<PushSink>* sink);

}  // namespace mg::wm
