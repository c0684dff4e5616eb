#include "tests/camera/SyntheticCamera.h"

#include <stdio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <memory>
#include <stdexcept>

#include "camera/FollowFrames.h"
#include "platform/Date.h"

#ifndef FISHTANK_TEST_DATA
#error "FISHTANK_TEST_DATA names the folder of the face pictures"
#endif

namespace {
constexpr double eyesApart = 6.3;  // cm between the eyes' centres

// The generic relief the face pictures are laid on, in cm behind the eyes' centres at
// (x, y) cm from their midpoint (x to the picture's right, y down): a head's curve 16 cm
// across and 22 cm high, and a nose standing 2.4 cm out at its tip, 3.6 cm below the eyes,
// its base 4.6 cm below them (where both faces' landmarks put it).
double relief(double x, double y) {
    auto head = [](double x, double y) {
        double inside = 1 - std::pow(x / 8, 2) - std::pow((y - 2) / 11, 2);
        return 8 * (1 - std::sqrt(std::max(0.0, inside)));
    };
    double ridge = y <= 3.6 ? std::clamp((y + 0.5) / 4.1, 0.0, 1.0)
                            : std::max(0.0, 1 - (y - 3.6) / 0.8);
    return head(x, y) - head(eyesApart / 2, 0) - 2.4 * std::exp(-std::pow(x / 1.1, 2)) * ridge;
}

// Turns by the head's angles: r = Ry(yaw) Rx(-pitch) Rz(-roll) about the camera's axes (x
// right, y down, z ahead), as model/FaceGeometry's anglesOf() reads them.
cv::Matx33d turnOf(const HeadPose& head) {
    auto rad = [](double degrees) { return degrees * std::numbers::pi / 180; };
    double a = rad(head.yaw), b = rad(-head.pitch), c = rad(-head.roll);
    cv::Matx33d ry(std::cos(a), 0, std::sin(a), 0, 1, 0, -std::sin(a), 0, std::cos(a));
    cv::Matx33d rx(1, 0, 0, 0, std::cos(b), -std::sin(b), 0, std::sin(b), std::cos(b));
    cv::Matx33d rz(std::cos(c), -std::sin(c), 0, std::sin(c), std::cos(c), 0, 0, 0, 1);
    return ry * rx * rz;
}
}  // namespace

// A face picture and where its eyes are: their midpoint and their distance, in pixels, as
// the landmarks of dlib's model place them (measured once, by hand).
struct SyntheticCamera::Face {
    cv::Mat picture, mask;  // CV_32F
    cv::Point2d eyes;
    double eyesApart = 0;
};

SyntheticCamera::SyntheticCamera(int width, int height, double fieldOfView, unsigned seed,
                                 Room room)
    : width(width),
      height(height),
      room(room),
      focal(width / 2.0 / std::tan(fieldOfView / 2.0 * std::numbers::pi / 180.0)),
      faces(std::size(allTestFaces)),
      noise(seed) {
    // A room: a wall lit from above with broad shading, a fine grain of its own, and the
    // edges of shelves, doors and pictures.
    cv::RNG walls(seed + 1);
    cv::Mat shading(5, 7, CV_32F), grain(height, width, CV_32F);
    walls.fill(shading, cv::RNG::UNIFORM, 90, 170);
    cv::resize(shading, background, {width, height}, 0, 0, cv::INTER_CUBIC);
    for (int y = 0; y < height; ++y) background.row(y) += 40.0 * (0.5 - double(y) / height);
    walls.fill(grain, cv::RNG::NORMAL, 0, 6);
    cv::GaussianBlur(grain, grain, {0, 0}, 1.5);
    background += grain;
    for (int i = 0; i < 14; ++i) {
        cv::Point corner(walls.uniform(0, width), walls.uniform(0, height));
        cv::Size size(walls.uniform(width / 20, width / 4), walls.uniform(height / 20, height / 4));
        cv::rectangle(background, cv::Rect(corner, size), cv::Scalar(walls.uniform(20, 240)), 2);
    }
}

SyntheticCamera::~SyntheticCamera() = default;

