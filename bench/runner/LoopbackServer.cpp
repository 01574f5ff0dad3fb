#include "LoopbackServer.h"

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace qx::bench {

namespace {

std::filesystem::path Fresh(const std::filesystem::path& file) {
    std::filesystem::remove(file);
    return file;
}

// The server writes the port file whole, by renaming, once it listens.
int WaitForPort(const std::filesystem::path& portFile) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        std::ifstream in(portFile);
        int port = 0;
        if (in >> port)
            return port;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    throw std::runtime_error("qx_test_server did not start");
}

} // namespace

LoopbackServer::LoopbackServer(const std::string& program, const std::filesystem::path& root,
                               const std::filesystem::path& portFile)
    : process_({program, "--port-file", Fresh(portFile).string(), "--root", root.string()}),
      base_("http://127.0.0.1:" + std::to_string(WaitForPort(portFile))) {}

} // namespace qx::bench
