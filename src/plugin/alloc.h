// The plug-in's heap allocations go through here, so that tests can make
// the Nth allocation fail and check that the plug-in survives it.
#pragma once

#include <stddef.h>

void *plugin_malloc(size_t size);
void *plugin_calloc(size_t count, size_t size);

// Makes the nth allocation from now fail (1 = the next one); 0 disarms.
void plugin_fail_allocation(int nth);
