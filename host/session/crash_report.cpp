#include "session/crash_report.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "model/trace.h"
#include "session/module_map.h"
#include "session/session.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/time.h>
#include <ucontext.h>
#include <unistd.h>
#endif

namespace hvhost {

namespace {

// What the report reads. Set in normal code, read by the handlers.
const CallTrace *volatile g_trace = nullptr;
volatile int g_trace_fd = -1;
char g_limit_text[32] = "";  // "5 s", set with the time limit
volatile std::sig_atomic_t g_reporting = 0;
// The plug-in's module, to name a faulting address inside it.
ModuleMap g_module;
// "WHAT at MODULE+0xOFFSET (in FUNCTION)": a fault's text with its place.
char g_fault_text[512];

// what, and " at " the place of address when it lies in the module, into
// g_fault_text. Formats by hand: the handlers call it.
const char *with_place(const char *what, uintptr_t address) {
  char place[400];
  if (describe_address(g_module, address, place, sizeof place) == 0) return what;
  size_t n = 0;
  for (const char *part : {what, " at ", static_cast<const char *>(place)})
    for (; *part && n + 1 < sizeof g_fault_text; ++part) g_fault_text[n++] = *part;
  g_fault_text[n] = '\0';
  return g_fault_text;
}

#ifdef _WIN32
using Sink = HANDLE;
Sink error_sink() { return GetStdHandle(STD_ERROR_HANDLE); }
// The trace file's handle, taken when it is named: the report calls
// nothing of the C runtime, whose locks the stopped thread may hold.
volatile HANDLE g_trace_handle = INVALID_HANDLE_VALUE;
Sink trace_sink() { return g_trace_handle; }
bool usable(Sink s) { return s != INVALID_HANDLE_VALUE && s != nullptr; }
void write_all(Sink s, const char *data, size_t n) {
  while (n > 0) {
    DWORD done = 0;
    if (!WriteFile(s, data, static_cast<DWORD>(n), &done, nullptr) || done == 0) return;
    data += done;
    n -= done;
  }
}
[[noreturn]] void exit_now(int code) {
  TerminateProcess(GetCurrentProcess(), code);
  std::_Exit(code);
}
#else
using Sink = int;
Sink error_sink() { return 2; }
Sink trace_sink() { return g_trace_fd; }
bool usable(Sink s) { return s >= 0; }
void write_all(Sink s, const char *data, size_t n) {
  while (n > 0) {
    const ssize_t done = ::write(s, data, n);
    if (done <= 0) return;  // EINTR cannot come: the handler's signals are blocked
    data += done;
    n -= static_cast<size_t>(done);
  }
}
[[noreturn]] void exit_now(int code) { _exit(code); }
#endif

// Text gathered in a fixed buffer and written when it fills; no allocation.
class Out {
 public:
  explicit Out(Sink sink) : sink_(sink) {}
  ~Out() { flush(); }
  Out &add(std::string_view s) {
    for (char c : s) {
      if (n_ == sizeof buf_) flush();
      buf_[n_++] = c;
    }
    return *this;
  }
  Out &add_number(uint64_t v) {
    char digits[24];
    size_t d = 0;
    do {
      digits[d++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    while (d > 0) add(std::string_view(&digits[--d], 1));
    return *this;
  }
  Out &add_entry(const TraceEntry &e) {
    char line[512];
    return add(std::string_view(line, e.format(line, sizeof line)));
  }
  void flush() {
    if (usable(sink_) && n_ > 0) write_all(sink_, buf_, n_);
    n_ = 0;
  }

 private:
  Sink sink_;
  char buf_[2048];
  size_t n_ = 0;
};

// "call.mouse_button 160,51,102": the newest entry when it is the last
// call (per-pixel calls are counted, not kept), else the operation's name.
void add_last_call(Out &out, const CallTrace *trace) {
  const Op op = trace ? trace->last_op() : Op::kCount;
  if (op == Op::kCount) {
    out.add("none yet");
    return;
  }
  const TraceEntry *e = trace->busy() ? nullptr : trace->newest();
  if (e && e->op == op)
    out.add_entry(*e);
  else
    out.add(op_name(op));
}

// The trace file's last lines: the counts, the problems, then `ending`.
// Every call is in the file already.
void end_trace(const CallTrace *trace, std::string_view ending, std::string_view detail) {
  Out out(trace_sink());
  if (trace) {
    const bool steady = !trace->busy();
    for (int i = 0; i < kOpCount; ++i) {
      const Op op = static_cast<Op>(i);
      if (trace->count(op) > 0)
        out.add("count ").add(op_name(op)).add(" ").add_number(trace->count(op)).add("\n");
    }
    if (steady)
      for (const std::string &p : trace->problems()) out.add("problem ").add(p).add("\n");
  }
  out.add(ending).add(" ").add(detail).add("\n");
}

enum class Ending { kCrash, kTimeout, kStopped };

// Writes the report. A crash or timeout then exits with its code; a stop
// returns, for the signal to take its usual course.
void write_report(Ending ending, const char *what) {
  const CallTrace *trace = g_trace;
  {
    Out err(error_sink());
    switch (ending) {
      case Ending::kCrash: err.add("error: the plug-in crashed: ").add(what); break;
      case Ending::kTimeout:
        err.add("error: the plug-in did not return within ").add(g_limit_text);
        break;
      case Ending::kStopped: err.add("error: the host was stopped by ").add(what); break;
    }
    err.add("; the last call: ");
    add_last_call(err, trace);
    err.add("\n");
  }
  switch (ending) {
    case Ending::kCrash: end_trace(trace, "crash", what); break;
    case Ending::kTimeout: end_trace(trace, "timeout", g_limit_text); break;
    case Ending::kStopped: end_trace(trace, "stopped", what); break;
  }
}

[[noreturn]] void report(bool timeout, const char *what) {
  // A fault inside the report, or a second one meanwhile, ends at once.
  const int code = timeout ? kExitTimeout : kExitCrash;
  if (g_reporting) exit_now(code);
  g_reporting = 1;
  write_report(timeout ? Ending::kTimeout : Ending::kCrash, what);
  exit_now(code);
}

const char *signal_text(int sig) {
  switch (sig) {
    case SIGSEGV: return "a segmentation fault (SIGSEGV)";
    case SIGABRT: return "an abort (SIGABRT)";
    case SIGILL: return "an illegal instruction (SIGILL)";
    case SIGFPE: return "an arithmetic fault (SIGFPE)";
#ifndef _WIN32
    case SIGBUS: return "a bus error (SIGBUS)";
    case SIGTRAP: return "a trap (SIGTRAP)";
#endif
    default: return "a fatal signal";
  }
}

#ifdef _WIN32
void on_fatal_signal(int sig) { report(false, signal_text(sig)); }
#else
// The faulting instruction, where the machine's context tells it.
void on_fatal_signal_at(int sig, siginfo_t *, void *context) {
  uintptr_t pc = 0;
#if defined(__linux__) && defined(__x86_64__)
  if (context)
    pc = static_cast<uintptr_t>(static_cast<ucontext_t *>(context)->uc_mcontext.gregs[REG_RIP]);
#else
  (void)context;
#endif
  report(false, with_place(signal_text(sig), pc));
}
#endif

#ifdef _WIN32

// The exit code of a process that Ctrl+C or Ctrl+Break ended.
constexpr DWORD kStatusControlCExit = 0xC000013A;

volatile ULONGLONG g_limit_ms = 0;  // 0: no limit
volatile ULONGLONG g_last_progress = 0;
volatile LONG g_waiting = 0;
HANDLE g_main_thread = nullptr;
HANDLE g_watchdog = nullptr;

LONG WINAPI on_unhandled_exception(EXCEPTION_POINTERS *info) {
  static char text[96];
  const DWORD code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0;
  const char *what = nullptr;
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: what = "an access violation (0xC0000005)"; break;
    case EXCEPTION_STACK_OVERFLOW: what = "a stack overflow (0xC00000FD)"; break;
    case EXCEPTION_INT_DIVIDE_BY_ZERO: what = "a division by zero (0xC0000094)"; break;
    case EXCEPTION_ILLEGAL_INSTRUCTION: what = "an illegal instruction (0xC000001D)"; break;
    case 0x20474343: what = "a C++ exception it did not catch (0x20474343)"; break;
    default: {
      std::snprintf(text, sizeof text, "exception 0x%08lX", static_cast<unsigned long>(code));
      what = text;
    }
  }
  const uintptr_t address =
      info && info->ExceptionRecord
          ? reinterpret_cast<uintptr_t>(info->ExceptionRecord->ExceptionAddress)
          : 0;
  report(false, with_place(what, address));
}

DWORD WINAPI watchdog(void *) {
  for (;;) {
    Sleep(50);
    const ULONGLONG limit = g_limit_ms;
    if (limit == 0 || g_waiting) continue;
    if (GetTickCount64() - g_last_progress < limit) continue;
    // The plug-in's thread stops where it is; the report is made here.
    if (g_main_thread) SuspendThread(g_main_thread);
    report(true, nullptr);
  }
}

// A stop from outside: the console's Ctrl+C or Ctrl+Break, its window
// closed, the user logging off or the system shutting down (Wine turns a
// SIGINT into CTRL_C_EVENT; SIGTERM and SIGHUP end a Wine process before
// any Windows code runs). The handler runs on a thread of its own: the
// plug-in's thread is stopped where it is, the report written, and the
// process ends as Windows' own handler ends it, with STATUS_CONTROL_C_EXIT.
BOOL WINAPI on_console_event(DWORD event) {
  const char *what = "a console event";
  switch (event) {
    case CTRL_C_EVENT: what = "CTRL_C_EVENT"; break;
    case CTRL_BREAK_EVENT: what = "CTRL_BREAK_EVENT"; break;
    case CTRL_CLOSE_EVENT: what = "CTRL_CLOSE_EVENT"; break;
    case CTRL_LOGOFF_EVENT: what = "CTRL_LOGOFF_EVENT"; break;
    case CTRL_SHUTDOWN_EVENT: what = "CTRL_SHUTDOWN_EVENT"; break;
    default: break;
  }
  if (g_main_thread) SuspendThread(g_main_thread);
  if (!g_reporting) {
    g_reporting = 1;
    write_report(Ending::kStopped, what);
  }
  exit_now(static_cast<int>(kStatusControlCExit));
}

void install() {
  SetUnhandledExceptionFilter(on_unhandled_exception);
  SetConsoleCtrlHandler(on_console_event, TRUE);
  // Room for the filter to run after a stack overflow.
  ULONG guarantee = 64 * 1024;
  SetThreadStackGuarantee(&guarantee);
  std::signal(SIGABRT, on_fatal_signal);
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &g_main_thread, 0,
                  FALSE, DUPLICATE_SAME_ACCESS);
}

void set_limit(double seconds) {
  g_last_progress = GetTickCount64();
  g_limit_ms = seconds > 0 ? static_cast<ULONGLONG>(seconds * 1000.0) : 0;
  if (g_limit_ms && !g_watchdog)
    g_watchdog = CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr);
}

void progress() { g_last_progress = GetTickCount64(); }
void set_waiting(bool waiting) {
  g_last_progress = GetTickCount64();
  g_waiting = waiting ? 1 : 0;
}

#else

double g_limit_s = 0;
bool g_waiting = false;
// The handlers' own stack, so that a stack overflow is reported too.
alignas(16) char g_signal_stack[64 * 1024];

void on_alarm(int) { report(true, nullptr); }

// A stop from outside (a CI runner's timeout, ^C): the report, then the
// signal's own ending, so the exit status says what stopped the host.
void on_stop(int sig) {
  if (!g_reporting) {
    g_reporting = 1;
    write_report(Ending::kStopped, sig == SIGTERM  ? "SIGTERM"
                                   : sig == SIGINT ? "SIGINT"
                                                   : "SIGHUP");
  }
  signal(sig, SIG_DFL);
  raise(sig);
}

void install() {
  stack_t stack{};
  stack.ss_sp = g_signal_stack;
  stack.ss_size = sizeof g_signal_stack;
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = on_fatal_signal_at;
  action.sa_flags = SA_ONSTACK | SA_RESETHAND | SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGALRM})
    sigaddset(&action.sa_mask, sig);
  for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP})
    sigaction(sig, &action, nullptr);
  action.sa_handler = on_alarm;
  action.sa_flags = SA_ONSTACK;
  sigaction(SIGALRM, &action, nullptr);
  action.sa_handler = on_stop;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&action.sa_mask, sig);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

