// Built at -O3 whatever the build type (see CMakeLists.txt): the landmarks' time is that of
// this file's code.
#include "camera/FaceLandmarks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {
constexpr int shapeSteps = 2 * faceLandmarks;  // x0, y0, x1, y1, ... in the box's unit square
using Shape = std::vector<float>;

// The picture's brightness at (x, y), averaged over the 3x3 pixels nearest: sensor noise
// would otherwise send the trees one way or the other from picture to picture. Outside
// the picture, 0.
float smoothedPixel(const GreyImage& picture, double x, double y) {
    long cx = std::lround(x), cy = std::lround(y);
    if (cx < 1 || cy < 1 || cx >= picture.width - 1 || cy >= picture.height - 1) return 0.0f;
    const std::uint8_t* row =
        &picture.pixels[static_cast<std::size_t>((cy - 1) * picture.width + cx - 1)];
    int sum = 0;
    for (int j = 0; j < 3; ++j, row += picture.width) sum += row[0] + row[1] + row[2];
    return sum / 9.0f;
}

// The turn and scale [a -b; b a] that take shape `from` closest to `to`, both about their
// means (least squares), in closed form.
struct ShapeTurn {
    float a, b;
};

ShapeTurn turnBetween(const Shape& from, const Shape& to) {
    const int n = faceLandmarks;
    float fx = 0, fy = 0, tx = 0, ty = 0;
    for (int i = 0; i < n; ++i) {
        fx += from[2 * i], fy += from[2 * i + 1], tx += to[2 * i], ty += to[2 * i + 1];
    }
    fx /= n, fy /= n, tx /= n, ty /= n;
    float along = 0, across = 0, spread = 0;
    for (int i = 0; i < n; ++i) {
        float px = from[2 * i] - fx, py = from[2 * i + 1] - fy;
        float qx = to[2 * i] - tx, qy = to[2 * i + 1] - ty;
        along += px * qx + py * qy;
        across += px * qy - py * qx;
        spread += px * px + py * py;
    }
    return {along / spread, across / spread};
}

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
    void column(Shape& into, const char* what) {
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
}  // namespace

// One stage of the cascade, its trees laid out flat: each tree's splits (a full binary
// tree, breadth first) and then its leaves, one after the other, so that a picture's walk
// through the trees reads memory in few places.
struct Split {
    std::uint32_t first, second;  // the pixels compared: left when first - second > threshold
    float threshold;
};
struct Offset {
    float x, y;
};
struct Stage {
    std::vector<Split> splits;           // splitsPerTree for each tree
    std::vector<float> leaves;           // leavesPerTree shape steps for each tree
    std::vector<std::uint32_t> anchors;  // the pixels it samples: near which landmark,
    std::vector<Offset> deltas;          // and how far from it
};

struct FaceLandmarks::Model {
    Shape meanShape;
    std::size_t splitsPerTree = 0, leavesPerTree = 0;
    std::vector<Stage> stages;
    std::vector<float> sampled;         // the stage's pixel values, kept between frames
    std::vector<const float*> reached;  // the leaf each of the stage's trees ends in

    void read(ModelReader& in);
};

// The model as dlib stores a shape predictor: a version, the mean shape, the stages'
// trees, then each stage's anchors and offsets.
void FaceLandmarks::Model::read(ModelReader& in) {
    if (in.signedInteger("its version") != 1) ModelReader::damaged("an unknown version");
    in.column(meanShape, "its mean shape");
    // The shape's turn and the face's box are found from the mean shape's spread.
    float spread = 0;
    for (int i = 1; i < faceLandmarks; ++i)
        spread += std::fabs(meanShape[2 * i] - meanShape[0]) +
                  std::fabs(meanShape[2 * i + 1] - meanShape[1]);
    if (!(spread > 1.0f)) ModelReader::damaged("its mean shape has no extent");
    const std::uint64_t stageCount = in.count("stages", leastStage);
    if (stageCount == 0) ModelReader::damaged("no stages");
    for (std::uint64_t k = 0; k < stageCount; ++k) {
        Stage& stage = stages.emplace_back();
        const std::uint64_t trees = in.count("trees", leastInteger);
        if (trees == 0) ModelReader::damaged("a stage without trees");
        for (std::uint64_t t = 0; t < trees; ++t) {
            const std::uint64_t splits = in.count("splits", leastSplit);
            if (splitsPerTree == 0) {
                // Every tree has as many splits as the first, and one leaf more.
                if (splits == 0) ModelReader::damaged("a tree without splits");
                splitsPerTree = splits;
                leavesPerTree = splits + 1;
            }
            if (splits != splitsPerTree) ModelReader::damaged("trees of different sizes");
            if (t == 0) {
                if (trees > in.bytesLeft() / (splits * leastSplit + leavesPerTree * leastColumn))
                    ModelReader::damaged("too many trees");
                stage.splits.reserve(trees * splitsPerTree);
                stage.leaves.reserve(trees * leavesPerTree * shapeSteps);
            }
            for (std::uint64_t i = 0; i < splits; ++i) {
                std::uint64_t first = in.unsignedInteger("a split"),
                              second = in.unsignedInteger("a split");
                if (first > UINT32_MAX || second > UINT32_MAX) ModelReader::outOfRange("a split");
                stage.splits.push_back({static_cast<std::uint32_t>(first),
                                        static_cast<std::uint32_t>(second), in.real("a split")});
            }
            if (in.count("leaves", leastColumn) != leavesPerTree)
                ModelReader::damaged("a tree whose leaves do not match its splits");
            for (std::uint64_t i = 0; i < leavesPerTree; ++i) in.column(stage.leaves, "a leaf");
        }
    }
    if (in.count("stages' anchors", leastInteger) != stageCount)
        ModelReader::damaged("anchors that do not match its stages");
    for (Stage& stage : stages) {
        const std::uint64_t anchors = in.count("anchors", leastInteger);
        for (std::uint64_t i = 0; i < anchors; ++i) {
            std::uint64_t anchor = in.unsignedInteger("an anchor");
            if (anchor >= faceLandmarks) ModelReader::damaged("an anchor beyond the 68 points");
            stage.anchors.push_back(static_cast<std::uint32_t>(anchor));
        }
    }
    if (in.count("stages' offsets", leastInteger) != stageCount)
        ModelReader::damaged("offsets that do not match its stages");
    for (Stage& stage : stages) {
        if (in.count("offsets", 2 * leastFloat) != stage.anchors.size())
            ModelReader::damaged("offsets that do not match its anchors");
        stage.deltas.reserve(stage.anchors.size());
        for (std::size_t i = 0; i < stage.anchors.size(); ++i) {
            float x = in.real("an offset");
            stage.deltas.push_back({x, in.real("an offset")});
        }
        for (const Split& split : stage.splits)
            if (split.first >= stage.deltas.size() || split.second >= stage.deltas.size())
                ModelReader::damaged("a split between pixels it does not sample");
    }
}

