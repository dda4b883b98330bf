// The record of what the plug-in asked of the host: a counter per operation
// (always on), the calls themselves as entries (switchable per operation,
// since the per-pixel calls run to the hundred thousand), the callbacks the
// host made into the plug-in, misuse of the interface, and failure
// injection.
//
// Memory stays bounded however long the host runs: counts are fixed in
// size, only a window of the most recent entries is kept in memory, and the
// full list of calls goes to a sink (the --trace file) as they happen.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "base/fail_countdown.h"

namespace hvhost {

enum class Op : int {
  // Calls from the plug-in.
  kLookup,
  kPanelCreate,
  kPanelDestroy,
  kPanelOpen,
  kPanelDraw,
  kPanelClose,
  kPanelGet,
  kPanelSet,
  kPanelHandle,
  kControlAdd,
  kControlNext,
  kControlDraw,
  kControlGet,
  kControlSet,
  kDrawPixel,
  kDrawRgbPixel,
  kDrawLine,
  kDrawBox,
  kDrawRgbBox,
  kDrawBorder,
  kTextWidth,
  kDrawText,
  kDisplayMetrics,
  kRasterCreate,
  kRasterDestroy,
  kRasterPixel,
  kRasterRgbPixel,
  kRasterLine,
  kRasterBox,
  kRasterRgbBox,
  kRasterEraseBox,
  kRasterBorder,
  kRasterText,
  kRasterBlit,
  kRasterBlitRaster,
  kHotCallback,  // the request's hot callback: "hot R G B"
  // Calls from the host into the plug-in.
  kCallOpened,
  kCallDraw,
  kCallMouseButton,
  kCallMouseMove,
  kCallKeyDown,
  kCallKeyUp,
  kCallControlEvent,
  kCallActivate,    // the host activates a server: the class version offered
  kReturnActivate,  // ... and what it answered
  kCallShutdown,    // the host unloads the module: its shutdown function
  // The desktop.
  kDesktopHookRemoved,  // the system dropped a hook that kept input waiting
  kCount
};

inline constexpr int kOpCount = static_cast<int>(Op::kCount);

// "lookup", "panel.set", "raster.rgb_pixel", "call.draw", ...
std::string_view op_name(Op op);

enum class CallStatus : uint8_t {
  kOk,
  kFailed,     // made to fail by failure injection
  kBadHandle,  // a panel, control or raster handle the host does not know
  kMisuse,     // wrong value type, open of an open panel, ...
};

struct TraceEntry {
  Op op = Op::kLookup;
  CallStatus status = CallStatus::kOk;
  const void *handle = nullptr;  // the panel, control or raster concerned
  std::string text;              // string argument: global name, type name, title
  int arg_count = 0;
  std::array<int64_t, 8> args{};

  int64_t arg(int i) const { return i >= 0 && i < arg_count ? args[i] : 0; }
  // "panel.set 12", "control.add MiniRGBControl 5,22,0", "lookup LWPanelServices".
  std::string to_string() const;
  // The same into buf (at most size bytes, no terminator, cut short when it
  // does not fit), without allocating: a crash report writes it from a
  // signal handler. Returns the bytes written.
  size_t format(char *buf, size_t size) const;
};

// Per-operation counts at one moment; subtract two to count what happened
// in between.
struct CallCounts {
  std::array<uint64_t, kOpCount> n{};
  uint64_t operator[](Op op) const { return n[static_cast<int>(op)]; }
  CallCounts operator-(const CallCounts &earlier) const;
};

// Receives every entry the trace keeps, in call order, as it is recorded
// (an entry is complete when recorded: a --trace file has each call before
// the plug-in gets control back).
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void write(const TraceEntry &entry) = 0;
};

// Entries kept in memory unless told otherwise: the most recent ones, enough
// for a test to read back what a few colour requests did (about 8 MB).
inline constexpr size_t kDefaultTraceWindow = 65536;

