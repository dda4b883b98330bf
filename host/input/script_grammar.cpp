#include "input/script_grammar.h"

#include "input/vocabulary.h"
#include "input/words.h"

namespace hvhost {

std::string script_grammar() {
  const std::string eyedropper = word_of(kPlaceWords, Place::kEyedropper);
  return R"(SCRIPT: one action a line. Words are separated by spaces or tabs, '#'
starts a comment that runs to the end of the line, blank lines are ignored.
The actions go to the innermost open panel.

)" + action_grammar() +
         "\nPLACE   AREA, or " + eyedropper +
         R"(: the centre of the panel's eyedropper button,
        without X Y ("click eyedropper" clicks it). Without PLACE, X and Y
        are panel coordinates, 0,0 at the top-left of the panel's client
        area. An error on a panel without the place
AREA    )" +
         word_choices(kPlaceWords, kAreaWordCount) +
         R"(: X and Y count from the top-left of the raster
        the plug-in drew on the panel as its field (the 256 x 256 one) or
        its strip (the tall narrow one); in Huevane they are at panel 4,8
        and 268,8
BUTTON  )" +
         word_choices(kButtonWords, std::size(kButtonWords), " (the default)") +
         R"(
C       one character ("key S"), or a decimal key code CODE ("key 5" is
        code 5, not the digit; the digit 5 is "key 53")
Keys    on a panel opened without the pass-keys flag (16), Enter (key 13,
        or the host's Return code 4130) closes it as OK and Esc (key 27) as
        Cancel, a panel without buttons (the magnifier) too, and neither key
        reaches the plug-in
)" + limits_legend() +
         R"(When the script ends with a panel still open, the host cancels it and says
so on stderr.
)";
}

}  // namespace hvhost
