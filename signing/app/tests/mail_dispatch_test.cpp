// The mail dispatch against the Simple MAPI stand-in (outside/mapi32) and the
// real registry of the Wine prefix: what the mail program was handed, the
// reply-to of the default Outlook Express account, and every result.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "mail_outbox.h"
#include "message_box_recorder.h"
#include "send_workflow.h"
#include "temp_paths.h"

namespace {

using Box = MessageBoxRecorder::Box;

const char ACCOUNT_KEY[] = "Software\\Microsoft\\Internet Account Manager\\Accounts\\Quill Prova";
const char REPLY_TO[] = "SMTP Reply To Email Address";
const std::string ABSENT = "(absent)";

// A string value, or "(absent)" (as the stand-in's record writes it).
std::string registryValue(HKEY root, const char* key, const char* name) {
    char value[4096];
    DWORD size = sizeof value;
    return RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS ? value : "(absent)";
}

// Sets a string value, or deletes it for "(absent)".
void setRegistryValue(HKEY root, const char* key, const char* name, const std::string& value) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr), ERROR_SUCCESS) << key;
    if (value == ABSENT) RegDeleteValueA(k, name);
    else RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
}

using Record = MailRecord;

class MailDispatch : public testing::Test {
protected:
    void SetUp() override {
        savedClient_ = registryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail", nullptr);
        savedAccount_ = registryValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Account Manager",
                                      "Default Mail Account");
        setRegistryValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Account Manager", "Default Mail Account",
                         "Quill Prova");
        outbox_ = QUILL_MAIL_OUTBOX_DIR "\\" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name());
        CreateDirectoryA(QUILL_MAIL_OUTBOX_DIR, nullptr);
        CreateDirectoryA(outbox_.c_str(), nullptr);
        SetEnvironmentVariableA("QUILL_MAIL_OUTBOX", outbox_.c_str());
        useMailProgram(QUILL_MAPI32_DIR);
        // Two signed copies, kept beside the messages for the check of the .eml.
        for (const char* name : {"testoMail.txt.p7m", "domanda.pdf.p7m"}) {
            set_.signedFiles.push_back(outbox_ + "\\" + name);
            std::ofstream(set_.signedFiles.back(), std::ios::binary) << "signed copy of " << name << '\x00' << '\xFF';
        }
    }
    void TearDown() override {
        setRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail", nullptr, savedClient_);
        setRegistryValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Account Manager", "Default Mail Account",
                         savedAccount_);
        SetEnvironmentVariableA("QUILL_MAPI_RESULT", nullptr);
        SetDllDirectoryA(nullptr);
    }
    static void useMailProgram(const std::string& folder) { SetDllDirectoryA(folder.c_str()); }
    static void setClient(const std::string& name) { setRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail", nullptr, name); }
    static void setAccountReplyTo(const std::string& value) { setRegistryValue(HKEY_CURRENT_USER, ACCOUNT_KEY, REPLY_TO, value); }
    static std::string accountReplyTo() { return registryValue(HKEY_CURRENT_USER, ACCOUNT_KEY, REPLY_TO); }

    // The records of the messages sent so far, oldest first.
    std::vector<Record> sent() const { return readMailOutbox(outbox_); }

    AttachmentSet set_;
    SendWorkflow workflow_;
    MessageBoxRecorder boxes_;
    std::string outbox_;
    std::string savedClient_, savedAccount_;
};

TEST_F(MailDispatch, HandsTheMailProgramOneMessageToTheMunicipality) {
    setClient("Outlook Express");
    setAccountReplyTo("segreteria@studio-neri.it");
    ASSERT_EQ(workflow_.sendMail(set_, "Buongiorno,\r\nallego la domanda.", ""), 0);
    ASSERT_EQ(workflow_.sendMail(set_, "", ""), 0);
    const std::vector<Record> records = sent();
    ASSERT_EQ(records.size(), 2u);
    const Record& r = records[0];
    EXPECT_EQ(r.fields.at("subject"), "\"Messaggio firmato tramite Quillet Valdora\"");
    EXPECT_EQ(r.fields.at("note"), "\"Buongiorno,\\r\\nallego la domanda.\"");
    EXPECT_EQ(records[1].fields.at("note"), "null") << "an empty text gives no body";
    EXPECT_EQ(r.fields.at("flags"), "9");
    EXPECT_EQ(r.fields.at("session") + r.fields.at("ui") + r.fields.at("reserved"), "0x000000000x000000000");
    EXPECT_EQ(r.fields.at("message_flags") + r.fields.at("originator") + r.fields.at("recipients"), "0null1");
    EXPECT_EQ(r.fields.at("recipient"), "1 \"\" \"SMTP:protocollo@comune.valdora.it\" 0 null");
    const std::vector<std::string> files = {"0 0 0xFFFFFFFF \"" + set_.signedFiles[0] + "\" null null",
                                            "0 0 0xFFFFFFFF \"" + set_.signedFiles[1] + "\" null null"};
    EXPECT_EQ(r.files, files);
    EXPECT_EQ(r.fields.at("account_reply_to"), "\"segreteria@studio-neri.it\"") << "an empty reply-to leaves the account alone";
    EXPECT_EQ(accountReplyTo(), "segreteria@studio-neri.it");
    EXPECT_TRUE(boxes_.boxes().empty());
}

