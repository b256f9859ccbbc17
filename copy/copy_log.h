// What one run of the copy did, as the reference rewrite and the edit check
// read it.
#ifndef GRAFTLING_COPY_COPY_LOG_H_
#define GRAFTLING_COPY_COPY_LOG_H_

#include <vector>

#include "scene/scene_lines.h"

namespace graftling {

// What a run did: the picked object's line and its copy, every other saved
// item line it copied with the first line of that copy, the item lines it
// reported as not copyable, and the lines of its copies that name an object
// by number besides the parent line (see isReferenceLine), as copied.
struct CopyLog {
  struct Copy {
    const SceneLine* source;
    SceneLine* copy;
  };
  const SceneLine* root = nullptr;
  SceneLine* rootCopy = nullptr;
  std::vector<Copy> copies;
  std::vector<const SceneLine*> reported;
  std::vector<SceneLine*> references;
};

}  // namespace graftling

#endif  // GRAFTLING_COPY_COPY_LOG_H_
