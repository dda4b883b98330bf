// Small modules for the reference host's own tests. Built four ways:
//   FAKE_PICKER         a ColorPicker server "Fake" with a tiny panel
//   FAKE_NO_DESCRIPTOR  a library without _mod_descrip
//   FAKE_BAD_SYNC       a descriptor with the wrong sync word
//   FAKE_NO_PICKER      a valid descriptor serving only an "ImageFilter"
//
// The picker panel is 240 x 80 with a MiniRGBControl and a ButtonControl.
// A left press at (x, y) sets the colour to (x, y, 0); an RGB edit sets it to
// the edited value; both call the hot callback. The button and the S key's
// release open a nested "Fake nested" panel (flags 0x41) and raise the panel
// afterwards. Everything the host calls is logged; fake_module_log() returns
// the log, one event a line.
//
// FAKE_PICKER also serves pickers that fail the host, each otherwise "Fake":
//   FakeSegfault, FakeAbort, FakeThrow, FakeHang  on a left press or an RGB
//       edit: a write to an address no program has, abort(), an exception, a
//       loop that never ends
//   FakeDoubleDestroy  destroys its panel twice
//   FakeHotAfterClose  once the panel has closed, a hot callback of NaN 2 -1
//   FakeHotLate  calls the previous request's hot callback at the start of
//       the next request
//   FakeHotInShutdown  calls the last request's hot callback from the
//       module's shutdown
//   FakeKeptRequest  keeps the request's pointer and, at the start of the
//       next request, calls the hot callback through it and writes its result
//   FakeAnyVersion  serves whatever class version it is offered
//   FakeNoSize  never sets its panel's size
//   FakeOutside  places its button at x 300, outside its 240-wide panel
//   FakeReturns1, FakeReturns2, FakeReturns42, FakeReturnsMinus1  serve the
//       request as Fake does and then return that code instead of AFUNC_OK
//   FakeLeak  serves as Fake does and keeps 16 MiB (written) per request
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "abi/host_api.h"

#ifdef _WIN32
#define FAKE_VISIBLE __declspec(dllexport)
#else
#define FAKE_VISIBLE __attribute__((visibility("default")))
#endif
#define FAKE_EXPORT extern "C" FAKE_VISIBLE

