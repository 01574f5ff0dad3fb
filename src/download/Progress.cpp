#include <string>

#include "updater/Texts.h"
#include "updater/Unit1.h"

namespace qx {

void TForm1::NMHTTP1PacketRecvd() {
    // The window gets its messages only while a download runs; this is where
    // it repaints and where a click on Cancel is seen.
    window_.ProcessMessages();
    const std::int32_t expected = NMHTTP1.ExpectedLength();
    if (expected != ProgressMax) {
        ProgressMax = expected;
        window_.SetProgressMax(expected);
    }
    const std::int32_t received = NMHTTP1.ReceivedLength();
    window_.SetProgressPosition(received);
    window_.SetReceivedSizeText(std::to_string(received) + "/" + std::to_string(expected) +
                                texts::kBytesSuffix);
}

void TForm1::Button3Click() {
    if (!UpdateRunning)
        return;
    if (window_.ShowMessageBox(BoxStyle::CancelConfirm, texts::kConfirmCancel) == BoxAnswer::Yes) {
        NMHTTP1.Cancel();
        Cancelled = true;
    }
}

} // namespace qx
