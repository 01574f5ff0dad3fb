// qx_bench: runs every benchmark and prints one table. bench/run.sh builds the
// programs and calls it; see docs/PERFORMANCE.md.
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>

#include "InstructionCost.h"
#include "LoopbackServer.h"
#include "ParsingRates.h"
#include "Report.h"
#include "Throughput.h"
#include "WineRows.h"

namespace {

const char* const kUsage =
    "usage: qx_bench --server QX_TEST_SERVER --download QX_BENCH_DOWNLOAD\n"
    "                --instructions QX_BENCH_INSTRUCTIONS --parsing QX_BENCH_PARSING --work DIR\n"
    "                [--wine-bench QX_BENCH_WINE_EXE] [--rounds N]\n"
    "                [--parts throughput,instructions,parsing,wine]\n";

std::string CpuModel() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    }
    return "unknown CPU";
}

void PrintHeading() {
    char date[64];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    const double memoryGiB = static_cast<double>(::sysconf(_SC_PHYS_PAGES)) *
                             static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024 * 1024);
    std::printf("date: %s\nmachine: %u cores (%s), %.1f GiB memory\n\n", date,
                std::thread::hardware_concurrency(), CpuModel().c_str(), memoryGiB);
}

std::map<std::string, std::string> ParseOptions(int argc, char** argv) {
    std::map<std::string, std::string> options = {{"--rounds", "5"},
                                                  {"--parts", "throughput,instructions,parsing,wine"}};
    for (int i = 1; i + 1 < argc; i += 2)
        options[argv[i]] = argv[i + 1];
    for (const char* required : {"--server", "--download", "--instructions", "--parsing", "--work"}) {
        if (options.count(required) == 0)
            throw std::invalid_argument(kUsage);
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    using namespace qx::bench;
    try {
        const std::map<std::string, std::string> options = ParseOptions(argc, argv);
        const int rounds = std::stoi(options.at("--rounds"));
        const std::filesystem::path work = options.at("--work");
        const std::filesystem::path root = work / "www";
        std::filesystem::create_directories(root);

        const std::string parts = options.at("--parts");
        const auto wanted = [&parts](const std::string& part) {
            return parts.find(part) != std::string::npos;
        };

        Report report;
        if (wanted("throughput") || wanted("wine")) {
            const LoopbackServer server(options.at("--server"), root, work / "port");
            if (wanted("throughput"))
                MeasureThroughput({options.at("--download"), root, work, rounds}, server, report);
            if (wanted("wine") && options.count("--wine-bench") == 0)
                report.Skipped("Wine rows", "no --wine-bench program given");
            else if (wanted("wine"))
                MeasureWine({options.at("--wine-bench"), root, work, rounds}, server, report);
        }
        if (wanted("instructions"))
            MeasureInstructionCost(options.at("--instructions"), 2 * rounds + 1, report);
        if (wanted("parsing"))
            ReportParsingRates(options.at("--parsing"), report);

        PrintHeading();
        report.Print();
        return report.AllGoalsMet() ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qx_bench: %s\n", error.what());
        return 2;
    }
}
