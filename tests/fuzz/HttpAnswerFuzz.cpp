// Fuzz target of the HTTP answer reader: the first byte of the input chooses
// how the answer is cut into reads (1 to 255 bytes, or 0: all at once), the
// rest is the answer as the server sent it. Checked: the header and the body
// split the answer exactly, every field agrees with the lines it came from,
// the header cap holds, and the status and Content-Length parsers keep their
// rules on every line they see.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "platform/HttpAnswer.h"
#include "platform/HttpErrors.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

class MemoryStream : public qx::ByteStream {
public:
    MemoryStream(std::string_view bytes, std::size_t readSize) : bytes_(bytes), readSize_(readSize) {}

    std::size_t Read(char* buffer, std::size_t size) override {
        Require(size > 0, "a read asks for at least one byte");
        std::size_t count = std::min(size, bytes_.size());
        if (readSize_ != 0)
            count = std::min(count, readSize_);
        bytes_.copy(buffer, count);
        bytes_.remove_prefix(count);
        return count;
    }

private:
    std::string_view bytes_;
    std::size_t readSize_;
};

std::string_view WithoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Content-Length: blanks, an optional sign, at least one digit, blanks.
void CheckContentLength(std::string_view value) {
    const std::optional<std::int64_t> parsed = qx::ParseContentLength(value);
    while (!value.empty() && IsBlank(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && IsBlank(value.back()))
        value.remove_suffix(1);
    std::string_view digits = value;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
        digits.remove_prefix(1);
    const bool wellFormed =
        !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
    Require(parsed.has_value() == wellFormed, "Content-Length accepted exactly when well formed");
    if (!wellFormed)
        return;
    const std::string text(value);
    // The magnitude saturates at 2^63 - 1 whatever the sign, so -2^63 itself
    // reads as -(2^63 - 1).
    constexpr long long kMax = std::numeric_limits<std::int64_t>::max();
    const long long expected = std::clamp(std::strtoll(text.c_str(), nullptr, 10), -kMax, kMax);
    Require(*parsed == expected, "Content-Length value");
}

void CheckStatusLine(std::string_view line) {
    const std::optional<int> status = qx::ParseStatusLine(line);
    if (!status)
        return;
    Require(*status >= 0 && *status <= 999, "status has three digits");
    const std::string_view trimmed = line.substr(std::min(line.find_first_not_of(' '), line.size()));
    Require(trimmed.substr(0, 5) == "HTTP/", "status line starts with HTTP/");
    const std::string code = (*status < 100 ? (*status < 10 ? "00" : "0") : "") + std::to_string(*status);
    Require(line.find(" " + code) != std::string_view::npos, "status code stands in the line");
}

// What the header lines say, read line by line without the reader.
struct ModelHeader {
    std::optional<int> status;
    bool complete = false;
    std::optional<std::int64_t> contentLength;
    bool conflicting = false;
    // Where the line that decides the header ends: the first line when it is
    // no status line, else the empty line; npos when the answer ends first.
    std::size_t end = std::string_view::npos;
};

bool IsContentLengthName(std::string_view name) {
    constexpr std::string_view kName = "content-length";
    if (name.size() != kName.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] + 32) : name[i];
        if (c != kName[i])
            return false;
    }
    return true;
}

ModelHeader ReadModelHeader(std::string_view answer) {
    ModelHeader model;
    std::size_t start = 0;
    for (bool first = true;; first = false) {
        const std::size_t newline = answer.find('\n', start);
        if (newline == std::string_view::npos)
            return model;
        const std::string_view line = WithoutCr(answer.substr(start, newline - start));
        start = newline + 1;
        if (first) {
            CheckStatusLine(line);
            model.status = qx::ParseStatusLine(line);
            if (!model.status) {
                model.end = start;
                return model;
            }
            continue;
        }
        if (line.empty()) {
            model.complete = true;
            model.end = start;
            return model;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !IsContentLengthName(line.substr(0, colon)))
            continue;
        CheckContentLength(line.substr(colon + 1));
        const std::optional<std::int64_t> length = qx::ParseContentLength(line.substr(colon + 1));
        if (!length)
            continue;
        if (model.contentLength && *model.contentLength != *length)
            model.conflicting = true;
        if (!model.contentLength)
            model.contentLength = length;
    }
}

void CheckAnswer(std::string_view answer, std::size_t readSize) {
    const ModelHeader model = ReadModelHeader(answer);
    MemoryStream stream(answer, readSize);
    qx::AnswerReader reader(stream);
    qx::AnswerHeader header;
    try {
        header = reader.ReadHeader();
    } catch (const qx::AnswerTooLargeError&) {
        Require(std::min(model.end, answer.size()) > qx::AnswerReader::MaxHeaderSize,
                "only a header beyond the cap is refused");
        return;
    }
    Require(std::min(model.end, answer.size()) <= qx::AnswerReader::MaxHeaderSize,
            "a header beyond the cap is refused");
    Require(header.status == model.status, "status");
    Require(header.complete == model.complete, "end of header");
    if (!header.complete)
        return;
    Require(header.contentLength == model.contentLength, "Content-Length");
    Require(header.conflictingLengths == model.conflicting, "conflicting lengths");
    Require(header.Readable() == !model.conflicting, "readable");
    const std::int64_t length = model.contentLength.value_or(0);
    const std::int32_t expected = header.ExpectedLength();
    Require(length >= std::numeric_limits<std::int32_t>::max()
                ? expected == std::numeric_limits<std::int32_t>::max()
            : length <= std::numeric_limits<std::int32_t>::min()
                ? expected == std::numeric_limits<std::int32_t>::min()
                : expected == length,
            "ExpectedLength is Content-Length clamped to 32 bits");

    std::string body;
    for (std::string_view piece = reader.NextBodyPiece(); !piece.empty(); piece = reader.NextBodyPiece()) {
        Require(piece.size() <= qx::AnswerReader::PieceSize, "piece size");
        body.append(piece);
    }
    Require(reader.NextBodyPiece().empty(), "the body stays ended");
    Require(body == answer.substr(model.end), "the body is every byte after the header");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view answer(reinterpret_cast<const char*>(data) + 1, size - 1);
    CheckAnswer(answer, data[0]);
    return 0;
}
