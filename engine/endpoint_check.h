// The simulated check of one proxy endpoint, played into the check log record by record with
// the pauses a real check would take.
#pragma once

#include "base/wide_string.h"

namespace Corvinex {

// Writes one endpoint's block (BEGIN ... END) to the check log at path. A negative ping time
// gives the timeout form (3000 ms pause, TIMEOUT 3000, FAILED; the flags are ignored); otherwise
// the block pauses for the ping time after BEGIN, after PING and after ANONYMITY PASSED, and the
// two flags (non-zero = passed) decide the outcome. Lines that cannot be written are lost; the
// pauses and the remaining records still follow.
void WriteFakeEndpointCheck(const CWideString& path, const CWideString& endpoint, int pingTime,
                            int anonymity, int authenticity);

// The prefix of every record of an endpoint: "VPE CHECK HTTP <endpoint> ". Percent signs of the
// endpoint are doubled, because the records are used as printf formats.
CWideString BuildEndpointPrefix(CWideString endpoint);

// Test seam: what a pause does (null restores the plain sleep of the calling thread). The
// program itself never sets it.
typedef void (*EndpointCheckPauseFunc)(int milliseconds);
void SetEndpointCheckPauseForTests(EndpointCheckPauseFunc pause);

} // namespace Corvinex