namespace {

std::string g_log;
GlobalFunc *g_global = nullptr;
LWPanelFuncs *g_panels = nullptr;
int g_rgb[3] = {0, 0, 0};
LWColorPickLocal *g_request = nullptr;
LWControl *g_rgb_editor = nullptr;
LWPanelID g_panel = nullptr;

enum class Misdeed {
  kNone,
  kSegfault,
  kAbort,
  kThrow,
  kHang,
  kDoubleDestroy,
  kHotAfterClose,
  kHotLate,
  kHotInShutdown,
  kKeptRequest,
  kAnyVersion,
  kNoSize,
  kOutside
};
Misdeed g_misdeed = Misdeed::kNone;
LWHotColorFunc *g_old_hot = nullptr;
void *g_old_hot_data = nullptr;
LWColorPickLocal *g_kept_request = nullptr;

// What a failing server does on a left press. Not instrumented: the write
// through null must reach the processor, not the sanitizers' checks.
__attribute__((no_sanitize("address", "undefined"))) void misbehave() {
  switch (g_misdeed) {
    case Misdeed::kSegfault: {
      // An address of the system's half, never mapped for a program (Wine
      // may map the page at null).
      int *volatile nowhere = reinterpret_cast<int *>(uintptr_t{0xFFFF800000000000u});
      *nowhere = 1;
      break;
    }
    case Misdeed::kAbort: std::abort();
    case Misdeed::kThrow: throw std::runtime_error("the fake picker failed");
    case Misdeed::kHang: {
      volatile bool spin = true;
      while (spin) {
      }
      break;
    }
    default: break;
  }
}

void log(const char *fmt, int a = 0, int b = 0, int c = 0) {
  char buf[128];
  std::snprintf(buf, sizeof buf, fmt, a, b, c);
  g_log += buf;
  g_log += '\n';
}

void report() {
  if (g_request && g_request->hotFunc)
    g_request->hotFunc(g_request->data, g_rgb[0] / 255.0f, g_rgb[1] / 255.0f, g_rgb[2] / 255.0f);
}

LWValue int_value(int v) {
  LWValue value = {};
  value.intv.type = LWT_INTEGER;
  value.intv.value = v;
  return value;
}

void set_editor() {
  LWValue v = {};
  v.ivec.type = LWT_VINT;
  for (int i = 0; i < 3; ++i) v.ivec.val[i] = g_rgb[i];
  if (g_rgb_editor) g_rgb_editor->set(g_rgb_editor, CTL_VALUE, &v);
}

void on_draw(LWPanelID panel, void *, int mode) {
  log("draw %d", mode);
  g_panels->drawFuncs->drawRGBBox(panel, g_rgb[0], g_rgb[1], g_rgb[2], 4, 4, 40, 30);
}

void on_opened(LWPanelID, void *) { log("opened"); }

void on_button(LWPanelID, void *, int flags, int x, int y) {
  log("button %d %d %d", flags, x, y);
  if (flags == (MOUSE_DOWN | MOUSE_LEFT)) {
    misbehave();
    g_rgb[0] = x;
    g_rgb[1] = y;
    g_rgb[2] = 0;
    set_editor();
    report();
  }
}

void on_move(LWPanelID, void *, int flags, int x, int y) { log("move %d %d %d", flags, x, y); }

void open_nested() {
  LWPanelID nested = g_panels->create(const_cast<char *>("Fake nested"), g_panels);
  int size = 50;
  g_panels->set(nested, PAN_W, &size);
  g_panels->set(nested, PAN_H, &size);
  g_panels->set(nested, PAN_USEROPEN, reinterpret_cast<void *>(&on_opened));
  log("nested open");
  const int result = g_panels->open(nested, PANF_BLOCKING | PANF_NOBUTT);
  log("nested result %d", result);
  g_panels->destroy(nested);
  g_panels->set(g_panel, PAN_TO_FRONT, nullptr);
}

int on_key_down(LWPanelID, void *, LWDualKey key) {
  log("key down %d", key);
  return 0;
}

int on_key_up(LWPanelID, void *, LWDualKey key) {
  log("key up %d", key);
  if (key == 'S' || key == 's') open_nested();
  return 0;
}

void on_rgb_event(LWControlID control, void *data) {
  LWValue v = {};
  v.ivec.type = LWT_VINT;
  control->get(control, CTL_VALUE, &v);
  log("rgb event %d %d %d", v.ivec.val[0], v.ivec.val[1], v.ivec.val[2]);
  log(data == &g_rgb ? "rgb user data ok" : "rgb user data wrong");
  misbehave();
  for (int i = 0; i < 3; ++i) g_rgb[i] = v.ivec.val[i];
  report();
}

void on_button_event(LWControlID, void *) {
  log("button event");
  open_nested();
}

void place(LWControl *control, int x, int y, LWCtlEventFunc *func, void *data) {
  LWValue v = int_value(0);
  control->get(control, CTL_W, &v);
  const int w = v.intv.value;
  control->get(control, CTL_HOTW, &v);
  v = int_value(v.intv.value - w + x);
  control->set(control, CTL_X, &v);
  v = int_value(y);
  control->set(control, CTL_Y, &v);
  v = int_value(0);
  v.ptr.ptr = data;
  control->set(control, CTL_USERDATA, &v);
  v.ptr.ptr = reinterpret_cast<void *>(func);
  control->set(control, CTL_USEREVENT, &v);
}

int activate(int version, GlobalFunc *global, void *local, void *) {
  if (version != LWCOLORPICK_VERSION && g_misdeed != Misdeed::kAnyVersion) return AFUNC_BADVERSION;
  if (!local) return AFUNC_BADLOCAL;
  LWColorPickLocal *request = static_cast<LWColorPickLocal *>(local);
  if (g_misdeed == Misdeed::kKeptRequest) {
    if (g_kept_request) {
      if (g_kept_request->hotFunc)
        g_kept_request->hotFunc(g_kept_request->data, 0.75f, 0.75f, 0.75f);
      g_kept_request->result = 1;
    }
    g_kept_request = request;
  }
  if (g_misdeed == Misdeed::kHotLate || g_misdeed == Misdeed::kHotInShutdown) {
    if (g_old_hot && g_misdeed == Misdeed::kHotLate) g_old_hot(g_old_hot_data, 0.5f, 0.5f, 0.5f);
    g_old_hot = request->hotFunc;
    g_old_hot_data = request->data;
  }
  g_global = global;
  g_panels = static_cast<LWPanelFuncs *>(global(LWPANELFUNCS_GLOBAL, GFUSE_TRANSIENT));
  if (!g_panels) {
    log("no panel services");
    return AFUNC_BADGLOBAL;
  }
  g_request = request;
  g_panel =
      g_panels->create(const_cast<char *>(request->title ? request->title : "(null)"), g_panels);
  if (!g_panel) {
    log("no panel");
    return AFUNC_BADGLOBAL;
  }
  int w = 240, h = 80;
  if (g_misdeed != Misdeed::kNoSize) {
    g_panels->set(g_panel, PAN_W, &w);
    g_panels->set(g_panel, PAN_H, &h);
  }
  g_panels->set(g_panel, PAN_USERDRAW, reinterpret_cast<void *>(&on_draw));
  g_panels->set(g_panel, PAN_USEROPEN, reinterpret_cast<void *>(&on_opened));
  g_panels->set(g_panel, PAN_MOUSEBUTTON, reinterpret_cast<void *>(&on_button));
  g_panels->set(g_panel, PAN_MOUSEMOVE, reinterpret_cast<void *>(&on_move));
  g_panels->set(g_panel, PAN_USERKEYS, reinterpret_cast<void *>(&on_key_down));
  g_panels->set(g_panel, PAN_USERKEYUPS, reinterpret_cast<void *>(&on_key_up));
  LWPanControlDesc desc = {};
  desc.type = LWT_VINT;
  g_rgb_editor = g_panels->addControl(g_panel, const_cast<char *>("MiniRGBControl"), &desc,
                                      const_cast<char *>(""));
  if (g_rgb_editor) place(g_rgb_editor, -28, 50, &on_rgb_event, &g_rgb);
  desc = {};
  desc.area = {LWT_AREA, 22, 0};
  LWControl *button = g_panels->addControl(g_panel, const_cast<char *>("ButtonControl"), &desc,
                                           const_cast<char *>("\x03(i:MIMG_ZOOM)"));
  if (button)
    place(button, g_misdeed == Misdeed::kOutside ? 300 : 90, 4, &on_button_event, nullptr);

  g_rgb[0] = static_cast<int>(request->red * 255.0);
  g_rgb[1] = static_cast<int>(request->green * 255.0);
  g_rgb[2] = static_cast<int>(request->blue * 255.0);
  set_editor();
  report();
  request->result = g_panels->open(g_panel, PANF_BLOCKING | PANF_CANCEL);
  log("result %d", request->result);
  if (request->result) {
    request->red = g_rgb[0] / 255.0f;
    request->green = g_rgb[1] / 255.0f;
    request->blue = g_rgb[2] / 255.0f;
  }
  if (g_misdeed == Misdeed::kHotAfterClose && request->hotFunc)
    request->hotFunc(request->data, std::nanf(""), 2.0f, -1.0f);
  g_panels->destroy(g_panel);
  if (g_misdeed == Misdeed::kDoubleDestroy) g_panels->destroy(g_panel);
  g_panel = nullptr;
  g_rgb_editor = nullptr;
  g_request = nullptr;
  return AFUNC_OK;
}

template <int Code>
int activate_returning(int version, GlobalFunc *global, void *local, void *server_data) {
  g_misdeed = Misdeed::kNone;
  const int status = activate(version, global, local, server_data);
  return status == AFUNC_OK ? Code : status;
}

// Each request's memory, never freed: a leak the host's --repeat measures.
[[maybe_unused]] int activate_leaking(int version, GlobalFunc *global, void *local,
                                      void *server_data) {
  g_misdeed = Misdeed::kNone;
  const int status = activate(version, global, local, server_data);
  if (status == AFUNC_OK) {
    constexpr size_t kLeak = size_t{16} << 20;
    static std::vector<std::unique_ptr<char[]>> kept;
    kept.emplace_back(new char[kLeak]);
    std::memset(kept.back().get(), 0x5A, kLeak);
  }
  return status;
}

template <Misdeed M>
int activate_failing(int version, GlobalFunc *global, void *local, void *server_data) {
  g_misdeed = M;
  return activate(version, global, local, server_data);
}

[[maybe_unused]] void *startup() { return reinterpret_cast<void *>(1); }
[[maybe_unused]] void shutdown(void *) {
  if (g_misdeed == Misdeed::kHotInShutdown && g_old_hot)
    g_old_hot(g_old_hot_data, 0.25f, 0.25f, 0.25f);
}

#if defined(FAKE_NO_PICKER)
[[maybe_unused]] ServerRecord kServers[] = {{"ImageFilter", "Fake", activate, nullptr},
                                            {nullptr, nullptr, nullptr, nullptr}};
#else
[[maybe_unused]] ServerRecord kServers[] = {
    {LWCOLORPICK_HCLASS, "Fake", activate, nullptr},
    {LWCOLORPICK_HCLASS, "FakeSegfault", activate_failing<Misdeed::kSegfault>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeAbort", activate_failing<Misdeed::kAbort>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeThrow", activate_failing<Misdeed::kThrow>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeHang", activate_failing<Misdeed::kHang>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeDoubleDestroy", activate_failing<Misdeed::kDoubleDestroy>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeHotAfterClose", activate_failing<Misdeed::kHotAfterClose>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeHotLate", activate_failing<Misdeed::kHotLate>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeHotInShutdown", activate_failing<Misdeed::kHotInShutdown>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeKeptRequest", activate_failing<Misdeed::kKeptRequest>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeAnyVersion", activate_failing<Misdeed::kAnyVersion>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeNoSize", activate_failing<Misdeed::kNoSize>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeOutside", activate_failing<Misdeed::kOutside>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeReturns1", activate_returning<1>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeReturns2", activate_returning<2>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeReturns42", activate_returning<42>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeReturnsMinus1", activate_returning<-1>, nullptr},
    {LWCOLORPICK_HCLASS, "FakeLeak", activate_leaking, nullptr},
    {nullptr, nullptr, nullptr, nullptr}};
#endif

}  // namespace

#if !defined(FAKE_NO_DESCRIPTOR)
extern "C" {
FAKE_VISIBLE ModuleDescriptor _mod_descrip = {
#if defined(FAKE_BAD_SYNC)
    0x12345678u,
#else
    MOD_SYSSYNC,
#endif
    MOD_SYSVER,  MOD_MACHINE, startup, shutdown, kServers};
}
#endif

FAKE_EXPORT const char *fake_module_log() { return g_log.c_str(); }
FAKE_EXPORT void fake_module_clear_log() { g_log.clear(); }
