#pragma once

#include <stdexcept>
#include <string>

namespace qx {

// The common base of every failure that a platform component raises (the HTTP
// client component, the progress bar's range check). The update logic catches
// exactly this class around a download; anything else is left to the
// application's default exception display.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

} // namespace qx