const char* nameOf(TestFace face) {
    switch (face) {
        case TestFace::astronaut: return "astronaut";
        case TestFace::mirrored: return "astronaut mirrored";
        case TestFace::litFromSide: return "astronaut lit from one side";
        case TestFace::widerCrop: return "astronaut with more background";
        case TestFace::tighterCrop: return "astronaut with less background";
        case TestFace::halfResolution: return "astronaut at half resolution";
        case TestFace::hopper: return "Grace Hopper";
    }
    return "";
}

const char* nameOf(Room room) {
    switch (room) {
        case Room::clean: return "clean";
        case Room::dim: return "dim";
        case Room::blurred: return "blurred";
        case Room::compressed: return "compressed";
    }
    return "";
}

const SyntheticCamera::Face& SyntheticCamera::face(TestFace which) {
    Face& f = faces[static_cast<std::size_t>(which)];
    if (!f.picture.empty()) return f;
    auto read = [](const char* name) {
        cv::Mat picture = cv::imread(std::string(FISHTANK_TEST_DATA "/") + name, cv::IMREAD_GRAYSCALE);
        if (picture.empty()) throw std::runtime_error(std::string("cannot read ") + name);
        picture.convertTo(picture, CV_32F);
        return picture;
    };
    if (which == TestFace::hopper) {
        f = {read("hopper-face.png"), {}, {124.1, 80.8}, 82.8};
    } else if (which == TestFace::widerCrop) {
        f = {read("astronaut-wide.png"), {}, {135.0, 102.7}, 43.5};
    } else {
        f = {read("astronaut-face.png"), {}, {85.0, 92.8}, 43.4};
        if (which == TestFace::mirrored) {
            cv::flip(f.picture, f.picture, 1);
            f.eyes.x = f.picture.cols - 1 - f.eyes.x;
        } else if (which == TestFace::litFromSide) {
            for (int x = 0; x < f.picture.cols; ++x)
                f.picture.col(x) *= 0.5 + 0.8 * x / (f.picture.cols - 1.0);
            cv::min(f.picture, 255, f.picture);
        } else if (which == TestFace::tighterCrop) {
            f.picture = f.picture(cv::Rect(25, 40, 130, 160)).clone();
            f.eyes -= cv::Point2d(25, 40);
        } else if (which == TestFace::halfResolution) {
            cv::resize(f.picture, f.picture, {}, 0.5, 0.5, cv::INTER_AREA);
            f.eyes = (f.eyes + cv::Point2d(0.5, 0.5)) * 0.5 - cv::Point2d(0.5, 0.5);
            f.eyesApart /= 2;
        }
    }
    // An oval with a soft edge: a head against the room, no square picture.
    f.mask.create(f.picture.size(), CV_32F);
    for (int y = 0; y < f.picture.rows; ++y)
        for (int x = 0; x < f.picture.cols; ++x) {
            double dx = (x - f.picture.cols / 2.0) / (f.picture.cols / 2.0);
            double dy = (y - f.picture.rows / 2.0) / (f.picture.rows / 2.0);
            f.mask.at<float>(y, x) =
                static_cast<float>(std::clamp((1 - std::hypot(dx, dy)) / 0.15, 0.0, 1.0));
        }
    return f;
}

