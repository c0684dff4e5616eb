// Measures the head's motion filter and its prediction on the camera's own poses of the
// tests' synthetic videos (tests/camera/face_video.cpp), followed in real time:
//   filter-bench STILL PATH       the still face's raw noise; then for each way of drawing
//                                 the head (raw, the One Euro filter as --smooth
//                                 2,0.3,1.5,0.3 sets it, the motion filter alone, the
//                                 filter with prediction) its RMS error on
//                                 the moving path and its jitter from picture to picture on
//                                 the still face; the distance also against the camera's
//                                 own, which errs with the head's place sideways
//   filter-bench tune STILL PATH  the filter with prediction for other tunings
//   filter-bench records REFRESH STILL-POSES STILL-PICTURES PATH-POSES PATH-PICTURES
//                                 the same measures of the program itself, from the records
//                                 it wrote (--record, --record-frames) following the two
//                                 videos on a display of REFRESH Hz: the head each picture
//                                 drew, against the truth when it was seen; and how many
//                                 pictures a second it drew
// The display's model: a picture every 1/60 s, at four phases against the camera's frames,
// draws the newest pose ready by then, predicted to when it is seen: drawing and the swap
// take 2 ms, then half a refresh until the scan-out reaches the middle of the screen. And a
// picture per pose only, drawn as soon as its pose is ready.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "view/PoseToEye.h"
#include "model/Durations.h"
#include "model/MotionFilter.h"
#include "model/OneEuroFilter.h"
#include "tests/camera/SyntheticCamera.h"

