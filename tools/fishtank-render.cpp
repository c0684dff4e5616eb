// Draws Fishtank frames without any window system: one frame as a PNG, or a head path as
// a looping GIF animation (see --help).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iterator>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ArController.h"
#include "app/CommandLine.h"
#include "app/ModelChoice.h"
#include "model/HeadPose.h"
#include "model/PoseTrace.h"
#include "platform/Application.h"
#include "platform/Headless.h"
#include "platform/OutputFile.h"
#include "platform/Strings.h"
#include "tools/GifFile.h"
#include "tools/ImageFile.h"
#include "tools/PngFile.h"
#include "view/HeadTrackedView.h"
#include "view/ModelDrawing.h"

namespace {
const char synopsis[] =
    "usage: fishtank-render [--head X,Y,Z] [--size WxH] [-o FILE]\n"
    "       fishtank-render --screen WxH --eye X,Y,Z [--size WxH]\n"
    "                       [--stereo anaglyph [--ipd CM]] [-o FILE]\n"
    "       fishtank-render --animate orbit|TRACE [--fps N] [--seconds S]\n"
    "                       [--size WxH] [-o FILE]\n"
    "       fishtank-render --help | --version\n"
    "  Each but --help and --version also takes [--model FILE|teapot [--model-units\n"
    "  mm|cm|m|in] [--model-depth CM] [--scene tunnel|model]]; the model is drawn in\n"
    "  the tunnel, in the picture of a true-scale window on a screen too.\n"
    "  Draws the Fishtank frame seen from a head position, the true-scale picture of\n"
    "  a window on a screen, or a head path as a looping GIF animation.\n";

constexpr int mostFrames = 3600;

struct Options {
    double head[3] = {0.0, 0.0, 1.0};
    int width = 720, height = 720;
    bool sized = false;
    std::string output;
    std::string animate;  // "orbit", a trace file, or empty for one frame
    int framesPerSecond = 10;
    double seconds = 6.0;
    bool headGiven = false;
    std::string headText;  // --head's value as typed, for its warnings
    bool framesPerSecondGiven = false, secondsGiven = false;
    // A true-scale picture: the screen, the eye, and stereo.
    std::optional<ScreenSize> screen;
    std::optional<ScreenPoint> eye;
    bool anaglyph = false;
    std::optional<double> ipd;
    ModelChoice model;
};

[[noreturn]] void fail(const std::string& message) {
    failUsage("fishtank-render", message);
}

// The options of a true-scale picture go together, and with nothing else; its picture keeps
// the screen's aspect.
void checkTrueScale(Options& options) {
    if (!options.screen) {
        if (options.eye) fail("--eye needs --screen WxH");
        if (options.anaglyph) fail("--stereo needs --screen WxH");
        if (options.ipd) fail("--ipd needs --stereo anaglyph and --screen WxH");
        return;
    }
    if (!options.eye) fail("--screen needs --eye X,Y,Z");
    if (options.headGiven) fail("--head and --screen do not go together: --eye places the eye");
    if (!options.animate.empty()) fail("--animate and --screen do not go together");
    if (options.ipd && !options.anaglyph) fail("--ipd needs --stereo anaglyph");
    const double aspect = options.screen->width / options.screen->height;
    auto widthFor = [&](int height) { return static_cast<int>(std::lround(height * aspect)); };
    auto inAspect = [&](int width, int height) {
        return std::fabs(static_cast<double>(width) / height / aspect - 1.0) <= 0.01;
    };
    if (!options.sized) {
        options.height = 720;
        options.width = widthFor(options.height);
    } else if (!inAspect(options.width, options.height)) {
        // The suggestion is the nearest height up (or down, at the largest) whose width
        // keeps the aspect; a picture of very few pixels has none at its own height.
        int height = options.height;
        while (height < 16384 && !(widthFor(height) <= 16384 && inAspect(widthFor(height), height)))
            ++height;
        while (height > 1 && !(widthFor(height) <= 16384 && inAspect(widthFor(height), height)))
            --height;
        char why[200];
        std::snprintf(why, sizeof why,
                      "--size %dx%d is not in the screen's aspect, %gx%g (%.3f): %dx%d is",
                      options.width, options.height, options.screen->width, options.screen->height,
                      aspect, widthFor(height), height);
        fail(why);
    }
}

// Options that do nothing for what is drawn are refused rather than dropped.
void checkApplies(const Options& options) {
    if (options.animate.empty() && (options.framesPerSecondGiven || options.secondsGiven))
        fail("--fps and --seconds are for --animate: one frame is drawn");
    if (!options.animate.empty() && options.headGiven)
        fail("--head is for one frame: --animate moves the head");
}

// A file's name and content agree: a name that ends as another picture format's is refused.
// Names without such an ending, "-", devices and FIFOs are written as they are.
void checkFormat(const std::string& output, const std::string& format) {
    std::string ending = std::filesystem::path(output).extension().string();
    if (ending.empty()) return;
    ending.erase(0, 1);
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const char* pictures[] = {"png", "gif", "jpg", "jpeg", "bmp", "tif", "tiff", "webp", "ppm"};
    if (ending == format ||
        std::find(std::begin(pictures), std::end(pictures), ending) == std::end(pictures))
        return;
    fail("-o " + output + ": " +
         (format == "png" ? "one frame is a PNG" : "an animation is a GIF") + ", not " + ending +
         "; name it ." + format);
}

Options parse(int argc, char** argv) {
    Options o;
    CommandLine line{
        "fishtank-render",
        synopsis,
        {
            {"--head", "X,Y,Z",
             "the head position (default 0,0,1), decimal numbers. The head stays within x, y in "
             "[-100, 100] and z in [1, 100]: a value outside, a number too large for a float "
             "included, is drawn at the nearest bound, with a warning; hexadecimal, inf and nan "
             "are refused",
             [&](const OptionValue& v) {
                 std::vector<double> head = v.numbers(',', 3, "three numbers X,Y,Z", true);
                 std::copy(head.begin(), head.end(), o.head);
                 o.headGiven = true;
                 o.headText = v.text();
             }},
            {"--size", "WxH",
             "the picture in pixels (default 720x720, at most 16384 each way; an animation's "
             "default 256x256, at most 2048x2048)",
             [&](const OptionValue& v) {
                 const char wanted[] = "WxH, each 1 to 16384";
                 std::vector<double> size = v.numbers('x', 2, wanted);
                 for (double n : size)
                     if (!(n >= 1 && n <= 16384 && n == std::floor(n))) v.wrong(wanted);
                 o.width = static_cast<int>(size[0]);
                 o.height = static_cast<int>(size[1]);
                 o.sized = true;
             }},
            {"-o", "FILE",
             "writes it to FILE (default fishtank.png, or fishtank.gif for an animation; - for "
             "standard output) as an 8-bit RGB PNG, or a GIF. An existing FILE keeps its "
             "permissions; a device or FIFO is written into",
             [&](const OptionValue& v) {
                 if (v.text().empty()) v.fail("-o needs a file name");
                 o.output = v.text();
             }},
            {"--screen", "WxH",
             "draws the true-scale picture instead: what a window filling a screen W cm wide and "
             "H cm high (each 10 to 300, neither over 4 times the other) shows of the tunnel "
             "behind it. The tunnel's mouth spans the screen's height in its plane; each frame "
             "lies half that height deeper. --size keeps the screen's aspect (default 720 pixels "
             "high)",
             [&](const OptionValue& v) {
                 std::vector<double> size = v.numbers('x', 2, "WxH in centimetres", true);
                 o.screen = ScreenSize{size[0], size[1]};
                 if (std::optional<std::string> why = implausibleScreen(*o.screen, 0, 0))
                     v.fail("--screen " + v.text() + ": " + *why);
             }},
            {"--eye", "X,Y,Z",
             "the eye of the true-scale picture, in cm from the screen's centre: x to the right, "
             "y up, z toward the viewer; each within 10000, z above 0, and drawn at 3 when "
             "nearer, with a warning",
             [&](const OptionValue& v) {
                 std::vector<double> eye =
                     v.numbers(',', 3, "three numbers X,Y,Z in centimetres", true);
                 for (double n : eye)
                     if (std::fabs(n) > 10000) v.wrong("X,Y,Z each within 10000 cm");
                 if (!(eye[2] > 0)) v.wrong("the eye in front of the screen (Z above 0)");
                 o.eye = ScreenPoint{eye[0], eye[1], eye[2]};
             }},
            {"--stereo", "anaglyph|off",
             "anaglyph draws the left eye's picture in red and the right eye's in cyan, every "
             "line white, for red/cyan glasses",
             [&](const OptionValue& v) {
                 o.anaglyph = v.choice<bool>({{"anaglyph", true}, {"off", false}});
             }},
            {"--ipd", "CM",
             "the eyes' distance apart along x around the eye, 3 to 10 (default 6.3)",
             [&](const OptionValue& v) { o.ipd = v.number(3, 10, "centimetres"); }},
            {"--animate", "orbit|TRACE",
             "draws a head path as a looping GIF of at most 3600 frames: orbit circles around the "
             "start position, leaning back; TRACE is a fishtank-track --record file, its poses "
             "drawn as recorded (before fishtank-track's smoothing) and mapped with "
             "fishtank-track's default distance and gain",
             [&](const OptionValue& v) {
                 if (v.text().empty()) v.fail("--animate needs orbit or a trace file");
                 o.animate = v.text();
             }},
            {"--fps", "N", "an animation's frames a second, 1 to 50 (default 10)",
             [&](const OptionValue& v) {
                 o.framesPerSecond = static_cast<int>(v.wholeNumber(1, 50, "a whole number"));
                 o.framesPerSecondGiven = true;
             }},
            {"--seconds", "S",
             "an animation's length, above 0, at most 3600: the orbit's time once around "
             "(default 6), or where the trace is cut (default: all of it)",
             [&](const OptionValue& v) {
                 o.seconds = v.numberAbove(0, mostFrames, "a number");
                 o.secondsGiven = true;
             }},
        }};
    std::vector<Option> model = modelOptions(o.model);
    line.options.insert(line.options.end(), model.begin(), model.end());
    readCommandLine(line, argc, argv);
    checkTrueScale(o);
    checkApplies(o);
    checkModelChoice("fishtank-render", o.model);
    if (o.animate.empty()) {
        if (o.output.empty()) o.output = "fishtank.png";
    } else {
        if (o.output.empty()) o.output = "fishtank.gif";
        if (!o.sized) o.width = o.height = 256;
        if (o.width > 2048 || o.height > 2048) fail("an animation is at most 2048x2048");
    }
    checkFormat(o.output, o.animate.empty() ? "png" : "gif");
    if (!o.animate.empty() && o.animate != "orbit" && o.output != "-" &&
        sameFile(o.output, o.animate))
        fail("-o " + o.output + " is the trace that --animate reads");
    return o;
}

struct Head {
    float x, y, z;
};

// The head path of an animation, one position per frame.
std::vector<Head> headPath(const Options& options) {
    std::vector<Head> path;
    const double fps = options.framesPerSecond;
    if (options.animate == "orbit") {
        double count = std::max(1.0, std::round(options.seconds * fps));
        if (count > mostFrames) fail("the orbit would take more than 3600 frames");
        // Once around (0, 0, 1), leaning back by up to 0.45 halfway.
        for (int k = 0; k < count; ++k) {
            double angle = 2.0 * std::numbers::pi * k / count;
            path.push_back({static_cast<float>(0.6 * std::sin(angle)),
                            static_cast<float>(-0.4 * std::cos(angle)),
                            static_cast<float>(1.0 + 0.225 * (1.0 - std::cos(angle)))});
        }
        return path;
    }
    std::string error;
    PoseTrace read = readPoseTrace(options.animate, error);
    if (read.poses.empty()) fail(error);
    for (const std::string& note : read.notes)
        std::fprintf(stderr, "fishtank-render: %s\n", note.c_str());
    const std::vector<TracedPose>& trace = read.poses;
    double length =
        options.secondsGiven ? std::min(options.seconds, trace.back().time) : trace.back().time;
    if (length * fps + 1 > mostFrames)
        fail("the trace lasts " + std::to_string(length) + " s: more than 3600 frames at " +
             std::to_string(options.framesPerSecond) + " a second");
    HeadMapping mapping;
    std::size_t latest = 0;
    for (int k = 0; k <= static_cast<int>(length * fps); ++k) {
        double at = k / fps;
        while (latest + 1 < trace.size() && trace[latest + 1].time <= at) ++latest;
        Head head{};
        mapping.headFor(trace[latest].pose, head.x, head.y, head.z);
        path.push_back(head);
    }
    return path;
}

// Draws through the controller's tick, as in the program; no run loop runs here, so the
// timer its set-up schedules never fires.
class Renderer {
  public:
    Renderer(int width, int height, std::unique_ptr<ModelDrawing> model, bool tunnel)
        : context(width, height, model != nullptr) {
        context.attach(view);
        view.prepareOpenGL();
        if (model) view.showModel(std::move(model), tunnel);
        controller.oglView = &view;
        controller.setup();
    }
    // The frame from `head`, and where the frame step placed it.
    std::vector<std::uint8_t> frame(Head& head) {
        view.xHead = head.x, view.yHead = head.y, view.zHead = head.z;
        controller.track(false);
        head = {view.xHead, view.yHead, view.zHead};
        return context.readBackBuffer();
    }
    // The true-scale picture of a window filling the screen, from `eye`.
    std::vector<std::uint8_t> frame(const TrueScale& trueScale, ScreenPoint eye) {
        view.setTrueScale(trueScale);
        view.placeEye(eye);
        controller.track(false);
        return context.readBackBuffer();
    }

