#include "ui_driver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace ui {
namespace {

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void printTimeout(const std::string& what, int timeoutMs) {
    std::fprintf(stderr, "ui: gave up after %d ms waiting for %s\n", timeoutMs, what.c_str());
    std::fflush(stderr);
}

std::atomic<TimeoutHandler> timeoutHandler{&printTimeout};

std::string captionOf(HWND window) {
    char caption[256] = "";
    GetWindowTextA(window, caption, sizeof caption);
    return caption;
}

}  // namespace

void setTimeoutHandler(TimeoutHandler handler) { timeoutHandler = handler ? handler : &printTimeout; }

bool waitFor(const std::string& what, const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            if (condition()) return true;
            timeoutHandler.load()(what, timeoutMs);
            return false;
        }
        sleepMs(20);
    }
    return true;
}

HWND waitForWindow(const char* caption, int timeoutMs) {
    HWND window = nullptr;
    waitFor(std::string("the window \"") + caption + "\" to appear", [&] {
        window = FindWindowA(nullptr, caption);
        return window != nullptr && IsWindowVisible(window);
    }, timeoutMs);
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

bool waitUntilGone(HWND window, int timeoutMs) {
    return waitFor("the window \"" + captionOf(window) + "\" to close", [window] { return !IsWindow(window); },
                   timeoutMs);
}

bool stillOpenAfter(HWND window, int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        if (!IsWindow(window)) return false;
        sleepMs(20);
    }
    return IsWindow(window) != FALSE;
}

