// libFuzzer driver for colour profiles read from picture files: the bytes
// become a TIKICC; when they open, a row of one pair of pixel layouts
// (chosen by the input's length, so that every pair gets its turn without
// making each run build 81 transforms) goes through the profile to sRGB and
// back. Whatever the bytes, nothing may read or write outside the rows, and
// a refused transform must leave the destination untouched.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/core/ikutilsICC.h"

using namespace imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  // An exact-size heap copy, so that any over-read is caught.
  std::vector<uint8_t> bytes(data, data + size);
  TIKICC profile;
  if (!profile.LoadFromBuffer(bytes.data(), static_cast<int32_t>(bytes.size()))) return 0;
  static TIKICC* srgb = [] {
    auto* p = new TIKICC;
    p->OpenSRGB();
    return p;
  }();
  constexpr int32_t kPixels = 7;
  constexpr int32_t kBytes[] = {3, 3, 4, 4, 3, 1, 6, 6, 3};
  const auto layout = static_cast<int32_t>(size % 9), out = static_cast<int32_t>(size / 9 % 9);
  std::vector<uint8_t> in(static_cast<size_t>(kPixels * kBytes[layout]));
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 37 + size);
  std::vector<uint8_t> result(static_cast<size_t>(kPixels * kBytes[out]), 0xA5);
  const bool done = profile.Transform(srgb, layout, kPixels, result.data(), in.data(), 0, 0, out);
  if (!done)
    for (uint8_t v : result)
      if (v != 0xA5) std::abort();
  std::vector<uint8_t> back(static_cast<size_t>(kPixels * kBytes[layout]), 0);
  srgb->Transform(&profile, out, kPixels, back.data(), result.data(), 0, 0, layout);
  return 0;
}
