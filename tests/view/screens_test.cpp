// The console screens raised from the window, and the whole numbers shown on screen.
#include "view/screens.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "console/console.h"
#include "sim/state.h"
#include "tests/support/test_support.h"
#include "view/render.h"
#include "view/view_state.h"

namespace qv {
namespace {

using test::ScriptedConsole;

std::string clearText() {
    ScriptedConsole console("");
    console::clearScreen();
    return console.output();
}

// What a screen prints on a console left at three digits, as the status line of the first
// step leaves it; the screen keeps its own six digits to itself.
std::string screen(void (*show)()) {
    ScriptedConsole console("");
    console::out().precision(3);
    show();
    EXPECT_EQ(console::out().precision(), 3);
    return console.output();
}

const char* const kHelp =
    "KEY SETUP\n"
    "\n"
    "F1 Displays this help file\n"
    "Arrow keys move camera within x-y plane\n"
    "Page up and Down move camera along z axis\n"
    "wasd keys move target along a sphere (w+s change phi and a+d change theta\n"
    "Shift+R resets Target Posn to same x and y as camera but a point 50 below in z axis\n"
    "p key plays or pauses the replay / r key rewinds the replay\n"
    "g key allows jump to frame option\n"
    "Keys i,k rotate simulation about the x axis, keys j,l rotate simulation adout y axis\n"
    "Key f turns on automatic particle firing\n"
    "q allows tracking of a particle\n"
    "Shift+f resets all 'dead' particles\n"
    "F2 Sets camera view point to 0,0,0\n"
    "F3 Slows play down\n"
    "F4 Speeds Play Back\n"
    "F5 Calculates pair correlation function and outputs to file\n"
    "F6 Allows Temperature change of system (in K)\n"
    "F7 Highlights a particular sheet in x-y plane of simulation\n"
    "F8 Highlight a particle and its nearest neighbours\n"
    "F9 Turns on/off the efield\n"
    "F10 Turns on/off Particle-Particle interaction\n"
    "F11 Turns on/off Equal Magnification\n"
    "F12 Output key global variables and parameters\n"
    "Home and End speed and slow play up alot\n"
    "Insert fires in particle\n"
    "Shift + C Turns on 'smart' cooling allowing you to select a gamma\n"
    "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\n"
    "Right click and select Radius View under Dust Draw: This allows spherical shell viewing\n"
    "< & > change the thickness (dr) of the shell\n"
    "+ and - change the actual distance from the centre of the simulation the shell will be "
    "drawn at.\n"
    "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\n"
    "**********PROBE CONTROLS START**********\n"
    "0 Resets Probe Charge, 5 re-centres probe\n"
    "7 decreases charge, 1 increases charge, 9 increases y, 3 decreases y\n"
    "2 decreases z, 8 increases z, 4 decreases x, 6 increases x\n"
    "**********PROBE CONTROLS END***********\n"
    "\n";

TEST(HelpScreen, ClearsTheConsoleAndListsEveryKeyInEveryState) {
    test::resetProgramState();
    EXPECT_EQ(screen(showHelp), clearText() + kHelp);
    params.runMode = kPlay;
    params.playStep = 0;
    dead.probeIndex = 3;
    view.dustDrawMode = 7;
    EXPECT_EQ(screen(showHelp), clearText() + kHelp);
}

// Values chosen so that every column shows how six significant digits print.
void setListedValues() {
    params.numParticles = 376;
    params.apparatusRadius = 20;
    view.shellViewRadius = 5;
    view.shellViewWidth = 0.5;
    params.grainRadius = 0.00302;
    params.timeStep = 0.0123456789;
    params.currentFrame = 77;
    params.slowMotionDelay = 30;
    params.grainMass = 1.5e10;
    params.numberDensity = 0.25;
    params.grainCharge = -10000;
    params.coolingState = 2;
    params.interparticleDistance = 1.7;
    params.debyeSphereCount = 123456.7;
}

const char* const kEightLines =
    "Particles : 376 : Particle Highlighted : 1\n"
    "Radius of Draw : 0.25 : Shell width to draw : 0.025\n"
    "Slice Min : -500000 : Slice Max : 500000\n"
    "Radius of Particles : 0.00302 : Radius of Apparatus : 20\n"
    "Timestep : 0.0123457 : Frame : 77 : Slow motion : 30\n"
    "Mass of Part : 1.5e+10 : Number Density : 0.25\n"
    "Average charge on part : -10000 : Cooling (1=yes) : 2\n"
    "Inter-particle distance : 1.7   :  N : 123457\n";

TEST(ParameterScreen, EightLinesAndANinthForAProbeFromSlotOneOn) {
    struct Case {
        const char* name;
        int slots, probe;
        std::string ninth;
    };
    const Case cases[] = {
        {"no probe", 0, -1, ""},
        {"probe in slot 3", 5, 3, "Probe Charge in average dust charge : 2.5\n"},
        {"probe in slot 0", 2, 0, ""},
        {"probe outside the array", 2, 7, ""},
    };
    for (const Case& c : cases) {
        test::resetProgramState();
        setListedValues();
        arrays.particleArray.resize(c.slots);
        for (Particle& p : arrays.particleArray) p.setCharge(-25000);
        dead.probeIndex = c.probe;
        // The reset slice shows as plus and minus 9999999 over Rapar; the first slot as number 1.
        EXPECT_EQ(screen(showParameters), clearText() + kEightLines + c.ninth + "\n") << c.name;
    }
}

TEST(OnScreenValues, AreTruncatedTowardZeroAndAlwaysGiveText) {
    EXPECT_EQ(truncatedValueText(172.9), "172");
    EXPECT_EQ(truncatedValueText(-2.5), "-2");
    EXPECT_EQ(truncatedValueText(-0.7), "0");
    EXPECT_EQ(truncatedValueText(0.0), "0");
    EXPECT_EQ(truncatedValueText(-10000.999), "-10000");
    EXPECT_EQ(truncatedValueText(3e12 + 0.5), "3000000000000");
    EXPECT_EQ(truncatedValueText(-2147483648.9), "-2147483648");
    EXPECT_EQ(truncatedValueText(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(truncatedValueText(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(truncatedValueText(std::nan("")), "nan");
}

}  // namespace
}  // namespace qv
