// Fuzz target of the instruction reader: the fuzzed bytes are the fetched
// instruction file. It checks the line split and the magic-line test against
// plain models, ReadInstructionField against its rules, and then runs the
// whole update through TForm1 with a download that only records what it is
// given, asserting that every file the walk replaces lies inside the install
// folder as Windows would resolve the full path.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/WindowsFullPath.h"
#include "platform/Exception.h"
#include "platform/StringList.h"
#include "updater/Texts.h"
#include "updater/Unit1.h"

namespace {

constexpr char kExecutablePath[] = "C:\\Program Files\\Tavi\\qxntupd.exe";
constexpr char kExeDir[] = "C:\\Program Files\\Tavi\\";
constexpr char kInstructionUrl[] = "http://updates.example/qx.txt";

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The line rule, written out byte by byte: a line ends at CR LF, CR or LF;
// the first NUL ends the text; no empty line after a final break.
std::vector<std::string_view> ModelLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string_view> lines;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            lines.push_back(rest);
            break;
        }
        lines.push_back(rest.substr(0, end));
        const bool crLf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
        rest.remove_prefix(end + (crLf ? 2 : 1));
    }
    return lines;
}

bool IsMagicLine(std::string_view line) {
    const std::string_view magic = qx::texts::kMagicLine;
    if (line.size() != magic.size())
        return false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i] >= 'a' && line[i] <= 'z' ? static_cast<char>(line[i] - 32) : line[i];
        const char m = magic[i] >= 'a' && magic[i] <= 'z' ? static_cast<char>(magic[i] - 32) : magic[i];
        if (c != m)
            return false;
    }
    return true;
}

void CheckLines(const std::string& text) {
    qx::StringList list;
    list.SetText(text);
    const std::vector<std::string_view> model = ModelLines(text);
    Require(list.Count() == model.size(), "line count");
    long firstMagic = -1;
    for (std::size_t i = 0; i < model.size(); ++i) {
        Require(list[i] == model[i], "line bytes");
        if (firstMagic == -1 && IsMagicLine(model[i]))
            firstMagic = static_cast<long>(i);
    }
    Require(list.IndexOf(qx::texts::kMagicLine) == firstMagic, "magic line index");
}

// A field read with `capacity`, checked against the rules: the bytes up to the
// first ',' or ';' or the end, at most capacity - 1 of them; when cut at that
// limit, the rest up to the next ';' is passed over. Returns where the next
// field starts.
std::size_t CheckField(std::string_view line, std::size_t position, std::size_t capacity) {
    std::string field;
    const std::size_t next = qx::ReadInstructionField(field, line, position, capacity);
    const std::size_t start = std::min(position, line.size());
    const std::size_t delimiter = std::min(line.find_first_of(",;", start), line.size());
    const std::size_t limit = capacity - 1;
    const bool cut = delimiter - start >= limit;
    Require(field == line.substr(start, std::min(delimiter - start, limit)), "field bytes");
    const std::size_t stop = cut ? std::min(line.find(';', start + limit), line.size()) : delimiter;
    Require(next == (stop < line.size() ? stop + 1 : line.size()), "position after the field");
    return next;
}

// The first fields of every line, read with the updater's capacity and with
// tiny ones that make every field hit the limit.
void CheckFields(const std::string& text) {
    for (const std::string_view line : ModelLines(text)) {
        for (const std::size_t capacity : {1, 2, 7, 4096}) {
            std::size_t position = 1;
            for (int field = 0; field < 4 && position < line.size(); ++field)
                position = CheckField(line, position, capacity);
        }
    }
}

class SilentWindow : public qx::Window {
public:
    void SetCaption(const std::string&) override {}
    void ShowForm() override {}
    void SetUrlText(const std::string&) override {}
    void ClearStatusLog() override { status.clear(); }
    void AppendStatusLine(const std::string& line) override { status.push_back(line); }
    void AppendErrorLine(const std::string&) override {}
    // Yes to every question, so that every command of the file runs.
    qx::BoxAnswer ShowMessageBox(qx::BoxStyle style, const std::string&) override {
        return style == qx::BoxStyle::Information ? qx::BoxAnswer::Ok : qx::BoxAnswer::Yes;
    }
    void ProcessMessages() override {}
    void SetProgressPosition(std::int32_t) override {}
    void SetReceivedSizeText(const std::string&) override {}

