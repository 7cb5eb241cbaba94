#pragma once
// Pictures of the scene as PNG files.
#include <string>
#include <vector>

namespace qv {

// An RGB picture as OpenGL reads it: rows from the bottom up.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

// The picture GL has drawn into the current read buffer.
Picture readPicture(int width, int height);

// Writes `picture` (top row first in the file) to `path`; false with the reason.
bool writePng(const std::string& path, const Picture& picture, std::string& problem);

}  // namespace qv
