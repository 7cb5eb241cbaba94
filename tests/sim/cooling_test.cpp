#include "sim/cooling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

TEST(CcpleHistory, TenSampleRingFillsThenWraps) {
    test::resetProgramState();
    params.ccple = 50;
    updateCcpleAverage();
    EXPECT_DOUBLE_EQ(params.ccpleAverage, 5.0);
    EXPECT_EQ(params.ccpleHistoryIndex, 1.0);
    for (int i = 1; i < 10; ++i) updateCcpleAverage();
    EXPECT_DOUBLE_EQ(params.ccpleAverage, 50.0);
    EXPECT_EQ(params.ccpleHistoryIndex, 0.0);
    params.ccple = 80;
    updateCcpleAverage();
    EXPECT_EQ(params.ccpleHistory[0], 80.0);
    EXPECT_EQ(params.ccpleHistory[1], 50.0);
    EXPECT_DOUBLE_EQ(params.ccpleAverage, 53.0);
    EXPECT_EQ(params.ccpleHistoryIndex, 1.0);
}

// A cloud of six grains with five dead particles parked above it, as the set-up leaves it.
void cloudWithDeadParticles() {
    params.numParticles = 11;
    params.numDeadParticles = 5;
    params.apparatusRadius = 10;
    params.grainRadius = 0.01;
    params.grainMass = 1e9;
    params.grainCharge = -1000;
    params.interparticleDistance = 2;
    params.deadParkY = 15;
    params.timeStep = 0.5;
    params.debyeSphereCount = 1;
    params.dustPlasmaFrequency = 0.01;
    arrays.particleArray.assign(11, Particle{});
    arrays.forceArray.assign(33, 0.0);
    for (int i = 0; i < 11; ++i) {
        Particle& p = arrays.particleArray[static_cast<std::size_t>(i)];
        p.setRadius(0.01);
        if (i < 6) {
            p.pos[0] = i - 2.5;
            p.setMass(1e9);
            p.setCharge(-1000);
        } else {
            p.pos[1] = 15;
            p.setColour(1.0, 0.0, 0.5);
        }
    }
}

// The set-up of a schedule from maximum 150 to minimum 50 in D divisions of L frames.
void prepareSchedule(int length, int divisions, int frames) {
    params.automatedAnalysis = 1;
    params.scheduleDivisionLength = length;
    params.scheduleDivisions = divisions;
    params.scheduleStep = (150.0 - 50.0) / (divisions - 1);
    params.ccpleTarget = 150.0 + params.scheduleStep;
    params.framesToCalculate = frames;
    cloudWithDeadParticles();
}

struct ScheduleEvent {
    int frame;
    std::string message;
    double target;
    int state;
    bool operator==(const ScheduleEvent&) const = default;
};

std::ostream& operator<<(std::ostream& os, const ScheduleEvent& e) {
    return os << "{" << e.frame << ", \"" << e.message << "\", " << e.target << ", " << e.state
              << "}";
}

// Runs the schedule for frames 1 .. last and records every frame that said something.
std::vector<ScheduleEvent> runSchedule(int last, test::ScriptedConsole& console) {
    std::vector<ScheduleEvent> events;
    for (int c = 1; c <= last; ++c) {
        params.currentFrame = c;
        console.clearOutput();
        smartCoolingSchedule();
        EXPECT_EQ(params.automatedAnalysis, 1) << "frame " << c;
        if (!console.output().empty())
            events.push_back({c, console.output(), params.ccpleTarget, params.coolingState});
    }
    return events;
}

const std::string kOff = "\nSmart cooling is off\n\n";
std::string on(const char* target) {
    return std::string("\nSmart cooling is on (Target: ") + target + " )\n\n";
}

TEST(SmartCooling, MaxToMinScheduleFrameByFrame) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    prepareSchedule(100, 3, 400);
    const std::vector<ScheduleEvent> events = runSchedule(450, console);
    // Frame 100 (= L) does nothing; the first division lasts until frame 2L.
    const std::vector<ScheduleEvent> expected = {
        {1, on("150"), 150, 1},   {150, kOff, 150, -1},   {200, on("100"), 100, 1},
        {250, kOff, 100, -1},     {300, on("50"), 50, 1}, {350, kOff, 50, -1},
        {400, on("100"), 100, 1},
    };
    EXPECT_EQ(events, expected);
}

TEST(SmartCooling, MaxMinMaxWalksBackUp) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    prepareSchedule(100, 3, 600);
    const std::vector<ScheduleEvent> events = runSchedule(600, console);
    ASSERT_EQ(events.size(), 11u);
    EXPECT_EQ(events[7], (ScheduleEvent{450, kOff, 100, -1}));
    EXPECT_EQ(events[8], (ScheduleEvent{500, on("150"), 150, 1}));
    EXPECT_EQ(events[10], (ScheduleEvent{600, on("200"), 200, 1}));
}

TEST(SmartCooling, OneFrameDivisionsDoNotDivideByZero) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    prepareSchedule(1, 3, 20);
    const std::vector<ScheduleEvent> events = runSchedule(20, console);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], (ScheduleEvent{1, on("150"), 150, 1}));
}