  private:
    HeadlessContext context;
    HeadTrackedView view;
    ArController controller;
};

// The frame from the head position, the head's clamps told.
std::vector<std::uint8_t> headFrame(Renderer& renderer, const Options& options) {
    // A value beyond a float's range is drawn at the nearest bound as a large one is.
    auto asFloat = [](double v) { return static_cast<float>(std::clamp(v, -1e30, 1e30)); };
    Head head{asFloat(options.head[0]), asFloat(options.head[1]), asFloat(options.head[2])};
    std::vector<std::uint8_t> rgb = renderer.frame(head);
    const char* axes = "xyz";
    const float placed[3] = {head.x, head.y, head.z};
    std::vector<std::string_view> typed = componentsSeparatedByString(options.headText, ",");
    for (int i = 0; i < 3; ++i)
        if (placed[i] != asFloat(options.head[i]))
            std::fprintf(stderr, "fishtank-render: head %c %.*s is out of range, drawn at %g\n",
                         axes[i], static_cast<int>(typed.at(i).size()), typed.at(i).data(),
                         static_cast<double>(placed[i]));
    return rgb;
}

// The true-scale frame, an eye held back from the screen told.
std::vector<std::uint8_t> trueScaleFrame(Renderer& renderer, const Options& options) {
    if (options.eye->z < nearestEyeDistance)
        std::fprintf(stderr,
                     "fishtank-render: eye z %g is nearer the screen than %g cm, drawn at %g\n",
                     options.eye->z, nearestEyeDistance, nearestEyeDistance);
    TrueScale trueScale{*options.screen};
    if (options.anaglyph) trueScale.stereo = Stereo::anaglyph;
    if (options.ipd) trueScale.ipd = *options.ipd;
    return renderer.frame(trueScale, *options.eye);
}
}  // namespace

