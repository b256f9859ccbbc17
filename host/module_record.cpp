// The record the host reads when it loads graftling.p: the module's only export.
#include "host/activation.h"
#include "host/host_services.h"

namespace {

void* startup() { return reinterpret_cast<void*>(static_cast<intptr_t>(4)); }

void shutdown(void*) {}

ServerRecord gServers[] = {
    {"LayoutGeneric", "graftling", graftling::activate},
    {nullptr, nullptr, nullptr},
};

}  // namespace

extern "C" {

#if defined(_WIN32)
#define GRAFTLING_EXPORT
#else
#define GRAFTLING_EXPORT __attribute__((visibility("default")))
#endif

GRAFTLING_EXPORT ModuleDescriptor _mod_descrip = {
    GRAFTLING_MODULE_SYNC, GRAFTLING_MODULE_VERSION, GRAFTLING_MODULE_MACHINE, startup, shutdown, gServers,
};

}  // extern "C"
