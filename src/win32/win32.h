// The Win32 seam: the plug-in calls these USER32, GDI32 and KERNEL32
// functions by their own names. On Windows they are the system's; elsewhere
// the simulated desktop library provides them.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "win32/win32_standin.h"
#endif
