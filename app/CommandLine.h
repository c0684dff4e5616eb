#pragma once

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>

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

// Reads the option at argv[i] and returns its value, moving `i` onto the value. --help (or
// -h) prints `usage` and --version the program's version, both on standard output, and
// exit 0; an option not among `options`, or one without its value, is a usage error.
inline const char* optionValue(const char* program, const char* usage, int argc, char** argv,
                               int& i, std::initializer_list<std::string_view> options) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
        std::fputs(usage, stdout);
        std::exit(0);
    }
    if (arg == "--version") {
        std::printf("%s %s\n", program, FISHTANK_VERSION);
        std::exit(0);
    }
    if (std::find(options.begin(), options.end(), arg) == options.end())
        failUsage(program, "unknown option '" + std::string(arg) + "' (see --help)");
    if (i + 1 >= argc) failUsage(program, "option " + std::string(arg) + " needs a value");
    return argv[++i];
}

// The value of `option` as one number that `fits`, or a usage error saying what it wants.
template <typename Fits>
double readNumber(const char* program, const std::string& option, const char* value, Fits fits,
                  const char* wanted) {
    double number = 0.0;
    auto toDouble = [](const char* s, char** end) { return std::strtod(s, end); };
    if (!readList(value, ',', &number, 1, toDouble) || !fits(number))
        failUsage(program, option + " wants " + wanted + ", not '" + value + "'");
    return number;
}
