// The dialog framework: centring and the wait cursor.
#include <gtest/gtest.h>

#include <windows.h>

#include "dialog.h"

namespace {

constexpr int TEST_DIALOG = 100;  // dialog_test.rc

RECT windowRect(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return r;
}

TEST(Dialog, CentresOverTheScreenWithoutAnOwnerAndOverItsOwnerWithOne) {
    Dialog alone(TEST_DIALOG);
    ASSERT_TRUE(alone.createModeless(nullptr));
    alone.show();
    alone.centre();
    RECT box = windowRect(alone.handle()), area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_NEAR((box.left + box.right) / 2, (area.left + area.right) / 2, 1);
    EXPECT_NEAR((box.top + box.bottom) / 2, (area.top + area.bottom) / 2, 1);

    MoveWindow(alone.handle(), 20, 30, 600, 400, TRUE);
    Dialog owned(TEST_DIALOG);
    ASSERT_TRUE(owned.createModeless(alone.handle()));
    owned.show();
    owned.centre();
    box = windowRect(owned.handle());
    EXPECT_NEAR((box.left + box.right) / 2, 20 + 300, 1);
    EXPECT_NEAR((box.top + box.bottom) / 2, 30 + 200, 1);
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

}  // namespace