FaceLandmarks::FaceLandmarks() = default;
FaceLandmarks::~FaceLandmarks() = default;

void FaceLandmarks::load(const std::string& path) {
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
        auto loaded = std::make_unique<Model>();
        ModelReader reader(file.fd, static_cast<std::uint64_t>(info.st_size));
        loaded->read(reader);
        model = std::move(loaded);
    } catch (const ModelDamaged& damage) {
        throw std::runtime_error(named + " is damaged: " + damage.what +
                                 " (reinstall Debian's libdlib-data)");
    } catch (const std::bad_alloc&) {
        throw std::runtime_error(named + " cannot be read: not enough memory");
    }
}

void FaceLandmarks::place(const GreyImage& picture, const FaceBox& box, FaceShape& shape) {
    Model& m = *model;
    // The box's unit square to the picture, in fractions of a pixel.
    const double left = box.x - box.size / 2, top = box.y - box.size / 2;
    Shape current = m.meanShape;
    for (const Stage& stage : m.stages) {
        // Each sampled pixel keeps its place relative to its landmark as the shape turns
        // and scales from the mean shape to the current one.
        const ShapeTurn turn = turnBetween(m.meanShape, current);
        m.sampled.resize(stage.deltas.size());
        for (std::size_t i = 0; i < stage.deltas.size(); ++i) {
            const float* anchor = &current[2 * stage.anchors[i]];
            const Offset& delta = stage.deltas[i];
            float ax = anchor[0] + turn.a * delta.x - turn.b * delta.y;
            float ay = anchor[1] + turn.b * delta.x + turn.a * delta.y;
            m.sampled[i] = smoothedPixel(picture, left + ax * box.size, top + ay * box.size);
        }
        // Every tree's leaf first, each fetched from memory as soon as it is known (a hint
        // to the processor that changes no result), then their sum: the leaves lie
        // scattered over some 65 MB.
        m.reached.clear();
        const float* leaves = stage.leaves.data();
        for (std::size_t t = 0; t < stage.splits.size(); t += m.splitsPerTree) {
            const Split* split = &stage.splits[t];
            std::size_t node = 0;
            while (node < m.splitsPerTree) {
                const Split& s = split[node];
                node = m.sampled[s.first] - m.sampled[s.second] > s.threshold ? 2 * node + 1
                                                                              : 2 * node + 2;
            }
            const float* leaf = leaves + (node - m.splitsPerTree) * shapeSteps;
            for (int k = 0; k < shapeSteps; k += 16) __builtin_prefetch(leaf + k);
            __builtin_prefetch(leaf + shapeSteps - 1);
            m.reached.push_back(leaf);
            leaves += m.leavesPerTree * shapeSteps;
        }
        float* moved = current.data();
        for (const float* step : m.reached)
            for (int k = 0; k < shapeSteps; ++k) moved[k] += step[k];
    }
    for (int i = 0; i < faceLandmarks; ++i)
        shape[i] = {left + current[2 * i] * box.size, top + current[2 * i + 1] * box.size};
}

FaceBox FaceLandmarks::boxOf(const FaceShape& shape) const {
    // The scale and shift that lay the mean shape's rigid points over `shape`'s closest
    // (least squares).
    const auto [first, end] = rigidLandmarks;
    const int count = end - first;
    const Shape& mean = model->meanShape;
    double mx = 0, my = 0, sx = 0, sy = 0;
    for (int i = first; i < end; ++i) {
        mx += mean[2 * i] / count, my += mean[2 * i + 1] / count;
        sx += shape[i].x / count, sy += shape[i].y / count;
    }
    double along = 0, spread = 0;
    for (int i = first; i < end; ++i) {
        double dx = mean[2 * i] - mx, dy = mean[2 * i + 1] - my;
        along += dx * (shape[i].x - sx) + dy * (shape[i].y - sy);
        spread += dx * dx + dy * dy;
    }
    double size = along / spread;
    return {sx + (0.5 - mx) * size, sy + (0.5 - my) * size, size};
}
