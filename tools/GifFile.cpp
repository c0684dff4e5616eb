#include "tools/GifFile.h"

#include <gif_lib.h>

#include <unordered_map>

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
