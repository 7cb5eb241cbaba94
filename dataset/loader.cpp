#include "dataset/loader.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <locale>
#include <memory>
#include <new>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "setup/configuration.h"
#include "sim/constants.h"
#include "sim/cooling.h"
#include "sim/simulation.h"

namespace qv {
namespace {

constexpr int kHeaderFields = 9;
constexpr int kPropertyFields = 7;
constexpr int kFrameFields = 5;

// The shortest lines the format allows, line end included: one character per field and one
// blank between fields. They bound how much a file of a given size can really hold.
constexpr std::uint64_t kMinPropertyLineBytes = 14;
constexpr std::uint64_t kMinFrameLineBytes = 10;

// No line of a data set comes near this length; a longer one means the file is something else.
constexpr std::size_t kMaxLineBytes = 1 << 16;
constexpr std::size_t kReadChunk = 1 << 20;

// The pair loop is quadratic: far below this many slots a run already advances too slowly to use.
constexpr int kMaxSlots = 10'000'000;

// Where a real of the file may lie. Every normalised quantity of a plasma the program can model
// is far inside 1e-30 to 1e30 in size; outside it a value is no run at all, and a product of a
// few such values in the step (charge squared over mass and distance cubed, times the step)
// would overflow to inf and nan. Tiny coordinates count too: two grains 1e-160 apart give an
// infinite force.
struct Range {
    double largest = 1e30;
    bool zero = false;      // 0 itself is a sound value (a slot at rest on an axis, no charge)
    bool negative = false;  // the range holds -largest to -1e-30 too
};
constexpr double kSmallest = 1e-30;
constexpr Range kPositive{};
constexpr Range kPositiveOrZero{1e30, true};
constexpr Range kSigned{1e30, true, true};
// The probe weighs 1e61 electron masses so that nothing moves it; weight only slows a body down.
constexpr Range kGrainMass{1e100};
// A dead particle waiting in the reserve has no mass until it is fired.
constexpr Range kDeadMass{1e100, true};

bool fits(double v, const Range& r) {
    if (v == 0) return r.zero;
    if (v < 0 && !r.negative) return false;
    const double size = std::abs(v);
    return size >= kSmallest && size <= r.largest;
}

// A real as the console shows it.
std::string num(double v) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << v;
    return text.str();
}

std::string describe(const Range& r) {
    return (r.zero ? "0 or from " : "from ") + num(kSmallest) + " to " + num(r.largest) +
           (r.negative ? " in size" : "");
}

// What is wrong with a file, and on which line (counted from 1).
struct Problem {
    long long line = 0;
    std::string what;
};

// Reads a file line by line through a large buffer, far faster than formatted stream input.
class LineReader {
  public:
    enum class Status { Line, CutShort, End, TooLong };

    // Only regular files count: a directory or a device is no data set.
    bool open(const std::string& path) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) return false;
        size_ = std::filesystem::file_size(path, ec);
        if (ec) return false;
        file_.reset(std::fopen(path.c_str(), "rb"));
        if (!file_) return false;
        buffer_.resize(kReadChunk + kMaxLineBytes);
        return true;
    }

    // The next line, without its line end (LF or CRLF). CutShort is a last line without a line
    // end: the write that made it was interrupted, so its last field may be truncated.
    Status next(std::string_view& line) {
        for (;;) {
            const char* begin = buffer_.data() + pos_;
            const std::size_t available = end_ - pos_;
            const void* lf = available > 0 ? std::memchr(begin, '\n', available) : nullptr;
            if (lf != nullptr) {
                const std::size_t length = static_cast<const char*>(lf) - begin;
                line = trimCarriageReturn(std::string_view(begin, length));
                pos_ += length + 1;
                consumed_ += length + 1;
                ++lineNumber_;
                return Status::Line;
            }
            if (atEof_) {
                if (available == 0) return Status::End;
                line = trimCarriageReturn(std::string_view(begin, available));
                pos_ = end_;
                consumed_ += available;
                ++lineNumber_;
                return Status::CutShort;
            }
            if (available >= kMaxLineBytes) {
                ++lineNumber_;
                return Status::TooLong;
            }
            std::memmove(buffer_.data(), begin, available);
            pos_ = 0;
            end_ = available;
            const std::size_t got =
                std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_.get());
            if (got == 0) atEof_ = true;  // a read error ends the file just the same
            end_ += got;
        }
    }

    long long lineNumber() const { return lineNumber_; }
    std::uint64_t bytesLeft() const { return size_ > consumed_ ? size_ - consumed_ : 0; }

  private:
    static std::string_view trimCarriageReturn(std::string_view s) {
        if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
        return s;
    }

    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool atEof_ = false;
    std::uint64_t size_ = 0;
    std::uint64_t consumed_ = 0;
    long long lineNumber_ = 0;
};

