#include "platform/UdpSocket.h"

#include <arpa/inet.h>
#include <netdb.h>
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

bool isIpv4Address(const std::string& text) {
    sockaddr_in where;
    return socketAddress(text, 0, where);
}

UdpSocket::UdpSocket(const std::string& address, int port) : boundAddress(address) {
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

void UdpSocket::connect(const std::string& host, int port) {
    addrinfo wanted{}, *found = nullptr;
    wanted.ai_family = AF_INET;
    wanted.ai_socktype = SOCK_DGRAM;
    int status = ::getaddrinfo(host.c_str(), nullptr, &wanted, &found);
    if (status != 0) {
        in6_addr ipv6;
        if (::inet_pton(AF_INET6, host.c_str(), &ipv6) == 1)
            throw std::runtime_error("an IPv6 address; fishtank-track speaks IPv4 only");
        throw std::runtime_error(::gai_strerror(status));
    }
    sockaddr_in where{};
    std::memcpy(&where, found->ai_addr, sizeof where);
    ::freeaddrinfo(found);
    where.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0)
        throw std::runtime_error(std::strerror(errno));
}

bool UdpSocket::send(const void* bytes, std::size_t size, bool waitForRoom) {
    for (;;) {
        if (::send(fd, bytes, size, 0) >= 0) return true;
        if (errno == ENOBUFS) errno = EAGAIN;
        if (errno == EAGAIN && !waitForRoom) return false;
        if (errno == EAGAIN) {
            pollfd writable{fd, POLLOUT, 0};  // a full send buffer: wait until there is room
            ::poll(&writable, 1, 100);
        } else if (errno != EINTR) {
            return false;
        }
    }
}

int UdpSocket::pendingError() {
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
    return error;
}
