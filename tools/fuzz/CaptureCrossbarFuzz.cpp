// libFuzzer driver for what the capture component reads back of a TV card
// from the registry: a crossbar's routing text and the "AutoTune" pairs of
// a channel table. The first byte shapes the crossbar (its output and
// input counts), the rest is both the text and the table. Whatever the
// bytes, a route may only name pins the crossbar has and nothing may
// over-read.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/VcCrossbar.h"
#include "capture/VcTuner.h"

namespace {

class CheckingCrossbar : public mg::IAMCrossbar {
public:
  CheckingCrossbar(mg::LONG outputs, mg::LONG inputs) : outputs_(outputs), inputs_(inputs), routes_(outputs, 0) {}
  mg::HRESULT get_PinCounts(mg::LONG* o, mg::LONG* i) override {
    *o = outputs_;
    *i = inputs_;
    return mg::S_OK;
  }
  mg::HRESULT CanRoute(mg::LONG o, mg::LONG i) override {
    return o >= 0 && o < outputs_ && i >= -1 && i < inputs_ ? mg::S_OK : mg::S_FALSE;
  }
  mg::HRESULT Route(mg::LONG o, mg::LONG i) override {
    if (o < 0 || o >= outputs_) std::abort();  // the text must never pick an output of its own
    if (CanRoute(o, i) != mg::S_OK) return mg::E_INVALIDARG;
    routes_[static_cast<size_t>(o)] = i;
    return mg::S_OK;
  }
  mg::HRESULT get_IsRoutedTo(mg::LONG o, mg::LONG* i) override {
    if (o < 0 || o >= outputs_) return mg::E_INVALIDARG;
    *i = routes_[static_cast<size_t>(o)];
    return mg::S_OK;
  }
  mg::HRESULT get_CrossbarPinInfo(mg::BOOL, mg::LONG index, mg::LONG* related, mg::LONG* type) override {
    *related = -1;
    *type = index % 2 ? 4097 : 2;
    return mg::S_OK;
  }

private:
  mg::LONG outputs_, inputs_;
  std::vector<mg::LONG> routes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  CheckingCrossbar xbar(data[0] & 7, data[0] >> 3);
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  capture::SetCrossbarRouting(&xbar, text);
  const std::string back = capture::GetCrossbarRouting(&xbar);
  capture::SetCrossbarRouting(&xbar, back);
  capture::ListCrossbarVideoInputs(&xbar);
  // The table's own bytes, exactly as long as the value is.
  std::vector<uint8_t> table(data + 1, data + size);
  for (int32_t channel = 0; channel < 4; ++channel)
    capture::AutoTuneFrequencyIn(table.data(), static_cast<int32_t>(table.size()), channel);
  return 0;
}
