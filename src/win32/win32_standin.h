// The subset of the Win32 API that the plug-in uses, declared for
// systems that are not Windows. The simulated desktop library implements it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WINAPI
#define CALLBACK

typedef int BOOL;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef uint32_t COLORREF;
typedef uintptr_t UINT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef const char *LPCSTR;
typedef int32_t LONG;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int16_t SHORT;
typedef void *HANDLE;

typedef struct HWND__ *HWND;
typedef struct HDC__ *HDC;
typedef void *HGDIOBJ;  // as windows.h has it: any GDI handle converts
typedef struct HBITMAP__ *HBITMAP;
typedef struct HHOOK__ *HHOOK;
typedef struct HINSTANCE__ *HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HMONITOR__ *HMONITOR;
typedef struct DPI_AWARENESS_CONTEXT__ *DPI_AWARENESS_CONTEXT;
typedef intptr_t(WINAPI *FARPROC)(void);

typedef struct tagPOINT {
  int32_t x;
  int32_t y;
} POINT;

typedef struct tagRECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
} RECT;

typedef struct tagMSLLHOOKSTRUCT {
  POINT pt;
  DWORD mouseData;
  DWORD flags;
  DWORD time;
  uintptr_t dwExtraInfo;
} MSLLHOOKSTRUCT;

typedef struct tagBITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative: rows top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER;

typedef struct tagRGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
} BITMAPINFO;

typedef LRESULT(CALLBACK *HOOKPROC)(int code, WPARAM wparam, LPARAM lparam);
typedef void(CALLBACK *TIMERPROC)(HWND hwnd, UINT message, UINT_PTR id, DWORD time);
typedef BOOL(CALLBACK *MONITORENUMPROC)(HMONITOR monitor, HDC hdc, RECT *rect, LPARAM data);

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define CLR_INVALID 0xFFFFFFFFu
#define WH_MOUSE_LL 14
#define HC_ACTION 0
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MOUSEWHEEL 0x020A
#define WHEEL_DELTA 120

#define DPI_AWARENESS_CONTEXT_UNAWARE ((DPI_AWARENESS_CONTEXT)(intptr_t)-1)
#define DPI_AWARENESS_CONTEXT_SYSTEM_AWARE ((DPI_AWARENESS_CONTEXT)(intptr_t)-2)
#define DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE ((DPI_AWARENESS_CONTEXT)(intptr_t)-3)
#define DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 ((DPI_AWARENESS_CONTEXT)(intptr_t)-4)

#define BI_RGB 0
#define DIB_RGB_COLORS 0
#define SRCCOPY 0x00CC0020u

#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_MBUTTON 0x04
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_XVIRTUALSCREEN 76
#define SM_YVIRTUALSCREEN 77
#define SM_CXVIRTUALSCREEN 78
#define SM_CYVIRTUALSCREEN 79
#define SM_CMONITORS 80

HWND WINAPI GetDesktopWindow(void);
HDC WINAPI GetWindowDC(HWND hwnd);
int WINAPI ReleaseDC(HWND hwnd, HDC hdc);
BOOL WINAPI GetWindowRect(HWND hwnd, RECT *rect);
HHOOK WINAPI SetWindowsHookExA(int id, HOOKPROC proc, HINSTANCE module, DWORD thread_id);
LRESULT WINAPI CallNextHookEx(HHOOK hook, int code, WPARAM wparam, LPARAM lparam);
BOOL WINAPI UnhookWindowsHookEx(HHOOK hook);
UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc);
BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id);
BOOL WINAPI GetCursorPos(POINT *point);
COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
HMODULE WINAPI GetModuleHandleA(LPCSTR name);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);
BOOL WINAPI EnumDisplayMonitors(HDC hdc, const RECT *clip, MONITORENUMPROC proc, LPARAM data);
int WINAPI GetSystemMetrics(int index);
SHORT WINAPI GetAsyncKeyState(int key);
HDC WINAPI CreateCompatibleDC(HDC hdc);
BOOL WINAPI DeleteDC(HDC hdc);
HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO *info, UINT usage, void **bits,
                                HANDLE section, DWORD offset);
HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ object);
BOOL WINAPI DeleteObject(HGDIOBJ object);
BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int source_x,
                   int source_y, DWORD rop);
BOOL WINAPI GdiFlush(void);

// The clipboard, the global memory its data lives in, and the key state.
typedef size_t SIZE_T;
typedef void *LPVOID;
typedef HANDLE HGLOBAL;