// With Outlook Express as the default mail program, the typed address is the
// account's reply-to during the send only; a former value comes back, and an
// absent or empty one is absent again.
TEST_F(MailDispatch, ReplyToIsTheAccountsForTheSendOnly) {
    setClient("Outlook Express");
    for (const std::string& former : {ABSENT, std::string(), std::string("segreteria@studio-neri.it")}) {
        setAccountReplyTo(former);
        ASSERT_EQ(workflow_.sendMail(set_, "", "mario.rossi@example.it"), 0);
        const Record r = sent().back();
        EXPECT_EQ(r.fields.at("account_reply_to"), "\"mario.rossi@example.it\"");
        EXPECT_EQ(r.files.size(), 2u) << "no reply-to file";
        EXPECT_EQ(accountReplyTo(), former.empty() ? ABSENT : former) << "was \"" << former << '"';
    }
    EXPECT_TRUE(boxes_.boxes().empty());
}

// Another mail program, or an address or a former value that does not fit
// the 256-byte buffers: the account stays as it was and the address travels
// as "replyto.txt", the last attachment, holding exactly the typed bytes.
TEST_F(MailDispatch, ReplyToTravelsAsAFileWhenTheAccountCannotCarryIt) {
    const std::string longAddress = std::string(250, 'a') + "@example.it";
    const std::string longFormer = std::string(300, 'f') + "@example.it";
    const struct { const char* client; std::string replyTo; std::string former; } rows[] = {
        {"Mozilla Thunderbird", "mario.rossi@example.it", "segreteria@studio-neri.it"},
        {"outlook express", "mario.rossi@example.it", "segreteria@studio-neri.it"},  // case counts
        {"Outlook Express", longAddress, "segreteria@studio-neri.it"},
        {"Outlook Express", "mario.rossi@example.it", longFormer},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.client + (" " + row.replyTo.substr(0, 20)));
        setClient(row.client);
        setAccountReplyTo(row.former);
        ASSERT_EQ(workflow_.sendMail(set_, "", row.replyTo), 0);
        const Record r = sent().back();
        EXPECT_EQ(r.fields.at("account_reply_to"), "\"" + row.former + "\"");
        char replyToFile[1024];
        ASSERT_TRUE(tempPathFor("\\replyto.txt", replyToFile, sizeof replyToFile));
        ASSERT_EQ(r.files.size(), 3u);
        EXPECT_EQ(r.files[2], "0 0 0xFFFFFFFF \"" + std::string(replyToFile) + "\" null null");
        std::ifstream in(replyToFile, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), row.replyTo);
        EXPECT_EQ(accountReplyTo(), row.former);
        DeleteFileA(replyToFile);
    }
}

// The mail program's results 0, 1 (the user closed the compose window) and 3
// (no log-on) count as done; others are a failure with a message. Without the
// library or its entry the send fails silently, and the account is put back.
TEST_F(MailDispatch, EachResultOfTheMailProgram) {
    const struct { const char* library; const char* result; int returned; bool box; } rows[] = {
        {QUILL_MAPI32_DIR, "0", 0, false}, {QUILL_MAPI32_DIR, "1", 0, false}, {QUILL_MAPI32_DIR, "3", 0, false},
        {QUILL_MAPI32_DIR, "2", 1, true}, {QUILL_MAPI32_DIR, "26", 1, true},
        {QUILL_MAPI32_DIR "\\incomplete", "0", 1, false}, {QUILL_MAIL_OUTBOX_DIR, "0", 1, false},
    };
    setClient("Outlook Express");
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.library) + " " + row.result);
        boxes_.clear();
        setAccountReplyTo("segreteria@studio-neri.it");
        useMailProgram(row.library);
        SetEnvironmentVariableA("QUILL_MAPI_RESULT", row.result);
        EXPECT_EQ(workflow_.sendMail(set_, "testo", "mario.rossi@example.it"), row.returned);
        std::vector<Box> expected;
        if (row.box) expected.push_back({nullptr, "Invio del Messaggio fallito...", "Error", MB_ICONEXCLAMATION | MB_OK});
        EXPECT_EQ(boxes_.boxes(), expected);
        EXPECT_EQ(accountReplyTo(), "segreteria@studio-neri.it");
    }
    EXPECT_EQ(sent().size(), 5u) << "only the library with its entry was called";
}

TEST_F(MailDispatch, AnAccountThatCannotBeWrittenBackSaysSo) {
    EXPECT_EQ(workflow_.deleteAccountReplyTo("Software\\Quill\\no such account"), 0);
    const std::vector<Box> expected = {
        {nullptr,
         "Si \xE8 verificato un errore durante il ripristino del reply-to su Outlook Express\r\n\n"
         "Si consiglia di Reimpostarlo dal client di posta",
         "ATTENZIONE", MB_ICONERROR | MB_OK}};
    EXPECT_EQ(boxes_.boxes(), expected);
}

}  // namespace
