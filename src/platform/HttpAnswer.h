#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qx {

// The bytes of one answer as they arrive, from a socket or from memory.
class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Reads at least one byte into `buffer`, at most `size`; 0 means the
    // sender has ended the stream in order.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    // A new stage of the answer begins: the next line of the header or the
    // next piece of the body. A stream with a time-out starts its period anew.
    virtual void BeginStage() {}
};

struct AnswerHeader {
    // Absent when the first line is no status line "HTTP/x.y nnn ...",
    // including an answer that ended before its first line did.
    std::optional<int> status;
    // The empty line that ends the header arrived.
    bool complete = false;
    // The number on the Content-Length line, saturated to 64 bits. Absent
    // when there is no such line or its value is not a number.
    std::optional<std::int64_t> contentLength;
    // Two Content-Length lines disagree, so the length of the body is unknown.
    bool conflictingLengths = false;

    // Whether the body that follows can be taken as a document.
    bool Readable() const { return status && complete && !conflictingLengths; }
    // Content-Length as the 32-bit count that the update logic reads: 0
    // without one; a value beyond 32 bits is saturated, so that its sign is
    // kept.
    std::int32_t ExpectedLength() const;
};

// Reads an HTTP/1.0 answer: the header line by line, then the body in pieces
// up to the end of the stream. The body is never cut at Content-Length: every
// byte the server sends belongs to the document.
class AnswerReader {
public:
    // A header beyond this, its empty line included, is refused, so that a
    // server cannot make the client buffer without end.
    static constexpr std::size_t MaxHeaderSize = 64 * 1024;
    // Large pieces keep the work per piece small against the transfer.
    static constexpr std::size_t PieceSize = 256 * 1024;

    explicit AnswerReader(ByteStream& stream);

    // Raises AnswerTooLargeError when the header exceeds MaxHeaderSize. Stops
    // at the first line when it is no status line.
    AnswerHeader ReadHeader();
    // The next piece of the body, empty at its end. It stays valid until the
    // next call.
    std::string_view NextBodyPiece();

private:
    ByteStream& stream_;
    std::vector<char> buffer_;
    // Body bytes that arrived together with the header.
    std::size_t pendingBegin_ = 0;
    std::size_t pendingEnd_ = 0;
};

// A whole status line, without its line end.
std::optional<int> ParseStatusLine(std::string_view line);
// A Content-Length value: blanks around an optional sign and decimal digits.
std::optional<std::int64_t> ParseContentLength(std::string_view value);

} // namespace qx
