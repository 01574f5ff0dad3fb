#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "fakes/FakeHttpClient.h"
#include "fakes/FakeSystem.h"
#include "fakes/FakeWindow.h"
#include "updater/Unit1.h"

namespace qx::fakes {

// An instruction file: the magic line, then `lines`, each ended by CR LF.
std::string InstructionFile(std::initializer_list<std::string_view> lines);

// An error-log line written at the fixture's clock time, 6:05:09 on 18 March.
std::string Stamped(const std::string& message);

// A fresh directory below the system's temporary directory, removed with
// everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The updater with its fakes, installed in app/ of a temporary directory and
// run with work/ as its current directory, where the temporary download file
// goes.
class UpdaterFixture : public ::testing::Test {
protected:
    UpdaterFixture();
    ~UpdaterFixture() override;
    void TearDown() override;

    // The settings file next to the executable, as written by hand.
    void WriteIni(std::string_view text);
    // `text` with every "$EXE" replaced by the executable's directory.
    std::string Expand(std::string_view text) const;
    // FormCreate, then the window closed as the user would close it.
    void StartAndClose();

    std::filesystem::path InstalledPath(std::string_view localName) const { return appDir_ / localName; }
    void Install(std::string_view localName, std::string_view content) const;
    static std::string FileContent(const std::filesystem::path& path);
    // The temporary download file in the current directory.
    std::filesystem::path TempFilePath() const;

    TempDir temp_;
    std::filesystem::path appDir_;
    std::filesystem::path workDir_;
    std::filesystem::path previousWorkDir_;
    std::string exeDir_;
    FakeWindow window_;
    FakeSystem system_;
    FakeHttpClient http_;
    TForm1 form_{window_, system_, http_};
};

} // namespace qx::fakes
