// The message loop of the windowed front end: the host's modal loop asks
// it for the next input (InputDriver::feed), and it runs the window
// messages, the system's hooks and timers, and the script player, until a
// window has turned input into a user input, which it delivers to the host. Input this process sent
// is tracked by its tag until it has been taken in.
#include <algorithm>

#include "session/crash_report.h"
#include "win32/front_end.h"
#include "win32/script_player.h"

namespace hvwin {

using hvhost::UserInput;

namespace {

bool is_mouse_message(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST; }
bool is_key_message(UINT m) { return m >= WM_KEYFIRST && m <= WM_KEYLAST; }

using SetDpiContextFn = DPI_AWARENESS_CONTEXT(WINAPI *)(DPI_AWARENESS_CONTEXT);

SetDpiContextFn dpi_context_function() {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  FARPROC proc = user32 ? GetProcAddress(user32, "SetThreadDpiAwarenessContext") : nullptr;
  return reinterpret_cast<SetDpiContextFn>(reinterpret_cast<void (*)(void)>(proc));
}

}  // namespace

DPI_AWARENESS_CONTEXT set_thread_dpi_awareness(int mode) {
  const SetDpiContextFn set_context = dpi_context_function();
  if (!set_context) return nullptr;
  return set_context(reinterpret_cast<DPI_AWARENESS_CONTEXT>(static_cast<intptr_t>(-mode)));
}

void restore_thread_dpi_awareness(DPI_AWARENESS_CONTEXT previous) {
  const SetDpiContextFn set_context = dpi_context_function();
  if (set_context && previous) set_context(previous);
}

void FrontEnd::queue(const PanelWindow &w, UserInput in) {
  inputs_.push_back(Queued{std::move(in), w.panel, current_tag_});
}

void FrontEnd::finish_input(uint64_t tag) {
  if (is_input_tag(tag)) done_tag_ = std::max(done_tag_, tag);
}

std::optional<UserInput> FrontEnd::pop_input() {
  while (!inputs_.empty()) {
    Queued q = std::move(inputs_.front());
    inputs_.pop_front();
    finish_input(q.tag);
    // Input for a window that no longer takes it (its panel closed, or a
    // nested panel opened over it meanwhile) is dropped.
    if (q.panel == host_.innermost_panel()) return std::move(q.input);
  }
  return std::nullopt;
}

bool FrontEnd::idle() const {
  const DWORD busy = HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE | QS_PAINT));
  return busy == 0 && inputs_.empty();
}

bool FrontEnd::input_done(uint64_t tag) const {
  return (done_tag_ >= tag || hook_tag_ >= tag) && idle();
}

bool FrontEnd::accepts_input() const { return !ended_; }

LRESULT CALLBACK FrontEnd::mouse_hook_proc(int code, WPARAM wp, LPARAM lp) {
  // The rest of the chain (the plug-in's hook among it) runs first, so a tag
  // seen here has been through every hook.
  const LRESULT r = CallNextHookEx(nullptr, code, wp, lp);
  if (code == HC_ACTION && current_) {
    const auto *event = reinterpret_cast<const MSLLHOOKSTRUCT *>(lp);
    if (is_input_tag(event->dwExtraInfo) && event->dwExtraInfo >= current_->hook_tag_) {
      current_->hook_tag_ = event->dwExtraInfo;
      current_->hook_point_ = event->pt;
    }
  }
  return r;
}

LRESULT CALLBACK FrontEnd::key_hook_proc(int code, WPARAM wp, LPARAM lp) {
  const LRESULT r = CallNextHookEx(nullptr, code, wp, lp);
  if (code == HC_ACTION && current_) {
    const uint64_t info = reinterpret_cast<const KBDLLHOOKSTRUCT *>(lp)->dwExtraInfo;
    if (is_input_tag(info)) current_->hook_tag_ = std::max(current_->hook_tag_, info);
  }
  return r;
}

