#include "platform/SignalWatch.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
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
