#pragma once
// Console screens raised from the window: key help and parameter listing.

namespace qv {

void showHelp();
void showParameters();

}  // namespace qv
