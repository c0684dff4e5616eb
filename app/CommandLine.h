#pragma once

#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Strings.h"

// The command lines of fishtank-track, fishtank-render and fishtank-pose-send, each a table
// that declares every option once; the parser and --help both come from it. A bad option
// or value is one line on stderr, "PROGRAM: MESSAGE", and exit status 2.

// A program's end before its work, its line already told: a usage error (2), a set-up that
// cannot go on (1), or --help or --version printed (0, or 1 when it could not be written).
// Thrown up to main, which returns the status, so that what is open is closed in order.
struct EarlyEnd {
    int status;
};

[[noreturn]] void failUsage(const char* program, const std::string& message);

// Reads exactly `count` numbers separated by `separator`, each a plain decimal number
// (readDecimal, with its `huge`); false on anything else.
bool readList(std::string_view text, char separator, double* out, std::size_t count,
              bool huge = false);

// The value given to one option, and the readers that check it; each refuses a value that
// does not fit as "OPTION wants WHAT, not 'VALUE'".
class OptionValue {
  public:
    OptionValue(const char* program, std::string_view option, const char* value)
        : program(program), option(option), value(value ? value : ""), given(value) {}
    const std::string& name() const { return option; }
    const std::string& text() const { return value; }
    // False for an option without a value, or an optional value left out.
    bool hasValue() const { return given; }
    bool is(std::string_view word) const { return value == word; }

    [[noreturn]] void fail(const std::string& message) const { failUsage(program, message); }
    [[noreturn]] void wrong(const std::string& wanted) const;

    // One number from `lowest` to `highest`; `unit` names it in the message ("degrees").
    double number(double lowest, double highest, const char* unit) const;
    double wholeNumber(double lowest, double highest, const char* unit) const;
    // One number above `lowest`, at most `highest`.
    double numberAbove(double lowest, double highest, const char* unit) const;
    // Exactly `count` numbers separated by `separator`, as readList reads them.
    std::vector<double> numbers(char separator, std::size_t count, const std::string& wanted,
                                bool huge = false) const;
    // The meaning of the value among `words`: "--X wants A, B or C, not 'V'" for any other.
    template <typename T>
    T choice(std::initializer_list<std::pair<const char*, T>> words) const {
        std::vector<const char*> names;
        for (const auto& [name, meaning] : words) {
            if (value == name) return meaning;
            names.push_back(name);
        }
        wrong(oneOf(names));
    }

  private:
    double numberThat(const std::function<bool(double)>& fits, const std::string& wanted) const;
    static std::string oneOf(const std::vector<const char*>& names);
    const char* program;
    std::string option, value;
    bool given;
};

struct Option {
    const char* name;  // "--port"
    // The value in --help, "N"; in brackets, "[SOURCE]", it may be left out: it is the next
    // argument unless that starts with '-'. Null: the option takes no value.
    const char* placeholder;
    const char* help;  // null: for the tests alone, left out of --help
    std::function<void(const OptionValue&)> take;
};

struct CommandLine {
    const char* program;
    std::string synopsis;  // --help before the options: the usage lines and what it does
    std::vector<Option> options;
    const char* closing = "";  // --help after the options
};

// --help: the synopsis, each option with its help, the closing.
std::string helpText(const CommandLine& line);

// Hands each option on the command line its value, in order; --help (or -h) and --version
// print on standard output and exit 0. An option not in the table, or one without its
// value, is a usage error. Returns the names of the options given.
std::set<std::string_view> readCommandLine(const CommandLine& line, int argc, char** argv);
