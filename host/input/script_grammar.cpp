#include "input/script_grammar.h"

namespace hvhost {

const char *script_grammar() {
  return R"(SCRIPT: one action a line. Words are separated by spaces or tabs, '#'
starts a comment that runs to the end of the line, blank lines are ignored.
The actions go to the innermost open panel.

  press [PLACE] X Y [BUTTON]       a mouse button goes down at X Y
  release [PLACE] X Y [BUTTON]     ... and comes up; over the control it
                                   went down on, that clicks the control
  move [PLACE] X Y                 the pointer moves; the plug-in hears of
                                   it only while a button is held
  press eyedropper [BUTTON]        the same at the centre of the panel's
  release eyedropper [BUTTON]      eyedropper button (a press and release
  move eyedropper                  there click it)
  drag [PLACE] X1 Y1 X2 Y2 [STEPS] left press at X1 Y1, STEPS moves in even
                                   steps to X2 Y2 (default 8), release there
  key C                            a key pressed and released: one
  key CODE                         character ("key S"), or a decimal key
                                   code ("key 5" is code 5, not the digit;
                                   the digit 5 is "key 53")
  key down C                       only the key's press, or only its
  key up C                         release (C or CODE as for key)
  rgb R G B                        the user types the three values into the
  hsv H S V                        RGB or HSV editor
  click eyedropper                 a click of the eyedropper button
  ok                               the OK or Cancel button of the panel's
  cancel                           window (an error on a panel without
                                   them, such as the magnifier)
  wait MS                          virtual time passes; the timers due fire
  desktop move X Y                 the screen pointer, in screen coordinates,
  desktop press BUTTON             through the low-level mouse hooks (the
  desktop release BUTTON           eyedropper's pick)
  snapshot NAME                    NAME.png of the innermost open panel's
                                   window, in the --snapshot directory

PLACE   field or strip: X and Y count from the top-left of the raster
        the plug-in drew on the panel as its field (the 256 x 256 one) or
        its strip (the tall narrow one); in Huevane they are at panel 4,8
        and 268,8. An error on a panel without it. Without PLACE, X and Y
        are panel coordinates, 0,0 at the top-left of the panel's client
        area
BUTTON  left (the default), middle or right
Limits  X, Y: -32768..32767. STEPS: 1..10000. MS: 0..3600000. CODE:
        0..65535. R G B, H S V: -2147483648..2147483647, which the editor
        clamps to 0..255. NAME: 1..100 letters, digits, '_', '-' and '.',
        not starting with '.'. The script: a regular file of at most 4 MiB.
When the script ends with a panel still open, the host cancels it and says
so on stderr.
)";
}

const char *exit_code_text() {
  return R"(EXIT CODES
  0  the request ran, whether the panel was accepted or cancelled
  1  bad options or script, an unusable wallpaper, --trace or --snapshot
  2  the module cannot be loaded or has no such ColorPicker server
  3  an action could not be performed, or a snapshot or the trace could
     not be written
  4  out of memory, or an internal error of the host
  5  the plug-in crashed: a fault, an abort, or an exception it did not
     catch; stderr names it and the last call, the trace ends with it
  6  the plug-in did not return within --timeout (reported as for 5)
  7  with --strict: the plug-in misused the host's interface; each
     problem is on stderr (the run was otherwise exit 0)
)";
}

}  // namespace hvhost
