// Bytes per second of the two inner loops of reading an instruction file:
// splitting the text into lines, and reading the fields of command lines.
#include <benchmark/benchmark.h>

#include "InstructionText.h"
#include "platform/StringList.h"
#include "updater/Unit1.h"

namespace {

constexpr std::size_t kFieldCapacity = 4096;

void SplitLines(benchmark::State& state) {
    const std::string text = qx::bench::MakeInstructionText(static_cast<std::size_t>(state.range(0)));
    qx::StringList list;
    for (auto _ : state) {
        list.SetText(text);
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(SplitLines)->Arg(10000)->Arg(100000);

// Both fields of every `Get` line, as the walk reads them.
void ReadFields(benchmark::State& state) {
    qx::StringList list;
    list.SetText(qx::bench::MakeInstructionText(static_cast<std::size_t>(state.range(0))));
    const std::string_view getName = ">Get=";
    std::size_t bytesPerPass = 0;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        if (list[i].substr(0, getName.size()) == getName)
            bytesPerPass += list[i].size() - getName.size();
    }
    std::string remote;
    std::string local;
    for (auto _ : state) {
        for (std::size_t i = 0; i < list.Count(); ++i) {
            const std::string_view line = list[i];
            if (line.substr(0, getName.size()) != getName)
                continue;
            const std::size_t next = qx::ReadInstructionField(remote, line, getName.size(), kFieldCapacity);
            qx::ReadInstructionField(local, line, next, kFieldCapacity);
            benchmark::DoNotOptimize(local.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytesPerPass));
}
BENCHMARK(ReadFields)->Arg(10000)->Arg(100000);

} // namespace

BENCHMARK_MAIN();
