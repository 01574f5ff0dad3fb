#pragma once

#include <cstddef>
#include <string>

namespace qx::bench {

// An instruction file of `commandLines` command lines, nearly all of them
// `Get`, with a heading and comment lines between them. The `UpdateKey`
// command and the magic line (in lower case) come last, so that the magic-line
// test and ReadUpdateKey both read every line before they find them.
std::string MakeInstructionText(std::size_t commandLines);

} // namespace qx::bench
