#pragma once

#include <cstddef>
#include <string_view>

namespace qx {

// The longest path the ANSI file functions take (MAX_PATH without its NUL). A
// code page 932 character takes one or two bytes but one UTF-16 unit, so a
// path within this many bytes is within MAX_PATH characters too.
constexpr std::size_t kMaxTargetPathLength = 259;

// Whether the local name of a `Get` command, appended to the executable's
// directory `exeDir`, names an ordinary file inside that directory or below
// it, in a form that Windows opens as written. Refused:
// - an absolute or drive path: a leading '\' or '/' (which covers UNC names
//   and "\\?\" prefixes) or any ':' (which also covers alternate data streams);
// - a component that ends in a dot or a blank: Windows drops those, so "..",
//   "...", "a." and "a " would each name something other than they say;
// - a component that is a DOS device name (CON, NUL, COM1, LPT1, ...), with or
//   without an extension: it opens the device, not a file;
// - control bytes and the characters that no Windows file name may hold;
// - a target path longer than kMaxTargetPathLength.
// The scan follows code page 932: a backslash or '|' that is the second byte
// of a double-byte character is part of that character.
bool IsLocalNameInsideExeDir(std::string_view exeDir, std::string_view localName);

} // namespace qx
