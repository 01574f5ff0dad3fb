#include "Throughput.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "BigFile.h"
#include "ChildProcess.h"

namespace qx::bench {

namespace {

// The component's whole footprint, binary and libraries included.
constexpr double MemoryGoalMiB = 8;
// Peak memory counts as the same for both sizes within this.
constexpr long FlatMemoryToleranceKiB = 256;

struct Side {
    std::vector<double> wall;
    std::vector<double> cpu;
    long peakRssKiB = 0;
};

void Record(Side& side, const ChildUsage& usage) {
    side.wall.push_back(usage.wallSeconds);
    side.cpu.push_back(usage.cpuSeconds);
    side.peakRssKiB = std::max(side.peakRssKiB, usage.peakRssKiB);
}

std::string Mebibytes(long kib) {
    return Format("%.2f MiB", static_cast<double>(kib) / 1024);
}

// Returns the component's peak memory at this size.
long MeasureSize(const TransferSetup& setup, const LoopbackServer& server, std::uintmax_t size,
                 Report& report) {
    const std::string name = std::to_string(size / MiB) + "M.bin";
    const std::filesystem::path source = MakeSparseFile(setup.serverRoot / name, size);
    const std::string url = server.Url("/" + name);
    const std::filesystem::path ourFile = setup.outputDir / ("qx-" + name);
    const std::filesystem::path curlFile = setup.outputDir / ("curl-" + name);
    const std::vector<std::string> ours = {setup.program, url, ourFile.string()};
    const std::vector<std::string> curl = CurlCommand(url, curlFile);

    WarmPageCache(source);
    Side component;
    Side reference;
    for (int round = 0; round < setup.rounds; ++round) {
        if (round % 2 == 0) {
            Record(component, FetchChecked(ours, ourFile, size));
            Record(reference, FetchChecked(curl, curlFile, size));
        } else {
            Record(reference, FetchChecked(curl, curlFile, size));
            Record(component, FetchChecked(ours, ourFile, size));
        }
    }
    std::filesystem::remove(source);

    const std::string label = std::to_string(size / MiB) + " MiB: ";
    const double ourWall = Median(component.wall);
    const double curlWall = Median(reference.wall);
    report.Info(label + "throughput, component / curl (median wall time)",
                Format("%.0f / %.0f MiB/s (%.3f / %.3f s)", MiBps(size, ourWall), MiBps(size, curlWall),
                       ourWall, curlWall));
    const double throughputRatio = Median(Ratios(reference.wall, component.wall));
    report.Check(label + "throughput ratio component/curl (median of paired rounds)",
                 Format("%.3f", throughputRatio), ">= 0.95", throughputRatio >= 0.95);
    report.Info(label + "CPU time user+sys, component / curl (median)",
                Format("%.3f / %.3f s", Median(component.cpu), Median(reference.cpu)));
    const double cpuRatio = Median(Ratios(component.cpu, reference.cpu));
    report.Check(label + "CPU time ratio component/curl (median of paired rounds)", Format("%.3f", cpuRatio),
                 "<= 1", cpuRatio <= 1);
    report.Check(label + "peak memory of the component (max over rounds)", Mebibytes(component.peakRssKiB),
                 Format("< %.0f MiB", MemoryGoalMiB),
                 static_cast<double>(component.peakRssKiB) < MemoryGoalMiB * 1024);
    report.Info(label + "peak memory of curl (max over rounds)", Mebibytes(reference.peakRssKiB));
    return component.peakRssKiB;
}

} // namespace

void MeasureThroughput(const TransferSetup& setup, const LoopbackServer& server, Report& report) {
    const long smallPeak = MeasureSize(setup, server, 512 * MiB, report);
    const long bigPeak = MeasureSize(setup, server, 1024 * MiB, report);
    const long growth = bigPeak - smallPeak;
    report.Check("peak memory of the component, 1 GiB minus 512 MiB", Format("%+ld KiB", growth),
                 Format("within +-%ld KiB", FlatMemoryToleranceKiB),
                 growth <= FlatMemoryToleranceKiB && growth >= -FlatMemoryToleranceKiB);
}

} // namespace qx::bench
