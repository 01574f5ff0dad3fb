#include "instruction/LocalName.h"

#include "platform/Cp932.h"

namespace qx {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

} // namespace

bool IsLocalNameInsideExeDir(std::string_view localName) {
    if (!localName.empty() && IsSeparator(localName.front()))
        return false;
    std::size_t componentStart = 0;
    std::size_t position = 0;
    while (position <= localName.size()) {
        if (position == localName.size() || IsSeparator(localName[position])) {
            if (localName.substr(componentStart, position - componentStart) == "..")
                return false;
            componentStart = position + 1;
            ++position;
            continue;
        }
        if (localName[position] == ':')
            return false;
        position += Cp932CharSize(localName, position);
    }
    return true;
}

} // namespace qx
