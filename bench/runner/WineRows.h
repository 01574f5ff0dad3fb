#pragma once

#include "BigFile.h"
#include "LoopbackServer.h"
#include "Report.h"

namespace qx::bench {

// The updater's real window and component under Wine (`setup.program`,
// qx_bench_wine.exe, run with `wine` in the environment that bench/run.sh
// prepares): one 256 MiB `Get` beside native curl, and the status log with
// 1,000 and 10,000 lines.
void MeasureWine(const TransferSetup& setup, const LoopbackServer& server, Report& report);

} // namespace qx::bench
