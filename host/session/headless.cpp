#include "session/headless.h"

#include "session/action_feed.h"
#include "session/process_memory.h"

namespace hvhost {

int run_headless(const SessionConfig &config, std::ostream &out, std::ostream &err) {
  Session session(config, out, err);
  if (const int code = session.load_module()) return code;
  if (const int code = session.start_host()) return code;
  ActionQueue input(config.actions);
  input.set_source(config.script_path);
  // Repeated requests are watched for a plug-in that keeps what each one
  // allocated.
  LeakWatch leaks;
  for (int i = 0; i < config.repeat; ++i) {
    session.report(session.request(input));
    if (session.host().aborted()) break;
    if (config.repeat > 1) leaks.measure();
  }
  if (const std::string problem = leaks.problem(); !problem.empty())
    session.host().trace().note_problem(problem);
  return session.finish({}, input.remaining());
}

}  // namespace hvhost
