// A receiver of head-pose datagrams for the tests, written apart from the program's own
// reader: binds 127.0.0.1 on a free port, prints "port N", then one line a datagram,
// "t,bytes,x,y,z,yaw,pitch,roll" (t: arrival, monotonic seconds; the six values as little-
// endian doubles, when there are 48 bytes), until COUNT datagrams or SECONDS have passed.
//   pose-receiver SECONDS COUNT
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {
double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

double littleEndianDouble(const unsigned char* bytes) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = bits << 8 | bytes[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: pose-receiver SECONDS COUNT\n", stderr);
        return 2;
    }
    const double end = now() + std::atof(argv[1]);
    const long count = std::atol(argv[2]);
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof where;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&where), &length) != 0) {
        std::perror("pose-receiver");
        return 1;
    }
    std::printf("port %d\n", ntohs(where.sin_port));
    std::fflush(stdout);
    for (long received = 0; received < count && now() < end;) {
        pollfd readable{fd, POLLIN, 0};
        if (poll(&readable, 1, static_cast<int>((end - now()) * 1000) + 1) <= 0) continue;
        unsigned char bytes[128];
        long size = recv(fd, bytes, sizeof bytes, MSG_TRUNC);
        if (size < 0) continue;
        ++received;
        std::printf("%.6f,%ld", now(), size);
        for (int i = 0; size == 48 && i < 6; ++i)
            std::printf(",%.9g", littleEndianDouble(bytes + 8 * i));
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
