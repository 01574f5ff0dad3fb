#include "fakes/LoopbackUpdater.h"

namespace qx::fakes {

namespace {

// Long enough for a loaded machine, short enough that a silent server costs
// the test little.
constexpr int kTimeOut = 500;

std::filesystem::path CreatedDirectory(std::filesystem::path path) {
    std::filesystem::create_directories(path);
    return path;
}

} // namespace

LoopbackUpdater::LoopbackUpdater()
    : rootDir_(CreatedDirectory(temp_.Path() / "root")),
      server_(qxtest::ServerOptions{0, rootDir_.string(), {}, {}}) {
    http_.TimeOut = kTimeOut;
}

void LoopbackUpdater::RunUpdate(const std::string& instructionUrl) {
    form_.ExeDir = exeDir_;
    form_.InstructionUrl = instructionUrl;
    form_.SavedUpdateKey = "1";
    form_.NewUpdateKey = "1";
    form_.UpdateRunning = true;
    form_.RunUpdate();
    form_.UpdateRunning = false;
}

} // namespace qx::fakes
