#include "app/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/Strings.h"

namespace {
// Ends once what was printed on standard output is out: status 0, or 1 with the reason on
// standard error when it could not be written (a full disk, a closed output).
[[noreturn]] void endWritten(const char* program) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write to standard output: %s\n", program,
                     std::strerror(errno ? errno : EIO));
        throw EarlyEnd{1};
    }
    throw EarlyEnd{0};
}
}  // namespace

void failUsage(const char* program, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    throw EarlyEnd{2};
}

bool readList(std::string_view text, char separator, double* out, std::size_t count, bool huge) {
    std::vector<std::string_view> pieces =
        componentsSeparatedByString(text, std::string_view(&separator, 1));
    if (pieces.size() != count) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (!readDecimal(pieces[i], out[i], huge)) return false;
    return true;
}

void OptionValue::wrong(const std::string& wanted) const {
    fail(option + " wants " + wanted + ", not '" + value + "'");
}

namespace {
// "UNIT, LOWEST to HIGHEST", as a message names a range.
std::string span(double lowest, double highest, const char* unit) {
    char text[160];
    std::snprintf(text, sizeof text, "%s, %g to %g", unit, lowest, highest);
    return text;
}
}  // namespace

double OptionValue::numberThat(const std::function<bool(double)>& fits,
                               const std::string& wanted) const {
    double n = 0.0;
    if (!readDecimal(value, n) || !fits(n)) wrong(wanted);
    return n;
}

double OptionValue::number(double lowest, double highest, const char* unit) const {
    return numberThat([&](double n) { return n >= lowest && n <= highest; },
                      span(lowest, highest, unit));
}

double OptionValue::wholeNumber(double lowest, double highest, const char* unit) const {
    return numberThat([&](double n) { return n >= lowest && n <= highest && n == std::floor(n); },
                      span(lowest, highest, unit));
}

double OptionValue::numberAbove(double lowest, double highest, const char* unit) const {
    char wanted[160];
    std::snprintf(wanted, sizeof wanted, "%s above %g, at most %g", unit, lowest, highest);
    return numberThat([&](double n) { return n > lowest && n <= highest; }, wanted);
}

std::vector<double> OptionValue::numbers(char separator, std::size_t count,
                                         const std::string& wanted, bool huge) const {
    std::vector<double> read(count);
    if (!readList(value, separator, read.data(), count, huge)) wrong(wanted);
    return read;
}

std::string OptionValue::oneOf(const std::vector<const char*>& names) {
    std::string words;
    for (std::size_t i = 0; i < names.size(); ++i)
        words += (i == 0 ? "" : i + 1 < names.size() ? ", " : " or ") + std::string(names[i]);
    return words;
}

namespace {
constexpr std::size_t helpColumn = 18, helpWidth = 79;

bool valueOptional(const Option& option) {
    return option.placeholder && option.placeholder[0] == '[';
}

// "  NAME VALUE" and the help after it, wrapped at word boundaries, each line after the
// first indented to the help's column.
std::string optionHelp(const Option& option) {
    std::string text = std::string("  ") + option.name;
    if (option.placeholder) text += std::string(" ") + option.placeholder;
    text += text.size() + 2 <= helpColumn ? std::string(helpColumn - text.size(), ' ') : "  ";
    std::size_t lineStart = 0;
    bool first = true;
    for (std::string_view word : componentsSeparatedByString(option.help, " ")) {
        if (!first && text.size() - lineStart + 1 + word.size() > helpWidth) {
            text += "\n" + std::string(helpColumn, ' ');
            lineStart = text.size() - helpColumn;
        } else if (!first) {
            text += ' ';
        }
        text += word;
        first = false;
    }
    return text + "\n";
}
}  // namespace

std::string helpText(const CommandLine& line) {
    std::string text = line.synopsis;
    for (const Option& option : line.options)
        if (option.help) text += optionHelp(option);
    return text + line.closing;
}

std::set<std::string_view> readCommandLine(const CommandLine& line, int argc, char** argv) {
    std::set<std::string_view> given;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        errno = 0;  // a failed print leaves its reason there
        if (name == "--help" || name == "-h") {
            std::fputs(helpText(line).c_str(), stdout);
            endWritten(line.program);
        }
        if (name == "--version") {
            std::printf("%s %s\n", line.program, FISHTANK_VERSION);
            endWritten(line.program);
        }
        const Option* option = nullptr;
        for (const Option& o : line.options)
            if (name == o.name) option = &o;
        if (!option)
            failUsage(line.program, "unknown option '" + std::string(name) + "' (see --help)");
        const char* value = nullptr;
        if (valueOptional(*option)) {
            if (i + 1 < argc && argv[i + 1][0] != '-') value = argv[++i];
        } else if (option->placeholder) {
            if (i + 1 >= argc)
                failUsage(line.program, "option " + std::string(name) + " needs a value");
            value = argv[++i];
        }
        option->take(OptionValue(line.program, name, value));
        given.insert(option->name);
    }
    return given;
}
