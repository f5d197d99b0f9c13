// The sign-and-send run of the signing program: what it works on
// (AttachmentSet) and its operations (SendWorkflow). This part holds the
// mail dispatch: one message with every signed copy attached, handed to the
// desktop mail program through Simple MAPI, with the typed reply-to made the
// default Outlook Express account's for the time of the send.
#pragma once

#include <windows.h>
#include <mapi.h>

#include <string>
#include <vector>

// The files of the main dialog and of the current run.
struct AttachmentSet {
    int runPending = 0;                    // 1 from the start of a run until its clean-up
    std::vector<std::string> files;        // the files to sign, in the order attached
    std::vector<std::string> signedFiles;  // the run's signed copies, in signing order
};

// The fixed recipient: the municipal mailbox, with its address type.
constexpr char MUNICIPAL_MAILBOX[] = "SMTP:protocollo@comune.valdora.it";
constexpr char MAIL_SUBJECT[] = "Messaggio firmato tramite Quillet Valdora";

// The size of the registry buffers: account key, saved and typed reply-to.
constexpr size_t REGISTRY_TEXT_SIZE = 256;

class SendWorkflow {
public:
    // Hands one message with set.signedFiles attached to the mail program.
    // Returns 0 when the send counts as done (sent, or cancelled or not
    // logged on by the user), 1 otherwise; shows its own messages.
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
    // Writes the address's bytes into "replyto.txt" of the temporary
    // directory, whose path `outPath` (1024 bytes) receives; returns 0.
    int writeReplyToFile(const char* replyTo, char outPath[1024]);
    // Fills entry `count` as an attachment of `path` and counts it.
    void addFileDesc(MapiFileDesc* entries, char* path, ULONG& count);
};
