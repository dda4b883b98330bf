// A drag as the mouse actions it is made of: a press of the drag's button at
// its start, STEPS moves in even steps to its end (the last one there) and a
// release at the end. Both front ends play a drag through this, the headless
// one into the host's mouse entry points, the windowed one as real input.
#pragma once

#include <array>

#include "input/action.h"

namespace hvhost {

class DragSteps {
 public:
  // from and to are where the drag's start and end are, in the coordinates
  // the steps are wanted in (the drag's place already resolved).
  DragSteps(const Action &drag, std::array<int, 2> from, std::array<int, 2> to);

  // The press, every move and the release.
  int size() const { return moves_ + 2; }
  // Step i of size(): 0 the press, 1..size() - 2 the moves, size() - 1 the
  // release; each a panel-place action on the drag's script line.
  Action operator[](int i) const;

 private:
  Action drag_;
  std::array<int, 2> from_, to_;
  int moves_;
};

}  // namespace hvhost
