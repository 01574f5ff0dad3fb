#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace qx::e2e {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr auto kGraceAfterSigterm = std::chrono::milliseconds(2000);

[[noreturn]] void ThrowSystemError(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

Pipe MakePipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        ThrowSystemError("pipe");
    return {UniqueFd(fds[0]), UniqueFd(fds[1])};
}

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* Get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
public:
    SpawnAttributes() {
        posix_spawnattr_init(&attributes_);
        // A group of its own, so that the whole group can be ended by its id;
        // default signal handling, whatever this process has changed.
        sigset_t all;
        sigfillset(&all);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setflags(&attributes_,
                                 POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        posix_spawnattr_setpgroup(&attributes_, 0);
        posix_spawnattr_setsigdefault(&attributes_, &all);
        posix_spawnattr_setsigmask(&attributes_, &none);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* Get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

} // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Reset();
        fd_ = other.Release();
    }
    return *this;
}

int UniqueFd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::Reset() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

ChildProcess::ChildProcess(const ChildOptions& options) {
    SpawnActions actions;
    SpawnAttributes attributes;
    const std::string output = options.outputPath.empty() ? "/dev/null" : options.outputPath;
    Pipe toChild;
    Pipe fromChild;
    if (options.pipes) {
        toChild = MakePipe();
        fromChild = MakePipe();
        posix_spawn_file_actions_adddup2(actions.Get(), toChild.read.Get(), STDIN_FILENO);
        posix_spawn_file_actions_adddup2(actions.Get(), fromChild.write.Get(), STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(actions.Get(), STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
    }
    posix_spawn_file_actions_addopen(actions.Get(), STDERR_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (!options.directory.empty())
        posix_spawn_file_actions_addchdir_np(actions.Get(), options.directory.c_str());

    std::vector<char*> argv;
    for (const std::string& argument : options.arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int error = posix_spawnp(&pid_, argv[0], actions.Get(), attributes.Get(), argv.data(), environ);
    if (error != 0) {
        errno = error;
        ThrowSystemError("cannot start " + options.arguments.at(0));
    }
    input_ = std::move(toChild.write);
    output_ = std::move(fromChild.read);
}

ChildProcess::~ChildProcess() {
    Terminate();
}

std::optional<int> ChildProcess::Reap(bool block) {
    if (status_)
        return status_;
    int status = 0;
    const pid_t reaped = waitpid(pid_, &status, block ? 0 : WNOHANG);
    if (reaped == pid_)
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    else if (reaped < 0 && errno == ECHILD)
        status_ = -1;
    return status_;
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (const auto status = Reap(false))
            return status;
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(kPollInterval);
    }
}

// The group is signalled only while its leader has not been reaped: until
// then its id cannot have been given to another process.
void ChildProcess::Terminate() {
    input_.Reset();
    if (Reap(false))
        return;
    kill(-pid_, SIGTERM);
    if (!WaitForExit(kGraceAfterSigterm)) {
        kill(-pid_, SIGKILL);
        Reap(true);
    }
}

} // namespace qx::e2e
