#pragma once
// Reading a data set strictly by its format: the header, the property block and the frames, in
// that order, each returning what it read or the problem with its line and reason. No console,
// no run state: the load dialogue decides what to do with both.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/header.h"
#include "sim/particle.h"

namespace qv::dataset {

// What is wrong with a file, and on which line (counted from 1).
struct Problem {
    long long line = 0;
    std::string what;
};

// The whole field must be the number; inf, nan and out-of-range values are no positions.
bool parseReal(std::string_view s, double& value);

// What reading the frames gave: the complete frames now in the store, and whether a broken line
// (described in the problem) stopped the reading before EndFrame.
struct FramesRead {
    long long complete = 0;
    bool broken = false;
};

// The shortest frame line the format allows, line end included: one character per field and
// one blank between fields. It bounds how many frames a file of a given size can really hold.
inline constexpr std::uint64_t kMinFrameLineBytes = 10;

class Reader {
  public:
    Reader();
    ~Reader();
    // Only a regular file that opens counts: a directory or a device is no data set.
    bool open(const std::string& path);

    std::optional<Problem> readHeader(Header& h);
    // The colour, mass, charge and radius of `slots` slots into `records`; the last `waiting`
    // slots are the reserve, whose dead particles wait there.
    std::optional<Problem> readProperties(int slots, Particle* records, int waiting = 0);
    // Up to `endFrame` frames of x y z per slot appended to `store`; `frameDone` hears of each
    // complete frame; `frameNumbers`, when given, receives each complete frame's number as its
    // last line states it. A file that ends early and a broken line both leave the frames before
    // them; a frame cut off midway does not count.
    FramesRead readFrames(int slots, int endFrame, std::vector<double>& store, Problem& problem,
                          const std::function<void(long long)>& frameDone,
                          std::vector<int>* frameNumbers = nullptr);

    long long lineNumber() const { return lineNumber_; }
    std::uint64_t bytesLeft() const { return size_ > consumed_ ? size_ - consumed_ : 0; }

  private:
    enum class Status { Line, CutShort, End, TooLong };
    Status next(std::string_view& line);

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

}  // namespace qv::dataset
