#include "app/TrackingReport.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "model/PoseTrace.h"

namespace {
constexpr double lostAfter = 0.5;  // seconds without a pose
constexpr char pictureRecordHeader[] = "t,x,y,z,horizon_ms";
}  // namespace

TrackingReport::TrackingReport(RecordFile* poseRecord, RecordFile* pictureRecord, bool camera)
    : poses(poseRecord), pictures(pictureRecord) {
    // Each run's lines follow a header line of their own: their times restart.
    const char* header = camera ? cameraPoseTraceHeader : poseTraceHeader;
    if (poses) recorded(poses, poses->begin(std::string(header) + "\n"));
    if (pictures) recorded(pictures, pictures->begin(std::string(pictureRecordHeader) + "\n"));
}

void TrackingReport::poseTaken(double arrival, const HeadPose& pose, double exposure) {
    if (poses) recorded(poses, poses->append(poseTraceLine(arrival, pose, exposure)));
    lastPoseTime = arrival;
    if (tracking) return;
    tracking = true;
    std::fputs("fishtank-track: tracking\n", stderr);
}

bool TrackingReport::lost(double now) {
    if (!tracking || now - lastPoseTime < lostAfter) return false;
    tracking = false;
    std::fputs("fishtank-track: no head pose for 0.5 s\n", stderr);
    return true;
}

// From the camera's frame (and, where the camera stamps it, the exposure) to the first
// picture drawn from its pose having been swapped to the screen.
void TrackingReport::pictureDrawn(double swapped, const HeadPose& head, double horizon,
                                  const CameraPose* camera) {
    if (pictures) {
        char line[160];
        std::snprintf(line, sizeof line, "%.6f,%.17g,%.17g,%.17g,%.3f\n", swapped, head.x, head.y,
                      head.z, horizon * 1000.0);
        recorded(pictures, pictures->append(line));
    }
    if (!camera) return;
    frameToPhoton.add(swapped - camera->readTime);
    if (std::isfinite(camera->exposureStart)) exposureToPhoton.add(swapped - camera->exposureStart);
}

void TrackingReport::tellDropped(double now, DroppedPoses& dropped, bool datagrams) {
    if ((notRecorded[0] > 0 || notRecorded[1] > 0) && now - lastRecordReport >= 1.0) {
        for (int i = 0; i < 2; ++i)
            if (notRecorded[i] > 0)
                std::fprintf(stderr,
                             "fishtank-track: the %s record is read too slowly: %ld %s not "
                             "recorded\n",
                             i == 0 ? "pose" : "picture", notRecorded[i],
                             i == 0 ? "poses" : "pictures");
        notRecorded[0] = notRecorded[1] = 0;
        lastRecordReport = now;
    }
    if (dropped.total() == 0 || now - lastDropReport < 1.0) return;
    if (datagrams)
        std::fprintf(stderr,
                     "fishtank-track: dropped %ld datagrams (%ld wrong size, %ld not finite, "
                     "%ld out of range)\n",
                     dropped.total(), dropped.wrongSize, dropped.notFinite, dropped.outOfRange);
    else
        std::fprintf(stderr,
                     "fishtank-track: dropped %ld camera poses (%ld not finite, %ld out of "
                     "range)\n",
                     dropped.total(), dropped.notFinite, dropped.outOfRange);
    dropped = {};
    lastDropReport = now;
}

// The frames' age where the device stamps them, face or no face; the poses' times where
// any were drawn.
std::string TrackingReport::cameraSummary(const Durations& ages) const {
    if (frameToPhoton.count() == 0 && ages.count() == 0) return {};
    auto ms = [](const Durations& d, double q) { return d.quantile(q) * 1000.0; };
    char text[160];
    std::string summary = "no poses drawn";
    if (frameToPhoton.count() > 0) {
        std::snprintf(text, sizeof text,
                      "%zu poses drawn, from frame to photon %.1f ms median, %.1f ms p99",
                      frameToPhoton.count(), ms(frameToPhoton, 0.5), ms(frameToPhoton, 0.99));
        summary = text;
    }
    if (exposureToPhoton.count() > 0) {
        std::snprintf(text, sizeof text, "; from the start of exposure %.1f ms median",
                      ms(exposureToPhoton, 0.5));
        summary += text;
    }
    if (ages.count() > 0) {
        std::snprintf(text, sizeof text,
                      "; frames %.1f ms old when read (median, from the start of exposure)",
                      ms(ages, 0.5));
        summary += text;
    } else {
        summary += "; the source stamps no exposure times";
    }
    return summary;
}

// What became of a line for a record: written whole, or not at all when the reader lags
// behind (counted; the pictures are never held up), or a failure that stops the record.
void TrackingReport::recorded(RecordFile*& file, RecordFile::Append result) {
    const bool isPoses = file == poses;
    switch (result) {
        case RecordFile::Append::written:
            break;
        case RecordFile::Append::wouldWait:
            ++notRecorded[isPoses ? 0 : 1];
            break;
        case RecordFile::Append::failed:
            std::fprintf(stderr,
                         "fishtank-track: cannot write the %s record: %s; recording stops\n",
                         isPoses ? "pose" : "picture", std::strerror(errno));
            file = nullptr;
            break;
    }
}
