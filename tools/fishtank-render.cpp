// Draws one Fishtank frame without any window system and writes it as a PNG:
//   fishtank-render [--head X,Y,Z] [--size WxH] [-o FILE]
#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ArController.h"
#include "app/CommandLine.h"
#include "platform/Application.h"
#include "platform/Headless.h"
#include "view/OpGlView.h"

namespace {
const char usage[] =
    "usage: fishtank-render [--head X,Y,Z] [--size WxH] [-o FILE]\n"
    "  Draws the Fishtank frame seen from head position X,Y,Z (default 0,0,1) at\n"
    "  WxH pixels (default 720x720, at most 16384 each way) and writes it to FILE\n"
    "  (default fishtank.png; - for standard output) as an 8-bit RGB PNG.\n"
    "  X, Y and Z are decimal numbers. The head stays within x, y in [-100, 100] and\n"
    "  z in [1, 100]: a value outside, an infinity or a number too large for a float\n"
    "  included, is drawn at the nearest bound, with a warning; nan is refused.\n"
    "  An existing FILE keeps its permissions; a device or FIFO is written into.\n";

struct Options {
    float head[3] = {0.0f, 0.0f, 1.0f};
    int width = 720, height = 720;
    std::string output = "fishtank.png";
};

[[noreturn]] void fail(const std::string& message) {
    failUsage("fishtank-render", message);
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            std::exit(0);
        }
        if (arg != "--head" && arg != "--size" && arg != "-o")
            fail("unknown option '" + arg + "' (see --help)");
        if (i + 1 >= argc) fail("option " + arg + " needs a value");
        const char* value = argv[++i];
        if (arg == "--head") {
            auto toFloat = [](const char* s, char** end) { return std::strtof(s, end); };
            if (!readList(value, ',', options.head, 3, toFloat) || std::isnan(options.head[0]) ||
                std::isnan(options.head[1]) || std::isnan(options.head[2]))
                fail(std::string("--head wants three numbers X,Y,Z, not '") + value + "'");
        } else if (arg == "--size") {
            long size[2];
            auto toLong = [](const char* s, char** end) { return std::strtol(s, end, 10); };
            if (!readList(value, 'x', size, 2, toLong) || size[0] < 1 || size[0] > 16384 ||
                size[1] < 1 || size[1] > 16384)
                fail(std::string("--size wants WxH, each 1 to 16384, not '") + value + "'");
            options.width = static_cast<int>(size[0]);
            options.height = static_cast<int>(size[1]);
        } else {
            if (*value == '\0') fail("-o needs a file name");
            options.output = value;
        }
    }
    return options;
}

// libpng reports through these; the caller says what failed, in one line.
void pngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}

bool encodePng(std::FILE* file, int width, int height, const std::vector<std::uint8_t>& rgb) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y) png_write_row(png, &rgb[static_cast<std::size_t>(y) * row]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// The temporary file being written, for the signal handler to remove; empty when none.
char temporaryPath[4096];
const int fatalSignals[] = {SIGINT, SIGTERM, SIGHUP};

void removeTemporaryAndDie(int signal) {
    if (temporaryPath[0]) ::unlink(temporaryPath);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

[[noreturn]] void failWrite(const std::string& path, int error) {
    if (temporaryPath[0]) ::unlink(temporaryPath);
    fail("cannot write " + path + ": " + std::strerror(error));
}

// Encodes into an open descriptor and closes it, or fails with the reason.
void writeInto(int fd, const std::string& path, int width, int height,
               const std::vector<std::uint8_t>& rgb) {
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) failWrite(path, errno);
    errno = 0;
    bool ok = encodePng(file, width, height, rgb);
    int error = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) failWrite(path, error ? error : EIO);
}

// A symbolic link's target, followed to the end; the target need not exist yet.
std::string followLinks(std::string path) {
    namespace fs = std::filesystem;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(path, error)) break;
        fs::path target = fs::read_symlink(path, error);
        if (error) break;
        path = (target.is_absolute() ? target : fs::path(path).parent_path() / target).string();
    }
    return path;
}

// "-" is standard output; an existing device or FIFO is written into directly. Anything
// else, through symbolic links, goes to a temporary file of a unique name beside it that
// is renamed over it once complete: a failure or an interruption never leaves a half
// picture, nor the temporary file. An existing file keeps its permissions (and, for root,
// its owner); a hard link to it is not kept, as the picture is a new file.
void writePng(const std::string& output, int width, int height,
              const std::vector<std::uint8_t>& rgb) {
    if (output == "-") return writeInto(::dup(STDOUT_FILENO), "standard output", width, height, rgb);

    struct stat existing {};
    bool exists = ::stat(output.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) failWrite(output, EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) {
        int fd = ::open(output.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) failWrite(output, errno);
        return writeInto(fd, output, width, height, rgb);
    }

    std::string path = exists ? std::filesystem::canonical(output).string() : followLinks(output);
    std::string name = path + ".partial.XXXXXX";
    if (name.size() >= sizeof temporaryPath) failWrite(output, ENAMETOOLONG);
    // Signals wait until the name of the file made is known to their handler.
    sigset_t fatal, previous;
    sigemptyset(&fatal);
    for (int signal : fatalSignals) {
        sigaddset(&fatal, signal);
        std::signal(signal, removeTemporaryAndDie);
    }
    sigprocmask(SIG_BLOCK, &fatal, &previous);
    name.copy(temporaryPath, name.size());
    temporaryPath[name.size()] = '\0';
    int fd = ::mkstemp(temporaryPath);
    if (fd < 0) temporaryPath[0] = '\0';
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) failWrite(output, errno);

    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, exists ? existing.st_mode & 07777 : 0666 & ~mask);
    if (exists && ::geteuid() == 0 && ::fchown(fd, existing.st_uid, existing.st_gid) != 0)
        failWrite(output, errno);
    writeInto(fd, output, width, height, rgb);
    if (std::rename(temporaryPath, path.c_str()) != 0) failWrite(output, errno);
    temporaryPath[0] = '\0';
}
}  // namespace

int main(int argc, char** argv) {
    ensureStandardStreamsOpen();
    // A file size limit makes a write fail with its reason, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    Options options = parse(argc, argv);
    try {
        HeadlessContext context(options.width, options.height);
        OpGlView view;
        context.attach(view);
        view.prepareOpenGL();

        // The controller's tick draws the frame, as in the program; no run loop runs here,
        // so the timer its set-up schedules never fires.
        ArController controller;
        controller.oglView = &view;
        controller.setup();
        view.xHead = options.head[0];
        view.yHead = options.head[1];
        view.zHead = options.head[2];
        controller.track(false);

        const char* axes = "xyz";
        const float placed[3] = {view.xHead, view.yHead, view.zHead};
        for (int i = 0; i < 3; ++i)
            if (placed[i] != options.head[i])
                std::fprintf(stderr, "fishtank-render: head %c %g is out of range, drawn at %g\n",
                             axes[i], static_cast<double>(options.head[i]),
                             static_cast<double>(placed[i]));
        writePng(options.output, options.width, options.height, context.readBackBuffer());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fishtank-render: %s\n", e.what());
        return 1;
    }
    if (options.output != "-") std::printf("wrote %s\n", options.output.c_str());
    return 0;
}
