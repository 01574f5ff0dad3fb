#pragma once

// The line protocol between the window driver and the end-to-end harness,
// shared by both sides (the driver is a Windows program, the harness a native
// one, so this header uses the standard library only).
//
// A report line is a word followed by fields "name=value", separated by single
// blanks. Values are byte strings (texts in code page 932) with every byte
// outside 0x21..0x7E, and the backslash itself, written as \xNN, so that a
// value never holds a blank or a line break and comes back byte for byte.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qx::driver {

inline std::string EscapeValue(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F && byte != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

inline std::optional<int> HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return std::nullopt;
}

// Returns nothing when `text` is not a well-formed escaped value.
inline std::optional<std::string> UnescapeValue(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 3 >= text.size() || text[i + 1] != 'x')
            return std::nullopt;
        const auto high = HexDigitValue(text[i + 2]);
        const auto low = HexDigitValue(text[i + 3]);
        if (!high || !low)
            return std::nullopt;
        out += static_cast<char>(*high * 16 + *low);
        i += 3;
    }
    return out;
}

// One parsed report line: its first word and its fields, values unescaped.
struct ReportLine {
    std::string kind;
    std::map<std::string, std::string> fields;
};

inline std::optional<ReportLine> ParseReportLine(std::string_view line) {
    ReportLine report;
    std::size_t start = 0;
    bool first = true;
    while (start <= line.size()) {
        const std::size_t blank = line.find(' ', start);
        const std::string_view word =
            line.substr(start, blank == std::string_view::npos ? std::string_view::npos : blank - start);
        if (first) {
            report.kind = std::string(word);
            first = false;
        } else {
            const std::size_t equals = word.find('=');
            if (equals == std::string_view::npos)
                return std::nullopt;
            const auto value = UnescapeValue(word.substr(equals + 1));
            if (!value)
                return std::nullopt;
            report.fields[std::string(word.substr(0, equals))] = *value;
        }
        if (blank == std::string_view::npos)
            break;
        start = blank + 1;
    }
    return report;
}

// Builds one report line field by field.
class ReportBuilder {
public:
    explicit ReportBuilder(std::string_view kind) : line_(kind) {}

    ReportBuilder& Add(std::string_view name, std::string_view value) {
        line_ += ' ';
        line_ += name;
        line_ += '=';
        line_ += EscapeValue(value);
        return *this;
    }
    ReportBuilder& Add(std::string_view name, long long value) { return Add(name, std::to_string(value)); }

    const std::string& Line() const { return line_; }

private:
    std::string line_;
};

} // namespace qx::driver
