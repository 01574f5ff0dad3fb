#include "instruction/LocalName.h"

#include <algorithm>
#include <array>

#include "platform/Cp932.h"

namespace qx {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Characters that no Windows file name may hold; ':' among them, since it
// names a drive or a data stream.
bool IsForbiddenCharacter(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return UpperAscii(x) == y; });
}

// Windows opens these as devices in any folder, whatever extension follows
// and with blanks before it.
bool IsDeviceName(std::string_view component) {
    static constexpr std::array<std::string_view, 7> kNames = {"CON",    "PRN",     "AUX",   "NUL",
                                                               "CONIN$", "CONOUT$", "CLOCK$"};
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    if (std::any_of(kNames.begin(), kNames.end(),
                    [base](std::string_view name) { return EqualsIgnoringAsciiCase(base, name); }))
        return true;
    return base.size() == 4 &&
           (EqualsIgnoringAsciiCase(base.substr(0, 3), "COM") ||
            EqualsIgnoringAsciiCase(base.substr(0, 3), "LPT")) &&
           base[3] >= '0' && base[3] <= '9';
}

bool IsComponentAccepted(std::string_view component) {
    if (component.empty())
        return true;
    return component.back() != '.' && component.back() != ' ' && !IsDeviceName(component);
}

} // namespace

bool IsLocalNameInsideExeDir(std::string_view exeDir, std::string_view localName) {
    if (exeDir.size() + localName.size() > kMaxTargetPathLength)
        return false;
    if (!localName.empty() && IsSeparator(localName.front()))
        return false;
    std::size_t componentStart = 0;
    std::size_t position = 0;
    while (position <= localName.size()) {
        if (position == localName.size() || IsSeparator(localName[position])) {
            if (!IsComponentAccepted(localName.substr(componentStart, position - componentStart)))
                return false;
            componentStart = position + 1;
            ++position;
            continue;
        }
        const std::size_t size = Cp932CharSize(localName, position);
        if (size == 1 && IsForbiddenCharacter(localName[position]))
            return false;
        position += size;
    }
    return true;
}

} // namespace qx