// Splits at runs of blanks and returns the number of fields; it counts on past `max`, so that a
// line with too many fields is seen as such.
int splitFields(std::string_view line, std::string_view* fields, int max) {
    int count = 0;
    std::size_t i = 0;
    const std::size_t n = line.size();
    for (;;) {
        while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i == n) return count;
        const std::size_t start = i;
        while (i < n && line[i] != ' ' && line[i] != '\t') ++i;
        if (count < max) fields[count] = line.substr(start, i - start);
        ++count;
    }
}

// The whole field must be the number; inf, nan and out-of-range values are no positions.
bool parseReal(std::string_view s, double& value) {
    const char* first = s.data();
    const char* last = first + s.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last && std::isfinite(value);
}

bool parseInt(std::string_view s, int& value) {
    const char* first = s.data();
    const char* last = first + s.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last;
}

std::string quoted(std::string_view s) {
    constexpr std::size_t kShown = 40;
    std::string q = "\"";
    q += s.substr(0, kShown);
    if (s.size() > kShown) q += "...";
    return q + "\"";
}

constexpr const char* kTooLong = "the line is far too long for a data set";

struct Header {
    int slots = 0;
    int endFrame = 0;
    double apparatusRadius = 0;
    double timeStep = 0;
    double debyeSphereCount = 0;
    int writeFreq = 0;
    double dustPlasmaFrequency = 0;
    double interparticleDistance = 0;
    int deadParticles = 0;
};

bool readHeader(LineReader& reader, Header& h, Problem& problem) {
    static constexpr const char* kNames[kHeaderFields] = {"number of slots",
                                                          "EndFrame",
                                                          "Rapar",
                                                          "time step",
                                                          "Debye sphere count",
                                                          "write frequency",
                                                          "dust plasma frequency",
                                                          "interparticle distance",
                                                          "number of dead particles"};
    std::string_view line;
    const LineReader::Status status = reader.next(line);
    problem.line = 1;
    if (status == LineReader::Status::End) {
        problem.what = "the file is empty";
        return false;
    }
    if (status == LineReader::Status::TooLong) {
        problem.what = kTooLong;
        return false;
    }
    if (status == LineReader::Status::CutShort) {
        problem.what = "the header line is cut short (the file ends inside it)";
        return false;
    }
    std::string_view f[kHeaderFields];
    const int count = splitFields(line, f, kHeaderFields);
    if (count != kHeaderFields) {
        problem.what = "the header has " + std::to_string(count) + " fields where 9 belong";
        return false;
    }
    int* const ints[kHeaderFields] = {&h.slots,     &h.endFrame, nullptr, nullptr,         nullptr,
                                      &h.writeFreq, nullptr,     nullptr, &h.deadParticles};
    double* const reals[kHeaderFields] = {nullptr,
                                          nullptr,
                                          &h.apparatusRadius,
                                          &h.timeStep,
                                          &h.debyeSphereCount,
                                          nullptr,
                                          &h.dustPlasmaFrequency,
                                          &h.interparticleDistance,
                                          nullptr};
    for (int i = 0; i < kHeaderFields; ++i) {
        const bool whole = ints[i] != nullptr;
        if (whole ? parseInt(f[i], *ints[i]) : parseReal(f[i], *reals[i])) continue;
        problem.what = "header field " + std::to_string(i + 1) + " (" + kNames[i] + ") is " +
                       quoted(f[i]) + ", not " + (whole ? "a whole number" : "a number");
        return false;
    }
    auto fail = [&](const std::string& what) {
        problem.what = what;
        return false;
    };
    if (h.slots < 1)
        return fail("the number of slots is " + std::to_string(h.slots) + "; at least 1 is needed");
    if (h.slots > kMaxSlots)
        return fail("the number of slots is " + std::to_string(h.slots) + "; at most " +
                    std::to_string(kMaxSlots) + " are possible");
    if (h.endFrame < 1)
        return fail("EndFrame is " + std::to_string(h.endFrame) + "; at least 1 is needed");
    if (h.writeFreq < 1)
        return fail("the write frequency is " + std::to_string(h.writeFreq) +
                    "; at least 1 is needed");
    if (static_cast<long long>(h.endFrame) * h.writeFreq > INT_MAX)
        return fail("EndFrame times the write frequency is more frames than a run can count");
    // The number density and the velocities divide by Rapar, the time step and the Debye sphere
    // count; the dust plasma frequency times the run time is printed.
    const Range ranges[kHeaderFields] = {
        {}, {}, kPositive, kPositive, kPositive, {}, kPositiveOrZero, kPositive, {}};
    for (int i = 0; i < kHeaderFields; ++i) {
        if (reals[i] == nullptr || fits(*reals[i], ranges[i])) continue;
        return fail("header field " + std::to_string(i + 1) + " (" + kNames[i] + ") is " +
                    quoted(f[i]) + "; it must be " + describe(ranges[i]));
    }
    // Every run has at least one grain; the dead particles are the rest.
    if (h.deadParticles < 0 || h.deadParticles >= h.slots)
        return fail("the number of dead particles is " + std::to_string(h.deadParticles) +
                    ", outside 0 to " + std::to_string(h.slots - 1));
    // Before anyone allocates for the slots: the file must be long enough to hold their
    // property lines at all.
    const std::uint64_t needed = static_cast<std::uint64_t>(h.slots) * kMinPropertyLineBytes;
    if (reader.bytesLeft() < needed)
        return fail("the header promises " + std::to_string(h.slots) +
                    " slots, but the file is far too short to hold their property lines");
    return true;
}

