#include "platform/UdpSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {
bool socketAddress(const std::string& address, int port, sockaddr_in& where) {
    where = {};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<std::uint16_t>(port));
    return ::inet_pton(AF_INET, address.c_str(), &where.sin_addr) == 1;
}
}  // namespace

UdpSocket::UdpSocket(const std::string& address, int port) {
    sockaddr_in where;
    if (!socketAddress(address, port, where)) throw std::runtime_error("not an IPv4 address");
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    socklen_t length = sizeof where;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &length) != 0) {
        std::string reason = std::strerror(errno);
        if (fd >= 0) ::close(fd);
        throw std::runtime_error(reason);
    }
    boundPort = ntohs(where.sin_port);
}

UdpSocket::~UdpSocket() {
    ::close(fd);
}

long UdpSocket::receive(unsigned char* buffer, std::size_t capacity) {
    for (;;) {
        // MSG_TRUNC: the datagram's real length, so that an oversized one is told apart.
        ssize_t length = ::recv(fd, buffer, capacity, MSG_TRUNC);
        if (length >= 0) return static_cast<long>(length);
        if (errno != EINTR) return -1;
    }
}

bool UdpSocket::send(const std::string& address, int port, const void* bytes, std::size_t size) {
    sockaddr_in where;
    if (!socketAddress(address, port, where)) {
        errno = EINVAL;
        return false;
    }
    for (;;) {
        if (::sendto(fd, bytes, size, 0, reinterpret_cast<sockaddr*>(&where), sizeof where) >= 0)
            return true;
        if (errno == EAGAIN || errno == ENOBUFS) {
            pollfd writable{fd, POLLOUT, 0};  // a full send buffer: wait until there is room
            ::poll(&writable, 1, 100);
        } else if (errno != EINTR) {
            return false;
        }
    }
}
