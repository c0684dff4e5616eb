// Sends head poses to fishtank-track as a head tracker would, for tests, demonstrations,
// benchmarks and checking a set-up without a tracker:
//   fishtank-pose-send --port N [options]   (see --help)
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/CommandLine.h"
#include "model/HeadPose.h"
#include "model/PoseTrace.h"
#include "platform/Date.h"
#include "platform/UdpSocket.h"

namespace {
const char usage[] =
    "usage: fishtank-pose-send --port N [--host HOST] [--rate HZ] [--seconds S]\n"
    "                          [--pose X,Y,Z | --path sine|step | --trace FILE]\n"
    "                          [--stamp] [--garbage N]\n"
    "  Sends head poses as opentrack \"UDP over network\" datagrams to HOST:N, as a\n"
    "  head tracker does. HOST is a name or an IPv4 address (default 127.0.0.1).\n"
    "  --pose X,Y,Z   a still head, offsets in centimetres (default 0,0,0)\n"
    "  --path sine    x swings 20 cm either way, once every 4 s\n"
    "  --path step    x 0, then 10 cm from half the time on\n"
    "  --trace FILE   replays a fishtank-track --record trace at its own pace (pauses\n"
    "                 longer than 5 s are played as 5 s)\n"
    "  --rate HZ      poses a second (default 250; 0: as fast as it can)\n"
    "  --seconds S    how long (default 5; a trace lasts as long as it does unless\n"
    "                 given)\n"
    "  --stamp        puts each pose's send time (monotonic seconds) in its roll\n"
    "                 angle\n"
    "  --garbage N    after each pose, N datagrams a receiver must drop\n"
    "  Ends with status 1 when nobody listens on HOST:N.\n";

struct Options {
    int port = -1;
    std::string host = "127.0.0.1";
    double rate = 250, seconds = 5;
    bool secondsGiven = false, rateGiven = false;
    int motions = 0;  // of --pose, --path and --trace given
    HeadPose still;
    std::string path = "still", trace;
    bool stamp = false;
    long garbage = 0;
};

[[noreturn]] void fail(const std::string& message) {
    failUsage("fishtank-pose-send", message);
}

double number(const std::string& option, const char* value, double lowest, double highest,
              bool whole = false) {
    auto fits = [&](double n) {
        return n >= lowest && n <= highest && (!whole || n == std::floor(n));
    };
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "a %s from %g to %g", whole ? "whole number" : "number",
                  lowest, highest);
    return readNumber("fishtank-pose-send", option, value, fits, wanted);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--stamp") {
            o.stamp = true;
            continue;
        }
        const char* value = optionValue("fishtank-pose-send", usage, argc, argv, i,
                                        {"--port", "--host", "--rate", "--seconds", "--garbage",
                                         "--trace", "--path", "--pose"});
        if (arg == "--port")
            o.port = static_cast<int>(number(arg, value, 1, 65535, true));
        else if (arg == "--host")
            o.host = value;
        else if (arg == "--rate") {
            o.rate = number(arg, value, 0, 1e6);
            o.rateGiven = true;
        } else if (arg == "--seconds") {
            o.seconds = number(arg, value, 0, 1e6);
            o.secondsGiven = true;
        } else if (arg == "--garbage")
            o.garbage = static_cast<long>(number(arg, value, 0, 1e6, true));
        else if (arg == "--trace") {
            if (*value == '\0') fail("--trace needs a file name");
            o.trace = value;
        } else if (arg == "--path") {
            o.path = value;
            if (o.path != "sine" && o.path != "step") fail("--path wants sine or step");
        } else {
            double xyz[3];
            if (!readList(value, ',', xyz, 3)) fail("--pose wants X,Y,Z");
            o.still.x = xyz[0], o.still.y = xyz[1], o.still.z = xyz[2];
        }
        o.motions += arg == "--trace" || arg == "--path" || arg == "--pose";
    }
    if (o.port < 0) fail("--port is needed (see --help)");
    if (o.motions > 1) fail("--pose, --path and --trace each give the head's motion: give one");
    if (o.rateGiven && !o.trace.empty())
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

int main(int argc, char** argv) {
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
        std::exit(1);
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
}
