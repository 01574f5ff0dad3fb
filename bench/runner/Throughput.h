#pragma once

#include <filesystem>
#include <string>

#include "LoopbackServer.h"
#include "Report.h"

namespace qx::bench {

struct ThroughputSetup {
    std::string downloadProgram;
    // Served by `server`; the big files are made here and deleted afterwards.
    std::filesystem::path serverRoot;
    // Where the downloads land.
    std::filesystem::path outputDir;
    int rounds = 5;
};

// The HTTP client component beside curl, fetching the same big files from the
// same server to disk, in alternating order.
void MeasureThroughput(const ThroughputSetup& setup, const LoopbackServer& server, Report& report);

} // namespace qx::bench
