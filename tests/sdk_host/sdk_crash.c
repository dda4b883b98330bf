/* The conformance host's crash and timeout reports (sdk_crash.h). */
#include "sdk_crash.h"

#include <signal.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

const char *volatile sdk_phase = "loading the module";

static volatile unsigned limit_s;

#ifdef _WIN32

/* ---- The module's functions, from the COFF symbol table mingw keeps ----------- */

typedef struct {
  unsigned long rva;
  char name[128];
} Function;

/* The C++ runtime's demangler (libsupc++), for C++ modules' names. */
char *__cxa_demangle(const char *mangled, char *out, size_t *length, int *status);

/* The name as C++ writes it, "(anonymous namespace)::misbehave()", when it
   is a mangled one; cut to the buffer. */
static void demangle(char *name, size_t size) {
  if (strncmp(name, "_Z", 2) != 0) return;
  int status = -1;
  char *plain = __cxa_demangle(name, NULL, NULL, &status);
  if (status == 0 && plain) snprintf(name, size, "%s", plain);
  free(plain);
}

static struct {
  char name[64];
  uintptr_t base, end;
  Function *functions;
  size_t count;
} module;

static int by_rva(const void *a, const void *b) {
  const unsigned long x = ((const Function *)a)->rva, y = ((const Function *)b)->rva;
  return x < y ? -1 : x > y;
}

/* Reads `size` bytes at `at` of the file into out; 0 when the file is shorter. */
static int read_at(FILE *f, unsigned long at, void *out, size_t size) {
  return fseek(f, (long)at, SEEK_SET) == 0 && fread(out, 1, size, f) == size;
}

/* Functions are the symbols of type 0x20 in a section; their value is the
   offset in that section. */
static void read_functions(FILE *f) {
  IMAGE_DOS_HEADER dos;
  IMAGE_NT_HEADERS64 nt;
  if (!read_at(f, 0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 ||
      !read_at(f, (unsigned long)dos.e_lfanew, &nt, sizeof nt) ||
      nt.Signature != IMAGE_NT_SIGNATURE)
    return;
  const unsigned long sections = (unsigned long)dos.e_lfanew +
                                 offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                 nt.FileHeader.SizeOfOptionalHeader;
  const unsigned long symbols = nt.FileHeader.PointerToSymbolTable;
  const unsigned long count = nt.FileHeader.NumberOfSymbols;
  if (symbols == 0 || count == 0 || count > 200000) return; /* 27 MB of names at most */
  module.functions = calloc(count, sizeof *module.functions);
  if (!module.functions) return;
  for (unsigned long i = 0; i < count; ++i) {
    unsigned char raw[18];
    if (!read_at(f, symbols + i * 18, raw, sizeof raw)) return;
    short section;
    unsigned short type;
    unsigned long value = 0, zeros = 0, offset = 0;
    memcpy(&value, raw + 8, 4);
    memcpy(&section, raw + 12, 2);
    memcpy(&type, raw + 14, 2);
    IMAGE_SECTION_HEADER header;
    if (section > 0 && section <= nt.FileHeader.NumberOfSections && (type & 0x30) == 0x20 &&
        read_at(f, sections + (unsigned long)(section - 1) * sizeof header, &header,
                sizeof header)) {
      Function *fn = &module.functions[module.count];
      memcpy(&zeros, raw, 4);
      memcpy(&offset, raw + 4, 4);
      if (zeros != 0)
        memcpy(fn->name, raw, 8);
      else if (fseek(f, (long)(symbols + count * 18 + offset), SEEK_SET) != 0 ||
               !fgets(fn->name, sizeof fn->name, f))
        fn->name[0] = '\0';
      fn->rva = header.VirtualAddress + value;
      demangle(fn->name, sizeof fn->name);
      if (fn->name[0]) ++module.count;
    }
    i += raw[17]; /* auxiliary records */
  }
  qsort(module.functions, module.count, sizeof *module.functions, by_rva);
}

void sdk_watch_module(const char *path, void *library) {
  const char *slash = strrchr(path, '\\'), *other = strrchr(path, '/');
  if (other > slash) slash = other;
  snprintf(module.name, sizeof module.name, "%s", slash ? slash + 1 : path);
  const IMAGE_DOS_HEADER *dos = library;
  const IMAGE_NT_HEADERS64 *nt = (const void *)((const char *)library + dos->e_lfanew);
  module.base = (uintptr_t)library;
  module.end = module.base + nt->OptionalHeader.SizeOfImage;
  FILE *f = fopen(path, "rb");
  if (!f) return;
  read_functions(f);
  fclose(f);
}

/* " at picker.p+0x1a2b (in on_edit)", or nothing outside the module. */
static void describe(uintptr_t address, char *buf, size_t size) {
  buf[0] = '\0';
  if (!module.base || address < module.base || address >= module.end) return;
  const unsigned long rva = (unsigned long)(address - module.base);
  const Function *in = NULL;
  for (size_t i = 0; i < module.count && module.functions[i].rva <= rva; ++i)
    in = &module.functions[i];
  snprintf(buf, size, " at %s+0x%lx%s%s%s", module.name, rva, in ? " (in " : "", in ? in->name : "",
           in ? ")" : "");
}

static LONG WINAPI crashed(EXCEPTION_POINTERS *e) {
  const DWORD code = e->ExceptionRecord->ExceptionCode;
  const char *what = code == EXCEPTION_ACCESS_VIOLATION      ? "an access violation"
                     : code == EXCEPTION_STACK_OVERFLOW      ? "a stack overflow"
                     : code == EXCEPTION_INT_DIVIDE_BY_ZERO  ? "a division by zero"
                     : code == EXCEPTION_ILLEGAL_INSTRUCTION ? "an illegal instruction"
                                                             : "exception";
  char place[224];
  describe((uintptr_t)e->ExceptionRecord->ExceptionAddress, place, sizeof place);
  fprintf(stderr, "sdk_host: FAIL: the plug-in crashed: %s (0x%08lX)%s, %s\n", what,
          (unsigned long)code, place, sdk_phase);
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 1);
  return EXCEPTION_EXECUTE_HANDLER;
}

