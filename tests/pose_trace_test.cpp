// Reading recorded head paths: what editors, spreadsheets, crashes and repeated runs leave.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "model/PoseTrace.h"

namespace {
struct TraceFile {
    std::string path;
    explicit TraceFile(const std::string& text) {
        char name[] = "/tmp/fishtank-trace-XXXXXX";
        int fd = ::mkstemp(name);
        path = name;
        std::ofstream(path, std::ios::binary) << text;
        ::close(fd);
    }
    ~TraceFile() { std::remove(path.c_str()); }
    PoseTrace read(std::string& error) const { return readPoseTrace(path, error); }
};

TEST(PoseTrace, WhatEditorsAndSpreadsheetsWriteIsRead) {
    TraceFile file(
        "\xEF\xBB\xBFT, X, Y, Z, Yaw, Pitch, Roll\r\n"
        " 10.5 ,1,2,3,4,5,6\r\n"
        "\r\n"
        "11,-1.5e1,+2,.5,4.,0,0\r\n"
        "\n   \n");
    std::string error;
    PoseTrace trace = file.read(error);
    ASSERT_EQ(trace.poses.size(), 2u) << error;
    EXPECT_EQ(trace.poses[0].time, 0.0);
    EXPECT_EQ(trace.poses[0].pose.roll, 6.0);
    EXPECT_EQ(trace.poses[1].time, 0.5);
    EXPECT_EQ(trace.poses[1].pose.x, -15.0);
    EXPECT_EQ(trace.poses[1].pose.z, 0.5);
    EXPECT_TRUE(trace.notes.empty());
}

TEST(PoseTrace, WhatIsNotADecimalNumberFailsWithItsLine) {
    using namespace std::string_literals;
    for (const std::string& bad :
         {"0x10,0,0,0,0,0,0\n"s, "1,inf,0,0,0,0,0\n"s, "1,nan,0,0,0,0,0\n"s,
          "1,0,0,0,0,0,0\0junk\n"s, "1,0,0,0,0,0\n"s, "1,0,0,0,0,0,0,0\n"s, "1,,0,0,0,0,0\n"s,
          "1;0;0;0;0;0;0\n"s, "1,1e999,0,0,0,0,0\n"s}) {
        TraceFile file("t,x,y,z,yaw,pitch,roll\n0,0,0,0,0,0,0\n" + bad + "2,0,0,0,0,0,0\n");
        std::string error;
        EXPECT_TRUE(file.read(error).poses.empty()) << bad;
        EXPECT_NE(error.find(":3: not a pose line"), std::string::npos) << error;
    }
}

TEST(PoseTrace, ACutLastLineIsSkippedAndSaidSo) {
    TraceFile file("t,x,y,z,yaw,pitch,roll\n1,0,0,0,0,0,0\n2,5,0,0,0,0,0\n3,7,0,0");
    std::string error;
    PoseTrace trace = file.read(error);
    ASSERT_EQ(trace.poses.size(), 2u) << error;
    ASSERT_EQ(trace.notes.size(), 1u);
    EXPECT_NE(trace.notes[0].find(":4: skipped a cut last line"), std::string::npos);

    TraceFile whole("1,0,0,0,0,0,0\n2,5,0,0,0,0,0");  // an editor's last line: kept
    EXPECT_EQ(whole.read(error).poses.size(), 2u);
}

TEST(PoseTrace, EachRunIsAStretchPlayedAfterTheOneBefore) {
    // A second run appended: its monotonic times start lower than the first run's.
    TraceFile file(
        "t,x,y,z,yaw,pitch,roll\n5000,1,0,0,0,0,0\n5002,2,0,0,0,0,0\n"
        "t,x,y,z,yaw,pitch,roll\n"
        "t,x,y,z,yaw,pitch,roll\n100,3,0,0,0,0,0\n101,4,0,0,0,0,0\n");
    std::string error;
    PoseTrace trace = file.read(error);
    ASSERT_EQ(trace.poses.size(), 4u) << error;
    const double times[] = {0, 2, 2, 3};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(trace.poses[i].time, times[i]) << i;
        EXPECT_EQ(trace.poses[i].pose.x, i + 1);
    }

    TraceFile back("t,x,y,z,yaw,pitch,roll\n5,0,0,0,0,0,0\n4,0,0,0,0,0,0\n");
    EXPECT_TRUE(back.read(error).poses.empty());
    EXPECT_NE(error.find(":3: time goes back"), std::string::npos) << error;
}

TEST(PoseTrace, LongPausesArePlayedAsFiveSeconds) {
    TraceFile file("0,0,0,0,0,0,0\n1e300,1,0,0,0,0,0\n1e300,2,0,0,0,0,0\n");
    std::string error;
    PoseTrace trace = file.read(error);
    ASSERT_EQ(trace.poses.size(), 3u) << error;
    EXPECT_EQ(trace.poses[1].time, longestTracePause);
    EXPECT_EQ(trace.poses[2].time, longestTracePause);
    ASSERT_EQ(trace.notes.size(), 1u);
    EXPECT_NE(trace.notes[0].find("1 pause longer than 5 s is played as 5 s"), std::string::npos);
}

TEST(PoseTrace, ALineWrittenIsReadBackExactly) {
    HeadPose pose{0.1, -2.5e-7, 33.333333333333336, 1e-300, -179.9, 0};
    TraceFile file(std::string(poseTraceHeader) + "\n" + poseTraceLine(12.25, pose));
    std::string error;
    PoseTrace trace = file.read(error);
    ASSERT_EQ(trace.poses.size(), 1u) << error;
    EXPECT_EQ(trace.poses[0].pose.x, pose.x);
    EXPECT_EQ(trace.poses[0].pose.y, pose.y);
    EXPECT_EQ(trace.poses[0].pose.z, pose.z);
    EXPECT_EQ(trace.poses[0].pose.yaw, pose.yaw);
}
}  // namespace
