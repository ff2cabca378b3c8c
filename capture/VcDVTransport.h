#pragma once
// The tape transport of a DV camcorder: the commands the control sends as
// transport modes and the names of the modes.
#include <cstdint>

#include "platform/rtl/Types.h"

namespace capture {

// The mode a command (0..15) is sent as; 0 for any other command.
int32_t TransportModeOfCommand(int32_t Command);
// "play", "stop", ...; "not in VCR mode" for mode 0 and "not supported"
// for a mode without a name.
rtl::String TransportStateName(int32_t Mode);

// The time-code group last reported.
struct TDVTimecode {
  bool Valid = false;
  int32_t Hours = 0, Minutes = 0, Seconds = 0, Frames = 0;
  bool operator==(const TDVTimecode&) const = default;
};
// A BCD frame field 0xHHMMSSFF as a group; not valid when the frames or
// the seconds byte is 0xFF.
TDVTimecode DecodeBcdTimecode(uint32_t Field);

}  // namespace capture
