// The camera device's side that needs no device: its frames made grey from real JPEG bytes
// (a webcam's damaged frames refused without a word on stderr), and which sources are
// devices at all. The device itself is tried against the kernel's own drivers in a guest.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "camera/VideoSource.h"
#include "platform/FrameDecoder.h"
#include "tests/camera/SyntheticCamera.h"

namespace {
std::vector<std::uint8_t> jpegOf(const cv::Mat& picture) {
    std::vector<std::uint8_t> bytes;
    cv::imencode(".jpg", picture, bytes, {cv::IMWRITE_JPEG_QUALITY, 90});
    return bytes;
}

TEST(CameraFrames, MjpgIsDecodedStraightToGreyAndDamagedFramesAreRefusedQuietly) {
    SyntheticCamera camera(640, 480, 60.0);
    cv::Mat colour = camera.picture(SyntheticCamera::neutral(), 0.0);
    std::vector<std::uint8_t> jpeg = jpegOf(colour);
    cv::Mat expected;
    cv::cvtColor(cv::imdecode(jpeg, cv::IMREAD_COLOR), expected, cv::COLOR_BGR2GRAY);

    FrameDecoder decoder;
    GreyImage grey;
    ASSERT_TRUE(decoder.greyFromJpeg(jpeg.data(), jpeg.size(), 640, 480, grey));
    ASSERT_EQ(grey.pixels.size(), 640u * 480u);
    cv::Mat decoded(480, 640, CV_8U, grey.pixels.data());
    EXPECT_LT(cv::norm(decoded, expected, cv::NORM_L1) / decoded.total(), 1.0);  // grey levels

    // Padding before the end marker, as some webcams send: the picture is whole.
    std::vector<std::uint8_t> padded = jpeg;
    padded.insert(padded.end() - 2, 12, 0x5a);
    EXPECT_TRUE(decoder.greyFromJpeg(padded.data(), padded.size(), 640, 480, grey));

    // Damaged frames: cut short; its second half overwritten by another frame's, as a
    // writer that overtakes its reader leaves it; another size than the stream's; no JPEG.
    std::vector<std::uint8_t> other = jpegOf(camera.picture(SyntheticCamera::at({8, 0, 0}), 1.0));
    std::vector<std::uint8_t> mixed(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
    mixed.insert(mixed.end(), other.begin() + other.size() / 2, other.end());
    std::vector<std::uint8_t> text{'n', 'o', 't', ' ', 'a', ' ', 'J', 'P', 'E', 'G'};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(decoder.greyFromJpeg(jpeg.data(), jpeg.size() / 2, 640, 480, grey));
    EXPECT_FALSE(decoder.greyFromJpeg(mixed.data(), mixed.size(), 640, 480, grey));
    EXPECT_FALSE(decoder.greyFromJpeg(jpeg.data(), jpeg.size(), 320, 240, grey));
    EXPECT_FALSE(decoder.greyFromJpeg(text.data(), text.size(), 640, 480, grey));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    // The decoder is not left broken by them.
    EXPECT_TRUE(decoder.greyFromJpeg(jpeg.data(), jpeg.size(), 640, 480, grey));
}

TEST(CameraFrames, YuyvAndGreyGiveTheirLumaAsItIs) {
    // Two rows of four pixels, Y0 U Y1 V, each row padded to 10 bytes.
    const std::vector<std::uint8_t> yuyv{10, 128, 20, 128, 30, 99, 40, 99, 0xee, 0xee,  //
                                         50, 1,   60, 2,   70, 3,  80, 4};
    GreyImage grey;
    ASSERT_TRUE(greyFromYuyv(yuyv.data(), yuyv.size(), 4, 2, 10, grey));
    EXPECT_EQ(grey.pixels, (std::vector<std::uint8_t>{10, 20, 30, 40, 50, 60, 70, 80}));
    EXPECT_FALSE(greyFromYuyv(yuyv.data(), yuyv.size() - 1, 4, 2, 10, grey));  // cut short
    ASSERT_TRUE(greyFromGrey(yuyv.data(), yuyv.size(), 3, 2, 10, grey));
    EXPECT_EQ(grey.pixels, (std::vector<std::uint8_t>{10, 128, 20, 50, 1, 60}));
}

TEST(CameraSource, AFileUnderDevIsPlayedAndADeviceThatIsNoCameraIsNamedSo) {
    char name[] = "/dev/shm/fishtank-source-XXXXXX.avi";
    int fd = ::mkstemps(name, 4);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(
        SyntheticCamera::writeVideo(name, 320, 240, 0.5, [](double) { return HeadPose{}; }));
    for (const std::string& path : {std::string(name), "/dev/fd/" + std::to_string(fd)}) {
        std::unique_ptr<VideoSource> video = openVideoSource(path, CameraSettings::keep);
        EXPECT_FALSE(video->isDevice()) << path;
        VideoFrame frame;
        EXPECT_EQ(video->readNewest(frame), VideoSource::Read::frame) << path;
        EXPECT_EQ(frame.picture.width, 320) << path;
    }
    ::close(fd);
    std::remove(name);

    auto whyNot = [](const std::string& path) -> std::string {
        try {
            openVideoSource(path, CameraSettings::keep);
        } catch (const CameraDeviceError& e) {
            return e.problem == CameraProblem::notACamera     ? "not a camera"
                   : e.problem == CameraProblem::noSuchDevice ? "no such device"
                                                              : e.what();
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "opened";
    };
    EXPECT_EQ(whyNot("/dev/null"), "not a camera");
    EXPECT_EQ(whyNot("/dev/video-that-is-not-there"), "no such device");
    EXPECT_EQ(whyNot("/tmp/a-video-that-is-not-there.avi"), "no such file");
}
}  // namespace
