#include "platform/StringList.h"

#include <algorithm>

#include "platform/Cp932.h"

namespace qx {

namespace {

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Folds single-byte letters only: the second byte of a double-byte character
// is compared as it is, even where it looks like an ASCII letter.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

void StringList::SetText(std::string text) {
    text_ = std::move(text);
    lines_.clear();
    const std::size_t end = std::min(text_.find('\0'), text_.size());
    std::size_t start = 0;
    std::size_t pos = 0;
    while (pos < end) {
        const char c = text_[pos];
        if (c != '\r' && c != '\n') {
            ++pos;
            continue;
        }
        lines_.push_back({start, pos - start});
        pos += (c == '\r' && pos + 1 < end && text_[pos + 1] == '\n') ? 2 : 1;
        start = pos;
    }
    if (start < end)
        lines_.push_back({start, end - start});
}

void StringList::Clear() {
    text_.clear();
    lines_.clear();
}

std::string_view StringList::operator[](std::size_t index) const {
    const Span& span = lines_.at(index);
    return std::string_view(text_).substr(span.offset, span.length);
}

long StringList::IndexOf(std::string_view line) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (EqualIgnoringAsciiCase((*this)[i], line))
            return static_cast<long>(i);
    }
    return -1;
}

} // namespace qx
