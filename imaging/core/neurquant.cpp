#include "imaging/core/neurquant.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"

namespace imaging {

namespace {
constexpr int32_t kNetBiasShift = 4;
constexpr int32_t kCycles = 100;
constexpr int32_t kIntBiasShift = 16;
constexpr int32_t kIntBias = 1 << kIntBiasShift;
constexpr int32_t kGammaShift = 10;
constexpr int32_t kBetaShift = 10;
constexpr int32_t kBeta = kIntBias >> kBetaShift;
constexpr int32_t kBetaGamma = kIntBias << (kGammaShift - kBetaShift);
constexpr int32_t kRadiusBiasShift = 6;
constexpr int32_t kRadiusBias = 1 << kRadiusBiasShift;
constexpr int32_t kRadiusDec = 30;
constexpr int32_t kInitAlpha = 1 << 10;
constexpr int32_t kRadBias = 1 << 8;
constexpr int32_t kAlphaRadBias = 1 << 18;
}  // namespace

struct TNeuQuantState {
  int32_t size = 0;
  // Blue, green, red (with 4 extra bits while learning) and the index.
  std::vector<std::array<int32_t, 4>> network;
  std::vector<int32_t> bias, freq, radPower;
  std::array<int32_t, 256> netIndex{};
  std::vector<uint8_t> pixels;  // blue, green, red
  int64_t pixelCount = 0;
  int32_t sampleFactor = 1;

