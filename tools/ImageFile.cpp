#include "tools/ImageFile.h"

#include <gif_lib.h>
#include <png.h>
#include <unistd.h>

#include <stdexcept>
#include <unordered_map>

#include "app/CommandLine.h"

namespace {
// libpng reports through these; the caller says what failed, in one line.
void pngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}

// Keeps standard output for the image: what the program prints goes to standard error.
int reserveStandardOutput() {
    std::fflush(stdout);
    int kept = ::dup(STDOUT_FILENO);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    return kept;
}
}  // namespace

bool encodePng(std::FILE* file, int width, int height, const std::vector<std::uint8_t>& rgb) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
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

std::unique_ptr<OutputFile> openImageFile(const std::string& path, bool standardOutputWasOpen) {
    if (path == "-") {
        if (!standardOutputWasOpen) failUsage("fishtank-render", "-o -: standard output is closed");
        return std::make_unique<OutputFile>(reserveStandardOutput(), "standard output");
    }
    try {
        return std::make_unique<OutputFile>(path);
    } catch (const std::runtime_error& e) {
        failUsage("fishtank-render", "cannot write " + path + ": " + e.what());
    }
}

void writeImageFile(OutputFile& output, const std::function<bool(std::FILE*)>& encode) {
    std::string error;
    if (!output.write(encode, error))
        failUsage("fishtank-render", "cannot write " + output.name() + ": " + error);
}

namespace {
int writeToFile(GifFileType* gif, const GifByteType* bytes, int length) {
    auto* file = static_cast<std::FILE*>(gif->UserData);
    return static_cast<int>(std::fwrite(bytes, 1, static_cast<std::size_t>(length), file));
}
}  // namespace

GifAnimation::GifAnimation(std::FILE* file, int width, int height, int framesPerSecond)
    : gif(nullptr),
      width(width),
      height(height),
      delay((100 + framesPerSecond / 2) / framesPerSecond) {
    int error = 0;
    auto* g = EGifOpen(file, writeToFile, &error);
    gif = g;
    ok = g != nullptr;
    if (!ok) return;
    EGifSetGifVersion(g, true);
    // Loops for ever: the application extension browsers know as NETSCAPE2.0.
    const GifByteType loopForever[] = {1, 0, 0};
    ok = EGifPutScreenDesc(g, width, height, 8, 0, nullptr) == GIF_OK &&
         EGifPutExtensionLeader(g, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(g, 11, "NETSCAPE2.0") == GIF_OK &&
         EGifPutExtensionBlock(g, 3, loopForever) == GIF_OK && EGifPutExtensionTrailer(g) == GIF_OK;
}

GifAnimation::~GifAnimation() {
    if (gif) EGifCloseFile(static_cast<GifFileType*>(gif), nullptr);
}

bool GifAnimation::addFrame(const std::vector<std::uint8_t>& rgb) {
    auto* g = static_cast<GifFileType*>(gif);
    if (!ok) return false;
    // The frame's own colour table, in order of first appearance.
    std::unordered_map<std::uint32_t, GifPixelType> index;
    std::vector<GifColorType> colours;
    std::vector<GifPixelType> pixels(rgb.size() / 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint8_t* p = &rgb[3 * i];
        std::uint32_t key = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
        auto [entry, added] = index.try_emplace(key, static_cast<GifPixelType>(colours.size()));
        if (added) {
            if (colours.size() == 256) return ok = false;
            colours.push_back({p[0], p[1], p[2]});
        }
        pixels[i] = entry->second;
    }
    std::size_t tableSize = 2;  // a power of two, as GIF wants
    while (tableSize < colours.size()) tableSize *= 2;
    colours.resize(tableSize, GifColorType{0, 0, 0});
    ColorMapObject* table = GifMakeMapObject(static_cast<int>(tableSize), colours.data());
    GraphicsControlBlock timing{DISPOSAL_UNSPECIFIED, false, delay, NO_TRANSPARENT_COLOR};
    GifByteType extension[4];
    EGifGCBToExtension(&timing, extension);
    ok = table && EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
         EGifPutImageDesc(g, 0, 0, width, height, false, table) == GIF_OK;
    for (int y = 0; ok && y < height; ++y)
        ok = EGifPutLine(g, &pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width)],
                         width) == GIF_OK;
    GifFreeMapObject(table);
    return ok;
}

bool GifAnimation::finish() {
    int error = 0;
    bool closed = EGifCloseFile(static_cast<GifFileType*>(gif), &error) == GIF_OK;
    gif = nullptr;
    return ok && closed;
}
