#include "host/service_slots.h"

namespace graftling {

ServiceSlots gServices;

void showError(const char* first, const char* second) {
  if (gServices.messages != nullptr && gServices.messages->error != nullptr) {
    gServices.messages->error(first, second);
  }
}

}  // namespace graftling