namespace {
BOOL CALLBACK findUnpainted(HWND window, LPARAM found) {
    if (IsWindowVisible(window) && GetUpdateRect(window, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

bool waitUntilPainted(HWND window, int timeoutMs) {
    return waitFor("the window \"" + captionOf(window) + "\" to paint", [window] {
        bool unpainted = !IsWindow(window) || GetUpdateRect(window, nullptr, FALSE) != FALSE;
        if (!unpainted) EnumChildWindows(window, &findUnpainted, reinterpret_cast<LPARAM>(&unpainted));
        return !unpainted;
    }, timeoutMs);
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

bool clickAndWait(HWND dialog, int buttonId, int timeoutMs) {
    const std::string what = "\"" + captionOf(dialog) + "\" to handle a click on its button " + std::to_string(buttonId);
    const auto start = std::chrono::steady_clock::now();
    DWORD_PTR ignored = 0;
    if (SendMessageTimeoutA(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeoutMs),
                            &ignored) != 0) {
        return true;
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    timeoutHandler.load()(IsWindow(dialog) ? what : what + " (it closed)", static_cast<int>(waited.count()));
    return false;
}

bool pickFiles(HWND dialog, const std::string& folder, const std::string& names) {
    // The file name field (a combo box's edit in the explorer-style dialog).
    // A folder confirmed there is opened, not returned; names then count in it.
    constexpr int FILE_NAME = 0x47C;
    HWND field = GetDlgItem(dialog, FILE_NAME);
    const std::string shownFolder = folder.back() == '\\' ? folder : folder + "\\";
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(shownFolder.c_str()));
    if (!clickAndWait(dialog, IDOK)) return false;
    if (!IsWindowVisible(dialog)) {  // ended (hidden at once, destroyed later): no such folder
        timeoutHandler.load()("the open-file dialog to open the folder " + folder + " (it closed)", 0);
        return false;
    }
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(names.c_str()));
    if (!clickAndWait(dialog, IDOK)) return false;
    return waitFor("the open-file dialog to close with " + names + " of " + folder, [dialog] { return !IsWindow(dialog); });
}

namespace {

// A block of memory in another process, for the messages that take an address there.
class RemoteBlock {
public:
    RemoteBlock(HWND window, SIZE_T bytes) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (process_ != nullptr) address_ = VirtualAllocEx(process_, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBlock() {
        if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_ != nullptr) CloseHandle(process_);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;
    char* at(SIZE_T offset) const { return static_cast<char*>(address_) + offset; }
    bool write(SIZE_T offset, const void* data, SIZE_T bytes) const {
        return address_ != nullptr && WriteProcessMemory(process_, at(offset), data, bytes, nullptr);
    }
    bool read(SIZE_T offset, void* data, SIZE_T bytes) const {
        return address_ != nullptr && ReadProcessMemory(process_, at(offset), data, bytes, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

std::wstring wideOf(const std::string& text) {
    const int units = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(units > 0 ? units : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), units);
    return wide.data();
}

BOOL CALLBACK takeTreeView(HWND window, LPARAM found) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, "SysTreeView32") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The text of a tree item, in the tree's own process.
std::wstring treeItemText(HWND tree, HTREEITEM item) {
    constexpr int CAPACITY = 260;
    RemoteBlock block(tree, sizeof(TVITEMW) + CAPACITY * sizeof(wchar_t));
    TVITEMW asked{};
    asked.mask = TVIF_TEXT;
    asked.hItem = item;
    asked.pszText = reinterpret_cast<wchar_t*>(block.at(sizeof(TVITEMW)));
    asked.cchTextMax = CAPACITY;
    wchar_t text[CAPACITY] = L"";
    DWORD_PTR ok = 0;
    if (!block.write(0, &asked, sizeof asked) ||
        !SendMessageTimeoutW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(block.at(0)), SMTO_BLOCK, 5000, &ok) ||
        !ok || !block.read(sizeof(TVITEMW), text, sizeof text)) {
        return std::wstring();
    }
    text[CAPACITY - 1] = L'\0';
    return text;
}

}  // namespace

bool pickFolder(HWND dialog, const std::string& folder) {
    // The drive through the dialog's own message for a path (it takes the
    // path's address in the dialog's process), then each folder below it
    // opened and clicked in the tree by its name, as a person does.
    const std::wstring path = wideOf(folder);
    const size_t rootEnd = path.find(L'\\');
    HWND tree = nullptr;
    EnumChildWindows(dialog, &takeTreeView, reinterpret_cast<LPARAM>(&tree));
    if (rootEnd == std::wstring::npos || tree == nullptr) {
        timeoutHandler.load()("the folder dialog's tree, to pick " + folder, 0);
        return false;
    }
    const std::wstring root = path.substr(0, rootEnd + 1);
    RemoteBlock text(dialog, (root.size() + 1) * sizeof(wchar_t));
    DWORD_PTR ignored = 0;
    if (!text.write(0, root.c_str(), (root.size() + 1) * sizeof(wchar_t)) ||
        !SendMessageTimeoutW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(text.at(0)), SMTO_BLOCK, 5000,
                             &ignored)) {
        timeoutHandler.load()("the folder dialog to select " + folder.substr(0, rootEnd + 1), 0);
        return false;
    }
    for (size_t from = rootEnd + 1; from < path.size();) {
        size_t to = path.find(L'\\', from);
        if (to == std::wstring::npos) to = path.size();
        const std::wstring name = path.substr(from, to - from);
        from = to + 1;
        if (name.empty()) continue;
        const auto current = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(current));
        auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(current)));
        while (item != nullptr && lstrcmpiW(treeItemText(tree, item).c_str(), name.c_str()) != 0) {
            item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
        }
        if (item == nullptr) {
            timeoutHandler.load()("the folder dialog's tree to show each folder on the way to " + folder, 0);
            return false;
        }
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    }
    click(dialog, IDOK);
    return waitFor("the folder dialog to close with " + folder, [dialog] { return !IsWindow(dialog); });
}

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
    if (!waitUntilPainted(window)) return false;
    // Wine hands what a window painted to the X server a moment later (it
    // flushes window surfaces as their thread goes idle), and the capture
    // reads the X server's screen.
    sleepMs(100);
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
                // Never the same window twice: the next one is another.
                waitUntilGone(window, 60000);
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
