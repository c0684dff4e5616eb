#pragma once

#include <sys/ioctl.h>

#include <cerrno>

// A device request, made again when a signal interrupts it.
inline int deviceControl(int fd, unsigned long request, void* argument) {
    int result;
    do result = ::ioctl(fd, request, argument);
    while (result == -1 && errno == EINTR);
    return result;
}
