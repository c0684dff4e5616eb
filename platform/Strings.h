#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An immutable list of pieces of one shared text.
class StringArray {
  public:
    StringArray(std::shared_ptr<const std::string> text, std::vector<std::string_view> pieces)
        : text(std::move(text)), pieces(std::move(pieces)) {}
    std::size_t count() const { return pieces.size(); }
    std::string_view objectAtIndex(std::size_t index) const { return pieces.at(index); }

  private:
    std::shared_ptr<const std::string> text;
    std::vector<std::string_view> pieces;
};

// The one reader of whole files: the bytes of a regular file, or where `fifoToo` allows it
// a FIFO (one whose writer has not started within a second is refused rather than waited
// for), at most `mostBytes`. False, with `error` one line when the file was at fault
// (without its name), for anything else: a folder, a device, a file larger than memory
// allows or one that shrank while it was read.
bool readWholeFile(const std::string& path, std::size_t mostBytes, bool fifoToo, std::string& bytes,
                   std::string& error);

// The whole regular file as one text, or null when there is no path, the file cannot be
// read, or its bytes are not valid UTF-8.
std::shared_ptr<const std::string> stringWithContentsOfFile(const std::optional<std::string>& path);

// A text file for a reader that may be handed anything: a regular file or a FIFO, lines of
// at most `longestLine` bytes and `mostBytes` in all. False, with `error` one line (a
// line's number first where it is about one), as readWholeFile.
bool readTextFile(const std::string& path, std::size_t longestLine, std::size_t mostBytes,
                  std::string& text, std::string& error);

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF.
bool isValidUTF8(std::string_view text);

// The pieces between the occurrences of `separator`, in order; a separator at either end
// or two in a row give empty pieces, a text without one gives the whole text.
std::vector<std::string_view> componentsSeparatedByString(std::string_view text,
                                                          std::string_view separator);
// The same over a shared text; a null text gives no list.
std::optional<StringArray> componentsSeparatedByString(std::shared_ptr<const std::string> text,
                                                       std::string_view separator);

// The one rule for numbers, in records, on command lines and in model files: a plain
// decimal number, [+-]digits[.digits][e[+-]digits], with a digit on either side of the
// point; no hexadecimal, infinities or NaN, no spaces.
//
// readDecimal reads a text that is exactly one such number, finite; false, `value`
// untouched, on anything else. With `huge`, a number too large for a double reads as the
// infinity of its sign, for a range check to refuse with the value as typed, rather than
// as no number at all.
bool readDecimal(std::string_view text, double& value, bool huge = false);

// The number at the start of a text, after any white space; text after it is ignored and a
// text without one gives 0. floatValue reads it to the nearest float (overflow gives
// infinity); intValue reads an optional sign and decimal digits, saturating at the 32-bit
// limits.
float floatValue(std::string_view text);
int intValue(std::string_view text);
