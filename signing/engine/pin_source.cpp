#include "pin_source.h"

#include <windows.h>

namespace {
PinSource g_source = nullptr;
void* g_context = nullptr;
}  // namespace

PinSlot& pinSlot() {
    static PinSlot slot = {};
    return slot;
}

void setPinSource(PinSource source, void* context) {
    g_source = source;
    g_context = context;
}

int askForPin() { return g_source != nullptr ? g_source(g_context) : PIN_PROMPT_NOT_CREATED; }

void wipePin() { SecureZeroMemory(&pinSlot(), sizeof(PinSlot)); }
