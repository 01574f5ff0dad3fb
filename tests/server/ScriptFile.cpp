#include "ScriptFile.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace qxtest {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    throw std::runtime_error(std::string("bad hex digit '") + c + "'");
}

std::size_t ParseCount(const std::string& text) {
    std::size_t used = 0;
    const unsigned long long value = std::stoull(text, &used);
    if (used != text.size())
        throw std::runtime_error("not a number: " + text);
    return static_cast<std::size_t>(value);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The state of one script while its lines are read: the pace applies to the
// sends that follow it.
struct ScriptBuilder {
    Script* script = nullptr;
    std::size_t pieceSize = 0;
    std::chrono::milliseconds interval{0};

    void Add(Step step) {
        if (!script)
            throw std::runtime_error("a step before the first 'path' line");
        script->push_back(std::move(step));
    }
    void AddSend(std::string bytes) { Add(SendPaced(std::move(bytes), pieceSize, interval)); }
};

void ApplyLine(const std::string& keyword, const std::string& argument,
               std::map<std::string, Script>& scripts, ScriptBuilder& builder) {
    const std::size_t blank = argument.find(' ');
    const std::string first = argument.substr(0, blank);
    const std::string second = blank == std::string::npos ? std::string() : argument.substr(blank + 1);
    if (keyword == "path") {
        builder = ScriptBuilder{&scripts[Unescape(argument)]};
        builder.script->clear();
    } else if (keyword == "line") {
        builder.AddSend(Unescape(argument) + "\r\n");
    } else if (keyword == "text") {
        builder.AddSend(Unescape(argument));
    } else if (keyword == "fill") {
        builder.AddSend(std::string(ParseCount(first), second.empty() ? 'x' : Unescape(second).at(0)));
    } else if (keyword == "file") {
        builder.AddSend(ReadWholeFile(argument));
    } else if (keyword == "pace") {
        builder.pieceSize = ParseCount(first);
        builder.interval = std::chrono::milliseconds(ParseCount(second));
    } else if (keyword == "pause") {
        builder.Add(Pause(std::chrono::milliseconds(ParseCount(argument))));
    } else if (keyword == "stall") {
        builder.Add(Stall());
    } else if (keyword == "reset") {
        builder.Add(Reset());
    } else {
        throw std::runtime_error("unknown keyword '" + keyword + "'");
    }
}

} // namespace

std::string Unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (++i == text.size())
            throw std::runtime_error("a lone backslash at the end");
        switch (text[i]) {
        case '\\':
            bytes += '\\';
            break;
        case 'r':
            bytes += '\r';
            break;
        case 'n':
            bytes += '\n';
            break;
        case 't':
            bytes += '\t';
            break;
        case 's':
            bytes += ' ';
            break;
        case 'x':
            if (i + 2 >= text.size())
                throw std::runtime_error("\\x needs two hex digits");
            bytes += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
            break;
        default:
            throw std::runtime_error(std::string("unknown escape \\") + text[i]);
        }
    }
    return bytes;
}

std::map<std::string, Script> ParseScriptFile(std::istream& input) {
    std::map<std::string, Script> scripts;
    ScriptBuilder builder;
    std::string line;
    for (int number = 1; std::getline(input, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t blank = line.find(' ');
        const std::string keyword = line.substr(0, blank);
        const std::string argument = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        try {
            ApplyLine(keyword, argument, scripts, builder);
        } catch (const std::exception& error) {
            throw std::runtime_error("script line " + std::to_string(number) + ": " + error.what());
        }
    }
    return scripts;
}

} // namespace qxtest
