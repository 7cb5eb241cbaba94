// TEMPORARY during parallel development: weak placeholders so every target links while the
// modules are being written. A real definition anywhere overrides its placeholder. This whole
// directory is deleted before the work lands.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "analysis/runlog.h"
#include "analysis/structure.h"
#include "analysis/tracker.h"
#include "dataset/loader.h"
#include "dataset/writer.h"
#include "setup/configuration.h"
#include "setup/derived.h"
#include "setup/setup.h"
#include "sim/collisions.h"
#include "sim/cooling.h"
#include "sim/dead_particles.h"
#include "sim/timestep.h"
#include "sim/velocity_outputs.h"
#include "view/highlight.h"
#include "view/keys.h"
#include "view/menus.h"
#include "view/render.h"
#include "view/screens.h"

// A placeholder does nothing (and returns a zero value), so a module can be tested before the
// modules it calls exist. Deleting this directory makes any function still missing a link error.
#define PENDING(name) (void)name
#define W __attribute__((weak))

namespace qv {
W void timeStepOnce(Particle*, int) { PENDING("timeStepOnce"); }
W void collide(Particle&, Particle&) { PENDING("collide"); }
W double wallRemainder(const Particle&) { PENDING("wallRemainder"); return 0.0; }
W void reflectFromWall(Particle&) { PENDING("reflectFromWall"); }
W void changeTemperature() { PENDING("changeTemperature"); }
W void updateCcpleAverage() { PENDING("updateCcpleAverage"); }
W void askCcpleTarget() { PENDING("askCcpleTarget"); }
W void smartCoolingSchedule() { PENDING("smartCoolingSchedule"); }
W void autoFiring() { PENDING("autoFiring"); }
W void writeVelocityRows(int, const Particle*) { PENDING("writeVelocityRows"); }
W void writeSpeedDensity(const Particle*, int) { PENDING("writeSpeedDensity"); }
W void writeMaxboltzAndFarewell() { PENDING("writeMaxboltzAndFarewell"); }
W void fireDeadParticle(double) { PENDING("fireDeadParticle"); }
W void joinFiredParticle() { PENDING("joinFiredParticle"); }
W void resetDeadParticles() { PENDING("resetDeadParticles"); }
W void addProbe() { PENDING("addProbe"); }
W void displaceParticles(int, double, double) { PENDING("displaceParticles"); }
W void askDeadProperty(int) { PENDING("askDeadProperty"); }
W void askPhiScanAngles() { PENDING("askPhiScanAngles"); }
W void runSetUp() { PENDING("runSetUp"); }
W void showStartMenu() { PENDING("showStartMenu"); }
W void chooseOutputs2D() { PENDING("chooseOutputs2D"); }
W void promptDataSetFile() { PENDING("promptDataSetFile"); }
W void promptParameters() { PENDING("promptParameters"); }
W void applyRenderDefaults() { PENDING("applyRenderDefaults"); }
W void applyCrystalDefaults() { PENDING("applyCrystalDefaults"); }
W void promptCoolingSchedule() { PENDING("promptCoolingSchedule"); }
W void computeDerivedQuantities() { PENDING("computeDerivedQuantities"); }
W void reportDerivedQuantities() { PENDING("reportDerivedQuantities"); }
W void allocateParticles(int) { PENDING("allocateParticles"); }
W bool cursorAtEnd() { PENDING("cursorAtEnd"); return true; }
W void setUpMassDistribution() { PENDING("setUpMassDistribution"); }
W void configureInitialParticles() { PENDING("configureInitialParticles"); }
W void assignMassGroup(double, int) { PENDING("assignMassGroup"); }
W void buildCrystalLattice() { PENDING("buildCrystalLattice"); }
W void reportAverages() { PENDING("reportAverages"); }
W void writeDataSetHeader(int, int) { PENDING("writeDataSetHeader"); }
W void writeFrame() { PENDING("writeFrame"); }
W void writeMasterFile() { PENDING("writeMasterFile"); }
W void openDataSetForReading() { PENDING("openDataSetForReading"); }
W void loadAllFrames() { PENDING("loadAllFrames"); }
W void setFrameFromStore(int) { PENDING("setFrameFromStore"); }
W void loadAndContinue() { PENDING("loadAndContinue"); }
W void writeRunLogHeaders() { PENDING("writeRunLogHeaders"); }
W void writeDataRow() { PENDING("writeDataRow"); }
W void printStatusLine() { PENDING("printStatusLine"); }
W void writeDetectorRow(Particle) { PENDING("writeDetectorRow"); }
W void computePairCorrelation(const Particle*, int) { PENDING("computePairCorrelation"); }
W void computeShellStructure(const Particle*, int) { PENDING("computeShellStructure"); }
W void computeFieldStructure(const Particle*, int) { PENDING("computeFieldStructure"); }
W void writeRadialProfile(double, int, std::string, const double*, int, double, double) {
    PENDING("writeRadialProfile");
}
W bool askTrackedParticle() { PENDING("askTrackedParticle"); return false; }
W void writeTrackerRow() { PENDING("writeTrackerRow"); }
W void keyboardHandler(unsigned char, int, int) { PENDING("keyboardHandler"); }
W void specialKeyHandler(int, int, int) { PENDING("specialKeyHandler"); }
W void jumpToFrame() { PENDING("jumpToFrame"); }
W void buildMenus() { PENDING("buildMenus"); }
W void menuHandler(int) { PENDING("menuHandler"); }
W void askCoolingTolerance() { PENDING("askCoolingTolerance"); }
W void showHelp() { PENDING("showHelp"); }
W void showParameters() { PENDING("showParameters"); }
W void askSlice() { PENDING("askSlice"); }
W void highlightNeighbours() { PENDING("highlightNeighbours"); }
W void display() { PENDING("display"); }
W void reshape(int, int) { PENDING("reshape"); }
W void setUpLights() { PENDING("setUpLights"); }
W void drawScene() { PENDING("drawScene"); }
W void drawBitmapLabel(float, float, float, void*, const std::string&) { PENDING("drawBitmapLabel"); }
W void drawLabelledValue(float, float, float, std::string, double) { PENDING("drawLabelledValue"); }
}  // namespace qv
