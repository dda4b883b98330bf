// The headless host's script: one action a line.
//
//   # comment (from '#' to the end of the line); blank lines are ignored
//   press [PLACE] X Y [BUTTON]          mouse button down at X Y; BUTTON is
//                                       left (the default), middle or right
//   move [PLACE] X Y                    pointer move (reaches the plug-in only
//                                       while a button is held)
//   release [PLACE] X Y [BUTTON]        mouse button up
//   press eyedropper [BUTTON]           the same at the eyedropper button's
//   move eyedropper                     centre (release over it clicks it)
//   release eyedropper [BUTTON]
//   drag [PLACE] X1 Y1 X2 Y2 [STEPS]    left press, STEPS moves (default 8,
//                                       1..10000) ending at X2 Y2, release
//   key S | key CODE                    a key pressed and released: one
//                                       character, or a decimal code 0..65535
//                                       (so "key 5" is code 5)
//   key down S | key up S               only the press, only the release
//   rgb R G B                           the user types into the RGB editor
//   hsv H S V                           ... into the HSV editor (the editors'
//                                       fields hold 0..255; values are clamped)
//   click eyedropper                    click the eyedropper button
//   ok | cancel                         the panel's OK / Cancel
//   wait MS                             virtual time passes (0..3600000 ms)
//   desktop move X Y                    desktop pointer, screen coordinates
//   desktop press BUTTON
//   desktop release BUTTON
//   snapshot NAME                       NAME.png of the innermost open panel
//                                       (NAME: letters, digits, '_', '-', '.')
//
// PLACE is `field` (origin at panel 4,8) or `strip` (origin at 268,8);
// without it X and Y are panel coordinates. Coordinates are -32768..32767.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "services/input.h"

namespace hvhost {

class ScriptError : public std::runtime_error {
 public:
  // what(): "line 3: message", or "FILE, line 3: message" with a file.
  ScriptError(int line, const std::string &message, const std::string &file = "");
  int line() const { return line_; }  // 0 when not about one line
  const std::string &message() const { return message_; }

 private:
  int line_;
  std::string message_;
};

// Throws ScriptError for the first bad line ("line 3: ...").
std::vector<Action> parse_script(std::string_view text);
// Reads and parses a file; errors name the file.
std::vector<Action> load_script(const std::string &path);

}  // namespace hvhost