TEST(AskCcpleTarget, TakesTheTypedTargetAndStartsTheThermostat) {
    test::resetProgramState();
    test::ScriptedConsole console("120\n");
    params.numDeadParticles = 37;
    askCcpleTarget();
    EXPECT_EQ(params.ccpleTarget, 120.0);
    EXPECT_EQ(params.coolingState, 1);
    EXPECT_EQ(params.autoFiringStartDead, 37);
    EXPECT_EQ(console.output(), "\nPlease enter target ccple\n\n");
}

TEST(AskCcpleTarget, TargetOfZeroOrBelowIsAskedAgain) {
    test::resetProgramState();
    test::ScriptedConsole console("0\n-5\n75\n");
    askCcpleTarget();
    EXPECT_EQ(params.ccpleTarget, 75.0);
    const std::string again = "The target ccple must be above 0.\nPlease enter target ccple\n";
    EXPECT_EQ(console.output(), "\nPlease enter target ccple\n" + again + again + "\n");
}

// Four records, the last one a waiting dead particle, with distinct velocities.
void movingParticles() {
    params.numParticles = 4;
    params.numDeadParticles = 1;
    arrays.particleArray.assign(4, Particle{});
    for (int i = 0; i < 4; ++i) {
        Particle& p = arrays.particleArray[static_cast<std::size_t>(i)];
        p.vel[0] = 0.1 * (i + 1);
        p.vel[1] = -0.2 * i;
        p.vel[2] = 0.03;
        p.setMass(1e9);
    }
    arrays.particleArray[3].setColour(1.0, 0.0, 0.5);
}

std::string afterClear(const std::string& output) {
    const std::string::size_type at = output.find("Current temperature: ");
    return at == std::string::npos ? output : output.substr(at);
}

TEST(ChangeTemperature, From300To1200KelvinDoublesEveryVelocity) {
    test::resetProgramState();
    test::ScriptedConsole console("1200\n");
    movingParticles();
    const std::vector<Particle> before = arrays.particleArray;
    params.temperatureRatio = 300.0 / params.plasmaTemperature;
    changeTemperature();
    EXPECT_EQ(params.dustTemperature, 1200.0);
    for (std::size_t i = 0; i < 4; ++i) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(arrays.particleArray[i].vel[c], 2.0 * before[i].vel[c], 1e-14)
                << "particle " << i << " component " << c;
        }
    }
    EXPECT_EQ(afterClear(console.output()),
              "Current temperature: 300 in K\n\nPlease enter a new temperature: \n"
              "Thank you, you have destroyed the universe... just kidding\n\n");
}

TEST(ChangeTemperature, NegativeTemperatureIsAskedAgain) {
    test::resetProgramState();
    test::ScriptedConsole console("-5\n75\n");
    movingParticles();
    const std::vector<Particle> before = arrays.particleArray;
    params.temperatureRatio = 300.0 / params.plasmaTemperature;
    changeTemperature();
    EXPECT_EQ(params.dustTemperature, 75.0);
    EXPECT_NEAR(arrays.particleArray[1].vel[1], 0.5 * before[1].vel[1], 1e-14);
    EXPECT_NE(console.output().find("A temperature cannot be below 0 K.\n"
                                    "Please enter a new temperature: "),
              std::string::npos);
}

TEST(ChangeTemperature, WithoutMeasuredTemperatureVelocitiesStayAndNothingIsAsked) {
    test::resetProgramState();
    test::ScriptedConsole console("1200\n");
    movingParticles();
    const std::vector<Particle> before = arrays.particleArray;
    params.temperatureRatio = 0;
    changeTemperature();
    for (std::size_t i = 0; i < 4; ++i) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(arrays.particleArray[i].vel[c], before[i].vel[c]);
    }
    EXPECT_EQ(params.dustTemperature, 0.0);
    EXPECT_EQ(afterClear(console.output()),
              "Current temperature: 0 in K\n\n"
              "No temperature has been measured yet, so the velocities are left as they are.\n\n");
}

TEST(AutoFiring, FiresWhenTargetHeldAndTheLastShotIsOld) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    cloudWithDeadParticles();
    params.autoFiringOn = 1;
    params.autoFiringStartDead = 5;
    params.lastFireFrame = 0;

    params.coolingState = 1;  // target not reached yet
    params.currentFrame = 40;
    autoFiring();
    EXPECT_EQ(params.lastFireFrame, 0);

    params.coolingState = 2;
    params.currentFrame = 25;  // 25 frames after the last shot is not yet enough
    autoFiring();
    EXPECT_EQ(params.lastFireFrame, 0);

    params.currentFrame = 26;
    autoFiring();
    EXPECT_EQ(params.lastFireFrame, 26);

    // With compensation a fired particle stays, so firing goes on although the reserve shrank;
    // the analyses in between run as the firing automation's and hand back 0.
    params.compensateDeadAddition = 1;
    params.autoFiringStartDead = 9;
    params.currentFrame = 51;
    autoFiring();
    EXPECT_EQ(params.lastFireFrame, 26);
    EXPECT_EQ(params.automatedAnalysis, 0);
    params.currentFrame = 52;
    autoFiring();
    EXPECT_EQ(params.lastFireFrame, 52);
}

}  // namespace
}  // namespace qv