void arm(double seconds) {
  itimerval t{};
  if (seconds > 0) {
    const auto whole = static_cast<long>(seconds);
    t.it_value.tv_sec = whole;
    t.it_value.tv_usec = static_cast<long>((seconds - static_cast<double>(whole)) * 1e6);
    if (t.it_value.tv_sec == 0 && t.it_value.tv_usec == 0) t.it_value.tv_usec = 1;
  }
  setitimer(ITIMER_REAL, &t, nullptr);
}

void set_limit(double seconds) {
  g_limit_s = seconds > 0 ? seconds : 0;
  arm(g_limit_s);
}
void progress() {
  if (g_limit_s > 0 && !g_waiting) arm(g_limit_s);
}
void set_waiting(bool waiting) {
  g_waiting = waiting;
  if (g_limit_s > 0) arm(waiting ? 0 : g_limit_s);
}

#endif

}  // namespace

void watch_plugin(const CallTrace *trace, int trace_fd) {
  static bool installed = false;
  if (!installed) {
    install();
    installed = true;
  }
  g_trace = trace;
  g_trace_fd = trace_fd;
#ifdef _WIN32
  g_trace_handle =
      trace_fd >= 0 ? reinterpret_cast<HANDLE>(_get_osfhandle(trace_fd)) : INVALID_HANDLE_VALUE;
#endif
}

void limit_plugin_time(double seconds) {
  std::snprintf(g_limit_text, sizeof g_limit_text, "%g s", seconds);
  set_limit(seconds);
}

void note_host_progress() { progress(); }
void note_host_waiting(bool waiting) { set_waiting(waiting); }

void end_with_crash(const char *what) { report(false, what); }

void watch_module(const std::string &path, const void *inside) {
  ModuleMap map;
  map_module(path, inside, &map);
  g_module = std::move(map);
}

}  // namespace hvhost
