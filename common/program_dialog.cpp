#include "program_dialog.h"

ProgramDialog::ProgramDialog(int templateId, int iconId, int aboutTextId, int aboutTemplateId)
    : Dialog(templateId),
      icon_(static_cast<HICON>(LoadImageA(resourceInstance(), MAKEINTRESOURCEA(iconId), IMAGE_ICON, 0, 0,
                                          LR_DEFAULTSIZE | LR_SHARED))),
      aboutTextId_(aboutTextId),
      aboutTemplateId_(aboutTemplateId) {}

bool ProgramDialog::onInit() {
    Dialog::onInit();
    if (HMENU menu = GetSystemMenu(handle(), FALSE)) {
        char entry[128] = "";
        LoadStringA(resourceInstance(), aboutTextId_, entry, sizeof entry);
        if (entry[0] != '\0') {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, entry);
        }
    }
    SendMessageA(handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    return true;
}

bool ProgramDialog::onSysCommand(WPARAM command) {
    if ((command & 0xFFF0) != IDM_ABOUTBOX) return false;
    showAbout();
    return true;
}

void ProgramDialog::showAbout() {
    Dialog about(aboutTemplateId_);
    about.runModal(handle());
}

INT_PTR ProgramDialog::onMessage(UINT message, WPARAM, LPARAM, bool* handled) {
    if (message == WM_QUERYDRAGICON) {
        *handled = true;
        return reinterpret_cast<INT_PTR>(icon_);
    }
    if (message == WM_PAINT && IsIconic(handle())) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(handle(), &paint);
        SendMessageA(handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        RECT client;
        GetClientRect(handle(), &client);
        const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(dc, x, y, icon_);
        EndPaint(handle(), &paint);
        *handled = true;
    }
    return 0;
}
