#include "sim/dead_particles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "sim/constants.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

constexpr double kRapar = 10.0;
constexpr double kTimeStep = 0.5;
constexpr double kGrainMass = 2.0;
constexpr double kGrainCharge = -100.0;
constexpr double kGrainRadius = 0.05;
constexpr double kSpacing = 1.5;

bool hasDeadColour(const Particle& p) {
    return p.colour(0) == 1.0 && p.colour(1) == 0.0 && p.colour(2) == 0.5;
}

// `live` black grains on a line along x, then `waiting` dead particles parked as the initial
// configuration leaves them. Grain i carries mass 100 + i so that it can be told apart.
void makeCloud(int live, int waiting) {
    params.apparatusRadius = kRapar;
    params.timeStep = kTimeStep;
    params.grainMass = kGrainMass;
    params.grainCharge = kGrainCharge;
    params.grainRadius = kGrainRadius;
    params.interparticleDistance = kSpacing;
    params.deadParkY = 1.5 * kRapar;
    params.numParticles = live + waiting;
    params.numDeadParticles = waiting;
    arrays.particleArray.assign(static_cast<std::size_t>(live + waiting), Particle{});
    for (int i = 0; i < live; ++i) {
        Particle& p = arrays.particleArray[static_cast<std::size_t>(i)];
        p.setPosition(0, 0.1 * (i + 1));
        p.setVelocity(2, 0.01 * i);
        p.setMass(100 + i);
        p.setCharge(kGrainCharge);
        p.setRadius(kGrainRadius);
    }
    for (int i = live; i < live + waiting; ++i) {
        Particle& p = arrays.particleArray[static_cast<std::size_t>(i)];
        p.setColour(deadColourRed, deadColourGreen, deadColourBlue);
        p.setPosition(1, params.deadParkY);
        p.setRadius(kGrainRadius);
    }
}

double defaultSpeed() {
    return params.apparatusRadius * params.deadSpeedFraction / params.timeStep;
}

Particle& slot(int i) {
    return arrays.particleArray.at(static_cast<std::size_t>(i));
}

void expectParked(const Particle& p, int i) {
    EXPECT_TRUE(hasDeadColour(p)) << "slot " << i;
    EXPECT_EQ(p.position(0), 0.0) << "slot " << i;
    EXPECT_EQ(p.position(1), params.deadParkY) << "slot " << i;
    EXPECT_EQ(p.position(2), 0.0) << "slot " << i;
    EXPECT_EQ(p.speed(), 0.0) << "slot " << i;
    EXPECT_EQ(p.mass(), 0.0) << "slot " << i;
    EXPECT_EQ(p.charge(), 0.0) << "slot " << i;
    EXPECT_EQ(p.radius(), params.grainRadius) << "slot " << i;
}

TEST(FireDeadParticle, DefaultShotLeavesTheParkAlongMinusYWithMeanProperties) {
    test::resetProgramState();
    makeCloud(4, 3);
    fireDeadParticle(defaultSpeed());

    EXPECT_EQ(params.numDeadParticles, 2);
    EXPECT_EQ(liveCount(), 5);
    const Particle& p = slot(4);
    EXPECT_EQ(p.position(0), 0.0);
    EXPECT_EQ(p.position(1), 1.5 * kRapar);
    EXPECT_EQ(p.position(2), 0.0);
    EXPECT_EQ(p.velocity(0), 0.0);
    EXPECT_DOUBLE_EQ(p.velocity(1), -0.06 * kRapar / kTimeStep);
    EXPECT_EQ(p.velocity(2), 0.0);
    EXPECT_EQ(p.mass(), kGrainMass);
    EXPECT_EQ(p.charge(), kGrainCharge);
    EXPECT_EQ(p.radius(), kGrainRadius);
    EXPECT_TRUE(hasDeadColour(p));
    EXPECT_TRUE(p.isDeadParticle());
    // Without compensation the apparatus and the charge stay; the reserve stays parked.
    EXPECT_EQ(params.apparatusRadius, kRapar);
    EXPECT_EQ(params.totalCharge, 0.0);
    for (int i = 5; i < 7; ++i) expectParked(slot(i), i);
}

