#include "view/screens.h"

#include <ostream>
#include <string>

#include "console/console.h"
#include "setup/model_options.h"
#include "sim/simulation.h"
#include "view/view_state.h"

namespace qv {

void showHelp() {
    static const char* const lines[] = {
        "F1 Displays this help file",
        "Arrow keys move camera within x-y plane",
        "Page up and Down move camera along z axis",
        "wasd keys move target along a sphere (w+s change phi and a+d change theta",
        "Shift+R resets Target Posn to same x and y as camera but a point 50 below in z axis",
        "p key plays or pauses the replay / r key rewinds the replay",
        "g key allows jump to frame option",
        "Keys i,k rotate simulation about the x axis, keys j,l rotate simulation adout y axis",
        "Key f turns on automatic particle firing",
        "q allows tracking of a particle",
        "Shift+f resets all 'dead' particles",
        "F2 Sets camera view point to 0,0,0",
        "F3 Slows play down",
        "F4 Speeds Play Back",
        "F5 Calculates pair correlation function and outputs to file",
        "F6 Allows Temperature change of system (in K)",
        "F7 Highlights a particular sheet in x-y plane of simulation",
        "F8 Highlight a particle and its nearest neighbours",
        "F9 Turns on/off the efield",
        "F10 Turns on/off Particle-Particle interaction",
        "F11 Turns on/off Equal Magnification",
        "F12 Output key global variables and parameters",
        "Home and End speed and slow play up alot",
        "Insert fires in particle",
        "Shift + C Turns on 'smart' cooling allowing you to select a gamma",
    };
    std::ostream& out = console::out();
    console::clearScreen();
    out << "KEY SETUP" << '\n' << '\n';
    for (const char* line : lines) out << line << '\n';
    out << std::string(41, '~') << '\n';
    out << "Right click and select Radius View under Dust Draw: This allows spherical shell viewing"
        << '\n';
    out << "< & > change the thickness (dr) of the shell" << '\n';
    out << "+ and - change the actual distance from the centre of the simulation the shell will be "
           "drawn at."
        << '\n';
    out << std::string(40, '~') << '\n';
    out << "**********PROBE CONTROLS START**********" << '\n';
    out << "0 Resets Probe Charge, 5 re-centres probe" << '\n';
    out << "7 decreases charge, 1 increases charge, 9 increases y, 3 decreases y" << '\n';
    out << "2 decreases z, 8 increases z, 4 decreases x, 6 increases x" << '\n';
    out << "**********PROBE CONTROLS END***********" << '\n';
    out << "Shift+P saves the view as a PNG picture (the console names the file)" << '\n';
    out << "Shift+M minimises the energy (FIRE); a render goes on from the minimum" << '\n';
    out << '\n' << std::flush;
}

void showParameters(const Simulation& sim, const ViewState& view) {
    std::ostream& out = console::out();
    const double rapar = sim.model.apparatusRadius;
    // The listing uses the file default of six significant digits, whatever the console has.
    const auto saved = out.precision(6);
    console::clearScreen();
    out << "Particles : " << sim.numParticles
        << " : Particle Highlighted : " << view.highlightedParticle + 1 << '\n';
    out << "Radius of Draw : " << view.shellViewRadius / rapar
        << " : Shell width to draw : " << view.shellViewWidth / rapar << '\n';
    out << "Slice Min : " << view.sliceMin / rapar << " : Slice Max : " << view.sliceMax / rapar
        << '\n';
    out << "Radius of Particles : " << sim.model.grainRadius << " : Radius of Apparatus : " << rapar
        << '\n';
    out << "Timestep : " << sim.model.timeStep << " : Frame : " << sim.clock.currentFrame
        << " : Slow motion : " << view.slowMotionDelay << '\n';
    out << "Mass of Part : " << sim.model.grainMass
        << " : Number Density : " << sim.model.numberDensity << '\n';
    out << "Average charge on part : " << sim.model.grainCharge
        << " : Cooling (1=yes) : " << coolingCode(sim.thermostat.coolingState) << '\n';
    out << "Inter-particle distance : " << sim.model.interparticleDistance
        << "   :  N : " << sim.model.debyeSphereCount << '\n';
    // A probe slot outside the array (no particles loaded) has no charge to show.
    if (sim.reserve.probeIndex > 0 &&
        sim.reserve.probeIndex < static_cast<int>(sim.arrays.particleArray.size())) {
        out << "Probe Charge in average dust charge : "
            << sim.arrays.particleArray[sim.reserve.probeIndex].charge() / sim.model.grainCharge
            << '\n';
    }
    out << describeModelOptions(sim);
    out << '\n' << std::flush;
    out.precision(saved);
}

}  // namespace qv