void sdk_watch_crashes(void) { SetUnhandledExceptionFilter(crashed); }

/* ---- The time limit: a watchdog thread ------------------------------------------- */

static HANDLE limit_changed;

static DWORD WINAPI watchdog(void *unused) {
  (void)unused;
  for (;;) {
    const unsigned seconds = limit_s;
    const DWORD wait = seconds ? (DWORD)seconds * 1000 : INFINITE;
    if (WaitForSingleObject(limit_changed, wait) != WAIT_TIMEOUT) continue;
    fprintf(stderr, "sdk_host: FAIL: the plug-in did not return within %u s, %s\n", seconds,
            sdk_phase);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 1);
  }
  return 0;
}

void sdk_limit_time(unsigned seconds) {
  if (!limit_changed) {
    limit_changed = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (!limit_changed || !CreateThread(NULL, 0, watchdog, NULL, 0, NULL)) return;
  }
  limit_s = seconds;
  SetEvent(limit_changed);
}

#else

void sdk_watch_module(const char *path, void *library) { (void)path, (void)library; }

/* Only write and _exit: the plug-in may have stopped anywhere. */
static void put(const char *text) {
  size_t n = strlen(text);
  while (n > 0) {
    const ssize_t done = write(2, text, n);
    if (done <= 0) return;
    text += done, n -= (size_t)done;
  }
}

static void crashed(int sig) {
  put("sdk_host: FAIL: the plug-in crashed: ");
  put(sig == SIGSEGV   ? "SIGSEGV"
      : sig == SIGBUS  ? "SIGBUS"
      : sig == SIGILL  ? "SIGILL"
      : sig == SIGFPE  ? "SIGFPE"
      : sig == SIGABRT ? "SIGABRT"
                       : "a fatal signal");
  put(", ");
  put(sdk_phase);
  put("\n");
  _exit(1);
}

void sdk_watch_crashes(void) {
  /* Its own stack, so that a stack overflow is reported too. */
  static char stack[64 * 1024];
  stack_t st;
  memset(&st, 0, sizeof st);
  st.ss_sp = stack;
  st.ss_size = sizeof stack;
  sigaltstack(&st, NULL);
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = crashed;
  action.sa_flags = SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  const int fatal[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
  for (size_t i = 0; i < sizeof fatal / sizeof fatal[0]; ++i) sigaction(fatal[i], &action, NULL);
}

static void timed_out(int sig) {
  (void)sig;
  char seconds[16];
  size_t n = sizeof seconds - 1;
  seconds[n] = '\0';
  unsigned v = limit_s;
  do seconds[--n] = (char)('0' + v % 10);
  while ((v /= 10) != 0 && n > 0);
  put("sdk_host: FAIL: the plug-in did not return within ");
  put(seconds + n);
  put(" s, ");
  put(sdk_phase);
  put("\n");
  _exit(1);
}

void sdk_limit_time(unsigned seconds) {
  signal(SIGALRM, timed_out);
  limit_s = seconds;
  alarm(seconds);
}

#endif
