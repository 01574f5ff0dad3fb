#include "platform/HttpAnswer.h"

#include "platform/HttpErrors.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string>

namespace qx {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Words of a line separated by runs of blanks.
std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', pos);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, end - start));
        pos = end;
    }
    return words;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view WithoutLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

void AddHeaderLine(std::string_view line, AnswerHeader& header) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !EqualsIgnoringCase(line.substr(0, colon), "Content-Length"))
        return;
    const std::optional<std::int64_t> length = ParseContentLength(line.substr(colon + 1));
    if (!length)
        return;
    if (header.contentLength && *header.contentLength != *length)
        header.conflictingLengths = true;
    if (!header.contentLength)
        header.contentLength = length;
}

} // namespace

std::int32_t AnswerHeader::ExpectedLength() const {
    if (!contentLength)
        return 0;
    using Limits = std::numeric_limits<std::int32_t>;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(*contentLength, Limits::min(), Limits::max()));
}

std::optional<int> ParseStatusLine(std::string_view line) {
    const std::vector<std::string_view> words = SplitWords(line);
    if (words.size() < 2 || words[0].substr(0, 5) != "HTTP/")
        return std::nullopt;
    const std::string_view code = words[1];
    if (code.size() != 3 || !std::all_of(code.begin(), code.end(), IsDigit))
        return std::nullopt;
    return (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
}

std::optional<std::int64_t> ParseContentLength(std::string_view value) {
    value = TrimBlanks(value);
    const bool negative = !value.empty() && value.front() == '-';
    if (!value.empty() && (value.front() == '-' || value.front() == '+'))
        value.remove_prefix(1);
    if (value.empty() || !std::all_of(value.begin(), value.end(), IsDigit))
        return std::nullopt;

    constexpr std::int64_t Max = std::numeric_limits<std::int64_t>::max();
    std::int64_t magnitude = 0;
    for (const char digit : value) {
        const int d = digit - '0';
        magnitude = magnitude > (Max - d) / 10 ? Max : magnitude * 10 + d;
    }
    return negative ? -magnitude : magnitude;
}

AnswerReader::AnswerReader(ByteStream& stream) : stream_(stream), buffer_(PieceSize) {}

AnswerHeader AnswerReader::ReadHeader() {
    AnswerHeader header;
    std::size_t filled = 0;
    std::size_t lineStart = 0;
    bool firstLine = true;
    stream_.BeginStage();
    for (;;) {
        const auto lineEnd = std::find(buffer_.begin() + lineStart, buffer_.begin() + filled, '\n');
        if (lineEnd == buffer_.begin() + filled) {
            if (filled > MaxHeaderSize)
                throw AnswerTooLargeError("The header of the answer is too large");
            const std::size_t received = stream_.Read(buffer_.data() + filled, buffer_.size() - filled);
            if (received == 0)
                return header;
            filled += received;
            continue;
        }
        const std::size_t next = static_cast<std::size_t>(lineEnd - buffer_.begin()) + 1;
        if (next > MaxHeaderSize)
            throw AnswerTooLargeError("The header of the answer is too large");
        const std::string_view line = WithoutLineEnd({buffer_.data() + lineStart, next - 1 - lineStart});
        lineStart = next;
        if (firstLine) {
            header.status = ParseStatusLine(line);
            if (!header.status)
                return header;
            firstLine = false;
        } else if (line.empty()) {
            header.complete = true;
            pendingBegin_ = next;
            pendingEnd_ = filled;
            return header;
        } else {
            AddHeaderLine(line, header);
        }
        stream_.BeginStage();
    }
}

std::string_view AnswerReader::NextBodyPiece() {
    if (pendingBegin_ < pendingEnd_) {
        const std::string_view piece(buffer_.data() + pendingBegin_, pendingEnd_ - pendingBegin_);
        pendingBegin_ = pendingEnd_;
        return piece;
    }
    stream_.BeginStage();
    return {buffer_.data(), stream_.Read(buffer_.data(), buffer_.size())};
}

} // namespace qx
