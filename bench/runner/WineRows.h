#pragma once

#include <filesystem>
#include <string>

#include "LoopbackServer.h"
#include "Report.h"

namespace qx::bench {

struct WineSetup {
    // qx_bench_wine.exe, run with `wine` in the environment that bench/run.sh
    // prepares (prefix, display, Japanese locale).
    std::string program;
    std::filesystem::path serverRoot;
    std::filesystem::path outputDir;
    int rounds = 5;
};

// The updater's real window and component under Wine: one 256 MiB `Get`
// beside native curl, and the status log with 10,000 and 100,000 lines.
void MeasureWine(const WineSetup& setup, const LoopbackServer& server, Report& report);

} // namespace qx::bench
