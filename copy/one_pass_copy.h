// The branch copy in one pass, from the description a scene's reader gives:
// every format's copy where the scene is laid out as Layout writes it, with
// the same result, messages and text as the step-by-step copy of formats 1
// and 2.
#ifndef GRAFTLING_COPY_ONE_PASS_COPY_H_
#define GRAFTLING_COPY_ONE_PASS_COPY_H_

#include <cstddef>

#include "copy/copy_log.h"
#include "scene/scene_format.h"
#include "scene/scene_lines.h"

namespace graftling {

// Whether the step-by-step copy's searches and anchors provably behave simply
// on a scene of format 1 or 2: every object line stands at or before the
// object-section anchor, and a light stands between the two anchors. Then no
// copy ever moves an anchor, renumbers a saved object or is found as a child
// that the copy takes.
bool isRegularLayout(const SceneDescription& scene);

// Copies the branch of the object item root of scene, the description of
// lines that reader gave: the picked object, then depth first each item's
// children in file order, each saved item once. Builds the object and light
// copies apart, points their references into the branch at the copies (the
// picked object's own parent line stays), and links each kind's run at its
// place in one step. 1 on success; 0 after an error has been shown. Throws
// std::bad_alloc when storage runs out after the first copies were made.
int copyInOnePass(SceneLines& lines, const SceneReader& reader, const SceneDescription& scene,
                  std::size_t root, CopyLog& log);

}  // namespace graftling

#endif  // GRAFTLING_COPY_ONE_PASS_COPY_H_
