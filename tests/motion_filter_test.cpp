// The head's motion filter: predicting a moving head, taking a new face, holding a still
// one, and what real input does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "model/MotionFilter.h"

namespace {
constexpr double rate = 30.0;  // the camera's poses a second
constexpr MotionNoise tunings[] = {cameraSidewaysMotion, cameraDistanceMotion};

// The spread of the change from one value to the next, over √2: for noise new every value,
// its deviation.
double jitter(const std::vector<double>& values) {
    double sum = 0, squares = 0;
    for (std::size_t i = 1; i < values.size(); ++i) {
        double change = values[i] - values[i - 1];
        sum += change;
        squares += change * change;
    }
    double n = static_cast<double>(values.size() - 1), mean = sum / n;
    return std::sqrt((squares / n - mean * mean) / 2.0);
}

TEST(MotionFilter, AConstantVelocityIsPredictedWithinAMillimetre) {
    for (MotionNoise noise : tunings)
        for (double speed : {-30.0, 3.0, 20.0}) {  // cm/s
            MotionFilter filter(noise);
            auto place = [speed](double t) { return 4.0 + speed * t; };
            for (int i = 0; i < 60; ++i) {
                double t = i / rate;
                filter.add(place(t), t);
                if (t < 0.5) continue;  // settling
                for (double ahead : {0.02, 0.05, MotionFilter::maxHorizon})
                    EXPECT_NEAR(filter.predict(t + ahead), place(t + ahead), 0.1)
                        << speed << " cm/s, " << ahead << " s ahead";
                // Not beyond the horizon.
                EXPECT_NEAR(filter.predict(t + 1.0), filter.predict(t + MotionFilter::maxHorizon),
                            1e-9);
            }
        }
}

// The distance swaying as the tests' moving head's does (20 cm each way every 5 s), with
// the camera's noise: drawn 15 to 50 ms after its picture, it is no further off than the
// picture's own value is at its own time.
TEST(MotionFilter, ASwayingDistanceIsPredictedNoWorseThanMeasured) {
    std::mt19937 random(1);
    std::normal_distribution<double> measured(0.0, cameraDistanceMotion.measurement);
    auto place = [](double t) { return 20.0 * std::sin(2.0 * std::numbers::pi * t / 5.0); };
    MotionFilter filter(cameraDistanceMotion);
    double predictedSquares = 0, rawSquares = 0;
    for (int i = 0; i < 300; ++i) {
        double t = i / rate, noise = measured(random);
        filter.add(place(t) + noise, t);
        if (t < 1.0) continue;  // settling
        rawSquares += noise * noise;
        for (double ahead : {0.015, 0.035, 0.05})
            predictedSquares += std::pow(filter.predict(t + ahead) - place(t + ahead), 2) / 3.0;
    }
    EXPECT_LT(predictedSquares, rawSquares);
}

// A still head, then a step: a small one is followed as a movement, overshot by less than
// half of it as a picture is usually seen (33 ms on) and by less than all of it at the
// horizon; a large one is a new face, taken as it is.
TEST(MotionFilter, AStepIsNotOvershotAndANewFaceNotAtAll) {
    for (MotionNoise noise : tunings)
        for (double step : {0.05, 0.1, 0.3, 1.0, 3.0, 20.0}) {
            MotionFilter filter(noise);
            double soon = 0, far = 0;  // the most beyond the step
            for (int i = 0; i < 90; ++i) {
                double t = i / rate;
                filter.add(i < 30 ? 0.0 : step, t);
                soon = std::max(soon, filter.predict(t + 0.033) - step);
                far = std::max(far, filter.predict(t + MotionFilter::maxHorizon) - step);
            }
            EXPECT_LT(soon, step / 2) << step << " cm, noise " << noise.measurement;
            EXPECT_LT(far, step) << step << " cm, noise " << noise.measurement;
            if (step >= 3.0) {
                EXPECT_EQ(std::max(soon, far), 0.0) << step << " cm, noise " << noise.measurement;
            }
            EXPECT_NEAR(filter.position(), step, 0.001);
        }
    // A new face on one axis is one on all: the others' velocities are not carried over.
    HeadPredictor head(cameraSidewaysMotion, cameraDistanceMotion);
    for (int i = 0; i < 30; ++i) head.add({0, 0, 20.0 * i / rate}, i / rate);
    EXPECT_GT(head.predict(1.05).z, head.predict(head.time()).z + 0.5);
    head.add({15, 0, 20.0}, 1.0);
    EXPECT_EQ(head.predict(1.05).z, head.predict(head.time()).z);
}

// Against the camera's still noise: the filter leaves under a third of it, and the
// prediction adds nothing to the filter's own.
TEST(MotionFilter, PredictionAddsNoJitterToAStillHead) {
    std::mt19937 random(3);
    for (MotionNoise noise : tunings) {
        std::normal_distribution<double> measured(0.0, noise.measurement);
        MotionFilter filter(noise);
        std::vector<double> raw, filtered, predicted;
        for (int i = 0; i < 600; ++i) {
            double t = i / rate;
            raw.push_back(measured(random));
            filter.add(raw.back(), t);
            if (i < 15) continue;  // settling
            filtered.push_back(filter.position());
            predicted.push_back(filter.predict(t + 0.05));
        }
        EXPECT_LT(jitter(filtered), jitter(raw) / 3) << noise.measurement;
        EXPECT_LE(jitter(predicted), 1.05 * jitter(filtered)) << noise.measurement;
    }
}

TEST(MotionFilter, WhatRealInputDoesNeitherBreaksNorMovesIt) {
    MotionFilter filter(cameraSidewaysMotion);
    EXPECT_EQ(filter.predict(1.0), 0.0);  // nothing known yet
    filter.add(2.0, 1.0);
    EXPECT_EQ(filter.predict(1.05), 2.0);  // a first value: no velocity
    filter.add(3.0, 1.1);
    const double place = filter.position(), ahead = filter.predict(1.15);
    EXPECT_GT(ahead, place + 0.25);  // moving at more than 5 cm/s

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    filter.add(nan, 1.2);
    filter.add(inf, 1.2);
    filter.add(largestOffset + 1.0, 1.2);
    filter.add(3.5, nan);
    filter.add(3.5, 1.1);   // the same time again
    filter.add(3.5, 1.05);  // older than what is known
    EXPECT_EQ(filter.position(), place);
    EXPECT_EQ(filter.predict(1.15), ahead);
    EXPECT_EQ(filter.predict(nan), place);
    EXPECT_EQ(filter.predict(1.0), place);  // no looking back

    const double later = 1.1 + MotionFilter::gapLimit + 0.1;
    filter.add(3.0, later);  // long gone: starts again, its velocity unknown
    EXPECT_EQ(filter.predict(later + 0.05), 3.0);
    filter.add(4.0, 0.2);  // a clock that went far back: starts again
    EXPECT_EQ(filter.predict(0.25), 4.0);

    HeadPredictor head(cameraSidewaysMotion, cameraDistanceMotion);
    head.add({1, 2, 3, 10, 20, 30}, 1.0);
    head.add({5, 5, 5, 40, 50, 60}, 0.9);  // older
    HeadPose predicted = head.predict(1.2);
    EXPECT_EQ(predicted.x, 1.0);
    EXPECT_EQ(predicted.yaw, 10.0);
    EXPECT_EQ(predicted.roll, 30.0);
}
}  // namespace
