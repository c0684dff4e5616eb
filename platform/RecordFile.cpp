#include "platform/RecordFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace {
// One write, with the signals it may raise held off and taken back, so that a reader gone
// (SIGPIPE) or a file-size limit (SIGXFSZ) makes it fail with EPIPE or EFBIG rather than
// end the program. Both signals go to the thread that wrote.
ssize_t writeWithoutSignals(int fd, const char* bytes, std::size_t size) {
    sigset_t raised, previous;
    sigemptyset(&raised);
    sigaddset(&raised, SIGPIPE);
    sigaddset(&raised, SIGXFSZ);
    pthread_sigmask(SIG_BLOCK, &raised, &previous);
    ssize_t written;
    do written = ::write(fd, bytes, size);
    while (written < 0 && errno == EINTR);
    int error = errno;
    const timespec noWait{};
    while (::sigtimedwait(&raised, nullptr, &noWait) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written;
}

// Whether a regular file of `size` bytes is empty or ends with a newline. One that cannot
// be read counts as not: a blank line is harmless to a reader, a line glued on is lost.
bool endsWithNewline(const std::string& path, off_t size) {
    if (size == 0) return true;
    int reader = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char last = 0;
    bool read = reader >= 0 && ::pread(reader, &last, 1, size - 1) == 1;
    if (reader >= 0) ::close(reader);
    return read && last == '\n';
}
}  // namespace

RecordFile::RecordFile(const std::string& path) : path(path) {
    // Non-blocking: a FIFO that no program reads fails at once instead of waiting for a
    // reader, and a full pipe takes nothing instead of holding the writer up.
    const int flags = O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    fd = ::open(path.c_str(), flags);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
        created = fd >= 0;
    }
    if (fd < 0) {
        if (errno == ENXIO)
            throw std::runtime_error("no program reads this FIFO; start its reader first");
        throw std::runtime_error(std::strerror(errno));
    }
    struct stat info {};
    ::fstat(fd, &info);
    regular = S_ISREG(info.st_mode);
    if (regular && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        throw std::runtime_error("another program is recording into it");
    }
}

RecordFile::~RecordFile() {
    ::close(fd);
}

RecordFile::Append RecordFile::append(const std::string& line) {
    ssize_t written = writeWithoutSignals(fd, line.data(), line.size());
    if (written == static_cast<ssize_t>(line.size())) return Append::written;
    if (written < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? Append::wouldWait : Append::failed;
    // Part of the line went out (a full disk, a size limit): the rest either follows, or
    // fails with the reason and the part is cut off again. Only a regular file writes part
    // of so short a line; a pipe takes it whole or not at all.
    ssize_t rest = writeWithoutSignals(fd, line.data() + written,
                                       line.size() - static_cast<std::size_t>(written));
    if (rest == static_cast<ssize_t>(line.size()) - written) return Append::written;
    int error = rest < 0 ? errno : EIO;
    struct stat info {};
    off_t partial = written + (rest > 0 ? rest : 0);
    if (regular && ::fstat(fd, &info) == 0 && ::ftruncate(fd, info.st_size - partial) != 0)
        error = errno;  // the readers skip what is left: a cut last line
    errno = error;
    return Append::failed;
}

RecordFile::Append RecordFile::begin(const std::string& line) {
    struct stat info {};
    bool newlineFirst = regular && ::fstat(fd, &info) == 0 && !endsWithNewline(path, info.st_size);
    return append(newlineFirst ? "\n" + line : line);
}

void RecordFile::discardIfCreated() {
    if (created) ::unlink(path.c_str());
    created = false;
}
