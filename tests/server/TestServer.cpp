#include "TestServer.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <utility>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qxtest {
namespace {

// A request header larger than this is recorded as far as it goes.
constexpr std::size_t MaxRequestSize = 64 * 1024;
// Blocking socket calls wake this often to notice that the server stops.
constexpr timeval WakePeriod{0, 50 * 1000};

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

[[noreturn]] void ThrowSystemError(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

// Listens on 127.0.0.1; returns the socket and sets `port` to the bound port.
int ListenOnLoopback(std::uint16_t requestedPort, int backlog, std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        ThrowSystemError("socket");
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(requestedPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        ThrowSystemError("listen on 127.0.0.1:" + std::to_string(requestedPort));
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool HeaderEnded(const std::string& request) {
    return request.find("\r\n\r\n") != std::string::npos || request.find("\n\n") != std::string::npos;
}

// The second blank-separated word of the request line.
std::string RequestPath(const std::string& request) {
    const std::string line = request.substr(0, request.find_first_of("\r\n"));
    const std::size_t start = line.find(' ');
    if (start == std::string::npos)
        return {};
    const std::size_t end = line.rfind(' ');
    return end > start ? line.substr(start + 1, end - start - 1) : line.substr(start + 1);
}

bool EscapesRoot(const std::string& path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (path.compare(start, end - start, "..") == 0)
            return true;
        start = end + 1;
    }
    return false;
}

std::string ErrorPage(const std::string& status) {
    return Answer(status, "<html><body><h1>" + status + "</h1></body></html>\n");
}

} // namespace

Step Send(std::string bytes) {
    return SendPaced(std::move(bytes), 0, std::chrono::milliseconds(0));
}

Step SendPaced(std::string bytes, std::size_t pieceSize, std::chrono::milliseconds interval) {
    return {Step::Kind::Send, std::move(bytes), pieceSize, interval};
}

Step Pause(std::chrono::milliseconds duration) {
    return {Step::Kind::Pause, {}, 0, duration};
}

Step Stall() {
    return {Step::Kind::Stall, {}, 0, {}};
}

Step Reset() {
    return {Step::Kind::Reset, {}, 0, {}};
}

std::string Answer(const std::string& status, const std::string& body, bool withLength) {
    std::string answer = "HTTP/1.0 " + status + "\r\n";
    if (withLength)
        answer += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return answer + "\r\n" + body;
}

TestServer::TestServer(ServerOptions options) : options_(std::move(options)) {
    listener_ = ListenOnLoopback(options_.port, 64, port_);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

TestServer::~TestServer() {
    Stop();
}

std::string TestServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TestServer::SetScript(const std::string& path, Script script) {
    const std::lock_guard<std::mutex> lock(mutex_);
    options_.scripts[path] = std::move(script);
}

std::vector<std::string> TestServer::Requests() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void TestServer::Stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (acceptThread_.joinable())
        acceptThread_.join();
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return activeConnections_ == 0; });
    if (listener_ >= 0)
        ::close(listener_);
    listener_ = -1;
}

void TestServer::AcceptLoop() {
    while (!stopping_) {
        pollfd entry{listener_, POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0)
            continue;
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ++activeConnections_;
        }
        std::thread([this, fd] {
            Serve(fd);
            const std::lock_guard<std::mutex> lock(mutex_);
            --activeConnections_;
            changed_.notify_all();
        }).detach();
    }
}

void TestServer::Serve(int fd) {
    UniqueFd connection(fd);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &WakePeriod, sizeof WakePeriod);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &WakePeriod, sizeof WakePeriod);
    const std::string request = ReadRequest(fd);
    Record(request);
    const std::string path = RequestPath(request);

    Script script;
    bool scripted = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto found = options_.scripts.find(path);
        if (found != options_.scripts.end()) {
            script = found->second;
            scripted = true;
        }
    }
    if (scripted)
        RunScript(fd, script);
    else if (!options_.root.empty())
        ServeFile(fd, path);
    else
        SendAll(fd, ErrorPage("404 Not Found"));
}

