#include "tools/PngFile.h"

#include <png.h>

namespace {
// libpng reports through these; the caller says what failed, in one line.
void pngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}
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
