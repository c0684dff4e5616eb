#include "platform/Strings.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>

std::shared_ptr<const std::string> stringWithContentsOfFile(
    const std::optional<std::string>& path) {
    if (!path) return nullptr;
    int fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    auto text = std::make_shared<std::string>();
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok) {
        try {
            text->resize(static_cast<std::size_t>(info.st_size));
        } catch (const std::exception&) {  // larger than memory allows: cannot be read
            ::close(fd);
            return nullptr;
        }
        std::size_t done = 0;
        while (done < text->size()) {
            ssize_t n = ::read(fd, text->data() + done, text->size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ok = done == text->size();  // a file that shrank while read is not trusted
    }
    ::close(fd);
    if (!ok || !isValidUTF8(*text)) return nullptr;
    return text;
}

bool readTextFile(const std::string& path, std::size_t longestLine, std::size_t mostBytes,
                  std::string& text, std::string& error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        error = std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    auto fail = [&](const std::string& why) {
        error = why;
        ::close(fd);
        return false;
    };
    if (S_ISDIR(info.st_mode)) return fail("it is a folder");
    if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode))
        return fail("not a regular file or a FIFO");
    pollfd waiting{fd, POLLIN, 0};
    if (S_ISFIFO(info.st_mode) && ::poll(&waiting, 1, 1000) == 0)
        return fail("no program writes into this FIFO; start its writer first");
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    text.clear();
    std::size_t lineStart = 0;  // where the line being read starts in `text`
    long lines = 1;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(std::strerror(errno));
        if (n == 0) break;
        if (text.size() + static_cast<std::size_t>(n) > mostBytes)
            return fail("larger than " + std::to_string(mostBytes >> 20) + " MiB");
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
            text.push_back(buffer[i]);
            if (buffer[i] == '\n') {
                lineStart = text.size();
                ++lines;
            } else if (text.size() - lineStart > longestLine) {
                return fail(std::to_string(lines) + ": a line longer than " +
                            std::to_string(longestLine) + " bytes");
            }
        }
    }
    ::close(fd);
    return true;
}

bool isValidUTF8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        // Plain ASCII, eight bytes at a time.
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                p += 8;
                continue;
            }
        }
        unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        std::size_t length;
        unsigned lowest, highest;  // the allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2, lowest = 0x80, highest = 0xBF;
        } else if (c == 0xE0) {
            length = 3, lowest = 0xA0, highest = 0xBF;  // no overlong forms
        } else if (c == 0xED) {
            length = 3, lowest = 0x80, highest = 0x9F;  // no surrogates
        } else if (c >= 0xE1 && c <= 0xEF) {
            length = 3, lowest = 0x80, highest = 0xBF;
        } else if (c == 0xF0) {
            length = 4, lowest = 0x90, highest = 0xBF;
        } else if (c >= 0xF1 && c <= 0xF3) {
            length = 4, lowest = 0x80, highest = 0xBF;
        } else if (c == 0xF4) {
            length = 4, lowest = 0x80, highest = 0x8F;  // nothing above U+10FFFF
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < length) return false;
        if (p[1] < lowest || p[1] > highest) return false;
        for (std::size_t i = 2; i < length; ++i)
            if ((p[i] & 0xC0) != 0x80) return false;
        p += length;
    }
    return true;
}

std::vector<std::string_view> componentsSeparatedByString(std::string_view text,
                                                          std::string_view separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    if (!separator.empty()) {
        for (std::size_t at; (at = text.find(separator, start)) != std::string_view::npos;
             start = at + separator.size())
            pieces.push_back(text.substr(start, at - start));
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

std::optional<StringArray> componentsSeparatedByString(std::shared_ptr<const std::string> text,
                                                       std::string_view separator) {
    if (!text) return std::nullopt;
    auto pieces = componentsSeparatedByString(std::string_view(*text), separator);
    return StringArray(std::move(text), std::move(pieces));
}

namespace {
bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Skips leading white space and a sign; returns whether the number is negative.
bool skipToDigits(std::string_view& text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    text.remove_prefix(i);
    return negative;
}
}  // namespace

float floatValue(std::string_view text) {
    bool negative = skipToDigits(text);
    // Only a decimal number counts: no "inf", "nan", hexadecimal, or a second sign.
    bool startsNumber = !text.empty() && (isDigit(text[0]) ||
                                          (text[0] == '.' && text.size() > 1 && isDigit(text[1])));
    if (!startsNumber) return 0.0f;
    float value = 0.0f;
    auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Let strtof tell overflow (infinity) from underflow (zero or subnormal).
        std::string number(text.data(), end);
        value = std::strtof(number.c_str(), nullptr);
    }
    return negative ? -value : value;
}

int intValue(std::string_view text) {
    bool negative = skipToDigits(text);
    long long value = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (char c : text) {
        if (!isDigit(c)) break;
        value = value * 10 + (c - '0');
        if (value > limit) {
            value = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}
