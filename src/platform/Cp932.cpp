#include "platform/Cp932.h"

namespace qx {

std::string_view Cp932Prefix(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    // Lead and trail bytes share a range, so the character boundaries are
    // found only by walking from the start.
    std::size_t end = 0;
    while (end < maxBytes) {
        const std::size_t width = IsCp932LeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
        if (end + width > maxBytes)
            break;
        end += width;
    }
    return text.substr(0, end);
}

} // namespace qx
