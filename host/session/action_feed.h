// Script actions into the host: each action is resolved once, on the
// innermost open panel, into the user inputs it is made of
// (input/vocabulary.h), and those are delivered to the host's entry points
// one at a time as its modal loop asks. The windowed front end delivers the
// inputs its windows take in the same way.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "input/vocabulary.h"
#include "model/host.h"

namespace hvhost {

// The named places on the host's innermost open panel.
class HostPlaces : public PanelPlaces {
 public:
  explicit HostPlaces(const Host &host) : host_(host) {}
  std::optional<PlaceRect> find(Place place) const override;

 private:
  const Host &host_;
};

// Makes one input through the host's entry points; false with *error when
// the innermost open panel cannot take it (no panel, no editor, no OK or
// Cancel button, a snapshot that failed).
bool deliver(Host &host, const UserInput &input, std::string *error);

// Feeds actions to the host, one input at a time. The inputs of one action
// go to the panel the first went to, while it still takes input. An action
// that cannot be made stops the run with an error naming its line and the
// script (set_source).
class ActionFeed : public InputDriver {
 public:
  void set_source(std::string file) { source_ = std::move(file); }
  bool feed(Host &host) override;

 protected:
  // The next action, or nothing at the end (and ever after).
  virtual std::optional<Action> next_action(Host &host) = 0;

 private:
  std::string source_;
  Action current_;
  std::deque<UserInput> pending_;
  const Panel *target_ = nullptr;
};

// A fixed list of actions, performed in order.
class ActionQueue : public ActionFeed {
 public:
  ActionQueue() = default;
  explicit ActionQueue(std::vector<Action> actions);
  void push(Action a) { actions_.push_back(std::move(a)); }
  size_t remaining() const { return actions_.size(); }

 protected:
  std::optional<Action> next_action(Host &host) override;

 private:
  std::deque<Action> actions_;
};

// Asks a function for each action; lets a test look at the host between
// actions.
class CallbackDriver : public ActionFeed {
 public:
  using Func = std::function<std::optional<Action>(Host &)>;
  explicit CallbackDriver(Func f) : f_(std::move(f)) {}

 protected:
  std::optional<Action> next_action(Host &host) override;

 private:
  Func f_;
  bool ended_ = false;
};

}  // namespace hvhost
