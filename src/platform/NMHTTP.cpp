#include "platform/NMHTTP.h"

#include "platform/HttpAnswer.h"
#include "platform/HttpErrors.h"
#include "platform/HttpUrl.h"
#include "platform/Socket.h"

#include <cstdio>
#include <limits>
#include <memory>
#include <utility>

namespace qx {
namespace {

// Where the body of the answer goes; created when the body starts.
class BodySink {
public:
    virtual ~BodySink() = default;
    virtual void Store(std::string_view piece) = 0;
    // Completes the document; a file is closed here, so that a write error on
    // closing still fails the request.
    virtual void Finish() = 0;
};

class MemorySink : public BodySink {
public:
    explicit MemorySink(std::string& body) : body_(body) { body_.clear(); }

    void Store(std::string_view piece) override {
        if (static_cast<std::int64_t>(body_.size() + piece.size()) > TNMHTTP::MaxMemoryBody) {
            std::string().swap(body_);
            throw AnswerTooLargeError("The document is too large to be kept in memory");
        }
        body_.append(piece);
    }
    void Finish() override {}

private:
    std::string& body_;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

class FileSink : public BodySink {
public:
    // Replaces any file of that name. A relative name is taken against the
    // current directory.
    explicit FileSink(const std::string& name) : name_(name), file_(std::fopen(name.c_str(), "wb")) {
        if (!file_)
            throw BodyFileError("The file " + name_ + " cannot be created");
        // The pieces are large already; a stdio buffer would only copy them.
        std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    }

    void Store(std::string_view piece) override {
        if (std::fwrite(piece.data(), 1, piece.size(), file_.get()) != piece.size())
            throw BodyFileError("The file " + name_ + " cannot be written");
    }
    void Finish() override {
        if (std::fclose(file_.release()) != 0)
            throw BodyFileError("The file " + name_ + " cannot be written");
    }

private:
    std::string name_;
    std::unique_ptr<std::FILE, FileCloser> file_;
};

// The answer as it arrives on the connection; each stage of the answer may
// wait for the time-out.
class ConnectionStream : public ByteStream {
public:
    ConnectionStream(Socket& socket, int timeOut, const IdleHook& idle)
        : socket_(socket), timeOut_(timeOut), idle_(idle) {}

    std::size_t Read(char* buffer, std::size_t size) override {
        return socket_.Receive(buffer, size, deadline_, idle_);
    }
    void BeginStage() override { deadline_ = Deadline::After(timeOut_); }

private:
    Socket& socket_;
    int timeOut_;
    const IdleHook& idle_;
    Deadline deadline_ = Deadline::After(timeOut_);
};

std::int32_t Saturated32(std::int64_t value) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

bool IsProperDocument(const AnswerHeader& header, std::int64_t received) {
    const bool shortBody = header.contentLength && received < *header.contentLength;
    return *header.status >= 200 && *header.status <= 299 && !shortBody;
}

} // namespace

TNMHTTP::TNMHTTP(std::function<void()> processMessages) : processMessages_(std::move(processMessages)) {}

void TNMHTTP::Get(const std::string& url) {
    cancelled_ = false;
    const HttpUrl target = ParseHttpUrl(url);
    const Outcome outcome = Transfer(target);
    ThrowIfCancelled();
    Report(outcome);
}

void TNMHTTP::Cancel() {
    cancelled_ = true;
}

TNMHTTP::Outcome TNMHTTP::Transfer(const HttpUrl& url) {
    const IdleHook idle = [this] { WhileWaiting(); };
    const std::vector<Endpoint> endpoints = ResolveHost(url.host, url.port, Deadline::After(TimeOut), idle);
    ThrowIfCancelled();
    Socket socket = Socket::Connect(endpoints, Deadline::After(TimeOut), idle);
    ThrowIfCancelled();
    socket.SendAll(GetRequest(url), Deadline::After(TimeOut), idle);

    ConnectionStream stream(socket, TimeOut, idle);
    AnswerReader reader(stream);
    const AnswerHeader header = reader.ReadHeader();
    if (!header.Readable())
        return {header.status, true};
    expectedLength_ = header.ExpectedLength();
    const std::int64_t received = ReceiveBody(reader);
    return {header.status, !IsProperDocument(header, received)};
}

std::int64_t TNMHTTP::ReceiveBody(AnswerReader& reader) {
    std::unique_ptr<BodySink> sink;
    if (InputFileMode)
        sink = std::make_unique<FileSink>(Body);
    else
        sink = std::make_unique<MemorySink>(Body);
    receivedLength_ = 0;

    std::int64_t received = 0;
    for (std::string_view piece = reader.NextBodyPiece(); !piece.empty(); piece = reader.NextBodyPiece()) {
        sink->Store(piece);
        received += static_cast<std::int64_t>(piece.size());
        receivedLength_ = Saturated32(received);
        if (OnPacketRecvd)
            OnPacketRecvd();
        ThrowIfCancelled();
    }
    sink->Finish();
    return received;
}

void TNMHTTP::Report(const Outcome& outcome) {
    if (outcome.status && *outcome.status >= 300 && *outcome.status <= 399 && OnRedirect) {
        bool handled = false;
        OnRedirect(handled);
        ThrowIfCancelled();
    }
    if (outcome.failed && OnFailure) {
        OnFailure(CmdType::CmdGET);
        ThrowIfCancelled();
    }
}

void TNMHTTP::WhileWaiting() {
    if (processMessages_)
        processMessages_();
    ThrowIfCancelled();
}

void TNMHTTP::ThrowIfCancelled() const {
    if (cancelled_)
        throw CancelledError();
}

} // namespace qx
