#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "platform/Strings.h"

namespace {
using Pieces = std::vector<std::string_view>;

TEST(Split, MatchesTheSeparatorExactlyAndKeepsEmptyPieces) {
    EXPECT_EQ(componentsSeparatedByString("a,b,c", ","), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(componentsSeparatedByString(",a,,b,", ","), (Pieces{"", "a", "", "b", ""}));
    EXPECT_EQ(componentsSeparatedByString("abc", ","), (Pieces{"abc"}));
    EXPECT_EQ(componentsSeparatedByString("", ","), (Pieces{""}));
    EXPECT_EQ(componentsSeparatedByString("xfacet normalfacet normaly", "facet normal"),
              (Pieces{"x", "", "y"}));
    EXPECT_EQ(componentsSeparatedByString("FACET NORMAL facet  normal", "facet normal"),
              (Pieces{"FACET NORMAL facet  normal"}));
    EXPECT_EQ(componentsSeparatedByString("aaa", "aa"), (Pieces{"", "a"}));  // left to right
}

TEST(Split, ASharedTextGivesAListAndANullTextNone) {
    auto list = componentsSeparatedByString(std::make_shared<const std::string>("1e2e3"), "e");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->count(), 3u);
    EXPECT_EQ(list->objectAtIndex(2), "3");
    EXPECT_FALSE(componentsSeparatedByString(std::shared_ptr<const std::string>(), "e"));
}

TEST(Utf8, AcceptsWellFormedTextOnly) {
    EXPECT_TRUE(isValidUTF8(""));
    EXPECT_TRUE(isValidUTF8("solid teapot\n  facet normal 0 0 1\n"));
    EXPECT_TRUE(isValidUTF8("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x90\x9f \xf4\x8f\xbf\xbf"));
    EXPECT_TRUE(isValidUTF8(std::string("nul\0inside", 10)));
    for (std::string bad : {"\x80", "abc\xff", "\xc3", "\xc3(", "\xc0\xaf", "\xc1\xbf",
                            "\xe0\x80\xaf", "\xf0\x80\x80\xaf", "\xed\xa0\x80", "\xed\xbf\xbf",
                            "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\xe2\x82", "12345678\xe2\x82"})
        EXPECT_FALSE(isValidUTF8(bad)) << ::testing::PrintToString(bad);
}

TEST(FileText, ReadsTheWholeFileOrNothing) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("fishtank-strings-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string big(3 << 20, 'x');
    std::ofstream(dir / "big.txt", std::ios::binary) << big;
    std::ofstream(dir / "bad.txt", std::ios::binary) << "solid \xff\n";
    std::ofstream(dir / "empty.txt", std::ios::binary);

    auto text = stringWithContentsOfFile((dir / "big.txt").string());
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, big);
    auto empty = stringWithContentsOfFile((dir / "empty.txt").string());
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, "");
    EXPECT_FALSE(stringWithContentsOfFile((dir / "bad.txt").string()));
    EXPECT_FALSE(stringWithContentsOfFile((dir / "missing.txt").string()));
    EXPECT_FALSE(stringWithContentsOfFile(dir.string()));  // a folder is no text
    EXPECT_FALSE(stringWithContentsOfFile(std::nullopt));
    // A FIFO is refused at once by a reader of regular files, and waited for a second by
    // one that takes FIFOs: neither hangs without a writer.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(stringWithContentsOfFile((dir / "fifo").string()));
    std::string bytes, error;
    EXPECT_FALSE(readWholeFile((dir / "fifo").string(), 1 << 20, true, bytes, error));
    EXPECT_NE(error.find("no program writes into this FIFO"), std::string::npos) << error;
    EXPECT_FALSE(readWholeFile((dir / "big.txt").string(), 1 << 20, false, bytes, error));
    EXPECT_EQ(error, "larger than 1 MiB");
    fs::remove_all(dir);
}

