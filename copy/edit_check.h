// The last line of defence before an edited scene is written: does the list
// hold exactly what the run meant to add, and nothing that breaks the scene?
#ifndef GRAFTLING_COPY_EDIT_CHECK_H_
#define GRAFTLING_COPY_EDIT_CHECK_H_

#include "copy/copy_log.h"
#include "scene/scene_lines.h"

namespace graftling {

// True when the edited list, whose new lines carry `inserted`, keeps the
// saved scene whole: no new line inside a saved item's block or a multi-line
// value, every saved object keeps its number, object copies stand together
// where the object section ends and light copies where the light section
// ends, each copy is its source block line for line with its parent and
// reference lines pointed as the run meant, and every saved item below the
// picked object was copied or reported, or lies below one that was reported.
// Reads the list as the copy left it, classified; linear.
bool checkCopiedScene(const SceneLines& lines, const CopyLog& log);

}  // namespace graftling

#endif  // GRAFTLING_COPY_EDIT_CHECK_H_
