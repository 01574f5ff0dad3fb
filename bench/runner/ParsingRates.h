#pragma once

#include <string>

#include "Report.h"

namespace qx::bench {

// Runs the Google Benchmark program of line splitting and field reading and
// adds its rates to the report.
void ReportParsingRates(const std::string& program, Report& report);

} // namespace qx::bench
