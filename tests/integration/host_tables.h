// The reference host's tables as a plug-in sees them, for the host's own
// tests: a fixture with a current Host, the three tables, a panel with a
// callback for every hook that records what the host called, and helpers for
// value records.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "abi/host_api.h"
#include "model/host.h"

namespace hvtest {

// What the callbacks below saw, in order.
inline std::vector<std::string> g_events;

inline void record(const std::string &e) { g_events.push_back(e); }

inline void on_draw(LWPanelID, void *, int mode) { record("draw " + std::to_string(mode)); }
inline void on_opened(LWPanelID, void *) { record("opened"); }
inline void on_button(LWPanelID, void *, int flags, int x, int y) {
  record("button " + std::to_string(flags) + " " + std::to_string(x) + " " + std::to_string(y));
}
inline void on_move(LWPanelID, void *, int flags, int x, int y) {
  record("move " + std::to_string(flags) + " " + std::to_string(x) + " " + std::to_string(y));
}
inline int on_key_down(LWPanelID, void *, LWDualKey key) {
  record("key down " + std::to_string(key));
  return 0;
}
inline int on_key_up(LWPanelID, void *, LWDualKey key) {
  record("key up " + std::to_string(key));
  return 0;
}
inline void on_event(LWControlID control, void *data) {
  LWValue v = {};
  v.ivec.type = LWT_VINT;
  control->get(control, CTL_VALUE, &v);
  record("event " + std::to_string(v.ivec.val[0]) + "," + std::to_string(v.ivec.val[1]) + "," +
         std::to_string(v.ivec.val[2]) + (data == &g_events ? " data" : " no data"));
}

inline LWValue int_value(int v) {
  LWValue value = {};
  value.intv = {LWT_INTEGER, v, 0};
  return value;
}

inline LWValue vector_value(int a, int b, int c) {
  LWValue value = {};
  value.ivec = {LWT_VINT, {a, b, c}, 0};
  return value;
}

constexpr int kPickerFlags = PANF_BLOCKING | PANF_CANCEL;
constexpr int kMagnifierFlags = PANF_BLOCKING | PANF_NOBUTT;

template <typename F>
void *fn(F f) {
  return reinterpret_cast<void *>(f);
}

class HostServices : public ::testing::Test {
 protected:
  void SetUp() override { g_events.clear(); }

  LWPanelFuncs &pf() { return *static_cast<LWPanelFuncs *>(lookup(LWPANELFUNCS_GLOBAL)); }
  LWRasterFuncs &rf() { return *static_cast<LWRasterFuncs *>(lookup(LWRASTERFUNCS_GLOBAL)); }
  DrawFuncs &df() { return *pf().drawFuncs; }
  void *lookup(const char *name) { return hvhost::Host::lookup_function()(name, GFUSE_TRANSIENT); }

  LWPanelID make_panel(int w = 100, int h = 60) {
    LWPanelID p = pf().create(const_cast<char *>("Test"), &pf());
    pf().set(p, PAN_W, &w);
    pf().set(p, PAN_H, &h);
    pf().set(p, PAN_USERDRAW, fn(&on_draw));
    pf().set(p, PAN_USEROPEN, fn(&on_opened));
    pf().set(p, PAN_MOUSEBUTTON, fn(&on_button));
    pf().set(p, PAN_MOUSEMOVE, fn(&on_move));
    pf().set(p, PAN_USERKEYS, fn(&on_key_down));
    pf().set(p, PAN_USERKEYUPS, fn(&on_key_up));
    return p;
  }

  LWControl *add(LWPanelID p, const char *type, int ctype = LWT_VINT, int w = 0, int h = 0,
                 const char *label = "") {
    LWPanControlDesc d = {};
    d.area = {ctype, w, h};
    return pf().addControl(p, const_cast<char *>(type), &d, const_cast<char *>(label));
  }

  static int get_int(LWControlID c, int tag) {
    LWValue v = int_value(-777);
    c->get(c, tag, &v);
    return v.intv.value;
  }
  static void set_int(LWControlID c, int tag, int value) {
    LWValue v = int_value(value);
    c->set(c, tag, &v);
  }
  static void set_ptr(LWControlID c, int tag, void *value) {
    LWValue v = int_value(0);
    v.ptr.ptr = value;
    c->set(c, tag, &v);
  }

  hvhost::Host host_;
};

}  // namespace hvtest