void reportProblem(const std::string& name, const Problem& problem) {
    console::out() << '\n'
                   << "Error in data set file " << name << ", line " << problem.line << ": "
                   << problem.what << '\n'
                   << "Please choose another file" << '\n'
                   << std::flush;
}

int askEndFrame(int reported) {
    std::ostream& out = console::out();
    const std::string prompt =
        "For unfinished file please manually enter new EndFrame number (Reported EndFrame: " +
        std::to_string(reported) + ") - enter 0 to leave: \n";
    out << '\n' << prompt << std::flush;
    const int answer = console::readIntWhere(
        [](int v) { return v >= 0; },
        "EndFrame cannot be negative: enter 0 to keep it or the number of complete frames", prompt);
    out << '\n';
    return answer;
}

// Percentage of the frames read, overwritten in place on one console line.
class Progress {
  public:
    Progress(long long frames, long long linesPerFrame)
        : frames_(frames), shown_(frames * linesPerFrame >= loaderSettings.progressMinLines) {
        if (shown_) console::out() << "Loading frames:   0%" << std::flush;
    }
    ~Progress() {
        if (shown_) console::out() << '\n' << std::flush;
    }
    void frameDone(long long done) {
        if (!shown_) return;
        const int percent = static_cast<int>(done * 100 / frames_);
        if (percent == last_) return;
        last_ = percent;
        char text[8];
        std::snprintf(text, sizeof text, "%3d%%", percent);
        console::out() << "\b\b\b\b" << text << std::flush;
    }

  private:
    long long frames_;
    bool shown_;
    int last_ = 0;
};

