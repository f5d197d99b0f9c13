#include "signing_log.h"

#include <cstdarg>
#include <cstdio>

void fnLogMessage(const char* format, ...) {
    if (format == nullptr) return;
    // Opened and closed for each entry, so that nothing is lost when the
    // program ends abruptly.
    FILE* log = std::fopen(SIGNING_LOG_PATH, "a");
    if (log == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(log, format, args);
    va_end(args);
    std::fclose(log);
}
