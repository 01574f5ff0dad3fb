#pragma once

// Pieces that the end-to-end tests build their scenarios from: settings
// files, instruction files, file contents and the expected status lines.
// "{url}" and "{dir}" stand for the server and the install folder (see
// UpdaterRun).

#include <map>
#include <string>
#include <vector>

#include "UpdaterRun.h"

namespace qx::e2e {

using Settings = std::map<std::string, std::string>;

// A settings file that names the mascot stand-in in STARTAPP.
std::string IniWith(const std::string& url, const std::string& key);
// The values of section Instruction as IniWith writes them.
Settings SettingsWith(const std::string& url, const std::string& key);
// URL {url}/inst.txt, KEY 100.
std::string DefaultIni();

std::string Lines(const std::vector<std::string>& lines);
// An instruction file with key 200 whose update files lie below /files/.
std::string UpdateTo200(const std::vector<std::string>& commands);

// Update files hold every byte value, so that any conversion shows.
std::string NewContent(const std::string& name);
std::string OldContent(const std::string& name);

std::vector<std::string> Concat(std::vector<std::string> first, const std::vector<std::string>& second);
// The first two status lines: fetching the instruction file from this URL.
std::vector<std::string> StatusBefore(const std::string& instructionUrl);
// The status log of an update from {url}/inst.txt whose walk wrote `walk`.
std::vector<std::string> UpdateStatus(const std::vector<std::string>& walk, int updated, int failed);
std::string Downloading(const std::string& remote);
std::string Updated(const std::string& local);
std::string Failed(const std::string& local);
std::string CancelledFile(const std::string& local);

ExpectedBox AskUpdate(const char* answer);
ExpectedBox CompletedOk();
ExpectedBox AfterFailures(const char* answer);

std::vector<std::string> Expanded(const UpdaterRun& run, std::vector<std::string> texts);
// The request line of each raw request.
std::vector<std::string> RequestLines(const std::vector<std::string>& requests);
// "GET <path> HTTP/1.0" for each path.
std::vector<std::string> GetLines(const std::vector<std::string>& paths);

} // namespace qx::e2e
