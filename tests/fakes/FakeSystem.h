#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/System.h"

namespace qx::fakes {

// The system services. Settings files live in memory and are read by the
// Windows private-profile rules; copy and delete work on real files, with
// Windows paths taken as Wine takes them ("Z:\tmp\x" is /tmp/x, a relative
// path is relative to the current directory).
class FakeSystem : public System {
public:
    struct ProfileWrite {
        std::string section;
        std::string key;
        std::string value;
        std::string path;
        bool operator==(const ProfileWrite& other) const {
            return section == other.section && key == other.key && value == other.value && path == other.path;
        }
    };

    std::string ReadProfileString(const std::string& section, const std::string& key,
                                  const std::string& path) override;
    void WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                            const std::string& path) override;
    LocalTime CurrentLocalTime() override { return now; }
    void ShellOpen(const std::string& file) override { shellOpened.push_back(file); }
    bool CopyFileOver(const std::string& source, const std::string& target) override;
    void RemoveFile(const std::string& path) override;
    bool InternetConnected() override;
    std::string ExecutablePath() override { return executablePath; }

    // Parses `text` as the content of the settings file `path`, replacing it.
    void SetIniText(const std::string& path, std::string_view text);
    const std::vector<ProfileWrite>& Writes() const { return writes_; }

    static std::filesystem::path HostPath(std::string_view windowsPath);
    static std::string WindowsPath(const std::filesystem::path& hostPath);

    std::string executablePath;
    LocalTime now;
    bool connected = true;
    int connectivityQueries = 0;
    std::vector<std::string> shellOpened;
    std::vector<std::pair<std::string, std::string>> copies;
    std::vector<std::string> removed;

private:
    struct Section {
        std::string name;
        // Keys with their values as written, blanks and quotes included.
        std::vector<std::pair<std::string, std::string>> entries;
    };
    using IniFile = std::vector<Section>;

    static Section* FindSection(IniFile& file, std::string_view name);

    std::map<std::string, IniFile> iniFiles_;
    std::vector<ProfileWrite> writes_;
};

} // namespace qx::fakes
