// Test support: the Outlook Express settings that the mail step reads and
// writes, in the real registry of the Wine prefix: the default mail program,
// the default account (here "Quill Prova") and its reply-to. While this
// lives the account is the default one; afterwards the program and the
// default account are put back as they were.
#pragma once

#include <windows.h>

#include <string>

class OutlookExpressSettings {
public:
    // A value that is not there, as the mail stand-in's record writes it.
    static constexpr const char* ABSENT = "(absent)";

    OutlookExpressSettings() {
        savedClient_ = value(HKEY_LOCAL_MACHINE, CLIENTS, nullptr);
        savedAccount_ = value(HKEY_CURRENT_USER, MANAGER, "Default Mail Account");
        setValue(HKEY_CURRENT_USER, MANAGER, "Default Mail Account", "Quill Prova");
    }
    ~OutlookExpressSettings() {
        setValue(HKEY_LOCAL_MACHINE, CLIENTS, nullptr, savedClient_);
        setValue(HKEY_CURRENT_USER, MANAGER, "Default Mail Account", savedAccount_);
    }
    OutlookExpressSettings(const OutlookExpressSettings&) = delete;
    OutlookExpressSettings& operator=(const OutlookExpressSettings&) = delete;

    // The default mail program's name.
    void setClient(const std::string& name) { setValue(HKEY_LOCAL_MACHINE, CLIENTS, nullptr, name); }
    // The account's reply-to; ABSENT removes it.
    void setReplyTo(const std::string& address) { setValue(HKEY_CURRENT_USER, ACCOUNT, REPLY_TO, address); }
    std::string replyTo() const { return value(HKEY_CURRENT_USER, ACCOUNT, REPLY_TO); }

private:
    static constexpr const char* CLIENTS = "SOFTWARE\\Clients\\Mail";
    static constexpr const char* MANAGER = "Software\\Microsoft\\Internet Account Manager";
    static constexpr const char* ACCOUNT = "Software\\Microsoft\\Internet Account Manager\\Accounts\\Quill Prova";
    static constexpr const char* REPLY_TO = "SMTP Reply To Email Address";

    static std::string value(HKEY root, const char* key, const char* name) {
        char text[4096];
        DWORD size = sizeof text;
        return RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, text, &size) == ERROR_SUCCESS ? text : ABSENT;
    }
    static void setValue(HKEY root, const char* key, const char* name, const std::string& text) {
        HKEY k;
        if (RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS) return;
        if (text == ABSENT) RegDeleteValueA(k, name);
        else RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
        RegCloseKey(k);
    }

    std::string savedClient_, savedAccount_;
};
