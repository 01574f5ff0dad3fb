#include "ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qx::bench {

namespace {

// A pipe end that closes itself.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Close(); }
    int Get() const { return fd_; }
    void Close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

[[noreturn]] void ExecOrExit(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::perror(args[0]);
    std::_Exit(127);
}

pid_t Spawn(const std::vector<std::string>& argv, int outputFd, ErrorOutput errors,
            const std::string& workingDirectory) {
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (outputFd >= 0)
            ::dup2(outputFd, STDOUT_FILENO);
        if (errors == ErrorOutput::Discarded)
            ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
        if (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0) {
            std::perror(workingDirectory.c_str());
            std::_Exit(127);
        }
        ExecOrExit(argv);
    }
    return pid;
}

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

} // namespace

ChildUsage RunChild(const std::vector<std::string>& argv, ErrorOutput errors,
                    const std::string& workingDirectory) {
    int ends[2];
    if (::pipe(ends) != 0)
        throw std::runtime_error("pipe failed");
    Descriptor readEnd(ends[0]);
    Descriptor writeEnd(ends[1]);

    ChildUsage usage;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = Spawn(argv, writeEnd.Get(), errors, workingDirectory);
    writeEnd.Close();
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(readEnd.Get(), buffer, sizeof buffer);
        if (got > 0)
            usage.output.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    int status = 0;
    rusage resources{};
    while (::wait4(pid, &status, 0, &resources) < 0 && errno == EINTR) {
    }
    usage.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    usage.cpuSeconds = Seconds(resources.ru_utime) + Seconds(resources.ru_stime);
    usage.peakRssKiB = resources.ru_maxrss;
    usage.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return usage;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv)
    : pid_(Spawn(argv, -1, ErrorOutput::Shown, "")) {}

BackgroundProcess::~BackgroundProcess() {
    ::kill(pid_, SIGTERM);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
}

} // namespace qx::bench
