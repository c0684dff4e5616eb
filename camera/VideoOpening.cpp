#include "camera/VideoOpening.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

bool openVideoWithin(const std::string& path, double seconds, OpenedVideo& opened) {
    struct Opening {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        OpenedVideo result;
    };
    auto opening = std::make_shared<Opening>();
    std::thread([opening, path] {
        // A still picture is a video of one frame to the picture reader.
        OpenedVideo result;
        for (int reader : {cv::CAP_FFMPEG, cv::CAP_IMAGES})
            if (result.video.open(path, reader)) break;
        if (result.video.isOpened() && !result.video.read(result.first)) result.first.release();
        std::lock_guard<std::mutex> lock(opening->lock);
        opening->result = std::move(result);
        opening->finished = true;
        opening->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(opening->lock);
    if (!opening->done.wait_for(lock, std::chrono::duration<double>(seconds),
                                [&] { return opening->finished; }))
        return false;
    opened = std::move(opening->result);
    return true;
}
