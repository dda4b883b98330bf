#include "base/alloc.h"

#include <stdlib.h>

#ifdef HUEVANE_TEST_HOOKS

#include "base/fail_countdown.h"

static FailCountdown g_fail_allocation;

void *plugin_malloc(size_t size) { return g_fail_allocation.fire() ? nullptr : malloc(size); }

void *plugin_calloc(size_t count, size_t size) {
  return g_fail_allocation.fire() ? nullptr : calloc(count, size);
}

// A negative count disarms, as 0 does: no allocation is made to fail for good.
void plugin_fail_allocation(int nth) { g_fail_allocation.arm(nth < 0 ? 0 : nth); }

bool plugin_allocation_failure_pending(void) { return g_fail_allocation.pending(); }

#else

void *plugin_malloc(size_t size) { return malloc(size); }

void *plugin_calloc(size_t count, size_t size) { return calloc(count, size); }

#endif
