// The activation entry of the "graftling" server.
#ifndef GRAFTLING_HOST_ACTIVATION_H_
#define GRAFTLING_HOST_ACTIVATION_H_

#include "host/host_services.h"

namespace graftling {

inline constexpr const char kPanelTitle[] = "Graftling  ver.1.0 beta          by KBZ";
inline constexpr const char kPickerLabel[] = "          parent Object ";

// Looks up the host services, lets the user pick an object in a panel and
// copies its branch. 1 when version is not 1, 2 when a service is missing,
// 0 otherwise. Never throws: a run stopped by an exception shows why,
// once "Info Messages" is found, and has the host load nothing.
int activate(long version, GlobalFunc global, void* local);

}  // namespace graftling

#endif  // GRAFTLING_HOST_ACTIVATION_H_