namespace {
constexpr double refresh = 1.0 / 60.0;
constexpr double seenAfter = 0.002 + refresh / 2;  // from the start of drawing

// Times in seconds of the video: `time` when its frame was due (for a file, the frame's
// exposure), `ready` when its pose had been made.
struct Pose {
    double time, ready;
    HeadPose raw;
};

// Every pose the camera's pipeline makes of the video, played in real time.
std::vector<Pose> follow(const char* path) {
    std::vector<Pose> poses;
    double start = 0.0;  // the video's clock starts as its first frame is read
    followVideo(path, 60.0, [&](const VideoFrame& frame, const FaceTrack& track, double made) {
        if (frame.number == 0) start = frame.device.readTime;
        if (track.outcome == FaceTrack::Outcome::posed)
            poses.push_back({static_cast<double>(frame.number) / SyntheticCamera::framesPerSecond,
                             made - start, track.pose.pose});
    });
    return poses;
}

struct Picture {
    std::size_t pose;  // the newest pose ready when drawn
    double seen;
};

// A picture every refresh from `phase` refreshes into the video.
std::vector<Picture> displayPictures(const std::vector<Pose>& poses, double phase) {
    std::vector<Picture> pictures;
    std::size_t ready = 0;
    for (double drawn = phase * refresh; drawn < poses.back().ready + refresh; drawn += refresh) {
        while (ready < poses.size() && poses[ready].ready <= drawn) ++ready;
        if (ready > 0) pictures.push_back({ready - 1, drawn + seenAfter});
    }
    return pictures;
}

std::vector<Picture> picturePerPose(const std::vector<Pose>& poses) {
    std::vector<Picture> pictures;
    for (std::size_t i = 0; i < poses.size(); ++i)
        pictures.push_back({i, poses[i].ready + seenAfter});
    return pictures;
}

enum class Way { raw, oneEuro, filtered, predicted };
const char* const wayNames[] = {"raw", "One Euro", "filter alone", "filter, predicted"};

struct Tuning {
    MotionNoise sideways = cameraSidewaysMotion, distance = cameraDistanceMotion;
};

// The camera's One Euro settings as --smooth 2,0.3,1.5,0.3 gives them.
constexpr Smoothing oneEuroSideways{2.0, 0.3}, oneEuroDistance{1.5, 0.3};

// The head each picture shows.
std::vector<HeadPose> drawn(const std::vector<Pose>& poses, const std::vector<Picture>& pictures,
                            Way way, Tuning tuning) {
    HeadPredictor predictor(tuning.sideways, tuning.distance);
    // The One Euro filter, as the program runs it: at each pose's arrival.
    OneEuroFilter x(oneEuroSideways.minCutoff, oneEuroSideways.beta),
        y(oneEuroSideways.minCutoff, oneEuroSideways.beta),
        z(oneEuroDistance.minCutoff, oneEuroDistance.beta);
    HeadPose smoothed;
    std::vector<HeadPose> heads;
    std::size_t taken = 0;
    for (const Picture& picture : pictures) {
        for (; taken <= picture.pose; ++taken) {
            const Pose& p = poses[taken];
            predictor.add(p.raw, p.time);
            smoothed = {x.filter(p.raw.x, p.ready), y.filter(p.raw.y, p.ready),
                        z.filter(p.raw.z, p.ready)};
        }
        switch (way) {
            case Way::raw:
                heads.push_back(poses[picture.pose].raw);
                break;
            case Way::oneEuro:
                heads.push_back(smoothed);
                break;
            case Way::filtered:
                heads.push_back(predictor.predict(predictor.time()));
                break;
            case Way::predicted:
                heads.push_back(predictor.predict(picture.seen));
                break;
        }
    }
    return heads;
}

// The path video's head `t` seconds into it: at rest for its first second.
HeadPose truth(double t) {
    return t < 1.0 ? HeadPose{} : SyntheticCamera::path(t - 1.0);
}

// The camera's distance errs with the head's place sideways (the fit to a generic face):
// z measured - z true = base + perX x + perY y, fitted by least squares to the raw poses
// on the path. No filter of the distance alone can take that out.
struct CrossTalk {
    double base, perX, perY;
    double z(const HeadPose& head) const { return head.z + base + perX * head.x + perY * head.y; }
};

double determinant(const double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

CrossTalk fitCrossTalk(const std::vector<Pose>& moving) {
    double normal[3][3] = {}, right[3] = {};
    for (const Pose& p : moving) {
        if (p.time < 1.5) continue;
        HeadPose head = truth(p.time);
        double row[3] = {1.0, head.x, head.y};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) normal[i][j] += row[i] * row[j];
            right[i] += row[i] * (p.raw.z - head.z);
        }
    }
    double solved[3];
    for (int k = 0; k < 3; ++k) {  // Cramer's rule
        double replaced[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) replaced[i][j] = j == k ? right[i] : normal[i][j];
        solved[k] = determinant(replaced) / determinant(normal);
    }
    return {solved[0], solved[1], solved[2]};
}

double HeadPose::*const axes[] = {&HeadPose::x, &HeadPose::y, &HeadPose::z};

// RMS error on the moving path, x, y, z and z against the camera's own distance (the truth
// with the cross-talk); jitter from picture to picture on the still face, x, y, z.
struct Measures {
    double path[4], jitter[3];
};

// The RMS error of `heads`, each against the truth at its time in `times`, from 1.5 s on
// (centring and the filters' start): x, y, z, and z against the camera's own distance.
void pathError(const std::vector<HeadPose>& heads, const std::vector<double>& times,
               CrossTalk crossTalk, double (&error)[4]) {
    double squares[4] = {};
    int counted = 0;
    for (std::size_t i = 0; i < heads.size(); ++i) {
        if (times[i] < 1.5) continue;
        HeadPose head = truth(times[i]);
        for (int a = 0; a < 3; ++a) squares[a] += std::pow(heads[i].*axes[a] - head.*axes[a], 2);
        squares[3] += std::pow(heads[i].z - crossTalk.z(head), 2);
        ++counted;
    }
    for (int i = 0; i < 4; ++i) error[i] = std::sqrt(squares[i] / counted);
}

std::vector<double> seenTimes(const std::vector<Picture>& pictures) {
    std::vector<double> times;
    for (const Picture& p : pictures) times.push_back(p.seen);
    return times;
}

