#pragma once
// Slice view and neighbour highlighting dialogues.

namespace qv {

void askSlice();
void highlightNeighbours();

}  // namespace qv
