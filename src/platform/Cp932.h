#pragma once

#include <cstddef>
#include <string_view>

namespace qx {

// Code page 932 (Shift-JIS): the first byte of a double-byte character. The
// byte after it may be any of 0x40..0xFC, the backslash 0x5C and the ASCII
// letters included, so a scan for separators or letters must pass over it.
constexpr bool IsCp932LeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The longest start of `text` with at most `maxBytes` bytes that does not end
// between the two bytes of a double-byte character.
std::string_view Cp932Prefix(std::string_view text, std::size_t maxBytes);

} // namespace qx
