#include "updater/Unit1.h"

#include <algorithm>

namespace qx {

std::size_t ReadInstructionField(std::string& destination, std::string_view line, std::size_t position,
                                 std::size_t capacity) {
    destination.clear();
    const std::size_t limit = capacity > 0 ? capacity - 1 : 0;
    std::size_t pos = std::min(position, line.size());
    while (pos < line.size()) {
        if (destination.size() == limit) {
            // A field that has filled the buffer passes over the rest of the
            // line up to the next ';', commas included, even when its end has
            // just been reached.
            while (pos < line.size() && line[pos] != ';')
                ++pos;
            break;
        }
        if (line[pos] == ',' || line[pos] == ';')
            break;
        destination.push_back(line[pos]);
        ++pos;
    }
    return pos < line.size() ? pos + 1 : line.size();
}

} // namespace qx
