#include "platform/Cp932.h"

namespace qx {

std::string_view Cp932Prefix(std::string_view text, std::size_t maxBytes) {
    // Lead and trail bytes share a range, so the character boundaries are
    // found only by walking from the start.
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + Cp932CharSize(text, end);
        if (next > maxBytes)
            break;
        end = next;
    }
    return text.substr(0, end);
}

} // namespace qx
