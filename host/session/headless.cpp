#include "session/headless.h"

#include "session/action_feed.h"

namespace hvhost {

int run_headless(const SessionConfig &config, std::ostream &out, std::ostream &err) {
  Session session(config, out, err);
  if (const int code = session.load_module()) return code;
  if (const int code = session.start_host()) return code;
  ActionQueue input(config.actions);
  input.set_source(config.script_path);
  for (int i = 0; i < config.repeat; ++i) {
    session.report(session.request(input));
    if (session.host().aborted()) break;
  }
  return session.finish({}, input.remaining());
}

}  // namespace hvhost
