#include "send_workflow.h"

#include "Cie_MetaCmd.h"
#include "dialog.h"
#include "message_box.h"
#include "pin_source.h"
#include "quillet_messages.h"
#include "result_codes.h"
#include "sign_file.h"

namespace {

constexpr DWORD READER_UNKNOWN = 0x80100009;     // SCARD_E_UNKNOWN_READER
constexpr DWORD NO_READERS = 0x8010002E;         // SCARD_E_NO_READERS_AVAILABLE
constexpr DWORD CARD_REMOVED = 0x80100069;       // SCARD_W_REMOVED_CARD
constexpr DWORD CARD_ABSENT = 6;

}  // namespace

int SendWorkflow::signOneFile(const std::string& sourcePath, const std::string& signedPath, int index) {
    if (index == 0) {
        const DWORD code = CIE_Connect(nullptr);
        if (code == READER_UNKNOWN || code == NO_READERS) {
            showProgramMessage(quillet_messages::NO_READER);
            return STEP_ABORT;
        }
        if (code == CARD_REMOVED || code == CARD_ABSENT) {
            return showProgramMessage(quillet_messages::INSERT_CARD, MB_RETRYCANCEL) == IDRETRY
                       ? STEP_RETRY
                       : STEP_ABORT;
        }
        if (code != 0) {
            showProgramMessage(quillet_messages::READER_CONNECTION_FAILED);
            return STEP_ABORT;
        }
        CIE_Disconnect();
    }
    const WaitCursor busy;
    const int32_t result = fnSignFile(sourcePath.c_str(), signedPath.c_str(), index);
    if (result == 0) {
        pinRefusals_ = 0;
        return STEP_DONE;
    }
    if (result != SIGN_ERR_PIN) return STEP_ABORT;
    showProgramMessage(quillet_messages::PIN_REFUSED);
    if (++pinRefusals_ >= MAX_PIN_REFUSALS) return STEP_ABORT;
    // The first file asks for the PIN itself; a later one would resend the
    // refused PIN, so it is asked for again here.
    if (index > 0 && askForPin() != 0) return STEP_ABORT;
    return STEP_RETRY;
}
