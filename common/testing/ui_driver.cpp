#include "ui_driver.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace ui {
namespace {

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

HWND waitForWindow(const char* caption, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        HWND window = FindWindowA(nullptr, caption);
        if (window != nullptr && IsWindowVisible(window)) return window;
        sleepMs(20);
    }
    return nullptr;
}

bool waitUntilGone(HWND window, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        if (!IsWindow(window)) return true;
        sleepMs(20);
    }
    return false;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        if (condition()) return true;
        sleepMs(50);
    }
    return condition();
}

std::vector<std::string> listBoxEntries(HWND list) {
    std::vector<std::string> entries;
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::vector<char> text(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        entries.push_back(text.data());
    }
    return entries;
}

void type(HWND control, const std::string& text) {
    for (char c : text) SendMessageA(control, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void pressKey(HWND dialog, UINT virtualKey) {
    // The dialog's message loop sees the key as the focused control's, as
    // with a real keyboard.
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    HWND target = dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus) {
        target = info.hwndFocus;
    }
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(target, WM_KEYUP, virtualKey, 0xC0000001);
}

void click(HWND dialog, int buttonId) { PostMessageA(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0); }

void pressCloseBox(HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

std::string text(HWND control) {
    char buffer[4096] = {};
    GetWindowTextA(control, buffer, sizeof buffer);
    return buffer;
}

std::string remoteText(HWND control) {
    char buffer[4096] = {};
    DWORD_PTR copied = 0;
    if (control) {
        SendMessageTimeoutA(control, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, 5000,
                            &copied);
    }
    return buffer;
}

namespace {
struct WindowSearch {
    DWORD processId;
    HWND found;
};
BOOL CALLBACK takeVisibleWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}
}  // namespace

HWND visibleWindowOf(DWORD processId) {
    WindowSearch search{processId, nullptr};
    EnumWindows(&takeVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void pumpMessages(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        sleepMs(10);
    }
}

bool saveScreenshot(HWND window, const std::string& name) {
    RECT box;
    if (!GetWindowRect(window, &box)) return false;
    const int width = box.right - box.left, height = box.bottom - box.top;
    if (width <= 0 || height <= 0) return false;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY) != FALSE;
    GdiFlush();

    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    bool saved = false;
    // build/screenshots/<build>: the parent first.
    const std::string folder = QUILL_SCREENSHOT_DIR;
    CreateDirectoryA(folder.substr(0, folder.find_last_of('/')).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = std::string(QUILL_SCREENSHOT_DIR) + "/" + name + ".bmp";
    if (copied) {
        if (FILE* out = std::fopen(path.c_str(), "wb")) {
            saved = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                    std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                    std::fwrite(bits, 1, imageSize, out) == imageSize;
            std::fclose(out);
        }
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

WindowWatcher::WindowWatcher(const char* caption, std::function<void(HWND)> drive)
    : caption_(caption), drive_(std::move(drive)) {
    thread_ = std::thread([this] {
        while (!stop_) {
            HWND window = FindWindowA(nullptr, caption_.c_str());
            if (window != nullptr && IsWindowVisible(window)) {
                drive_(window);
                ++driven_;
                waitUntilGone(window);
            } else {
                sleepMs(20);
            }
        }
    });
}

WindowWatcher::~WindowWatcher() {
    stop_ = true;
    thread_.join();
}

}  // namespace ui