bool readProperties(LineReader& reader, int slots, Problem& problem) {
    Particle* record = sim.arrays.particleArray.data() + sim.arrays.particleCursor;
    std::string_view line;
    std::string_view f[kPropertyFields];
    for (int s = 0; s < slots; ++s) {
        const LineReader::Status status = reader.next(line);
        if (status == LineReader::Status::End || status == LineReader::Status::CutShort) {
            problem = {reader.lineNumber() + (status == LineReader::Status::End ? 1 : 0),
                       "the file ends in the property block after " + std::to_string(s) + " of " +
                           std::to_string(slots) + " slots"};
            return false;
        }
        problem.line = reader.lineNumber();
        if (status == LineReader::Status::TooLong) {
            problem.what = kTooLong;
            return false;
        }
        const int count = splitFields(line, f, kPropertyFields);
        if (count != kPropertyFields) {
            problem.what = "a property line has 7 fields, this one " + std::to_string(count);
            return false;
        }
        int slot = 0;
        if (!parseInt(f[0], slot) || slot != s + 1) {
            problem.what =
                "slot number " + quoted(f[0]) + " where " + std::to_string(s + 1) + " belongs";
            return false;
        }
        double v[6];
        for (int i = 0; i < 6; ++i) {
            if (!parseReal(f[i + 1], v[i])) {
                problem.what = "property field " + std::to_string(i + 2) + " is " +
                               quoted(f[i + 1]) + ", not a number";
                return false;
            }
        }
        // Colours are only drawn; mass, charge and radius enter the step.
        const bool dead = v[0] == static_cast<double>(deadColourRed);
        const Range ranges[3] = {dead ? kDeadMass : kGrainMass, kSigned,
                                 dead ? kPositiveOrZero : kPositive};
        for (int i = 3; i < 6; ++i) {
            if (fits(v[i], ranges[i - 3])) continue;
            static constexpr const char* kWhat[3] = {"mass", "charge", "radius"};
            problem.what = "property field " + std::to_string(i + 2) + " (" + kWhat[i - 3] +
                           (dead ? " of a dead particle" : " of a grain") + ") is " +
                           quoted(f[i + 1]) + "; it must be " + describe(ranges[i - 3]);
            return false;
        }
        Particle& p = record[s];
        p.setColour(v[0], v[1], v[2]);
        p.setMass(v[3]);
        p.setCharge(v[4]);
        p.setRadius(v[5]);
        ++sim.arrays.particleCursor;
    }
    return true;
}

// One frame line of slot s (from 0): x, y, z into `out`; false with `what` set when it is broken.
bool parseFrameLine(std::string_view line, int s, double* out, std::string& what) {
    std::string_view f[kFrameFields];
    const int count = splitFields(line, f, kFrameFields);
    if (count != kFrameFields) {
        what = "a frame line has 5 fields, this one " + std::to_string(count);
        return false;
    }
    int frameNumber = 0;
    int slot = 0;
    if (!parseInt(f[0], frameNumber)) {
        what = "the frame number " + quoted(f[0]) + " is not a whole number";
        return false;
    }
    // A line lost or doubled would shift every later position onto the wrong grain.
    if (!parseInt(f[1], slot) || slot != s + 1) {
        what = "slot number " + quoted(f[1]) + " where " + std::to_string(s + 1) + " belongs";
        return false;
    }
    for (int axis = 0; axis < 3; ++axis) {
        if (!parseReal(f[2 + axis], out[axis])) {
            what = "position field " + std::to_string(3 + axis) + " is " + quoted(f[2 + axis]) +
                   ", not a number";
            return false;
        }
        if (!fits(out[axis], kSigned)) {
            what = "position field " + std::to_string(3 + axis) + " is " + quoted(f[2 + axis]) +
                   "; it must be " + describe(kSigned);
            return false;
        }
    }
    return true;
}

// What reading the frames gave: the complete frames now in the store, and whether a broken line
// (described in the problem) stopped the reading before EndFrame.
struct FramesRead {
    long long complete = 0;
    bool broken = false;
};

// Reads up to `endFrame` frames into `store`. A file that ends early and a broken line both
// leave the frames before them: a render that blew up still replays up to where it did. A
// frame cut off midway does not count.
FramesRead readFrames(LineReader& reader, int slots, int endFrame, std::vector<double>& store,
                      Problem& problem) {
    const std::size_t frameLength = static_cast<std::size_t>(slots) * 3;
    Progress progress(endFrame, slots);
    std::string_view line;
    for (long long frame = 0; frame < endFrame; ++frame) {
        store.resize(store.size() + frameLength);
        double* out = store.data() + store.size() - frameLength;
        for (int s = 0; s < slots; ++s, out += 3) {
            const LineReader::Status status = reader.next(line);
            // A last line without its line end is whole when it parses and is the last one
            // wanted (an editor may drop the final line end); elsewhere its write was cut off.
            if (status == LineReader::Status::CutShort && frame == endFrame - 1 && s == slots - 1 &&
                parseFrameLine(line, s, out, problem.what))
                continue;
            if (status == LineReader::Status::End || status == LineReader::Status::CutShort) {
                store.resize(store.size() - frameLength);
                return {frame, false};
            }
            problem.line = reader.lineNumber();
            if (status == LineReader::Status::TooLong) {
                problem.what = kTooLong;
            } else if (parseFrameLine(line, s, out, problem.what)) {
                continue;
            }
            store.resize(store.size() - frameLength);
            return {frame, true};
        }
        progress.frameDone(frame + 1);
    }
    return {endFrame, false};
}

