// One save, edit and load cycle of the host's scene through a temporary file.
#ifndef GRAFTLING_COPY_SCENE_EXCHANGE_H_
#define GRAFTLING_COPY_SCENE_EXCHANGE_H_

#include "host/host_services.h"

namespace graftling {

// Has the host save its scene to tempFileName (an existing, empty file of
// ours), copies item's branch in it and has the host load the result under
// the scene's own name. The host is asked to load only after a complete
// write, and every other end shows why. The temporary file is deleted on
// every path. 1 when it went through.
int exchangeScene(const LayoutGeneric* local, const char* tempFileName, LWItemID item);

}  // namespace graftling

#endif  // GRAFTLING_COPY_SCENE_EXCHANGE_H_
