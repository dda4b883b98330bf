#include "session/request.h"

#include <cmath>
#include <cstdio>
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

void hot_callback(void *data, float red, float green, float blue) {
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
  LWColorPickLocal6 record{};
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
  if (!server.activate) {
    outcome.status = AFUNC_BADVERSION;
  } else if (asked.version != 0) {
    outcome.status = activate_traced(server, asked.version, &record);
    outcome.attempts.push_back({asked.version, outcome.status});
  } else {
    for (int version : kOfferedVersions) {
      outcome.status = activate_traced(server, version, &record);
      outcome.attempts.push_back({version, outcome.status});
      if (outcome.status != AFUNC_BADVERSION) break;
    }
  }
  outcome.result = request.result;
  outcome.red = request.red;
  outcome.green = request.green;
  outcome.blue = request.blue;
  if (asked_finite && !finite(request.red, request.green, request.blue))
    note_problem("the request's colour is not finite after the activation (" +
                 colour_text(request.red, request.green, request.blue) + ")");
  return outcome;
}

}  // namespace hvhost
