#include <gtest/gtest.h>

#include "message_box.h"
#include "message_box_recorder.h"
#include "ui_driver.h"

namespace {

TEST(MessageBoxRecorder, RecordsEachBoxAndAnswersWithTheQueuedButtons) {
    MessageBoxRecorder recorder;
    recorder.answerNextWith(IDNO);
    const int first = showMessageBox(GetDesktopWindow(), "Prima domanda?", "Titolo",
                                     MB_YESNO | MB_ICONQUESTION);
    const int second = showMessageBox(nullptr, "Finito: è tutto.", nullptr, MB_OK);

    EXPECT_EQ(first, IDNO);
    EXPECT_EQ(second, IDOK);  // nothing queued: OK
    ASSERT_EQ(recorder.boxes().size(), 2u);
    EXPECT_EQ(recorder.boxes()[0].owner, GetDesktopWindow());
    EXPECT_EQ(recorder.boxes()[0].text, "Prima domanda?");
    EXPECT_EQ(recorder.boxes()[0].caption, "Titolo");
    EXPECT_EQ(recorder.boxes()[0].style, UINT{MB_YESNO | MB_ICONQUESTION});
    EXPECT_EQ(recorder.boxes()[1].owner, nullptr);
    // The texts reach the box in code page 1252: è is one byte, 0xE8.
    EXPECT_EQ(recorder.boxes()[1].text, "Finito: \xE8 tutto.");
    EXPECT_EQ(recorder.boxes()[1].caption, "");
}

// Without a recorder the box is the platform's own. A helper thread finds it by
// its caption and presses "No", which must come back as the result.
TEST(PlatformMessageBox, ShowsThePlatformBoxWhenNoRecorderIsInstalled) {
    const char* caption = "Prova finestra reale";
    ui::WindowWatcher presser(caption, [](HWND box) { PostMessageA(box, WM_COMMAND, IDNO, 0); });
    const int answer = showMessageBox(nullptr, "Rispondere no", caption, MB_YESNO);
    EXPECT_EQ(presser.driven(), 1);
    EXPECT_EQ(answer, IDNO);
}

}  // namespace
