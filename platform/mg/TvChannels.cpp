#include "platform/mg/TvChannels.h"

#include <algorithm>

namespace mg {

namespace {

// A run of channels with evenly spaced carriers.
struct TBand {
  LONG first, last;
  double baseMHz, stepMHz;
};
struct TPlan {
  const TBand* bands;
  int count;
};

// 6 MHz channels: VHF low and high band, then UHF (antenna) or the cable
// mid and super bands.
constexpr TBand kSixMHzAntenna[] = {{2, 4, 55.25, 6}, {5, 6, 77.25, 6}, {7, 13, 175.25, 6}, {14, 69, 471.25, 6}};
constexpr TBand kSixMHzCable[] = {{2, 4, 55.25, 6},     {5, 6, 77.25, 6},    {7, 13, 175.25, 6},
                                  {14, 22, 121.25, 6}, {23, 69, 217.25, 6}};
// France: 8 MHz VHF from 47.75 MHz, then the UHF plan.
constexpr TBand kFrance[] = {{2, 20, 47.75, 8}, {21, 69, 471.25, 8}};
// Europe: 7 MHz VHF bands I and III, the S channels of cable, 8 MHz UHF.
constexpr TBand kEurope[] = {{2, 4, 48.25, 7}, {5, 12, 175.25, 7}, {13, 20, 105.25, 7}, {21, 69, 471.25, 8}};

constexpr TPlan Plan(const TBand* b, int n) { return TPlan{b, n}; }

bool SixMHzCountry(LONG country) { return country == 1 || country == 2 || country == 52 || country == 81 || country == 82; }

}  // namespace

LONG TvChannelFrequency(LONG country, TunerInputType input, LONG channel) {
  TPlan plan = Plan(kEurope, std::size(kEurope));
  if (SixMHzCountry(country))
    plan = input == TunerInputCable ? Plan(kSixMHzCable, std::size(kSixMHzCable))
                                    : Plan(kSixMHzAntenna, std::size(kSixMHzAntenna));
  else if (country == 33)
    plan = Plan(kFrance, std::size(kFrance));
  for (int i = 0; i < plan.count; ++i) {
    const TBand& b = plan.bands[i];
    if (channel < b.first || channel > b.last) continue;
    return static_cast<LONG>((b.baseMHz + b.stepMHz * (channel - b.first)) * 1'000'000.0 + 0.5);
  }
  return 0;
}

}  // namespace mg
