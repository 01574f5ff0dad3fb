#include "platform/HttpUrl.h"

#include "platform/HttpErrors.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace qx {
namespace {

constexpr std::string_view HttpScheme = "http://";

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::uint16_t ParsePort(std::string_view text) {
    const bool allDigits = !text.empty() && text.size() <= 5 &&
                           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!allDigits)
        throw UrlError("The port of the URL is not a number");
    const int port = std::stoi(std::string(text));
    if (port < 1 || port > 65535)
        throw UrlError("The port of the URL is out of range");
    return static_cast<std::uint16_t>(port);
}

} // namespace

HttpUrl ParseHttpUrl(const std::string& url) {
    if (url.empty())
        throw UrlError("The URL is empty");
    if (!StartsWithIgnoringCase(url, HttpScheme))
        throw UrlError("Only plain http URLs can be fetched");

    const std::string_view rest = std::string_view(url).substr(HttpScheme.size());
    const std::size_t pathStart = std::min(rest.find('/'), rest.size());
    const std::string_view authority = rest.substr(0, pathStart);
    const std::size_t colon = std::min(authority.find(':'), authority.size());

    HttpUrl result;
    result.host = std::string(authority.substr(0, colon));
    if (result.host.empty())
        throw UrlError("The URL names no host");
    if (colon < authority.size())
        result.port = ParsePort(authority.substr(colon + 1));
    result.path = pathStart < rest.size() ? std::string(rest.substr(pathStart)) : "/";
    return result;
}

std::string GetRequest(const HttpUrl& url) {
    return "GET " + url.path + " HTTP/1.0\r\nHost: " + url.host + "\r\n\r\n";
}

} // namespace qx
