#include "session/request.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <typeinfo>

#if defined(__GNUC__)
#include <cxxabi.h>

#include <cstdlib>
#endif

#include "model/host.h"

namespace hvhost {

namespace {

struct HotSink {
  ColorOutcome *outcome;
  const HotObserver *observer;
  bool keep;
  // A colour that is not finite is the plug-in's fault only when it was
  // asked for a finite one.
  bool asked_finite;
};

// The hot callback's data pointer of a request is a token: one byte of
// this array, a different one for each of the last 256 requests, so that a
// request that has ended cannot be mistaken for the one now open (the
// stack may put both requests' records at one address). The token is
// compared, never followed.
char g_tokens[256];
unsigned g_requests = 0;

// The request whose activation runs now, and its token.
const HotSink *g_open_request = nullptr;
const void *g_open_token = nullptr;

void note_problem(const std::string &text) {
  if (Host *h = Host::current()) h->trace().note_problem(text);
}

std::string colour_text(float r, float g, float b) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.9g %.9g %.9g", static_cast<double>(r), static_cast<double>(g),
                static_cast<double>(b));
  return buf;
}

bool finite(float r, float g, float b) {
  return std::isfinite(r) && std::isfinite(g) && std::isfinite(b);
}

// Each call of a hot callback, in the trace as "hot R G B" with the data
// pointer it carried.
void trace_hot(const void *data, float red, float green, float blue) {
  Host *h = Host::current();
  if (!h) return;
  if (h->trace().recording(Op::kHotCallback))
    h->trace().record(Op::kHotCallback, data, colour_text(red, green, blue), {});
  else
    h->trace().tally(Op::kHotCallback);
}

void hot_callback(void *data, float red, float green, float blue) {
  trace_hot(data, red, green, blue);
  if (!data || data != g_open_token || !g_open_request) {
    note_problem("hot callback outside an open request (" + colour_text(red, green, blue) +
                 "): ignored");
    return;
  }
  if (g_open_request->asked_finite && !finite(red, green, blue))
    note_problem("hot callback with a colour that is not finite (" + colour_text(red, green, blue) +
                 ")");
  const HotSink *sink = g_open_request;
  const HotColor c{red, green, blue};
  if (sink->keep) sink->outcome->hot.push_back(c);
  if (*sink->observer) (*sink->observer)(c);
}

// "std::runtime_error", the type of the exception being handled.
std::string current_exception_type() {
#if defined(__GNUC__)
  const std::type_info *type = abi::__cxa_current_exception_type();
  if (!type) return "of an unknown type";
  int status = 0;
  char *name = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
  std::string out = status == 0 && name ? name : type->name();
  std::free(name);
  return out;
#else
  return "of an unknown type";
#endif
}

// ---- The request records ------------------------------------------------------
// Each request gets a record of its own, the next of a ring, so that a
// pointer to an ended request's record is not the open one's; once the
// request is over its record is poisoned: its hot callback reports the call
// and passes nothing on, its data and strings say what it is. A poisoned
// record that has changed by the next request, or by the end of the run,
// was written through a kept pointer.
constexpr size_t kRecordRing = 16;
LWColorPickLocal6 g_records[kRecordRing];
bool g_record_ended[kRecordRing];
size_t g_next_record = 0;
char g_ended_token;
const char kEndedText[] = "(the record of an ended request)";

void ended_hot_callback(void *data, float red, float green, float blue) {
  trace_hot(data, red, green, blue);
  note_problem("hot callback through the record of an ended request (" +
               colour_text(red, green, blue) + "): ignored");
}

// The poisoned image every ended record holds, padding included.
const LWColorPickLocal6 &poisoned_record() {
  static const LWColorPickLocal6 image = [] {
    LWColorPickLocal6 r;
    std::memset(&r, 0, sizeof r);
    r.v4.result = -1;
    r.v4.title = kEndedText;
    r.v4.red = r.v4.green = r.v4.blue = std::nanf("");
    r.v4.data = &g_ended_token;
    r.v4.hotFunc = &ended_hot_callback;
    r.colorSpace = kEndedText;
    return r;
  }();
  return image;
}

// Notes each ended record that no longer holds its poison, once.
void check_ended_records() {
  for (size_t i = 0; i < kRecordRing; ++i) {
    if (!g_record_ended[i] ||
        std::memcmp(&g_records[i], &poisoned_record(), sizeof g_records[i]) == 0)
      continue;
    note_problem(
        "the record of an ended request was written after the request (a kept request "
        "pointer)");
    std::memcpy(&g_records[i], &poisoned_record(), sizeof g_records[i]);
  }
}

