#pragma once
// The hot loops of the time step as pure functions over the particle array: the overlap pass,
// the force pass and the integration. Each pair loop has a plain reference version that reads
// like the physics and a fast version (contiguous copies of the coordinates, vector instructions,
// threads) that the program uses. The fast version gives the same bits with any number of threads
// and any vector width. They touch no program-wide state: whatever they need comes in as
// arguments, but for the thread count when none is given.
#include <cstddef>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "sim/particle.h"

namespace qv {

// A screening length that leaves the bare Coulomb interaction.
inline constexpr double kUnscreened = std::numeric_limits<double>::infinity();

// What the force pass reads besides the particles, in normalised units.
struct ForceModel {
    double debyeSphereCount = 0;  // ND: the Coulomb factor is 1 / (3 ND)
    // Pair energy q_a q_b exp(-d / lambda) / (3 ND d); infinite lambda is bare Coulomb. Pairs
    // farther apart than the cutoff add nothing (only ever finite with screening).
    double screeningLength = kUnscreened;
    double cutoff = kUnscreened;
    double apparatusRadius = 0;    // R of the neutralising sphere
    double totalCharge = 0;        // Q: the sphere holds -Q
    double timeStep = 0;           // dt
    bool pairForces = false;       // the grains push each other
    bool apparatusField = false;   // the sphere pulls them towards the centre
    bool thermostat = false;       // the cooling force acts on grains (not on dead particles)
    double thermostatError = 0;    // e: each step changes a grain's velocity by the fraction 0.01 e
    bool thermostatHeats = false;  // too cold (coupling above target): speed up, else slow down
    bool samplingFrame = false;    // sum pair, apparatus and kinetic energy and the speeds
    bool temperatureFrame = false;  // sum kinetic energy and the speeds only
};

// The sums of one force pass. The pair energy counts every unordered pair twice.
struct EnergySums {
    double pairEnergy = 0;
    double kineticEnergy = 0;
    double apparatusEnergy = 0;
    double speedSum = 0;  // grains only, dead particles left out
};

using ParticlePair = std::pair<int, int>;

// Elastic collision of every overlapping pair p < q < n, visited p ascending, q ascending. A
// collision changes velocities only, so which pairs overlap follows from the positions alone.
// Returns the number of collisions; `collided`, when given, receives the pairs in order.
int overlapPassReference(Particle* particles, int n, std::vector<ParticlePair>* collided = nullptr);

// Adds the pair, apparatus and thermostat forces of the first n particles to force (x, y, z per
// particle) and returns the energy sums the model asks for.
EnergySums forcePassReference(const Particle* particles, int n, const ForceModel& model,
                              double* force);

// Semi-implicit Euler: velocities from the forces first, then positions with the new velocities.
// A record without mass takes no acceleration but still drifts.
void integrate(Particle* particles, int n, const double* force, double dt);

// Buffers of the fast kernels, kept between calls so that a step allocates nothing once the
// particle count has been seen.
class KernelWorkspace {
  public:
    template <class T>
    struct CacheLineAllocator {
        using value_type = T;
        CacheLineAllocator() = default;
        template <class U>
        CacheLineAllocator(const CacheLineAllocator<U>&) {}
        T* allocate(std::size_t count) {
            return static_cast<T*>(::operator new (count * sizeof(T), std::align_val_t{64}));
        }
        void deallocate(T* p, std::size_t) { ::operator delete (p, std::align_val_t{64}); }
        bool operator==(const CacheLineAllocator&) const { return true; }
    };
    using Buffer = std::vector<double, CacheLineAllocator<double>>;

    // Copies positions, charges and radii of the first n particles into contiguous arrays.
    void load(const Particle* particles, int n);
    // Cuts the rows of n particles into blocks of about equal numbers of pairs. The cut depends
    // on n alone, never on the thread count, and is kept while n stays the same.
    void planBlocks(int n);

    int threads = 0;  // threads of the pair loops; 0 takes the program's setting
    // What the last sweep left: per-block forces and energies, and the candidate overlapping
    // pairs in order.
    bool sweptForces = false;
    bool sweptEnergy = false;
    Buffer x, y, z, q, rad;
    double largestRadius = 0;  // of the loaded particles
    // Block b holds rows [blockStart[b], blockStart[b + 1]); its forces on particles i >=
    // blockOrigin(b) lie at blockForce[blockOffset[b] + k * blockLength(b) + i - blockOrigin(b)],
    // k = 0, 1, 2 for x, y, z.
    int plannedCount = -1;
    std::vector<int> blockStart;
    std::vector<std::size_t> blockOffset;
    Buffer blockForce;
    std::vector<double> blockEnergy;
    std::vector<std::vector<ParticlePair>> blockPairs;
    std::vector<ParticlePair> candidates;

