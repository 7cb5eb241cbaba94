#include "sim/random.h"

#include <gsl/gsl_randist.h>

namespace qv {

Random::Random(const Random& other)
    : seed_(other.seed_), rng_(other.rng_ ? gsl_rng_clone(other.rng_) : nullptr) {}

Random& Random::operator=(const Random& other) {
    if (this != &other) {
        Random copy(other);
        std::swap(seed_, copy.seed_);
        std::swap(rng_, copy.rng_);
    }
    return *this;
}

Random::~Random() {
    if (rng_ != nullptr) gsl_rng_free(rng_);
}

void Random::seed(unsigned long seed) {
    seed_ = seed;
    if (rng_ != nullptr) gsl_rng_set(rng_, seed);
}

// Always the Mersenne twister, whatever GSL_RNG_TYPE says: a run must draw the same numbers
// from the same seed on every machine.
gsl_rng* Random::generator() {
    if (rng_ == nullptr) {
        rng_ = gsl_rng_alloc(gsl_rng_mt19937);
        gsl_rng_set(rng_, seed_);
    }
    return rng_;
}

double Random::gaussian() {
    return gsl_ran_gaussian_ziggurat(generator(), 1.0);
}

double Random::uniform() {
    return gsl_rng_uniform(generator());
}

}  // namespace qv
