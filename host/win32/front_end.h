// The windowed front end on Windows: every open panel of the host is a real
// top-level window showing the panel as the host composes it (title strip,
// client area, OK / Cancel row), presented from a DIB. Window messages
// become the same user inputs a script's actions are made of, delivered to
// the host's entry points when its modal loop asks (InputDriver::feed),
// which runs the message loop: a nested panel open (the magnifier inside the picker) nests a
// message loop, and the system's hooks and timers are delivered there.
//
// A key typed as a character goes to the plug-in as a key press (the
// panel's key-down callback) and its release as a key release (key-up
// callback). A panel the plug-in raises (tag 23) has its window brought to
// the front.
//
// The host draws the editors' numeric fields; this front end makes them
// editable as a user expects: click a field, type digits (Tab moves to the
// next field), Enter applies the three fields in one edit; or drag a field
// sideways to change its value by one per pixel.
//
// A ScriptPlayer, when set, is asked for input whenever the host waits for
// it and the message queue is idle; it sends real input with SendInput and
// waits for it to come back through these windows or the hooks.
//
// In four files by job: the windows (front_end.cpp), the message loop
// (message_pump.cpp), window messages and field editing (window_input.cpp)
// and screen capture for snapshots (capture.cpp).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "model/chrome.h"
#include "model/framebuffer.h"
#include "model/host.h"
#include "session/action_feed.h"

namespace hvwin {

class ScriptPlayer;

// The extra-information value that marks input this process sent with
// SendInput: kInputTagBase + a sequence number.
inline constexpr uint64_t kInputTagBase = 0x4856000000000000ull;
inline constexpr uint64_t kInputTagMask = 0xFFFF000000000000ull;
inline bool is_input_tag(uint64_t v) { return (v & kInputTagMask) == kInputTagBase; }

// An open panel's window on the screen.
struct PanelWindow {
  hvhost::Panel *panel = nullptr;
  int generation = 0;  // the panel's times_opened() when the window was made
  HWND hwnd = nullptr;
  hvhost::WindowLayout layout;
  // What the window shows, and the DIB header for it.
  hvhost::Framebuffer image;
  BITMAPINFO bmi{};
  uint64_t shown_revision = ~uint64_t{0};
  std::string shown_title;
  int shown_flags = -1;
  int shown_raises = 0;         // the panel's times_raised() last brought to the front
  int x = 0, y = 0;             // where the window is on the screen
  bool moving = false;          // inside our own SetWindowPos
  uint64_t image_serial = 0;    // bumped when image changes
  uint64_t painted_serial = 0;  // the image serial last painted

  // Mouse state of this window.
  enum class Press { kNone, kPanel, kTitle, kField, kOk, kCancel };
  Press press = Press::kNone;
  int press_x = 0, press_y = 0;              // window coordinates of the press
  hvhost::Control *field_control = nullptr;  // kField: the editor pressed
  int field_index = 0;
  int press_value = 0;  // the field's value at the press
  int field_value = 0;  // the value the drag last asked for
  bool field_dragging = false;

  // An open text edit of an editor's field.
  struct FieldEdit {
    hvhost::Control *control = nullptr;
    int field = 0;
    std::string text;
    bool replace = true;  // the next character replaces the text
    std::array<int, 3> pending{};
  };
  std::optional<FieldEdit> edit;
};

struct FrontEndOptions {
  // Print "window open X Y TITLE", "window title TITLE", "window close TITLE".
  bool report_windows = false;
  // Take mouse and key input only when it carries this process's input tag
  // (script mode: a pointer event synthesized by the window system cannot
  // slip into a scripted drag).
  bool tagged_input_only = false;
  // Seconds a snapshot waits for the screen to show the window.
  double snapshot_timeout_s = 20.0;
  // The thread's DPI awareness while the loop runs window messages, hooks
  // and timers (where the plug-in's hook and tick run), as
  // SetThreadDpiAwarenessContext's context -N for N = 1 unaware .. 4
  // per-monitor v2; 0 leaves the process's. The host's own windows and its
  // scripted input stay in the process's context.
  int loop_dpi_awareness = 0;
  // Where a window that cannot show its panel as laid out (layout_problems:
  // no size, a control outside) is noted as it opens; null: nowhere.
  std::ostream *notes = nullptr;
  // --strict: the window of a panel with no size ends the run as it opens:
  // it has room for none of the panel's controls, so nothing could be done
  // in it, and the problem fails the run anyway.
  bool end_at_unsized_panel = false;
};

// SetThreadDpiAwarenessContext for the context -mode, looked up at run time
// (Windows 10 1607 and later). Returns the previous context, or null when
// the function is missing or refuses.
DPI_AWARENESS_CONTEXT set_thread_dpi_awareness(int mode);
// Puts back a context set_thread_dpi_awareness returned; null is ignored.
void restore_thread_dpi_awareness(DPI_AWARENESS_CONTEXT previous);

class FrontEnd : public hvhost::InputDriver {
 public:
  FrontEnd(hvhost::Host &host, std::ostream &out, FrontEndOptions options);
  ~FrontEnd() override;
  FrontEnd(const FrontEnd &) = delete;
  FrontEnd &operator=(const FrontEnd &) = delete;

  // Registers the window class; false with *error when it cannot.
  bool init(std::string *error);

  void set_player(ScriptPlayer *player) { player_ = player; }
  bool feed(hvhost::Host &host) override;