// One attempt at the whole file named `baseName`: header into the globals, the EndFrame prompt,
// property block into the records, every frame into `frameStore`. On a broken file it says
// what and where, and returns false; the globals are then to be read again from another file.
bool loadFramesOnce() {
    std::ostream& out = console::out();
    const std::string& name = sim.run.baseName;
    LineReader reader;
    if (!reader.open(name)) {
        out << "Error: Unable to open file" << '\n' << "Please choose another file" << '\n';
        return false;
    }
    Header h;
    Problem problem;
    if (!readHeader(reader, h, problem)) {
        reportProblem(name, problem);
        return false;
    }
    sim.numParticles = h.slots;
    sim.model.apparatusRadius = h.apparatusRadius;
    sim.model.timeStep = h.timeStep;
    sim.model.debyeSphereCount = h.debyeSphereCount;
    sim.clock.writeFreq = h.writeFreq;
    sim.model.dustPlasmaFrequency = h.dustPlasmaFrequency;
    sim.model.interparticleDistance = h.interparticleDistance;
    sim.reserve.numDeadParticles = h.deadParticles;
    // Unfired dead particles wait at 1.5 Rapar on the y axis.
    sim.reserve.deadParkY = 1.5 * h.apparatusRadius;
    sim.model.numberDensity = (h.slots - h.deadParticles) / (h.apparatusRadius * h.apparatusRadius *
                                                          h.apparatusRadius * h.debyeSphereCount);
    // In a replay every slot is drawn as a grain.
    if (sim.run.runMode == RunMode::Play) sim.reserve.numDeadParticles = 0;

    int endFrame = h.endFrame;
    const int answer = askEndFrame(endFrame);
    if (answer > 0) {
        endFrame = answer;
        sim.clock.framesToCalculate = answer;
    }

    // The records to fill must be exactly the file's slots, from the cursor on.
    if (sim.arrays.particleCursor > sim.arrays.particleArray.size() ||
        sim.arrays.particleArray.size() - sim.arrays.particleCursor != static_cast<std::size_t>(h.slots))
        allocateParticles(h.slots);
    if (!readProperties(reader, h.slots, problem)) {
        reportProblem(name, problem);
        return false;
    }
    reportAverages();

    // Never reserve more frames than the rest of the file can hold, whatever EndFrame says.
    const std::uint64_t fit = reader.bytesLeft() / (kMinFrameLineBytes * h.slots);
    const std::uint64_t capacity =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(endFrame), fit);
    // A file loaded before is given up first, so two stores are never held at once.
    std::vector<double>().swap(sim.arrays.frameStore);
    std::vector<double> store;
    try {
        store.reserve(capacity * h.slots * 3);
    } catch (const std::bad_alloc&) {
        reportProblem(name, {1, "its " + std::to_string(capacity) + " frames of " +
                                    std::to_string(h.slots) + " slots do not fit in memory"});
        return false;
    } catch (const std::length_error&) {
        reportProblem(name, {1, "its frames do not fit in memory"});
        return false;
    }
    const FramesRead read = readFrames(reader, h.slots, endFrame, store, problem);
    const long long frames = read.complete;
    if (frames == 0) {
        if (!read.broken)
            problem = {reader.lineNumber() + 1, "the file holds no complete stored frame"};
        reportProblem(name, problem);
        return false;
    }
    if (frames < endFrame) {
        out << '\n' << "The file " << name;
        if (read.broken)
            out << " breaks at line " << problem.line << " (" << problem.what << ") after ";
        else
            out << " ends after ";
        out << frames << " complete stored frames, not the " << endFrame << " of its EndFrame"
            << (read.broken ? "" : " (an unfinished render)") << ": " << frames
            << " frames are loaded" << '\n'
            << '\n';
        sim.clock.framesToCalculate = static_cast<int>(frames);
        store.shrink_to_fit();
    }
    sim.arrays.frameStore = std::move(store);
    return true;
}

long long storedFrameCount() {
    if (sim.numParticles < 1) return 0;
    return static_cast<long long>(sim.arrays.frameStore.size() /
                                  (static_cast<std::size_t>(sim.numParticles) * 3));
}

