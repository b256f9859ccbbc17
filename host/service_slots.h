// Module-wide slots for the host services, filled by each activation and read
// by the scene exchange and the hierarchy copy during the same run.
#ifndef GRAFTLING_HOST_SERVICE_SLOTS_H_
#define GRAFTLING_HOST_SERVICE_SLOTS_H_

#include "host/host_services.h"

namespace graftling {

struct ServiceSlots {
  const MessageFuncs* messages = nullptr;
  const ItemInfo* itemInfo = nullptr;
  const ObjectInfo* objectInfo = nullptr;
  const SceneInfo* sceneInfo = nullptr;
};

extern ServiceSlots gServices;

// Shows an error through "Info Messages", first text then second.
void showError(const char* first, const char* second);

}  // namespace graftling

#endif  // GRAFTLING_HOST_SERVICE_SLOTS_H_
