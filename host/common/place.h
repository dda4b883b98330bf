// The places on a panel that input goes to, named alike by the script's
// actions (input/) and the model that finds them on a panel (model/),
// neither of which sees the other.
#pragma once

namespace hvhost {

// Where the coordinates of a mouse action are measured from, and what else
// an action needs on the innermost open panel. Field and strip are the
// rasters the plug-in drew on the panel as its field and strip; the
// eyedropper is the panel's ButtonControl; the editors and the window's OK
// and Cancel buttons are not script words, only what rgb, hsv, ok and
// cancel need.
enum class Place {
  kPanel,
  kField,
  kStrip,
  kEyedropper,
  kRgbEditor,
  kHsvEditor,
  kOkButton,
  kCancelButton,
};

}  // namespace hvhost
