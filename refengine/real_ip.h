// The computer's own IPv4 address, found by asking the local network configuration only.
#pragma once

#include "base/wide_string.h"

namespace Corvinex {
namespace VeilpathEngine {

// The IPv4 address of the first active adapter with a default gateway (else of the first active
// adapter with an address) as dotted text; "127.0.0.1" when there is none.
CWideString FindRealIPv4Address();

} // namespace VeilpathEngine
} // namespace Corvinex
