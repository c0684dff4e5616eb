#include "platform/SignalWatch.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>

SignalWatch::SignalWatch(std::initializer_list<int> signals) {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : signals) sigaddset(&set, signal);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0) throw std::runtime_error(std::strerror(errno));
}

SignalWatch::~SignalWatch() {
    ::close(fd);
}

int SignalWatch::take() {
    signalfd_siginfo info;
    ssize_t length;
    do length = ::read(fd, &info, sizeof info);
    while (length < 0 && errno == EINTR);
    return length == sizeof info ? static_cast<int>(info.ssi_signo) : 0;
}

bool waitForReadable(std::initializer_list<int> descriptors, double seconds) {
    pollfd watched[8];
    nfds_t count = 0;
    for (int descriptor : descriptors)
        if (count < 8) watched[count++] = {descriptor, POLLIN, 0};
    const int milliseconds = static_cast<int>(std::ceil(std::fmax(seconds, 0.0) * 1000.0));
    int ready = ::poll(watched, count, milliseconds);
    return ready > 0;
}
