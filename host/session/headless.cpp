#include "session/headless.h"

namespace hvhost {

namespace {

// The configured actions in order, read in place.
class ListInput : public InputDriver {
 public:
  explicit ListInput(const std::vector<Action> &actions) : actions_(actions) {}
  std::optional<Action> next(Host &) override {
    if (next_ == actions_.size()) return std::nullopt;
    return actions_[next_++];
  }
  size_t remaining() const { return actions_.size() - next_; }

 private:
  const std::vector<Action> &actions_;
  size_t next_ = 0;
};

}  // namespace

int run_headless(const SessionConfig &config, std::ostream &out, std::ostream &err) {
  Session session(config, out, err);
  if (const int code = session.load_module()) return code;
  if (const int code = session.start_host()) return code;
  ListInput input(config.actions);
  session.report(session.request(input));
  return session.finish({}, input.remaining());
}

}  // namespace hvhost
