#include "platform/Exception.h"
#include "updater/Unit1.h"

namespace qx {

bool TForm1::DownloadDocument(const std::string& url) {
    // Handlers run while Get waits; none of them may start a second transfer
    // on the one component.
    if (Downloading)
        return false;
    Downloading = true;
    if (!IsInternetConnected()) {
        Downloading = false;
        WriteErrorLog(2);
        return false;
    }
    HttpFailed = false;
    Cancelled = false;
    try {
        NMHTTP1.Get(url);
    } catch (const Exception&) {
        Downloading = false;
        // A confirmed cancel surfaces as the component's exception too; the
        // user asked for it, so it is no error.
        if (!Cancelled)
            WriteErrorLog(3);
        return false;
    } catch (...) {
        Downloading = false;
        throw;
    }
    Downloading = false;
    return !HttpFailed;
}

bool TForm1::IsInternetConnected() {
    return system_.InternetConnected();
}

void TForm1::NMHTTP1Failure(CmdType cmd) {
    if (cmd == CmdType::CmdGET) {
        HttpFailed = true;
        WriteErrorLog(1);
    }
}

// A redirect is never followed: an update must come from the address the
// instruction file names, and a redirect page is no document.
void TForm1::NMHTTP1Redirect(bool& handled) {
    handled = true;
}

} // namespace qx
