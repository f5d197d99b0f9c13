// The sign-and-send run of the signing program: what it works on
// (AttachmentSet) and its operations (SendWorkflow): every attached file
// signed with the card into the temporary directory (send_workflow.cpp), then
// one message with every signed copy attached, handed to the desktop mail
// program through Simple MAPI, with the typed reply-to made the default
// Outlook Express account's for the time of the send (mail_dispatch.cpp).
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

// What a run can hold: a signed copy's temporary path and the reply-to fit
// 256-byte buffers, the message text a 32768-byte block.
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

class SendWorkflow {
public:
    // The text of a clear refusal when the run cannot hold the message text,
    // the reply-to or a signed copy's temporary path; empty when it can.
    std::string checkLimits(const AttachmentSet& set, const std::string& messageText,
                            const std::string& replyTo) const;

    // The run that "Firma File" starts, once the form was read and its limits
    // checked: the message text (when there is one) becomes the first file,
    // every file is signed and mailed, and the temporary files go again.
    void run(AttachmentSet& set, const std::string& messageText, const std::string& replyTo);

    // Signs every entry of set.files in order into the temporary directory
    // (set.signedFiles), showing the progress window, then sends the mail.
    // 0 when everything was signed and the mail step succeeded, else 1.
    int signAndSend(AttachmentSet& set, const std::string& messageText, const std::string& replyTo);
    // One file, the `index`-th of the run: the reader checked first for the
    // first file, then fnSignFile into the temporary directory.
    int signOneFile(const std::string& sourcePath, int index);
    // The message text's bytes into "testoMail.txt" of the temporary
    // directory, whose path `outPath` (1024 bytes) receives.
    void writeMessageTextFile(const std::string& text, char outPath[1024]);
    // Deletes the run's temporary files and empties the lists; 0, or 1 when
    // emptying them failed.
    int deleteTempFiles(AttachmentSet& set);

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

private:
    int pinRefusals_ = 0;  // refused PINs in a row
};

// The temporary path of the signed copy of `sourcePath`: its base name, with
// ".p7m" appended unless it already ends so; empty when it does not fit.
std::string signedCopyPath(const std::string& sourcePath);
