// One colour request: what the host asks a ColorPicker server for and what
// comes back.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "abi/host_api.h"

namespace hvhost {

inline constexpr char kDefaultRequestTitle[] = "Color";

// What the host asks a ColorPicker server for: the colour to start from,
// the title, and how the request is made.
struct AskedColor {
  float red = 0.0f, green = 0.0f, blue = 0.0f;
  // Nothing: the request carries a null title.
  std::optional<std::string> title = std::string(kDefaultRequestTitle);
  // Whether the request carries a hot callback at all.
  bool hot_callback = true;
  // The request's result field before the call: a plug-in that does not
  // serve the request must leave it as it was.
  int result = 0;
  // Whether the outcome lists every hot callback; a long run that only
  // watches them (HotObserver) need not keep them.
  bool keep_hot = true;
  // The class version offered: 0 offers kOfferedVersions in turn, as the
  // host does; any other only that one.
  int version = 0;
  // The version 6 record's colour space.
  std::string color_space = "sRGB";
};

// What the host offers a ColorPicker, newest first: it steps down to the
// next version when the answer is AFUNC_BADVERSION.
inline constexpr int kOfferedVersions[] = {LWCOLORPICK_VERSION_NEWEST, 5, LWCOLORPICK_VERSION};

struct ActivationAttempt {
  int version;
  int status;  // what activate answered
};

struct HotColor {
  float red, green, blue;
};

struct ColorOutcome {
  int status = 0;                           // what the last activate returned
  bool served = false;                      // the last activate opened a panel or wrote the result
  std::vector<ActivationAttempt> attempts;  // every version offered, in order
  int result = 0;                           // the request's result field
  float red = 0.0f, green = 0.0f, blue = 0.0f;  // the request's colour afterwards
  std::vector<HotColor> hot;                    // every hot callback, in order (with keep_hot)
};

using HotObserver = std::function<void(const HotColor &)>;

// An exception that came out of the plug-in's activation; what() names it:
// "an exception it did not catch (std::runtime_error: boom)".
class PluginException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Builds the request (the version 6 record, whose first 48 bytes are
// version 4's), calls activate(version, lookup, &request, null) with the
// current Host's lookup function for each version offered until one is not
// refused with AFUNC_BADVERSION, and collects the outcome. Each attempt goes
// into the current Host's trace: "call.activate V" before it and
// "return.activate R" after it. on_hot, if set, sees each hot callback as it
// happens. The trace notes as problems a hot callback outside an open
// request (which is not passed on), and, when the colour asked for is
// finite, a colour that is not in a hot callback or in the request after
// the activation. An exception out of the activation other than
// std::bad_alloc becomes a PluginException.
//
// Each request's record is its own (one of a ring of 16), and once the
// request is over it is poisoned: a hot callback through it is a problem
// and passes nothing on, and a write to it is a problem at the next request
// or at check_ended_requests(). Each hot callback is in the trace ("hot R G
// B", with its data pointer). A request served at a class version other
// than 4 is a problem, and so is one served (a panel opened or the result
// written) whose activation did not answer AFUNC_OK.
ColorOutcome run_color_request(const ServerRecord &server, const AskedColor &asked,
                               const HotObserver &on_hot = {});

// Notes as a problem every ended request's record written since it ended.
void check_ended_requests();

}  // namespace hvhost
