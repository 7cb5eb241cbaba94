#pragma once
// A GSL generator held by value: copying a simulation copies its generator's state, so a copy
// draws the same numbers as the original from then on. The generator is made on the first draw.
#include <gsl/gsl_rng.h>

#include <utility>

namespace qv {

class Random {
  public:
    explicit Random(unsigned long seed = 0) : seed_(seed) {}
    Random(const Random& other);
    Random& operator=(const Random& other);
    Random(Random&& other) noexcept
        : seed_(other.seed_), rng_(std::exchange(other.rng_, nullptr)) {}
    Random& operator=(Random&& other) noexcept {
        seed_ = other.seed_;
        std::swap(rng_, other.rng_);
        return *this;
    }
    ~Random();

    void seed(unsigned long seed);
    double gaussian();  // mean 0, variance 1
    double uniform();   // [0, 1)

  private:
    gsl_rng* generator();

    unsigned long seed_;
    gsl_rng* rng_ = nullptr;
};

}  // namespace qv
