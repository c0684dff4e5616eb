// Built at -O3 whatever the build type (see CMakeLists.txt), as the landmarks are.
#include "camera/LandmarkModelFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace {
struct ModelDamaged {
    std::string what;
};

// Reads dlib's serialization of a shape predictor: integers as a byte of length and sign
// and that many bytes, little-endian; floats as a mantissa and a binary exponent. Every
// count is checked against what the file can still hold before anything is made for it.
class ModelReader {
  public:
    ModelReader(int fd, std::uint64_t size) : fd(fd), left(size) {}

    std::uint64_t bytesLeft() const { return left + (end - next); }

    // A count of things of at least `leastBytes` each.
    std::uint64_t count(const char* what, std::uint64_t leastBytes) {
        std::uint64_t n = unsignedInteger(what);
        if (n > bytesLeft() / leastBytes) damaged(std::string("too many ") + what);
        return n;
    }
    std::uint64_t unsignedInteger(const char* what) {
        int head = byte(what);
        // A sign on an unsigned number, or more than 8 bytes, is no number of this format.
        if ((head & 0x80) || (head & 0x0f) == 0 || (head & 0x0f) > 8) outOfRange(what);
        return magnitude(head & 0x0f, what);
    }
    std::int64_t signedInteger(const char* what) {
        int head = byte(what);
        if ((head & 0x0f) == 0 || (head & 0x0f) > 8) outOfRange(what);
        std::uint64_t m = magnitude(head & 0x0f, what);
        if (m > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            outOfRange(what);
        return head & 0x80 ? -static_cast<std::int64_t>(m) : static_cast<std::int64_t>(m);
    }
    // A finite float, exactly as dlib makes it: the mantissa as a float, times 2 to the
    // exponent; exponents from 32000 on stand for infinities and NaN.
    float real(const char* what) {
        std::int64_t mantissa = signedInteger(what);
        std::int64_t exponent = signedInteger(what);
        if (exponent < -32768 || exponent > 32767) outOfRange(what);
        float value = exponent >= 32000
                          ? std::numeric_limits<float>::quiet_NaN()
                          : std::ldexp(static_cast<float>(mantissa), static_cast<int>(exponent));
        if (!std::isfinite(value))
            damaged(std::string(what) + " holds a value that is not a finite number");
        return value;
    }
    // A column of `rows` floats: its size, negated as dlib writes it, then the floats.
    void column(UnitShape& into, const char* what) {
        std::int64_t rows = signedInteger(what), columns = signedInteger(what);
        if ((rows != -shapeSteps && rows != shapeSteps) || (columns != -1 && columns != 1))
            damaged(std::string(what) + " is not of 68 points");
        for (int i = 0; i < shapeSteps; ++i) into.push_back(real(what));
    }

    [[noreturn]] static void damaged(const std::string& what) { throw ModelDamaged{what}; }
    [[noreturn]] static void outOfRange(const char* what) {
        damaged(std::string(what) + " holds a number out of range");
    }

  private:
    int byte(const char* what) {
        if (next == end && !refill()) damaged(std::string("it ends within ") + what);
        return *next++;
    }
    std::uint64_t magnitude(int bytes, const char* what) {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint64_t>(byte(what)) << (8 * i);
        return value;
    }
    bool refill() {
        ssize_t got;
        do got = ::read(fd, buffer, sizeof buffer);
        while (got < 0 && errno == EINTR);
        if (got <= 0) return false;
        next = buffer;
        end = buffer + got;
        left -= std::min<std::uint64_t>(left, static_cast<std::uint64_t>(got));
        return true;
    }

    int fd;
    std::uint64_t left;  // bytes of the file not yet in the buffer
    unsigned char buffer[1 << 16];
    const unsigned char* next = buffer;
    const unsigned char* end = buffer;
};

// The least bytes of a few things in that format.
constexpr std::uint64_t leastInteger = 2, leastFloat = 2 * leastInteger;
constexpr std::uint64_t leastSplit = 2 * leastInteger + leastFloat;
constexpr std::uint64_t leastColumn = 2 * leastInteger + shapeSteps * leastFloat;
constexpr std::uint64_t leastStage = 3 * leastInteger + leastSplit + 2 * leastColumn;

std::string openProblem(int error) {
    return error == EACCES || error == EPERM ? "permission denied" : std::strerror(error);
}

// The model as dlib stores a shape predictor: a version, the mean shape, the model.stages'
// trees, then each stage's anchors and offsets.
void readModel(ModelReader& in, LandmarkModel& model) {
    if (in.signedInteger("its version") != 1) ModelReader::damaged("an unknown version");
    in.column(model.meanShape, "its mean shape");
    // The shape's turn and the face's box are found from the mean shape's spread.
    float spread = 0;
    for (int i = 1; i < faceLandmarks; ++i)
        spread += std::fabs(model.meanShape[2 * i] - model.meanShape[0]) +
                  std::fabs(model.meanShape[2 * i + 1] - model.meanShape[1]);
    if (!(spread > 1.0f)) ModelReader::damaged("its mean shape has no extent");
    const std::uint64_t stageCount = in.count("stages", leastStage);
    if (stageCount == 0) ModelReader::damaged("no stages");
    for (std::uint64_t k = 0; k < stageCount; ++k) {
        CascadeStage& stage = model.stages.emplace_back();
        const std::uint64_t trees = in.count("trees", leastInteger);
        if (trees == 0) ModelReader::damaged("a stage without trees");
        for (std::uint64_t t = 0; t < trees; ++t) {
            const std::uint64_t splits = in.count("splits", leastSplit);
            if (model.splitsPerTree == 0) {
                // Every tree has as many splits as the first, and one leaf more.
                if (splits == 0) ModelReader::damaged("a tree without splits");
                model.splitsPerTree = splits;
                model.leavesPerTree = splits + 1;
            }
            if (splits != model.splitsPerTree) ModelReader::damaged("trees of different sizes");
            if (t == 0) {
                if (trees >
                    in.bytesLeft() / (splits * leastSplit + model.leavesPerTree * leastColumn))
                    ModelReader::damaged("too many trees");
                stage.splits.reserve(trees * model.splitsPerTree);
                stage.leaves.reserve(trees * model.leavesPerTree * shapeSteps);
            }
            for (std::uint64_t i = 0; i < splits; ++i) {
                std::uint64_t first = in.unsignedInteger("a split"),
                              second = in.unsignedInteger("a split");
                if (first > UINT32_MAX || second > UINT32_MAX) ModelReader::outOfRange("a split");
                stage.splits.push_back({static_cast<std::uint32_t>(first),
                                        static_cast<std::uint32_t>(second), in.real("a split")});
            }
            if (in.count("leaves", leastColumn) != model.leavesPerTree)
                ModelReader::damaged("a tree whose leaves do not match its splits");
            for (std::uint64_t i = 0; i < model.leavesPerTree; ++i)
                in.column(stage.leaves, "a leaf");
        }
    }
    if (in.count("stages' anchors", leastInteger) != stageCount)
        ModelReader::damaged("anchors that do not match its stages");
    for (CascadeStage& stage : model.stages) {
        const std::uint64_t anchors = in.count("anchors", leastInteger);
        for (std::uint64_t i = 0; i < anchors; ++i) {
            std::uint64_t anchor = in.unsignedInteger("an anchor");
            if (anchor >= faceLandmarks) ModelReader::damaged("an anchor beyond the 68 points");
            stage.anchors.push_back(static_cast<std::uint32_t>(anchor));
        }
    }
    if (in.count("stages' offsets", leastInteger) != stageCount)
        ModelReader::damaged("offsets that do not match its stages");
    for (CascadeStage& stage : model.stages) {
        if (in.count("offsets", 2 * leastFloat) != stage.anchors.size())
            ModelReader::damaged("offsets that do not match its anchors");
        stage.deltas.reserve(stage.anchors.size());
        for (std::size_t i = 0; i < stage.anchors.size(); ++i) {
            float x = in.real("an offset");
            stage.deltas.push_back({x, in.real("an offset")});
        }
        for (const TreeSplit& split : stage.splits)
            if (split.first >= stage.deltas.size() || split.second >= stage.deltas.size())
                ModelReader::damaged("a split between pixels it does not sample");
    }
}
}  // namespace

LandmarkModel readLandmarkModel(const std::string& path) {
    const std::string named = "the face landmark model " + path;
    // Not blocking: a FIFO in the model's place is refused, not waited on.
    struct File {
        int fd;
        ~File() {
            if (fd >= 0) ::close(fd);
        }
    } file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0 && errno == ENOENT)
        throw std::runtime_error(named + " is missing (it comes with Debian's libdlib-data)");
    if (file.fd < 0) throw std::runtime_error(named + " cannot be read: " + openProblem(errno));
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        throw std::runtime_error(named + " cannot be read: " + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        throw std::runtime_error(
            named + " cannot be read: " +
            (S_ISDIR(info.st_mode) ? "a folder, not a file" : "not a regular file"));
    try {
        LandmarkModel model;
        ModelReader reader(file.fd, static_cast<std::uint64_t>(info.st_size));
        readModel(reader, model);
        return model;
    } catch (const ModelDamaged& damage) {
        throw std::runtime_error(named + " is damaged: " + damage.what +
                                 " (reinstall Debian's libdlib-data)");
    } catch (const std::bad_alloc&) {
        throw std::runtime_error(named + " cannot be read: not enough memory");
    }
}
