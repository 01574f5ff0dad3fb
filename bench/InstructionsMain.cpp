// qx_bench_instructions N: reads a generated instruction file of N command
// lines once, as one run of the updater does, in a fresh process so that no
// earlier pass has warmed the memory it uses. Prints the seconds of splitting
// it into lines, the magic-line test, ReadUpdateKey and the walk with
// downloads that do nothing.
#include <cstdio>
#include <string>

#include "InstructionText.h"
#include "QuietPlatform.h"
#include "Stopwatch.h"
#include "updater/Texts.h"
#include "updater/Unit1.h"

using qx::bench::SecondsOf;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qx_bench_instructions COMMAND_LINES\n");
        return 2;
    }
    const std::size_t commandLines = std::stoul(argv[1]);
    std::string text = qx::bench::MakeInstructionText(commandLines);

    qx::bench::QuietWindow window;
    qx::bench::QuietSystem system;
    qx::bench::IdleHttpClient http;
    qx::TForm1 form(window, system, http);
    const double split = SecondsOf([&] { form.InstructionList.SetText(std::move(text)); });
    long magic = -1;
    const double magicLine = SecondsOf([&] { magic = form.InstructionList.IndexOf(qx::texts::kMagicLine); });
    const double updateKey = SecondsOf([&] { form.ReadUpdateKey(form.InstructionList); });
    const double walk = SecondsOf([&] { form.ExecuteInstructions(form.InstructionList); });

    if (magic < 0 || form.NewUpdateKey != "200" || form.UpdatedCount != static_cast<int>(commandLines) - 2) {
        std::fprintf(stderr, "the generated instruction file was not read as intended\n");
        return 1;
    }
    std::printf("%.9f %.9f %.9f %.9f\n", split, magicLine, updateKey, walk);
    return 0;
}
