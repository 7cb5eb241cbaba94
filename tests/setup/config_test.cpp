// A configuration sets up the run the dialogue sets up from the same answers; its file format
// reads back what it writes. Error messages are pinned by tests/e2e/batch.sh.
#include "setup/config.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/batch.h"
#include "setup/derived.h"
#include "setup/model_options.h"
#include "setup/setup.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// What the set-up decides, in one line.
std::string fields(const Simulation& s) {
    std::ostringstream o;
    o.precision(17);
    const Thermostat& t = s.thermostat;
    o << s.run.randomSeed << ' ' << s.numParticles << ' ' << s.reserve.numDeadParticles << ' '
      << s.clock.framesToCalculate << ' ' << s.clock.numWrittenFrames << ' ' << s.clock.writeFreq
      << ' ' << s.clock.analysisFreq << ' ' << s.model.dustTemperature << ' ' << t.ccple << ' '
      << t.ccpleTarget << ' ' << s.model.grainCharge << ' ' << s.model.numMassGroups << ' '
      << s.model.maxMassFraction << ' ' << s.model.minMassFraction << ' ' << s.model.grainMass
      << ' ' << s.model.timeStep << ' ' << s.switches.speedDistributionOn << ' '
      << t.scheduleDivisions << ' ' << t.scheduleDivisionLength << ' ' << t.scheduleMode << ' '
      << t.scheduleStep << ' ' << s.switches.shellOutput2D << s.switches.efieldOutput2D;
    return o.str();
}

TEST(Config, SetsUpWhatTheDialogueSetsUpFromTheSameAnswers) {
    struct Case {
        const char* toml;
        const char* answers;  // menu 1, the schedule question, then run mode 1's questions
    };
    const Case cases[] = {
        {"name = 'a'\nseed = 7\ndead_particles = 4\nparticles = 100\nframes = 333\n"
         "temperature = 250\ncoupling = 90.5\ncharge = -3000\nwrite_every = 10\n"
         "analyse_every = 7\nmass_groups = 3\nmax_mass_fraction = 2.0\nmin_mass_fraction = 0.5\n"
         "step_multiplier = 0.25\nspeed_distribution = true\n",
         "7 4 100 333 250 90.5 -3000 10 7 3 2.0 0.5 0.25 1"},
        {"name = 'b'\ncooling_schedule = true\nparticles = 50\n[cooling]\nmax_coupling = 400\n"
         "min_coupling = 100\ndivisions = 4\ndivision_length = 30\nmode = 2\n"
         "[outputs_2d]\nefield = true\n",
         "13 100 50 10000 300 500 10000 25 20 1 1.0 0 400 100 4 30 2"},
        {"name = 'c'\ncooling_schedule = true\n[cooling]\nmax_coupling = 300\n"
         "min_coupling = 300\ndivisions = 2\ndivision_length = 2\n",
         "13 100 276 10000 300 500 10000 25 20 1 1.0 0 300 300 2 2 1"},
    };
    for (const Case& c : cases) {
        test::Sandbox box;
        Simulation fromFile;
        {
            test::ScriptedConsole quiet("");
            configureRender(fromFile, Config::fromText(c.toml, "t.toml", Command::Render));
        }
        Simulation asked;
        std::string answers = c.answers;
        std::replace(answers.begin(), answers.end(), ' ', '\n');
        test::ScriptedConsole console(answers + "\n");
        asked.switches.automatedAnalysis = fromFile.switches.automatedAnalysis;
        asked.switches.efieldOutput2D = fromFile.switches.efieldOutput2D;
        promptParameters(asked);
        if (asked.switches.automatedAnalysis) promptCoolingSchedule(asked);
        computeDerivedQuantities(asked);
        EXPECT_EQ(fields(fromFile), fields(asked)) << c.toml;
    }
}

// Every key written by resolved() reads back as the same value, the overrides included.
TEST(Config, ResolvedConfigurationReadsBackAsItself) {
    const Config first = Config::fromText(
        "name = 'q\"uote\\\\'\n[cooling]\nmax_coupling = 0.1\n", "t.toml", Command::Render,
        {"temperature=1e-300", "coupling = 123456789.125", "seed=-5", "name=plain"});
    const Config again = Config::fromText(first.resolved(), "r.toml", Command::Render);
    EXPECT_EQ(first.resolved(), again.resolved());
    EXPECT_EQ(again.text("name"), "plain");
    EXPECT_EQ(again.real("temperature"), 1e-300);
    EXPECT_EQ(again.real("coupling"), 123456789.125);
    EXPECT_EQ(again.real("cooling.max_coupling"), 0.1);
    EXPECT_EQ(again.integer("seed"), -5);
    EXPECT_FALSE(again.given("cooling.divisions"));  // no default: left out
}

