#pragma once

#include <string_view>

namespace qx {

// Whether the local name of a `Get` command, appended to the executable's
// directory, names a file inside that directory or below it. Refused: an
// absolute or drive path (a leading '\' or '/', which covers UNC names, or any
// ':', which also covers alternate data streams) and a ".." component between
// separators of either kind. The scan follows code page 932: a backslash that
// is the second byte of a double-byte character separates nothing.
bool IsLocalNameInsideExeDir(std::string_view localName);

} // namespace qx
