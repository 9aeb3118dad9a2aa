#pragma once

#include <string>

// A font as a window definition names it. Each run-time maps a face it lacks to one of its own
// at the same size.
struct StdFont {
    std::string Name;
    // Points: 1/72 inch, 96 pixels to the inch.
    float Size = 0;
    bool Underline = false;
};
