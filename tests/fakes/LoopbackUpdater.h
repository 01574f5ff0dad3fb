#pragma once

#include <filesystem>
#include <string>

#include "fakes/UpdaterFixture.h"
#include "platform/NMHTTP.h"
#include "server/TestServer.h"
#include "updater/Unit1.h"

namespace qx::fakes {

// The updater with the real HTTP client component, fetching from a loopback
// test server that serves root/ of the temporary directory and scripts.
class LoopbackUpdater : public InstallFixture {
protected:
    LoopbackUpdater();

    // RunUpdate as FormCreate starts it, with saved key "1", but without
    // FormCreate's 60-second time-out: a silent server would make the test
    // wait for it.
    void RunUpdate(const std::string& instructionUrl);

    std::filesystem::path rootDir_;
    qxtest::TestServer server_;
    TNMHTTP http_{[this] { window_.ProcessMessages(); }};
    TForm1 form_{window_, system_, http_};
};

} // namespace qx::fakes
