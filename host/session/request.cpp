#include "session/request.h"

#include "model/host.h"

namespace hvhost {

namespace {

struct HotSink {
  ColorOutcome *outcome;
  const HotObserver *observer;
  bool keep;
};

void hot_callback(void *data, float red, float green, float blue) {
  if (!data) return;
  HotSink *sink = static_cast<HotSink *>(data);
  const HotColor c{red, green, blue};
  if (sink->keep) sink->outcome->hot.push_back(c);
  if (*sink->observer) (*sink->observer)(c);
}

// One activation, traced: "call.activate V" before, "return.activate R"
// after.
int activate_traced(const ServerRecord &server, int version, void *request) {
  Host *host = Host::current();
  if (host) host->trace().record(Op::kCallActivate, nullptr, "", {version});
  const int status = server.activate(version, Host::lookup_function(), request, nullptr);
  if (host) host->trace().record(Op::kReturnActivate, nullptr, "", {status});
  return status;
}

}  // namespace

ColorOutcome run_color_request(const ServerRecord &server, const AskedColor &asked,
                               const HotObserver &on_hot) {
  ColorOutcome outcome;
  HotSink sink{&outcome, &on_hot, asked.keep_hot};
  LWColorPickLocal6 record{};
  record.colorSpace = asked.color_space.c_str();
  LWColorPickLocal &request = record.v4;
  request.result = asked.result;
  request.title = asked.title ? asked.title->c_str() : nullptr;
  request.red = asked.red;
  request.green = asked.green;
  request.blue = asked.blue;
  request.data = asked.hot_callback ? &sink : nullptr;
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
  return outcome;
}

}  // namespace hvhost
