#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qx::e2e {

// A file descriptor closed when it goes out of scope.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    int Release();
    void Reset();

private:
    int fd_ = -1;
};

struct ChildOptions {
    // argv; the program is searched in PATH.
    std::vector<std::string> arguments;
    // The working directory; empty: this process's one.
    std::string directory;
    // Receives standard output and standard error (only standard error with
    // `pipes`); empty: /dev/null.
    std::string outputPath;
    // Standard input and output through pipes to this process.
    bool pipes = false;
};

// A process started by the tests, in a process group of its own. Whatever
// happens to the test, a process still running when this object goes is ended
// with its group by their id: first asked with SIGTERM, then killed.
class ChildProcess {
public:
    explicit ChildProcess(const ChildOptions& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    int InputFd() const { return input_.Get(); }
    int OutputFd() const { return output_.Get(); }
    void CloseInput() { input_.Reset(); }

    // The exit status (128 + the signal for a killed process) once the
    // process has ended within `bound`.
    std::optional<int> WaitForExit(std::chrono::milliseconds bound);
    void Terminate();

private:
    std::optional<int> Reap(bool block);

    pid_t pid_ = -1;
    std::optional<int> status_;
    UniqueFd input_;
    UniqueFd output_;
};

} // namespace qx::e2e
