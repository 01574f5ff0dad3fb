#include "platform/Socket.h"

#include "platform/HttpErrors.h"

#include <algorithm>
#include <utility>

namespace qx {

Deadline Deadline::After(int milliseconds) {
    Deadline deadline;
    if (milliseconds > 0)
        deadline.at_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    return deadline;
}

bool Deadline::Expired() const {
    return at_ && std::chrono::steady_clock::now() >= *at_;
}

int Deadline::RemainingMs(int cap) const {
    if (!at_)
        return cap;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*at_ - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, cap));
}

Socket Socket::Connect(const std::vector<Endpoint>& endpoints, const Deadline& deadline,
                       const IdleHook& idle) {
    if (endpoints.empty())
        throw NetworkError("The host name has no address");
    for (std::size_t i = 0;; ++i) {
        try {
            Socket socket(endpoints[i]);
            socket.ConnectTo(endpoints[i], deadline, idle);
            return socket;
        } catch (const NetworkError&) {
            if (i + 1 == endpoints.size())
                throw;
        }
    }
}

Socket::Socket(Socket&& other) noexcept
    : handle_(std::exchange(other.handle_, InvalidSocket)),
      readinessEvent_(std::exchange(other.readinessEvent_, nullptr)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, InvalidSocket);
        readinessEvent_ = std::exchange(other.readinessEvent_, nullptr);
    }
    return *this;
}

Socket::~Socket() {
    Close();
}

} // namespace qx
