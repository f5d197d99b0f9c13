// The PIN prompt, the progress window and the wait window, as real windows
// driven the way a person would, with a screenshot of each.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "pin_prompt.h"
#include "progress_dialogs.h"
#include "resource.h"
#include "ui_driver.h"

namespace {

const char PIN_CAPTION[] = "Verifica PIN Quillet";

// Runs the prompt on this thread while `drive` works it from another.
int promptDrivenBy(std::function<void(HWND)> drive) {
    ui::WindowWatcher watcher(PIN_CAPTION, std::move(drive));
    return showPinPrompt();
}

void typePinAndPress(HWND prompt, const std::string& pin, int button) {
    ui::type(GetDlgItem(prompt, IDC_PIN_EDIT), pin);
    ui::click(prompt, button);
}

TEST(PinPrompt, OkStoresThePinAndItsLength) {
    bool screenshot = false;
    const int result = promptDrivenBy([&](HWND prompt) {
        ui::type(GetDlgItem(prompt, IDC_PIN_EDIT), "12345678");
        Sleep(300);  // painted
        screenshot = ui::saveScreenshot(prompt, "pin-prompt");
        ui::click(prompt, IDC_PIN_OK);
    });
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(pinSlot().text, "12345678");
    EXPECT_EQ(pinSlot().length, 8);
    EXPECT_TRUE(screenshot);
}

TEST(PinPrompt, KeepsTheFirstNineOfTwelveCharacters) {
    EXPECT_EQ(promptDrivenBy([](HWND p) { typePinAndPress(p, "123456789ABC", IDC_PIN_OK); }), 0);
    EXPECT_STREQ(pinSlot().text, "123456789");
    EXPECT_EQ(pinSlot().length, 9);
}

TEST(PinPrompt, ReturnConfirmsLikeOk) {
    EXPECT_EQ(promptDrivenBy([](HWND p) {
        ui::type(GetDlgItem(p, IDC_PIN_EDIT), "2468");
        ui::pressKey(p, VK_RETURN);
    }), 0);
    EXPECT_STREQ(pinSlot().text, "2468");
    EXPECT_EQ(pinSlot().length, 4);
}

TEST(PinPrompt, EmptyPinIsAccepted) {
    EXPECT_EQ(promptDrivenBy([](HWND p) { ui::click(p, IDC_PIN_OK); }), 0);
    EXPECT_STREQ(pinSlot().text, "");
    EXPECT_EQ(pinSlot().length, 0);
}

TEST(PinPrompt, EscapeAndTheCloseBoxLeaveItOpenAndCancelEndsIt) {
    EXPECT_EQ(promptDrivenBy([](HWND p) { typePinAndPress(p, "1111", IDC_PIN_OK); }), 0);
    bool openAfterEscape = false, openAfterClose = false;
    const int result = promptDrivenBy([&](HWND p) {
        ui::type(GetDlgItem(p, IDC_PIN_EDIT), "9999");
        ui::pressKey(p, VK_ESCAPE);
        openAfterEscape = !ui::waitUntilGone(p, 500);
        ui::pressCloseBox(p);
        openAfterClose = !ui::waitUntilGone(p, 500);
        ui::click(p, IDC_PIN_CANCEL);
    });
    EXPECT_TRUE(openAfterEscape);
    EXPECT_TRUE(openAfterClose);
    EXPECT_EQ(result, PIN_PROMPT_CANCELLED);
    EXPECT_STREQ(pinSlot().text, "1111");  // a cancelled prompt leaves the slot alone
}

TEST(PinPrompt, IsSystemModalWithASystemMenuAndAMaskedField) {
    LONG style = 0, editStyle = 0;
    promptDrivenBy([&](HWND p) {
        style = GetWindowLongA(p, GWL_STYLE);
        editStyle = GetWindowLongA(GetDlgItem(p, IDC_PIN_EDIT), GWL_STYLE);
        ui::click(p, IDC_PIN_CANCEL);
    });
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & DS_SYSMODAL);
    EXPECT_TRUE(editStyle & ES_PASSWORD);
}

TEST(PinPrompt, PromptThatCannotBeCreatedGivesMinusOne) {
    // Resources without the prompt's template.
    setResourceInstance(GetModuleHandleA("kernel32.dll"));
    const int result = showPinPrompt();
    setResourceInstance(nullptr);
    EXPECT_EQ(result, PIN_PROMPT_NOT_CREATED);
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
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 3);  // at its full range
    EXPECT_EQ(ui::text(progress.handle()), "Firma in corso...");
    ui::pumpMessages();
    EXPECT_TRUE(ui::saveScreenshot(progress.handle(), "progress"));
    progress.destroy();
    EXPECT_EQ(progress.handle(), nullptr);
}

TEST(ProgressWindow, IsCentredOnTheScreen) {
    CProgressDlg progress;
    ASSERT_TRUE(progress.createModeless(nullptr));
    progress.show();
    progress.centre();
    RECT box, area;
    GetWindowRect(progress.handle(), &box);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_NEAR((box.left + box.right) / 2, (area.left + area.right) / 2, 1);
    EXPECT_NEAR((box.top + box.bottom) / 2, (area.top + area.bottom) / 2, 1);
}

TEST(WaitCursor, ShowsTheBusyCursorUntilTheLastEnd) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    SetCursor(arrow);
    beginWaitCursor();
    EXPECT_EQ(GetCursor(), wait);
    beginWaitCursor();  // nested, as a dialog inside a long operation
    SetCursor(arrow);   // a dialog showed its own cursor
    restoreWaitCursor();
    EXPECT_EQ(GetCursor(), wait);
    endWaitCursor();
    EXPECT_EQ(GetCursor(), wait);  // still one begun
    endWaitCursor();
    EXPECT_EQ(GetCursor(), arrow);
    endWaitCursor();  // one end too many changes nothing
    EXPECT_EQ(GetCursor(), arrow);
}

TEST(ProgressWindow, CannotBeClosedByTheUser) {
    CProgressDlg progress;
    ASSERT_TRUE(progress.createModeless(nullptr));
    progress.show();
    PostMessageA(progress.handle(), WM_COMMAND, IDCANCEL, 0);  // what Escape sends
    ui::pumpMessages(100);
    EXPECT_TRUE(IsWindow(progress.handle()));
}

TEST(MailWaitWindow, ShowsItsMessage) {
    CMailWaitDlg wait;
    ASSERT_TRUE(wait.createModeless(nullptr));
    wait.show();
    wait.centre();
    EXPECT_EQ(ui::text(wait.handle()), "Preparazione della Mail");
    EXPECT_FALSE(GetWindowLongA(wait.handle(), GWL_STYLE) & WS_SYSMENU);
    HWND message = FindWindowExA(wait.handle(), nullptr, "Static", nullptr);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(ui::text(message), "ATTENDERE PREGO......");
    ui::pumpMessages();
    EXPECT_TRUE(ui::saveScreenshot(wait.handle(), "mail-wait"));
}

}  // namespace
