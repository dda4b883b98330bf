#include "session/guard.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include "session/session.h"

namespace hvhost {

namespace {

[[noreturn]] void on_terminate() {
  // No allocation here: the reason may be that memory ran out.
  const char *what = "internal error (an exception could not be handled)";
  if (const std::exception_ptr e = std::current_exception()) {
    try {
      std::rethrow_exception(e);
    } catch (const std::bad_alloc &) {
      what = "out of memory";
    } catch (...) {
    }
  }
  std::fputs("error: ", stderr);
  std::fputs(what, stderr);
  std::fputs("\n", stderr);
  std::fflush(nullptr);
  std::_Exit(kExitInternal);
}

}  // namespace

int run_guarded(const std::function<int()> &body, std::ostream &err) {
  std::set_terminate(on_terminate);
  try {
    return body();
  } catch (const std::bad_alloc &) {
    err << "error: out of memory" << std::endl;
  } catch (const std::exception &e) {
    err << "error: internal error: " << e.what() << std::endl;
  } catch (...) {
    err << "error: internal error" << std::endl;
  }
  return kExitInternal;
}

}  // namespace hvhost
