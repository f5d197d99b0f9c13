#include "sim_environment.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace cardsim {
namespace {

std::string environmentValue(const char* name) {
    char value[2048];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length == 0 || length >= sizeof value) return "";
    return std::string(value, length);
}

}  // namespace

ProfileState loadActiveProfile(CardProfile* profile) {
    const std::string path = environmentValue("QUILL_CARD_PROFILE");
    if (path.empty()) return ProfileState::NotSet;
    std::string error;
    if (!loadCardProfile(path, profile, &error)) {
        logCall("card profile: %s", error.c_str());
        OutputDebugStringA(error.c_str());
        return ProfileState::Unreadable;
    }
    return ProfileState::Loaded;
}

void logCall(const char* format, ...) {
    const std::string path = environmentValue("QUILL_CARD_LOG");
    if (path.empty()) return;
    FILE* log = std::fopen(path.c_str(), "a");
    if (log == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(log, format, args);
    va_end(args);
    std::fputc('\n', log);
    std::fclose(log);
}

std::string hexText(const uint8_t* bytes, size_t count) {
    std::string text;
    char two[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(two, sizeof two, i ? " %02X" : "%02X", bytes[i]);
        text += two;
    }
    return text;
}

}  // namespace cardsim
