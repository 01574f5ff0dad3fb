#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The list of lines of a text (the window library's string list). Assigning a
// text splits it: a line ends at CR, LF, CR LF or the end of the text; the
// first NUL ends the text; a final line break adds no empty line. The text is
// kept once and the lines are views into it.
class StringList {
public:
    void SetText(std::string text);
    void Clear();

    std::size_t Count() const { return lines_.size(); }
    std::string_view operator[](std::size_t index) const;

    // Index of the first line equal to `line` with ASCII letters compared
    // without regard to case, or -1.
    long IndexOf(std::string_view line) const;

private:
    struct Span {
        std::size_t offset;
        std::size_t length;
    };
    std::string text_;
    std::vector<Span> lines_;
};

} // namespace qx
