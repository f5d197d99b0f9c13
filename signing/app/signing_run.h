// One press of "Firma File": every file of the form signed with the card and
// mailed. The run makes its files in a folder of its own under the temporary
// directory -- the message text, each signed copy in a subfolder of its own
// (so that two files of one name both keep it), the reply-to file -- and
// removes them all when it goes, on every path, failures and exceptions
// included; it wipes the PIN then too. Two runs, also of two programs at
// once, never share a file, and no file of the user's is ever written or
// deleted by a run.
#pragma once

#include <string>
#include <vector>

#include "send_workflow.h"
#include "signed_files_saving.h"

// Results of SigningRun::execute.
constexpr int RUN_DONE = 0;           // signed and mailed (or the user closed the compose window)
constexpr int RUN_ENDED = 1;          // cancelled or failed, and said so: the form is emptied
constexpr int RUN_MAIL_NOT_SENT = 2;  // signed, but no mail left, and said so: the form stays for another try
constexpr int RUN_SAVED = 3;          // signed and saved in the citizen's folder instead of mailed

class SigningRun {
public:
    // The run is under way from here (set.runPending) until it goes.
    SigningRun(AttachmentSet& set, SendWorkflow& workflow);
    ~SigningRun();
    SigningRun(const SigningRun&) = delete;
    SigningRun& operator=(const SigningRun&) = delete;

    // Makes the run's folder and works out every signed copy's path in it;
    // checks before anything is signed that the message text, the reply-to
    // and every path fit, and that no copy would meet a source or a file
    // already there. The text of a refusal (nothing was signed or sent), or
    // empty.
    std::string prepare(const std::string& messageText, const std::string& replyTo);

    // Writes the message text (the first file, when there is one), signs
    // every file and mails the signed copies; when no mail left, offers to
    // save them in a folder the citizen picks. With `saveFolder`, saves them
    // there instead of mailing them. RUN_DONE, RUN_ENDED, RUN_MAIL_NOT_SENT
    // or RUN_SAVED.
    int execute(const std::wstring& saveFolder = std::wstring());

    // Removes every file the run made, and its folders; false when one is
    // still there (another program holds it open). The run does the same
    // when it goes, whatever ends it, but cannot say so then.
    bool finish();

    // The run's folder (empty before prepare).
    const std::string& folder() const { return folder_; }
    // The run's files to sign and their signed copies, in signing order.
    const std::vector<std::string>& sources() const { return sources_; }
    const std::vector<std::string>& signedCopies() const { return copies_; }

private:
    // The signed copies, and the reply-to as the mail would carry it.
    std::vector<FileToSave> filesToSave();
    void removeFiles() noexcept;

    AttachmentSet& set_;
    SendWorkflow& workflow_;
    std::string messageText_, replyTo_;
    std::string folder_;                 // made by prepare, removed with everything in it
    std::string textFile_;               // the message text's file, when there is one
    std::string replyToFile_;            // where the mail step may write the reply-to
    std::vector<std::string> sources_;   // the message text's file first, then the form's files
    std::vector<std::string> subfolders_;  // folder\<i+1>, one for each source
    std::vector<std::string> copies_;    // sources_[i]'s signed copy: its subfolder\<name>[.p7m]
};