// The frame to continue from: within 1 to `maxFrame`, and late enough that a stored frame comes
// before it, since the velocities are the difference of the two.
int askContinueFrame(int maxFrame) {
    std::ostream& out = console::out();
    const std::string prompt =
        "Please select the frame you wish to load Max(" + std::to_string(maxFrame) + ")  : \n";
    out << '\n' << prompt << std::flush;
    const int writeFreq = sim.clock.writeFreq;
    for (;;) {
        const int n = console::readInt(prompt);
        if (n >= 1 && n <= maxFrame && n / writeFreq >= 2) return n;
        out << '\n' << "Error please pick another value" << '\n';
        if (n >= 1 && n <= maxFrame)
            out << "Frame " << n << " is stored frame " << n / writeFreq
                << ", which has no stored frame before it for the velocities: pick a frame from "
                << 2 * writeFreq << " to " << maxFrame << '\n';
        out << std::flush;
    }
}

void announceFrame(int storedFrame) {
    console::out() << '\n'
                   << "Taking into account the write frequency frame " << storedFrame
                   << " will be loaded." << '\n'
                   << '\n'
                   << "Please wait while the file is loaded... " << '\n'
                   << '\n'
                   << std::flush;
}

// Positions of stored frame q; velocities from the frame before it, writeFreq steps earlier.
void restoreFrame(int storedFrame) {
    const std::size_t frameLength = static_cast<std::size_t>(sim.numParticles) * 3;
    const double* now = sim.arrays.frameStore.data() + (storedFrame - 1) * frameLength;
    const double* before = now - frameLength;
    const double interval = sim.clock.writeFreq * sim.model.timeStep;
    for (int s = 0; s < sim.numParticles; ++s) {
        Particle& p = sim.arrays.particleArray[s];
        for (int axis = 0; axis < 3; ++axis) {
            p.setPosition(axis, now[3 * s + axis]);
            p.setVelocity(axis, (now[3 * s + axis] - before[3 * s + axis]) / interval);
        }
    }
}

// Unfired dead particles all wait at the same y, the last slot among them; their count shows
// whether the header's dead particle number still holds.
void checkDeadParticles() {
    std::ostream& out = console::out();
    const int slots = sim.numParticles;
    const double parkedY = sim.arrays.particleArray[slots - 1].position(1);
    int waiting = 0;
    for (int s = 0; s < slots; ++s)
        if (sim.arrays.particleArray[s].position(1) == parkedY) ++waiting;
    if (waiting == sim.reserve.numDeadParticles) return;

    const int headerCount = sim.reserve.numDeadParticles;
    out << '\n'
        << "Number of deadparticles in header file (" << headerCount
        << ") does not match estimated (" << waiting << ")." << '\n';
    const std::string prompt = "Please enter the number of dead particles you wish to use: \n";
    out << prompt << std::flush;
    // The cloud keeps its grain spacing, so the apparatus grows or shrinks with the live count;
    // the new Rapar goes into the header of the new data set, which must load again.
    const double spacing = sim.model.interparticleDistance;
    const auto raparFor = [slots, spacing](int deadCount) {
        return std::cbrt(3.0 * (slots - deadCount + 1) / (4.0 * pi)) * spacing;
    };
    for (;;) {
        // At least one live grain must stay: its properties are the ones the others take on.
        const int count = console::readIntWhere(
            [slots](int v) { return v >= 0 && v < slots; },
            "Please enter a number from 0 to " + std::to_string(slots - 1), prompt);
        const double rapar = raparFor(count);
        if (count == headerCount || fits(rapar, kPositive)) {
            sim.reserve.numDeadParticles = count;
            break;
        }
        out << "With " << count << " dead particles Rapar would be " << num(rapar)
            << "; it must be " << describe(kPositive) << '\n'
            << prompt << std::flush;
    }
    out << '\n';
    if (sim.reserve.numDeadParticles == headerCount) return;

    const int live = slots - sim.reserve.numDeadParticles;
    out << "Old Aparatus Radius: " << sim.model.apparatusRadius << '\n';
    sim.model.apparatusRadius = raparFor(sim.reserve.numDeadParticles);
    out << "New Aparatus Radius: " << sim.model.apparatusRadius << " : Check value " << parkedY / 1.5
        << '\n';
    out << "Old number density: " << sim.model.numberDensity << '\n';
    const double r = sim.model.apparatusRadius;
    sim.model.numberDensity = live / (r * r * r * sim.model.debyeSphereCount);
    out << "New number density: " << sim.model.numberDensity << '\n'
        << '\n'
        << "All particles will be set to particle 0's properties" << '\n'
        << "This is to ensure system stability - to avoid this please load a master file" << '\n'
        << '\n'
        << std::flush;
    sim.reserve.deadParkY = 1.5 * sim.model.apparatusRadius;
    const Particle& first = sim.arrays.particleArray[0];
    const double mass = first.mass();
    const double charge = first.charge();
    for (int s = 0; s < live; ++s) {
        Particle& p = sim.arrays.particleArray[s];
        p.setCharge(charge);
        p.setMass(mass);
        p.setColour(0, 0, 0);
    }
}

