// The last line of defence before an edited scene is written: does the list
// hold exactly what the run meant to add, and nothing that breaks the scene?
#ifndef GRAFTLING_COPY_EDIT_CHECK_H_
#define GRAFTLING_COPY_EDIT_CHECK_H_

#include <vector>

#include "scene/scene_lines.h"

namespace graftling {

// What a run did: the picked object's line and its copy, every other saved
// item line it copied with the first line of that copy, and the item lines it
// reported as not copyable.
struct CopyLog {
  struct Copy {
    const SceneLine* source;
    const SceneLine* copy;
  };
  const SceneLine* root = nullptr;
  const SceneLine* rootCopy = nullptr;
  std::vector<Copy> copies;
  std::vector<const SceneLine*> reported;
};

// True when the edited list, whose new lines carry `inserted`, keeps the
// saved scene whole: no new line inside a saved item's block (its line to its
// end line, a light's settings lines included), every saved object keeps its
// number, each copy holds one item line, its first, and hangs where the run
// meant it to, and every saved item below the picked object was copied or
// reported, or lies below one that was reported. Reads the list as the copy
// left it, classified; linear.
bool checkCopiedScene(const SceneLines& lines, const CopyLog& log);

}  // namespace graftling

#endif  // GRAFTLING_COPY_EDIT_CHECK_H_
