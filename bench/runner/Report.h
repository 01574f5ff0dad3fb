#pragma once

#include <string>
#include <vector>

namespace qx::bench {

double Median(std::vector<double> values);
// The element-wise quotients of two series of paired samples.
std::vector<double> Ratios(const std::vector<double>& numerators, const std::vector<double>& denominators);

// printf into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The one table of a benchmark run, printed as Markdown so that it can go into
// the performance document as it is.
class Report {
public:
    // A figure given for information.
    void Info(const std::string& measurement, const std::string& value);
    // A figure with a goal; the verdict says whether it was met.
    void Check(const std::string& measurement, const std::string& value, const std::string& goal, bool met);
    // A part of the run that could not be measured, and why.
    void Skipped(const std::string& measurement, const std::string& reason);

    void Print() const;
    bool AllGoalsMet() const;

private:
    struct Row {
        std::string measurement;
        std::string value;
        std::string goal;
        std::string verdict;
    };
    std::vector<Row> rows_;
};

} // namespace qx::bench