void SyntheticCamera::draw(cv::Mat& frame, const DrawnHead& head) {
    const Face& f = face(head.face);
    const double perCm = f.eyesApart / eyesApart;
    const cv::Matx33d r = turnOf(head.place);
    // The eyes' midpoint in the camera's frame: the user's right is the picture's left.
    const cv::Vec3d at(-head.place.x, -head.place.y, head.place.z);
    const double cx = width / 2.0, cy = height / 2.0;
    // The pixels the face can cover: its picture's corners on the relief's plane, with room
    // for the nose.
    std::vector<cv::Point2f> corners;
    for (double u : {0.0, double(f.picture.cols)})
        for (double v : {0.0, double(f.picture.rows)}) {
            cv::Vec3d p = r * cv::Vec3d((u - f.eyes.x) / perCm, (v - f.eyes.y) / perCm, 0) + at;
            if (p[2] <= 1) return;  // at or behind the camera
            corners.emplace_back(float(cx + focal * p[0] / p[2]), float(cy + focal * p[1] / p[2]));
        }
    cv::Rect area = cv::boundingRect(corners);
    area = cv::Rect(area.x - area.width / 8, area.y - area.height / 8, area.width * 5 / 4,
                    area.height * 5 / 4) &
           cv::Rect(0, 0, width, height);
    if (area.empty()) return;
    // Each pixel's ray meets the relief where, on the face's plane moved to the relief's
    // depth found so far, it meets that plane: four rounds settle it.
    const double lowerThird = 4.6;  // cm below the eyes: the nose's base
    cv::Mat mapX(area.size(), CV_32F), mapY(area.size(), CV_32F);
    const cv::Vec3d across(r(0, 0), r(1, 0), r(2, 0)), down(r(0, 1), r(1, 1), r(2, 1)),
        out(r(0, 2), r(1, 2), r(2, 2));
    for (int j = 0; j < area.height; ++j)
        for (int i = 0; i < area.width; ++i) {
            const cv::Vec3d ray((area.x + i - cx) / focal, (area.y + j - cy) / focal, 1);
            cv::Matx33d system(across[0], down[0], -ray[0], across[1], down[1], -ray[1],
                               across[2], down[2], -ray[2]);
            cv::Matx33d inverse = system.inv();
            double x = 0, y = 0;
            for (int round = 0; round < 4; ++round) {
                cv::Vec3d solved = inverse * (-(at + out * relief(x, y)));
                x = solved[0], y = solved[1];
            }
            if (y > lowerThird) y = lowerThird + (y - lowerThird) / (1 + head.speech);
            mapX.at<float>(j, i) = float(f.eyes.x + x * perCm);
            mapY.at<float>(j, i) = float(f.eyes.y + y * perCm);
        }
    cv::Mat drawn, weight;
    cv::remap(f.picture, drawn, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, 0);
    cv::remap(f.mask, weight, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, 0);
    cv::Mat region = frame(area);
    region = region.mul(1 - weight) + drawn.mul(weight);
}

cv::Mat SyntheticCamera::scene(const std::vector<DrawnHead>& heads) {
    cv::Mat frame = background.clone();
    std::vector<DrawnHead> farFirst = heads;
    std::sort(farFirst.begin(), farFirst.end(), [](const DrawnHead& a, const DrawnHead& b) {
        return a.place.z > b.place.z;
    });
    for (const DrawnHead& head : farFirst) draw(frame, head);
    return frame;
}

// The light of a scene made a picture, its flicker and the sensor's noise added.
cv::Mat SyntheticCamera::exposed(cv::Mat light, double t) {
    light *= 1.0 + 0.04 * std::sin(2 * std::numbers::pi * t / 2.5);
    cv::Mat grain(light.size(), CV_32F);
    noise.fill(grain, cv::RNG::NORMAL, 0, 1);
    if (room == Room::dim) {
        // In electrons: 14 a grey level in a lit room, where the shot noise at mid-grey is
        // the 3 levels of the clean pictures; a fifth of them, read with 6 electrons of
        // noise, then amplified to half the lit picture's levels.
        constexpr double perLevel = 14.0, readNoise = 6.0, gain = 2.5;
        cv::Mat charge = cv::max(light, 0.0) * (perLevel / 5), spread;
        cv::sqrt(charge + readNoise * readNoise, spread);
        light = (charge + grain.mul(spread)) * (gain / perLevel);
    } else {
        light += grain * 3;
    }
    cv::Mat out;
    light.convertTo(out, CV_8U);
    return out;
}

cv::Mat SyntheticCamera::picture(const std::vector<DrawnHead>& heads, double t) {
    return exposed(scene(heads), t);
}

cv::Mat SyntheticCamera::picture(const Heads& headsAt, double t) {
    if (room != Room::blurred) return picture(headsAt(t), t);
    constexpr int steps = 8;
    cv::Mat light(height, width, CV_32F, cv::Scalar(0));
    for (int i = 0; i < steps; ++i)
        light += scene(headsAt(t + ((i + 0.5) / steps - 0.5) / framesPerSecond)) / steps;
    return exposed(light, t);
}

