// Sends head poses to fishtank-track as a head tracker would, for tests, demonstrations,
// benchmarks and checking a set-up without a tracker:
//   fishtank-pose-send --port N [options]   (see --help)
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
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
    "usage: fishtank-pose-send --port N [--host ADDR] [--rate HZ] [--seconds S]\n"
    "                          [--pose X,Y,Z | --path sine|step | --trace FILE]\n"
    "                          [--stamp] [--garbage N]\n"
    "  Sends head poses as opentrack \"UDP over network\" datagrams to ADDR:N\n"
    "  (default 127.0.0.1), as a head tracker does.\n"
    "  --pose X,Y,Z   a still head, offsets in centimetres (default 0,0,0)\n"
    "  --path sine    x swings 20 cm either way, once every 4 s\n"
    "  --path step    x 0, then 10 cm from half the time on\n"
    "  --trace FILE   replays a fishtank-track --record trace at its own pace\n"
    "  --rate HZ      poses a second (default 250; 0: as fast as it can)\n"
    "  --seconds S    how long (default 5; a trace lasts as long as it does)\n"
    "  --stamp        puts each pose's send time (monotonic seconds) in its roll angle\n"
    "  --garbage N    after each pose, N datagrams a receiver must drop\n";

struct Options {
    int port = -1;
    std::string host = "127.0.0.1";
    double rate = 250, seconds = 5;
    HeadPose still;
    std::string path = "still", trace;
    bool stamp = false;
    long garbage = 0;
};

[[noreturn]] void fail(const std::string& message) {
    failUsage("fishtank-pose-send", message);
}

double number(const std::string& option, const char* value, double lowest, double highest) {
    auto fits = [&](double n) { return n >= lowest && n <= highest; };
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "a number from %g to %g", lowest, highest);
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
            o.port = static_cast<int>(number(arg, value, 1, 65535));
        else if (arg == "--host")
            o.host = value;
        else if (arg == "--rate")
            o.rate = number(arg, value, 0, 1e6);
        else if (arg == "--seconds")
            o.seconds = number(arg, value, 0, 1e6);
        else if (arg == "--garbage")
            o.garbage = static_cast<long>(number(arg, value, 0, 1e6));
        else if (arg == "--trace")
            o.trace = value;
        else if (arg == "--path") {
            o.path = value;
            if (o.path != "sine" && o.path != "step") fail("--path wants sine or step");
        } else if (arg == "--pose") {
            double xyz[3];
            auto toDouble = [](const char* s, char** end) { return std::strtod(s, end); };
            if (!readList(value, ',', xyz, 3, toDouble)) fail("--pose wants X,Y,Z");
            o.still.x = xyz[0], o.still.y = xyz[1], o.still.z = xyz[2];
        }
    }
    if (o.port < 0) fail("--port is needed (see --help)");
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
        trace = readPoseTrace(o.trace, error);
        if (trace.empty()) fail(error);
    }
    UdpSocket socket("0.0.0.0", 0);
    const double start = monotonicSeconds();
    long sent = 0, garbage = 0;
    for (std::size_t i = 0;; ++i) {
        double t;  // seconds since the start at which pose i goes out
        HeadPose pose;
        if (!trace.empty()) {
            if (i >= trace.size()) break;
            t = trace[i].time - trace.front().time;
            pose = trace[i].pose;
        } else {
            t = o.rate > 0 ? static_cast<double>(i) / o.rate : monotonicSeconds() - start;
            if (t >= o.seconds) break;
            pose = poseAt(o, t);
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(start + t - monotonicSeconds()));
        if (o.stamp) pose.roll = monotonicSeconds();
        unsigned char datagram[48];
        writePoseDatagram(pose, datagram);
        if (!socket.send(o.host, o.port, datagram, sizeof datagram)) {
            std::fprintf(stderr, "fishtank-pose-send: cannot send to %s:%d: %s\n", o.host.c_str(),
                         o.port, std::strerror(errno));
            return 1;
        }
        ++sent;
        for (long g = 0; g < o.garbage; ++g, ++garbage) {
            auto bad = garbageDatagram(garbage);
            socket.send(o.host, o.port, bad.data(), bad.size());
        }
    }
    std::fprintf(stderr, "fishtank-pose-send: sent %ld poses and %ld bad datagrams\n", sent,
                 garbage);
    return 0;
}
