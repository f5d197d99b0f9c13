#include <cstdio>
#include <cstring>
#include <memory>

#include "dialog.h"
#include "message_box.h"
#include "quillet_messages.h"
#include "send_workflow.h"
#include "temp_paths.h"

namespace {

constexpr char MAIL_CLIENTS_KEY[] = "SOFTWARE\\Clients\\Mail";
constexpr char ACCOUNT_MANAGER_KEY[] = "Software\\Microsoft\\Internet Account Manager";
constexpr char ACCOUNTS_PREFIX[] = "Software\\Microsoft\\Internet Account Manager\\Accounts\\";
constexpr char REPLY_TO_VALUE[] = "SMTP Reply To Email Address";
constexpr ULONG MAPI_SEND_FLAGS = MAPI_LOGON_UI | MAPI_DIALOG;  // 9

// A registry key, closed when this goes away.
class RegistryKey {
public:
    RegistryKey(HKEY root, const char* path, REGSAM access) {
        if (RegOpenKeyExA(root, path, 0, access, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~RegistryKey() { if (key_) RegCloseKey(key_); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return key_; }

    // A string value into a 256-byte buffer, NUL-terminated; the code of the read.
    LONG read(const char* name, char value[REGISTRY_TEXT_SIZE]) const {
        DWORD size = REGISTRY_TEXT_SIZE;
        std::memset(value, 0, REGISTRY_TEXT_SIZE);
        const LONG result =
            RegQueryValueExA(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        if (result == ERROR_SUCCESS && size >= REGISTRY_TEXT_SIZE && value[REGISTRY_TEXT_SIZE - 1] != '\0') {
            return ERROR_MORE_DATA;  // a value that fills the buffer without its terminator
        }
        value[REGISTRY_TEXT_SIZE - 1] = '\0';
        return result;
    }
    bool write(const char* name, const char* value) const {
        return RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                              static_cast<DWORD>(std::strlen(value))) == ERROR_SUCCESS;
    }

private:
    HKEY key_ = nullptr;
};

// "MAPI32.DLL", unloaded when this goes away.
class MapiLibrary {
public:
    MapiLibrary() : module_(LoadLibraryA("MAPI32.DLL")) {}
    ~MapiLibrary() { if (module_) FreeLibrary(module_); }
    MapiLibrary(const MapiLibrary&) = delete;
    MapiLibrary& operator=(const MapiLibrary&) = delete;
    LPMAPISENDMAIL sendMail() const {
        if (module_ == nullptr) return nullptr;
        const FARPROC entry = GetProcAddress(module_, "MAPISendMail");
        return reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void (*)()>(entry));
    }
private:
    HMODULE module_;
};

}  // namespace

bool mailProgramPresent() { return MapiLibrary().sendMail() != nullptr; }

int SendWorkflow::setAccountReplyTo(const char* replyTo, char accountKey[REGISTRY_TEXT_SIZE],
                                    char savedReplyTo[REGISTRY_TEXT_SIZE]) {
    // An address that does not fit the buffer travels as the reply-to file.
    if (std::strlen(replyTo) >= REGISTRY_TEXT_SIZE) return 0;
    char client[REGISTRY_TEXT_SIZE];
    {
        const RegistryKey clients(HKEY_LOCAL_MACHINE, MAIL_CLIENTS_KEY, KEY_READ);
        if (!clients.get() || clients.read(nullptr, client) != ERROR_SUCCESS) return 0;
    }
    if (std::strcmp(client, "Outlook Express") != 0) return 0;
    char account[REGISTRY_TEXT_SIZE];
    {
        const RegistryKey manager(HKEY_CURRENT_USER, ACCOUNT_MANAGER_KEY, KEY_READ);
        if (!manager.get() || manager.read("Default Mail Account", account) != ERROR_SUCCESS) return 0;
    }
    char key[REGISTRY_TEXT_SIZE];
    if (std::snprintf(key, sizeof key, "%s%s", ACCOUNTS_PREFIX, account) >= static_cast<int>(sizeof key)) return 0;
    {
        const RegistryKey reading(HKEY_CURRENT_USER, key, KEY_READ);
        if (!reading.get()) return 0;
        // No value at all leaves the saved value empty: the account had none. A
        // value that cannot be read whole would be lost by the restore: leave
        // the account alone then.
        const LONG saved = reading.read(REPLY_TO_VALUE, savedReplyTo);
        if (saved != ERROR_SUCCESS && saved != ERROR_FILE_NOT_FOUND) {
            savedReplyTo[0] = '\0';
            return 0;
        }
        std::memcpy(accountKey, key, sizeof key);
    }
    const RegistryKey writing(HKEY_CURRENT_USER, key, KEY_WRITE);
    return writing.get() && writing.write(REPLY_TO_VALUE, replyTo) ? 1 : 0;
}

int SendWorkflow::restoreAccountReplyTo(const char* accountKey, const char* savedReplyTo) {
    const RegistryKey key(HKEY_CURRENT_USER, accountKey, KEY_WRITE);
    return key.get() && key.write(REPLY_TO_VALUE, savedReplyTo) ? 1 : 0;
}

int SendWorkflow::deleteAccountReplyTo(const char* accountKey) {
    const RegistryKey key(HKEY_CURRENT_USER, accountKey, KEY_WRITE);
    if (!key.get() || RegDeleteValueA(key.get(), REPLY_TO_VALUE) != ERROR_SUCCESS) {
        showMessageBox(nullptr, quillet_messages::REPLY_TO_NOT_RESTORED, "ATTENZIONE", MB_ICONERROR | MB_OK);
        return 0;
    }
    return 1;
}

std::string SendWorkflow::writeReplyToFile(const std::string& folder, const char* replyTo) {
    const std::string path = folder + "\\" + REPLY_TO_FILE_NAME;
    writeTempFile(path.c_str(), reinterpret_cast<const uint8_t*>(replyTo), std::strlen(replyTo));
    return path;
}

void SendWorkflow::addFileDesc(MapiFileDesc* entries, char* path, ULONG& count) {
    MapiFileDesc& entry = entries[count++];
    entry = MapiFileDesc{};
    entry.nPosition = 0xFFFFFFFF;  // not placed in the body
    entry.lpszPathName = path;     // no file name: the mail program shows the file's own
}

namespace {

// The typed reply-to made the account's for the time of the send: the former
// value comes back when this goes, whatever ends the send.
class AccountReplyTo {
public:
    AccountReplyTo(SendWorkflow& workflow, const std::string& replyTo) : workflow_(workflow) {
        changed_ = !replyTo.empty() && workflow_.setAccountReplyTo(replyTo.c_str(), accountKey_, savedReplyTo_) != 0;
    }
    ~AccountReplyTo() {
        if (!changed_) return;
        if (savedReplyTo_[0] != '\0') {
            workflow_.restoreAccountReplyTo(accountKey_, savedReplyTo_);
        } else {
            workflow_.deleteAccountReplyTo(accountKey_);
        }
    }
    AccountReplyTo(const AccountReplyTo&) = delete;
    AccountReplyTo& operator=(const AccountReplyTo&) = delete;
    bool changed() const { return changed_; }

private:
    SendWorkflow& workflow_;
    char accountKey_[REGISTRY_TEXT_SIZE] = "";
    char savedReplyTo_[REGISTRY_TEXT_SIZE] = "";
    bool changed_ = false;
};

}  // namespace

int SendWorkflow::sendMail(const AttachmentSet& set, const std::string& messageText, const std::string& replyTo) {
    const WaitCursor busy;
    const AccountReplyTo account(*this, replyTo);
    std::string replyToFile;
    if (!replyTo.empty() && !account.changed()) replyToFile = writeReplyToFile(set.runFolder, replyTo.c_str());

    const MapiLibrary library;
    const LPMAPISENDMAIL send = library.sendMail();
    if (send == nullptr) {
        showProgramMessage(quillet_messages::NO_MAIL_PROGRAM, MB_OK | MB_ICONEXCLAMATION);
        return MAIL_NOT_SENT;
    }
    const ULONG count = static_cast<ULONG>(set.signedFiles.size()) + (replyToFile.empty() ? 0 : 1);
    std::unique_ptr<MapiFileDesc[]> entries(new MapiFileDesc[count]);
    std::vector<std::string> paths(set.signedFiles);  // the message's own copies
    ULONG filled = 0;
    for (std::string& path : paths) addFileDesc(entries.get(), &path[0], filled);
    if (!replyToFile.empty()) addFileDesc(entries.get(), &replyToFile[0], filled);

    std::string subject = MAIL_SUBJECT, address = MUNICIPAL_MAILBOX, name, body = messageText;
    MapiRecipDesc recipient{};
    recipient.ulRecipClass = MAPI_TO;
    recipient.lpszName = &name[0];
    recipient.lpszAddress = &address[0];
    MapiMessage message{};
    message.lpszSubject = &subject[0];
    message.lpszNoteText = body.empty() ? nullptr : &body[0];
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
    message.nFileCount = count;
    message.lpFiles = entries.get();
    const ULONG result = send(0, 0, &message, MAPI_SEND_FLAGS, 0);
    if (result == SUCCESS_SUCCESS || result == MAPI_USER_ABORT) return MAIL_DONE;
    if (result == MAPI_E_LOGIN_FAILURE) {
        showProgramMessage(quillet_messages::MAILBOX_NOT_REACHED, MB_OK | MB_ICONEXCLAMATION);
        return MAIL_NOT_SENT;
    }
    showMessageBox(nullptr, quillet_messages::MAIL_FAILED, "Error", MB_ICONEXCLAMATION | MB_OK);
    return MAIL_FAILED;
}
