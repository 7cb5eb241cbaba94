#include "setup/model_options.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "console/output_file.h"
#include "dataset/header.h"
#include "setup/config.h"

namespace qv {
namespace {

constexpr const char* kMasterSuffix = "MasterFile";

bool finite(double v) {
    return std::isfinite(v);
}

}  // namespace

void takeModelOptions(Simulation& sim, const Config& config) {
    ModelOptions& o = sim.options;
    if (config.given("screening.length"))
        o.screeningLength = config.real(
            "screening.length", [](double v) { return v > 0; }, "above 0, or inf for none");
    if (config.given("screening.kappa")) {
        o.kappa = config.real(
            "screening.kappa", [](double v) { return finite(v) && v >= 0; }, "0 or more");
        if (o.kappa > 0 && config.given("screening.length") && o.screeningLength < kUnscreened)
            config.reject("screening.kappa", "give screening.length or screening.kappa, not both");
        // A kappa given here replaces a length taken from a record.
        if (o.kappa > 0) o.screeningLength = kUnscreened;
    }
    if (config.given("screening.cutoff_tolerance"))
        o.cutoffTolerance = config.real(
            "screening.cutoff_tolerance", [](double v) { return v > 0 && v < 1; },
            "above 0 and below 1");
    if (config.given("langevin.friction"))
        o.friction = config.real(
            "langevin.friction", [](double v) { return finite(v) && v >= 0; }, "0 or more");
    if (config.given("langevin.gas_temperature"))
        o.gasTemperature = config.real(
            "langevin.gas_temperature", [](double v) { return finite(v) && v > 0; }, "above 0");
    if (config.given("langevin.coupling_thermostat"))
        o.couplingThermostat = config.flag("langevin.coupling_thermostat");
}

void resolveScreening(Simulation& sim) {
    ModelOptions& o = sim.options;
    if (o.kappa > 0) {
        o.screeningLength = sim.model.interparticleDistance / o.kappa;
        o.kappa = 0;
    }
}

std::string modelRecordName(const std::string& dataSet) {
    std::string base = dataSet;
    if (base.ends_with(kMasterSuffix))
        base.resize(base.size() - std::char_traits<char>::length(kMasterSuffix));
    return base + "Model.toml";
}

std::string modelRecord(const ModelOptions& o) {
    std::ostringstream s;
    s << "# the interaction and dynamics of this run; quorvex continue takes them from here\n";
    if (o.screened()) {
        s << "[screening]\nlength = " << tomlValue(o.screeningLength) << '\n'
          << "cutoff_tolerance = " << tomlValue(o.cutoffTolerance) << '\n';
    }
    if (o.langevin()) {
        s << "[langevin]\nfriction = " << tomlValue(o.friction) << '\n'
          << "gas_temperature = " << tomlValue(o.gasTemperature) << '\n'
          << "coupling_thermostat = " << tomlValue(o.couplingThermostat) << '\n';
    }
    return s.str();
}

void writeModelRecord(const Simulation& sim) {
    if (sim.options.atDefaults()) return;
    OutputFile record = openForWrite(modelRecordName(sim.run.baseName));
    record << modelRecord(sim.options);
}

bool readModelRecord(Simulation& sim, const std::string& dataSet, std::string& problem) {
    const std::string name = modelRecordName(dataSet);
    std::ifstream file(name, std::ios::binary);
    if (!file) return true;
    std::ostringstream text;
    text << file.rdbuf();
    try {
        takeModelOptions(sim, Config::fromText(text.str(), name, Command::Continue));
    } catch (const ConfigError& e) {
        problem = e.what();
        return false;
    }
    return true;
}

std::string describeModelOptions(const Simulation& sim) {
    const ModelOptions& o = sim.options;
    std::ostringstream s;
    s.precision(6);
    if (o.screened()) {
        s << "Screening length : " << o.screeningLength
          << " : kappa : " << sim.model.interparticleDistance / o.screeningLength
          << " : Cutoff tolerance : " << o.cutoffTolerance << '\n';
    }
    if (o.langevin()) {
        s << "Langevin friction (1/s) : " << o.friction
          << " : Gas temperature (K) : " << o.gasTemperature
          << " : Coupling thermostat (1=yes) : " << o.couplingThermostat << '\n';
    }
    return s.str();
}

}  // namespace qv