TEST(FireDeadParticle, EmptyReserveOrInconsistentCountsDoNothing) {
    test::resetProgramState();
    test::ScriptedConsole console("");
    makeCloud(3, 0);
    const auto before = arrays.particleArray;
    fireDeadParticle(1.0);
    addProbe();
    EXPECT_EQ(params.numDeadParticles, 0);
    EXPECT_EQ(dead.probeIndex, -1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(slot(i).position(0), before[i].position(0));

    // Load-time counts (100 waiting, no slots at all) must not index an empty array.
    test::resetProgramState();
    fireDeadParticle(1.0);
    addProbe();
    resetDeadParticles();
    EXPECT_EQ(params.numDeadParticles, 100);
    EXPECT_EQ(console.output(), "");
}

TEST(FireDeadParticle, PropertiesAskedForApplyToLaterShotsOnly) {
    test::resetProgramState();
    makeCloud(2, 3);
    fireDeadParticle(defaultSpeed());
    test::ScriptedConsole console("2\n0.5\n-3\n0.1\n");
    askDeadProperty(13);
    askDeadProperty(14);
    askDeadProperty(15);
    askDeadProperty(16);
    EXPECT_EQ(console.output(),
              "\nPlease enter mass as a fraction of average particle mass: \n\n"
              "\nPlease enter radius as a fraction of average particle radius: \n\n"
              "\nPlease enter charge as a fraction of average particle charge: \n\n"
              "\nPlease enter speed as a fraction of Rapar travelled in 1 time step: \n\n");
    fireDeadParticle(defaultSpeed());

    EXPECT_EQ(slot(2).mass(), kGrainMass);
    EXPECT_EQ(slot(2).charge(), kGrainCharge);
    EXPECT_DOUBLE_EQ(slot(2).velocity(1), -0.06 * kRapar / kTimeStep);
    EXPECT_EQ(slot(3).mass(), 2 * kGrainMass);
    EXPECT_EQ(slot(3).radius(), 0.5 * kGrainRadius);
    EXPECT_EQ(slot(3).charge(), -3 * kGrainCharge);
    EXPECT_DOUBLE_EQ(slot(3).velocity(1), -0.1 * kRapar / kTimeStep);

    // An entry that is not a property asks nothing.
    console.clearOutput();
    askDeadProperty(17);
    EXPECT_EQ(console.output(), "");
}

TEST(FireDeadParticle, AMassFractionOfZeroOrBelowIsAskedAgain) {
    test::resetProgramState();
    test::ScriptedConsole console("0\n-1\n0.25\n");
    askDeadProperty(13);
    EXPECT_EQ(dead.deadMassFraction, 0.25);
    const std::string prompt = "Please enter mass as a fraction of average particle mass: \n";
    const std::string refusal = "The mass must be above 0.\n";
    EXPECT_EQ(console.output(), "\n" + prompt + refusal + prompt + refusal + prompt + "\n");
}

TEST(PhiScan, AnglesFromTheTwoDivisors) {
    test::resetProgramState();
    test::ScriptedConsole console("4\n2\n");
    askPhiScanAngles();
    EXPECT_EQ(console.output(),
              "\nPlease enter (x) where Max Phi Angle will be set to (PI/2)+(PI/x): \n"
              "\nPlease enter (x) where Min Phi Angle will be set to (PI/2)-(PI/x): \n\n");
    EXPECT_DOUBLE_EQ(dead.phiMax, 0.75 * pi);
    EXPECT_DOUBLE_EQ(dead.phiMin, 0.0);
    EXPECT_EQ(dead.firingPhi, dead.phiMin);
}

TEST(PhiScan, ADivisorOfZeroIsAskedAgain) {
    test::resetProgramState();
    test::ScriptedConsole console("0\n4\n0\n0\n4\n");
    askPhiScanAngles();
    EXPECT_DOUBLE_EQ(dead.phiMax, 0.75 * pi);
    EXPECT_DOUBLE_EQ(dead.phiMin, 0.25 * pi);
    const std::string out = console.output();
    const std::string maxPrompt =
        "Please enter (x) where Max Phi Angle will be set to (PI/2)+(PI/x): \n";
    const std::string minPrompt =
        "Please enter (x) where Min Phi Angle will be set to (PI/2)-(PI/x): \n";
    const std::string refusal = "The angle is PI/x, so x must not be 0.\n";
    EXPECT_EQ(out, "\n" + maxPrompt + refusal + maxPrompt + "\n" + minPrompt + refusal + minPrompt +
                       refusal + minPrompt + "\n");
    EXPECT_TRUE(std::isfinite(dead.firingPhi));
}

TEST(PhiScan, ShotsSweepFromQuarterToThreeQuartersPiAndWrap) {
    test::resetProgramState();
    makeCloud(1, 60);
    dead.phiScanOn = 1;
    test::ScriptedConsole console("4\n4\n");
    askPhiScanAngles();
    const double speed = defaultSpeed();

    double previous = -1;
    int wrapShot = -1;
    for (int shot = 0; shot < 55; ++shot) {
        fireDeadParticle(speed);
        const Particle& p = slot(1 + shot);
        const double phi = std::atan2(p.position(1), p.position(0));
        if (shot <= 49) {
            EXPECT_NEAR(phi, pi / 4 + shot * pi / 100, 1e-12) << "shot " << shot;
        }
        EXPECT_GE(phi, pi / 4 - 1e-12);
        EXPECT_LE(phi, 3 * pi / 4 + 1e-12);
        if (wrapShot < 0 && previous > 0 && phi < previous) wrapShot = shot;
        previous = phi;

        // From the park circle of radius 1.5 Rapar in the x-y plane, straight at the centre.
        EXPECT_NEAR(p.distanceFromCentre(), 1.5 * kRapar, 1e-12);
        EXPECT_EQ(p.position(2), 0.0);
        EXPECT_NEAR(p.speed(), speed, 1e-12 * speed);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(p.velocity(i), -speed * p.position(i) / (1.5 * kRapar), 1e-12 * speed);
    }
    // The first shot after passing 3 pi/4 starts at pi/4 again.
    ASSERT_GE(wrapShot, 50);
    ASSERT_LE(wrapShot, 51);
    const Particle& wrapped = slot(1 + wrapShot);
    EXPECT_NEAR(std::atan2(wrapped.position(1), wrapped.position(0)), pi / 4, 1e-12);
    EXPECT_NEAR(std::atan2(slot(wrapShot).position(1), slot(wrapShot).position(0)), 3 * pi / 4,
                1e-12);
}

TEST(PhiScan, ASlotAtTheCentreKeepsThePlainShot) {
    test::resetProgramState();
    makeCloud(2, 2);
    slot(2).setPosition(1, 0.0);
    dead.phiScanOn = 1;
    dead.phiMin = pi / 4;
    dead.phiMax = 3 * pi / 4;
    dead.firingPhi = pi / 4;
    fireDeadParticle(3.0);
    const Particle& p = slot(2);
    EXPECT_EQ(p.velocity(0), 0.0);
    EXPECT_EQ(p.velocity(1), -3.0);
    EXPECT_EQ(p.velocity(2), 0.0);
    EXPECT_EQ(p.distanceFromCentre(), 0.0);
    EXPECT_DOUBLE_EQ(dead.firingPhi, pi / 4 + pi / 100);
}

TEST(Compensation, EachShotGrowsTheApparatusAndJoinsTheCloudNearTheCentre) {
    test::resetProgramState();
    makeCloud(10, 4);
    params.compensateDeadAddition = 1;
    params.totalCharge = 10 * kGrainCharge;

    for (int shot = 1; shot <= 2; ++shot) {
        fireDeadParticle(defaultSpeed());
        const int n = 10 + shot;
        const double rapar = std::cbrt(3.0 * n / (4.0 * pi)) * kSpacing;
        EXPECT_DOUBLE_EQ(params.apparatusRadius, rapar) << "shot " << shot;
        EXPECT_DOUBLE_EQ(params.totalCharge, (10 + shot) * kGrainCharge);
        EXPECT_DOUBLE_EQ(params.deadParkY, 1.5 * rapar);
        const Particle& joined = slot(9 + shot);
        EXPECT_EQ(joined.position(0), 0.1);
        EXPECT_EQ(joined.position(1), 0.1);
        EXPECT_EQ(joined.position(2), 0.1);
        EXPECT_EQ(joined.colour(0), 0.0);
        EXPECT_EQ(joined.colour(1), 0.0);
        EXPECT_EQ(joined.colour(2), 0.0);
        EXPECT_FALSE(joined.isDeadParticle());
        EXPECT_EQ(joined.mass(), kGrainMass);
        // Every particle still waiting is lifted to the new park height, x and z untouched.
        for (int i = 10 + shot; i < 14; ++i) {
            EXPECT_EQ(slot(i).position(1), params.deadParkY) << "slot " << i;
            EXPECT_EQ(slot(i).position(0), 0.0);
        }
    }
    // A joined grain is an ordinary grain now: the recall leaves it in the cloud.
    resetDeadParticles();
    EXPECT_EQ(params.numDeadParticles, 2);
    EXPECT_EQ(slot(11).position(0), 0.1);
}

TEST(ResetDeadParticles, ThreeShotsReturnToTheParkWithZeroVelocity) {
    test::resetProgramState();
    makeCloud(6, 5);
    for (int shot = 0; shot < 3; ++shot) fireDeadParticle(defaultSpeed());
    // Let them fly a little, as the time step would.
    for (int i = 6; i < 9; ++i) slot(i).setPosition(1, 2.0 - i);
    EXPECT_EQ(params.numDeadParticles, 2);
    resetDeadParticles();
    EXPECT_EQ(params.numDeadParticles, 5);
    for (int i = 6; i < 11; ++i) expectParked(slot(i), i);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(slot(i).mass(), 100 + i) << "slot " << i;
}

TEST(ResetDeadParticles, EachRecalledSlotIsFilledByTheLastLiveGrain) {
    test::resetProgramState();
    makeCloud(6, 2);
    // Fired particles at slots 1 and 4 among the grains (the time step keeps them anywhere).
    params.numDeadParticles = 2;
    for (int i : {1, 4}) {
        slot(i).setColour(deadColourRed, deadColourGreen, deadColourBlue);
        slot(i).setVelocity(0, 5.0);
    }
    resetDeadParticles();
    EXPECT_EQ(params.numDeadParticles, 4);
    EXPECT_EQ(slot(0).mass(), 100);
    EXPECT_EQ(slot(1).mass(), 105);
    EXPECT_EQ(slot(2).mass(), 102);
    EXPECT_EQ(slot(3).mass(), 103);
    for (int i = 4; i < 8; ++i) expectParked(slot(i), i);
}

TEST(ResetDeadParticles, TheNextToFireIsPutBackAtTheParkHeight) {
    test::resetProgramState();
    makeCloud(3, 2);
    slot(3).setPosition(0, 4.0);
    slot(3).setPosition(1, 7.0);
    slot(4).setPosition(0, 4.0);
    slot(4).setPosition(1, 7.0);
    resetDeadParticles();
    EXPECT_EQ(slot(3).position(0), 0.0);
    EXPECT_EQ(slot(3).position(1), params.deadParkY);
    // Only the next one is checked.
    EXPECT_EQ(slot(4).position(0), 4.0);
}

TEST(Probe, AddInProbeAndResetRemovesIt) {
    test::resetProgramState();
    makeCloud(5, 3);
    addProbe();
    EXPECT_EQ(dead.probeIndex, 5);
    EXPECT_EQ(params.numDeadParticles, 2);
    const Particle& probe = slot(5);
    EXPECT_EQ(probe.mass(), probeMass);
    EXPECT_EQ(probe.charge(), 0.0);
    EXPECT_EQ(probe.radius(), kGrainRadius);
    EXPECT_EQ(probe.position(0), 0.01);
    EXPECT_EQ(probe.position(1), 0.01);
    EXPECT_EQ(probe.position(2), 0.01);
    EXPECT_EQ(probe.speed(), 0.0);
    EXPECT_TRUE(hasDeadColour(probe));

    resetDeadParticles();
    EXPECT_EQ(dead.probeIndex, -1);
    EXPECT_EQ(params.numDeadParticles, 3);
    for (int i = 5; i < 8; ++i) expectParked(slot(i), i);
}

TEST(DisplaceParticles, OnlyTheChosenGrainsMoveRadially) {
    test::resetProgramState();
    makeCloud(6, 2);
    for (int i = 0; i < 6; ++i) {
        slot(i).setPosition(0, 0.3 * (i + 1));
        slot(i).setPosition(1, 0.4 * (i + 1));
    }
    // Distances 0.5, 1.0, ..., 3.0.
    slot(1).setColour(0, 4, 0);
    slot(3).setColour(0, 4, 0);
    slot(2).setColour(0, 1, 0);  // the space-key selection is not a highlight
    slot(4).setColour(1, 4, 0);
    slot(7).setColour(0, 4, 0);  // waiting: never moved

    test::ScriptedConsole console("0.1\n");
    displaceParticles(23, 0, 0);
    EXPECT_EQ(console.output(),
              "\nPlease enter fraction of Rapar the particles should be displaced:\n\n");
    EXPECT_NEAR(slot(1).distanceFromCentre(), 1.0 + 0.1 * kRapar, 1e-12);
    EXPECT_NEAR(slot(3).distanceFromCentre(), 2.0 + 0.1 * kRapar, 1e-12);
    EXPECT_NEAR(slot(1).position(1) / slot(1).position(0), 4.0 / 3.0, 1e-12);
    EXPECT_DOUBLE_EQ(slot(1).position(2), 0.0);
    for (int i : {0, 2, 4, 5}) EXPECT_NEAR(slot(i).distanceFromCentre(), 0.5 * (i + 1), 1e-12);
    EXPECT_EQ(slot(7).position(1), params.deadParkY);
}

TEST(DisplaceParticles, ShellViewBoundsAreStrict) {
    test::resetProgramState();
    makeCloud(6, 1);
    for (int i = 0; i < 6; ++i) {
        slot(i).setPosition(0, 0);
        slot(i).setPosition(2, 1.0 + i);  // distances 1 .. 6
    }
    test::ScriptedConsole console("-0.05\n");
    // Shell 2 < r < 4: only r = 3 is inside; 2 and 4 lie on the bounds.
    displaceParticles(24, 3.0, 2.0);
    for (int i = 0; i < 6; ++i) {
        const double expected = i == 2 ? 3.0 - 0.05 * kRapar : 1.0 + i;
        EXPECT_NEAR(slot(i).position(2), expected, 1e-12) << "slot " << i;
    }
}

TEST(DisplaceParticles, AFractionOfZeroMovesNothing) {
    test::resetProgramState();
    makeCloud(5, 2);
    for (int i = 0; i < 5; ++i) {
        slot(i).setPosition(1, -0.7 * i);
        slot(i).setPosition(2, 0.3);
        slot(i).setColour(0, 4, 0);
    }
    const auto before = arrays.particleArray;
    test::ScriptedConsole console("0\n0\n");
    displaceParticles(23, 0, 0);
    displaceParticles(24, 1.0, 10.0);
    for (std::size_t i = 0; i < before.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(arrays.particleArray[i].position(c), before[i].position(c)) << i;
            EXPECT_EQ(arrays.particleArray[i].velocity(c), before[i].velocity(c)) << i;
        }
    }
}

