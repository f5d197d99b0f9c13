#include "send_workflow.h"

#include <cstdio>
#include <new>

#include "Cie_MetaCmd.h"
#include "dialog.h"
#include "message_box.h"
#include "pin_prompt.h"
#include "progress_dialogs.h"
#include "result_codes.h"
#include "sign_file.h"
#include "temp_paths.h"

namespace {

constexpr DWORD READER_UNKNOWN = 0x80100009;     // SCARD_E_UNKNOWN_READER
constexpr DWORD NO_READERS = 0x8010002E;         // SCARD_E_NO_READERS_AVAILABLE
constexpr DWORD CARD_REMOVED = 0x80100069;       // SCARD_W_REMOVED_CARD
constexpr DWORD CARD_ABSENT = 6;

// The progress window redrawn at once: no messages are processed while a
// file is signed.
void repaint(const CProgressDlg& progress) {
    RedrawWindow(progress.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// The busy cursor until the end of the scope.
class BusyCursor {
public:
    BusyCursor() { beginWaitCursor(); }
    ~BusyCursor() { endWaitCursor(); }
};

}  // namespace

std::string signedCopyPath(const std::string& sourcePath) {
    char dest[1024];
    if (!tempPathFor(sourcePath.c_str(), dest, sizeof dest)) return "";
    std::string path = dest;
    if (!isSignedFileName(sourcePath.c_str())) path += ".p7m";
    return path.size() <= MAX_SIGNED_PATH ? path : "";
}

std::string SendWorkflow::checkLimits(const AttachmentSet& set, const std::string& messageText,
                                      const std::string& replyTo) const {
    if (messageText.size() > MAX_MESSAGE_TEXT) {
        return "Il testo del messaggio \xE8 troppo lungo: sono ammessi al massimo 32767 caratteri.\r\n"
               "Accorciare il testo e ripetere l'operazione.";
    }
    if (replyTo.size() > MAX_REPLY_TO) {
        return "L'indirizzo alternativo per le risposte \xE8 troppo lungo: sono ammessi al massimo 255 caratteri.";
    }
    std::vector<std::string> names = set.files;
    if (!messageText.empty()) names.push_back("\\testoMail.txt");
    for (const std::string& name : names) {
        if (signedCopyPath(name).empty()) {
            return "Il percorso del file firmato nella cartella temporanea supererebbe i 255 caratteri:\r\n" +
                   baseNameOf(name) + "\r\nRinominare il file o scegliere una cartella temporanea pi\xF9 breve.";
        }
    }
    return "";
}

int SendWorkflow::signOneFile(const std::string& sourcePath, int index) {
    if (index == 0) {
        const DWORD code = CIE_Connect(nullptr);
        if (code == READER_UNKNOWN || code == NO_READERS) {
            showProgramMessage("Nessun lettore di smartcard riconosciuto;\n\rverificare le connessioni");
            return STEP_ABORT;
        }
        if (code == CARD_REMOVED || code == CARD_ABSENT) {
            return showProgramMessage("Inserire Una carta nel lettore di smartcard", MB_RETRYCANCEL) == IDRETRY
                       ? STEP_RETRY
                       : STEP_ABORT;
        }
        if (code != 0) {
            showProgramMessage("Errore sulla connessione con il lettore di smartcard");
            return STEP_ABORT;
        }
        CIE_Disconnect();
    }
    const BusyCursor busy;
    const std::string dest = signedCopyPath(sourcePath);
    if (dest.empty()) return STEP_ABORT;  // refused before the run; a directory changed since
    const int32_t result = fnSignFile(sourcePath.c_str(), dest.c_str(), index);
    if (result == 0) {
        pinRefusals_ = 0;
        return STEP_DONE;
    }
    if (result != SIGN_ERR_PIN) return STEP_ABORT;
    showProgramMessage("Il pin inserito non \xE8 corretto!");
    if (++pinRefusals_ >= MAX_PIN_REFUSALS) return STEP_ABORT;
    // The first file asks for the PIN itself; a later one would resend the
    // refused PIN, so the prompt asks again here.
    if (index > 0 && showPinPrompt() != 0) return STEP_ABORT;
    return STEP_RETRY;
}

void SendWorkflow::run(AttachmentSet& set, const std::string& messageText, const std::string& replyTo) {
    set.runPending = 1;
    const BusyCursor busy;
    if (!messageText.empty()) {
        char textFile[1024];
        writeMessageTextFile(messageText, textFile);
        set.files.insert(set.files.begin(), textFile);
    }
    if (!set.files.empty()) signAndSend(set, messageText, replyTo);
    deleteTempFiles(set);
}

void SendWorkflow::writeMessageTextFile(const std::string& text, char outPath[1024]) {
    tempPathFor("\\testoMail.txt", outPath, 1024);
    writeTempFile(outPath, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

int SendWorkflow::signAndSend(AttachmentSet& set, const std::string& messageText, const std::string& replyTo) {
    const BusyCursor busy;
    pinRefusals_ = 0;
    {
        CProgressDlg progress;
        progress.createModeless(nullptr);
        progress.show();
        progress.centre();
        const int n = static_cast<int>(set.files.size());
        progress.setRange(n);
        for (int i = 0; i < n; ++i) {
            const std::string name = set.files[i];
            int step;
            do {
                repaint(progress);
                step = signOneFile(name, i);
            } while (step == STEP_RETRY);
            repaint(progress);
            if (step != STEP_DONE) {
                progress.destroy();
                showProgramMessage("L'operazione di firma \xE8 stata annullata, la sessione verr\xE0 terminata");
                return 1;
            }
            progress.step();
            progress.addSigned(name);
            set.signedFiles.push_back(signedCopyPath(name));
        }
    }
    CMailWaitDlg wait;
    wait.createModeless(nullptr);
    wait.show();
    wait.centre();
    const int mail = sendMail(set, messageText, replyTo);
    wait.destroy();
    return mail == 0 ? 0 : 1;
}

int SendWorkflow::deleteTempFiles(AttachmentSet& set) {
    set.runPending = 0;
    try {
        for (const std::string& path : set.signedFiles) DeleteFileA(path.c_str());
        for (const char* name : {"\\testoMail.txt", "\\replyto.txt"}) {
            char path[1024];
            if (tempPathFor(name, path, sizeof path)) DeleteFileA(path);
        }
    } catch (...) {
        showProgramMessage("Attenzione si \xE8 verificato un errore nella cancellazione dei file Temporanei");
    }
    try {
        set.files.clear();
        set.signedFiles.clear();
    } catch (...) {
        return 1;
    }
    return 0;
}
