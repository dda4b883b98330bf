// The keys of a sampling run: the arrows move the pointer a physical pixel
// at a time, ten with Shift. A pure function; the run applies it.
#pragma once

#include "abi/host_api.h"

constexpr int kNudgeStep = 1;
constexpr int kNudgeShiftStep = 10;

// The pointer's move for a key of the host's (`qualifiers`: the panel's,
// IQ_SHIFT for Shift): *dx, *dy for an arrow, and true; false for any other
// key, leaving them alone.
bool nudge_for_key(LWDualKey key, int qualifiers, int *dx, int *dy);