TEST(Config, ValuesAreWrittenAsTomlReadsThem) {
    const std::pair<Config::Value, const char*> cases[] = {
        {300.0, "300.0"},
        {0.1, "0.1"},
        {1e300, "1e+300"},
        {-2.5e-7, "-2.5e-07"},
        {7LL, "7"},
        {true, "true"},
        {std::string("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\""},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(tomlValue(value), text);
}

TEST(Config, NearestKeyAndShellsAndSweepNames) {
    EXPECT_EQ(nearestKey(Command::Render, "particels"), "particles");
    EXPECT_EQ(nearestKey(Command::Continue, "frm"), "from");
    EXPECT_EQ(nearestKey(Command::Render, "outputs_2d.sell"), "outputs_2d.shell");

    // Gaps wider than 0.3 spacings part the shells; order does not matter.
    EXPECT_EQ(countShells({}, 1.0), 0);
    EXPECT_EQ(countShells({2.0, 0.0, 1.0}, 1.0), 3);
    EXPECT_EQ(countShells({1.0, 1.1, 1.2, 2.0, 2.05}, 1.0), 2);
    EXPECT_EQ(countShells({1.0, 1.25, 1.5}, 1.0), 1);
    EXPECT_EQ(countShells({1.0, 1.25, 1.5}, 0.5), 3);

    const auto [key, values] = parseVary("coupling=200,800,1e3");
    EXPECT_EQ(key, "coupling");
    EXPECT_EQ(values, (std::vector<std::string>{"200", "800", "1e3"}));
    for (const char* bad : {"coupling", "=1", "coupling=", "coupling=1,,2"})
        EXPECT_THROW(parseVary(bad), ConfigError) << bad;
    const auto runs = sweepCombinations({{"a", {"1", "2"}}, {"b", {"x", "y", "z"}}});
    ASSERT_EQ(runs.size(), 6u);
    EXPECT_EQ(runs[1], (std::vector<std::string>{"1", "y"}));
    EXPECT_EQ(runs[3], (std::vector<std::string>{"2", "x"}));
    EXPECT_EQ(sweepFolderName({"a", "name"}, {"-1.5e+3", "x/y z"}), "a--1.5e+3_name-x_y_z");
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// Screening and gas: refused values name key and rule; the record holds what a continued run
// needs, and a plain run records and resolves nothing new.
TEST(ModelOptions, RangesRecordAndResolution) {
    const std::pair<const char*, const char*> refused[] = {
        {"screening.length = 0.0", "screening.length = 0.0: above 0"},
        {"screening.length = nan", "above 0"},
        {"screening.kappa = -1.0", "screening.kappa = -1.0: 0 or more"},
        {"screening.length = 3.0\nscreening.kappa = 1.0", "not both"},
        {"screening.cutoff_tolerance = 1.0", "above 0 and below 1"},
        {"langevin.friction = -2.0", "langevin.friction = -2.0: 0 or more"},
        {"langevin.gas_temperature = 0.0", "langevin.gas_temperature = 0.0: above 0"},
    };
    for (const auto& [toml, why] : refused) {
        Simulation sim;
        try {
            takeModelOptions(sim, Config::fromText(toml, "c.toml", Command::Continue));
            ADD_FAILURE() << toml;
        } catch (const ConfigError& e) {
            EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
        }
    }

    Simulation sim;
    sim.model.interparticleDistance = 4;
    EXPECT_EQ(modelRecord(sim.options), modelRecord(ModelOptions{}));
    EXPECT_TRUE(sim.options.atDefaults());
    const Config plain = Config::fromText("", "c.toml", Command::Render);
    EXPECT_EQ(plain.resolved().find("screening"), std::string::npos);
    EXPECT_EQ(plain.resolved().find("langevin"), std::string::npos);

    takeModelOptions(sim, Config::fromText("screening.kappa = 2.0\n[langevin]\nfriction = 50.0\n"
                                           "gas_temperature = 290.0\n",
                                           "c.toml", Command::Continue));
    resolveScreening(sim);
    EXPECT_EQ(sim.options.screeningLength, 2.0);
    // Kept by a continued run: its record reads back as the same options.
    Simulation continued;
    takeModelOptions(continued,
                     Config::fromText(modelRecord(sim.options), "rModel.toml", Command::Continue));
    EXPECT_EQ(modelRecord(continued.options), modelRecord(sim.options));
    EXPECT_EQ(continued.options.gasTemperature, 290.0);
    EXPECT_EQ(modelRecordName("dir/runMasterFile"), "dir/runModel.toml");
    EXPECT_EQ(modelRecordName("run"), "runModel.toml");
}

}  // namespace
}  // namespace qv