void FrontEnd::watch_input() {
  if (mouse_hook_) UnhookWindowsHookEx(mouse_hook_);
  if (key_hook_) UnhookWindowsHookEx(key_hook_);
  HINSTANCE self = GetModuleHandleA(nullptr);
  mouse_hook_ = SetWindowsHookExA(WH_MOUSE_LL, mouse_hook_proc, self, 0);
  key_hook_ = SetWindowsHookExA(WH_KEYBOARD_LL, key_hook_proc, self, 0);
}

bool FrontEnd::pump(DWORD ms) {
  const DPI_AWARENESS_CONTEXT process_dpi =
      options_.loop_dpi_awareness ? set_thread_dpi_awareness(options_.loop_dpi_awareness) : nullptr;
  const bool handled = pump_messages(ms);
  restore_thread_dpi_awareness(process_dpi);
  return handled;
}

bool FrontEnd::pump_messages(DWORD ms) {
  // No PeekMessage before the wait: it would run a pending hook call (a sent
  // message) and then block with the hook's effect unseen. The wait returns
  // for sent messages too, and the loop below runs them.
  // Waiting for input is the host's time, not the plug-in's (--timeout).
  hvhost::note_host_progress();
  if (ms > 0) {
    hvhost::note_host_waiting(true);
    MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    hvhost::note_host_waiting(false);
  }
  // Hooks and sent messages run inside PeekMessage without a message coming
  // out of it, and may have closed a panel: the host's loop looks again.
  yield_ = true;
  MSG msg;
  bool handled = false;
  while (inputs_.empty() && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    handled = true;
    if (msg.message == WM_QUIT) {
      ended_ = true;
      break;
    }
    uint64_t tag = 0;
    const bool input = is_mouse_message(msg.message) || is_key_message(msg.message);
    if (input) {
      tag = static_cast<uint64_t>(GetMessageExtraInfo());
      if ((msg.message == WM_CHAR || msg.message == WM_SYSCHAR) && !is_input_tag(tag)) {
        tag = char_tag_;
        char_tag_ = 0;
      }
      if (options_.tagged_input_only && !is_input_tag(tag)) continue;
    }
    current_tag_ = is_input_tag(tag) ? tag : 0;
    const size_t queued = inputs_.size();
    TranslateMessage(&msg);
    bool char_follows = false;
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
      MSG peek;
      char_follows = PeekMessageA(&peek, msg.hwnd, WM_CHAR, WM_SYSDEADCHAR, PM_NOREMOVE) != 0;
      if (char_follows) {
        char_tag_ = current_tag_;
        char_vk_ = msg.wParam;
      }
    }
    if (msg.message == WM_TIMER && !msg.hwnd && on_thread_timer) {
      LARGE_INTEGER t0, t1, f;
      QueryPerformanceCounter(&t0);
      DispatchMessageA(&msg);
      QueryPerformanceCounter(&t1);
      QueryPerformanceFrequency(&f);
      on_thread_timer(static_cast<double>(t1.QuadPart - t0.QuadPart) /
                      static_cast<double>(f.QuadPart));
    } else {
      DispatchMessageA(&msg);
    }
    if (current_tag_ && inputs_.size() == queued && !char_follows) finish_input(current_tag_);
    current_tag_ = 0;
  }
  return handled;
}

bool FrontEnd::feed(hvhost::Host &host) {
  for (;;) {
    sync();
    if (std::optional<UserInput> in = pop_input()) {
      std::string error;
      if (!hvhost::deliver(host, *in, &error)) host.stop_input(error);
      return true;
    }
    if (yield_) {
      yield_ = false;
      return true;
    }
    if (ended_) return false;
    DWORD wait = INFINITE;
    if (player_) {
      if (!idle()) {
        wait = 0;
      } else {
        ScriptPlayer::Step s = player_->advance(*this);
        switch (s.kind) {
          case ScriptPlayer::Step::kInput: {
            std::string error;
            if (!hvhost::deliver(host, s.input, &error)) host.stop_input(player_->error_for(error));
            return true;
          }
          case ScriptPlayer::Step::kEnd: ended_ = true; return false;
          case ScriptPlayer::Step::kError:
            error_ = player_->error();
            ended_ = true;
            return false;
          case ScriptPlayer::Step::kPoll: wait = s.wait_ms; break;
        }
      }
    }
    pump(wait);
  }
}

}  // namespace hvwin
