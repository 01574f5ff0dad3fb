#include "ParsingRates.h"

#include <sstream>
#include <stdexcept>
#include <vector>

#include "ChildProcess.h"

namespace qx::bench {

namespace {

std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

} // namespace

void ReportParsingRates(const std::string& program, Report& report) {
    const ChildUsage run = RunChild({program, "--benchmark_format=csv", "--benchmark_repetitions=5",
                                     "--benchmark_report_aggregates_only=true"},
                                    ErrorOutput::Discarded);
    if (run.exitCode != 0)
        throw std::runtime_error(program + " failed");
    // Columns: name, iterations, real_time, cpu_time, time_unit, bytes_per_second, ...
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> fields = CsvFields(line);
        if (fields.size() < 6 || fields[0].find("_median") == std::string::npos)
            continue;
        const std::string name = fields[0].substr(0, fields[0].find("_median"));
        report.Info("Google Benchmark " + name + " commands (median of 5)",
                    Format("%.0f MB/s", std::stod(fields[5]) / 1e6));
    }
}

} // namespace qx::bench
