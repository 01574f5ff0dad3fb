#include "fakes/WindowsFullPath.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/Cp932.h"

namespace qx::fakes {

namespace {

// One character of the path: one byte, or the two bytes of a double-byte
// character, which is never a separator, a dot or a blank.
using Character = std::string_view;

std::vector<Character> Decode(std::string_view path) {
    std::vector<Character> characters;
    for (std::size_t position = 0; position < path.size();) {
        const std::size_t size = Cp932CharSize(path, position);
        characters.push_back(path.substr(position, size));
        position += size;
    }
    return characters;
}

bool Is(Character c, char byte) {
    return c.size() == 1 && c[0] == byte;
}

bool IsSeparator(Character c) {
    return Is(c, '\\') || Is(c, '/');
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return text;
}

bool IsDevice(const std::string& component) {
    std::string base = Upper(component.substr(0, component.find('.')));
    base.erase(base.find_last_not_of(' ') + 1);
    static const std::vector<std::string> kNames = {"CON",    "PRN",     "AUX",   "NUL",
                                                    "CONIN$", "CONOUT$", "CLOCK$"};
    if (std::find(kNames.begin(), kNames.end(), base) != kNames.end())
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '0' && base[3] <= '9';
}

struct FullPath {
    std::string drive;
    // Upper-cased: Windows compares names without regard to case.
    std::vector<std::string> components;
    bool ambiguous = false;
    bool device = false;
    bool stream = false;
};

std::string Join(const std::vector<Character>& characters) {
    std::string text;
    for (Character c : characters)
        text += c;
    return text;
}

// A component as Windows opens it: trailing dots and blanks dropped. One that
// is nothing but dots and blanks, other than "." and "..", is ambiguous.
std::optional<std::string> Trimmed(std::vector<Character> component) {
    while (!component.empty() && (Is(component.back(), '.') || Is(component.back(), ' ')))
        component.pop_back();
    if (component.empty())
        return std::nullopt;
    return Join(component);
}

void AddComponent(FullPath& full, const std::vector<Character>& component) {
    const std::string text = Join(component);
    if (text.empty() || text == ".")
        return;
    if (text == "..") {
        if (full.components.empty())
            full.ambiguous = true;
        else
            full.components.pop_back();
        return;
    }
    if (std::any_of(component.begin(), component.end(), [](Character c) { return Is(c, ':'); }))
        full.stream = true;
    const std::optional<std::string> trimmed = Trimmed(component);
    if (!trimmed) {
        full.ambiguous = true;
        return;
    }
    if (IsDevice(*trimmed))
        full.device = true;
    full.components.push_back(Upper(*trimmed));
}

std::optional<FullPath> Normalise(std::string_view path) {
    const std::vector<Character> characters = Decode(path);
    if (characters.size() < 3 || characters[0].size() != 1 || !Is(characters[1], ':') ||
        !IsSeparator(characters[2]))
        return std::nullopt;
    FullPath full;
    full.drive = Upper(std::string(characters[0]));
    std::vector<Character> component;
    for (std::size_t index = 3; index < characters.size(); ++index) {
        if (IsSeparator(characters[index])) {
            AddComponent(full, component);
            component.clear();
        } else {
            component.push_back(characters[index]);
        }
    }
    AddComponent(full, component);
    return full;
}

} // namespace

bool LandsInsideDirectory(std::string_view directory, std::string_view target) {
    const std::vector<Character> characters = Decode(target);
    if (!characters.empty() && IsSeparator(characters.back()))
        return true;
    const std::optional<FullPath> base = Normalise(directory);
    const std::optional<FullPath> full = Normalise(target);
    if (!base || !full || full->ambiguous || full->device || full->stream || full->drive != base->drive)
        return false;
    return full->components.size() > base->components.size() &&
           std::equal(base->components.begin(), base->components.end(), full->components.begin());
}

} // namespace qx::fakes
