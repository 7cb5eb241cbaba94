#pragma once
// The header line of a data set and the ranges its numbers must lie in. The writer and the
// reader share one list of the header's fields, so the two cannot drift apart.
#include <array>
#include <ostream>
#include <string>

namespace qv::dataset {

// The nine numbers of the first line, in the order of the file.
struct Header {
    int slots = 0;  // live grains and waiting dead particles
    int endFrame = 0;
    double apparatusRadius = 0;  // Rapar
    double timeStep = 0;
    double debyeSphereCount = 0;
    int writeFreq = 0;
    double dustPlasmaFrequency = 0;
    double interparticleDistance = 0;
    int deadParticles = 0;
};

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
inline constexpr double kSmallest = 1e-30;
inline constexpr Range kPositive{};
inline constexpr Range kPositiveOrZero{1e30, true};
inline constexpr Range kSigned{1e30, true, true};
// The probe weighs 1e61 electron masses so that nothing moves it; weight only slows a body down.
inline constexpr Range kGrainMass{1e100};
// A dead particle waiting in the reserve has no mass until it is fired.
inline constexpr Range kDeadMass{1e100, true};

bool fits(double v, const Range& r);
// "from 1e-30 to 1e+30", as the messages name a range.
std::string describe(const Range& r);
// A real as the console shows it.
std::string num(double v);
// The shortest text that reads back as the same double: exchange files lose nothing.
std::string exact(double v);

// One field of the header line: a whole number or a real, with the range a real must lie in.
struct HeaderField {
    const char* name;  // as messages name it
    int Header::*whole;
    double Header::*real;
    Range range;
};
inline constexpr int kHeaderFieldCount = 9;
// The number density and the velocities divide by Rapar, the time step and the Debye sphere
// count; the dust plasma frequency times the run time is printed.
inline constexpr std::array<HeaderField, kHeaderFieldCount> kHeaderFields{{
    {"number of slots", &Header::slots, nullptr, {}},
    {"EndFrame", &Header::endFrame, nullptr, {}},
    {"Rapar", nullptr, &Header::apparatusRadius, kPositive},
    {"time step", nullptr, &Header::timeStep, kPositive},
    {"Debye sphere count", nullptr, &Header::debyeSphereCount, kPositive},
    {"write frequency", &Header::writeFreq, nullptr, {}},
    {"dust plasma frequency", nullptr, &Header::dustPlasmaFrequency, kPositiveOrZero},
    {"interparticle distance", nullptr, &Header::interparticleDistance, kPositive},
    {"number of dead particles", &Header::deadParticles, nullptr, {}},
}};

// The header line without its line end, fields one blank apart.
void writeHeaderLine(std::ostream& out, const Header& h);

}  // namespace qv::dataset
