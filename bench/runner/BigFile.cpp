#include "BigFile.h"

#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace qx::bench {

std::filesystem::path MakeSparseFile(const std::filesystem::path& file, std::uintmax_t size) {
    std::ofstream{file};
    std::filesystem::resize_file(file, size);
    return file;
}

void WarmPageCache(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> buffer(MiB);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
    }
}

ChildUsage FetchChecked(const std::vector<std::string>& command, const std::filesystem::path& output,
                        std::uintmax_t size, const std::string& workingDirectory) {
    ChildUsage usage = RunChild(command, ErrorOutput::Shown, workingDirectory);
    const bool complete =
        usage.exitCode == 0 && std::filesystem::exists(output) && std::filesystem::file_size(output) == size;
    std::filesystem::remove(output);
    ::sync();
    if (!complete)
        throw std::runtime_error(command.front() + " did not fetch the whole file");
    return usage;
}

std::vector<std::string> CurlCommand(const std::string& url, const std::filesystem::path& output) {
    return {"curl", "-s", "-o", output.string(), url};
}

} // namespace qx::bench
