// The operations of the sign-and-send run of the signing program: what it
// works on (AttachmentSet), one file signed with the card (send_workflow.cpp),
// and one message with every signed copy attached, handed to the desktop mail
// program through Simple MAPI, with the typed reply-to made the default
// Outlook Express account's for the time of the send (mail_dispatch.cpp). The
// run itself, with the files it makes, is SigningRun (signing_run.h).
#pragma once

#include <windows.h>
#include <mapi.h>

#include <string>
#include <vector>

// The files of the main dialog and of the run under way.
struct AttachmentSet {
    int runPending = 0;                    // 1 while a run is under way: the window's commands wait
    std::vector<std::string> files;        // the files to sign, in the order attached
    std::vector<std::string> signedFiles;  // the run's signed copies so far, in signing order
    std::string runFolder;                 // the folder of the run's own files (the reply-to file's too)
};

// The fixed recipient: the municipal mailbox, with its address type.
constexpr char MUNICIPAL_MAILBOX[] = "SMTP:protocollo@comune.valdora.it";
constexpr char MAIL_SUBJECT[] = "Messaggio firmato tramite Quillet Valdora";

// The reply-to's file, in the run's folder, when the account cannot carry it.
constexpr char REPLY_TO_FILE_NAME[] = "replyto.txt";

// The size of the registry buffers: account key, saved and typed reply-to.
constexpr size_t REGISTRY_TEXT_SIZE = 256;

// What a run can hold: a signed copy's temporary path and the reply-to fit
// 256-byte buffers, the message text a 32768-byte block (checked by SigningRun).
constexpr size_t MAX_SIGNED_PATH = 255;
constexpr size_t MAX_REPLY_TO = 255;
constexpr size_t MAX_MESSAGE_TEXT = 32767;

// Results of signOneFile.
constexpr int STEP_DONE = 0;   // signed, its SignedFile written
constexpr int STEP_ABORT = 1;  // stop the run
constexpr int STEP_RETRY = 2;  // the same file again

// A refused PIN ends the run at the third refusal in a row: a real card
// blocks after a few.
constexpr int MAX_PIN_REFUSALS = 3;

// Results of sendMail.
constexpr int MAIL_DONE = 0;      // sent, or the user closed the compose window
constexpr int MAIL_FAILED = 1;    // the mail program failed; it was said
constexpr int MAIL_NOT_SENT = 2;  // no mail program, or it could not log on: said; worth another try

// Whether this computer has a mail program to hand a message to: a
// "MAPI32.DLL" that exports MAPISendMail.
bool mailProgramPresent();

class SendWorkflow {
public:
    // The first PIN of a run is asked by the engine; this counts the refused
    // ones in a row from the start of a run.
    void startRun() { pinRefusals_ = 0; }

    // One file, the `index`-th of the run, signed into `signedPath`: the
    // reader checked first for the first file, then fnSignFile.
    int signOneFile(const std::string& sourcePath, const std::string& signedPath, int index);

    // Hands one message with set.signedFiles attached to the mail program
    // (MAIL_DONE, MAIL_FAILED or MAIL_NOT_SENT); shows its own messages. A
    // reply-to that the account cannot carry travels as "replyto.txt" of
    // set.runFolder.
    int sendMail(const AttachmentSet& set, const std::string& messageText, const std::string& replyTo);

    // Makes `replyTo` the default Outlook Express account's reply-to; 1 when
    // done, with the account's key and former value (empty when it had none)
    // filled in. 0, the account untouched, when the default mail program is
    // another, a registry step fails, or the address or the former value does
    // not fit its 256-byte buffer.
    int setAccountReplyTo(const char* replyTo, char accountKey[REGISTRY_TEXT_SIZE],
                          char savedReplyTo[REGISTRY_TEXT_SIZE]);
    // Puts the former value back; 1 or 0, silently.
    int restoreAccountReplyTo(const char* accountKey, const char* savedReplyTo);
    // Removes the value again; 1, or 0 after a message.
    int deleteAccountReplyTo(const char* accountKey);
    // Writes the address's bytes into "replyto.txt" of `folder`, whose path
    // it returns.
    std::string writeReplyToFile(const std::string& folder, const char* replyTo);
    // Fills entry `count` as an attachment of `path` and counts it.
    void addFileDesc(MapiFileDesc* entries, char* path, ULONG& count);

private:
    int pinRefusals_ = 0;  // refused PINs in a row
};
