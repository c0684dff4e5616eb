#include "app/PoseSender.h"

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "platform/Date.h"

PoseSender::PoseSender(const SendTarget& target, std::optional<Smoothing> rotation)
    : target(target),
      socket("0.0.0.0", 0),
      smoothing(rotation.has_value()),
      yaw(rotation.value_or(Smoothing{1, 0}).minCutoff, rotation.value_or(Smoothing{1, 0}).beta),
      pitch(yaw),
      roll(yaw) {
    socket.connect(target.host, target.port);
}

void PoseSender::send(const HeadPose& pose, double time, double readTime,
                      double exposureStart) {
    HeadPose sent = pose;
    if (smoothing) {
        sent.yaw = yaw.filter(pose.yaw, time);
        sent.pitch = pitch.filter(pose.pitch, time);
        sent.roll = roll.filter(pose.roll, time);
    }
    unsigned char datagram[48];
    writePoseDatagram(sent, datagram);
    last = sent;
    lastTime = monotonicSeconds();
    sinceRead.add(lastTime - readTime);
    if (std::isfinite(exposureStart)) sinceExposure.add(lastTime - exposureStart);
    if (socket.send(datagram, sizeof datagram, false)) {
        ++sentCount;
    } else if (errno == EAGAIN) {
        ++droppedCount;
    } else {
        // A refusal reported for an earlier datagram: this one is sent again, once.
        ++refusedCount;
        if (socket.send(datagram, sizeof datagram, false)) ++sentCount;
    }
}

void PoseSender::reset() {
    yaw.reset();
    pitch.reset();
    roll.reset();
}

std::string PoseSender::destination() const {
    return target.host + ":" + std::to_string(target.port);
}

std::string PoseSender::agesText() const {
    const bool stamped = sinceExposure.count() > 0;
    const Durations& ages = stamped ? sinceExposure : sinceRead;
    if (ages.count() == 0) return "";
    char text[160];
    std::snprintf(text, sizeof text, "; from %s to sending %.1f ms median, %.1f ms p99",
                  stamped ? "exposure" : "the frame's read (the source stamps no exposure)",
                  ages.quantile(0.5) * 1e3, ages.quantile(0.99) * 1e3);
    return text;
}

std::string PoseSender::summary() const {
    return "sent " + std::to_string(sentCount) + " poses to " + destination() + "; " +
           std::to_string(droppedCount) + " dropped, the socket's buffer full; " +
           std::to_string(refusedCount) + " found nobody listening" + agesText();
}
