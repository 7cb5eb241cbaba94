#pragma once
// Physical inputs of a new render turned into the normalised quantities of the run.

namespace qv {

void computeDerivedQuantities();
void reportDerivedQuantities();

}  // namespace qv
