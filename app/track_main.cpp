// fishtank-track: the Fishtank window with its head driven by a head tracker: one that
// sends opentrack's "UDP over network" poses, or the computer's own camera. Without poses
// it behaves as fishtank does.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/ArController.h"
#include "app/CameraCheck.h"
#include "app/CameraTracker.h"
#include "app/FramePacer.h"
#include "app/CameraWords.h"
#include "app/CommandLine.h"
#include "app/ModelChoice.h"
#include "app/PoseSender.h"
#include "app/ScreenSetup.h"
#include "app/TrackerPoses.h"
#include "app/TrackingReport.h"
#include "platform/Application.h"
#include "platform/Date.h"
#include "platform/OutputFile.h"
#include "platform/RunLoop.h"
#include "platform/SignalWatch.h"
#include "platform/Strings.h"
#include "platform/Timer.h"
#include "platform/UdpSocket.h"
#include "platform/Window.h"
#include "view/HeadTrackedView.h"
#include "view/PoseToEye.h"

namespace {
const char synopsis[] =
    "usage: fishtank-track [--port N] [--listen ADDR] [options]\n"
    "       fishtank-track --camera [SOURCE] [--camera-fov DEG] [options]\n"
    "       fishtank-track --camera [SOURCE] --camera-check PICTURE.png\n"
    "       fishtank-track --camera [SOURCE] --no-window --send HOST[:PORT]\n"
    "       fishtank-track --list-cameras\n"
    "  Shows the Fishtank tunnel from the head position that a head tracker sends as\n"
    "  opentrack \"UDP over network\" poses (48-byte datagrams of six doubles), or that\n"
    "  the camera sees.\n";

const char keys[] =
    "  The keys w a s d q e move the head while no tracker sends; c takes the face's\n"
    "  place as neutral (camera); f toggles full screen; Ctrl+Q quits.\n";

struct Options {
    std::string listen = "127.0.0.1";
    int port = 4242;
    bool useCamera = false;  // false: poses come as datagrams
    std::string camera;      // the camera's source; empty: the default camera
    CameraSettings cameraSettings = CameraSettings::adjust;
    bool listCameras = false;
    double fieldOfView = 60.0;
    std::string checkPicture;  // the set-up check's picture; empty: the window
    bool fullScreen = false;
    bool distanceGiven = false;  // else the camera measures it
    std::string record, recordFrames;
    enum class Mapping { chosen, angle, trueScale } mapping = Mapping::chosen;
    std::string screen;  // --screen's value; empty: the monitor's size
    std::optional<ScreenPoint> cameraPlace;
    Stereo stereo = Stereo::off;
    std::optional<double> ipd;
    std::optional<SendTarget> send;
    std::optional<Smoothing> rotation = Smoothing{0.4, 0.02};  // none: sent as measured
    bool noWindow = false;
    TrackingSettings settings;
    ModelChoice model;
};

[[noreturn]] void fail(const std::string& message) {
    failUsage("fishtank-track", message);
}

// --send's HOST[:PORT]; the port defaults to the one trackers send to.
SendTarget sendTarget(const std::string& value) {
    SendTarget target;
    const std::size_t colon = value.rfind(':');
    target.host = value.substr(0, colon);
    double port = target.port;
    if (colon != std::string::npos &&
        (!readDecimal(std::string_view(value).substr(colon + 1), port, true) ||
         !(port >= 1 && port <= 65535 && port == std::floor(port))))
        fail("--send wants HOST:PORT with a port from 1 to 65535, not '" + value + "'");
    if (target.host.empty() || target.host.find(':') != std::string::npos)
        fail("--send wants a host name or an IPv4 address, then :PORT if not 4242, not '" + value +
             "'");
    target.port = static_cast<int>(port);
    return target;
}

// The file an option writes into: a name, not standard output, which has `what` already.
std::string fileName(const OptionValue& v, const char* what) {
    if (v.text().empty()) v.fail(v.name() + " needs a file name");
    if (v.is("-"))
        v.fail(v.name() + " wants a file name: standard output (-) has " + what +
               " (./- names a file called -)");
    return v.text();
}

// --smooth's and --smooth-rotation's MIN_CUTOFF,BETA, `pairs` of them.
std::vector<Smoothing> smoothings(const OptionValue& v, std::size_t pairs) {
    const std::string wanted =
        "MIN_CUTOFF,BETA (cutoff above 0, beta 0 or more, each at most 1000) or off";
    std::vector<double> n = v.numbers(',', 2 * pairs, wanted);
    std::vector<Smoothing> read;
    for (std::size_t i = 0; i < n.size(); i += 2) {
        if (!(n[i] > 0 && n[i] <= 1000 && n[i + 1] >= 0 && n[i + 1] <= 1000)) v.wrong(wanted);
        read.push_back({n[i], n[i + 1]});
    }
    return read;
}

Options parse(int argc, char** argv) {
    Options o;
    TrackingSettings& settings = o.settings;
    HeadMapping& mapping = settings.mapping;
    CommandLine line{
        "fishtank-track",
        synopsis,
        {
            {"--port", "N", "UDP port to listen on (default 4242; 0 picks a free one)",
             [&](const OptionValue& v) {
                 o.port = static_cast<int>(v.wholeNumber(0, 65535, "a port"));
             }},
            {"--listen", "ADDR",
             "IPv4 address to listen on (default 127.0.0.1, this machine only; 0.0.0.0 accepts "
             "poses from any machine that can reach this one)",
             [&](const OptionValue& v) {
                 if (!isIpv4Address(v.text())) v.wrong("an IPv4 address such as 127.0.0.1");
                 o.listen = v.text();
             }},
            {"--camera", "[SOURCE]",
             "follows your face in a camera's pictures instead: a V4L2 device (by default the "
             "first that gives colour pictures), or a video file or image sequence played at its "
             "own rate; no UDP port is opened",
             [&](const OptionValue& v) {
                 if (v.hasValue() && v.text().empty()) v.fail("--camera needs a device or a file");
                 o.useCamera = true;
                 o.camera = v.text();
             }},
            {"--camera-settings", "keep|adjust",
             "keep leaves the camera's settings alone (default adjust: its auto-exposure may not "
             "lower the frame rate in dim light while the program runs)",
             [&](const OptionValue& v) {
                 o.cameraSettings = v.choice<CameraSettings>(
                     {{"keep", CameraSettings::keep}, {"adjust", CameraSettings::adjust}});
             }},
            {"--list-cameras", nullptr,
             "lists the video devices: what each delivers, its mode near 640x480, metadata nodes "
             "and infrared cameras",
             [&](const OptionValue&) { o.listCameras = true; }},
            {"--camera-fov", "DEG", "the camera's horizontal field of view, 20 to 170 (default 60)",
             [&](const OptionValue& v) { o.fieldOfView = v.number(20, 170, "degrees"); }},
            {"--camera-check", "PICTURE.png",
             "checks the set-up without a window: two seconds of pictures, their rate and cost, "
             "the face, the screen and the eye, and the last picture with the face marked; status "
             "0 with a face and its pose, 1 without, 3 if its report or picture could not be "
             "written",
             [&](const OptionValue& v) { o.checkPicture = fileName(v, "the check's report"); }},
            {"--distance", "CM",
             "viewing distance at the neutral pose, 1 to 10000 (default 60; the camera measures "
             "it)",
             [&](const OptionValue& v) {
                 mapping.distance = v.number(1, 10000, "centimetres");
                 o.distanceGiven = true;
             }},
            {"--gain", "G", "scales sideways and vertical motion, above 0 to 100 (default 1)",
             [&](const OptionValue& v) { mapping.gain = v.numberAbove(0, 100, "a number"); }},
            {"--invert", "AXES",
             "flips any of x, y, z, comma-separated (+x right, +y up, +z away from the screen)",
             [&](const OptionValue& v) {
                 mapping.invertX = mapping.invertY = mapping.invertZ = false;
                 for (std::string_view axis : componentsSeparatedByString(v.text(), ",")) {
                     bool* flip = axis == "x"   ? &mapping.invertX
                                  : axis == "y" ? &mapping.invertY
                                  : axis == "z" ? &mapping.invertZ
                                                : nullptr;
                     if (!flip) v.wrong("axes x, y, z, comma-separated");
                     *flip = true;
                 }
             }},
            {"--smooth", "MIN_CUTOFF,BETA|off",
             "the One Euro filter: cutoff in Hz when still, and its rise per cm/s of motion "
             "(default for a tracker 1,0.05); off draws poses as they come. The camera's default "
             "is a filter of place and velocity that predicts the head to when it is seen",
             [&](const OptionValue& v) {
                 if (v.is("off")) {
                     settings.filtering = Filtering::none;
                     return;
                 }
                 // Four values set z apart (x,y then z): the form the prediction benchmark
                 // compares, left out of --help.
                 const bool apart = std::count(v.text().begin(), v.text().end(), ',') == 3;
                 std::vector<Smoothing> read = smoothings(v, apart ? 2 : 1);
                 settings.filtering = Filtering::oneEuro;
                 settings.sideways = read.front();
                 settings.distance = read.back();
             }},
            {"--predict", "on|off", "off: the camera's filter without its prediction (default on)",
             [&](const OptionValue& v) {
                 settings.predict = v.choice<bool>({{"on", true}, {"off", false}});
             }},
            {"--send", "HOST[:PORT]",
             "also sends the camera's poses to another program as a head tracker does (default "
             "port 4242), predicted to when each is sent",
             [&](const OptionValue& v) { o.send = sendTarget(v.text()); }},
            {"--smooth-rotation", "MIN_CUTOFF,BETA|off",
             "the One Euro filter of the sent angles: cutoff in Hz when still, its rise per "
             "degree/s (default 0.4,0.02)",
             [&](const OptionValue& v) {
                 o.rotation.reset();
                 if (!v.is("off")) o.rotation = smoothings(v, 1).front();
             }},
            {"--no-window", nullptr,
             "only sends: no window, no display needed; SIGUSR1 takes the neutral place, SIGINT "
             "or SIGTERM ends it",
             [&](const OptionValue&) { o.noWindow = true; }},
            {"--mapping", "angle|true-scale",
             "true-scale: the screen as a real window onto the tunnel, from the eye's real place "
             "(the camera's default, and with --screen); angle: head offsets by the viewing angle "
             "(a tracker's default)",
             [&](const OptionValue& v) {
                 o.mapping =
                     v.choice<Options::Mapping>({{"angle", Options::Mapping::angle},
                                                 {"true-scale", Options::Mapping::trueScale}});
             }},
            {"--screen", "WxH|Nin",
             "the screen's size: width x height in centimetres, or its diagonal in inches "
             "(default: as the monitor reports it)",
             [&](const OptionValue& v) {
                 if (v.text().empty()) v.fail("--screen wants WxH in centimetres or Nin");
                 o.screen = v.text();
             }},
            {"--camera-place", "X,Y",
             "the camera's place in cm from the screen's centre (default: centred 1 cm above the "
             "screen's top edge)",
             [&](const OptionValue& v) {
                 const char wanted[] = "X,Y in cm from the screen's centre, each within 1000";
                 std::vector<double> place = v.numbers(',', 2, wanted);
                 if (std::fabs(place[0]) > 1000 || std::fabs(place[1]) > 1000) v.wrong(wanted);
                 o.cameraPlace = ScreenPoint{place[0], place[1], 0.0};
             }},
            {"--stereo", "anaglyph|off",
             "each eye's own picture, red for the left, cyan for the right, for red/cyan glasses "
             "(true scale)",
             [&](const OptionValue& v) {
                 o.stereo =
                     v.choice<Stereo>({{"anaglyph", Stereo::anaglyph}, {"off", Stereo::off}});
             }},
            {"--ipd", "CM", "the eyes' distance apart without a face, 3 to 10 (default 6.3)",
             [&](const OptionValue& v) { o.ipd = v.number(3, 10, "centimetres"); }},
            {"--fullscreen", nullptr, "starts full screen (the f key toggles it)",
             [&](const OptionValue&) { o.fullScreen = true; }},
            {"--record", "FILE",
             "appends every accepted pose as a CSV line t,x,y,z,yaw,pitch,roll (t: arrival, "
             "monotonic seconds); a camera's lines end with the picture's exposure start",
             [&](const OptionValue& v) { o.record = fileName(v, "the program's own lines"); }},
            {"--record-frames", "FILE",
             "appends a CSV line t,x,y,z,horizon_ms for every picture drawn from a tracked head: "
             "its swap's end, the head drawn, the prediction's horizon",
             [&](const OptionValue& v) {
                 o.recordFrames = fileName(v, "the program's own lines");
             }},
        },
        keys};
    std::vector<Option> model = modelOptions(o.model);
    line.options.insert(line.options.end(), model.begin(), model.end());
    const std::set<std::string_view> given = readCommandLine(line, argc, argv);

    if (o.listCameras && given.size() > 1) fail("--list-cameras takes no other option");
    const bool check = !o.checkPicture.empty();
    if (check && !o.record.empty())
        fail("--record records the window's poses; --camera-check opens no window");
    if (check && !o.recordFrames.empty())
        fail("--record-frames records the window's pictures; --camera-check opens no window");
    if (!o.record.empty() && !o.recordFrames.empty() && sameFile(o.record, o.recordFrames))
        fail("--record and --record-frames name the same file, " + o.recordFrames +
             ": each wants its own");
    // An output that is the camera's source would destroy it.
    auto refuseSource = [&](const char* option, const std::string& path) {
        if (!o.camera.empty() && !path.empty() && sameFile(o.camera, path))
            fail(std::string(option) + " names the camera's source, " + o.camera +
                 ": writing it would destroy it");
    };
    refuseSource("--camera-check", o.checkPicture);
    refuseSource("--record", o.record);
    refuseSource("--record-frames", o.recordFrames);
    if (o.noWindow) {
        if (!o.send) fail("--no-window only sends poses: it wants --send HOST[:PORT]");
        if (check) fail("--no-window and --camera-check do not go together");
        if (!o.record.empty() || !o.recordFrames.empty())
            fail("--record and --record-frames go with the window; --no-window opens none");
        if (o.fullScreen || o.mapping != Options::Mapping::chosen || !o.screen.empty() ||
            o.cameraPlace || o.stereo != Stereo::off || o.ipd || mapping.gain != 1.0 ||
            mapping.invertX || mapping.invertY || mapping.invertZ)
            fail(
                "--fullscreen, --mapping, --screen, --camera-place, --stereo, --ipd, --gain "
                "and --invert shape the window's picture; --no-window draws none");
        o.useCamera = true;
    }
    if (o.send && check) fail("--send sends the window's poses; --camera-check opens none");
    if (given.contains("--smooth-rotation") && !o.send) fail("--smooth-rotation goes with --send");
    if (check) o.useCamera = true;
    if (o.useCamera && (given.contains("--port") || given.contains("--listen")))
        fail(std::string("--port and --listen are for a tracker's datagrams; ") +
             (check ? "--camera-check" : "--camera") + " opens no port");
    const bool smoothingGiven = given.contains("--smooth"),
               predictGiven = given.contains("--predict");
    if (o.useCamera && !smoothingGiven) settings.filtering = Filtering::motion;
    if (predictGiven && !o.useCamera)
        fail("--predict is for the camera's poses: a tracker's datagrams carry no time");
    if (predictGiven && smoothingGiven)
        fail("--predict goes with the camera's own filter, not with --smooth");
    if (o.mapping == Options::Mapping::angle &&
        (!o.screen.empty() || o.cameraPlace || o.stereo != Stereo::off))
        fail(
            "--screen, --camera-place and --stereo are for the true-scale picture, not "
            "--mapping angle");
    if (!o.useCamera && o.cameraPlace) fail("--camera-place is for --camera");
    if (!o.useCamera && o.send) fail("--send sends the camera's poses: it wants --camera");
    if (o.ipd && o.stereo == Stereo::off) fail("--ipd goes with --stereo anaglyph");
    checkModelChoice("fishtank-track", o.model);
    if (!o.model.file.empty() && (check || o.noWindow))
        fail("--model is drawn in the window; --camera-check and --no-window open none");
    return o;
}

// The camera --camera takes without a source: the first node that delivers colour
// pictures (some laptops list their infrared camera or a metadata node first); else the
// first that cannot be opened, whose reason is then told; empty when there is none.
std::string defaultCamera(const std::vector<CameraDevice::Node>& nodes) {
    for (const CameraDevice::Node& node : nodes)
        if (!node.problem && !node.infrared) return node.path;
    for (const CameraDevice::Node& node : nodes)
        if (!node.opened) return node.path;
    return {};
}

int listCameras() {
    std::vector<CameraDevice::Node> nodes = CameraDevice::list();
    if (nodes.empty()) {
        std::fputs("fishtank-track: no video devices (/dev/video*)\n", stderr);
        return 1;
    }
    std::string chosen = defaultCamera(nodes);
    for (const CameraDevice::Node& node : nodes) {
        const std::string problem =
            node.problem ? cameraProblemText(*node.problem, node.error) : "";
        if (!node.opened) {
            std::printf("%s  cannot be opened: %s\n", node.path.c_str(), problem.c_str());
            continue;
        }
        std::string what = node.problem ? problem : "delivers " + node.mode;
        if (!node.problem && node.infrared) what += ": infrared, grey only";
        if (node.path == chosen) what += " (the default)";
        std::printf("%s  \"%s\"  %s\n", node.path.c_str(), node.card.c_str(), what.c_str());
    }
    return 0;
}

// The record file, opened (and locked) before anything is announced.
// A record file that was created is removed again if the other cannot be opened.
std::unique_ptr<RecordFile> openRecord(const std::string& path, RecordFile* opened = nullptr) {
    if (path.empty()) return nullptr;
    try {
        return std::make_unique<RecordFile>(path);
    } catch (const std::runtime_error& e) {
        if (opened) opened->discardIfCreated();
        fail("cannot record into " + path + ": " + e.what());
    }
}

// The true-scale picture where it is chosen (the camera's default, and with --screen) and
// the screen's size is known; else the angle mapping, with one line on why where the
// monitor's size cannot be used.
ScreenSetup setUpTrueScale(Options& options) {
    using Mapping = Options::Mapping;
    const bool wanted = options.mapping == Mapping::trueScale ||
                        (options.mapping == Mapping::chosen &&
                         (options.useCamera || !options.screen.empty() ||
                          options.stereo != Stereo::off));
    if (!wanted) return {};
    ScreenSetup screen = setUpScreen(options.screen);
    if (!screen.size) {
        options.settings.trueScaleRefused =
            screen.refusal +
            "; give the screen's size with --screen WxH (centimetres) or --screen Nin (inches "
            "across); the picture keeps the viewing angle" +
            (options.stereo == Stereo::off ? "" : ", without stereo");
        return screen;
    }
    TrueScaleTracking& trueScale = options.settings.trueScale.emplace();
    trueScale.view = {*screen.size, options.settings.mapping.distance, options.stereo,
                      options.ipd.value_or(6.3), !screen.given};
    // A laptop's camera: centred above the screen, 1 cm above its top edge.
    trueScale.cameraPlace =
        options.cameraPlace.value_or(ScreenPoint{0.0, screen.size->height / 2.0 + 1.0, 0.0});
    return screen;
}
// A camera's pose taken on the main thread: checked (a refused one is counted), recorded,
// filtered, and sent where --send asks, as filtered for the window and predicted to now.
bool takeCameraPose(const CameraPose& taken, PoseToEye& eye, TrackingReport& report,
                    PoseSender* sender, DroppedPoses& dropped) {
    const PoseDatagram check = checkPose(taken.pose);
    if (check != PoseDatagram::accepted) {
        dropped.count(check);
        return false;
    }
    const double arrival = monotonicSeconds();
    report.poseTaken(arrival, taken.pose, taken.takenAt);
    const bool recentred = eye.add(taken, arrival);
    if (!sender) return true;
    if (recentred) sender->reset();
    const double now = monotonicSeconds();
    sender->send(eye.headAt(now), now, taken.readTime, taken.exposureStart);
    return true;
}

// Starts the camera's thread, saying what it delivers.
void startCamera(CameraTracker& camera) {
    std::fprintf(stderr, "fishtank-track: %s\n", camera.description().c_str());
    camera.tellSettingsChanged();
    camera.start();
}

// The last lines: what was sent, and how long the camera's frames took to the screen.
void tellTheEnd(CameraTracker* camera, const PoseSender* sender, const TrackingReport& report) {
    if (sender) std::fprintf(stderr, "fishtank-track: %s\n", sender->summary().c_str());
    if (!camera) return;
    camera->stop();
    const std::string summary = report.cameraSummary(camera->frameAges());
    if (!summary.empty()) std::fprintf(stderr, "fishtank-track: camera: %s\n", summary.c_str());
}

// The status line of a tracker without a window, once a second on a terminal: face or
// not, the pose sent, poses a second, and the newest pose's age when sent.
std::string statusLine(const CameraPose* newest, const PoseSender& sender,
                       long posesPerSecond) {
    char line[200];
    if (!newest) {
        std::snprintf(line, sizeof line, "no face; %ld poses/s", posesPerSecond);
        return line;
    }
    const HeadPose& p = sender.lastSent();
    const bool exposed = std::isfinite(newest->exposureStart);
    std::snprintf(line, sizeof line,
                  "face: x %+5.1f y %+5.1f z %+5.1f cm, yaw %+5.1f pitch %+5.1f roll %+5.1f; "
                  "%ld poses/s; %.0f ms from %s",
                  p.x, p.y, p.z, p.yaw, p.pitch, p.roll, posesPerSecond,
                  (sender.lastSentAt() - (exposed ? newest->exposureStart : newest->readTime)) *
                      1e3,
                  exposed ? "exposure" : "read");
    return line;
}

// A head tracker that draws nothing: the camera's poses sent until SIGINT or SIGTERM, or
// until the source ends. SIGUSR1 takes the neutral place.
int trackWithoutWindow(CameraTracker& camera, const TrackingSettings& settings,
                       PoseSender& sender, SignalWatch& signals) {
    std::fprintf(stderr,
                 "fishtank-track: sending the head's poses to %s; SIGUSR1 takes the neutral "
                 "place\n",
                 sender.destination().c_str());
    startCamera(camera);
    PoseToEye eye(settings);
    TrackingReport report(nullptr, nullptr, true);
    DroppedPoses dropped;
    CameraPose newest;
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    double nextWatch = monotonicSeconds() + 0.1, nextLine = nextWatch + 0.9;
    long sentBefore = 0;
    for (int signal = 0; signal != SIGINT && signal != SIGTERM && !camera.ended();
         signal = signals.take()) {
        if (signal == SIGUSR1) camera.recentre();
        waitForEvents({camera.descriptor(), signals.descriptor()}, nextWatch - monotonicSeconds());
        CameraPose taken;
        if (camera.takePose(taken)) {
            if (takeCameraPose(taken, eye, report, &sender, dropped)) newest = taken;
            camera.poseDrawn();  // a pose is done with once sent
        }
        const double now = monotonicSeconds();
        if (now >= nextWatch) {
            if (report.lost(now)) {
                eye.reset();
                sender.reset();
            }
            report.tellDropped(now, dropped, false);
            nextWatch = now + 0.1;
        }
        if (terminal && now >= nextLine) {
            // Over the last one: other lines start on it, at its beginning.
            std::fprintf(stderr, "\r%s\033[K\r",
                         statusLine(report.isTracking() ? &newest : nullptr, sender,
                                    sender.sent() - sentBefore).c_str());
            sentBefore = sender.sent();
            nextLine = now + 1.0;
        }
    }
    if (terminal) std::fputs("\033[K", stderr);
    tellTheEnd(&camera, &sender, report);
    return 0;
}
}  // namespace