// The services that failure injection can make fail; each then returns null.
enum class FailPoint : int { kLookup, kPanelCreate, kControlAdd, kRasterCreate, kCount };

class CallTrace {
 public:
  CallTrace();

  // Counted always; kept as an entry when recording is on for the op and
  // the entry has somewhere to go (the window or a sink), and then passed
  // to the sink at once.
  void record(Op op, const void *handle, std::string_view text, std::initializer_list<int64_t> args,
              CallStatus status = CallStatus::kOk) {
    ++counts_.n[static_cast<int>(op)];
    last_op_ = static_cast<int>(op);
    if (recording(op)) keep(op, handle, text, args, status);
  }
  // Counts a call without an entry: for callers that found recording(op)
  // off and so skip building the entry's arguments.
  void tally(Op op) { ++counts_.n[static_cast<int>(op)]; }
  // Whether record() would keep an entry for op; lets callers skip building
  // arguments.
  bool recording(Op op) const { return active_[static_cast<int>(op)]; }

  // Entries are recorded for every operation except the per-pixel ones
  // (panel.draw_pixel, panel.draw_rgb_pixel, raster.pixel, raster.rgb_pixel)
  // until told otherwise.
  void set_recording(Op op, bool on);
  void set_recording_all(bool on);

  // How many of the most recent entries stay in memory (older ones are
  // dropped); kDefaultTraceWindow unless set; 0 keeps none.
  void set_window(size_t max_entries);
  size_t window() const { return window_; }
  // Every entry recorded from now on also goes to the sink (not owned;
  // null for none), whatever the window.
  void set_sink(TraceSink *sink);

  uint64_t count(Op op) const { return counts_.n[static_cast<int>(op)]; }
  const CallCounts &counts() const { return counts_; }
  // The entries in the window, oldest first.
  const std::deque<TraceEntry> &entries() const { return entries_; }
  // Entries in the window for op, in order.
  std::vector<TraceEntry> entries(Op op) const;
  // Every entry in the window as text, one per element.
  std::vector<std::string> lines() const;
  void clear();  // entries, counters and misuse notes (the sink has its entries)

  // The nth call from now (1 = the next) of the service fails, once; 0
  // disarms. Negative n: every call fails.
  void fail_nth(FailPoint point, int n);
  // Consulted by the service on each call.
  bool should_fail(FailPoint point);
  // Whether the armed nth call has not come yet.
  bool failure_pending(FailPoint point) const;

  // The operation recorded last (counted, whether kept or not), or
  // Op::kCount before any.
  Op last_op() const { return static_cast<Op>(last_op_); }
  // The newest entry kept, or null.
  const TraceEntry *newest() const { return entries_.empty() ? nullptr : &entries_.back(); }
  // True while the trace changes its entries, problems or sink (or writes
  // to the sink): a signal arriving then must not read them.
  bool busy() const { return busy_ != 0; }

  // Interface misuse and bad handles, as readable notes (the first 100).
  void note_problem(std::string text);
  const std::vector<std::string> &problems() const { return problems_; }
  uint64_t problem_count() const { return problem_count_; }

 private:
  void keep(Op op, const void *handle, std::string_view text, std::initializer_list<int64_t> args,
            CallStatus status);
  void update_active();

  CallCounts counts_;
  std::array<bool, kOpCount> record_{};  // what the owner asked for
  std::array<bool, kOpCount> active_{};  // ... and whether it has anywhere to go
  std::deque<TraceEntry> entries_;
  size_t window_ = kDefaultTraceWindow;
  TraceSink *sink_ = nullptr;
  std::array<FailCountdown, static_cast<int>(FailPoint::kCount)> fail_countdown_{};
  std::vector<std::string> problems_;
  uint64_t problem_count_ = 0;
  volatile int last_op_ = kOpCount;
  volatile int busy_ = 0;
};

}  // namespace hvhost
