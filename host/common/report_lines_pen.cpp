// The report's lines on pen and touch: the devices, what --pen saw over a
// window that handles pointer input and one that leaves it to
// DefWindowProc, taps on a window as the frozen run shows its picture, and
// the signature of the input a low-level hook saw.
#include "common/report_lines.h"
#include "common/report_words.h"

namespace hvhost::report {

namespace {

std::string write_pointer(const MachineReport &r, const ReportMonitor *, int) {
  return with_verdict(printed("%d pen, %d touch; mouse-in-pointer %s", r.pens, r.touches,
                              answer_word(r.mouse_in_pointer)),
                      r.pens + r.touches == 0
                          ? "nothing to ask: no pen or touch here"
                          : "run huevane-check --pen to see how they reach a hook");
}

std::string read_pointer(const std::string &key, const std::string &value, int, ReadState *s) {
  Fields f;
  if (!match("%i pen, %i touch; mouse-in-pointer %w", value, &f) || !within_int(f, 2) ||
      !answer_from(f.words[0], &s->r.mouse_in_pointer))
    return needs(key, "N pen, N touch; mouse-in-pointer yes|no|unknown", value);
  s->r.pens = static_cast<int>(f.ints[0]);
  s->r.touches = static_cast<int>(f.ints[1]);
  return {};
}

constexpr const char *kPen = "hook %w, cursor %w";

// What --pen saw over one kind of window, when it asked.
std::string pen_over(Answer hook, Answer cursor, const char *seen, const char *unseen) {
  if (hook == Answer::Unknown && cursor == Answer::Unknown) return {};
  return with_verdict(printed("hook %s, cursor %s", answer_word(hook), answer_word(cursor)),
                      hook == Answer::Yes ? seen : unseen);
}

std::string write_pen_pointer(const MachineReport &r, const ReportMonitor *, int) {
  return pen_over(r.pen_hook_over_pointer_window, r.pen_cursor_over_pointer_window,
                  "the hook sees a pen over windows that handle pointer input",
                  "the eyedropper needs a window of its own under a pen");
}

std::string write_pen_default(const MachineReport &r, const ReportMonitor *, int) {
  return pen_over(r.pen_hook_over_default_window, r.pen_cursor_over_default_window,
                  "holds: DefWindowProc's mouse input reaches the hook",
                  "fails: not even DefWindowProc's mouse input reached the hook");
}

std::string read_pen_over(const std::string &key, const std::string &value, int, ReadState *s) {
  const bool own = key == "pen over pointer window";
  Fields f;
  if (!match(kPen, value, &f) ||
      !answer_from(f.words[0],
                   own ? &s->r.pen_hook_over_pointer_window : &s->r.pen_hook_over_default_window) ||
      !answer_from(f.words[1], own ? &s->r.pen_cursor_over_pointer_window
                                   : &s->r.pen_cursor_over_default_window))
    return needs(key, kPen, value);
  return {};
}

constexpr const char *kNoDevice = "no pen or touch device, ended at once";
constexpr const char *kRan =
    "ran %i s; pointer window %i pointer, %i mouse, %i hook, %i cursor; default window %i "
    "pointer, %i mouse, %i hook, %i cursor";

std::string write_pen_test(const MachineReport &r, const ReportMonitor *, int) {
  if (r.pen_test == PenTest::NotRun) return {};
  if (r.pen_test == PenTest::NoDevice)
    return with_verdict(kNoDevice, "nothing to ask: no pen or touch screen was found");
  const PenWindowCounts &a = r.pen_pointer_window, &b = r.pen_default_window;
  return with_verdict(
      printed("ran %d s; pointer window %d pointer, %d mouse, %d hook, %d cursor; default window "
              "%d pointer, %d mouse, %d hook, %d cursor",
              r.pen_seconds, a.pointer, a.mouse, a.hook, a.cursor, b.pointer, b.mouse, b.hook,
              b.cursor),
      a.pointer + b.pointer > 0 ? "asked: the lines below say what reached the windows"
                                : "nothing seen: no pen or finger touched the windows");
}

std::string read_pen_test(const std::string &key, const std::string &value, int, ReadState *s) {
  if (value == kNoDevice) {
    s->r.pen_test = PenTest::NoDevice;
    return {};
  }
  Fields f;
  if (!match(kRan, value, &f) || !within_int(f, 9) || f.ints[0] > 600)
    return needs(key, kNoDevice + std::string("' or '") + kRan, value);
  const auto count = [&](int i) { return static_cast<int>(f.ints[i]); };
  s->r.pen_test = PenTest::Ran;
  s->r.pen_seconds = count(0);
  s->r.pen_pointer_window = PenWindowCounts{count(1), count(2), count(3), count(4)};
  s->r.pen_default_window = PenWindowCounts{count(5), count(6), count(7), count(8)};
  return {};
}

constexpr const char *kPicture =
    "pen taps %i, touch taps %i, mouse presses %i (%i signed); activated %w";

std::string write_picture_taps(const MachineReport &r, const ReportMonitor *, int) {
  if (r.pen_test != PenTest::Ran) return {};
  const int taps = r.picture_pen_taps + r.picture_touch_taps;
  return with_verdict(
      printed("pen taps %d, touch taps %d, mouse presses %d (%d signed); activated %s",
              r.picture_pen_taps, r.picture_touch_taps, r.picture_mouse_presses,
              r.picture_signed_presses, answer_word(r.picture_activated)),
      r.picture_activated == Answer::Yes ? "fails: a tap activated the picture's window"
      : taps > 0 ? "holds: the frozen picture's window takes pen and finger taps unactivated"
                 : "unknown: the picture's window was not tapped with a pen or finger");
}

std::string read_picture_taps(const std::string &key, const std::string &value, int, ReadState *s) {
  Fields f;
  if (!match(kPicture, value, &f) || !within_int(f, 4) || f.ints[3] > f.ints[2] ||
      !answer_from(f.words[0], &s->r.picture_activated))
    return needs(key, kPicture, value);
  s->r.picture_pen_taps = static_cast<int>(f.ints[0]);
  s->r.picture_touch_taps = static_cast<int>(f.ints[1]);
  s->r.picture_mouse_presses = static_cast<int>(f.ints[2]);
  s->r.picture_signed_presses = static_cast<int>(f.ints[3]);
  return {};
}

constexpr const char *kSignature = "pen %i, touch %i, mouse %i events; %i of the signed injected";

std::string write_signature(const MachineReport &r, const ReportMonitor *, int) {
  if (r.pen_test != PenTest::Ran) return {};
  return with_verdict(
      printed("pen %d, touch %d, mouse %d events; %d of the signed injected", r.hook_pen_events,
              r.hook_touch_events, r.hook_mouse_events, r.hook_signed_injected),
      r.hook_pen_events + r.hook_touch_events > 0
          ? "holds: the hook tells input made from a pen or finger by its signature"
          : "unknown: the hook saw no input made from a pen or finger");
}

std::string read_signature(const std::string &key, const std::string &value, int, ReadState *s) {
  Fields f;
  if (!match(kSignature, value, &f) || !within_int(f, 4) || f.ints[3] > f.ints[0] + f.ints[1])
    return needs(key, kSignature, value);
  s->r.hook_pen_events = static_cast<int>(f.ints[0]);
  s->r.hook_touch_events = static_cast<int>(f.ints[1]);
  s->r.hook_mouse_events = static_cast<int>(f.ints[2]);
  s->r.hook_signed_injected = static_cast<int>(f.ints[3]);
  return {};
}

}  // namespace

void add_input_rules(std::vector<LineRule> *rules) {
  rules->insert(rules->end(), {
                                  {"pointer devices", 0, write_pointer, read_pointer},
                                  {"pen over pointer window", 0, write_pen_pointer, read_pen_over},
                                  {"pen over default window", 0, write_pen_default, read_pen_over},
                                  {"pen test", 0, write_pen_test, read_pen_test},
                                  {"pen on picture", 0, write_picture_taps, read_picture_taps},
                                  {"hook signature", 0, write_signature, read_signature},
                              });
}

}  // namespace hvhost::report
