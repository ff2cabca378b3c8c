#pragma once
// What the simulated-device tests share: a sink that keeps every sample it
// is given, and a manual graph that runs one device into such sinks.
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mg/Graph.h"
#include "platform/mg/Scheduler.h"
#include "platform/mg/sim/SimDevices.h"

namespace mg::simtest {

struct Received {
  std::vector<uint8_t> bytes;
  REFERENCE_TIME start = 0;
  int64_t mediaStart = -1;
};

// Takes any type; keeps a copy of each sample.
class KeepSink : public BaseFilter {
public:
  KeepSink() : BaseFilter(GUID_NULL) { AddPin(std::make_shared<Pin>(this, "In", PINDIR_INPUT)); }
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  HRESULT OnReceive(Pin&, MediaSample& s) override {
    Received r;
    r.bytes.assign(s.GetPointer(), s.GetPointer() + s.GetActualDataLength());
    REFERENCE_TIME stop = 0;
    s.GetTime(&r.start, &stop);
    int64_t mstop = 0;
    if (FAILED(s.GetMediaTime(&r.mediaStart, &mstop))) r.mediaStart = -1;
    std::lock_guard lock(mutex_);
    samples_.push_back(std::move(r));
    return S_OK;
  }
  std::vector<Received> Samples() const {
    std::lock_guard lock(mutex_);
    return samples_;
  }

private:
  mutable std::mutex mutex_;
  std::vector<Received> samples_;
};

// A device's output pin connected straight to a KeepSink on a manual graph.
struct DeviceRun {
  std::shared_ptr<FilterGraph> graph = FilterGraph::Create();
  std::shared_ptr<ManualScheduler> scheduler = std::make_shared<ManualScheduler>();
  std::shared_ptr<KeepSink> sink = std::make_shared<KeepSink>();

  DeviceRun(const std::shared_ptr<BaseFilter>& device, const std::shared_ptr<Pin>& out) {
    graph->SetScheduler(scheduler);
    graph->AddFilter(device, "Device");
    graph->AddFilter(sink, "Sink");
    connected = graph->ConnectDirect(out, sink->Input(), nullptr);
  }
  ~DeviceRun() { graph->Stop(); }
  HRESULT connected;
};

// Runs a shell command and returns its standard output.
inline std::string RunCommand(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

}  // namespace mg::simtest
