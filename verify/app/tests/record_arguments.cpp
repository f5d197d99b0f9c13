// A stand-in for an application the desktop starts: appends its command line
// (after its own name) as one line to the file named by QUILL_RECORDED, and
// ends. The program tests associate a file type with it, or name a copy of it
// RUNDLL32.EXE, to see what the desktop was asked to start.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main() {
    const char* file = std::getenv("QUILL_RECORDED");
    const char* line = GetCommandLineA();
    // Past the program's own name, quoted or not.
    if (*line == '"') {
        for (++line; *line && *line != '"'; ++line) {}
        if (*line) ++line;
    } else {
        while (*line && *line != ' ') ++line;
    }
    while (*line == ' ') ++line;
    if (file == nullptr) return 1;
    if (FILE* out = std::fopen(file, "ab")) {
        std::fprintf(out, "%s\n", line);
        std::fclose(out);
    }
    return 0;
}
