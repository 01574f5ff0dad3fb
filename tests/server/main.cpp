// qx_test_server: the loopback HTTP server of the tests, the demo and the
// benchmarks, as a program of its own. See README.md.
#include "ScriptFile.h"
#include "TestServer.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>

#include <pthread.h>

namespace {

struct Arguments {
    std::string portFile;
    qxtest::ServerOptions options;
    std::optional<long> maxSeconds;
};

const char* const Usage = "usage: qx_test_server --port-file PATH [--port N] [--root DIR] [--script FILE] "
                          "[--log FILE] [--max-seconds N]\n";

Arguments ParseArguments(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; i += 2) {
        const std::string name = argv[i];
        if (i + 1 >= argc)
            throw std::invalid_argument(name + " needs a value");
        const std::string value = argv[i + 1];
        if (name == "--port-file") {
            arguments.portFile = value;
        } else if (name == "--port") {
            arguments.options.port = static_cast<std::uint16_t>(std::stoul(value));
        } else if (name == "--root") {
            arguments.options.root = value;
        } else if (name == "--script") {
            std::ifstream script(value, std::ios::binary);
            if (!script)
                throw std::invalid_argument("cannot read " + value);
            arguments.options.scripts = qxtest::ParseScriptFile(script);
        } else if (name == "--log") {
            arguments.options.logPath = value;
        } else if (name == "--max-seconds") {
            arguments.maxSeconds = std::stol(value);
        } else {
            throw std::invalid_argument("unknown option " + name);
        }
    }
    if (arguments.portFile.empty())
        throw std::invalid_argument("--port-file is required");
    return arguments;
}

// Written under a temporary name and renamed, so that a reader never sees a
// partial number.
void WritePortFile(const std::string& path, std::uint16_t port) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::trunc);
        file << port << '\n';
        if (!file.flush())
            throw std::runtime_error("cannot write " + temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        throw std::runtime_error("cannot rename " + temporary + " to " + path);
}

// Blocks the end signals in every thread, so that only the wait below takes
// them.
sigset_t BlockEndSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return signals;
}

void WaitForEnd(const sigset_t& signals, std::optional<long> maxSeconds) {
    if (!maxSeconds) {
        int signal = 0;
        sigwait(&signals, &signal);
        return;
    }
    const timespec limit{*maxSeconds, 0};
    while (sigtimedwait(&signals, nullptr, &limit) < 0 && errno == EINTR) {
    }
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Arguments arguments = ParseArguments(argc, argv);
        const sigset_t signals = BlockEndSignals();
        qxtest::TestServer server(arguments.options);
        WritePortFile(arguments.portFile, server.Port());
        WaitForEnd(signals, arguments.maxSeconds);
        server.Stop();
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "qx_test_server: " << error.what() << '\n' << Usage;
        return 2;
    }
}
