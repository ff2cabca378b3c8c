#pragma once
// How the input/output component reads an "http://" address.
#include <cstdint>

#include "imaging/core/ikdefs.h"

namespace imaging {

// Splits what follows "http://" into host, port and path (the path keeps
// its "/"). The port is the decimal text after the first ":" of the host
// part, 80 when that is not a valid port. False when there is no path.
bool SplitHttpAddress(const String& address, String& host, int32_t& port, String& path);

}  // namespace imaging
