#pragma once

#include <cstddef>
#include <string>

// Whether `text` is a dotted IPv4 address, such as 127.0.0.1.
bool isIpv4Address(const std::string& text);

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

    // Sends from now on to `host` (a name or a dotted IPv4 address) at `port`, and learns
    // when nothing listens there. Throws std::runtime_error whose text is the reason.
    void connect(const std::string& host, int port);
    // Sends one datagram to the connected peer; false, with errno set, when it cannot:
    // ECONNREFUSED when an earlier datagram found nobody listening. A full send buffer is
    // waited for with `waitForRoom`, else it is EAGAIN.
    bool send(const void* bytes, std::size_t size, bool waitForRoom = true);
    // The error that the peer's host reported since the last send, or 0.
    int pendingError();

    int descriptor() const { return fd; }
    const std::string& address() const { return boundAddress; }
    int port() const { return boundPort; }

  private:
    int fd = -1;
    std::string boundAddress;
    int boundPort = 0;
};
