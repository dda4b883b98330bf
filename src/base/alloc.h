// The plug-in's heap allocations go through here. Test builds
// (HUEVANE_TEST_HOOKS) can make the nth allocation fail to check that the
// plug-in survives it; the shipped module allocates straight from the heap
// and carries no countdown.
#pragma once

#include <stddef.h>

void *plugin_malloc(size_t size);
void *plugin_calloc(size_t count, size_t size);

#ifdef HUEVANE_TEST_HOOKS
// Makes the nth allocation from now fail (1 = the next one); 0 disarms.
void plugin_fail_allocation(int nth);
// Whether the armed allocation failure has not come yet.
bool plugin_allocation_failure_pending(void);
#endif
