#pragma once

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

// Helpers for the tools' command lines. A bad option or value is one line on stderr,
// "PROGRAM: MESSAGE", and exit status 2.
[[noreturn]] inline void failUsage(const char* program, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    std::exit(2);
}

// Reads `count` numbers separated by `separator` with `read` (strtof, strtod or alike),
// each wholly a number; false on anything else.
template <typename Number, typename Read>
bool readList(const char* text, char separator, Number* out, int count, Read read) {
    const char* p = text;
    for (int i = 0; i < count; ++i) {
        char* end = nullptr;
        if (*p == '\0' || std::isspace(static_cast<unsigned char>(*p))) return false;
        out[i] = read(p, &end);
        if (end == p) return false;
        p = end;
        if (i + 1 < count && *p++ != separator) return false;
    }
    return *p == '\0';
}
