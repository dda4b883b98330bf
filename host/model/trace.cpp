#include "model/trace.h"

#include <algorithm>
#include <utility>

namespace hvhost {

std::string_view op_name(Op op) {
  switch (op) {
    case Op::kLookup: return "lookup";
    case Op::kPanelCreate: return "panel.create";
    case Op::kPanelDestroy: return "panel.destroy";
    case Op::kPanelOpen: return "panel.open";
    case Op::kPanelDraw: return "panel.draw";
    case Op::kPanelClose: return "panel.close";
    case Op::kPanelGet: return "panel.get";
    case Op::kPanelSet: return "panel.set";
    case Op::kPanelHandle: return "panel.handle";
    case Op::kControlAdd: return "control.add";
    case Op::kControlNext: return "control.next";
    case Op::kControlDraw: return "control.draw";
    case Op::kControlGet: return "control.get";
    case Op::kControlSet: return "control.set";
    case Op::kDrawPixel: return "panel.draw_pixel";
    case Op::kDrawRgbPixel: return "panel.draw_rgb_pixel";
    case Op::kDrawLine: return "panel.draw_line";
    case Op::kDrawBox: return "panel.draw_box";
    case Op::kDrawRgbBox: return "panel.draw_rgb_box";
    case Op::kDrawBorder: return "panel.draw_border";
    case Op::kTextWidth: return "panel.text_width";
    case Op::kDrawText: return "panel.draw_text";
    case Op::kDisplayMetrics: return "panel.display_metrics";
    case Op::kRasterCreate: return "raster.create";
    case Op::kRasterDestroy: return "raster.destroy";
    case Op::kRasterPixel: return "raster.pixel";
    case Op::kRasterRgbPixel: return "raster.rgb_pixel";
    case Op::kRasterLine: return "raster.line";
    case Op::kRasterBox: return "raster.box";
    case Op::kRasterRgbBox: return "raster.rgb_box";
    case Op::kRasterEraseBox: return "raster.erase_box";
    case Op::kRasterBorder: return "raster.border";
    case Op::kRasterText: return "raster.text";
    case Op::kRasterBlit: return "raster.blit";
    case Op::kRasterBlitRaster: return "raster.blit_raster";
    case Op::kHotCallback: return "hot";
    case Op::kCallOpened: return "call.opened";
    case Op::kCallDraw: return "call.draw";
    case Op::kCallMouseButton: return "call.mouse_button";
    case Op::kCallMouseMove: return "call.mouse_move";
    case Op::kCallKeyDown: return "call.key_down";
    case Op::kCallKeyUp: return "call.key_up";
    case Op::kCallControlEvent: return "call.control_event";
    case Op::kCallActivate: return "call.activate";
    case Op::kReturnActivate: return "return.activate";
    case Op::kCallShutdown: return "call.shutdown";
    case Op::kDesktopHookRemoved: return "desktop.hook_removed";
    case Op::kCount: break;
  }
  return "?";
}

namespace {

// Appends to a fixed buffer, cutting short what does not fit; no
// allocation, so a signal handler may use it.
struct Appender {
  char *buf;
  size_t size;
  size_t n = 0;
  void add(std::string_view s) {
    for (char c : s) {
      if (n == size) return;
      buf[n++] = c;
    }
  }
  void add_number(int64_t v) {
    char digits[24];
    size_t d = 0;
    uint64_t u = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    do {
      digits[d++] = static_cast<char>('0' + u % 10);
      u /= 10;
    } while (u != 0);
    if (v < 0) add("-");
    while (d > 0) add(std::string_view(&digits[--d], 1));
  }
};

}  // namespace

size_t TraceEntry::format(char *buf, size_t size) const {
  Appender out{buf, size};
  out.add(op_name(op));
  // The string names the object ("control.add MiniRGBControl 5,22,0"),
  // except for a title or a text, which is the value set or drawn
  // ("panel.set 11 Spoit", "raster.text 4139,2,3 255").
  const bool text_last =
      op == Op::kPanelSet || op == Op::kTextWidth || op == Op::kDrawText || op == Op::kRasterText;
  const auto numbers = [&] {
    if (arg_count == 0) return;
    out.add(" ");
    for (int i = 0; i < arg_count; ++i) {
      if (i) out.add(",");
      out.add_number(args[i]);
    }
  };
  if (text_last) numbers();
  if (!text.empty()) {
    out.add(" ");
    out.add(text);
  }
  if (!text_last) numbers();
  switch (status) {
    case CallStatus::kOk: break;
    case CallStatus::kFailed: out.add(" [failed]"); break;
    case CallStatus::kBadHandle: out.add(" [bad handle]"); break;
    case CallStatus::kMisuse: out.add(" [misuse]"); break;
  }
  return out.n;
}

std::string TraceEntry::to_string() const {
  char small[256];
  const size_t need = 128 + text.size();
  if (need <= sizeof small) return std::string(small, format(small, sizeof small));
  std::string s(need, '\0');
  s.resize(format(s.data(), s.size()));
  return s;
}

CallCounts CallCounts::operator-(const CallCounts &earlier) const {
  CallCounts d;
  for (int i = 0; i < kOpCount; ++i) d.n[i] = n[i] - earlier.n[i];
  return d;
}

CallTrace::CallTrace() {
  record_.fill(true);
  record_[static_cast<int>(Op::kDrawPixel)] = false;
  record_[static_cast<int>(Op::kDrawRgbPixel)] = false;
  record_[static_cast<int>(Op::kRasterPixel)] = false;
  record_[static_cast<int>(Op::kRasterRgbPixel)] = false;
  update_active();
}

void CallTrace::update_active() {
  const bool somewhere = window_ > 0 || sink_ != nullptr;
  for (size_t i = 0; i < record_.size(); ++i) active_[i] = record_[i] && somewhere;
}

void CallTrace::set_recording(Op op, bool on) {
  record_[static_cast<int>(op)] = on;
  update_active();
}

void CallTrace::set_recording_all(bool on) {
  record_.fill(on);
  update_active();
}

void CallTrace::set_window(size_t max_entries) {
  window_ = max_entries;
  while (entries_.size() > window_) entries_.pop_front();
  update_active();
}

void CallTrace::set_sink(TraceSink *sink) {
  busy_ = busy_ + 1;
  sink_ = sink;
  busy_ = busy_ - 1;
  update_active();
}

void CallTrace::keep(Op op, const void *handle, std::string_view text,
                     std::initializer_list<int64_t> args, CallStatus status) {
  busy_ = busy_ + 1;
  // The newest entry is built in the window even when it keeps none.
  const size_t room = std::max<size_t>(window_, 1);
  while (entries_.size() >= room) entries_.pop_front();
  TraceEntry &e = entries_.emplace_back();
  e.op = op;
  e.status = status;
  e.handle = handle;
  e.text = text;
  for (int64_t a : args) {
    if (e.arg_count == static_cast<int>(e.args.size())) break;
    e.args[e.arg_count++] = a;
  }
  if (sink_) sink_->write(e);
  if (window_ == 0) entries_.clear();
  busy_ = busy_ - 1;
}

std::vector<TraceEntry> CallTrace::entries(Op op) const {
  std::vector<TraceEntry> out;
  for (const TraceEntry &e : entries_)
    if (e.op == op) out.push_back(e);
  return out;
}

std::vector<std::string> CallTrace::lines() const {
  std::vector<std::string> out;
  out.reserve(entries_.size());
  for (const TraceEntry &e : entries_) out.push_back(e.to_string());
  return out;
}

void CallTrace::clear() {
  busy_ = busy_ + 1;
  counts_ = CallCounts{};
  entries_.clear();
  problems_.clear();
  problem_count_ = 0;
  busy_ = busy_ - 1;
}

void CallTrace::fail_nth(FailPoint point, int n) {
  fail_countdown_[static_cast<int>(point)].arm(n);
}

bool CallTrace::should_fail(FailPoint point) {
  return fail_countdown_[static_cast<int>(point)].fire();
}

bool CallTrace::failure_pending(FailPoint point) const {
  return fail_countdown_[static_cast<int>(point)].pending();
}

void CallTrace::note_problem(std::string text) {
  busy_ = busy_ + 1;
  ++problem_count_;
  if (problems_.size() < 100) problems_.push_back(std::move(text));
  busy_ = busy_ - 1;
}

}  // namespace hvhost
