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

}  // namespace

ColorOutcome run_color_request(const ServerRecord &server, const AskedColor &asked,
                               const HotObserver &on_hot) {
  ColorOutcome outcome;
  HotSink sink{&outcome, &on_hot, asked.keep_hot};
  LWColorPickLocal request{};
  request.result = asked.result;
  request.title = asked.title ? asked.title->c_str() : nullptr;
  request.red = asked.red;
  request.green = asked.green;
  request.blue = asked.blue;
  request.data = asked.hot_callback ? &sink : nullptr;
  request.hotFunc = asked.hot_callback ? &hot_callback : nullptr;
  outcome.status = server.activate
                       ? server.activate(asked.version, Host::lookup_function(), &request, nullptr)
                       : 1;
  outcome.result = request.result;
  outcome.red = request.red;
  outcome.green = request.green;
  outcome.blue = request.blue;
  return outcome;
}

}  // namespace hvhost
