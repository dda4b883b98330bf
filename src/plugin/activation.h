// The host's entry into the plug-in.
#pragma once

#include "abi/host_api.h"

extern "C" int picker_activate(int version, GlobalFunc global, void *local, void *server_data);
