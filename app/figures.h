#pragma once
// Figures without a screen: plots of a render's result files (matplotlib, through the plotting
// module shipped with the program) and pictures of stored frames drawn by the window's own code
// in an offscreen OpenGL context. Exit statuses: 0 done, 1 a file could not be made or read
// whole, 2 bad input.
#include <string>

namespace qv {

struct PlotOptions {
    std::string baseName;
    std::string out = ".";
};
int runPlot(const PlotOptions& options);

struct PictureOptions {
    std::string dataSet;
    int frame = 0;       // stored frame, 0 for the last
    std::string frames;  // FIRST:LAST:STEP: a numbered sequence (and an MP4 with ffmpeg)
    std::string view;    // "X,Y": the scene turned by X degrees about x, then Y about y
    int size = 900;      // pixels, square as the window
    bool apparatus = false;
    std::string out;
};
int runPicture(const PictureOptions& options);

}  // namespace qv
