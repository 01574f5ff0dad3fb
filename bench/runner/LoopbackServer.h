#pragma once

#include <filesystem>
#include <string>

#include "ChildProcess.h"

namespace qx::bench {

// qx_test_server serving the files of `root` on a free loopback port, for as
// long as the object lives.
class LoopbackServer {
public:
    LoopbackServer(const std::string& program, const std::filesystem::path& root,
                   const std::filesystem::path& portFile);

    // "http://127.0.0.1:PORT" followed by `path`.
    std::string Url(const std::string& path) const { return base_ + path; }

private:
    BackgroundProcess process_;
    std::string base_;
};

} // namespace qx::bench