// The largest velocity component of any slot. A new temperature or a longer step must not let
// a grain move further in one step than a data set may place it: the new data set has to load
// again. What the loaded velocities already do is never refused.
double fastestSpeed() {
    double fastest = 0;
    for (const Particle& p : sim.arrays.particleArray)
        for (const double v : p.vel) fastest = std::max(fastest, std::abs(v));
    return fastest;
}

void offerTemperatureChange() {
    std::ostream& out = console::out();
    out << '\n';
    if (sim.clock.framesToCalculate == 2)
        out << "The file you chose to load appears to be a Master File, would you like change the "
               "temperature y/n";
    else
        out << "Would you like change the temperature y/n";
    out << '\n' << std::flush;
    if (console::readChar() != 'y') return;
    const int live = sim.liveCount();
    double speedSum = 0;
    for (int s = 0; s < live; ++s) speedSum += sim.arrays.particleArray[s].speed();
    const double meanSpeed = live > 0 ? speedSum / live : 0.0;
    sim.thermostat.temperatureRatio = sim.arrays.particleArray[0].mass() * meanSpeed * meanSpeed / 3.0;
    const std::vector<Particle> loaded = sim.arrays.particleArray;
    const double limit = std::max(fastestSpeed(), kSigned.largest / sim.model.timeStep);
    for (;;) {
        changeTemperature();
        if (fastestSpeed() <= limit) return;
        sim.arrays.particleArray = loaded;
        out << "At that temperature a grain would move more than " << num(kSigned.largest)
            << " in one step: please enter a lower temperature" << '\n'
            << '\n';
    }
}

int askPositiveInt(const std::string& text, int max, const std::string& refusal) {
    const std::string prompt = text + "\n";
    console::out() << prompt << std::flush;
    const int v =
        console::readIntWhere([max](int x) { return x >= 1 && x <= max; }, refusal, prompt);
    console::out() << '\n';
    return v;
}

void askContinuation() {
    std::ostream& out = console::out();
    out << '\n';
    sim.clock.framesToCalculate =
        askPositiveInt("Please select the number of frames you wish to generate", INT_MAX,
                       "Please enter at least 1 frame");
    // A write interval longer than the run would store no frame at all.
    sim.clock.writeFreq = askPositiveInt(
        "Please enter how often particle position data should be output(4)",
        sim.clock.framesToCalculate,
        "Please enter a value from 1 to " + std::to_string(sim.clock.framesToCalculate));
    sim.clock.analysisFreq =
        askPositiveInt("Please enter how often the analysis file should be written(100)", INT_MAX,
                       "Please enter a value of at least 1");
    // The new step goes into the header of the new data set: it must load again like this one.
    const std::string prompt = "Multiply step length by(1.0)\n";
    out << prompt << std::flush;
    const double step = sim.model.timeStep;
    const double speed = fastestSpeed();
    const double factor = console::readRealWhere(
        [step, speed](double m) {
            return fits(step * m, kPositive) && (m <= 1 || speed * step * m <= kSigned.largest);
        },
        "The new time step must be " + describe(kPositive) + " and move no grain more than " +
            num(kSigned.largest) + " in one step: please enter another factor",
        prompt);
    out << '\n';
    sim.model.timeStep *= factor;
    sim.clock.numWrittenFrames = sim.clock.framesToCalculate / sim.clock.writeFreq;
    sim.clock.framesToCalculate = sim.clock.numWrittenFrames * sim.clock.writeFreq;
}

}  // namespace

