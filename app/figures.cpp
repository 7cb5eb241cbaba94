#include "app/figures.h"

#include <GL/gl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <system_error>
#include <vector>

#include "app/batch.h"
#include "app/exchange.h"
#include "setup/loading.h"
#include "view/image.h"
#include "view/offscreen.h"
#include "view/render.h"
#include "view/view_state.h"

extern char** environ;

namespace qv {
namespace {

bool executable(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

// A program on PATH, or empty.
std::string onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty() && executable(dir + "/" + name)) return dir + "/" + name;
    }
    return {};
}

// Runs a program with its output on ours; its exit status, or -1 when it could not start.
int runProgram(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The plotting module: where the install puts it beside this program (PREFIX/bin/quorvex,
// PREFIX/share/quorvex/python), else in the source tree the program was built from.
std::string plotModule() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    for (const std::filesystem::path& dir :
         {self.parent_path().parent_path() / "share/quorvex/python",
          std::filesystem::path(QUORVEX_SOURCE_DIR) / "python"}) {
        const std::filesystem::path module = dir / "quorvex_plot.py";
        if (std::filesystem::is_regular_file(module, ec)) return module.string();
    }
    return {};
}

// The window's initial view, as a replay shows it, turned as asked.
bool viewFor(const PictureOptions& o, ViewState& view, std::string& problem) {
    view.glutAvailable = false;
    if (o.apparatus) view.apparatusDrawMode = ApparatusDraw::Wire;
    if (o.view.empty()) return true;
    std::istringstream text(o.view);
    char comma = 0;
    if (text >> view.sceneRotX >> comma >> view.sceneRotY && comma == ',' && text.peek() == EOF)
        return true;
    problem = "--view " + o.view + ": give the turns about x and y in degrees, as 30,45";
    return false;
}

// frames/runA.png, 12 of 400 -> frames/runA0012.png
std::string numbered(const std::string& out, int index, int count) {
    const std::filesystem::path path = out;
    const std::string digits = std::to_string(count);
    std::string number = std::to_string(index);
    number.insert(0, digits.size() > number.size() ? digits.size() - number.size() : 0, '0');
    return (path.parent_path() / (path.stem().string() + number + path.extension().string()))
        .string();
}

}  // namespace

int runPlot(const PlotOptions& o) {
    const std::string module = plotModule();
    if (module.empty()) {
        std::cerr << "quorvex: the plotting module quorvex_plot.py is not installed\n";
        return 1;
    }
    // Debian's interpreter is the one that has matplotlib.
    const std::string python =
        executable("/usr/bin/python3") ? "/usr/bin/python3" : onPath("python3");
    if (python.empty()) {
        std::cerr << "quorvex: plots need python3 with matplotlib (Debian: python3-matplotlib)\n";
        return 1;
    }
    const int status = runProgram({python, module, o.baseName, o.out});
    if (status < 0) {
        std::cerr << "quorvex: " << python << " did not run\n";
        return 1;
    }
    return status;
}

int runPicture(const PictureOptions& o) {
    Simulation sim;
    ViewState view;
    std::string problem;
    if (!viewFor(o, view, problem)) return refuse(problem);
    {
        const QuietConsole quiet;
        // As a replay: every slot is drawn.
        sim.run.runMode = RunMode::Play;
        if (!loadDataSet(sim, o.dataSet, problem)) return refuse(o.dataSet + ": " + problem);
    }
    const int stored = static_cast<int>(storedFrameCount(sim));
    std::vector<int> frames;
    if (!o.frames.empty()) {
        frames = frameRange(o.frames, stored, problem);
        if (frames.empty()) return refuse("--frames " + o.frames + ": " + problem);
    } else if (o.frame >= 0 && o.frame <= stored) {
        frames = {o.frame == 0 ? stored : o.frame};
    } else {
        return refuse("--frame " + std::to_string(o.frame) + ": " + o.dataSet +
                      " holds stored frames 1 to " + std::to_string(stored));
    }
    const std::filesystem::path folder = std::filesystem::path(o.out).parent_path();
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (ec) return refuse("the folder " + folder.string() + " cannot be made: " + ec.message());

    const OffscreenContext context(o.size, o.size);
    if (!context.problem().empty()) {
        std::cerr << "quorvex: no offscreen picture: " << context.problem() << '\n';
        return 1;
    }
    // The window's GL state, projection and steady lights (set with the camera of a redraw).
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    reshape(view, o.size, o.size);
    drawFrame(sim, view);
    applyLights();

    const bool sequence = !o.frames.empty();
    const int count = static_cast<int>(frames.size());
    for (int k = 0; k < count; ++k) {
        setFrameFromStore(sim, frames[k]);
        drawFrame(sim, view);
        const std::string name = sequence ? numbered(o.out, k + 1, count) : o.out;
        if (!writePng(name, readPicture(o.size, o.size), problem)) {
            std::cerr << "quorvex: " << name << " cannot be written: " << problem << '\n';
            return 1;
        }
    }
    if (!sequence) {
        std::cout << o.out << ": stored frame " << frames[0] << " of " << o.dataSet << '\n';
        return 0;
    }
    std::cout << numbered(o.out, 1, count) << " to " << numbered(o.out, count, count) << ": "
              << count << " stored frames of " << o.dataSet << '\n';
    const std::string ffmpeg = onPath("ffmpeg");
    if (ffmpeg.empty()) {
        std::cout << "ffmpeg is not installed: no MP4\n";
        return 0;
    }
    const std::filesystem::path out = o.out;
    const std::string pattern = (out.parent_path() / (out.stem().string() + "%0" +
                                                      std::to_string(std::to_string(count).size()) +
                                                      "d" + out.extension().string()))
                                    .string();
    const std::string movie = (out.parent_path() / (out.stem().string() + ".mp4")).string();
    // Even sides for the H.264 encoder; 25 pictures a second.
    const int status =
        runProgram({ffmpeg, "-loglevel", "error", "-y", "-framerate", "25", "-i", pattern, "-vf",
                    "pad=ceil(iw/2)*2:ceil(ih/2)*2", "-pix_fmt", "yuv420p", movie});
    if (status != 0) {
        std::cerr << "quorvex: ffmpeg could not make " << movie << '\n';
        return 1;
    }
    std::cout << movie << '\n';
    return 0;
}

}  // namespace qv