cv::Mat SyntheticCamera::picture(const HeadPose& head, double t, bool withFace) {
    std::vector<DrawnHead> heads;
    if (withFace) heads.push_back({head});
    return picture(heads, t);
}

GreyImage SyntheticCamera::grey(const HeadPose& head, double t, bool withFace) {
    cv::Mat frame = picture(head, t, withFace);
    GreyImage image;
    image.width = frame.cols;
    image.height = frame.rows;
    image.pixels.assign(frame.datastart, frame.dataend);
    return image;
}

HeadPose SyntheticCamera::at(const HeadPose& offset) {
    HeadPose head = offset;
    head.x += neutral().x, head.y += neutral().y, head.z += neutral().z;
    return head;
}

double SyntheticCamera::speech(double t) {
    return 0.15 * std::sin(2 * std::numbers::pi * t / 0.4);
}

HeadPose SyntheticCamera::path(double t) {
    const double turn = 2 * std::numbers::pi;
    HeadPose offset;
    offset.x = 12 * std::sin(turn * t / 4);
    offset.y = 6 * std::sin(turn * t / 3);
    offset.z = 5 + 20 * std::sin(turn * t / 5 - std::asin(0.25));
    return offset;
}

bool SyntheticCamera::writeVideo(const std::string& path, int width, int height, double seconds,
                                 const Heads& headsAt, unsigned seed, int codec, Room room) {
    SyntheticCamera camera(width, height, 60.0, seed, room);
    const int frames = static_cast<int>(seconds * framesPerSecond);
    if (room == Room::compressed) {
        const std::string command =
            "ffmpeg -loglevel error -y -f rawvideo -pix_fmt gray -s " + std::to_string(width) +
            "x" + std::to_string(height) + " -r 30 -i - -c:v libx264 -crf 45 -pix_fmt yuv420p '" +
            path + "'";
        std::FILE* encoder = ::popen(command.c_str(), "w");
        if (!encoder) return false;
        bool written = true;
        for (int k = 0; k < frames && written; ++k) {
            cv::Mat picture = camera.picture(headsAt, k / framesPerSecond);
            written = std::fwrite(picture.data, picture.total(), 1, encoder) == 1;
        }
        return ::pclose(encoder) == 0 && written;
    }
    cv::VideoWriter video(path, cv::CAP_FFMPEG, codec, framesPerSecond, {width, height}, false);
    if (!video.isOpened()) return false;
    video.set(cv::VIDEOWRITER_PROP_QUALITY, 95);
    for (int k = 0; k < frames; ++k) video.write(camera.picture(headsAt, k / framesPerSecond));
    return true;
}

bool SyntheticCamera::writeVideo(const std::string& path, int width, int height, double seconds,
                                 const std::function<HeadPose(double)>& offsetAt, bool withFace) {
    return writeVideo(path, width, height, seconds, [&](double t) {
        return withFace ? std::vector<DrawnHead>{{at(offsetAt(t))}} : std::vector<DrawnHead>{};
    });
}

double deviation(const std::vector<double>& values) {
    double mean = 0, squares = 0;
    for (double v : values) mean += v / static_cast<double>(values.size());
    for (double v : values) squares += (v - mean) * (v - mean);
    return std::sqrt(squares / static_cast<double>(values.size()));
}

double frameToFrameJitter(const std::vector<double>& values) {
    std::vector<double> changes;
    for (std::size_t i = 1; i < values.size(); ++i) changes.push_back(values[i] - values[i - 1]);
    return deviation(changes) / std::sqrt(2.0);
}

void followVideo(const std::string& path, double distance, const EachFrameMade& each) {
    FaceTracker faces(60.0, distance);
    std::unique_ptr<VideoSource> video = openVideoSource(path, CameraSettings::keep);
    VideoFrame frame;
    followFrames(*video, faces, frame, [&](const VideoFrame& current, const FaceTrack& track) {
        each(current, track, monotonicSeconds());
        return true;
    });
}
