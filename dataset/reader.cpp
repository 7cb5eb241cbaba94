#include "dataset/reader.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "sim/constants.h"

namespace qv::dataset {
namespace {

constexpr int kPropertyFields = 7;
constexpr int kFrameFields = 5;

// The shortest property line the format allows, line end included: it bounds how many slots a
// file of a given size can really describe.
constexpr std::uint64_t kMinPropertyLineBytes = 14;

// No line of a data set comes near this length; a longer one means the file is something else.
constexpr std::size_t kMaxLineBytes = 1 << 16;
constexpr std::size_t kReadChunk = 1 << 20;

// The pair loop is quadratic: far below this many slots a run already advances too slowly to use.
constexpr int kMaxSlots = 10'000'000;

constexpr const char* kTooLong = "the line is far too long for a data set";

std::string_view trimCarriageReturn(std::string_view s) {
    if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    return s;
}

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

std::string fieldName(int i) {
    return "header field " + std::to_string(i + 1) + " (" + kHeaderFields[i].name + ") is ";
}

// What is wrong with the numbers of a header that parsed, or nothing.
std::optional<std::string> headerValueProblem(const Header& h, const std::string_view* f) {
    if (h.slots < 1)
        return "the number of slots is " + std::to_string(h.slots) + "; at least 1 is needed";
    if (h.slots > kMaxSlots)
        return "the number of slots is " + std::to_string(h.slots) + "; at most " +
               std::to_string(kMaxSlots) + " are possible";
    if (h.endFrame < 1)
        return "EndFrame is " + std::to_string(h.endFrame) + "; at least 1 is needed";
    if (h.writeFreq < 1)
        return "the write frequency is " + std::to_string(h.writeFreq) + "; at least 1 is needed";
    if (static_cast<long long>(h.endFrame) * h.writeFreq > INT_MAX)
        return "EndFrame times the write frequency is more frames than a run can count";
    for (int i = 0; i < kHeaderFieldCount; ++i) {
        const HeaderField& field = kHeaderFields[i];
        if (field.real == nullptr || fits(h.*field.real, field.range)) continue;
        return fieldName(i) + quoted(f[i]) + "; it must be " + describe(field.range);
    }
    // Every run has at least one grain; the dead particles are the rest.
    if (h.deadParticles < 0 || h.deadParticles >= h.slots)
        return "the number of dead particles is " + std::to_string(h.deadParticles) +
               ", outside 0 to " + std::to_string(h.slots - 1);
    return std::nullopt;
}

// One frame line of slot s (from 0): x, y, z into `out`; false with `what` set when it is broken.
bool parseFrameLine(std::string_view line, int s, double* out, std::string& what,
                    int& frameNumber) {
    std::string_view f[kFrameFields];
    const int count = splitFields(line, f, kFrameFields);
    if (count != kFrameFields) {
        what = "a frame line has 5 fields, this one " + std::to_string(count);
        return false;
    }
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
    for (int axis : kAxes) {
        const std::string field = "position field " + std::to_string(3 + axis) + " is ";
        if (!parseReal(f[2 + axis], out[axis])) {
            what = field + quoted(f[2 + axis]) + ", not a number";
            return false;
        }
        if (!fits(out[axis], kSigned)) {
            what = field + quoted(f[2 + axis]) + "; it must be " + describe(kSigned);
            return false;
        }
    }
    return true;
}

}  // namespace

bool parseReal(std::string_view s, double& value) {
    const char* first = s.data();
    const char* last = first + s.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last && std::isfinite(value);
}

Reader::Reader() = default;
Reader::~Reader() = default;

bool Reader::open(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    size_ = std::filesystem::file_size(path, ec);
    if (ec) return false;
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) return false;
    buffer_.resize(kReadChunk + kMaxLineBytes);
    return true;
}

