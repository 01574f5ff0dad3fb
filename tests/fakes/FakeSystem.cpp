#include "fakes/FakeSystem.h"

#include <sys/stat.h>

#include <algorithm>
#include <system_error>

#include "platform/Cp932.h"

namespace qx::fakes {

namespace {

// GetPrivateProfileString into the updater's 261-byte buffer.
constexpr std::size_t kMaxValueLength = 260;

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto fold = [](char c) {
                   return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
               };
               return fold(x) == fold(y);
           });
}

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string_view DropEnclosingQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace

std::string FakeSystem::ReadProfileString(const std::string& section, const std::string& key,
                                          const std::string& path) {
    const auto file = iniFiles_.find(path);
    if (file == iniFiles_.end())
        return {};
    Section* found = FindSection(file->second, section);
    if (found == nullptr)
        return {};
    for (const auto& [name, value] : found->entries) {
        if (EqualIgnoringAsciiCase(name, key))
            return std::string(DropEnclosingQuotes(TrimBlanks(value)).substr(0, kMaxValueLength));
    }
    return {};
}

void FakeSystem::WriteProfileString(const std::string& section, const std::string& key,
                                    const std::string& value, const std::string& path) {
    writes_.push_back({section, key, value, path});
    IniFile& file = iniFiles_[path];
    Section* found = FindSection(file, section);
    if (found == nullptr)
        found = &file.emplace_back(Section{section, {}});
    for (auto& entry : found->entries) {
        if (EqualIgnoringAsciiCase(entry.first, key)) {
            entry.second = value;
            return;
        }
    }
    found->entries.emplace_back(key, value);
}

void FakeSystem::SetIniText(const std::string& path, std::string_view text) {
    IniFile& file = iniFiles_[path];
    file.clear();
    for (std::string_view line : SplitLines(text)) {
        line = TrimBlanks(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            file.push_back({std::string(TrimBlanks(
                                line.substr(1, close == std::string_view::npos ? line.size() : close - 1))),
                            {}});
            continue;
        }
        const std::size_t equals = line.find('=');
        if (file.empty() || equals == std::string_view::npos)
            continue;
        file.back().entries.emplace_back(std::string(TrimBlanks(line.substr(0, equals))),
                                         std::string(line.substr(equals + 1)));
    }
}

FakeSystem::Section* FakeSystem::FindSection(IniFile& file, std::string_view name) {
    for (Section& section : file) {
        if (EqualIgnoringAsciiCase(section.name, name))
            return &section;
    }
    return nullptr;
}

// CopyFileA semantics: an existing target is overwritten unless it is read-only
// or a directory, and no directory is created. The read-only test is made here
// because the tests may run as root, who may write any file.
bool FakeSystem::CopyFileOver(const std::string& source, const std::string& target) {
    copies.emplace_back(source, target);
    const std::filesystem::path to = HostPath(target);
    struct stat status {};
    if (::stat(to.c_str(), &status) == 0 && (S_ISDIR(status.st_mode) || (status.st_mode & S_IWUSR) == 0))
        return false;
    std::error_code error;
    std::filesystem::copy_file(HostPath(source), to, std::filesystem::copy_options::overwrite_existing,
                               error);
    return !error;
}

void FakeSystem::RemoveFile(const std::string& path) {
    removed.push_back(path);
    std::error_code error;
    std::filesystem::remove(HostPath(path), error);
}

bool FakeSystem::InternetConnected() {
    ++connectivityQueries;
    return connected;
}

std::filesystem::path FakeSystem::HostPath(std::string_view windowsPath) {
    if (windowsPath.size() >= 2 && (windowsPath[0] == 'Z' || windowsPath[0] == 'z') && windowsPath[1] == ':')
        windowsPath.remove_prefix(2);
    std::string host;
    for (std::size_t position = 0; position < windowsPath.size();) {
        const std::size_t size = Cp932CharSize(windowsPath, position);
        host += size == 1 && windowsPath[position] == '\\' ? std::string_view("/")
                                                           : windowsPath.substr(position, size);
        position += size;
    }
    return host;
}

std::string FakeSystem::WindowsPath(const std::filesystem::path& hostPath) {
    std::string path = "Z:" + hostPath.string();
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

} // namespace qx::fakes
