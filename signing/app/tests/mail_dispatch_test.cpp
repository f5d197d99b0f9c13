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
#include "outlook_express.h"
#include "send_workflow.h"

namespace {

using Box = MessageBoxRecorder::Box;

const std::string ABSENT = OutlookExpressSettings::ABSENT;

using Record = MailRecord;

class MailDispatch : public testing::Test {
protected:
    void SetUp() override {
        outbox_ = QUILL_MAIL_OUTBOX_DIR "\\" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name());
        CreateDirectoryA(QUILL_MAIL_OUTBOX_DIR, nullptr);
        CreateDirectoryA(outbox_.c_str(), nullptr);
        SetEnvironmentVariableA("QUILL_MAIL_OUTBOX", outbox_.c_str());
        useMailProgram(QUILL_MAPI32_DIR);
        set_.runFolder = outbox_;  // where "replyto.txt" goes
        // Two signed copies, kept beside the messages for the check of the .eml.
        for (const char* name : {"testoMail.txt.p7m", "domanda.pdf.p7m"}) {
            set_.signedFiles.push_back(outbox_ + "\\" + name);
            std::ofstream(set_.signedFiles.back(), std::ios::binary) << "signed copy of " << name << '\x00' << '\xFF';
        }
    }
    void TearDown() override {
        SetEnvironmentVariableA("QUILL_MAPI_RESULT", nullptr);
        SetDllDirectoryA(nullptr);
    }
    static void useMailProgram(const std::string& folder) { SetDllDirectoryA(folder.c_str()); }
    void setClient(const std::string& name) { outlookExpress_.setClient(name); }
    void setAccountReplyTo(const std::string& value) { outlookExpress_.setReplyTo(value); }
    std::string accountReplyTo() const { return outlookExpress_.replyTo(); }

    // The records of the messages sent so far, oldest first.
    std::vector<Record> sent() const { return readMailOutbox(outbox_); }

    OutlookExpressSettings outlookExpress_;
    AttachmentSet set_;
    SendWorkflow workflow_;
    MessageBoxRecorder boxes_;
    std::string outbox_;
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
        const std::string replyToFile = outbox_ + "\\replyto.txt";
        ASSERT_EQ(r.files.size(), 3u);
        EXPECT_EQ(r.files[2], "0 0 0xFFFFFFFF \"" + replyToFile + "\" null null");
        {
            std::ifstream in(replyToFile, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), row.replyTo);
        }
        EXPECT_EQ(accountReplyTo(), row.former);
        DeleteFileA(replyToFile.c_str());  // the next row's is another
    }
}

// The mail program's results: 0 and 1 (the user closed the compose window)
// count as done; without the library, its entry or a log-on (3) nothing
// left, which is said, and the run keeps its form; any other result is a
// failure with its message. The account is put back in every case.
TEST_F(MailDispatch, EachResultOfTheMailProgram) {
    const std::string again = "\r\nIl messaggio non \xE8 stato inviato: gli allegati restano nel modulo per un nuovo invio.";
    const std::string noProgram = "Su questo computer non \xE8 configurato un programma di posta (MAPI32.DLL e la sua "
                                  "funzione MAPISendMail)." + again;
    const std::string noLogOn = "Il programma di posta non \xE8 riuscito ad accedere alla casella di posta." + again;
    const Box failed = {nullptr, "Invio del Messaggio fallito...", "Error", MB_ICONEXCLAMATION | MB_OK};
    const struct { const char* library; const char* result; int returned; std::string box; } rows[] = {
        {QUILL_MAPI32_DIR, "0", MAIL_DONE, ""}, {QUILL_MAPI32_DIR, "1", MAIL_DONE, ""},
        {QUILL_MAPI32_DIR, "3", MAIL_NOT_SENT, noLogOn}, {QUILL_MAPI32_DIR, "2", MAIL_FAILED, failed.text},
        {QUILL_MAPI32_DIR, "26", MAIL_FAILED, failed.text},
        {QUILL_MAPI32_DIR "\\incomplete", "0", MAIL_NOT_SENT, noProgram},
        {QUILL_MAIL_OUTBOX_DIR, "0", MAIL_NOT_SENT, noProgram},
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
        if (row.box == failed.text) expected.push_back(failed);
        else if (!row.box.empty()) expected.push_back({nullptr, row.box, "Quillet", MB_OK | MB_ICONEXCLAMATION});
        EXPECT_EQ(boxes_.boxes(), expected);
        EXPECT_EQ(accountReplyTo(), "segreteria@studio-neri.it");
    }
    EXPECT_EQ(sent().size(), 5u) << "only the library with its entry was called";

    // An attachment that is not there: a mail program refuses the whole message.
    boxes_.clear();
    useMailProgram(QUILL_MAPI32_DIR);
    SetEnvironmentVariableA("QUILL_MAPI_RESULT", nullptr);
    set_.signedFiles.push_back(outbox_ + "\\manca.p7m");
    EXPECT_EQ(workflow_.sendMail(set_, "testo", ""), MAIL_FAILED);
    EXPECT_EQ(boxes_.boxes(), std::vector<Box>{failed});
    EXPECT_EQ(sent().size(), 5u) << "no message with a part missing";
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
