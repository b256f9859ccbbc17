// The last line of defence before an edited scene is written: does the list
// hold exactly what the run meant to add, and nothing that breaks the scene?
#ifndef GRAFTLING_COPY_EDIT_CHECK_H_
#define GRAFTLING_COPY_EDIT_CHECK_H_

#include "copy/copy_log.h"
#include "scene/scene_format.h"
#include "scene/scene_lines.h"

namespace graftling {

// True when the edited list, whose new lines carry `inserted`, keeps the
// saved scene whole, as the scene's reader reads it twice on its own: once
// passing over the new lines, as the scene was saved, and once whole. Every
// saved item reads as it did, with its index and its block; no new line
// stands inside a block or a multi-line value; object copies stand together
// where the object section ends and light copies where the light section
// ends; each copy is its source block line for line, but for reference lines
// that name what their source names or, where the run copied that, its copy
// (the picked object's own parent line stays); every copy below the picked
// object hangs on a copy; no copy takes an index its identifier cannot hold;
// and every saved item below the picked object was copied or reported, or
// lies below one that was reported. Linear. saved, when given, is the
// reader's reading of the list before the run changed it, which the saved
// lines' reading would repeat.
bool checkCopiedScene(const SceneLines& lines, const SceneReader& reader, const CopyLog& log,
                      const SceneDescription* saved = nullptr);

}  // namespace graftling

#endif  // GRAFTLING_COPY_EDIT_CHECK_H_
