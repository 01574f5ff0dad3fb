#pragma once

#include "platform/HttpClient.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qx {

class AnswerReader;
struct HttpUrl;

// The HTTP client component: one HTTP/1.0 GET per call, on the calling
// thread, over a connection that lives exactly as long as the call.
//
// Answers that bring no proper document end as a failed GET (OnFailure, and
// Get returns normally): a status of 400 or above, a redirect (after
// OnRedirect; redirects are never followed), a status below 200, no valid
// status line (a connection closed without an answer included), a header cut
// off by the close, a body shorter than its Content-Length, and two
// Content-Length lines that disagree.
class TNMHTTP : public HttpClient {
public:
    // The largest document kept in memory; file mode has no limit.
    static constexpr std::int64_t MaxMemoryBody = 64 * 1024 * 1024;

    // `processMessages` handles the pending window messages; it runs while Get
    // waits, at least every 10 ms during a stall.
    explicit TNMHTTP(std::function<void()> processMessages = {});

    void Get(const std::string& url) override;
    void Cancel() override;

private:
    // How the transfer ended when it did not raise.
    struct Outcome {
        std::optional<int> status;
        bool failed = false;
    };

    Outcome Transfer(const HttpUrl& url);
    std::int64_t ReceiveBody(AnswerReader& reader);
    void Report(const Outcome& outcome);
    void WhileWaiting();
    void ThrowIfCancelled() const;

    std::function<void()> processMessages_;
    std::atomic<bool> cancelled_{false};
};

} // namespace qx
