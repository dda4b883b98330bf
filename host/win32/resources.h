// --report-resources: what the process holds, as Windows counts it, printed
// before the first colour request and after the last, so that a long run of
// requests shows whether GDI objects, USER objects or memory pile up:
//   resources start gdi N user N private_kib N
//   resources end gdi N user N private_kib N
// A count Windows does not give (GetGuiResources answers 0 under some
// Wine versions) is printed as "?".
#pragma once

#include <string>

namespace hvwin {

// One "resources WHEN ..." line, without the newline.
std::string resource_line(const char *when);

}  // namespace hvwin