Measures measure(const std::vector<Pose>& still, const std::vector<Picture>& stillPictures,
                 const std::vector<Pose>& moving, const std::vector<Picture>& movingPictures,
                 Way way, Tuning tuning, CrossTalk crossTalk) {
    Measures m{};
    pathError(drawn(moving, movingPictures, way, tuning), seenTimes(movingPictures), crossTalk,
              m.path);
    std::vector<HeadPose> held = drawn(still, stillPictures, way, tuning);
    for (int a = 0; a < 3; ++a) {
        std::vector<double> values;  // without the filters' first half second
        for (std::size_t i = 0; i < held.size(); ++i)
            if (stillPictures[i].seen >= stillPictures[0].seen + 0.5)
                values.push_back(held[i].*axes[a]);
        m.jitter[a] = frameToFrameJitter(values);
    }
    return m;
}

constexpr double phases[] = {0.0, 0.25, 0.5, 0.75};

// At the display's pace: each measure the root mean square over the phases.
Measures displayed(const std::vector<Pose>& still, const std::vector<Pose>& moving, Way way,
                   Tuning tuning, CrossTalk crossTalk) {
    Measures sum{};
    for (double phase : phases) {
        Measures m = measure(still, displayPictures(still, phase), moving,
                             displayPictures(moving, phase), way, tuning, crossTalk);
        for (int i = 0; i < 4; ++i) sum.path[i] += m.path[i] * m.path[i] / std::size(phases);
        for (int a = 0; a < 3; ++a) sum.jitter[a] += m.jitter[a] * m.jitter[a] / std::size(phases);
    }
    for (double& value : sum.path) value = std::sqrt(value);
    for (double& value : sum.jitter) value = std::sqrt(value);
    return sum;
}

Measures perPose(const std::vector<Pose>& still, const std::vector<Pose>& moving, Way way,
                 Tuning tuning, CrossTalk crossTalk) {
    return measure(still, picturePerPose(still), moving, picturePerPose(moving), way, tuning,
                   crossTalk);
}

// The raw poses' jitter from pose to pose on the still face, per axis.
struct RawJitter {
    double jitter[3];
};

// Tells what the poses are: the still face's raw noise (after its first half second), how
// the distance errs with the place, and how old a pose is when the display shows it.
RawJitter describe(const std::vector<Pose>& still, const std::vector<Pose>& moving,
                   CrossTalk crossTalk) {
    RawJitter noise{};
    for (int a = 0; a < 3; ++a) {
        std::vector<double> values;
        for (const Pose& p : still)
            if (p.time >= still[0].time + 0.5) values.push_back(p.raw.*axes[a]);
        noise.jitter[a] = frameToFrameJitter(values);
        std::printf("still face, raw %c: deviation %.4f cm, jitter from pose to pose %.4f cm\n",
                    "xyz"[a], deviation(values), noise.jitter[a]);
    }
    std::printf("path, raw z - true z = %.3f + %.4f x + %.4f y (cm, least squares)\n",
                crossTalk.base, crossTalk.perX, crossTalk.perY);
    Durations ages;
    for (double phase : phases)
        for (const Picture& picture : displayPictures(moving, phase))
            ages.add(picture.seen - moving[picture.pose].time);
    std::printf(
        "display: poses seen %.1f / %.1f / %.1f ms after their frame (min / median / max)\n",
        ages.quantile(0) * 1e3, ages.quantile(0.5) * 1e3, ages.quantile(1) * 1e3);
    return noise;
}

void table(const std::vector<Pose>& still, const std::vector<Pose>& moving) {
    CrossTalk crossTalk = fitCrossTalk(moving);
    describe(still, moving, crossTalk);
    std::printf("%-28s  path RMS x, y, z, z own (cm)      still jitter x, y, z (cm)\n", "");
    for (bool display : {true, false})
        for (Way way : {Way::raw, Way::oneEuro, Way::filtered, Way::predicted}) {
            Measures m = display ? displayed(still, moving, way, Tuning{}, crossTalk)
                                 : perPose(still, moving, way, Tuning{}, crossTalk);
            std::printf("%-8s %-19s: %7.4f %7.4f %7.4f %7.4f   %7.5f %7.5f %7.5f\n",
                        display ? "display" : "per pose", wayNames[static_cast<int>(way)],
                        m.path[0], m.path[1], m.path[2], m.path[3], m.jitter[0], m.jitter[1],
                        m.jitter[2]);
        }
}

