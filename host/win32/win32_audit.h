// Counts the plug-in's own calls of the Win32 functions whose resources it
// must give back (hooks, timers, the desktop device context) and its pixel
// reads, by pointing the entries of its import table at counting
// functions that pass every call on to the system's unchanged.
//
// This lets the host tell, after an eyedropper run, that the hook and timer
// were released, which Windows has no call to ask. The same entries give a
// composited desktop's cost to a system that has none (Wine, or Windows
// without composition): each screen read (GetPixel on a screen DC, BitBlt
// from one) sleeps as long as asked; and they time the plug-in's hook and
// timer procedures, which run on the host's thread.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <string>

namespace hvwin {

struct Win32Counts {
  int hooks_set = 0, hooks_removed = 0;
  int timers_set = 0, timers_killed = 0;
  int dcs_taken = 0, dcs_released = 0;
  uint64_t pixels_read = 0;
  uint64_t blocks_read = 0;  // BitBlt calls from a screen DC
  int windows_made = 0, windows_destroyed = 0;
  int windows_shown = 0;  // made visible, or shown by SetWindowPos

  int hooks_live() const { return hooks_set - hooks_removed; }
  int timers_live() const { return timers_set - timers_killed; }
  int dcs_live() const { return dcs_taken - dcs_released; }
};

// How long the plug-in's thread was busy in its hook or its timer
// procedure: calls, and milliseconds in all and at most.
struct BusyTime {
  uint64_t calls = 0;
  double total_ms = 0, max_ms = 0;
};

// Milliseconds each screen read made through the patched entries sleeps
// (0: none). Set it before the plug-in reads.
void set_screen_read_cost(unsigned ms);

// Patches the import table of the loaded module. Returns false with *error
// when the module's table cannot be read or holds none of the functions.
bool audit_module_imports(HMODULE module, std::string *error);

// The counts so far (only successful calls count).
Win32Counts win32_counts();

// "win32 hooks 0 timers 0 dcs 0 (set 2/2 2/2 2/2) pixels N blocks N windows
// M/D shown S": live resources, then set/released totals, then the screen
// reads, then the plug-in's own windows made, destroyed and shown.
std::string format_counts(const Win32Counts &c);

// The plug-in's hook and timer procedures so far.
BusyTime hook_busy();
BusyTime tick_busy();
// "busy hook N calls mean X ms max Y ms tick N calls mean X ms max Y ms".
std::string format_busy();

}  // namespace hvwin
