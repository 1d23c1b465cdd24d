// Screenshots of windows: the pixels as the X server shows them, and a PNG writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Fl_Window;

namespace ui {

// An RGB picture, rows from the top, three bytes a pixel.
struct Image {
    struct Rgb {
        uint8_t r = 0, g = 0, b = 0;
        bool operator==(const Rgb&) const = default;
    };
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    Rgb Pixel(int x, int y) const;
};

// Reads the shown window's client area from the screen (throws std::runtime_error when it
// cannot be read, e.g. the window is not shown).
Image CaptureWindow(Fl_Window& window);
// Writes image as a PNG file; throws std::runtime_error on failure.
void SavePng(const Image& image, const std::string& path);

} // namespace ui
