#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/HttpClient.h"

namespace qx::fakes {

// One scripted answer of the HTTP fake, played by the next Get.
struct FakeAnswer {
    // The status code; 0 plays an answer without a status line.
    int status = 200;
    // The Content-Length line; 0 plays an answer without one.
    std::int32_t contentLength = 0;
    // The body, as the pieces that arrive one by one.
    std::vector<std::string> pieces;
    // Name lookup or connection fails: an exception before anything arrives.
    bool unreachable = false;
    // The connection breaks after this many pieces: an exception.
    std::optional<std::size_t> brokenAfterPieces;
    // Code run as the piece with this index (from 0) arrives, after it has been
    // stored and counted and before its OnPacketRecvd fires. Messages it posts
    // to the fake window run inside that handler.
    std::map<std::size_t, std::function<void()>> atPiece;

    static FakeAnswer Document(std::string body, int status = 200);
    static FakeAnswer Unreachable();
};

// The HTTP client component, playing scripted answers as the real one reports
// them: 4xx/5xx, a redirect (after OnRedirect), an answer without a status
// line and a body cut short of its Content-Length all end in OnFailure(CmdGET);
// failures to connect, a broken connection, a cancel and an expired time-out
// raise qx::Exception at the next check, which is after each piece's handler.
// In file mode the body goes into the file named by Body, relative to the
// current directory, created when the body starts.
class FakeHttpClient : public HttpClient {
public:
    struct Request {
        std::string url;
        bool inputFileMode;
        std::string body;
        int timeOut;
    };

    void Get(const std::string& url) override;
    void Cancel() override;

    void Script(FakeAnswer answer) { answers_.push_back(std::move(answer)); }
    std::size_t UnusedAnswers() const { return answers_.size(); }
    // The time-out of the running request's stage has expired, for instance
    // while a box was left open: the request is abandoned at its next check.
    void ExpireTimeOut();

    const std::vector<Request>& Requests() const { return requests_; }
    std::vector<std::string> RequestedUrls() const;
    // Handled as the OnRedirect handler left it, one entry per redirect.
    const std::vector<bool>& RedirectsHandled() const { return redirectsHandled_; }
    int cancelCalls = 0;

private:
    void PlayBody(const FakeAnswer& answer);
    void ReportOutcome(const FakeAnswer& answer);
    void ThrowIfAbandoned() const;

    std::deque<FakeAnswer> answers_;
    std::vector<Request> requests_;
    std::vector<bool> redirectsHandled_;
    bool running_ = false;
    bool cancelRequested_ = false;
    bool timedOut_ = false;
};

} // namespace qx::fakes
