#include "message_box.h"

namespace {
MessageBoxHandler g_handler = nullptr;
void* g_handlerContext = nullptr;
}  // namespace

int showMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    if (g_handler != nullptr) {
        return g_handler(g_handlerContext, owner, text, caption, style);
    }
    return MessageBoxA(owner, text, caption, style);
}

void setMessageBoxHandler(MessageBoxHandler handler, void* context) {
    g_handler = handler;
    g_handlerContext = context;
}

namespace {
const char* g_programName = "Quillet";
}  // namespace

void setProgramName(const char* name) { g_programName = name; }

int showProgramMessage(const char* text, UINT style) {
    return showMessageBox(GetActiveWindow(), text, g_programName, style);
}