// The next line, without its line end (LF or CRLF), read through a large buffer, far faster than
// formatted stream input. CutShort is a last line without a line end: the write that made it was
// interrupted, so its last field may be truncated.
Reader::Status Reader::next(std::string_view& line) {
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

std::optional<Problem> Reader::readHeader(Header& h) {
    std::string_view line;
    const Status status = next(line);
    if (status == Status::End) return Problem{1, "the file is empty"};
    if (status == Status::TooLong) return Problem{1, kTooLong};
    if (status == Status::CutShort)
        return Problem{1, "the header line is cut short (the file ends inside it)"};
    std::string_view f[kHeaderFieldCount];
    const int count = splitFields(line, f, kHeaderFieldCount);
    if (count != kHeaderFieldCount)
        return Problem{1, "the header has " + std::to_string(count) + " fields where 9 belong"};
    for (int i = 0; i < kHeaderFieldCount; ++i) {
        const HeaderField& field = kHeaderFields[i];
        const bool whole = field.whole != nullptr;
        if (whole ? parseInt(f[i], h.*field.whole) : parseReal(f[i], h.*field.real)) continue;
        return Problem{
            1, fieldName(i) + quoted(f[i]) + ", not " + (whole ? "a whole number" : "a number")};
    }
    if (std::optional<std::string> what = headerValueProblem(h, f)) return Problem{1, *what};
    // Before anyone allocates for the slots: the file must be long enough to hold their
    // property lines at all.
    const std::uint64_t needed = static_cast<std::uint64_t>(h.slots) * kMinPropertyLineBytes;
    if (bytesLeft() < needed)
        return Problem{1, "the header promises " + std::to_string(h.slots) +
                              " slots, but the file is far too short to hold their property lines"};
    return std::nullopt;
}

std::optional<Problem> Reader::readProperties(int slots, Particle* records, int waiting) {
    std::string_view line;
    std::string_view f[kPropertyFields];
    for (int s = 0; s < slots; ++s) {
        const Status status = next(line);
        if (status == Status::End || status == Status::CutShort) {
            return Problem{lineNumber_ + (status == Status::End ? 1 : 0),
                           "the file ends in the property block after " + std::to_string(s) +
                               " of " + std::to_string(slots) + " slots"};
        }
        if (status == Status::TooLong) return Problem{lineNumber_, kTooLong};
        const int count = splitFields(line, f, kPropertyFields);
        if (count != kPropertyFields)
            return Problem{lineNumber_,
                           "a property line has 7 fields, this one " + std::to_string(count)};
        int slot = 0;
        if (!parseInt(f[0], slot) || slot != s + 1)
            return Problem{lineNumber_, "slot number " + quoted(f[0]) + " where " +
                                            std::to_string(s + 1) + " belongs"};
        double v[6];
        for (int i = 0; i < 6; ++i) {
            if (!parseReal(f[i + 1], v[i]))
                return Problem{lineNumber_, "property field " + std::to_string(i + 2) + " is " +
                                                quoted(f[i + 1]) + ", not a number"};
        }
        // Colours are only drawn; mass, charge and radius enter the step.
        const bool dead = v[0] == static_cast<double>(deadColourRed);
        const Range ranges[3] = {dead ? kDeadMass : kGrainMass, kSigned,
                                 dead ? kPositiveOrZero : kPositive};
        for (int i = 3; i < 6; ++i) {
            if (fits(v[i], ranges[i - 3])) continue;
            static constexpr const char* kWhat[] = {"mass", "charge", "radius"};
            return Problem{lineNumber_,
                           "property field " + std::to_string(i + 2) + " (" + kWhat[i - 3] +
                               (dead ? " of a dead particle" : " of a grain") + ") is " +
                               quoted(f[i + 1]) + "; it must be " + describe(ranges[i - 3])};
        }
        Particle& p = records[s];
        takeStoredColour(p, v, s >= slots - waiting);
        p.setMass(v[3]);
        p.setCharge(v[4]);
        p.setRadius(v[5]);
    }
    return std::nullopt;
}

FramesRead Reader::readFrames(int slots, int endFrame, std::vector<double>& store, Problem& problem,
                              const std::function<void(long long)>& frameDone,
                              std::vector<int>* frameNumbers) {
    const std::size_t frameLength = static_cast<std::size_t>(slots) * 3;
    std::string_view line;
    int number = 0;
    for (long long frame = 0; frame < endFrame; ++frame) {
        store.resize(store.size() + frameLength);
        double* out = store.data() + store.size() - frameLength;
        for (int s = 0; s < slots; ++s, out += 3) {
            const Status status = next(line);
            // A last line without its line end is whole when it parses and is the last one
            // wanted (an editor may drop the final line end); elsewhere its write was cut off.
            if (status == Status::CutShort && frame == endFrame - 1 && s == slots - 1 &&
                parseFrameLine(line, s, out, problem.what, number))
                continue;
            if (status == Status::End || status == Status::CutShort) {
                store.resize(store.size() - frameLength);
                return {frame, false};
            }
            problem.line = lineNumber_;
            if (status == Status::TooLong) {
                problem.what = kTooLong;
            } else if (parseFrameLine(line, s, out, problem.what, number)) {
                continue;
            }
            store.resize(store.size() - frameLength);
            return {frame, true};
        }
        if (frameNumbers) frameNumbers->push_back(number);
        frameDone(frame + 1);
    }
    return {endFrame, false};
}

}  // namespace qv::dataset