int main(int argc, char** argv) try {
    // Set-up: the options, the model, the pose source, then the window.
    const bool reportable = standardOutputOpen();
    ensureStandardStreamsOpen();
    Options options = parse(argc, argv);
    if (options.listCameras) return listCameras();
    std::unique_ptr<ModelDrawing> model = loadModel("fishtank-track", options.model);
    // Without a window, the program's own loop takes these signals: blocked before any
    // thread starts, so that none of them runs a handler instead.
    std::unique_ptr<SignalWatch> signals;
    if (options.noWindow) signals.reset(new SignalWatch({SIGINT, SIGTERM, SIGUSR1}));
    std::unique_ptr<PoseSender> sender;
    if (options.send) {
        try {
            sender = std::make_unique<PoseSender>(*options.send, options.rotation);
        } catch (const std::runtime_error& e) {
            std::fprintf(stderr, "fishtank-track: cannot send to %s:%d: %s\n",
                         options.send->host.c_str(), options.send->port, e.what());
            return 1;
        }
    }
    std::unique_ptr<CameraTracker> camera;
    // The check's picture goes with its report: neither is made without the other's place.
    std::unique_ptr<OutputFile> checkPicture;
    if (!options.checkPicture.empty()) {
        if (!reportable) {
            std::fputs(
                "fishtank-track: --camera-check prints its report on standard output, which is "
                "closed\n",
                stderr);
            return checkNotWritten;
        }
        try {
            checkPicture = std::make_unique<OutputFile>(options.checkPicture);
        } catch (const std::runtime_error& e) {
            fail("cannot write the picture " + options.checkPicture + ": " + e.what());
        }
    }
    const ScreenSetup screen = options.noWindow ? ScreenSetup{} : setUpTrueScale(options);
    const TrackingSettings& settings = options.settings;
    if (options.useCamera) {
        if (options.camera.empty()) options.camera = defaultCamera(CameraDevice::list());
        if (options.camera.empty()) {
            std::fputs(
                "fishtank-track: cannot open a camera: no video device delivers colour "
                "pictures (fishtank-track --list-cameras lists them)\n",
                stderr);
            return 1;
        }
        auto cannotOpen = [&](const std::string& why) {
            std::fprintf(stderr, "fishtank-track: cannot open the camera %s: %s\n",
                         options.camera.c_str(), why.c_str());
            return 1;
        };
        // The face's models first: a broken one is told before any window, and a device
        // opened after them has not filled its buffers while they were read.
        std::unique_ptr<FaceTracker> faces;
        std::unique_ptr<VideoSource> video;
        try {
            faces = std::make_unique<FaceTracker>(
                options.fieldOfView, options.distanceGiven ? settings.mapping.distance : 0.0);
            restoreCameraSettingsAtExit();
            video = openVideoSource(options.camera, options.cameraSettings);
        } catch (const CameraDeviceError& e) {
            return cannotOpen(cameraOpenText(e));
        } catch (const std::exception& e) {  // the file's reader, the models', memory
            return cannotOpen(e.what());
        }
        if (!options.checkPicture.empty())
            return checkCamera(*video, *faces, *checkPicture,
                               {settings, screen, options.fullScreen});
        camera = std::make_unique<CameraTracker>(std::move(video), std::move(faces),
                                                 options.cameraSettings);
        if (options.noWindow) return trackWithoutWindow(*camera, settings, *sender, *signals);
    }
    std::unique_ptr<RecordFile> record = openRecord(options.record);
    std::unique_ptr<RecordFile> frames = openRecord(options.recordFrames, record.get());
    // A program that cannot start leaves no record file it made behind.
    auto cannotStart = [&](int status) {
        if (record) record->discardIfCreated();
        if (frames) frames->discardIfCreated();
        return status;
    };
    std::unique_ptr<TrackerPoses> datagrams;
    if (!camera) {
        try {
            datagrams = std::make_unique<TrackerPoses>(options.listen, options.port);
        } catch (const std::runtime_error& e) {
            std::fprintf(stderr, "fishtank-track: cannot listen on %s:%d: %s\n",
                         options.listen.c_str(), options.port, e.what());
            return cannotStart(1);
        }
    }
    if (!startWindowSystem("fishtank-track")) return cannotStart(1);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // one line per key, also into a pipe
    // fishtank's window, around the view a tracker can take the head of.
    auto ownView = std::make_unique<HeadTrackedView>();
    HeadTrackedView& view = *ownView;
    const bool depthBuffer = model != nullptr;
    if (model) view.showModel(std::move(model), options.model.tunnel);
    std::unique_ptr<Window> window;
    try {
        window = std::make_unique<Window>("Fishtank", 720, 720, depthBuffer);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fishtank-track: %s: %s\n", e.what(), windowSystemError().c_str());
        stopWindowSystem();
        return cannotStart(1);
    }
    window->setContentView(std::move(ownView));
    bool quit = false;
    window->setQuitAction([&quit] { quit = true; });
    window->setFullScreen(options.fullScreen);
    view.recentreAction = [&camera] {
        if (camera) camera->recentre();
    };
    if (settings.trueScale) view.setTrueScale(settings.trueScale->view);
    // fishtank's controller: its tick, twelve times a second, moves the head by the keys
    // and draws a picture.
    ArController controller;
    controller.oglView = &view;
    controller.oglWindow = window.get();
    controller.awakeFromNib();
    // Said once the window exists: a program that cannot start announces nothing.
    if (!settings.trueScaleRefused.empty())
        std::fprintf(stderr, "fishtank-track: %s\n", settings.trueScaleRefused.c_str());
    if (datagrams)
        std::fprintf(stderr, "fishtank-track: listening on %s\n", datagrams->where().c_str());
    if (camera) startCamera(*camera);
    TrackingReport report(record.get(), frames.get(), camera != nullptr);
    OpenGLContext& context = *view.openGLContext();
    context.makeCurrentContext();
    view.prepareOpenGL();

    // The loop: wait for the window system, a pose or the next tick; take the poses; draw
    // when a pose came or the pacer says a picture is due.
    const std::optional<Monitor>& monitor = window->monitor();
    const double refreshRate = monitor && monitor->refreshRate > 0 ? monitor->refreshRate : 60.0;
    // A camera's poses, predicted, are drawn at the display's pace while a face is followed.
    const bool paced = camera && settings.filtering == Filtering::motion && settings.predict;
    PoseToEye eye(settings);
    FramePacer pacer;
    DroppedPoses dropped;
    double nextWatch = monotonicSeconds() + 0.1;
    // A picture of the tracked head, as it is when the picture is seen: at the expected end
    // of its swap, and half a refresh of the display's scan-out after.
    auto drawTracked = [&](bool pacedPicture, const CameraPose* newPose) {
        const double seen =
            monotonicSeconds() + (paced ? pacer.expectedDrawing() : 0.0) + 0.5 / refreshRate;
        const HeadPose head = eye.headAt(seen);
        view.place(eye.place(head));
        const double begun = monotonicSeconds();
        controller.track(false);
        const double swapped = monotonicSeconds();
        pacer.pictureShown(begun, swapped, pacedPicture);
        report.pictureDrawn(swapped, head, eye.horizon(seen), newPose);
    };
    while (!quit) {
        context.setSwapWaitsForDisplay(pacer.swapWaits());  // the program's own ticks never wait
        const double due = std::min({Timer::nextDeadline(), pacer.nextPicture(), nextWatch});
        waitForEvents({datagrams ? datagrams->descriptor() : camera->descriptor()},
                      due - monotonicSeconds());
        Timer::fireDueTimers(monotonicSeconds());  // the controller's tick
        if (datagrams) {
            const std::vector<TrackerPose> poses = datagrams->receive(Timer::nextDeadline(), dropped);
            for (const TrackerPose& p : poses) report.poseTaken(p.arrival, p.pose, NAN);
            if (!poses.empty()) {
                eye.add(poses.back().pose, poses.back().arrival);
                drawTracked(false, nullptr);
            }
        }
        CameraPose taken;
        if (camera && camera->takePose(taken)) {
            const bool accepted = takeCameraPose(taken, eye, report, sender.get(), dropped);
            if (accepted) drawTracked(false, &taken);
            // Its picture is on the screen: the capture thread goes on to check the face.
            camera->poseDrawn();
            if (accepted && paced) pacer.start(refreshRate, monotonicSeconds());
        }
        if (monotonicSeconds() >= pacer.nextPicture()) drawTracked(true, nullptr);
        const double now = monotonicSeconds();
        if (now >= nextWatch) {
            if (report.lost(now)) {
                view.releaseHead();
                eye.reset();
                pacer.stop();
                if (sender) sender->reset();
            }
            report.tellDropped(now, dropped, datagrams != nullptr);
            nextWatch = now + 0.1;
        }
    }

    // The end: the camera stopped and what it did told. The window closes as main returns;
    // the window system, as fishtank's, is left to the process's end.
    tellTheEnd(camera.get(), sender.get(), report);
    return 0;
} catch (const EarlyEnd& end) {
    return end.status;
}
