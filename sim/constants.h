#pragma once
// Physical constants (SI) and the two plasma formulas of the fixed background plasma.
#include <numbers>

namespace qv {

inline constexpr double vacuumPermittivity = 8.8541878176e-12;  // F/m
inline constexpr double boltzmannConstant = 1.3806505e-23;      // J/K
inline constexpr double electronCharge = -1.60217646e-19;       // C, held negative
inline constexpr double electronMass = 9.1e-31;                 // kg
inline constexpr double grainMaterialDensity = 2330.0;          // kg/m^3 (silicon grains)
// acos(-1) rounds to the same double.
inline constexpr double pi = std::numbers::pi;

// Dead particles and the probe wear this colour; red 1.0 is also their mark.
inline constexpr float deadColourRed = 1.0f;
inline constexpr float deadColourGreen = 0.0f;
inline constexpr float deadColourBlue = 0.5f;

// A highlighted grain's green: out of display range, a value no other colour carries.
inline constexpr double highlightGreen = 4.0;

// Heavy enough that neither a collision nor the time step moves the probe.
inline constexpr double probeMass = 1e61;
// Above this mass a collision partner counts as immovable.
inline constexpr double immovableMass = 1e30;

// Electron Debye length in metres, from the plasma temperature (K) and density (m^-3).
double debyeLength(double plasmaTemperature, double plasmaDensity);
// Electron plasma frequency in rad/s, from the plasma density (m^-3).
double electronPlasmaFrequency(double plasmaDensity);

}  // namespace qv
