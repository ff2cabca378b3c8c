#pragma once
// The analog TV channel plans a tuner turns channel numbers into vision
// carrier frequencies with. Linux keeps no such tables for us, so the
// media graph ships its own: a few public band plans and the countries
// that use them.
#include "platform/mg/Interfaces.h"

namespace mg {

// The vision carrier in Hz of a channel (2..69) in a country's plan, for
// antenna (TunerInputAntenna) or cable reception; 0 for a channel the plan
// does not have. North America, Japan, Mexico and Korea use 6 MHz
// channels, France its own plan, every other country the European one.
LONG TvChannelFrequency(LONG country, TunerInputType input, LONG channel);

}  // namespace mg
