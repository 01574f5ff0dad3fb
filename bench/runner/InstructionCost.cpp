#include "InstructionCost.h"

#include <array>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "ChildProcess.h"

namespace qx::bench {

namespace {

constexpr std::array<std::size_t, 3> kSizes = {10000, 100000, 1000000};
constexpr double kMaxGrowthPerTenfold = 12;
constexpr double kLargestFileGoalSeconds = 1;
constexpr int kSmallFileSampleFactor = 9;

enum Step { Split, MagicLine, UpdateKey, Walk, StepCount };
constexpr std::array<const char*, StepCount> kStepNames = {"splitting into lines", "magic-line test",
                                                           "ReadUpdateKey", "walk with idle downloads"};

// Seconds of each step, and their sum in the last place.
using Sample = std::array<double, StepCount + 1>;

Sample RunOnce(const std::string& program, std::size_t commandLines) {
    const ChildUsage run = RunChild({program, std::to_string(commandLines)});
    std::istringstream output(run.output);
    Sample sample{};
    for (int step = 0; step < StepCount; ++step) {
        output >> sample[step];
        sample[StepCount] += sample[step];
    }
    if (run.exitCode != 0 || !output)
        throw std::runtime_error(program + " failed");
    return sample;
}

std::string Milliseconds(double seconds) {
    return Format("%.2f ms", seconds * 1000);
}

} // namespace

void MeasureInstructionCost(const std::string& program, int rounds, Report& report) {
    // The small files take a few milliseconds, where one preemption on a busy
    // machine weighs a lot; they get more samples, so that their medians hold.
    std::array<std::array<std::vector<double>, StepCount + 1>, kSizes.size()> samples;
    for (int round = 0; round < rounds * kSmallFileSampleFactor; ++round) {
        for (std::size_t size = 0; size < kSizes.size(); ++size) {
            const int everyNth = size == 0 ? 1 : size == 1 ? 3 : kSmallFileSampleFactor;
            if (round % everyNth != 0)
                continue;
            const Sample sample = RunOnce(program, kSizes[size]);
            for (int step = 0; step <= StepCount; ++step)
                samples[size][step].push_back(sample[step]);
        }
    }

    for (int step = 0; step <= StepCount; ++step) {
        std::array<double, kSizes.size()> median{};
        for (std::size_t size = 0; size < kSizes.size(); ++size)
            median[size] = Median(samples[size][step]);
        const std::string name = step < StepCount ? kStepNames[step] : "all four";
        report.Info("instruction file, " + name + ": 10k / 100k / 1M command lines (median)",
                    Milliseconds(median[0]) + " / " + Milliseconds(median[1]) + " / " +
                        Milliseconds(median[2]));
        const double growthSmall = median[1] / median[0];
        const double growthBig = median[2] / median[1];
        report.Check("instruction file, " + name + ": growth 10k to 100k / 100k to 1M",
                     Format("%.1fx / %.1fx", growthSmall, growthBig),
                     Format("<= %.0fx", kMaxGrowthPerTenfold),
                     growthSmall <= kMaxGrowthPerTenfold && growthBig <= kMaxGrowthPerTenfold);
        if (step == StepCount)
            report.Check("instruction file of 1M command lines, all four", Milliseconds(median[2]),
                         Format("< %.0f s", kLargestFileGoalSeconds), median[2] < kLargestFileGoalSeconds);
    }
}

} // namespace qx::bench
