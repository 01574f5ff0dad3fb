#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace qx::bench {

// What one finished child process cost, as the kernel counted it.
struct ChildUsage {
    double wallSeconds = 0;
    // User plus system time of the child and of every descendant it waited for.
    double cpuSeconds = 0;
    long peakRssKiB = 0;
    int exitCode = -1;
    // Its standard output.
    std::string output;
};

enum class ErrorOutput { Shown, Discarded };

// Runs `argv` (looked up on PATH) to its end, in `workingDirectory` unless it
// is empty; its standard output is kept.
ChildUsage RunChild(const std::vector<std::string>& argv, ErrorOutput errors = ErrorOutput::Shown,
                    const std::string& workingDirectory = "");

// A process that runs while the object lives, ended by its id on destruction.
class BackgroundProcess {
public:
    explicit BackgroundProcess(const std::vector<std::string>& argv);
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;
    ~BackgroundProcess();

private:
    pid_t pid_;
};

} // namespace qx::bench