// Whatever is fired, probed, joined and recalled: no record is added or lost, live and waiting
// slots add up to all slots, every waiting slot is a parked dead particle, and every grain of
// the cloud is still there exactly once.
TEST(DeadParticleReserve, LiveAndWaitingAlwaysAddUpToAllSlots) {
    test::resetProgramState();
    makeCloud(8, 6);
    const std::size_t slots = arrays.particleArray.size();
    const auto check = [&](const char* step) {
        SCOPED_TRACE(step);
        ASSERT_EQ(arrays.particleArray.size(), slots);
        ASSERT_GE(params.numDeadParticles, 0);
        ASSERT_EQ(liveCount() + params.numDeadParticles, params.numParticles);
        for (int i = liveCount(); i < params.numParticles; ++i) {
            EXPECT_TRUE(slot(i).isDeadParticle()) << "waiting slot " << i;
            EXPECT_EQ(slot(i).speed(), 0.0) << "waiting slot " << i;
        }
        for (int g = 0; g < 8; ++g) {
            int found = 0;
            for (int i = 0; i < liveCount(); ++i) found += slot(i).mass() == 100 + g ? 1 : 0;
            EXPECT_EQ(found, 1) << "grain " << g;
        }
    };
    check("start");
    fireDeadParticle(defaultSpeed());
    fireDeadParticle(defaultSpeed());
    check("two shots");
    addProbe();
    check("probe");
    resetDeadParticles();
    check("reset");
    EXPECT_EQ(params.numDeadParticles, 6);
    params.compensateDeadAddition = 1;
    fireDeadParticle(defaultSpeed());
    params.compensateDeadAddition = -1;
    fireDeadParticle(defaultSpeed());
    for (int i = 0; i < 10; ++i) fireDeadParticle(defaultSpeed());
    check("reserve emptied");
    EXPECT_EQ(params.numDeadParticles, 0);
    resetDeadParticles();
    check("second reset");
    // The compensated shot stays in the cloud as a grain.
    EXPECT_EQ(params.numDeadParticles, 5);
}

}  // namespace
}  // namespace qv