int main(int argc, char** argv) try {
    const bool standardOutputWasOpen = standardOutputOpen();
    ensureStandardStreamsOpen();
    Options options = parse(argc, argv);
    std::unique_ptr<ModelDrawing> model = loadModel("fishtank-render", options.model);
    // The output's place is checked before the trace is read and anything drawn.
    std::unique_ptr<OutputFile> output = openImageFile(options.output, standardOutputWasOpen);
    try {
        if (!options.animate.empty()) {
            std::vector<Head> path = headPath(options);
            Renderer renderer(options.width, options.height, std::move(model),
                              options.model.tunnel);
            writeImageFile(*output, [&](std::FILE* file) {
                GifAnimation animation(file, options.width, options.height,
                                       options.framesPerSecond);
                for (Head head : path)
                    if (!animation.addFrame(renderer.frame(head))) return false;
                return animation.finish();
            });
            if (options.output != "-")
                std::printf("wrote %s: %zu frames\n", options.output.c_str(), path.size());
            return 0;
        }
        Renderer renderer(options.width, options.height, std::move(model), options.model.tunnel);
        std::vector<std::uint8_t> rgb =
            options.screen ? trueScaleFrame(renderer, options) : headFrame(renderer, options);
        writeImageFile(*output, [&](std::FILE* file) {
            return encodePng(file, options.width, options.height, rgb);
        });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fishtank-render: %s\n", e.what());
        return 1;
    }
    if (options.output != "-") std::printf("wrote %s\n", options.output.c_str());
    return 0;
} catch (const EarlyEnd& end) {
    return end.status;
}