std::string TestServer::ReadRequest(int fd) const {
    std::string request;
    char buffer[4096];
    while (!stopping_ && !HeaderEnded(request) && request.size() < MaxRequestSize) {
        const ssize_t received = ::recv(fd, buffer, sizeof buffer, 0);
        if (received > 0)
            request.append(buffer, static_cast<std::size_t>(received));
        else if (received == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            break;
    }
    return request;
}

void TestServer::Record(const std::string& request) {
    const std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
    if (!options_.logPath.empty()) {
        std::ofstream log(options_.logPath, std::ios::binary | std::ios::app);
        log << "request " << request.size() << '\n' << request << '\n';
    }
}

void TestServer::RunScript(int fd, const Script& script) const {
    for (const Step& step : script) {
        switch (step.kind) {
        case Step::Kind::Send: {
            const std::size_t pieceSize = step.pieceSize == 0 ? step.bytes.size() : step.pieceSize;
            for (std::size_t at = 0; at < step.bytes.size(); at += pieceSize) {
                if (!SendAll(fd, step.bytes.substr(at, pieceSize)))
                    return;
                if (step.interval.count() > 0 && !Wait(step.interval))
                    return;
            }
            break;
        }
        case Step::Kind::Pause:
            if (!Wait(step.interval))
                return;
            break;
        case Step::Kind::Stall:
            Wait(std::nullopt);
            return;
        case Step::Kind::Reset: {
            const linger abort{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            return;
        }
        }
    }
}

void TestServer::ServeFile(int fd, const std::string& path) const {
    if (path.empty() || path.front() != '/' || EscapesRoot(path)) {
        SendAll(fd, ErrorPage("403 Forbidden"));
        return;
    }
    const UniqueFd file(::open((options_.root + path).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (file.Get() < 0 || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        SendAll(fd, ErrorPage("404 Not Found"));
        return;
    }
    const std::string header =
        "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(status.st_size) + "\r\n\r\n";
    if (!SendAll(fd, header))
        return;
    off_t offset = 0;
    while (offset < status.st_size && !stopping_) {
        const ssize_t sent =
            ::sendfile(fd, file.Get(), &offset, static_cast<std::size_t>(status.st_size - offset));
        if (sent < 0 && errno != EAGAIN && errno != EINTR)
            return;
        if (sent == 0)
            return;
    }
}

bool TestServer::SendAll(int fd, const std::string& bytes) const {
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (stopping_)
            return false;
        const ssize_t sent = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (sent > 0)
            at += static_cast<std::size_t>(sent);
        else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
    }
    return true;
}

bool TestServer::Wait(std::optional<std::chrono::milliseconds> duration) const {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto stopped = [this] { return stopping_.load(); };
    if (!duration) {
        changed_.wait(lock, stopped);
        return false;
    }
    return !changed_.wait_for(lock, *duration, stopped);
}

FullListener::FullListener() {
    listener_ = ListenOnLoopback(0, 0, port_);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // The kernel completes connections into the queue until it is full and
    // drops every later attempt; a few are enough to fill a backlog of 0.
    for (int i = 0; i < 4; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            ThrowSystemError("socket");
        queued_.push_back(fd);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
}

FullListener::~FullListener() {
    for (const int fd : queued_)
        ::close(fd);
    ::close(listener_);
}

std::vector<std::string> ParseRequestLog(const std::string& contents) {
    std::vector<std::string> requests;
    std::size_t at = 0;
    while (at < contents.size()) {
        const std::size_t lineEnd = contents.find('\n', at);
        const std::string prefix = "request ";
        if (lineEnd == std::string::npos || contents.compare(at, prefix.size(), prefix) != 0)
            throw std::runtime_error("Malformed request log at byte " + std::to_string(at));
        const std::size_t length =
            std::stoul(contents.substr(at + prefix.size(), lineEnd - at - prefix.size()));
        if (lineEnd + 1 + length + 1 > contents.size() || contents[lineEnd + 1 + length] != '\n')
            throw std::runtime_error("Truncated request log at byte " + std::to_string(at));
        requests.push_back(contents.substr(lineEnd + 1, length));
        at = lineEnd + 1 + length + 1;
    }
    return requests;
}

} // namespace qxtest
