#include "platform/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {
// The temporary file being written, for the signal handler to remove; empty when none.
char temporaryPath[4096];
const int fatalSignals[] = {SIGINT, SIGTERM, SIGHUP};
// Signals that a write raises; while writing, they make it fail instead (EPIPE, EFBIG).
const int writeSignals[] = {SIGPIPE, SIGXFSZ};

void removeTemporaryAndDie(int signal) {
    if (temporaryPath[0]) ::unlink(temporaryPath);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Holds the fatal signals back until the mask `previous` is set again.
void blockFatalSignals(sigset_t& previous) {
    sigset_t fatal;
    sigemptyset(&fatal);
    for (int signal : fatalSignals) sigaddset(&fatal, signal);
    sigprocmask(SIG_BLOCK, &fatal, &previous);
}

// A symbolic link's target, followed to the end; the target need not exist yet.
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(path, error)) break;
        fs::path target = fs::read_symlink(path, error);
        if (error) break;
        path = (target.is_absolute() ? target : fs::path(path).parent_path() / target).string();
    }
    return path;
}

std::string folderOf(const std::string& path) {
    std::string folder = fs::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// What stops a new file being made in `folder`, in words that name it.
std::string folderProblem(const std::string& folder, int error) {
    struct stat info {};
    const bool exists = ::stat(folder.c_str(), &info) == 0;
    const std::string named = "the folder " + folder;
    if (error == ENOENT && !exists) return named + " does not exist";
    if (error == ENOTDIR || (exists && !S_ISDIR(info.st_mode))) return folder + " is not a folder";
    if (error == ENOENT) return named + " takes no new files (a kernel's file system)";
    if (error == EACCES || error == EPERM) return named + " is not writable";
    if (error == EROFS) return named + " is on a read-only file system";
    return named + ": " + std::strerror(error);
}

// While a write lasts: the signals a write raises are ignored, and the fatal ones remove
// the temporary file; each disposition is restored afterwards, whatever way it ends.
class HeldSignals {
  public:
    explicit HeldSignals(bool temporary) {
        for (int i = 0; i < 2; ++i) hold(writeSignals[i], SIG_IGN);
        for (int i = 0; temporary && i < 3; ++i) hold(fatalSignals[i], removeTemporaryAndDie);
    }
    ~HeldSignals() {
        for (int i = 0; i < count; ++i) sigaction(signals[i], &previous[i], nullptr);
    }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

  private:
    void hold(int signal, void (*handler)(int)) {
        sigaction(signal, nullptr, &previous[count]);
        // A signal ignored at start (nohup, a background job) stays ignored.
        if (previous[count].sa_handler == SIG_IGN) return;
        std::signal(signal, handler);
        signals[count++] = signal;
    }
    struct sigaction previous[5] {};
    int signals[5] = {};
    int count = 0;
};

// Encodes into an open descriptor and closes it; the reason in `error` when it fails.
bool writeInto(int fd, const std::function<bool(std::FILE*)>& encode, int& error) {
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        error = errno;
        ::close(fd);
        return false;
    }
    errno = 0;
    bool ok = encode(file);
    error = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok && error == 0) error = EIO;
    return ok;
}
}  // namespace

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {}, second {};
    if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    std::error_code error;
    auto resolved = [&](const std::string& path) {
        return fs::weakly_canonical(fs::absolute(followLinks(path), error), error);
    };
    return resolved(a) == resolved(b);
}

bool standardOutputOpen() {
    return ::fcntl(STDOUT_FILENO, F_GETFD) != -1;
}

OutputFile::OutputFile(int descriptor, std::string name) : path(std::move(name)), fd(descriptor) {}

OutputFile::OutputFile(const std::string& path) : path(path) {
    auto refuse = [&](const std::string& why) { throw std::runtime_error(why); };
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (!exists && errno == ELOOP) refuse("its symbolic links go round in a loop");
    if (!exists && errno != ENOENT) refuse(std::strerror(errno));
    if (exists && S_ISDIR(existing.st_mode)) refuse("it is a folder");
    if (exists && !S_ISREG(existing.st_mode)) {
        // A FIFO's reader is given a second to start, as a trace's writer is: without one,
        // the open fails with ENXIO rather than blocking.
        for (int tries = 0; tries < 100; ++tries) {
            fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (fd >= 0 || errno != ENXIO) break;
            ::usleep(10000);
        }
        if (fd < 0 && errno == ENXIO) refuse("no program reads this FIFO; start its reader first");
        if (fd < 0) refuse(std::strerror(errno));
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return;
    }
    std::error_code error;
    target = exists ? fs::canonical(path, error).string() : followLinks(path);
    if (target.empty()) target = path;
    std::string probe = target + ".partial.XXXXXX";
    if (probe.size() >= sizeof temporaryPath) refuse(std::strerror(ENAMETOOLONG));
    // A file made and removed again tells whether the folder takes the temporary file;
    // signals wait until it is gone, so that none leaves it behind.
    sigset_t previous;
    blockFatalSignals(previous);
    int made = ::mkstemp(probe.data());
    int reason = errno;
    if (made >= 0) {
        ::close(made);
        ::unlink(probe.c_str());
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (made < 0) refuse(folderProblem(folderOf(target), reason));
}

OutputFile::~OutputFile() {
    if (fd >= 0) ::close(fd);
}

bool OutputFile::write(const std::function<bool(std::FILE*)>& encode, std::string& error) {
    int reason = 0;
    auto failed = [&] {
        error = std::strerror(reason);
        return false;
    };
    if (target.empty()) {
        HeldSignals held(false);
        const int descriptor = fd;
        fd = -1;
        return writeInto(descriptor, encode, reason) || failed();
    }
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    HeldSignals held(true);
    // Signals wait until the name of the file made is known to their handler.
    sigset_t previous;
    blockFatalSignals(previous);
    std::string name = target + ".partial.XXXXXX";
    name.copy(temporaryPath, name.size());
    temporaryPath[name.size()] = '\0';
    int file = ::mkstemp(temporaryPath);
    reason = errno;
    if (file < 0) temporaryPath[0] = '\0';
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (file < 0) return failed();

    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(file, exists ? existing.st_mode & 07777 : 0666 & ~mask);
    bool ok = !(exists && ::geteuid() == 0 &&
                ::fchown(file, existing.st_uid, existing.st_gid) != 0 && (reason = errno));
    if (ok) ok = writeInto(file, encode, reason);
    else ::close(file);
    if (ok && std::rename(temporaryPath, target.c_str()) != 0) ok = false, reason = errno;
    if (!ok) ::unlink(temporaryPath);
    temporaryPath[0] = '\0';
    return ok || failed();
}
