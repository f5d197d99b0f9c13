// The temporary paths and the block writer on the platform's own directory
// search and files.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "message_box_recorder.h"
#include "temp_paths.h"

namespace {

using Box = MessageBoxRecorder::Box;

std::string environment(const char* name) {
    char value[TEMP_DIR_CAPACITY] = "";
    GetEnvironmentVariableA(name, value, sizeof value);
    return value;
}

// Points the platform's temporary directory (TMP, then TEMP) elsewhere for one test.
class TemporaryDirectory : public testing::Test {
protected:
    void SetUp() override {
        savedTmp_ = environment("TMP");
        savedTemp_ = environment("TEMP");
        long_ = savedTmp_ + "\\Quill cartella temporanea\\Firme di prova";
        CreateDirectoryA((savedTmp_ + "\\Quill cartella temporanea").c_str(), nullptr);
        CreateDirectoryA(long_.c_str(), nullptr);
        char resolved[TEMP_DIR_CAPACITY];
        ASSERT_EQ(resolveLongPath(long_.c_str(), resolved, sizeof resolved), 1);
        long_ = resolved;  // the user's own temporary directory may be short too
    }
    void TearDown() override { pointTo(savedTmp_, savedTemp_); }
    static void pointTo(const std::string& tmp, const std::string& temp) {
        SetEnvironmentVariableA("TMP", tmp.c_str());
        SetEnvironmentVariableA("TEMP", temp.c_str());
    }

    std::string savedTmp_, savedTemp_, long_;
    MessageBoxRecorder boxes_;
};

TEST_F(TemporaryDirectory, ReportedInShortFormGivesLongPaths) {
    char shortForm[TEMP_DIR_CAPACITY];
    ASSERT_GT(GetShortPathNameA(long_.c_str(), shortForm, sizeof shortForm), 0u);
    ASSERT_STRNE(shortForm, long_.c_str());
    pointTo(shortForm, shortForm);
    char out[1024];
    ASSERT_TRUE(tempPathFor("\\testoMail.txt", out, sizeof out));
    EXPECT_EQ(std::string(out), long_ + "\\testoMail.txt");
    ASSERT_TRUE(tempPathFor("c:\\file_hex.txt", out, sizeof out));
    EXPECT_EQ(std::string(out), long_ + "\\file_hex.txt");
    // A result longer than the caller's buffer is refused, nothing written past it.
    char small[40];
    std::fill(std::begin(small), std::end(small), 'z');
    EXPECT_FALSE(tempPathFor("\\testoMail.txt", small, 20));
    EXPECT_EQ(small[0], '\0');
    EXPECT_EQ(small[20], 'z');
    EXPECT_TRUE(boxes_.boxes().empty());
}

// The disk-error message, then the end of the program with exit code 0
// (in a child process); the child prints the box it was shown.
TEST_F(TemporaryDirectory, MissingComponentEndsTheProgram) {
    // Only the child's temporary directory is missing: the parent's holds the
    // death test's own files.
    auto failing = [this]() {
        pointTo(long_ + "\\manca", long_ + "\\manca");
        setMessageBoxHandler([](void*, HWND, const char* text, const char* caption, UINT) {
            std::fprintf(stderr, "[%s] %s\n", caption, text);
            return IDOK;
        }, nullptr);
        char out[1024];
        tempPathFor("\\testoMail.txt", out, sizeof out);
    };
    EXPECT_EXIT(failing(), testing::ExitedWithCode(0),
                "\\[Quillet\\] Attenzione! Si . verificato un errore nella scrittura sul disco");
}

TEST_F(TemporaryDirectory, WriteTempFileWritesTheBlockOrSaysWhy) {
    const std::string path = long_ + "\\blocco.bin";
    const uint8_t data[] = {'V', 'a', 'l', 'd', 'o', 'r', 'a'};
    EXPECT_EQ(writeTempFile(path.c_str(), data, sizeof data), 1);
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes));
    EXPECT_EQ(attributes.nFileSizeLow, sizeof data);
    EXPECT_TRUE(boxes_.boxes().empty());

    EXPECT_EQ(writeTempFile(path.c_str(), data, 0), 0);  // an empty block counts as not written
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes));
    EXPECT_EQ(attributes.nFileSizeLow, 0u) << "the file is there, empty";
    const std::string missing = long_ + "\\manca\\blocco.bin";
    EXPECT_EQ(writeTempFile(missing.c_str(), data, sizeof data), 0);
    const std::vector<Box> expected = {
        {nullptr, "Errore sulla memorizzazione del file firmato", "Quillet", MB_OK},
        {nullptr, "errore sull' apertura del file temporaneo\n " + missing, "Quillet", MB_OK}};
    EXPECT_EQ(boxes_.boxes(), expected);
}

}  // namespace
