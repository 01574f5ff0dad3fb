#include "platform/HttpErrors.h"
#include "platform/Socket.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// Uses the names of the socket headers above.
#include "platform/SocketAddresses.h"

namespace qx {
namespace {

// A stalled wait wakes this often to run the idle hook, so that a click on
// the window is handled within this time.
constexpr int IdlePeriodMs = 10;

int Fd(SocketHandle handle) {
    return static_cast<int>(handle);
}

std::string SystemMessage(int error) {
    return std::strerror(error);
}

// Waits for `events` on the socket, running `idle` whenever a period passes
// without them.
void WaitFor(SocketHandle handle, short events, const Deadline& deadline, const IdleHook& idle) {
    for (;;) {
        if (deadline.Expired())
            throw TimeoutError("The server did not answer in time");
        pollfd entry{Fd(handle), events, 0};
        const int ready = ::poll(&entry, 1, deadline.RemainingMs(IdlePeriodMs));
        if (ready > 0)
            return;
        if (ready < 0 && errno != EINTR)
            throw NetworkError("Waiting for the socket failed: " + SystemMessage(errno));
        if (idle)
            idle();
    }
}

// Shared by the caller and the lookup thread, which may outlive a caller that
// gave up.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::vector<Endpoint> endpoints;
    std::exception_ptr failure;
};

} // namespace

std::vector<Endpoint> LookupHost(const std::string& host, std::uint16_t port) {
    const addrinfo hints = StreamLookupHints<addrinfo>();
    addrinfo* found = nullptr;
    const int error = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (error != 0)
        throw NetworkError("The host name cannot be resolved: " + std::string(::gai_strerror(error)));
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, &::freeaddrinfo);
    return EndpointsOf(list.get());
}

std::vector<Endpoint> ResolveHost(const std::string& host, std::uint16_t port, const Deadline& deadline,
                                  const IdleHook& idle, const LookupFunction& lookup) {
    const auto pending = std::make_shared<PendingLookup>();
    std::thread([pending, host, port, lookup] {
        std::vector<Endpoint> endpoints;
        std::exception_ptr failure;
        try {
            endpoints = lookup(host, port);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard<std::mutex> lock(pending->mutex);
        pending->endpoints = std::move(endpoints);
        pending->failure = failure;
        pending->done = true;
        pending->finished.notify_all();
    }).detach();

    std::unique_lock<std::mutex> lock(pending->mutex);
    for (;;) {
        if (deadline.Expired())
            throw TimeoutError("The host name lookup took too long");
        const auto period = std::chrono::milliseconds(deadline.RemainingMs(IdlePeriodMs));
        if (pending->finished.wait_for(lock, period, [&] { return pending->done; }))
            break;
        lock.unlock();
        if (idle)
            idle();
        lock.lock();
    }
    if (pending->failure)
        std::rethrow_exception(pending->failure);
    return std::move(pending->endpoints);
}

Socket::Socket(const Endpoint& endpoint) {
    const auto* address = reinterpret_cast<const sockaddr*>(endpoint.address.data());
    const int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw NetworkError("A socket cannot be created: " + SystemMessage(errno));
    handle_ = static_cast<SocketHandle>(fd);
}

void Socket::ConnectTo(const Endpoint& endpoint, const Deadline& deadline, const IdleHook& idle) {
    const auto* address = reinterpret_cast<const sockaddr*>(endpoint.address.data());
    if (::connect(Fd(handle_), address, endpoint.length) == 0)
        return;
    if (errno != EINPROGRESS)
        throw NetworkError("The connection cannot be made: " + SystemMessage(errno));
    WaitFor(handle_, POLLOUT, deadline, idle);
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(Fd(handle_), SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        error = errno;
    if (error != 0)
        throw NetworkError("The connection cannot be made: " + SystemMessage(error));
}

void Socket::SendAll(std::string_view data, const Deadline& deadline, const IdleHook& idle) {
    while (!data.empty()) {
        const ssize_t sent = ::send(Fd(handle_), data.data(), data.size(), MSG_NOSIGNAL);
        if (sent >= 0) {
            data.remove_prefix(static_cast<std::size_t>(sent));
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            WaitFor(handle_, POLLOUT, deadline, idle);
        } else if (errno != EINTR) {
            throw NetworkError("Sending failed: " + SystemMessage(errno));
        }
    }
}

std::size_t Socket::Receive(char* buffer, std::size_t size, const Deadline& deadline, const IdleHook& idle) {
    for (;;) {
        const ssize_t received = ::recv(Fd(handle_), buffer, size, 0);
        if (received >= 0)
            return static_cast<std::size_t>(received);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            WaitFor(handle_, POLLIN, deadline, idle);
        else if (errno != EINTR)
            throw NetworkError("Receiving failed: " + SystemMessage(errno));
    }
}

void Socket::Close() noexcept {
    if (handle_ != InvalidSocket)
        ::close(Fd(handle_));
    handle_ = InvalidSocket;
}

} // namespace qx
