#include "updater/Unit1.h"

#include "platform/Cp932.h"
#include "updater/Texts.h"

namespace qx {

namespace {

// The directory part of a full path, with its trailing backslash (or the colon
// of a bare drive). Found by scanning forward, since a backslash that ends a
// double-byte character is part of a name.
std::string DirectoryPart(std::string_view path) {
    std::size_t end = 0;
    for (std::size_t position = 0; position < path.size(); position += Cp932CharSize(path, position)) {
        if (path[position] == '\\' || path[position] == ':')
            end = position + 1;
    }
    return std::string(path.substr(0, end));
}

const char* ErrorMessage(unsigned code) {
    switch (code) {
    case 1:
        return texts::kErrorDocumentNotFetched;
    case 2:
        return texts::kErrorNotConnected;
    case 3:
        return texts::kErrorHttpComponent;
    case 4:
        return texts::kErrorNoMagicLine;
    case 5:
        return texts::kErrorBadCommand;
    default:
        return texts::kErrorUnknownCode;
    }
}

} // namespace

TForm1::TForm1(Window& window, System& system, HttpClient& http)
    : window_(window), system_(system), NMHTTP1(http) {
    NMHTTP1.OnPacketRecvd = [this] { NMHTTP1PacketRecvd(); };
    NMHTTP1.OnFailure = [this](CmdType cmd) { NMHTTP1Failure(cmd); };
    NMHTTP1.OnRedirect = [this](bool& handled) { NMHTTP1Redirect(handled); };
}

void TForm1::FormCreate() {
    window_.SetCaption(texts::kAppTitle);

    UpdatedCount = 0;
    FailedCount = 0;
    ProgressMax = 0;
    InstructionList.Clear();
    Cancelled = false;
    Downloading = false;

    NMHTTP1.TimeOut = 60000;

    ExeDir = DirectoryPart(system_.ExecutablePath());
    IniPath = ExeDir + texts::kIniFileName;

    InstructionUrl = system_.ReadProfileString(texts::kIniSection, texts::kIniKeyUrl, IniPath);
    StartApp = system_.ReadProfileString(texts::kIniSection, texts::kIniKeyStartApp, IniPath);
    SavedUpdateKey = system_.ReadProfileString(texts::kIniSection, texts::kIniKeyKey, IniPath);
    NewUpdateKey = SavedUpdateKey;

    window_.SetUrlText(InstructionUrl);

    UpdateRunning = true;
    window_.ShowForm();
    try {
        RunUpdate();
    } catch (...) {
        // An unexpected failure is shown by the application; the window must
        // still be closable afterwards.
        UpdateRunning = false;
        throw;
    }
    UpdateRunning = false;

    if (LaunchRequested)
        system_.ShellOpen(StartApp);
}

void TForm1::RunUpdate() {
    window_.ClearStatusLog();
    window_.AppendStatusLine(texts::kDownloadingInstructionFile);
    window_.AppendStatusLine(InstructionUrl);
    CurrentUrl = InstructionUrl;

    NMHTTP1.InputFileMode = false;
    if (!DownloadDocument(InstructionUrl)) {
        window_.AppendStatusLine(texts::kUpdateCancelled);
        if (window_.ShowMessageBox(BoxStyle::Question, texts::kAskLaunchAfterAbort) == BoxAnswer::Yes)
            LaunchRequested = true;
        return;
    }

    InstructionList.SetText(std::move(NMHTTP1.Body));
    NMHTTP1.Body.clear();

    if (InstructionList.IndexOf(texts::kMagicLine) == -1) {
        WriteErrorLog(4);
        return;
    }

    ReadUpdateKey(InstructionList);

    if (NewUpdateKey == SavedUpdateKey) {
        window_.AppendStatusLine(texts::kAlreadyUpToDate);
        window_.ShowMessageBox(BoxStyle::Information, texts::kUpToDateLaunching);
        NewUpdateKey = SavedUpdateKey;
        LaunchRequested = true;
        return;
    }

    if (window_.ShowMessageBox(BoxStyle::Question, texts::kAskUpdate) == BoxAnswer::No) {
        window_.AppendStatusLine(texts::kUpdateCancelled);
        window_.ShowMessageBox(BoxStyle::Information, texts::kDeclinedLaunching);
        NewUpdateKey = SavedUpdateKey;
        LaunchRequested = true;
        return;
    }

    window_.AppendStatusLine(texts::kUpdateStarting);
    ExecuteInstructions(InstructionList);
    window_.AppendStatusLine(std::to_string(UpdatedCount) + texts::kFilesUpdatedSuffix);

    if (FailedCount == 0) {
        window_.AppendStatusLine(texts::kUpdateCompletedNormally);
        window_.AppendStatusLine(texts::kEndingUpdate);
        window_.ShowMessageBox(BoxStyle::Information, texts::kCompletedLaunching);
        LaunchRequested = true;
        return;
    }

    window_.AppendStatusLine(std::to_string(FailedCount) + texts::kFilesFailedSuffix);
    window_.AppendStatusLine(texts::kEndingUpdate);
    if (window_.ShowMessageBox(BoxStyle::Question, texts::kAskLaunchAfterFailures) == BoxAnswer::Yes)
        LaunchRequested = true;
}

void TForm1::WriteErrorLog(unsigned code) {
    const LocalTime now = system_.CurrentLocalTime();
    const std::string stamp = "[" + std::to_string(now.month) + "/" + std::to_string(now.day) + " " +
                              std::to_string(now.hour) + ":" + std::to_string(now.minute) + ":" +
                              std::to_string(now.second) + "] ";
    std::string line = stamp + ErrorMessage(code);
    if (code == 1)
        line += CurrentUrl;
    window_.AppendErrorLine(line);
}

void TForm1::FormCloseQuery(bool& canClose) {
    if (UpdateRunning)
        canClose = false;
}

void TForm1::FormClose() {
    // After a failed file the old key stays, so that the next start offers the
    // same update again.
    if (FailedCount == 0) {
        system_.WriteProfileString(texts::kIniSection, texts::kIniKeyUrl, InstructionUrl, IniPath);
        system_.WriteProfileString(texts::kIniSection, texts::kIniKeyKey, NewUpdateKey, IniPath);
    }
    InstructionList.Clear();
}

} // namespace qx
