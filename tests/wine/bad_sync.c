/* A module whose descriptor has the wrong sync word: the host must refuse
   it before it calls anything in it. */
#include <stddef.h>

#include "abi/host_api.h"

static ServerRecord no_servers[1];

__declspec(dllexport) ModuleDescriptor _mod_descrip = {0x12345678u, 0, 0, NULL, NULL, no_servers};