  // Why input ended early (a script step timed out, a window could not be
  // made), or empty.
  const std::string &error() const { return error_; }
  // Input ended at the window of a panel with no size (--strict).
  bool ended_at_unsized_panel() const { return ended_at_unsized_panel_; }

  // ---- For the script player -----------------------------------------
  hvhost::Host &host() { return host_; }
  // Brings windows in line with the host's open panels at once.
  void sync();
  // The window of the innermost modal panel, or null.
  PanelWindow *innermost_window();
  PanelWindow *window_of(const hvhost::Panel *panel);
  // Screen position of a point in panel coordinates of the window.
  POINT panel_to_screen(const PanelWindow &w, int px, int py) const;
  POINT window_to_screen(const PanelWindow &w, int wx, int wy) const;
  // Nothing waits in the message queue (input, posted, sent or paint
  // messages) and no input waits for the host.
  bool idle() const;
  // Whether the input event with this tag has been taken in: a window
  // handled it (and the host has the input it gave), or the low-level
  // hook saw it, and the queue is idle again.
  bool input_done(uint64_t tag) const;
  // Runs the message loop for up to ms milliseconds, or until a message
  // was handled. Returns whether anything was handled.
  bool pump(DWORD ms);
  bool pump_messages(DWORD ms);  // pump's work, in the loop's DPI context
  // Installs the low-level mouse and keyboard hooks that see tagged input,
  // at the head of the hook chains (called again whenever another panel
  // opens, so that they come before any hook installed meanwhile).
  void watch_input();
  uint64_t hook_tag() const { return hook_tag_; }
  // Where the mouse event of hook_tag() was, as the hook saw it.
  POINT hook_point() const { return hook_point_; }

  // Screen capture of the panel's window as it is shown; waits (up to the
  // snapshot timeout) for the screen to show the window's current image.
  bool capture(const hvhost::Panel &panel, hvhost::Framebuffer *out, std::string *error);

  // Called around each dispatch of a window-less WM_TIMER (the plug-in's
  // timer procedure), with the time it took in seconds; for --bench.
  std::function<void(double seconds)> on_thread_timer;

 private:
  // ---- The windows (front_end.cpp) -------------------------------------
  void create_window(hvhost::Panel &panel, PanelWindow *owner);
  void destroy_window(PanelWindow &w);
  void refresh(PanelWindow &w, bool force);
  void compose(PanelWindow &w);
  void report(const std::string &line);
  void raise(PanelWindow &w);
  void note_layout(const hvhost::Panel &panel);

  // ---- The message loop (message_pump.cpp) ------------------------------
  void queue(const PanelWindow &w, hvhost::UserInput in);
  void finish_input(uint64_t tag);
  std::optional<hvhost::UserInput> pop_input();
  bool accepts_input() const;

  // ---- Window messages and field editing (window_input.cpp) -------------
  LRESULT handle(PanelWindow &w, UINT msg, WPARAM wp, LPARAM lp);
  void mouse_down(PanelWindow &w, int wx, int wy, hvhost::MouseButton b);
  void mouse_move(PanelWindow &w, int wx, int wy);
  void mouse_up(PanelWindow &w, int wx, int wy, hvhost::MouseButton b);
  void char_typed(PanelWindow &w, uint32_t code);
  // A key's press as the host's code, with the qualifiers held.
  void key_pressed(PanelWindow &w, WPARAM vk, uint32_t code);
  void key_released(PanelWindow &w, WPARAM vk);
  void end_edit(PanelWindow &w, bool apply);
  void edit_field(PanelWindow &w, hvhost::Control &c, std::array<int, 3> value);

  struct Queued {
    hvhost::UserInput input;
    const hvhost::Panel *panel;
    uint64_t tag;
  };

  hvhost::Host &host_;
  std::ostream &out_;
  FrontEndOptions options_;
  ScriptPlayer *player_ = nullptr;
  std::vector<std::unique_ptr<PanelWindow>> windows_;  // bottom to top
  std::deque<Queued> inputs_;
  std::string error_;
  bool ended_ = false;
  bool ended_at_unsized_panel_ = false;
  bool yield_ = false;
  HWND foreground_ = nullptr;
  // Input tags: the one of the message being handled, the last one fully
  // handled by a window, the last one the hooks saw.
  uint64_t current_tag_ = 0;
  uint64_t char_tag_ = 0;  // the key-down whose character is still queued
  WPARAM char_vk_ = 0;     // the virtual key of that key-down
  // Keys whose press went to the plug-in as a character, by virtual key:
  // their release goes as the same character with the same qualifiers.
  struct HeldKey {
    WPARAM vk;
    uint32_t code;
    int qualifiers;
  };
  std::vector<HeldKey> keys_down_;
  uint64_t done_tag_ = 0;
  uint64_t hook_tag_ = 0;
  POINT hook_point_{};
  HHOOK mouse_hook_ = nullptr;
  HHOOK key_hook_ = nullptr;

  // The one front end of the process: window procedures and low-level
  // hooks have no context argument.
  static inline FrontEnd *current_ = nullptr;
  static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK mouse_hook_proc(int code, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK key_hook_proc(int code, WPARAM wp, LPARAM lp);
};

// The window class name of panel windows.
inline constexpr char kPanelWindowClass[] = "HuevanePanel";

}  // namespace hvwin
