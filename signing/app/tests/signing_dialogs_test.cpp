// The PIN prompt, the progress window and the wait window, as real windows
// driven the way a person would, with a screenshot of each.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "pin_prompt.h"
#include "progress_dialogs.h"
#include "quillet_resource.h"
#include "ui_driver.h"

namespace {

const char PIN_CAPTION[] = "Verifica PIN Quillet";

// Runs the prompt on this thread while `drive` works it from another.
int promptDrivenBy(std::function<void(HWND)> drive) {
    ui::WindowWatcher watcher(PIN_CAPTION, std::move(drive));
    return showPinPrompt();
}

// A system-modal prompt with a masked field. What a person types and presses,
// and what the slot then holds: Return confirms like OK, nine of twelve
// characters are kept, an empty PIN counts; Escape and the close box leave the
// prompt open, and Cancel leaves the slot as it was.
TEST(PinPrompt, KeepsWhatWasConfirmedAndNothingOnCancel) {
    const struct { const char* typed; bool cancel; const char* slot; } rows[] = {
        {"123456789ABC", false, "123456789"}, {"", false, ""}, {"2468", false, "2468"}, {"9999", true, "2468"}};
    for (const auto& row : rows) {
        bool openAfterEscape = false, openAfterClose = false, screenshot = false;
        LONG style = 0, editStyle = 0;
        const int result = promptDrivenBy([&](HWND p) {
            style = GetWindowLongA(p, GWL_STYLE);
            editStyle = GetWindowLongA(GetDlgItem(p, IDC_PIN_EDIT), GWL_STYLE);
            ui::type(GetDlgItem(p, IDC_PIN_EDIT), row.typed);
            screenshot = ui::saveScreenshot(p, "pin-prompt");
            ui::pressKey(p, VK_ESCAPE);
            openAfterEscape = ui::stillOpenAfter(p, 300);
            ui::pressCloseBox(p);
            openAfterClose = ui::stillOpenAfter(p, 300);
            if (row.cancel) ui::click(p, IDC_PIN_CANCEL); else ui::pressKey(p, VK_RETURN);
        });
        EXPECT_TRUE(openAfterEscape && openAfterClose && screenshot) << row.typed;
        EXPECT_TRUE((style & WS_SYSMENU) && (style & DS_SYSMODAL) && (editStyle & ES_PASSWORD));
        EXPECT_EQ(result, row.cancel ? PIN_PROMPT_CANCELLED : 0) << row.typed;
        EXPECT_STREQ(pinSlot().text, row.slot);
        EXPECT_EQ(pinSlot().length, std::strlen(row.slot));
    }
}

TEST(ProgressWindow, ListsTheSignedFilesAndFillsTheBar) {
    CProgressDlg progress;
    ASSERT_TRUE(progress.createModeless(nullptr));
    EXPECT_FALSE(IsWindowVisible(progress.handle()));  // hidden until shown
    EXPECT_FALSE(GetWindowLongA(progress.handle(), GWL_STYLE) & WS_SYSMENU);
    progress.show();
    progress.centre();
    progress.setRange(3);
    const char* files[] = {"C:\\users\\root\\Temp\\testoMail.txt", "C:\\Documenti\\domanda.pdf",
                           "C:\\Documenti\\allegato 2.doc"};
    for (const char* file : files) {
        progress.addSigned(file);
        progress.step();
    }
    const std::string expected =
        "C:\\users\\root\\Temp\\testoMail.txt  ----> FIRMATO\r\n"
        "C:\\Documenti\\domanda.pdf  ----> FIRMATO\r\n"
        "C:\\Documenti\\allegato 2.doc  ----> FIRMATO\r\n";
    EXPECT_EQ(progress.signedReport(), expected);
    EXPECT_EQ(ui::text(progress.item(IDC_SIGNED_REPORT)), expected);
    HWND bar = progress.item(IDC_PROGRESS_BAR);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 3);
    EXPECT_EQ(ui::text(progress.handle()), "Firma in corso...");
    ui::pumpMessages();
    EXPECT_TRUE(ui::saveScreenshot(progress.handle(), "progress"));
    PostMessageA(progress.handle(), WM_COMMAND, IDCANCEL, 0);  // what Escape sends
    ui::pumpMessages(100);
    EXPECT_TRUE(IsWindow(progress.handle())) << "the user cannot close it";
    progress.destroy();
    EXPECT_EQ(progress.handle(), nullptr);
}

TEST(MailWaitWindow, ShowsItsMessage) {
    CMailWaitDlg wait;
    ASSERT_TRUE(wait.createModeless(nullptr));
    wait.show();
    EXPECT_EQ(ui::text(wait.handle()), "Preparazione della Mail");
    EXPECT_EQ(ui::text(FindWindowExA(wait.handle(), nullptr, "Static", nullptr)), "ATTENDERE PREGO......");
    ui::pumpMessages();
    EXPECT_TRUE(ui::saveScreenshot(wait.handle(), "mail-wait"));
}

}  // namespace
