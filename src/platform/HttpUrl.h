#pragma once

#include <cstdint>
#include <string>

namespace qx {

struct HttpUrl {
    std::string host;
    std::uint16_t port = 80;
    // Everything from the first "/" after the host, byte for byte; "/" when
    // the URL ends with the host or its port.
    std::string path;
};

// Splits "http://" host [":" port] [path]. The scheme is matched without
// regard to case. Raises UrlError for an empty URL, any scheme but http (https
// included), an empty host, and a port that is not a decimal number from 1 to
// 65535.
HttpUrl ParseHttpUrl(const std::string& url);

// The HTTP/1.0 request for the URL: the request line, the Host line and the
// empty line that ends the header.
std::string GetRequest(const HttpUrl& url);

} // namespace qx
