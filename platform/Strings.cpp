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
#include <limits>

bool readWholeFile(const std::string& path, std::size_t mostBytes, bool fifoToo, std::string& bytes,
                   std::string& error) {
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
    const std::string larger = "larger than " + std::to_string(mostBytes >> 20) + " MiB";
    const bool fifo = fifoToo && S_ISFIFO(info.st_mode);
    if (S_ISDIR(info.st_mode)) return fail("it is a folder");
    if (!S_ISREG(info.st_mode) && !fifo)
        return fail(fifoToo ? "not a regular file or a FIFO" : "not a regular file");
    pollfd waiting{fd, POLLIN, 0};
    if (fifo && ::poll(&waiting, 1, 1000) == 0)
        return fail("no program writes into this FIFO; start its writer first");
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    // A regular file's size is taken at once, so that one larger than memory allows is
    // refused before any of it is read.
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size > mostBytes) return fail(larger);
    try {
        bytes.assign(size, '\0');
    } catch (const std::exception&) {
        return fail("larger than memory allows");
    }
    char chunk[65536];
    for (std::size_t done = 0;;) {
        // Into the file's size first, then whatever a FIFO or a growing file adds.
        const bool within = done < bytes.size();
        ssize_t n = within ? ::read(fd, bytes.data() + done, bytes.size() - done)
                           : ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(std::strerror(errno));
        if (n == 0) {
            if (within) return fail("it shrank while it was read");
            break;
        }
        if (!within) {
            if (bytes.size() + static_cast<std::size_t>(n) > mostBytes) return fail(larger);
            bytes.append(chunk, static_cast<std::size_t>(n));
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return true;
}

std::shared_ptr<const std::string> stringWithContentsOfFile(
    const std::optional<std::string>& path) {
    auto text = std::make_shared<std::string>();
    std::string error;
    if (!path ||
        !readWholeFile(*path, std::numeric_limits<std::size_t>::max(), false, *text, error) ||
        !isValidUTF8(*text))
        return nullptr;
    return text;
}

bool readTextFile(const std::string& path, std::size_t longestLine, std::size_t mostBytes,
                  std::string& text, std::string& error) {
    if (!readWholeFile(path, mostBytes, true, text, error)) return false;
    long lines = 1;
    for (std::size_t i = 0, lineStart = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            lineStart = i + 1;
            ++lines;
        } else if (i + 1 - lineStart > longestLine) {
            error = std::to_string(lines) + ": a line longer than " + std::to_string(longestLine) +
                    " bytes";
            return false;
        }
    }
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

void skipBlanks(std::string_view& text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
}

// The length of the decimal number at the start of `text`, by the one rule; 0 when it
// starts with none. An exponent without digits is not part of the number.
std::size_t decimalLength(std::string_view text) {
    auto digitAt = [&](std::size_t k) { return k < text.size() && isDigit(text[k]); };
    auto signAt = [&](std::size_t k) {
        return k < text.size() && (text[k] == '+' || text[k] == '-');
    };
    std::size_t i = signAt(0) ? 1 : 0, digits = 0;
    for (; digitAt(i); ++i) ++digits;
    if (i < text.size() && text[i] == '.')
        for (++i; digitAt(i); ++i) ++digits;
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t k = signAt(i + 1) ? i + 2 : i + 1;
        if (digitAt(k)) {
            while (digitAt(k)) ++k;
            i = k;
        }
    }
    return i;
}
}  // namespace

bool readDecimal(std::string_view text, double& value, bool huge) {
    if (text.empty() || decimalLength(text) != text.size()) return false;
    double read = std::strtod(std::string(text).c_str(), nullptr);
    if (!std::isfinite(read) && !huge) return false;
    value = read;
    return true;
}

float floatValue(std::string_view text) {
    skipBlanks(text);
    text = text.substr(0, decimalLength(text));
    if (text.empty()) return 0.0f;
    if (text.front() == '+') text.remove_prefix(1);  // from_chars takes a minus sign only
    float value = 0.0f;
    const char* end = text.data() + text.size();
    if (std::from_chars(text.data(), end, value, std::chars_format::general).ec ==
        std::errc::result_out_of_range)
        value = std::strtof(std::string(text).c_str(), nullptr);  // tells overflow from underflow
    return value;
}

int intValue(std::string_view text) {
    skipBlanks(text);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '+' || negative)) text.remove_prefix(1);
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
