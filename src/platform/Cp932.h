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

// The second byte of a double-byte character. No byte below 0x40 qualifies, so
// '/', ':' and '.' always stand for themselves; of the path separators only the
// backslash can hide inside a character.
constexpr bool IsCp932TrailByte(unsigned char c) {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// The number of bytes of the character that starts at `position`: 2 for a lead
// byte followed by a valid second byte, 1 otherwise. Windows converts a lead
// byte without a valid second byte as a character of its own and the byte
// after it separately, and so does this.
constexpr std::size_t Cp932CharSize(std::string_view text, std::size_t position) {
    return position + 1 < text.size() && IsCp932LeadByte(static_cast<unsigned char>(text[position])) &&
                   IsCp932TrailByte(static_cast<unsigned char>(text[position + 1]))
               ? 2
               : 1;
}

// The longest start of `text` with at most `maxBytes` bytes that does not end
// between the two bytes of a double-byte character.
std::string_view Cp932Prefix(std::string_view text, std::size_t maxBytes);

} // namespace qx
