#include "fakes/UpdaterFixture.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "updater/Texts.h"

namespace qx::fakes {

std::string Stamped(const std::string& message) {
    return "[3/18 6:5:9] " + message;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qxntupd-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

UpdaterFixture::UpdaterFixture()
    : appDir_(temp_.Path() / "app"), workDir_(temp_.Path() / "work"),
      previousWorkDir_(std::filesystem::current_path()) {
    std::filesystem::create_directories(appDir_);
    std::filesystem::create_directories(workDir_);
    std::filesystem::current_path(workDir_);
    system_.executablePath = FakeSystem::WindowsPath(appDir_ / "qxntupd.exe");
    exeDir_ = FakeSystem::WindowsPath(appDir_) + "\\";
    system_.now = {3, 18, 6, 5, 9};
}

UpdaterFixture::~UpdaterFixture() {
    std::filesystem::current_path(previousWorkDir_);
}

void UpdaterFixture::TearDown() {
    EXPECT_EQ(window_.UnusedAnswers(), 0u) << "scripted box answers left over";
    EXPECT_EQ(http_.UnusedAnswers(), 0u) << "scripted HTTP answers left over";
}

void UpdaterFixture::WriteIni(std::string_view text) {
    system_.SetIniText(exeDir_ + texts::kIniFileName, text);
}

std::string InstructionFile(std::initializer_list<std::string_view> lines) {
    std::string file = std::string(texts::kMagicLine) + "\r\n";
    for (std::string_view line : lines) {
        file += line;
        file += "\r\n";
    }
    return file;
}

std::string UpdaterFixture::Expand(std::string_view text) const {
    std::string expanded;
    for (std::size_t position = 0; position < text.size();) {
        if (text.substr(position, 4) == "$EXE") {
            expanded += exeDir_;
            position += 4;
        } else {
            expanded += text[position++];
        }
    }
    return expanded;
}

void UpdaterFixture::StartAndClose() {
    form_.FormCreate();
    bool canClose = true;
    form_.FormCloseQuery(canClose);
    ASSERT_TRUE(canClose);
    form_.FormClose();
}

void UpdaterFixture::Install(std::string_view localName, std::string_view content) const {
    std::ofstream file(InstalledPath(localName), std::ios::binary | std::ios::trunc);
    file << content;
}

std::string UpdaterFixture::FileContent(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::filesystem::path UpdaterFixture::TempFilePath() const {
    return workDir_ / texts::kTempFileName;
}

} // namespace qx::fakes