// Sanitizers reserve more address space than any limit a test could set.
#ifdef __SANITIZE_ADDRESS__
TEST(FileText, AFileLargerThanMemoryAllowsIsNoText) {
    GTEST_SKIP() << "address-space limits do not work under AddressSanitizer";
}
#else
TEST(FileText, AFileLargerThanMemoryAllowsIsNoText) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("fishtank-huge-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // Sparse files: they take no disk space.
    fs::resize_file((std::ofstream(dir / "8G.stl"), dir / "8G.stl"), 8ull << 30);
    fs::resize_file((std::ofstream(dir / "40G.stl"), dir / "40G.stl"), 40ull << 30);
    // In a child under a 2 GiB address-space limit, so that no machine really tries.
    pid_t child = ::fork();
    if (child == 0) {
        rlimit limit{2ull << 30, 2ull << 30};
        ::setrlimit(RLIMIT_AS, &limit);
        bool none = !stringWithContentsOfFile((dir / "8G.stl").string()) &&
                    !stringWithContentsOfFile((dir / "40G.stl").string());
        ::_exit(none ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    fs::remove_all(dir);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
#endif

TEST(Decimal, AWholeTextIsOnePlainDecimalNumber) {
    double value = -1.0;
    for (const char* good : {"1.5", "-2", "+.5", "4.", "1e3", "2.5E-2"})
        EXPECT_TRUE(readDecimal(good, value)) << good;
    EXPECT_EQ(value, 0.025);
    for (const char* bad : {"", ".", "1e", "1 ", " 1", "0x10", "inf", "nan", "1,2", "--1", "1e999"})
        EXPECT_FALSE(readDecimal(bad, value)) << bad;
    EXPECT_EQ(value, 0.025);  // untouched
    EXPECT_TRUE(readDecimal("-1e999", value, true));
    EXPECT_EQ(value, -INFINITY);
}

TEST(LeadingNumbers, FloatValueReadsTheNumberAtTheStart) {
    EXPECT_EQ(floatValue("1.5"), 1.5f);
    EXPECT_EQ(floatValue("  \t\n-2.25xyz"), -2.25f);
    EXPECT_EQ(floatValue("+7"), 7.0f);
    EXPECT_EQ(floatValue(".5"), 0.5f);
    EXPECT_EQ(floatValue("3."), 3.0f);
    EXPECT_EQ(floatValue("2.5E2"), 250.0f);
    EXPECT_EQ(floatValue("4e+1x"), 40.0f);
    EXPECT_EQ(floatValue("4e+"), 4.0f);
    EXPECT_EQ(floatValue("1.100000"), 1.1f);
    EXPECT_EQ(floatValue("0.1000000000000000055511151231257827"), 0.1f);
    EXPECT_EQ(floatValue(""), 0.0f);
    EXPECT_EQ(floatValue("abc"), 0.0f);
    EXPECT_EQ(floatValue("-"), 0.0f);
    EXPECT_EQ(floatValue("."), 0.0f);
    EXPECT_EQ(floatValue("--1"), 0.0f);
    EXPECT_EQ(floatValue("inf"), 0.0f);
    EXPECT_EQ(floatValue("nan"), 0.0f);
    EXPECT_EQ(floatValue("0x10"), 0.0f);
    EXPECT_EQ(floatValue(std::string(400, '9')), INFINITY);
    EXPECT_EQ(floatValue("-1" + std::string(60, '0')), -INFINITY);
    EXPECT_EQ(floatValue("0." + std::string(60, '0') + "1"), 0.0f);
    EXPECT_GT(floatValue("1e-40"), 0.0f);  // subnormal, not flushed
}

TEST(LeadingNumbers, IntValueReadsDecimalDigitsAndSaturates) {
    EXPECT_EQ(intValue("+00"), 0);
    EXPECT_EQ(intValue(" -12abc"), -12);
    EXPECT_EQ(intValue("2147483647"), INT_MAX);
    EXPECT_EQ(intValue("2147483648"), INT_MAX);
    EXPECT_EQ(intValue("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(intValue("-2147483648"), INT_MIN);
    EXPECT_EQ(intValue("-2147483649"), INT_MIN);
    EXPECT_EQ(intValue("1.9"), 1);
    EXPECT_EQ(intValue(""), 0);
    EXPECT_EQ(intValue("x1"), 0);
    EXPECT_EQ(intValue("- 1"), 0);
}
// A table of one option of each kind, read from `args`.
struct Table {
    double angle = 0;
    char letter = '?';
    std::vector<double> place;
    bool flag = false;
    CommandLine line{"prog",
                     "usage: prog\n",
                     {
                         {"--angle", "DEG", "an angle",
                          [&](const OptionValue& v) { angle = v.number(1, 10, "degrees"); }},
                         {"--letter", "a|b", "a letter",
                          [&](const OptionValue& v) {
                              letter = v.choice<char>({{"a", 'a'}, {"b", 'b'}});
                          }},
                         {"--place", "X,Y", "a place",
                          [&](const OptionValue& v) { place = v.numbers(',', 2, "X,Y"); }},
                         {"--secret", nullptr, nullptr, [&](const OptionValue&) { flag = true; }},
                     }};
    std::set<std::string_view> read(std::vector<std::string> args) {
        std::vector<char*> argv{const_cast<char*>("prog")};
        for (std::string& arg : args) argv.push_back(arg.data());
        return readCommandLine(line, static_cast<int>(argv.size()), argv.data());
    }
};

TEST(CommandLine, EachOptionIsReadByItsDeclarationAndTheGivenAreNamed) {
    Table table;
    auto given = table.read({"--place", "-1.5,2e1", "--angle", "10", "--letter", "b", "--secret"});
    EXPECT_EQ(table.angle, 10.0);
    EXPECT_EQ(table.letter, 'b');
    EXPECT_EQ(table.place, (std::vector<double>{-1.5, 20.0}));
    EXPECT_TRUE(table.flag);
    EXPECT_EQ(given, (std::set<std::string_view>{"--angle", "--letter", "--place", "--secret"}));
    const std::string help = helpText(table.line);
    EXPECT_EQ(help.find("usage: prog\n  --angle DEG     an angle\n"), 0u) << help;
    EXPECT_EQ(help.find("--secret"), std::string::npos) << help;
}

TEST(CommandLine, AValueThatDoesNotFitIsOneLineAndStatusTwo) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--angle", "0x5"}, "prog: --angle wants degrees, 1 to 10, not '0x5'\n"},
        {{"--angle", "10.5"}, "wants degrees, 1 to 10, not '10.5'"},
        {{"--letter", "c"}, "prog: --letter wants a or b, not 'c'\n"},
        {{"--place", "1,2,3"}, "--place wants X,Y, not '1,2,3'"},
        {{"--angle"}, "prog: option --angle needs a value\n"},
        {{"--angle", "5", "--bogus"}, "unknown option '--bogus'"},
    };
    for (const auto& [args, message] : cases) {
        testing::internal::CaptureStderr();
        int status = -1;
        try {
            Table().read(args);
        } catch (const EarlyEnd& end) {
            status = end.status;
        }
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 2) << args[0];
        EXPECT_NE(told.find(message), std::string::npos) << told;
        EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
    }
}
}  // namespace