// Poisons the record when the request is over, however it ends.
struct RecordLease {
  RecordLease() : index(g_next_record++ % kRecordRing) {
    check_ended_records();
    g_record_ended[index] = false;
    std::memset(&g_records[index], 0, sizeof g_records[index]);
  }
  ~RecordLease() {
    std::memcpy(&g_records[index], &poisoned_record(), sizeof g_records[index]);
    g_record_ended[index] = true;
  }
  LWColorPickLocal6 &record() const { return g_records[index]; }
  size_t index;
};

// Restores the open request of an enclosing activation.
struct OpenRequest {
  explicit OpenRequest(const HotSink *sink)
      : previous(g_open_request), previous_token(g_open_token) {
    g_open_request = sink;
    g_open_token = &g_tokens[g_requests++ % sizeof g_tokens];
  }
  ~OpenRequest() {
    g_open_request = previous;
    g_open_token = previous_token;
  }
  const HotSink *previous;
  const void *previous_token;
};

// One activation, traced: "call.activate V" before, "return.activate R"
// after. An exception out of it other than std::bad_alloc becomes a
// PluginException.
int activate_traced(const ServerRecord &server, int version, void *request) {
  Host *host = Host::current();
  if (host) host->trace().record(Op::kCallActivate, nullptr, "", {version});
  int status = AFUNC_BADVERSION;
  try {
    status = server.activate(version, Host::lookup_function(), request, nullptr);
  } catch (const std::bad_alloc &) {
    throw;  // the host's own, or the plug-in's: out of memory either way
  } catch (const std::exception &e) {
    throw PluginException("an exception it did not catch (" + current_exception_type() + ": " +
                          e.what() + ")");
  } catch (...) {
    throw PluginException("an exception it did not catch (" + current_exception_type() + ")");
  }
  if (host) host->trace().record(Op::kReturnActivate, nullptr, "", {status});
  return status;
}

}  // namespace

ColorOutcome run_color_request(const ServerRecord &server, const AskedColor &asked,
                               const HotObserver &on_hot) {
  ColorOutcome outcome;
  const bool asked_finite = finite(asked.red, asked.green, asked.blue);
  HotSink sink{&outcome, &on_hot, asked.keep_hot, asked_finite};
  RecordLease lease;
  LWColorPickLocal6 &record = lease.record();
  record.colorSpace = asked.color_space.c_str();
  LWColorPickLocal &request = record.v4;
  request.result = asked.result;
  request.title = asked.title ? asked.title->c_str() : nullptr;
  request.red = asked.red;
  request.green = asked.green;
  request.blue = asked.blue;
  OpenRequest open(&sink);
  request.data = asked.hot_callback ? const_cast<void *>(g_open_token) : nullptr;
  request.hotFunc = asked.hot_callback ? &hot_callback : nullptr;
  // An attempt served the request when it opened a panel or wrote the
  // request's result, whatever it answered.
  const auto attempt = [&](int version) {
    Host *host = Host::current();
    const uint64_t opens = host ? host->trace().count(Op::kPanelOpen) : 0;
    const int result_before = request.result;
    outcome.status = activate_traced(server, version, &record);
    outcome.attempts.push_back({version, outcome.status});
    outcome.served =
        request.result != result_before || (host && host->trace().count(Op::kPanelOpen) != opens);
  };
  if (!server.activate) {
    outcome.status = AFUNC_BADVERSION;
  } else if (asked.version != 0) {
    attempt(asked.version);
  } else {
    for (int version : kOfferedVersions) {
      attempt(version);
      if (outcome.status != AFUNC_BADVERSION) break;
    }
  }
  if (outcome.served && outcome.status != AFUNC_OK)
    note_problem("the plug-in served the request (result " + std::to_string(request.result) +
                 ") but its activation returned " + std::to_string(outcome.status) +
                 ", not 0 (AFUNC_OK): a host takes any other answer as not served and may "
                 "show its own requester");
  // Our hosts lay out the request as version 4's (and version 6's colour
  // space after it); a picker served at another version reads a record
  // they cannot vouch for.
  if (outcome.status == AFUNC_OK && !outcome.attempts.empty() &&
      outcome.attempts.back().version != LWCOLORPICK_VERSION)
    note_problem("the plug-in served class version " +
                 std::to_string(outcome.attempts.back().version) +
                 ", whose request these hosts do not lay out as the real host does (they follow "
                 "version " +
                 std::to_string(LWCOLORPICK_VERSION) +
                 "): a version-4 picker answers 1 (AFUNC_BADVERSION) to it");
  outcome.result = request.result;
  outcome.red = request.red;
  outcome.green = request.green;
  outcome.blue = request.blue;
  if (asked_finite && !finite(request.red, request.green, request.blue))
    note_problem("the request's colour is not finite after the activation (" +
                 colour_text(request.red, request.green, request.blue) + ")");
  return outcome;
}

void check_ended_requests() { check_ended_records(); }

}  // namespace hvhost
