#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qxtest {

// One action of a scripted answer. The connection closes in order after the
// last step; a script without steps closes without any answer.
struct Step {
    enum class Kind {
        Send,  // `bytes`, in pieces of `pieceSize` (0: at once) with `interval` after each
        Pause, // waits `interval`
        Stall, // waits until the server stops
        Reset, // aborts the connection with a reset (SO_LINGER 0)
    };
    Kind kind = Kind::Send;
    std::string bytes;
    std::size_t pieceSize = 0;
    std::chrono::milliseconds interval{0};

    bool operator==(const Step& other) const {
        return kind == other.kind && bytes == other.bytes && pieceSize == other.pieceSize &&
               interval == other.interval;
    }
};
using Script = std::vector<Step>;

Step Send(std::string bytes);
Step SendPaced(std::string bytes, std::size_t pieceSize, std::chrono::milliseconds interval);
Step Pause(std::chrono::milliseconds duration);
Step Stall();
Step Reset();

// A whole answer: "HTTP/1.0 <status>", the header lines, the empty line and
// the body, with a Content-Length line when `withLength` is set.
std::string Answer(const std::string& status, const std::string& body, bool withLength = true);

struct ServerOptions {
    // 0: any free port.
    std::uint16_t port = 0;
    // Serves DIR/path for a GET of /path; empty: no files.
    std::string root;
    // Scripted answers by request path, byte for byte; they override the root.
    std::map<std::string, Script> scripts;
    // Appends each request in the request log format; empty: no log.
    std::string logPath;
};

// An HTTP server on 127.0.0.1 that runs on threads of the calling process. It
// reads each request up to the end of its header, records the bytes, and
// answers by script, from the root, or with 404.
class TestServer {
public:
    explicit TestServer(ServerOptions options = {});
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    std::uint16_t Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string Url(const std::string& path) const;
    void SetScript(const std::string& path, Script script);
    // The raw bytes of every request so far, in the order they arrived.
    std::vector<std::string> Requests() const;
    // Ends stalls and pauses, closes every connection and waits for them.
    void Stop();

private:
    void AcceptLoop();
    void Serve(int fd);
    std::string ReadRequest(int fd) const;
    void Record(const std::string& request);
    void RunScript(int fd, const Script& script) const;
    void ServeFile(int fd, const std::string& path) const;
    bool SendAll(int fd, const std::string& bytes) const;
    // Waits `duration` (forever when absent) unless the server stops first;
    // false when it stopped.
    bool Wait(std::optional<std::chrono::milliseconds> duration) const;

    ServerOptions options_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> requests_;
    int activeConnections_ = 0;
    std::thread acceptThread_;
};

// A port on 127.0.0.1 whose accept queue is full, so that a connection to it
// is never completed: a connect stalls until its time-out.
class FullListener {
public:
    FullListener();
    ~FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;
    std::uint16_t Port() const { return port_; }

private:
    int listener_ = -1;
    std::vector<int> queued_;
    std::uint16_t port_ = 0;
};

// Splits the contents of a request log into the raw requests.
std::vector<std::string> ParseRequestLog(const std::string& contents);

} // namespace qxtest
