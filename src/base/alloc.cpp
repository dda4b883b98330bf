#include "base/alloc.h"

#include <stdlib.h>

#ifdef HUEVANE_TEST_HOOKS

static int g_fail_countdown = 0;

static bool allocation_should_fail() {
  if (g_fail_countdown <= 0) return false;
  return --g_fail_countdown == 0;
}

void *plugin_malloc(size_t size) { return allocation_should_fail() ? nullptr : malloc(size); }

void *plugin_calloc(size_t count, size_t size) {
  return allocation_should_fail() ? nullptr : calloc(count, size);
}

void plugin_fail_allocation(int nth) { g_fail_countdown = nth < 0 ? 0 : nth; }

#else

void *plugin_malloc(size_t size) { return malloc(size); }

void *plugin_calloc(size_t count, size_t size) { return calloc(count, size); }

#endif
