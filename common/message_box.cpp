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
