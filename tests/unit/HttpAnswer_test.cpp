#include "platform/HttpAnswer.h"
#include "platform/HttpErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace qx {
namespace {

// Hands out the given pieces one per Read (split further when the reader's
// buffer is smaller), and counts the stages the reader marks.
class MemoryStream : public ByteStream {
public:
    explicit MemoryStream(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {}

    std::size_t Read(char* buffer, std::size_t size) override {
        if (next_ == pieces_.size())
            return 0;
        std::string& piece = pieces_[next_];
        const std::size_t count = std::min(size, piece.size());
        std::memcpy(buffer, piece.data(), count);
        piece.erase(0, count);
        if (piece.empty())
            ++next_;
        return count;
    }
    void BeginStage() override { ++stages; }

    int stages = 0;

private:
    std::vector<std::string> pieces_;
    std::size_t next_ = 0;
};

std::string ReadWholeBody(AnswerReader& reader, std::vector<std::size_t>* pieceSizes = nullptr) {
    std::string body;
    for (std::string_view piece = reader.NextBodyPiece(); !piece.empty(); piece = reader.NextBodyPiece()) {
        body.append(piece);
        if (pieceSizes)
            pieceSizes->push_back(piece.size());
    }
    return body;
}

AnswerHeader HeaderOf(const std::string& answer) {
    MemoryStream stream({answer});
    AnswerReader reader(stream);
    return reader.ReadHeader();
}

TEST(StatusLine, IsTheSecondWordOfAnHttpLine) {
    const std::vector<std::pair<std::string, std::optional<int>>> cases = {
        {"HTTP/1.0 200 OK", 200},           {"HTTP/1.1 404 Not Found", 404},
        {"HTTP/1.0   301   Moved", 301},    {"HTTP/1.0 500", 500},
        {"HTTP/1.0 999 Odd", 999},          {"HTTP/1.0 20 OK", std::nullopt},
        {"HTTP/1.0 2000 OK", std::nullopt}, {"HTTP/1.0 2x0 OK", std::nullopt},
        {"HTTP/1.0", std::nullopt},         {"", std::nullopt},
        {"<html>200 OK", std::nullopt},     {"ICY 200 OK", std::nullopt},
    };
    for (const auto& [line, status] : cases)
        EXPECT_EQ(ParseStatusLine(line), status) << line;
}

TEST(ContentLength, AcceptsSignedDecimalNumbersOnly) {
    constexpr std::int64_t Max = std::numeric_limits<std::int64_t>::max();
    const std::vector<std::pair<std::string, std::optional<std::int64_t>>> cases = {
        {"10240", 10240},
        {"  42 \t", 42},
        {"0", 0},
        {"-5", -5},
        {"+7", 7},
        {"4294967296", 4294967296},
        {"99999999999999999999999", Max},
        {"-99999999999999999999999", -Max},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"-", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const auto& [value, length] : cases)
        EXPECT_EQ(ParseContentLength(value), length) << value;
}

TEST(ExpectedLength, IsZeroWithoutLengthAndSaturatesBeyond32Bits) {
    const std::vector<std::pair<std::optional<std::int64_t>, std::int32_t>> cases = {
        {std::nullopt, 0},
        {10240, 10240},
        {-5, -5},
        {4294967296, std::numeric_limits<std::int32_t>::max()},
        {-4294967296, std::numeric_limits<std::int32_t>::min()},
    };
    for (const auto& [length, expected] : cases) {
        AnswerHeader header;
        header.contentLength = length;
        EXPECT_EQ(header.ExpectedLength(), expected);
    }
}

TEST(AnswerReader, ReadsHeaderAndBodyWithCrLfOrLf) {
    for (const std::string lineEnd : {"\r\n", "\n"}) {
        MemoryStream stream({"HTTP/1.0 200 OK" + lineEnd + "Server: x" + lineEnd + "content-length: 5" +
                             lineEnd + lineEnd + "hello"});
        AnswerReader reader(stream);
        const AnswerHeader header = reader.ReadHeader();
        EXPECT_EQ(header.status, 200);
        EXPECT_TRUE(header.complete);
        EXPECT_EQ(header.contentLength, 5);
        EXPECT_TRUE(header.Readable());
        EXPECT_EQ(ReadWholeBody(reader), "hello");
    }
}

TEST(AnswerReader, DeliversTheBodyUpToTheEndOfTheStreamWhateverItsLength) {
    MemoryStream stream({"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nab", "cdef", "gh"});
    AnswerReader reader(stream);
    reader.ReadHeader();
    std::vector<std::size_t> pieces;
    EXPECT_EQ(ReadWholeBody(reader, &pieces), "abcdefgh");
    EXPECT_EQ(pieces, (std::vector<std::size_t>{2, 4, 2}));
}

TEST(AnswerReader, ReadsLargeBodiesInLargePieces) {
    const std::string body(3 * AnswerReader::PieceSize, 'b');
    MemoryStream stream({"HTTP/1.0 200 OK\r\n\r\n", body});
    AnswerReader reader(stream);
    reader.ReadHeader();
    std::vector<std::size_t> pieces;
    EXPECT_EQ(ReadWholeBody(reader, &pieces), body);
    EXPECT_EQ(pieces, std::vector<std::size_t>(3, AnswerReader::PieceSize));
}

TEST(AnswerReader, FindsLinesSplitAcrossReads) {
    MemoryStream stream(
        {"HT", "TP/1.0 4", "04 Not Found\r", "\nContent-Len", "gth: 1", "2\r\n\r", "\n", "not found!!!"});
    AnswerReader reader(stream);
    const AnswerHeader header = reader.ReadHeader();
    EXPECT_EQ(header.status, 404);
    EXPECT_EQ(header.contentLength, 12);
    EXPECT_EQ(ReadWholeBody(reader), "not found!!!");
}

TEST(AnswerReader, MarksAStageForEveryHeaderLineAndEveryBodyRead) {
    MemoryStream stream({"HTTP/1.0 200 OK\r\n", "A: 1\r\n", "\r\n", "x", "y"});
    AnswerReader reader(stream);
    reader.ReadHeader();
    EXPECT_EQ(stream.stages, 3); // the status line, "A: 1", the empty line
    ReadWholeBody(reader);
    EXPECT_EQ(stream.stages, 6); // "x", "y", the end
}

TEST(AnswerReader, StopsAtAFirstLineThatIsNoStatusLine) {
    const AnswerHeader header = HeaderOf("<html>hello</html>\r\nHTTP/1.0 200 OK\r\n\r\n");
    EXPECT_FALSE(header.status);
    EXPECT_FALSE(header.Readable());
}

TEST(AnswerReader, TakesAnEndedOrCutOffAnswerAsUnreadable) {
    const std::vector<std::string> answers = {"", "HTTP/1.0 200 OK",
                                              "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n"};
    for (const std::string& answer : answers)
        EXPECT_FALSE(HeaderOf(answer).Readable()) << answer;
}

TEST(AnswerReader, KeepsTheFirstOfEqualLengthsAndFlagsDifferentOnes) {
    const AnswerHeader sameHeader =
        HeaderOf("HTTP/1.0 200 OK\r\nContent-Length: 4\r\nContent-Length: abc\r\nContent-Length: 4\r\n\r\n");
    EXPECT_EQ(sameHeader.contentLength, 4);
    EXPECT_TRUE(sameHeader.Readable());

    const AnswerHeader differentHeader =
        HeaderOf("HTTP/1.0 200 OK\r\nContent-Length: 4\r\nContent-Length: 5\r\n\r\n");
    EXPECT_TRUE(differentHeader.conflictingLengths);
    EXPECT_FALSE(differentHeader.Readable());
}

TEST(AnswerReader, TakesAHeaderOfExactly64KiBAndRefusesOneByteMore) {
    const std::string start = "HTTP/1.0 200 OK\r\nX: ";
    const std::string end = "\r\n\r\n";
    const std::string filler(AnswerReader::MaxHeaderSize - start.size() - end.size(), 'a');

    MemoryStream fits({start + filler + end + "body"});
    AnswerReader fitsReader(fits);
    EXPECT_TRUE(fitsReader.ReadHeader().Readable());
    EXPECT_EQ(ReadWholeBody(fitsReader), "body");

    MemoryStream tooLarge({start + filler + "a" + end + "body"});
    AnswerReader tooLargeReader(tooLarge);
    EXPECT_THROW(tooLargeReader.ReadHeader(), AnswerTooLargeError);
}

TEST(AnswerReader, RefusesAnEndlessHeaderLineOnceItPassesTheCap) {
    MemoryStream stream({"HTTP/1.0 200 OK\r\nX: " + std::string(AnswerReader::MaxHeaderSize, 'a'),
                         std::string(AnswerReader::MaxHeaderSize, 'a')});
    AnswerReader reader(stream);
    EXPECT_THROW(reader.ReadHeader(), AnswerTooLargeError);
}

} // namespace
} // namespace qx
