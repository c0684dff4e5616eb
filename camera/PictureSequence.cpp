#include "camera/PictureSequence.h"

#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <opencv2/imgcodecs.hpp>
#include <stdexcept>

#include "camera/Picture.h"
#include "platform/Strings.h"

namespace {
constexpr std::size_t largestPictureFile = std::size_t{1} << 28;

// The name of a sequence's picture `number`; the pattern is checked by isPattern.
std::string sequenceFrame(const std::string& pattern, long number) {
    char name[4096];
    std::snprintf(name, sizeof name, pattern.c_str(), static_cast<int>(number));
    return name;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// A PNG made grey by libpng's simplified reader, which keeps its messages to itself.
cv::Mat greyFromPng(const std::vector<unsigned char>& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    cv::Mat grey;
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) &&
        image.width <= largestSide && image.height <= largestSide) {
        image.format = PNG_FORMAT_GRAY;
        grey.create(static_cast<int>(image.height), static_cast<int>(image.width), CV_8U);
        if (!png_image_finish_read(&image, nullptr, grey.data, static_cast<png_int_32>(grey.step),
                                   nullptr))
            grey.release();
    }
    png_image_free(&image);
    return grey;
}

bool startsWith(const std::vector<unsigned char>& bytes,
                std::initializer_list<unsigned char> head) {
    return bytes.size() >= head.size() && std::equal(head.begin(), head.end(), bytes.begin());
}
}  // namespace

// The bytes of a regular file, without waiting on a FIFO or a device.
PictureSequence::PictureFile PictureSequence::readFile(const std::string& path,
                                                       std::vector<unsigned char>& bytes) {
    std::string read, error;
    if (!readWholeFile(path, largestPictureFile, false, read, error))
        return exists(path) ? PictureFile::unreadable : PictureFile::missing;
    bytes.assign(read.begin(), read.end());
    return PictureFile::read;
}

bool PictureSequence::isPattern(const std::string& name) {
    std::size_t at = name.find('%');
    if (at == std::string::npos || name.find('%', at + 1) != std::string::npos) return false;
    std::size_t end = name.find_first_not_of("0123456789", at + 1);
    return end != std::string::npos && end <= at + 3 && name[end] == 'd';
}

PictureSequence::PictureSequence(const std::string& pattern) : pattern(pattern) {
    std::string first = sequenceFrame(pattern, 0), second = sequenceFrame(pattern, 1);
    if (!exists(first) && !exists(second))
        throw std::runtime_error(errno == ENOENT ? "no such file: " + first + " or " + second
                                                 : std::strerror(errno));
    firstNumber = exists(first) ? 0 : 1;
    if (!advance(true)) throw std::runtime_error("no picture of the sequence can be read");
}

// Picture `number` (from the first), into `picture`: read, missing (the sequence's end),
// or unreadable, whatever the decoders make of it.
PictureSequence::PictureFile PictureSequence::readPicture(long number) {
    std::vector<unsigned char> bytes;
    if (PictureFile file = readFile(sequenceFrame(pattern, firstNumber + number), bytes);
        file != PictureFile::read)
        return file;
    try {
        if (startsWith(bytes, {0x89, 'P', 'N', 'G'})) {
            picture = greyFromPng(bytes);
        } else if (startsWith(bytes, {0xff, 0xd8})) {
            GreyImage grey;
            picture = decoder.greyFromJpeg(bytes.data(), bytes.size(), 0, 0, grey)
                          ? matOf(grey).clone()
                          : cv::Mat();
        } else {
            picture = cv::imdecode(bytes, cv::IMREAD_UNCHANGED);
        }
    } catch (const std::exception&) {  // cv::Exception, std::bad_alloc
        picture.release();
    }
    return isUsable(picture) ? PictureFile::read : PictureFile::unreadable;
}

bool PictureSequence::advance(bool keep) {
    for (;; ++skipped) {
        const long number = next++;
        if (!keep) return exists(sequenceFrame(pattern, firstNumber + number));
        PictureFile file = readPicture(number);
        if (file != PictureFile::unreadable) return file == PictureFile::read;
    }
}
