#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace qx::bench {

constexpr std::uintmax_t MiB = 1024 * 1024;

// A program that fetches big files from the loopback server, and where.
struct TransferSetup {
    std::string program;
    // Served by the server; the big files are made here and deleted afterwards.
    std::filesystem::path serverRoot;
    // Where the downloads land.
    std::filesystem::path outputDir;
    int rounds = 5;
};

inline double MiBps(std::uintmax_t size, double seconds) {
    return static_cast<double>(size) / MiB / seconds;
}

// A file of holes: the server sends zeros from the page cache, so that the
// disk is only written, never read.
std::filesystem::path MakeSparseFile(const std::filesystem::path& file, std::uintmax_t size);

// The first reader of a file fills the page cache; no side of a comparison
// should pay for that.
void WarmPageCache(const std::filesystem::path& file);

// Runs one download command and checks that it left `output` with `size`
// bytes. The file is deleted and the disk flushed afterwards, so that every
// download starts from the same state.
ChildUsage FetchChecked(const std::vector<std::string>& command, const std::filesystem::path& output,
                        std::uintmax_t size, const std::string& workingDirectory = "");

std::vector<std::string> CurlCommand(const std::string& url, const std::filesystem::path& output);

} // namespace qx::bench