// The sideways tuning takes each candidate acceleration (x and y tell), the distance's each
// measured spread and jerk (z against the camera's own distance tells); the other axis
// keeps the camera's tuning.
void tune(const std::vector<Pose>& still, const std::vector<Pose>& moving) {
    CrossTalk crossTalk = fitCrossTalk(moving);
    RawJitter raw = describe(still, moving, crossTalk);
    std::printf("the filter with prediction; jitter as a share of the raw poses'\n");
    auto row = [&](Tuning tuning, double first, double second) {
        Measures d = displayed(still, moving, Way::predicted, tuning, crossTalk);
        Measures p = perPose(still, moving, Way::predicted, tuning, crossTalk);
        std::printf("%5.2f    %5.2f      %6.3f %6.3f %6.3f              %4.2f %4.2f %4.2f   "
                    "          %4.2f %4.2f %4.2f\n",
                    first, second, d.path[0], d.path[1], d.path[3], d.jitter[0] / raw.jitter[0],
                    d.jitter[1] / raw.jitter[1], d.jitter[2] / raw.jitter[2],
                    p.jitter[0] / raw.jitter[0], p.jitter[1] / raw.jitter[1],
                    p.jitter[2] / raw.jitter[2]);
    };
    const char* columns =
        "display: path x, y, z own (cm)  jitter x, y, z   per pose: jitter x, y, z";
    std::printf("sideways:\nat rest  per speed   %s\n", columns);
    for (double atRest : {0.05, 0.1, 0.2, 0.5, 1.0, 1.5, 2.0, 3.0})
        for (double perSpeed : {0.0, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0}) {
            Tuning tuning;
            tuning.sideways.acceleration = atRest;
            tuning.sideways.accelerationPerSpeed = perSpeed;
            row(tuning, atRest, perSpeed);
        }
    std::printf("distance:\nmeasured jerk        %s\n", columns);
    for (double measured : {0.12, 0.15, 0.2, 0.3})
        for (double jerk : {3.0, 6.0, 8.0, 10.0, 15.0, 20.0, 40.0}) {
            Tuning tuning;
            tuning.distance.measurement = measured;
            tuning.distance.jerk = jerk;
            row(tuning, measured, jerk);
        }
}
}  // namespace

// The numbers of each line of a record the program wrote, its header lines left out.
std::vector<std::vector<double>> readRecord(const char* path) {
    std::vector<std::vector<double>> lines;
    std::FILE* file = std::fopen(path, "r");
    if (!file) return lines;
    char text[512];
    while (std::fgets(text, sizeof text, file)) {
        if (!std::isdigit(static_cast<unsigned char>(text[0]))) continue;
        std::vector<double> numbers;
        for (char* at = text; *at;) {
            char* end;
            numbers.push_back(std::strtod(at, &end));
            at = *end == ',' ? end + 1 : end + std::strlen(end);
        }
        lines.push_back(numbers);
    }
    std::fclose(file);
    return lines;
}

// The program's poses of a video and the heads its pictures drew, on the video's clock:
// each pose's picture was taken (for a file, due) at start + n / 30 s, and the first
// pose's frame number is the one that puts the poses nearest the path. A picture is seen
// half a refresh after its swap.
struct Recorded {
    std::vector<Pose> poses;
    std::vector<Picture> pictures;
    std::vector<HeadPose> heads;
    double picturesPerSecond = 0;
};

