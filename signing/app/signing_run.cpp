#include "signing_run.h"

#include <windows.h>

#include <cstdio>

#include "dialog.h"
#include "message_box.h"
#include "message_format.h"
#include "pin_source.h"
#include "progress_dialogs.h"
#include "quillet_messages.h"
#include "temp_paths.h"

namespace {

const char TEXT_FILE_NAME[] = "testoMail.txt";

// The progress window redrawn at once: no messages are processed while a
// file is signed.
void repaint(const CProgressDlg& progress) {
    RedrawWindow(progress.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool samePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

}  // namespace

SigningRun::SigningRun(AttachmentSet& set, SendWorkflow& workflow) : set_(set), workflow_(workflow) {
    set_.runPending = 1;
}

SigningRun::~SigningRun() {
    removeFiles();
    set_.signedFiles.clear();
    set_.runFolder.clear();
    set_.runPending = 0;
    wipePin();
}

std::string SigningRun::prepare(const std::string& messageText, const std::string& replyTo) {
    if (messageText.size() > MAX_MESSAGE_TEXT) {
        return quillet_messages::MESSAGE_TOO_LONG;
    }
    if (replyTo.size() > MAX_REPLY_TO) {
        return quillet_messages::REPLY_TO_TOO_LONG;
    }
    messageText_ = messageText;
    replyTo_ = replyTo;
    folder_ = makeOwnTempFolder("quillet");
    if (folder_.empty()) {
        return quillet_messages::NO_RUN_FOLDER;
    }
    replyToFile_ = folder_ + "\\" + REPLY_TO_FILE_NAME;
    sources_.clear();
    if (!messageText.empty()) {
        textFile_ = folder_ + "\\" + TEXT_FILE_NAME;
        sources_.push_back(textFile_);
    }
    sources_.insert(sources_.end(), set_.files.begin(), set_.files.end());

    subfolders_.reserve(sources_.size());
    copies_.reserve(sources_.size());
    for (size_t i = 0; i < sources_.size(); ++i) {
        const std::string& source = sources_[i];
        subfolders_.push_back(folder_ + "\\" + std::to_string(i + 1));
        std::string copy = subfolders_[i] + "\\" + baseNameOf(source);
        if (!isSignedFileName(source.c_str())) copy += ".p7m";
        if (copy.size() > MAX_SIGNED_PATH) {
            return formatMessage(quillet_messages::SIGNED_PATH_TOO_LONG, baseNameOf(source).c_str());
        }
        copies_.push_back(copy);
    }
    // By the folder's making no copy can meet a file; checked all the same,
    // since a copy is written over and deleted afterwards.
    for (size_t i = 0; i < copies_.size(); ++i) {
        bool meets = exists(copies_[i]);
        for (const std::string& source : sources_) meets = meets || samePath(copies_[i], source);
        if (meets || !CreateDirectoryA(subfolders_[i].c_str(), nullptr)) {
            return formatMessage(quillet_messages::SIGNED_FILE_WOULD_TOUCH_ANOTHER, copies_[i].c_str());
        }
    }
    return "";
}

int SigningRun::execute(const std::wstring& saveFolder) {
    const WaitCursor busy;
    workflow_.startRun();
    if (!textFile_.empty()) {  // a text that cannot be written fails as its file's signing
        writeTempFile(textFile_.c_str(), reinterpret_cast<const uint8_t*>(messageText_.data()), messageText_.size());
    }
    if (sources_.empty()) return RUN_DONE;
    set_.signedFiles.clear();
    set_.runFolder = folder_;
    {
        CProgressDlg progress;
        progress.createModeless(nullptr);
        progress.show();
        progress.centre();
        progress.setRange(static_cast<int>(sources_.size()));
        for (size_t i = 0; i < sources_.size(); ++i) {
            int step;
            do {
                repaint(progress);
                step = workflow_.signOneFile(sources_[i], copies_[i], static_cast<int>(i));
            } while (step == STEP_RETRY);
            repaint(progress);
            if (step != STEP_DONE) {
                progress.destroy();
                showProgramMessage(quillet_messages::SIGNING_CANCELLED);
                return RUN_ENDED;
            }
            progress.step();
            progress.addSigned(sources_[i]);
            set_.signedFiles.push_back(copies_[i]);
        }
    }
    if (!saveFolder.empty()) return saveAndShow(filesToSave(), saveFolder) ? RUN_SAVED : RUN_MAIL_NOT_SENT;
    int mail;
    {
        CMailWaitDlg wait;
        wait.createModeless(nullptr);
        wait.show();
        wait.centre();
        mail = workflow_.sendMail(set_, messageText_, replyTo_);
        wait.destroy();
    }
    if (mail == MAIL_DONE) return RUN_DONE;
    const int notSent = mail == MAIL_NOT_SENT ? RUN_MAIL_NOT_SENT : RUN_ENDED;
    // The signed copies are still there: the citizen may keep them.
    if (showProgramMessage(quillet_messages::SAVE_OFFER_MAIL_NOT_SENT, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return notSent;
    }
    const std::wstring folder = pickSaveFolder(nullptr);
    if (folder.empty()) return notSent;
    return saveAndShow(filesToSave(), folder) ? RUN_SAVED : notSent;
}

std::vector<FileToSave> SigningRun::filesToSave() {
    std::vector<FileToSave> files;
    for (const std::string& copy : copies_) files.push_back({copy, baseNameOf(copy)});
    if (!replyTo_.empty()) {
        files.push_back({workflow_.writeReplyToFile(folder_, replyTo_.c_str()), REPLY_TO_FILE_NAME});
    }
    return files;
}

bool SigningRun::finish() {
    removeFiles();
    return folder_.empty() || !exists(folder_);
}

// Every file the run may have made, a half-written one included, then its
// folders; what is not there is passed over. Every path was worked out
// before: nothing here can fail for want of memory.
void SigningRun::removeFiles() noexcept {
    for (const std::string& copy : copies_) DeleteFileA(copy.c_str());
    if (!textFile_.empty()) DeleteFileA(textFile_.c_str());
    if (!replyToFile_.empty()) DeleteFileA(replyToFile_.c_str());
    for (const std::string& subfolder : subfolders_) RemoveDirectoryA(subfolder.c_str());
    if (!folder_.empty()) RemoveDirectoryA(folder_.c_str());
}
