#include "InstructionText.h"

namespace qx::bench {

namespace {

// One comment line after this many commands, as a hand-written file would
// have headings between groups of files.
constexpr std::size_t kCommandsPerComment = 50;

} // namespace

std::string MakeInstructionText(std::size_t commandLines) {
    std::string text;
    text.reserve(commandLines * 48);
    text += "Update 2.00\r\n>Path=http://127.0.0.1/update/;\r\n";
    const std::size_t gets = commandLines >= 2 ? commandLines - 2 : 0;
    for (std::size_t i = 0; i < gets; ++i) {
        if (i % kCommandsPerComment == 0)
            text += "; group " + std::to_string(i / kCommandsPerComment) + "\r\n";
        const std::string name = "f" + std::to_string(i) + ".dat";
        text += ">Get=files/" + name + ",data\\" + name + ";\r\n";
    }
    text += ">UpdateKey=200;\r\n*qxupdateinstructionfile\r\n";
    return text;
}

} // namespace qx::bench
