// The branch copy for scenes laid out as Layout writes them: one pass over the
// list, with the same result, messages and text as the step-by-step copy.
#ifndef GRAFTLING_COPY_ONE_PASS_COPY_H_
#define GRAFTLING_COPY_ONE_PASS_COPY_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "copy/edit_check.h"
#include "scene/scene_format.h"
#include "scene/scene_lines.h"

namespace graftling {

// A scene in which the step-by-step copy's searches and anchors provably
// behave simply: every object line stands before the object-section anchor,
// the parent line of every item before the light-section anchor has a value,
// and a light stands between the two anchors. Then no copy ever moves an
// anchor, renumbers a saved object or is found as a child that the copy takes.
struct RegularLayout {
  struct Item {
    SceneLine* line;
    SceneLine* last;    // its block's last line
    SceneLine* parent;  // its block's "ParentObject" line, or null
  };
  SceneLine* objectAnchor;
  SceneLine* lightAnchor;    // also the end of every child search
  std::vector<Item> items;   // the object and light lines before the light anchor, in list order
  std::int32_t objectCount;  // object lines of the list
};

// The layout of a classified list, or none when it is not regular.
std::optional<RegularLayout> readRegularLayout(const SceneLines& lines);

// Copies the branch of rootLine (an object line of layout) exactly as the
// step-by-step copy would: copies, their order and numbers, messages, and the
// log. Builds the object and light copies apart and links each run at its
// anchor in one step. 1 on success; 0 after an error has been shown.
int copyInOnePass(SceneLines& lines, const RegularLayout& layout, const SceneFormat& format,
                  SceneLine* rootLine, CopyLog& log);

}  // namespace graftling

#endif  // GRAFTLING_COPY_ONE_PASS_COPY_H_
