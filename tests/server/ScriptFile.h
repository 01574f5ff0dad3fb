#pragma once

#include "TestServer.h"

#include <istream>
#include <map>
#include <string>

namespace qxtest {

// Reads scripted answers by request path in the line format of README.md.
// Raises std::runtime_error naming the line of the first error.
std::map<std::string, Script> ParseScriptFile(std::istream& input);

// Replaces the escapes \\ \r \n \t \s (a blank) and \xHH by their bytes.
std::string Unescape(const std::string& text);

} // namespace qxtest
