#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace qx::e2e {

// What the loopback server of one scenario offers: files below its root (by
// request path without the leading slash) and scripted answers in the line
// format of tests/server/README.md.
struct ServerSetup {
    std::map<std::string, std::string> files;
    std::string script;
};

// The loopback test server program, qx_test_server, for one scenario. It
// starts with its scripted answers and an empty root; files can be added
// while it runs, once their contents can name its port.
class ServerProcess {
public:
    ServerProcess(const std::filesystem::path& folder, const std::string& script);

    // "http://127.0.0.1:<port>"
    const std::string& BaseUrl() const { return baseUrl_; }
    void Serve(const std::string& name, const std::string& bytes) const;
    // The raw bytes of every request so far, in order of arrival.
    std::vector<std::string> Requests() const;

private:
    std::filesystem::path root_;
    std::filesystem::path log_;
    std::unique_ptr<ChildProcess> process_;
    std::string baseUrl_;
};

// Script lines of one whole answer with Content-Length.
std::string ScriptedAnswer(const std::string& path, const std::string& status, const std::string& body);
// A value of the script format: every byte that is not plain printable ASCII
// is escaped.
std::string ScriptText(const std::string& bytes);

} // namespace qx::e2e