#define CF_TEXT 1
#define GMEM_MOVEABLE 0x0002
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12

HWND WINAPI GetActiveWindow(void);
BOOL WINAPI OpenClipboard(HWND owner);
BOOL WINAPI CloseClipboard(void);
BOOL WINAPI EmptyClipboard(void);
HANDLE WINAPI GetClipboardData(UINT format);
HANDLE WINAPI SetClipboardData(UINT format, HANDLE memory);
SHORT WINAPI GetKeyState(int virtual_key);
BOOL WINAPI SetCursorPos(int x, int y);
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID WINAPI GlobalLock(HGLOBAL memory);
BOOL WINAPI GlobalUnlock(HGLOBAL memory);
HGLOBAL WINAPI GlobalFree(HGLOBAL memory);
SIZE_T WINAPI GlobalSize(HGLOBAL memory);

// Windows of the plug-in's own, pen and touch input, and what a window
// shows in screen captures.
typedef uint16_t ATOM;
typedef struct HICON__ *HICON;
typedef HICON HCURSOR;
typedef struct HBRUSH__ *HBRUSH;
typedef struct HMENU__ *HMENU;
typedef LRESULT(CALLBACK *WNDPROC)(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

typedef struct tagWNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
} WNDCLASSA;

#define WS_POPUP 0x80000000u
#define WS_VISIBLE 0x10000000u
#define WS_EX_TOPMOST 0x00000008u
#define WS_EX_TRANSPARENT 0x00000020u
#define WS_EX_TOOLWINDOW 0x00000080u
#define WS_EX_LAYERED 0x00080000u
#define WS_EX_NOACTIVATE 0x08000000u
#define HWND_TOPMOST ((HWND)(intptr_t)-1)
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOACTIVATE 0x0010u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u
#define LWA_ALPHA 0x00000002u
#define WDA_NONE 0x00000000u
#define WDA_MONITOR 0x00000001u
#define WDA_EXCLUDEFROMCAPTURE 0x00000011u
#define LLMHF_INJECTED 0x00000001u

#define WM_MOUSEACTIVATE 0x0021
#define MA_ACTIVATE 1
#define MA_NOACTIVATE 3
#define WM_POINTERUPDATE 0x0245
#define WM_POINTERDOWN 0x0246
#define WM_POINTERUP 0x0247
#define WM_POINTERACTIVATE 0x024B
#define PA_ACTIVATE 1
#define PA_NOACTIVATE 3
#define WM_TABLET_QUERYSYSTEMGESTURESTATUS 0x02CC
#define TABLET_DISABLE_PRESSANDHOLD 0x00000001

ATOM WINAPI RegisterClassA(const WNDCLASSA *wc);
BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE instance);
// Message-only windows: a parent of HWND_MESSAGE, of a system class.
#define HWND_MESSAGE ((HWND)(intptr_t)-3)
HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param);
BOOL WINAPI DestroyWindow(HWND hwnd);
LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
BOOL WINAPI SetWindowPos(HWND hwnd, HWND after, int x, int y, int width, int height, UINT flags);
BOOL WINAPI SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags);
// A window's paint, its properties, its cursor, and the extra information of
// the message being handled (the frozen picture's windows).
typedef struct tagPAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
} PAINTSTRUCT;
#define WM_DISPLAYCHANGE 0x007E
#define WM_PAINT 0x000F
#define WM_ERASEBKGND 0x0014
#define IDC_CROSS ((LPCSTR)(uintptr_t)32515)
HDC WINAPI BeginPaint(HWND hwnd, PAINTSTRUCT *paint);
BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT *paint);
BOOL WINAPI InvalidateRect(HWND hwnd, const RECT *rect, BOOL erase);
BOOL WINAPI SetPropA(HWND hwnd, LPCSTR name, HANDLE data);
HANDLE WINAPI RemovePropA(HWND hwnd, LPCSTR name);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
LPARAM WINAPI GetMessageExtraInfo(void);
// SetWindowDisplayAffinity and GetWindowDisplayAffinity (Windows 7 and
// later) are reached through GetProcAddress on user32, as the plug-in
// reaches them.
typedef BOOL(WINAPI *SetWindowDisplayAffinityFunc)(HWND hwnd, DWORD affinity);
typedef BOOL(WINAPI *GetWindowDisplayAffinityFunc)(HWND hwnd, DWORD *affinity);

// The user's sign that something was refused.
#define MB_OK 0x00000000u
BOOL WINAPI MessageBeep(UINT type);

#ifdef __cplusplus
}
#endif
