// The Win32 seam: the plug-in calls these USER32, GDI32 and KERNEL32
// functions by their own names. On Windows they are the system's; elsewhere
// the simulated desktop library provides them.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// What older SDK headers lack, or keep in the tablet headers: values as
// Microsoft documents them.
#ifndef WDA_EXCLUDEFROMCAPTURE
#define WDA_EXCLUDEFROMCAPTURE 0x00000011
#endif
#ifndef WM_POINTERUPDATE
#define WM_POINTERUPDATE 0x0245
#define WM_POINTERDOWN 0x0246
#define WM_POINTERUP 0x0247
#endif
#ifndef WM_POINTERACTIVATE
#define WM_POINTERACTIVATE 0x024B
#endif
#ifndef PA_NOACTIVATE
#define PA_ACTIVATE 1
#define PA_NOACTIVATE 3
#endif
#ifndef WM_TABLET_QUERYSYSTEMGESTURESTATUS
#define WM_TABLET_QUERYSYSTEMGESTURESTATUS 0x02CC
#endif
#ifndef TABLET_DISABLE_PRESSANDHOLD
#define TABLET_DISABLE_PRESSANDHOLD 0x00000001
#endif
// Looked up at run time (Windows 7 and later).
typedef BOOL(WINAPI *SetWindowDisplayAffinityFunc)(HWND hwnd, DWORD affinity);
typedef BOOL(WINAPI *GetWindowDisplayAffinityFunc)(HWND hwnd, DWORD *affinity);
#else
#include "win32/win32_standin.h"
#endif
