#include "platform/HttpErrors.h"
#include "platform/Socket.h"

#include <cstring>
#include <exception>
#include <memory>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

// Uses the names of the socket headers above.
#include "platform/SocketAddresses.h"

namespace qx {
namespace {

SOCKET Native(SocketHandle handle) {
    return static_cast<SOCKET>(handle);
}

std::string WinsockMessage(const char* what, int error) {
    return std::string(what) + " (Winsock error " + std::to_string(error) + ")";
}

// Winsock must be started once per process before any other call; it stays
// started until the process ends.
void StartWinsock() {
    static const int error = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (error != 0)
        throw NetworkError(WinsockMessage("Winsock cannot be started", error));
}

DWORD WaitMs(const Deadline& deadline) {
    return deadline.Unlimited() ? INFINITE : static_cast<DWORD>(deadline.RemainingMs(INT32_MAX));
}

// Waits until `signal` is set or a window message arrives, running `idle` for
// each message. Returns false when the deadline has passed.
bool WaitForSignalOrMessage(HANDLE signal, const Deadline& deadline, const IdleHook& idle) {
    for (;;) {
        if (deadline.Expired())
            return false;
        const DWORD result = ::MsgWaitForMultipleObjects(1, &signal, FALSE, WaitMs(deadline), QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result == WAIT_FAILED)
            throw NetworkError("Waiting for the socket failed (error " + std::to_string(::GetLastError()) +
                               ")");
        if (result == WAIT_OBJECT_0 + 1 && idle)
            idle();
    }
}

// Waits for one of `events` (FD_* bits) on a socket whose readiness event was
// selected for all of them. Returns the error code Winsock reports with it.
int WaitFor(SocketHandle handle, HANDLE readiness, long events, int errorBit, const Deadline& deadline,
            const IdleHook& idle) {
    for (;;) {
        if (!WaitForSignalOrMessage(readiness, deadline, idle))
            throw TimeoutError("The server did not answer in time");
        WSANETWORKEVENTS happened{};
        if (::WSAEnumNetworkEvents(Native(handle), readiness, &happened) != 0)
            throw NetworkError(WinsockMessage("Socket events cannot be read", ::WSAGetLastError()));
        if (happened.lNetworkEvents & events)
            return errorBit >= 0 ? happened.iErrorCode[errorBit] : 0;
    }
}

struct EventCloser {
    void operator()(HANDLE event) const { ::CloseHandle(event); }
};
using UniqueEvent = std::unique_ptr<void, EventCloser>;

// Shared by the caller and the lookup thread, which may outlive a caller that
// gave up. The thread's result is read only after `done` is set, which orders
// the memory accesses.
struct PendingLookup {
    std::string host;
    std::uint16_t port = 0;
    LookupFunction lookup;
    UniqueEvent done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::vector<Endpoint> endpoints;
    std::exception_ptr failure;
};

DWORD WINAPI RunLookup(void* parameter) {
    const std::unique_ptr<std::shared_ptr<PendingLookup>> owner(
        static_cast<std::shared_ptr<PendingLookup>*>(parameter));
    PendingLookup& pending = **owner;
    try {
        pending.endpoints = pending.lookup(pending.host, pending.port);
    } catch (...) {
        pending.failure = std::current_exception();
    }
    ::SetEvent(pending.done.get());
    return 0;
}

} // namespace

std::vector<Endpoint> LookupHost(const std::string& host, std::uint16_t port) {
    StartWinsock();
    const addrinfo hints = StreamLookupHints<addrinfo>();
    addrinfo* found = nullptr;
    const int error = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (error != 0)
        throw NetworkError(WinsockMessage("The host name cannot be resolved", error));
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, &::freeaddrinfo);
    return EndpointsOf(list.get());
}