    // The column sweep of a screened interaction. Particles with finite positions are sorted by
    // column, then by x: slot k holds particle order[k], column c the slots [cellStart[c],
    // cellStart[c + 1]). The pair forces land per particle in cellForce (x, y, z), the energy per
    // block.
    bool sweptCells = false;
    Buffer sx, sy, sz, sq, srad;
    std::vector<int> order, cellOf, cellStart, cellFill;
    std::vector<std::pair<double, int>> slotKeys;
    std::vector<double> cellExtent;
    Buffer cellForce;
    // Each block's forces on the slots [its first, spanEnd[b]) at spanForce[spanOffset[b]], as
    // the all-pairs blocks keep theirs.
    Buffer spanForce;
    std::vector<int> spanEnd;
    std::vector<std::size_t> spanOffset;
    std::vector<double> cellEnergy;
    std::vector<std::vector<ParticlePair>> cellPairs;

    int blocks() const { return static_cast<int>(blockEnergy.size()); }
    int blockOrigin(int b) const;  // blockStart[b] rounded down to a whole cache line
    int blockLength(int b) const;
};

// What a sweep over the pairs computes besides the overlaps.
struct PairSweep {
    bool forces = false;          // pair forces into the workspace's accumulators
    bool energy = false;          // the pair energy
    double debyeSphereCount = 1;  // ND of the Coulomb factor 1 / (3 ND)
    double screeningLength = kUnscreened;
    double cutoff = kUnscreened;
};
inline PairSweep pairSweepFor(const ForceModel& model) {
    return {model.pairForces, model.samplingFrame, model.debyeSphereCount, model.screeningLength,
            model.cutoff};
}

// The distance beyond which the screened pair term exp(-d / lambda) / d is below `tolerance`
// times its value at the nearest-neighbour distance; infinite without screening.
double screenedCutoff(double screeningLength, double nearestNeighbour, double tolerance);

// The largest squared distance whose square root is at most the cutoff: a test on d^2 against it
// keeps exactly the pairs that the reference keeps by its test on d. A cutoff that is not a number
// skips nothing, a negative one everything.
double squaredCutoff(double cutoff);

// The fast kernels share one sweep over all pairs. It reads positions, charges and radii only:
// it lists the pairs that may overlap and, when asked, sums the pair forces and energy, all in
// the workspace. Since collisions change velocities only, one sweep after the last change of
// positions serves both the overlap pass and the force pass of a step.
void sweepPairsFast(const Particle* particles, int n, const PairSweep& sweep,
                    KernelWorkspace& workspace);
// The sweep of sweepPairsFast for a finite screening length when it pays: each particle meets
// only the particles of the columns of a grid in y and z that lie within reach, in the x window
// they can be within reach in, so its cost grows as n. The cutoff decides which pairs add forces
// and energy. Returns false, having swept nothing, when the cutoff spans so much of the cloud that
// the sweep over all pairs would do less work.
bool sweepPairsInCells(const Particle* particles, int n, const PairSweep& sweep,
                       KernelWorkspace& workspace);
// The overlap pass from the last sweep: collides the overlapping pairs in order p ascending,
// q ascending, exactly as overlapPassReference does.
int collideSweptPairs(Particle* particles, KernelWorkspace& workspace,
                      std::vector<ParticlePair>* collided = nullptr);
// The force pass from the last sweep: adds its pair forces and the apparatus and thermostat
// forces to force, and returns the sums the model asks for (the pair energy if swept).
EnergySums addSweptForces(const Particle* particles, int n, const ForceModel& model, double* force,
                          const KernelWorkspace& workspace);

// Each pass on its own, with a sweep of its own.
int overlapPassFast(Particle* particles, int n, KernelWorkspace& workspace,
                    std::vector<ParticlePair>* collided = nullptr);
EnergySums forcePassFast(const Particle* particles, int n, const ForceModel& model, double* force,
                         KernelWorkspace& workspace);

}  // namespace qv
