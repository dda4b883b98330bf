// huevane-check: measures, on the Windows machine it runs on, each Windows
// behaviour the Huevane eyedropper is built on, and says whether the design
// holds there. The report goes to stdout and to huevane-check.txt beside the
// program (--json: JSON on stdout). Double-clicked, it ends with a message
// box saying where the report is. It changes no setting, uses no network,
// and exits 0 whenever it ran, whatever it found.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "check/measure.h"
#include "eyedropper/desktop_space.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitCannotRun = 2;
constexpr int kDefaultPenSeconds = 30;

const char kUsage[] =
    "usage: huevane-check [--json] [--pen [SECONDS]] [--no-file]\n"
    "Measures what the Huevane eyedropper relies on in this Windows: screen read costs,\n"
    "the low-level hook timeout, block reads against GetPixel on every monitor, each\n"
    "monitor's capture and its picture shown back, capture exclusion, a hook probe, the\n"
    "clipboard's owner rule and pointer devices. It changes no setting and leaves the\n"
    "clipboard as it was. The report goes to stdout and to huevane-check.txt beside this\n"
    "program; double-clicked, a message box says where it is.\n"
    "  --json          the report as one JSON document on stdout (the file stays text)\n"
    "  --pen [SECONDS] also ask: hover and tap two windows and a picture with a pen and a\n"
    "                  finger (default 30 s; ends at once with no pen or touch device)\n"
    "  --no-file       write no huevane-check.txt\n"
    "Exit codes: 0 it ran (whatever it found), 1 bad options, 2 it could not run.\n";

std::string beside_program(const char *name) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return name;
  char utf8[MAX_PATH * 3];
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, path, -1, utf8, sizeof utf8, nullptr, nullptr);
  if (bytes <= 0) return name;
  std::string dir(utf8);
  const size_t slash = dir.find_last_of("\\/");
  return slash == std::string::npos ? name : dir.substr(0, slash + 1) + name;
}

bool write_file(const std::string &path, const std::string &text) {
  wchar_t wide[MAX_PATH * 2];
  if (!MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide, MAX_PATH * 2)) return false;
  HANDLE f =
      CreateFileW(wide, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  // CRLF, for Notepad and mail on the artist's machine; the reader takes both.
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  DWORD written = 0;
  const bool ok = WriteFile(f, crlf.data(), static_cast<DWORD>(crlf.size()), &written, nullptr) &&
                  written == crlf.size();
  return CloseHandle(f) && ok;
}

LRESULT CALLBACK owner_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(hwnd, msg, wp, lp);
}

struct Options {
  bool json = false, file = true;
  int pen_seconds = 0;
};

// Reads the command line; -1 to go on, else the exit code.
int parse_options(int argc, char **argv, Options *o) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0) {
      o->json = true;
    } else if (std::strcmp(argv[i], "--no-file") == 0) {
      o->file = false;
    } else if (std::strcmp(argv[i], "--pen") == 0) {
      o->pen_seconds = kDefaultPenSeconds;
      if (i + 1 < argc && argv[i + 1][0] >= '0' && argv[i + 1][0] <= '9') {
        const long s = std::strtol(argv[++i], nullptr, 10);
        if (s < 1 || s > 600) {
          std::fprintf(stderr, "error: --pen takes 1..600 seconds\n");
          return kExitUsage;
        }
        o->pen_seconds = static_cast<int>(s);
      }
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("huevane-check %s\n", HUEVANE_VERSION);
      return kExitOk;
    } else {
      std::fprintf(stderr, "error: unknown option '%s'\n%s", argv[i], kUsage);
      return kExitUsage;
    }
  }
  return -1;
}

// Every measurement: the system's answers first, in the process's own
// context; everything after in physical pixels, as the magnifier's tick
// reads. False when it cannot run at all.
bool measure(hvhost::MachineReport *report, int pen_seconds) {
  hvcheck::measure_system(report);
  const DpiSwitch dpi = dpi_switch_to_physical(dpi_context_function());
  WNDCLASSW wc = {};
  wc.lpfnWndProc = owner_proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"HuevaneCheckOwner";
  RegisterClassW(&wc);
  HWND owner = CreateWindowExW(0, wc.lpszClassName, L"huevane-check", 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, wc.hInstance, nullptr);
  if (!owner) {
    std::fprintf(stderr, "error: huevane-check cannot make a window (error %lu)\n", GetLastError());
    dpi_switch_restore(dpi);
    return false;
  }
  hvcheck::measure_monitors(report);
  hvcheck::measure_hook_timeout(report);
  hvcheck::measure_reads(report);
  hvcheck::measure_frozen_picture(report);
  hvcheck::measure_capture_exclusion(report);
  hvcheck::measure_hook_probe(report);
  hvcheck::measure_clipboard(report, owner);
  hvcheck::measure_pointer_devices(report);
  if (pen_seconds > 0) hvcheck::ask_pen(report, pen_seconds);
  DestroyWindow(owner);
  dpi_switch_restore(dpi);
  return true;
}

// Whether this process has its console to itself (Windows made it for a
// double-click and closes it when the process ends) and its output is not
// going to a file or a pipe.
bool started_alone() {
  DWORD list[2];
  const DWORD processes = GetConsoleProcessList(list, 2);
  const DWORD type = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE));
  return hvhost::check_ends_with_message_box(processes,
                                             type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE);
}

void tell_where(const std::string &path, bool written, DWORD error) {
  const std::string note = hvhost::check_finish_note(path, written, error);
  wchar_t wide[4096];
  if (!MultiByteToWideChar(CP_UTF8, 0, note.c_str(), -1, wide, 4096)) return;
  MessageBoxW(nullptr, wide, L"huevane-check",
              MB_OK | (written ? MB_ICONINFORMATION : MB_ICONWARNING) | MB_SETFOREGROUND);
}

}  // namespace

int main(int argc, char **argv) {
  Options o;
  if (const int code = parse_options(argc, argv, &o); code >= 0) return code;
  std::fprintf(stderr,
               "huevane-check %s: measuring, about 10 seconds; small squares and a copy of the "
               "screen flash while it reads them\n",
               HUEVANE_VERSION);
  hvhost::MachineReport report;
  report.check_version = HUEVANE_VERSION;
  if (!measure(&report, o.pen_seconds)) return kExitCannotRun;

  const std::string text = hvhost::format_machine_report(report);
  const std::string out = o.json ? hvhost::format_machine_report_json(report) : text;
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  if (!o.file) return kExitOk;
  const std::string path = beside_program("huevane-check.txt");
  const bool written = write_file(path, text);
  const DWORD error = written ? 0 : GetLastError();
  if (!written)
    std::fprintf(stderr, "note: cannot write %s (error %lu); the report is above\n", path.c_str(),
                 error);
  if (started_alone()) tell_where(path, written, error);
  return kExitOk;
}