void openDataSetForReading() {
    std::ostream& out = console::out();
    const std::string question =
        "If you wish to play this file press 1 otherwise press 2 to choose another file\n";
    for (;;) {
        out << '\n' << "Please enter the filename you wish to play" << '\n' << std::flush;
        sim.run.baseName = console::readWord();
        out << '\n' << "Loading " << sim.run.baseName << '\n' << '\n';
        LineReader reader;
        if (!reader.open(sim.run.baseName)) {
            out << '\n' << "Error in opening file please re-enter file name" << '\n';
            continue;
        }
        Header h;
        Problem problem;
        if (!readHeader(reader, h, problem)) {
            reportProblem(sim.run.baseName, problem);
            continue;
        }
        sim.numParticles = h.slots;
        sim.clock.framesToCalculate = h.endFrame;
        sim.model.apparatusRadius = h.apparatusRadius;
        sim.model.timeStep = h.timeStep;
        sim.model.debyeSphereCount = h.debyeSphereCount;
        sim.clock.writeFreq = h.writeFreq;
        out << '\n'
            << "Loading File..." << '\n'
            << "File Contains: "
            << "Particles: " << sim.numParticles
            << " || Frames: " << sim.clock.framesToCalculate * sim.clock.writeFreq << '\n'
            << '\n'
            << "Write Freq: " << sim.clock.writeFreq << " || Timestep: " << sim.model.timeStep << '\n'
            << '\n'
            << question << std::flush;
        sim.run.runMode = console::readInt(question);
        if (sim.run.runMode == RunMode::Render) return;
    }
}

void loadAllFrames() {
    // A broken file sends the user back to the file name; the run mode chosen before stays.
    while (!loadFramesOnce()) {
        const int mode = sim.run.runMode;
        openDataSetForReading();
        sim.run.runMode = mode;
        allocateParticles(sim.numParticles);
    }
}

void setFrameFromStore(int frame) {
    if (frame < 1 || frame > storedFrameCount()) return;
    const std::size_t slots =
        std::min(static_cast<std::size_t>(sim.numParticles), sim.arrays.particleArray.size());
    const double* source =
        sim.arrays.frameStore.data() + static_cast<std::size_t>(frame - 1) * sim.numParticles * 3;
    for (std::size_t s = 0; s < slots; ++s, source += 3) {
        Particle& p = sim.arrays.particleArray[s];
        p.pos[0] = source[0];
        p.pos[1] = source[1];
        p.pos[2] = source[2];
    }
}

void loadAndContinue() {
    std::ostream& out = console::out();
    int storedFrame = 0;
    for (;;) {
        openDataSetForReading();
        allocateParticles(sim.numParticles);
        sim.arrays.forceArray.assign(static_cast<std::size_t>(sim.numParticles) * 3, 0.0);
        const int endFrame = sim.clock.framesToCalculate;
        sim.clock.numWrittenFrames = endFrame;
        sim.clock.framesToCalculate = endFrame * sim.clock.writeFreq;
        if (endFrame < 2) {
            out << '\n'
                << "The file " << sim.run.baseName
                << " stores a single frame; continuing needs two, the frame and the one before "
                   "it for the velocities"
                << '\n'
                << "Please choose another file" << '\n';
            continue;
        }
        storedFrame = askContinueFrame(sim.clock.framesToCalculate) / sim.clock.writeFreq;
        announceFrame(storedFrame);
        if (!loadFramesOnce()) continue;
        // The EndFrame prompt or an unfinished file may have left fewer frames than chosen.
        const long long stored = storedFrameCount();
        if (stored < 2) {
            out << '\n'
                << "Only " << stored << " frame of " << sim.run.baseName
                << " was loaded; continuing needs two" << '\n'
                << "Please choose another file" << '\n';
            continue;
        }
        if (storedFrame > stored) {
            const long long maxFrame = std::min<long long>(stored * sim.clock.writeFreq, INT_MAX);
            out << '\n'
                << "Stored frame " << storedFrame << " is beyond the " << stored
                << " frames loaded: pick a frame from " << 2 * sim.clock.writeFreq << " to "
                << maxFrame << '\n';
            storedFrame = askContinueFrame(static_cast<int>(maxFrame)) / sim.clock.writeFreq;
            announceFrame(storedFrame);
        }
        break;
    }
    restoreFrame(storedFrame);
    checkDeadParticles();
    offerTemperatureChange();
    askContinuation();
}

}  // namespace qv
