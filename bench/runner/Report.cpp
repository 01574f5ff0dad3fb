#include "Report.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace qx::bench {

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::vector<double> Ratios(const std::vector<double>& numerators, const std::vector<double>& denominators) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < numerators.size() && i < denominators.size(); ++i)
        ratios.push_back(numerators[i] / denominators[i]);
    return ratios;
}

std::string Format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    char buffer[512];
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    return buffer;
}

void Report::Info(const std::string& measurement, const std::string& value) {
    rows_.push_back({measurement, value, "", "info"});
}

void Report::Check(const std::string& measurement, const std::string& value, const std::string& goal,
                   bool met) {
    rows_.push_back({measurement, value, goal, met ? "met" : "MISSED"});
}

void Report::Skipped(const std::string& measurement, const std::string& reason) {
    rows_.push_back({measurement, reason, "", "skipped"});
}

void Report::Print() const {
    std::printf("| measurement | value | goal | verdict |\n|---|---|---|---|\n");
    for (const Row& row : rows_)
        std::printf("| %s | %s | %s | %s |\n", row.measurement.c_str(), row.value.c_str(), row.goal.c_str(),
                    row.verdict.c_str());
}

bool Report::AllGoalsMet() const {
    return std::none_of(rows_.begin(), rows_.end(), [](const Row& row) { return row.verdict == "MISSED"; });
}

} // namespace qx::bench
