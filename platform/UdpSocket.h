#pragma once

#include <cstddef>
#include <string>

// A bound, non-blocking IPv4 UDP socket.
class UdpSocket {
  public:
    // Binds to `address` (dotted IPv4) and `port` (0: a free one). Throws
    // std::runtime_error whose text is the reason, such as "Address already in use".
    UdpSocket(const std::string& address, int port);
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // The next waiting datagram, copied into `buffer` up to `capacity` bytes. Returns its
    // whole length, also when that is more than `capacity`, or -1 when none waits.
    long receive(unsigned char* buffer, std::size_t capacity);

    // Sends one datagram to `address`:`port`; false, with errno set, when it cannot.
    bool send(const std::string& address, int port, const void* bytes, std::size_t size);

    int descriptor() const { return fd; }
    int port() const { return boundPort; }

  private:
    int fd = -1;
    int boundPort = 0;
};
