#include "camera/CheckPicture.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "camera/Picture.h"

std::vector<unsigned char> checkPicturePng(const GreyImage& picture, const FaceBox* face,
                                           const FaceShape* shape, const std::string& caption) {
    cv::Mat colour;
    cv::cvtColor(matOf(picture), colour, cv::COLOR_GRAY2BGR);
    const cv::Scalar green(60, 220, 60);
    if (face) {
        cv::Point2d corner(face->x - face->size / 2, face->y - face->size / 2);
        cv::rectangle(colour, cv::Rect2d(corner, cv::Size2d(face->size, face->size)), green, 2);
    }
    if (shape) {
        // The landmarks as dots, the eyes' midpoint (the viewpoint) as a cross.
        const cv::Scalar yellow(40, 220, 240);
        for (const FacePoint& p : *shape)
            cv::circle(colour, cv::Point2d(p.x, p.y), 1, yellow, cv::FILLED, cv::LINE_AA);
        const FacePoint left = eyeCentre(*shape, 0), right = eyeCentre(*shape, 1);
        cv::drawMarker(colour, cv::Point2d((left.x + right.x) / 2, (left.y + right.y) / 2), yellow,
                       cv::MARKER_CROSS, 12, 2);
    }
    // The caption on a dark band along the top, scaled to the picture's width.
    double scale = std::max(0.3, picture.width / 1400.0);
    int band = static_cast<int>(28 * scale / 0.45) + 4;
    cv::rectangle(colour, cv::Rect(0, 0, picture.width, band), cv::Scalar(0, 0, 0), cv::FILLED);
    cv::putText(colour, caption, cv::Point(6, band - 8), cv::FONT_HERSHEY_SIMPLEX, scale, green, 1,
                cv::LINE_AA);
    std::vector<unsigned char> png;
    if (!cv::imencode(".png", colour, png)) png.clear();
    return png;
}
