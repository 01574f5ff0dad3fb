// qx_test_server as the other tests and the benchmarks run it: a process of
// its own, found through its port file.
#include "platform/NMHTTP.h"

#include "server/TestServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qx {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class ServerProgram : public testing::Test {
protected:
    ServerProgram() : dir_(fs::temp_directory_path() / ("qx_server_" + std::to_string(::getpid()))) {
        fs::create_directories(dir_ / "root" / "dir name");
        std::ofstream(dir_ / "root" / "dir name" / "file.txt", std::ios::binary) << "served bytes";
        std::ofstream(dir_ / "script", std::ios::binary) << "path /scripted\n"
                                                            "line HTTP/1.0 404 Not Found\n"
                                                            "line\n"
                                                            "text gone\n";
    }
    ~ServerProgram() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        fs::remove_all(dir_);
    }

    void Start() {
        const std::vector<std::string> arguments = {QX_TEST_SERVER_PATH,
                                                    "--port-file",
                                                    (dir_ / "port").string(),
                                                    "--root",
                                                    (dir_ / "root").string(),
                                                    "--script",
                                                    (dir_ / "script").string(),
                                                    "--log",
                                                    (dir_ / "log").string(),
                                                    "--max-seconds",
                                                    "30"};
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ASSERT_EQ(::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ), 0);
        for (int i = 0; i < 500 && !fs::exists(dir_ / "port"); ++i)
            std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(fs::exists(dir_ / "port"));
        port_ = std::stoi(ReadFile(dir_ / "port"));
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int Stop() {
        int status = 0;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, &status, 0);
        pid_ = 0;
        return status;
    }

    fs::path dir_;
    pid_t pid_ = 0;
    int port_ = 0;
};

TEST_F(ServerProgram, ServesFilesAndScriptsAndLogsEveryRequest) {
    Start();
    TNMHTTP client;
    client.TimeOut = 2000;
    bool failed = false;
    client.OnFailure = [&](CmdType) { failed = true; };

    client.Get(Url("/dir name/file.txt"));
    EXPECT_EQ(client.Body, "served bytes");
    EXPECT_FALSE(failed);

    client.Get(Url("/scripted"));
    EXPECT_EQ(client.Body, "gone");
    EXPECT_TRUE(failed);

    failed = false;
    client.Get(Url("/missing.txt"));
    EXPECT_TRUE(failed);
    failed = false;
    client.Get(Url("/../script"));
    EXPECT_TRUE(failed);

    const int status = Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::vector<std::string> requests = qxtest::ParseRequestLog(ReadFile(dir_ / "log"));
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0], "GET /dir name/file.txt HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(requests[3], "GET /../script HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
}

} // namespace
} // namespace qx
