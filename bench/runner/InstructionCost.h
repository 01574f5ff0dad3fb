#pragma once

#include <string>

#include "Report.h"

namespace qx::bench {

// Reading instruction files of 10,000 to 1,000,000 command lines with
// `program` (qx_bench_instructions), one fresh process per sample: splitting,
// the magic-line test, ReadUpdateKey and the walk with downloads that do
// nothing; growth per tenfold size, and the whole at the largest size.
void MeasureInstructionCost(const std::string& program, int rounds, Report& report);

} // namespace qx::bench
