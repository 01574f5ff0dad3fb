#include <algorithm>
#include <optional>

#include "instruction/LocalName.h"
#include "updater/Texts.h"
#include "updater/Unit1.h"

namespace qx {

namespace {

// Names and fields are held in buffers of this size, terminating NUL included,
// so at most 4095 bytes of either take part.
constexpr std::size_t kFieldCapacity = 4096;

enum class CommandCode { None = 0, UpdateKey = 1, Path = 2, Get = 3, ChangeInstFileAddress = 4 };

struct CommandRow {
    std::string_view name;
    CommandCode code;
};

constexpr CommandRow kCommandTable[] = {
    {"UpdateKey", CommandCode::UpdateKey},
    {"Path", CommandCode::Path},
    {"Get", CommandCode::Get},
    {"ChangeInstFileAddress", CommandCode::ChangeInstFileAddress},
};

struct CommandLine {
    std::string_view line;
    CommandCode code;
    // Where field 1 starts.
    std::size_t fields;
};

bool IsCommandLine(std::string_view line) {
    return !line.empty() && line.front() == '>';
}

CommandCode LookUpCommand(std::string_view name) {
    for (const CommandRow& row : kCommandTable) {
        if (row.name == name)
            return row.code;
    }
    return CommandCode::None;
}

// The name runs from after '>' up to the first '=' or ';'; only its first
// 4095 bytes are looked up, but the fields always start after its delimiter.
CommandLine ReadCommandLine(std::string_view line) {
    const std::size_t delimiter = line.find_first_of("=;", 1);
    const std::size_t nameEnd = delimiter == std::string_view::npos ? line.size() : delimiter;
    const std::string_view name = line.substr(1, std::min(nameEnd - 1, kFieldCapacity - 1));
    const std::size_t fields = delimiter == std::string_view::npos ? line.size() : delimiter + 1;
    return {line, LookUpCommand(name), fields};
}

// The next command line at or after `index`, which is moved past it.
std::optional<CommandLine> NextCommandLine(const StringList& list, std::size_t& index) {
    while (index < list.Count()) {
        const std::string_view line = list[index++];
        if (IsCommandLine(line))
            return ReadCommandLine(line);
    }
    return std::nullopt;
}

std::string ReadField(const CommandLine& command) {
    std::string field;
    ReadInstructionField(field, command.line, command.fields, kFieldCapacity);
    return field;
}

} // namespace

void TForm1::ReadUpdateKey(const StringList& list) {
    std::size_t index = 0;
    while (const std::optional<CommandLine> command = NextCommandLine(list, index)) {
        if (command->code == CommandCode::UpdateKey) {
            NewUpdateKey = ReadField(*command);
            return;
        }
    }
}

void TForm1::ExecuteInstructions(const StringList& list) {
    std::size_t index = 0;
    bool stop = false;
    while (!stop) {
        const std::optional<CommandLine> command = NextCommandLine(list, index);
        if (!command)
            return;
        switch (command->code) {
        case CommandCode::Path:
            BasePath = ReadField(*command);
            break;
        case CommandCode::Get:
            stop = !ExecuteGet(command->line, command->fields);
            break;
        case CommandCode::ChangeInstFileAddress:
            InstructionUrl = ReadField(*command);
            break;
        case CommandCode::UpdateKey:
        case CommandCode::None:
            break;
        }
    }
}

bool TForm1::ExecuteGet(std::string_view line, std::size_t position) {
    std::string remoteName;
    std::string localName;
    position = ReadInstructionField(remoteName, line, position, kFieldCapacity);
    ReadInstructionField(localName, line, position, kFieldCapacity);
    const std::string targetPath = ExeDir + localName;
    // A name that leads out of the installation directory would let the server
    // overwrite any file the user may write; it is refused before anything is
    // fetched, and counts as a file that could not be updated.
    if (!IsLocalNameInsideExeDir(localName)) {
        window_.AppendStatusLine(texts::kStatusFailed + targetPath);
        ++FailedCount;
        return true;
    }

    const std::string url = BasePath + remoteName;
    window_.AppendStatusLine(texts::kStatusDownloading + url);
    CurrentUrl = url;
    NMHTTP1.InputFileMode = true;
    NMHTTP1.Body = texts::kTempFileName;
    if (!DownloadDocument(url)) {
        system_.RemoveFile(texts::kTempFileName);
        window_.AppendStatusLine((Cancelled ? texts::kStatusCancelled : texts::kStatusFailed) + targetPath);
        ++FailedCount;
        return false;
    }
    const bool copied = system_.CopyFileOver(texts::kTempFileName, targetPath);
    system_.RemoveFile(texts::kTempFileName);
    if (copied) {
        window_.AppendStatusLine(texts::kStatusUpdated + targetPath);
        ++UpdatedCount;
    } else {
        window_.AppendStatusLine(texts::kStatusFailed + targetPath);
        ++FailedCount;
    }
    return true;
}

} // namespace qx
