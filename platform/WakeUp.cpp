#include "platform/WakeUp.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

WakeUp::WakeUp() : fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd < 0) throw std::runtime_error("cannot make an event descriptor");
}

WakeUp::~WakeUp() {
    ::close(fd);
}

void WakeUp::notify() {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(fd, &one, sizeof one);  // full: already readable
}

void WakeUp::clear() {
    std::uint64_t count;
    [[maybe_unused]] ssize_t read = ::read(fd, &count, sizeof count);  // none waiting: fine
}
