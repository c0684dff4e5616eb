// Draws one Fishtank frame without any window system and writes it as a PNG:
//   fishtank-render [--head X,Y,Z] [--size WxH] [-o FILE]
#include <png.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "app/ArController.h"
#include "platform/Headless.h"
#include "view/OpGlView.h"

namespace {
const char usage[] =
    "usage: fishtank-render [--head X,Y,Z] [--size WxH] [-o FILE]\n"
    "  Draws the Fishtank frame seen from head position X,Y,Z (default 0,0,1) at\n"
    "  WxH pixels (default 720x720, at most 16384 each way) and writes it to FILE\n"
    "  (default fishtank.png) as an 8-bit RGB PNG.\n";

struct Options {
    float head[3] = {0.0f, 0.0f, 1.0f};
    int width = 720, height = 720;
    std::string output = "fishtank.png";
};

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "fishtank-render: %s\n", message.c_str());
    std::exit(2);
}

// Reads numbers separated by `separator`, each wholly a number; false on anything else.
template <typename Number, typename Read>
bool readList(const char* text, char separator, Number* out, int count, Read read) {
    const char* p = text;
    for (int i = 0; i < count; ++i) {
        char* end = nullptr;
        errno = 0;
        if (*p == '\0' || std::isspace(static_cast<unsigned char>(*p))) return false;
        out[i] = read(p, &end);
        if (end == p || errno == ERANGE) return false;
        p = end;
        if (i + 1 < count && *p++ != separator) return false;
    }
    return *p == '\0';
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

bool encodePng(std::FILE* file, int width, int height, const std::vector<std::uint8_t>& rgb) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
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

// Writes through a temporary file renamed into place, so no half-written file is left.
void writePng(const std::string& path, int width, int height,
              const std::vector<std::uint8_t>& rgb) {
    std::string partial = path + ".partial";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) fail("cannot write " + path + ": " + std::strerror(errno));
    bool ok = encodePng(file, width, height, rgb);
    ok = std::fclose(file) == 0 && ok;
    if (!ok || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        fail("cannot write " + path);
    }
}
}  // namespace

int main(int argc, char** argv) {
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
    std::printf("wrote %s\n", options.output.c_str());
    return 0;
}
