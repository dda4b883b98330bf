// --report-resources: what the process holds, as Windows counts it, printed
// before the first colour request, after the 100th and after the last, so
// that a long run of requests shows whether GDI objects, USER objects or
// memory pile up:
//   resources start gdi N user N private_kib N working_set_kib N
//   resources after_100 ...
//   resources end ...
// A count Windows does not give (Wine 8 answers GetGuiResources with 0) is
// printed as "?".
#pragma once

#include <string>

namespace hvwin {

// One "resources WHEN ..." line, without the newline.
std::string resource_line(const char *when);

}  // namespace hvwin
