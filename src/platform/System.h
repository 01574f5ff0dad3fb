#pragma once

#include <memory>
#include <string>

namespace qx {

struct LocalTime {
    unsigned month = 1;
    unsigned day = 1;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
};

// The Windows system services that the update logic uses. Every name and path
// is a byte string in code page 932.
class System {
public:
    virtual ~System() = default;

    // Private-profile (INI) access with the Windows rules: section and key
    // names without regard to case, blanks and one pair of enclosing quotes
    // around a value dropped, a value read into a 261-byte buffer (at most 260
    // bytes come back), a missing file or key read as empty.
    virtual std::string ReadProfileString(const std::string& section, const std::string& key,
                                          const std::string& path) = 0;
    // Creates the file or section when missing; write errors are not reported.
    virtual void WriteProfileString(const std::string& section, const std::string& key,
                                    const std::string& value, const std::string& path) = 0;

    virtual LocalTime CurrentLocalTime() = 0;

    // Opens a file name or path as the shell would, with its default action;
    // the result is not examined.
    virtual void ShellOpen(const std::string& file) = 0;

    // Replaces `target` with a copy of `source`, overwriting an existing
    // target. Fails when the target's directory is missing (no directory is
    // ever created), when the target cannot be written or is a directory.
    virtual bool CopyFileOver(const std::string& source, const std::string& target) = 0;
    // The result is not examined by the callers.
    virtual void RemoveFile(const std::string& path) = 0;

    // InternetGetConnectedState: true when the system reports a connection.
    virtual bool InternetConnected() = 0;

    // The executable's full path.
    virtual std::string ExecutablePath() = 0;
};

class Application;

// The system services of the build platform. Programs started through the
// shell are owned by the application's main window.
std::unique_ptr<System> CreateSystem(Application& application);

} // namespace qx
