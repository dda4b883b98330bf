// The exported module descriptor: one ColorPicker server named Huevane.
#include "abi/host_api.h"
#include "base/alloc.h"
#include "plugin/activation.h"

#ifdef _WIN32
#define HUEVANE_EXPORT __declspec(dllexport)
#else
#define HUEVANE_EXPORT __attribute__((visibility("default")))
#endif

namespace {

// Nonzero token; startup allocates nothing.
static void *module_startup(void) { return reinterpret_cast<void *>(static_cast<uintptr_t>(4)); }
static void module_shutdown(void *) {}

ServerTagInfo kTags[] = {
    {"Huevane", 0},
    {nullptr, 0},
};

ServerRecord kServers[] = {
    {LWCOLORPICK_HCLASS, "Huevane", picker_activate, kTags},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

extern "C" {
HUEVANE_EXPORT ModuleDescriptor _mod_descrip = {
    MOD_SYSSYNC, MOD_SYSVER, MOD_MACHINE, module_startup, module_shutdown, kServers,
};
}

#ifdef HUEVANE_TEST_HOOKS
// Lets the host's tests make the plug-in's nth allocation fail.
extern "C" HUEVANE_EXPORT void huevane_test_fail_allocation(int nth) {
  plugin_fail_allocation(nth);
}
// ... and whether that allocation has not come yet (1) or has (0).
extern "C" HUEVANE_EXPORT int huevane_test_allocation_failure_pending(void) {
  return plugin_allocation_failure_pending() ? 1 : 0;
}
#endif
