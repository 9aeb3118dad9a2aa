#pragma once

#include <cstdint>
#include <vector>

// A decoded picture: rows top to bottom, each pixel 0xAARRGGBB with straight alpha. The GIFs'
// transparent colour has alpha 0, every other pixel 255.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};
