#include "WineRows.h"

#include <array>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "BigFile.h"
#include "ChildProcess.h"

namespace qx::bench {

namespace {

constexpr std::uintmax_t kGetSize = 256 * MiB;
// Wine's edit control grows quadratically: 100,000 lines did not finish within
// five minutes, so the growth is measured a decade lower.
constexpr std::array<long, 2> kMemoLines = {1000, 10000};
constexpr double kMaxGrowthPerTenfold = 12;
// The status log of 10,000 lines takes long enough under Wine that a few
// samples give a stable median.
constexpr int kMemoRounds = 3;

std::vector<double> Numbers(const ChildUsage& run, std::size_t count) {
    std::istringstream output(run.output);
    std::vector<double> numbers(count);
    for (double& number : numbers)
        output >> number;
    if (run.exitCode != 0 || !output)
        throw std::runtime_error("qx_bench_wine.exe failed");
    return numbers;
}

void MeasureGet(const TransferSetup& setup, const LoopbackServer& server, Report& report) {
    const std::string name = "256M.bin";
    const std::filesystem::path source = MakeSparseFile(setup.serverRoot / name, kGetSize);
    WarmPageCache(source);
    const std::filesystem::path wineDir = setup.outputDir / "wine";
    std::filesystem::create_directories(wineDir);
    const std::filesystem::path curlFile = setup.outputDir / ("curl-" + name);

    std::vector<double> curl;
    std::vector<double> download;
    std::vector<double> wholeGet;
    const auto runWine = [&] {
        const ChildUsage run = FetchChecked({"wine", setup.program, "get", server.Url("/"), name},
                                            wineDir / name, kGetSize, wineDir.string());
        const std::vector<double> seconds = Numbers(run, 2);
        download.push_back(seconds[0]);
        wholeGet.push_back(seconds[1]);
    };
    const auto runCurl = [&] {
        curl.push_back(
            FetchChecked(CurlCommand(server.Url("/" + name), curlFile), curlFile, kGetSize).wallSeconds);
    };
    for (int round = 0; round < setup.rounds; ++round) {
        if (round % 2 == 0) {
            runWine();
            runCurl();
        } else {
            runCurl();
            runWine();
        }
    }
    std::filesystem::remove(source);

    report.Info("256 MiB under Wine: download with the real window / native curl (median)",
                Format("%.0f / %.0f MiB/s (%.3f / %.3f s)", MiBps(kGetSize, Median(download)),
                       MiBps(kGetSize, Median(curl)), Median(download), Median(curl)));
    report.Info("256 MiB under Wine: download throughput ratio Wine/curl (median of paired rounds)",
                Format("%.3f", Median(Ratios(curl, download))));
    report.Info(
        "256 MiB under Wine: whole Get (download, copy over the file, delete) (median)",
        Format("%.3f s, throughput ratio to curl %.3f", Median(wholeGet), Median(Ratios(curl, wholeGet))));
}

void MeasureMemo(const TransferSetup& setup, Report& report) {
    std::array<double, kMemoLines.size()> median{};
    for (std::size_t size = 0; size < kMemoLines.size(); ++size) {
        std::vector<double> seconds;
        for (int round = 0; round < kMemoRounds; ++round) {
            const ChildUsage run =
                RunChild({"wine", setup.program, "memo", std::to_string(kMemoLines[size])});
            seconds.push_back(Numbers(run, 1)[0]);
        }
        median[size] = Median(seconds);
    }
    report.Info("status log under Wine: 1k / 10k lines appended to Memo2 (median)",
                Format("%.3f / %.3f s", median[0], median[1]));
    const double growth = median[1] / median[0];
    report.Check("status log under Wine: growth 1k to 10k lines", Format("%.1fx", growth),
                 Format("<= %.0fx", kMaxGrowthPerTenfold), growth <= kMaxGrowthPerTenfold);
}

} // namespace

void MeasureWine(const TransferSetup& setup, const LoopbackServer& server, Report& report) {
    MeasureGet(setup, server, report);
    MeasureMemo(setup, report);
}

} // namespace qx::bench