  int32_t Contest(int32_t b, int32_t g, int32_t r);
  void AlterSingle(int32_t alpha, int32_t i, int32_t b, int32_t g, int32_t r);
  void AlterNeighbours(int32_t rad, int32_t i, int32_t b, int32_t g, int32_t r);
  void Learn();
  void BuildIndex();
};

void TNeuQuantFree::operator()(TNeuQuantState* state) const { delete state; }

int32_t TNeuQuantState::Contest(int32_t b, int32_t g, int32_t r) {
  int32_t bestd = INT32_MAX, bestBiasd = INT32_MAX, bestPos = -1, bestBiasPos = -1;
  for (int32_t i = 0; i < size; ++i) {
    const auto& n = network[static_cast<size_t>(i)];
    const int32_t dist = std::abs(n[0] - b) + std::abs(n[1] - g) + std::abs(n[2] - r);
    if (dist < bestd) {
      bestd = dist;
      bestPos = i;
    }
    const int32_t biasDist = dist - (bias[static_cast<size_t>(i)] >> (kIntBiasShift - kNetBiasShift));
    if (biasDist < bestBiasd) {
      bestBiasd = biasDist;
      bestBiasPos = i;
    }
    const int32_t betaFreq = freq[static_cast<size_t>(i)] >> kBetaShift;
    freq[static_cast<size_t>(i)] -= betaFreq;
    bias[static_cast<size_t>(i)] += betaFreq << kGammaShift;
  }
  freq[static_cast<size_t>(bestPos)] += kBeta;
  bias[static_cast<size_t>(bestPos)] -= kBetaGamma;
  return bestBiasPos;
}

void TNeuQuantState::AlterSingle(int32_t alpha, int32_t i, int32_t b, int32_t g, int32_t r) {
  auto& n = network[static_cast<size_t>(i)];
  n[0] -= alpha * (n[0] - b) / kInitAlpha;
  n[1] -= alpha * (n[1] - g) / kInitAlpha;
  n[2] -= alpha * (n[2] - r) / kInitAlpha;
}

void TNeuQuantState::AlterNeighbours(int32_t rad, int32_t i, int32_t b, int32_t g, int32_t r) {
  const int32_t lo = std::max(i - rad, -1), hi = std::min(i + rad, size);
  int32_t j = i + 1, k = i - 1, m = 1;
  while (j < hi || k > lo) {
    const int64_t a = radPower[static_cast<size_t>(m++)];
    auto move = [&](std::array<int32_t, 4>& p) {
      p[0] -= static_cast<int32_t>(a * (p[0] - b) / kAlphaRadBias);
      p[1] -= static_cast<int32_t>(a * (p[1] - g) / kAlphaRadBias);
      p[2] -= static_cast<int32_t>(a * (p[2] - r) / kAlphaRadBias);
    };
    if (j < hi) move(network[static_cast<size_t>(j++)]);
    if (k > lo) move(network[static_cast<size_t>(k--)]);
  }
}

void TNeuQuantState::Learn() {
  const int64_t length = pixelCount * 3;
  const int64_t samples = length / (3 * static_cast<int64_t>(sampleFactor));
  int64_t delta = std::max<int64_t>(1, samples / kCycles);
  int32_t alpha = kInitAlpha;
  int32_t radius = (size >> 3) * kRadiusBias;
  const int32_t alphaDec = 30 + (sampleFactor - 1) / 3;
  int32_t rad = radius >> kRadiusBiasShift;
  if (rad <= 1) rad = 0;
  radPower.assign(static_cast<size_t>(std::max(size >> 3, 1)), 0);
  auto setPowers = [&] {
    for (int32_t i = 0; i < rad; ++i)
      radPower[static_cast<size_t>(i)] = alpha * (((rad * rad - i * i) * kRadBias) / (rad * rad));
  };
  setPowers();
  int64_t step;
  if (length % 499 != 0)
    step = 499;
  else if (length % 491 != 0)
    step = 491;
  else if (length % 487 != 0)
    step = 487;
  else
    step = 503;
  int64_t position = 0;
  for (int64_t i = 0; i < samples;) {
    const uint8_t* p = pixels.data() + position * 3;
    const int32_t b = p[0] << kNetBiasShift, g = p[1] << kNetBiasShift, r = p[2] << kNetBiasShift;
    const int32_t j = Contest(b, g, r);
    AlterSingle(alpha, j, b, g, r);
    if (rad) AlterNeighbours(rad, j, b, g, r);
    position = (position + step) % pixelCount;
    ++i;
    if (i % delta == 0) {
      alpha -= alpha / alphaDec;
      radius -= radius / kRadiusDec;
      rad = radius >> kRadiusBiasShift;
      if (rad <= 1) rad = 0;
      setPowers();
    }
  }
}

void TNeuQuantState::BuildIndex() {
  int32_t previous = 0, start = 0;
  for (int32_t i = 0; i < size; ++i) {
    int32_t smallPos = i, smallVal = network[static_cast<size_t>(i)][1];
    for (int32_t j = i + 1; j < size; ++j)
      if (network[static_cast<size_t>(j)][1] < smallVal) {
        smallPos = j;
        smallVal = network[static_cast<size_t>(j)][1];
      }
    if (smallPos != i) std::swap(network[static_cast<size_t>(i)], network[static_cast<size_t>(smallPos)]);
    smallVal = std::clamp(smallVal, 0, 255);
    if (smallVal != previous) {
      netIndex[static_cast<size_t>(previous)] = (start + i) >> 1;
      for (int32_t j = previous + 1; j < smallVal; ++j) netIndex[static_cast<size_t>(j)] = i;
      previous = smallVal;
      start = i;
    }
  }
  const int32_t maxPos = size - 1;
  netIndex[static_cast<size_t>(previous)] = (start + maxPos) >> 1;
  for (int32_t j = previous + 1; j < 256; ++j) netIndex[static_cast<size_t>(j)] = maxPos;
}

TNeuQuantHandle NeuQuantCreate(TIKBitmap* source, TRGB* palette, int32_t quality, int32_t colorCount) {
  TNeuQuantHandle state(new TNeuQuantState);
  TNeuQuantState& s = *state;
  s.size = std::clamp(colorCount, 1, 256);
  const bool rgb = source->PixelFormat() == ikRGB24;
  const int32_t width = rgb ? source->Width() : 0, height = rgb ? source->Height() : 0;
  s.pixelCount = static_cast<int64_t>(std::max(width, 0)) * std::max(height, 0);
  s.pixels.resize(static_cast<size_t>(s.pixelCount) * 3);
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(s.pixels.data() + static_cast<size_t>(y) * width * 3, source->ScanLine(y),
                static_cast<size_t>(width) * 3);
  if (quality < 0) {
    s.sampleFactor = s.pixelCount < 2000
                         ? 1
                         : std::clamp(static_cast<int32_t>(std::nearbyint((s.pixelCount * 13.0 - 26000) / 148000 + 2)),
                                      1, 30);
  } else {
    s.sampleFactor = static_cast<int32_t>((100 - std::min(quality, 100)) / 100.0 * 29) + 1;
  }
  s.network.resize(static_cast<size_t>(s.size));
  s.bias.assign(static_cast<size_t>(s.size), 0);
  s.freq.assign(static_cast<size_t>(s.size), kIntBias / s.size);
  for (int32_t i = 0; i < s.size; ++i) {
    const int32_t v = i * 4096 / s.size;
    s.network[static_cast<size_t>(i)] = {v, v, v, 0};
  }
  if (s.pixelCount > 0) s.Learn();
  for (int32_t i = 0; i < s.size; ++i) {
    auto& n = s.network[static_cast<size_t>(i)];
    for (int c = 0; c < 3; ++c) n[c] = std::clamp(n[c] >> kNetBiasShift, 0, 255);
    n[3] = i;
    palette[i] = TRGB{static_cast<uint8_t>(n[0]), static_cast<uint8_t>(n[1]), static_cast<uint8_t>(n[2])};
  }
  s.BuildIndex();
  s.pixels = {};
  return state;
}

int32_t NeuQuantIndex(const TNeuQuantState* state, const TRGB& color) {
  const int32_t b = color.b, g = color.g, r = color.r, size = state->size;
  int32_t bestd = 1000, best = -1;
  int32_t i = state->netIndex[g], j = i - 1;
  while (i < size || j >= 0) {
    if (i < size) {
      const auto& p = state->network[static_cast<size_t>(i)];
      int32_t dist = p[1] - g;
      if (dist >= bestd) {
        i = size;
      } else {
        ++i;
        dist = std::abs(dist) + std::abs(p[0] - b);
        if (dist < bestd) {
          dist += std::abs(p[2] - r);
          if (dist < bestd) {
            bestd = dist;
            best = p[3];
          }
        }
      }
    }
    if (j >= 0) {
      const auto& p = state->network[static_cast<size_t>(j)];
      int32_t dist = g - p[1];
      if (dist >= bestd) {
        j = -1;
      } else {
        --j;
        dist = std::abs(dist) + std::abs(p[0] - b);
        if (dist < bestd) {
          dist += std::abs(p[2] - r);
          if (dist < bestd) {
            bestd = dist;
            best = p[3];
          }
        }
      }
    }
  }
  return std::max(best, 0);
}

}  // namespace imaging
