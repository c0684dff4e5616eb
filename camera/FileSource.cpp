#include "camera/FileSource.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <thread>
#include <vector>

#include "camera/Picture.h"
#include "platform/Date.h"

namespace {
constexpr double sequenceFramesPerSecond = 30.0;  // and for videos that give no rate
constexpr double openingSeconds = 5.0;            // a video's, up to its first frame
// Frames in a row that cannot be read, after which a video is taken to have ended.
constexpr long longestFailureRun = 100;
constexpr off_t largestPictureFile = off_t{1} << 28;
// Pictures larger than this each way are no camera's: refused before they are decoded.
constexpr int largestSide = 8192;

// A name with a printf(3) number pattern, one %d such as frame%04d.png (a width of at most
// two digits), and no other %.
bool isSequencePattern(const std::string& name) {
    std::size_t at = name.find('%');
    if (at == std::string::npos || name.find('%', at + 1) != std::string::npos) return false;
    std::size_t end = name.find_first_not_of("0123456789", at + 1);
    return end != std::string::npos && end <= at + 3 && name[end] == 'd';
}

// The name of a sequence's picture `number`; the pattern is checked by isSequencePattern.
std::string sequenceFrame(const std::string& pattern, long number) {
    char name[4096];
    std::snprintf(name, sizeof name, pattern.c_str(), static_cast<int>(number));
    return name;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::string fileProblem(const std::string& path, bool sequence) {
    if (sequence) {
        std::string first = sequenceFrame(path, 0), second = sequenceFrame(path, 1);
        if (!exists(first) && !exists(second))
            return errno == ENOENT ? "no such file: " + first + " or " + second
                                   : std::strerror(errno);
        return {};
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? "no such file" : std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "a folder, not a video";
    if (::access(path.c_str(), R_OK) != 0) return "permission denied";
    return {};
}

// Pictures of 8 or 16 bits a channel, grey, colour or colour with alpha, can be used.
bool isUsable(const cv::Mat& picture) {
    int channels = picture.channels();
    return !picture.empty() && (picture.depth() == CV_8U || picture.depth() == CV_16U) &&
           (channels == 1 || channels == 3 || channels == 4);
}

void toGrey(const cv::Mat& picture, GreyImage& grey) {
    cv::Mat eightBits = picture;
    if (picture.depth() == CV_16U) picture.convertTo(eightBits, CV_8U, 1.0 / 256.0);
    grey.width = picture.cols;
    grey.height = picture.rows;
    grey.pixels.resize(static_cast<std::size_t>(grey.width) *
                       static_cast<std::size_t>(grey.height));
    cv::Mat into = matOf(grey);
    if (eightBits.channels() == 1)
        eightBits.copyTo(into);
    else
        cv::cvtColor(eightBits, into,
                     eightBits.channels() == 3 ? cv::COLOR_BGR2GRAY : cv::COLOR_BGRA2GRAY);
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
FileSource::PictureFile FileSource::readFile(const std::string& path,
                                            std::vector<unsigned char>& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? PictureFile::missing : PictureFile::unreadable;
    struct stat info {};
    bool read =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= largestPictureFile;
    if (read) {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t got = 0;
        while (read && got < bytes.size()) {
            ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            read = n > 0;
            got += read ? static_cast<std::size_t>(n) : 0;
        }
    }
    ::close(fd);
    return read ? PictureFile::read : PictureFile::unreadable;
}

FileSource::FileSource(const std::string& path) : VideoSource(path), rate(sequenceFramesPerSecond) {
    // The library's own messages would only repeat ours, less clearly; and a picture
    // whose header claims a huge size is refused before it is decoded.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    ::setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0);  // read when the first video opens
    ::setenv("OPENCV_IO_MAX_IMAGE_PIXELS", std::to_string(largestSide * largestSide).c_str(), 0);
    sequence = isSequencePattern(path) && ::access(path.c_str(), F_OK) != 0;
    std::string problem = fileProblem(path, sequence);
    if (!problem.empty()) throw std::runtime_error(problem);
    if (!sequence) {
        openVideo();
        return;
    }
    firstNumber = exists(sequenceFrame(path, 0)) ? 0 : 1;
    if (!advance(true)) throw std::runtime_error("no picture of the sequence can be read");
}

// Opens a video and reads its first frame. A FIFO waits for a writer, then for a whole
// frame, for as long as none comes: the opening runs on a thread of its own and is given
// up after a few seconds, its thread left to end with the process.
void FileSource::openVideo() {
    struct Opening {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        cv::VideoCapture video;
        cv::Mat first;
    };
    auto opening = std::make_shared<Opening>();
    std::thread([opening, source = name()] {
        // A still picture is a video of one frame to the picture reader.
        cv::Mat first;
        for (int reader : {cv::CAP_FFMPEG, cv::CAP_IMAGES})
            if (opening->video.open(source, reader)) break;
        if (opening->video.isOpened() && !opening->video.read(first)) first.release();
        std::lock_guard<std::mutex> lock(opening->lock);
        opening->first = first;
        opening->finished = true;
        opening->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(opening->lock);
    if (!opening->done.wait_for(lock, std::chrono::duration<double>(openingSeconds),
                                [&] { return opening->finished; }))
        throw std::runtime_error(
            "no picture came within 5 s (a FIFO whose writer has not started, or stopped)");
    if (!isUsable(opening->first))
        throw std::runtime_error("not a video that the capture library can read");
    video = opening->video;
    picture = opening->first;
    next = 1;
    frameCount = std::max(0L, std::lround(video.get(cv::CAP_PROP_FRAME_COUNT)));
    double given = video.get(cv::CAP_PROP_FPS);
    rateGiven = given > 0.0 && given <= 1000.0;
    if (rateGiven) rate = given;
}

// A sequence's picture `number` (from its first), into `picture`: read, missing (the
// sequence's end), or unreadable, whatever the decoders make of it.
FileSource::PictureFile FileSource::readPicture(long number) {
    std::vector<unsigned char> bytes;
    if (PictureFile file = readFile(sequenceFrame(name(), firstNumber + number), bytes);
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

// The next frame, into `picture` (or only passed over, unless `keep`). A frame that cannot
// be read is passed over and counted. A video ends where its last frame has been read, or
// after so many frames in a row that cannot be read that none will follow; a sequence at
// its first missing picture.
bool FileSource::advance(bool keep) {
    if (sequence) {
        for (;; ++skipped) {
            const long number = next++;
            if (!keep) return exists(sequenceFrame(name(), firstNumber + number));
            PictureFile file = readPicture(number);
            if (file != PictureFile::unreadable) return file == PictureFile::read;
        }
    }
    auto readOne = [&] {
        try {
            return keep ? video.read(picture) && isUsable(picture) : video.grab();
        } catch (const std::exception&) {  // cv::Exception, std::bad_alloc
            return false;
        }
    };
    for (long failed = 1;; ++failed) {
        bool last = frameCount > 0 && next >= frameCount;
        ++next;
        if (readOne()) {
            skipped += failed - 1;
            return true;
        }
        if (last || failed == longestFailureRun) return false;
    }
}

std::string FileSource::format() const {
    char text[96];
    std::snprintf(text, sizeof text, "%dx%d at %.4g frames/s%s", picture.cols, picture.rows, rate,
                  rateGiven ? "" : " (it gives no rate)");
    return text;
}

double FileSource::nextFrameDue() const {
    if (firstWaiting) return 0.0;
    return start + static_cast<double>(next) / rate;
}

VideoSource::Read FileSource::readNewest(VideoFrame& frame) {
    frame.device = DeviceFrame{};
    if (firstWaiting) {
        firstWaiting = false;
        start = frame.device.readTime = monotonicSeconds();
        frame.number = 0;
    } else {
        const double period = 1.0 / rate;
        for (double now = monotonicSeconds(); start + (next + 1) * period <= now;)
            if (!advance(false)) return Read::ended;  // overdue: skipped
        // In short sleeps: a slow file's next frame may be seconds away.
        for (double due = start + next * period; monotonicSeconds() < due;) {
            if (interrupted) return Read::ended;
            std::this_thread::sleep_for(std::chrono::duration<double>(
                std::min(0.02, due - monotonicSeconds())));
        }
        if (!advance(true)) return Read::ended;
        frame.number = next - 1;
        frame.device.readTime = monotonicSeconds();
    }
    frame.takenAt = start + static_cast<double>(frame.number) / rate;
    toGrey(picture, frame.picture);
    return Read::frame;
}