std::vector<Endpoint> ResolveHost(const std::string& host, std::uint16_t port, const Deadline& deadline,
                                  const IdleHook& idle, const LookupFunction& lookup) {
    const auto pending = std::make_shared<PendingLookup>();
    pending->host = host;
    pending->port = port;
    pending->lookup = lookup;
    if (!pending->done)
        throw NetworkError("An event for the name lookup cannot be created");

    auto owner = std::make_unique<std::shared_ptr<PendingLookup>>(pending);
    const HANDLE thread = ::CreateThread(nullptr, 0, RunLookup, owner.get(), 0, nullptr);
    if (!thread)
        throw NetworkError("The name lookup cannot be started");
    owner.release();
    ::CloseHandle(thread);

    if (!WaitForSignalOrMessage(pending->done.get(), deadline, idle))
        throw TimeoutError("The host name lookup took too long");
    if (pending->failure)
        std::rethrow_exception(pending->failure);
    return std::move(pending->endpoints);
}

Socket::Socket(const Endpoint& endpoint) {
    StartWinsock();
    const auto* address = reinterpret_cast<const sockaddr*>(endpoint.address.data());
    const SOCKET s = ::socket(address->sa_family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        throw NetworkError(WinsockMessage("A socket cannot be created", ::WSAGetLastError()));
    handle_ = static_cast<SocketHandle>(s);
    readinessEvent_ = ::WSACreateEvent();
    if (readinessEvent_ == WSA_INVALID_EVENT) {
        readinessEvent_ = nullptr;
        throw NetworkError(WinsockMessage("A socket event cannot be created", ::WSAGetLastError()));
    }
    // Selecting the event also makes the socket non-blocking.
    if (::WSAEventSelect(s, readinessEvent_, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0)
        throw NetworkError(WinsockMessage("Socket events cannot be selected", ::WSAGetLastError()));
}

void Socket::ConnectTo(const Endpoint& endpoint, const Deadline& deadline, const IdleHook& idle) {
    const auto* address = reinterpret_cast<const sockaddr*>(endpoint.address.data());
    if (::connect(Native(handle_), address, static_cast<int>(endpoint.length)) == 0)
        return;
    const int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK)
        throw NetworkError(WinsockMessage("The connection cannot be made", error));
    const int result = WaitFor(handle_, readinessEvent_, FD_CONNECT, FD_CONNECT_BIT, deadline, idle);
    if (result != 0)
        throw NetworkError(WinsockMessage("The connection cannot be made", result));
}

void Socket::SendAll(std::string_view data, const Deadline& deadline, const IdleHook& idle) {
    while (!data.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(data.size(), INT32_MAX));
        const int sent = ::send(Native(handle_), data.data(), chunk, 0);
        if (sent != SOCKET_ERROR) {
            data.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        const int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK)
            throw NetworkError(WinsockMessage("Sending failed", error));
        WaitFor(handle_, readinessEvent_, FD_WRITE | FD_CLOSE, -1, deadline, idle);
    }
}

std::size_t Socket::Receive(char* buffer, std::size_t size, const Deadline& deadline, const IdleHook& idle) {
    const int chunk = static_cast<int>(std::min<std::size_t>(size, INT32_MAX));
    for (;;) {
        const int received = ::recv(Native(handle_), buffer, chunk, 0);
        if (received != SOCKET_ERROR)
            return static_cast<std::size_t>(received);
        const int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK)
            throw NetworkError(WinsockMessage("Receiving failed", error));
        // A reset shows as FD_CLOSE with an error; the next recv may report
        // it only as the end of the stream.
        const int closeError =
            WaitFor(handle_, readinessEvent_, FD_READ | FD_CLOSE, FD_CLOSE_BIT, deadline, idle);
        if (closeError != 0)
            throw NetworkError(WinsockMessage("The connection was broken", closeError));
    }
}

void Socket::Close() noexcept {
    if (handle_ != InvalidSocket)
        ::closesocket(Native(handle_));
    if (readinessEvent_)
        ::WSACloseEvent(readinessEvent_);
    handle_ = InvalidSocket;
    readinessEvent_ = nullptr;
}

} // namespace qx
