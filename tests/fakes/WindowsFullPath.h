#pragma once

#include <string_view>

namespace qx::fakes {

// Judges where a write to `target` lands on Windows, independently of the
// updater's own check of local names: both paths are taken as Windows forms a
// full path from a drive path (code page 932 decoded into characters, '/' as
// '\', runs of separators as one, "." and ".." resolved, trailing dots and
// blanks of a component dropped), and `target` must then name something
// strictly below `directory` that is a file: not a DOS device (in any
// component, with any extension) and not an alternate data stream. Where
// Windows versions differ (a component of dots and blanks only, which may
// collapse into ".."), the answer is no. `directory` is a drive path ending in
// a backslash, such as "C:\Program Files\Tavi\". A target that ends in a
// separator (the directory itself, for an empty local name) names a directory,
// which no file write can open, so nothing lands anywhere: that counts as
// inside.
bool LandsInsideDirectory(std::string_view directory, std::string_view target);

} // namespace qx::fakes
