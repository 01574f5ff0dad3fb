#include "ScenarioParts.h"

#include "updater/Texts.h"

namespace qx::e2e {

using namespace qx::texts;

std::string IniWith(const std::string& url, const std::string& key) {
    return "[Instruction]\r\nURL=" + url + "\r\nKEY=" + key + "\r\nSTARTAPP=qxdemo_mascot.exe\r\n";
}

Settings SettingsWith(const std::string& url, const std::string& key) {
    return {{"url", url}, {"key", key}, {"startapp", "qxdemo_mascot.exe"}};
}

std::string DefaultIni() {
    return IniWith("{url}/inst.txt", "100");
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string UpdateTo200(const std::vector<std::string>& commands) {
    return Lines(Concat({kMagicLine, "Update to 200", ">UpdateKey=200;", ">Path={url}/files/;"}, commands));
}

std::string NewContent(const std::string& name) {
    std::string bytes = "new " + name + "\r\n";
    for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    return bytes;
}

std::string OldContent(const std::string& name) {
    return "old " + name + "\n";
}

std::vector<std::string> Concat(std::vector<std::string> first, const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

std::vector<std::string> StatusBefore(const std::string& instructionUrl) {
    return {kDownloadingInstructionFile, instructionUrl};
}

std::vector<std::string> UpdateStatus(const std::vector<std::string>& walk, int updated, int failed) {
    std::vector<std::string> lines = Concat(Concat(StatusBefore("{url}/inst.txt"), {kUpdateStarting}), walk);
    lines.push_back(std::to_string(updated) + kFilesUpdatedSuffix);
    lines.push_back(failed == 0 ? std::string(kUpdateCompletedNormally)
                                : std::to_string(failed) + kFilesFailedSuffix);
    lines.push_back(kEndingUpdate);
    return lines;
}

std::string Downloading(const std::string& remote) {
    return kStatusDownloading + ("{url}/files/" + remote);
}

std::string Updated(const std::string& local) {
    return kStatusUpdated + ("{dir}" + local);
}

std::string Failed(const std::string& local) {
    return kStatusFailed + ("{dir}" + local);
}

std::string CancelledFile(const std::string& local) {
    return kStatusCancelled + ("{dir}" + local);
}

ExpectedBox AskUpdate(const char* answer) {
    return {BoxKind::Question, kAskUpdate, answer};
}

ExpectedBox CompletedOk() {
    return {BoxKind::Information, kCompletedLaunching, "ok"};
}

ExpectedBox AfterFailures(const char* answer) {
    return {BoxKind::Question, kAskLaunchAfterFailures, answer};
}

std::vector<std::string> Expanded(const UpdaterRun& run, std::vector<std::string> texts) {
    for (std::string& text : texts)
        text = run.Expand(text);
    return texts;
}

std::vector<std::string> RequestLines(const std::vector<std::string>& requests) {
    std::vector<std::string> lines;
    for (const std::string& request : requests)
        lines.push_back(request.substr(0, request.find("\r\n")));
    return lines;
}

std::vector<std::string> GetLines(const std::vector<std::string>& paths) {
    std::vector<std::string> lines;
    for (const std::string& path : paths)
        lines.push_back("GET " + path + " HTTP/1.0");
    return lines;
}

} // namespace qx::e2e
