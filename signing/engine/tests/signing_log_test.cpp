#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "signing_log.h"
#include "test_card_key.h"

namespace {

class SigningLog : public testing::Test {
protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    static void clear() {
        DeleteFileA(SIGNING_LOG_PATH);
        RemoveDirectoryA(SIGNING_LOG_PATH);
    }
    static std::string contents() {
        const Bytes bytes = readWholeFile(SIGNING_LOG_PATH);
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(SigningLog, AppendsEachEntryAsFormattedWithNothingAdded) {
    fnLogMessage("non una cie\nATR= ");
    fnLogMessage(" 0x%02X ", 0x3B);
    fnLogMessage(" 0x%02X ", 0x0A);
    fnLogMessage("\n");
    // Text mode: each line end reaches the file as CR LF.
    EXPECT_EQ(contents(), "non una cie\r\nATR=  0x3B  0x0A \r\n");
    fnLogMessage("seconda riga\n");
    EXPECT_EQ(contents(), "non una cie\r\nATR=  0x3B  0x0A \r\nseconda riga\r\n");
}

TEST_F(SigningLog, NullFormatWritesNothing) {
    fnLogMessage("prima\n");
    fnLogMessage(nullptr);
    EXPECT_EQ(contents(), "prima\r\n");
}

TEST_F(SigningLog, LogThatCannotBeOpenedIsSkippedSilently) {
    // A folder where the log should be: the file cannot be opened for appending.
    ASSERT_TRUE(CreateDirectoryA(SIGNING_LOG_PATH, nullptr));
    fnLogMessage("perso %d\n", 1);
    EXPECT_EQ(GetFileAttributesA(SIGNING_LOG_PATH) & FILE_ATTRIBUTE_DIRECTORY,
              DWORD{FILE_ATTRIBUTE_DIRECTORY});
}

}  // namespace
