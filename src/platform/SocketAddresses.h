#pragma once

// Include after the system's socket headers, whose names these templates use.

#include "platform/Socket.h"

#include <cstring>
#include <vector>

namespace qx {

// A lookup of TCP addresses of any family, so that a host known only by its
// IPv6 address can be reached too.
template <typename AddressInfo> AddressInfo StreamLookupHints() {
    AddressInfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    return hints;
}

// Winsock and POSIX both report a name lookup as a list of addrinfo entries;
// this copies their socket addresses, in the order the system prefers them.
template <typename AddressInfo> std::vector<Endpoint> EndpointsOf(const AddressInfo* list) {
    std::vector<Endpoint> endpoints;
    for (const AddressInfo* entry = list; entry; entry = entry->ai_next) {
        Endpoint endpoint;
        endpoint.length = static_cast<std::uint32_t>(entry->ai_addrlen);
        std::memcpy(endpoint.address.data(), entry->ai_addr, entry->ai_addrlen);
        endpoints.push_back(endpoint);
    }
    return endpoints;
}

} // namespace qx
