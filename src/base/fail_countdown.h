// A failure countdown for fault injection: armed with n, the nth check from
// then on fails. Header-only and free of any other dependency, so that the
// plug-in's allocator and the reference host's fault points share it.
#pragma once

struct FailCountdown {
  int remaining = 0;  // > 0: checks left until the failing one; < 0: every check fails; 0: off

  // n > 0: the nth check from now fails, once; n < 0: every check fails;
  // n == 0: none does.
  void arm(int n) { remaining = n; }

  // Armed for a later check that has not come yet: a sweep that arms the
  // nth check and finds this still true after a run knows the run made
  // fewer than n checks, so no failure fired.
  bool pending() const { return remaining > 0; }

  // One check: true when this one is to fail.
  bool fire() {
    if (remaining < 0) return true;
    if (remaining == 0) return false;
    return --remaining == 0;
  }
};
