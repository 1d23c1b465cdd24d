// Window screenshots through fl_read_image and PNG files through libpng's simplified writer.
#include "ui/Screenshot.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <png.h>

#include <memory>
#include <stdexcept>

namespace ui {

Image::Rgb Image::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) throw std::out_of_range("pixel outside the image");
    const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
    return Rgb{rgb[at], rgb[at + 1], rgb[at + 2]};
}

Image CaptureWindow(Fl_Window& window) {
    if (!window.shown()) throw std::runtime_error("cannot capture a window that is not shown");
    window.make_current();
    const int w = window.w();
    const int h = window.h();
    std::unique_ptr<uchar[]> pixels(fl_read_image(nullptr, 0, 0, w, h));
    if (!pixels) throw std::runtime_error("cannot read the window's pixels");
    Image image;
    image.width = w;
    image.height = h;
    image.rgb.assign(pixels.get(), pixels.get() + static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    return image;
}

void SavePng(const Image& image, const std::string& path) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3)
        throw std::runtime_error("cannot write an empty or malformed image to " + path);
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    const int ok = png_image_write_to_file(&png, path.c_str(), 0, image.rgb.data(), image.width * 3, nullptr);
    if (ok == 0) {
        const std::string reason = png.message;
        png_image_free(&png);
        throw std::runtime_error("cannot write " + path + ": " + reason);
    }
}

} // namespace ui
