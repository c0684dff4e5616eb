// Sends head poses to fishtank-track as a head tracker would, for tests, demonstrations,
// benchmarks and checking a set-up without a tracker:
//   fishtank-pose-send --port N [options]   (see --help)
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <numbers>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/CommandLine.h"
#include "model/HeadPose.h"
#include "model/PoseTrace.h"
#include "platform/Date.h"
#include "platform/UdpSocket.h"

namespace {
const char synopsis[] =
    "usage: fishtank-pose-send --port N [--host HOST] [--rate HZ] [--seconds S]\n"
    "                          [--pose X,Y,Z | --path sine|step | --trace FILE]\n"
    "  Sends head poses as opentrack \"UDP over network\" datagrams to HOST:N, as a\n"
    "  head tracker does.\n";

const char closing[] = "  Ends with status 1 when nobody listens on HOST:N.\n";

struct Options {
    int port = -1;
    std::string host = "127.0.0.1";
    double rate = 250, seconds = 5;
    bool secondsGiven = false;
    HeadPose still;
    std::string path = "still", trace;
    bool stamp = false;
    long garbage = 0;
};

[[noreturn]] void fail(const std::string& message) {
    failUsage("fishtank-pose-send", message);
}

Options parse(int argc, char** argv) {
    Options o;
    const CommandLine line{
        "fishtank-pose-send",
        synopsis,
        {
            {"--port", "N", "the port poses go to",
             [&](const OptionValue& v) {
                 o.port = static_cast<int>(v.wholeNumber(1, 65535, "a port"));
             }},
            {"--host", "HOST", "a name or an IPv4 address (default 127.0.0.1)",
             [&](const OptionValue& v) { o.host = v.text(); }},
            {"--pose", "X,Y,Z", "a still head, offsets in centimetres (default 0,0,0)",
             [&](const OptionValue& v) {
                 std::vector<double> xyz = v.numbers(',', 3, "X,Y,Z");
                 o.still.x = xyz[0], o.still.y = xyz[1], o.still.z = xyz[2];
             }},
            {"--path", "sine|step",
             "sine: x swings 20 cm either way, once every 4 s; step: x 0, then 10 cm from half "
             "the time on",
             [&](const OptionValue& v) {
                 o.path = v.choice<std::string>({{"sine", "sine"}, {"step", "step"}});
             }},
            {"--trace", "FILE",
             "replays a fishtank-track --record trace at its own pace (pauses longer than 5 s "
             "are played as 5 s)",
             [&](const OptionValue& v) {
                 if (v.text().empty()) v.fail("--trace needs a file name");
                 o.trace = v.text();
             }},
            {"--rate", "HZ", "poses a second (default 250; 0: as fast as it can)",
             [&](const OptionValue& v) { o.rate = v.number(0, 1e6, "poses a second"); }},
            {"--seconds", "S",
             "how long (default 5; a trace lasts as long as it does unless given)",
             [&](const OptionValue& v) {
                 o.seconds = v.number(0, 1e6, "seconds");
                 o.secondsGiven = true;
             }},
            // For the tests and benchmarks: each pose's send time (monotonic seconds) in its roll
            // angle, and after each pose N datagrams a receiver must drop.
            {"--stamp", nullptr, nullptr, [&](const OptionValue&) { o.stamp = true; }},
            {"--garbage", "N", nullptr,
             [&](const OptionValue& v) {
                 o.garbage = static_cast<long>(v.wholeNumber(0, 1e6, "a whole number"));
             }},
        },
        closing};
    const std::set<std::string_view> given = readCommandLine(line, argc, argv);
    if (o.port < 0) fail("--port is needed (see --help)");
    if (given.contains("--pose") + given.contains("--path") + given.contains("--trace") > 1)
        fail("--pose, --path and --trace each give the head's motion: give one");
    if (given.contains("--rate") && !o.trace.empty())
        fail("--rate does not apply to --trace, which plays at its own pace");
    return o;
}

HeadPose poseAt(const Options& o, double t) {
    HeadPose pose = o.still;
    if (o.path == "sine") pose.x = 20.0 * std::sin(2.0 * std::numbers::pi * t / 4.0);
    if (o.path == "step") pose.x = t < o.seconds / 2 ? 0.0 : 10.0;
    return pose;
}

// Datagrams a receiver must refuse, in turn: wrong sizes, not finite, too far.
std::vector<unsigned char> garbageDatagram(long k) {
    unsigned char pose[48];
    HeadPose bad;
    switch (k % 5) {
        case 0:
            return {};
        case 1:
            return std::vector<unsigned char>(47, 0x7f);
        case 2:
            return std::vector<unsigned char>(49, 0x01);
        case 3:
            bad.y = std::nan("");
            break;
        default:
            bad.z = 1e6;
            break;
    }
    writePoseDatagram(bad, pose);
    return {pose, pose + 48};
}
}  // namespace

int main(int argc, char** argv) try {
    Options o = parse(argc, argv);
    std::vector<TracedPose> trace;
    if (!o.trace.empty()) {
        std::string error;
        PoseTrace read = readPoseTrace(o.trace, error);
        if (read.poses.empty()) fail(error);
        for (const std::string& note : read.notes)
            std::fprintf(stderr, "fishtank-pose-send: %s\n", note.c_str());
        trace = std::move(read.poses);
    }
    const double seconds =
        trace.empty() || o.secondsGiven ? o.seconds : std::numeric_limits<double>::infinity();
    UdpSocket socket("0.0.0.0", 0);
    try {
        socket.connect(o.host, o.port);
    } catch (const std::runtime_error& e) {
        fail("cannot send to " + o.host + ": " + e.what());
    }
    const double start = monotonicSeconds();
    long sent = 0, garbage = 0;
    auto stop = [&](int error) {
        if (error == ECONNREFUSED)
            std::fprintf(stderr, "fishtank-pose-send: nobody is listening on %s:%d\n",
                         o.host.c_str(), o.port);
        else
            std::fprintf(stderr, "fishtank-pose-send: cannot send to %s:%d: %s\n", o.host.c_str(),
                         o.port, std::strerror(error));
        throw EarlyEnd{1};
    };
    auto send = [&](const void* bytes, std::size_t size) {
        if (!socket.send(bytes, size)) stop(errno);
    };
    for (std::size_t i = 0;; ++i) {
        double t;  // seconds since the start at which pose i goes out
        HeadPose pose;
        if (!trace.empty()) {
            if (i >= trace.size()) break;
            t = trace[i].time;
            pose = trace[i].pose;
        } else {
            t = o.rate > 0 ? static_cast<double>(i) / o.rate : monotonicSeconds() - start;
            pose = poseAt(o, t);
        }
        // Time is up when the next pose is due after it, or when sending fell behind it.
        if (t >= seconds || monotonicSeconds() - start >= seconds) break;
        std::this_thread::sleep_until(
            std::chrono::steady_clock::now() +
            std::chrono::duration<double>(start + t - monotonicSeconds()));
        if (o.stamp) pose.roll = monotonicSeconds();
        unsigned char datagram[48];
        writePoseDatagram(pose, datagram);
        send(datagram, sizeof datagram);
        ++sent;
        for (long g = 0; g < o.garbage; ++g, ++garbage) {
            auto bad = garbageDatagram(garbage);
            send(bad.data(), bad.size());
        }
    }
    // A refusal of the last datagrams comes back a moment after them.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (int error = socket.pendingError()) stop(error);
    std::fprintf(stderr, "fishtank-pose-send: sent %ld poses and %ld bad datagrams\n", sent,
                 garbage);
    return 0;
} catch (const EarlyEnd& end) {
    return end.status;
}
