#pragma once

#include "BigFile.h"
#include "LoopbackServer.h"
#include "Report.h"

namespace qx::bench {

// The HTTP client component (`setup.program`, qx_bench_download) beside curl,
// fetching the same big files from the same server to disk, in alternating
// order.
void MeasureThroughput(const TransferSetup& setup, const LoopbackServer& server, Report& report);

} // namespace qx::bench
