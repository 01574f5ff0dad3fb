#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// A socket of the system: a Winsock SOCKET, or a POSIX file descriptor
// widened to the same type.
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle InvalidSocket = ~SocketHandle{0};

// The end of the current stage of a request. A stage without a time-out never
// ends by itself.
class Deadline {
public:
    // 0 or less: no time-out.
    static Deadline After(int milliseconds);

    bool Unlimited() const { return !at_.has_value(); }
    bool Expired() const;
    // Whole milliseconds left, rounded up so that a wait does not end just
    // before the deadline; `cap` for an unlimited deadline.
    int RemainingMs(int cap) const;

private:
    std::optional<std::chrono::steady_clock::time_point> at_;
};

// Runs while a wait is stalled: it keeps the window alive, and may raise to
// end the wait (a cancel).
using IdleHook = std::function<void()>;

// A resolved socket address, in the form of the system's sockaddr_storage.
struct Endpoint {
    std::array<unsigned char, 128> address{};
    std::uint32_t length = 0;
};

// A blocking name lookup; raises NetworkError when the name is unknown.
using LookupFunction = std::function<std::vector<Endpoint>(const std::string& host, std::uint16_t port)>;
std::vector<Endpoint> LookupHost(const std::string& host, std::uint16_t port);

// Runs `lookup` so that the caller keeps calling `idle` while it waits, and
// raises TimeoutError when the deadline passes first. A lookup that is given
// up finishes on its own in the background.
std::vector<Endpoint> ResolveHost(const std::string& host, std::uint16_t port, const Deadline& deadline,
                                  const IdleHook& idle, const LookupFunction& lookup = LookupHost);

// A non-blocking TCP socket. Every operation waits, calling `idle` at least
// every 10 ms while nothing happens, until the socket is ready or the deadline
// has passed (TimeoutError). Socket errors raise NetworkError.
class Socket {
public:
    // Tries the addresses in turn until one accepts the connection.
    static Socket Connect(const std::vector<Endpoint>& endpoints, const Deadline& deadline,
                          const IdleHook& idle);

    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket();

    void SendAll(std::string_view data, const Deadline& deadline, const IdleHook& idle);
    // At least one byte, at most `size`; 0 when the peer has closed in order.
    std::size_t Receive(char* buffer, std::size_t size, const Deadline& deadline, const IdleHook& idle);

private:
    explicit Socket(const Endpoint& endpoint);
    void ConnectTo(const Endpoint& endpoint, const Deadline& deadline, const IdleHook& idle);
    void Close() noexcept;

    SocketHandle handle_ = InvalidSocket;
    // The Winsock event that reports readiness; null where poll() waits.
    void* readinessEvent_ = nullptr;
};

} // namespace qx
