#include "sim/cooling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
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

// Six grains with five dead particles parked above them, as the set-up leaves them; the
// analyses the schedule and the firing automation call run on it.
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
        Particle& p = arrays.particleArray[i];
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

TEST(SmartCooling, MaxToMinAndBackFrameByFrame) {
    struct Case {
        int length, frames;
        std::vector<std::string> expected;  // frame, message, target and state after it
    };
    // From a maximum of 150 to a minimum of 50 in three divisions of L frames. Frame L does
    // nothing: the first division lasts until frame 2L. A division of one frame has no middle.
    const Case cases[] = {
        {100,
         600,
         {"1 on 150 1", "150 off 150 -1", "200 on 100 1", "250 off 100 -1", "300 on 50 1",
          "350 off 50 -1", "400 on 100 1", "450 off 100 -1", "500 on 150 1", "550 off 150 -1",
          "600 on 200 1"}},
        {1, 20, {"1 on 150 1"}},
    };
    for (const Case& c : cases) {
        test::resetProgramState();
        test::TempDir dir;
        test::ScriptedConsole console("");
        cloudWithDeadParticles();
        params.automatedAnalysis = 1;
        params.scheduleDivisionLength = c.length;
        params.scheduleDivisions = 3;
        params.scheduleStep = (150.0 - 50.0) / 2;
        params.ccpleTarget = 150.0 + params.scheduleStep;
        params.framesToCalculate = c.frames;
        std::vector<std::string> events;
        for (int frame = 1; frame <= c.frames + 50; ++frame) {
            params.currentFrame = frame;
            console.clearOutput();
            smartCoolingSchedule();
            ASSERT_EQ(params.automatedAnalysis, 1) << "frame " << frame;
            const std::string said = console.output();
            if (said.empty()) continue;
            std::ostringstream on, event;
            on << "\nSmart cooling is on (Target: " << params.ccpleTarget << " )\n\n";
            event << frame << " "
                  << (said == on.str()                       ? "on"
                      : said == "\nSmart cooling is off\n\n" ? "off"
                                                             : said)
                  << " " << params.ccpleTarget << " " << params.coolingState;
            events.push_back(event.str());
        }
        EXPECT_EQ(events, c.expected) << "L = " << c.length;
    }
}

TEST(AskCcpleTarget, TakesAPositiveTargetAndStartsTheThermostat) {
    test::resetProgramState();
    test::ScriptedConsole console("120\n");
    params.numDeadParticles = 37;
    askCcpleTarget();
    EXPECT_EQ(params.ccpleTarget, 120.0);
    EXPECT_EQ(params.coolingState, 1);
    EXPECT_EQ(params.autoFiringStartDead, 37);
    EXPECT_EQ(console.output(), "\nPlease enter target ccple\n\n");

    // The relative error divides by the target.
    test::ScriptedConsole again("0\n-5\n75\n");
    askCcpleTarget();
    EXPECT_EQ(params.ccpleTarget, 75.0);
    const std::string refusal = "The target ccple must be above 0.\nPlease enter target ccple\n";
    EXPECT_EQ(again.output(), "\nPlease enter target ccple\n" + refusal + refusal + "\n");
}

TEST(ChangeTemperature, ScalesVelocitiesByTheRootOfTheTemperatureRatio) {
    struct Case {
        const char* answers;
        double measured, newTemperature, factor;
        std::string output;  // from the clear screen on
    };
    const std::string ask = "Please enter a new temperature: ";
    const std::string thanks = "\nThank you, you have destroyed the universe... just kidding\n\n";
    const Case cases[] = {
        {"1200\n", 300, 1200, 2, "Current temperature: 300 in K\n\n" + ask + thanks},
        {"-5\n75\n", 300, 75, 0.5,
         "Current temperature: 300 in K\n\n" + ask + "\nA temperature cannot be below 0 K.\n" +
             ask + thanks},
        // No sample yet, or every grain at rest: nothing to scale from, nothing asked.
        {"1200\n", 0, 0, 1,
         "Current temperature: 0 in K\n\n"
         "No temperature has been measured yet, so the velocities are left as they are.\n\n"},
    };
    for (const Case& c : cases) {
        test::resetProgramState();
        test::ScriptedConsole console(c.answers);
        params.numParticles = 4;
        params.numDeadParticles = 1;
        arrays.particleArray.assign(4, Particle{});
        for (int i = 0; i < 4; ++i) {
            Particle& p = arrays.particleArray[i];
            p.vel[0] = 0.1 * (i + 1);
            p.vel[1] = -0.2 * i;
            p.vel[2] = 0.03;
        }
        arrays.particleArray[3].setColour(1.0, 0.0, 0.5);
        const std::vector<Particle> before = arrays.particleArray;
        params.temperatureRatio = c.measured / params.plasmaTemperature;
        changeTemperature();
        EXPECT_EQ(params.dustTemperature, c.newTemperature) << c.answers;
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(arrays.particleArray[i].vel[k], c.factor * before[i].vel[k], 1e-14)
                    << c.answers << " particle " << i << " component " << k;
        const std::string out = console.output();
        EXPECT_EQ(out.substr(out.find("Current temperature: ")), c.output);
    }
}

TEST(AutoFiring, FiresWhenTargetHeldAndTheLastShotIsOld) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    cloudWithDeadParticles();
    params.autoFiringOn = 1;
    params.lastFireFrame = 0;
    struct Case {
        int coolingState, frame, compensate, startDead, lastFireAfter;
    };
    // Not while the target is not held; then 26 frames after the last shot, not 25. With
    // compensation a fired particle stays, so firing goes on although the reserve shrank; the
    // analyses in between run as the firing automation's and hand back 0.
    const Case cases[] = {
        {1, 40, -1, 5, 0}, {2, 25, -1, 5, 0}, {2, 26, -1, 5, 26},
        {2, 51, 1, 9, 26}, {2, 52, 1, 9, 52},
    };
    for (const Case& c : cases) {
        params.coolingState = c.coolingState;
        params.currentFrame = c.frame;
        params.compensateDeadAddition = c.compensate;
        params.autoFiringStartDead = c.startDead;
        autoFiring();
        EXPECT_EQ(params.lastFireFrame, c.lastFireAfter) << "frame " << c.frame;
        EXPECT_EQ(params.automatedAnalysis, 0) << "frame " << c.frame;
    }
}

}  // namespace
}  // namespace qv
