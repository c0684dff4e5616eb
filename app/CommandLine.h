#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/Strings.h"

// Helpers for the tools' command lines. A bad option or value is one line on stderr,
// "PROGRAM: MESSAGE", and exit status 2.
[[noreturn]] inline void failUsage(const char* program, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    std::exit(2);
}

// Reads exactly `count` numbers separated by `separator`, each a plain decimal number as
// the records' (readDecimal: no hexadecimal, infinities or NaN); false on anything else.
// With `huge`, a number too large for a double reads as an infinity, for the range check.
inline bool readList(std::string_view text, char separator, double* out, int count,
                     bool huge = false) {
    for (int i = 0; i < count; ++i) {
        std::size_t end = i + 1 < count ? text.find(separator) : text.size();
        if (end == std::string_view::npos || !readDecimal(text.substr(0, end), out[i], huge))
            return false;
        text.remove_prefix(i + 1 < count ? end + 1 : end);
    }
    return true;
}

// Exits once what was printed on standard output is out: status 0, or 1 with the reason
// on standard error when it could not be written (a full disk, a closed output). Set errno
// to 0 before printing: a failed print leaves its reason there.
[[noreturn]] inline void exitWritten(const char* program) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write to standard output: %s\n", program,
                     std::strerror(errno ? errno : EIO));
        std::exit(1);
    }
    std::exit(0);
}

// Reads the option at argv[i] and returns its value, moving `i` onto the value. --help (or
// -h) prints `usage` and --version the program's version, both on standard output, and
// exit 0; an option not among `options`, or one without its value, is a usage error.
inline const char* optionValue(const char* program, const char* usage, int argc, char** argv,
                               int& i, std::initializer_list<std::string_view> options) {
    std::string_view arg = argv[i];
    errno = 0;
    if (arg == "--help" || arg == "-h") {
        std::fputs(usage, stdout);
        exitWritten(program);
    }
    if (arg == "--version") {
        std::printf("%s %s\n", program, FISHTANK_VERSION);
        exitWritten(program);
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
    if (!readDecimal(value, number) || !fits(number))
        failUsage(program, option + " wants " + wanted + ", not '" + value + "'");
    return number;
}