Recorded recorded(const char* posesPath, const char* picturesPath, double refresh, bool path) {
    Recorded r;
    const auto poses = readRecord(posesPath), pictures = readRecord(picturesPath);
    auto ofSize = [](const std::vector<std::vector<double>>& lines, std::size_t size) {
        for (const auto& line : lines)
            if (line.size() != size) return false;
        return true;
    };
    if (poses.size() < 60 || pictures.size() < 60 || !ofSize(poses, 8) || !ofSize(pictures, 5))
        return r;
    const double first = poses[0][7], period = 1.0 / SyntheticCamera::framesPerSecond;
    double start = first, best = INFINITY;
    for (int number = 0; path && number < 120; ++number) {
        double squares = 0;
        for (const auto& p : poses) squares += std::pow(p[1] - truth(p[7] - first + number * period).x, 2);
        if (squares < best) best = squares, start = first - number * period;
    }
    for (const auto& p : poses) r.poses.push_back({p[7] - start, p[0] - start, {p[1], p[2], p[3]}});
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        r.pictures.push_back({i, pictures[i][0] + 0.5 / refresh - start});
        r.heads.push_back({pictures[i][1], pictures[i][2], pictures[i][3]});
    }
    r.picturesPerSecond = (pictures.size() - 1) / (pictures.back()[0] - pictures.front()[0]);
    return r;
}

int records(double refresh, char** paths) {
    Recorded still = recorded(paths[0], paths[1], refresh, false);
    Recorded moving = recorded(paths[2], paths[3], refresh, true);
    if (still.poses.empty() || moving.poses.empty()) {
        std::fputs("filter-bench: the records hold too few poses or pictures\n", stderr);
        return 1;
    }
    const CrossTalk crossTalk = fitCrossTalk(moving.poses);
    double drawnError[4], rawError[4];
    pathError(moving.heads, seenTimes(moving.pictures), crossTalk, drawnError);
    std::printf("program: path RMS x, y, z, z own (cm): %.4f %.4f %.4f %.4f\n", drawnError[0],
                drawnError[1], drawnError[2], drawnError[3]);
    // The same run's raw poses at their own frames' time: what the drawing is held to.
    std::vector<HeadPose> raw;
    std::vector<double> taken;
    for (const Pose& p : moving.poses) raw.push_back(p.raw), taken.push_back(p.time);
    pathError(raw, taken, crossTalk, rawError);
    std::printf("program: raw poses' path RMS x, y, z, z own (cm): %.4f %.4f %.4f %.4f\n",
                rawError[0], rawError[1], rawError[2], rawError[3]);
    std::printf("program: still jitter x, y, z drawn, raw (cm):");
    for (bool drawn : {true, false})
        for (int a = 0; a < 3; ++a) {
            std::vector<double> values;  // without the first half second
            if (drawn) {
                for (std::size_t i = 0; i < still.heads.size(); ++i)
                    if (still.pictures[i].seen >= still.pictures[0].seen + 0.5)
                        values.push_back(still.heads[i].*axes[a]);
            } else {
                for (const Pose& p : still.poses)
                    if (p.time >= still.poses[0].time + 0.5) values.push_back(p.raw.*axes[a]);
            }
            std::printf(" %.5f", frameToFrameJitter(values));
        }
    std::printf("\nprogram: pictures a second while following: %.1f\n",
                moving.picturesPerSecond);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 7 && std::strcmp(argv[1], "records") == 0)
        return records(std::atof(argv[2]), argv + 3);
    bool tuning = argc == 4 && std::strcmp(argv[1], "tune") == 0;
    if (argc != 3 && !tuning) {
        std::fputs(
            "usage: filter-bench [tune] STILL-VIDEO PATH-VIDEO\n"
            "       filter-bench records REFRESH STILL-POSES STILL-PICTURES PATH-POSES "
            "PATH-PICTURES\n",
            stderr);
        return 2;
    }
    std::vector<Pose> still = follow(argv[argc - 2]), moving = follow(argv[argc - 1]);
    if (still.size() < 60 || moving.size() < 60) {
        std::fputs("filter-bench: the face was not followed in the videos\n", stderr);
        return 1;
    }
    if (tuning)
        tune(still, moving);
    else
        table(still, moving);
    return 0;
}
