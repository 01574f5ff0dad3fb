#include "ServerProcess.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "TestServer.h"
#include "driver/LineProtocol.h"

namespace qx::e2e {
namespace {

constexpr auto kStartBound = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(10);

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    if (!file.flush())
        throw std::runtime_error("cannot write " + path.string());
}

std::string ReadPortFile(const std::filesystem::path& path, ChildProcess& server) {
    const auto deadline = std::chrono::steady_clock::now() + kStartBound;
    for (;;) {
        std::ifstream file(path);
        std::string port;
        if (file >> port)
            return port;
        if (server.WaitForExit(std::chrono::milliseconds(0)))
            throw std::runtime_error("qx_test_server ended at its start");
        if (std::chrono::steady_clock::now() >= deadline)
            throw std::runtime_error("qx_test_server did not start listening");
        std::this_thread::sleep_for(kPollInterval);
    }
}

} // namespace

ServerProcess::ServerProcess(const std::filesystem::path& folder, const std::string& script)
    : root_(folder / "root"), log_(folder / "requests.log") {
    std::filesystem::create_directories(root_);
    WriteFile(folder / "script.txt", script);
    const auto portFile = folder / "port";
    process_ = std::make_unique<ChildProcess>(
        ChildOptions{{QX_TEST_SERVER, "--port-file", portFile.string(), "--root", root_.string(), "--script",
                      (folder / "script.txt").string(), "--log", log_.string()},
                     {},
                     (folder / "server.out").string(),
                     false});
    baseUrl_ = "http://127.0.0.1:" + ReadPortFile(portFile, *process_);
}

void ServerProcess::Serve(const std::string& name, const std::string& bytes) const {
    WriteFile(root_ / name, bytes);
}

std::vector<std::string> ServerProcess::Requests() const {
    std::ifstream file(log_, std::ios::binary);
    return qxtest::ParseRequestLog({std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()});
}

// The script format reads \xHH as the driver's protocol does.
std::string ScriptText(const std::string& bytes) {
    return driver::EscapeValue(bytes);
}

std::string ScriptedAnswer(const std::string& path, const std::string& status, const std::string& body) {
    std::string script = "path " + ScriptText(path) + "\n";
    script += "line HTTP/1.0 " + ScriptText(status) + "\n";
    script += "line Content-Length: " + std::to_string(body.size()) + "\n";
    script += "line\n";
    if (!body.empty())
        script += "text " + ScriptText(body) + "\n";
    return script;
}

} // namespace qx::e2e
