#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qx {

enum class CmdType { CmdGET };

// The HTTP client component `NMHTTP1` as the update logic sees it. Get runs on
// the calling thread and returns when the request is over; a request that
// cannot be completed (bad URL, name lookup, connection, socket error,
// time-out, cancel, body file, an exception from an event handler) raises an
// exception derived from qx::Exception instead.
class HttpClient {
public:
    virtual ~HttpClient() = default;

    virtual void Get(const std::string& url) = 0;
    // May be called at any moment, also from an event handler running inside
    // Get: the running Get then raises at its next check. Without a running
    // request it has no effect on the next one.
    virtual void Cancel() = 0;

    // Content-Length of the current answer, 0 without one.
    std::int32_t ExpectedLength() const { return expectedLength_; }
    // Body bytes received so far for the current answer.
    std::int32_t ReceivedLength() const { return receivedLength_; }

    // false: the document arrives as text in Body. true: Body names the file
    // (relative to the current directory) that receives the document.
    bool InputFileMode = false;
    std::string Body = "Default.htm";
    // Milliseconds a stage of a request may wait; 0 means no time-out.
    int TimeOut = 5000;

    // Fires after each stored piece of the body.
    std::function<void()> OnPacketRecvd;
    // Fires after the whole body of an answer that counts as a failed GET.
    std::function<void(CmdType)> OnFailure;
    // Fires for a redirect answer; a handler that sets Handled stops the
    // client from following it.
    std::function<void(bool& handled)> OnRedirect;

protected:
    std::int32_t expectedLength_ = 0;
    std::int32_t receivedLength_ = 0;
};

} // namespace qx