    std::vector<std::string> status;

protected:
    void ApplyProgressMax(std::int32_t) override {}
};

// Copies and deletions are recorded, never carried out.
class RecordingSystem : public qx::System {
public:
    explicit RecordingSystem(std::string instructionUrl) : instructionUrl_(std::move(instructionUrl)) {}

    std::string ReadProfileString(const std::string&, const std::string& key, const std::string&) override {
        if (key == qx::texts::kIniKeyUrl)
            return instructionUrl_;
        return key == qx::texts::kIniKeyKey ? "installed" : "";
    }
    void WriteProfileString(const std::string&, const std::string&, const std::string&,
                            const std::string&) override {}
    qx::LocalTime CurrentLocalTime() override { return {}; }
    void ShellOpen(const std::string&) override {}
    // A target ending in '~' fails to copy, so that the fuzzer reaches the
    // failed-copy path as well.
    bool CopyFileOver(const std::string& source, const std::string& target) override {
        Require(source == qx::texts::kTempFileName, "copy source is the temporary file");
        targets.push_back(target);
        return target.empty() || target.back() != '~';
    }
    void RemoveFile(const std::string& path) override {
        Require(path == qx::texts::kTempFileName, "only the temporary file is deleted");
        ++removals;
    }
    bool InternetConnected() override { return true; }
    std::string ExecutablePath() override { return kExecutablePath; }

    std::vector<std::string> targets;
    int removals = 0;

private:
    std::string instructionUrl_;
};

// The instruction file comes from memory; every update file "arrives" without
// touching the disk. A URL ending in '!' gets an error status and one ending
// in '?' breaks the connection, so that both failure paths are reached.
class RecordingHttp : public qx::HttpClient {
public:
    explicit RecordingHttp(std::string document) : document_(std::move(document)) {}

    void Get(const std::string& url) override {
        if (!InputFileMode) {
            Require(url == kInstructionUrl, "instruction file fetched from the settings' URL");
            Body = document_;
            return;
        }
        Require(Body == qx::texts::kTempFileName, "update file goes into the temporary file");
        urls.push_back(url);
        if (!url.empty() && url.back() == '?')
            throw qx::Exception("connection broken");
        if (!url.empty() && url.back() == '!' && OnFailure)
            OnFailure(qx::CmdType::CmdGET);
    }
    void Cancel() override {}

    std::vector<std::string> urls;

private:
    std::string document_;
};

std::size_t CountStartingWith(const std::vector<std::string>& lines, std::string_view prefix) {
    std::size_t count = 0;
    for (const std::string& line : lines)
        count += StartsWith(line, prefix) ? 1 : 0;
    return count;
}

void CheckWalk(const std::string& text) {
    SilentWindow window;
    RecordingSystem system(kInstructionUrl);
    RecordingHttp http(text);
    qx::TForm1 form(window, system, http);
    form.FormCreate();
    bool canClose = true;
    form.FormCloseQuery(canClose);
    Require(canClose && !form.UpdateRunning && !form.Downloading, "run over");
    form.FormClose();

    for (const std::string& target : system.targets) {
        Require(StartsWith(target, kExeDir), "target joined to ExeDir");
        Require(qx::fakes::LandsInsideDirectory(kExeDir, target), "target inside the install folder");
    }
    Require(CountStartingWith(window.status, qx::texts::kStatusDownloading) == http.urls.size(),
            "one download line per download");
    Require(static_cast<std::size_t>(system.removals) == http.urls.size(),
            "the temporary file deleted after every download");
    const std::size_t updated = CountStartingWith(window.status, qx::texts::kStatusUpdated);
    const std::size_t failed = CountStartingWith(window.status, qx::texts::kStatusFailed) +
                               CountStartingWith(window.status, qx::texts::kStatusCancelled);
    Require(updated == static_cast<std::size_t>(form.UpdatedCount), "UpdatedCount");
    Require(failed == static_cast<std::size_t>(form.FailedCount), "FailedCount");
    Require(system.targets.size() <= http.urls.size(), "a copy only after a download");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckLines(text);
    CheckFields(text);
    CheckWalk(text);
    return 0;
}
