// Line classification by leading keyword, and object numbering.
#ifndef GRAFTLING_SCENE_LINE_KIND_H_
#define GRAFTLING_SCENE_LINE_KIND_H_

#include <cstdint>
#include <string_view>

#include "scene/scene_lines.h"

namespace graftling {

// The one keyword comparison: exact, case-sensitive prefix match.
// Note the sense: 0 when text begins with keyword, 1 otherwise.
inline int startsWith(std::string_view text, std::string_view keyword) {
  return text.substr(0, keyword.size()) == keyword ? 0 : 1;
}

// Sets the kind of a line that is not the last, and numbers it when it is
// an object line.
void classifyLine(SceneLine& line, std::int32_t& nextObjectNumber);

// Sets the kind of every line but the last and numbers the object lines from
// 1 in list order. Stores one more than the object count in nextObjectNumber
// and returns it.
std::int32_t classifyLines(SceneLines& list);

}  // namespace graftling

#endif  // GRAFTLING_SCENE_LINE_KIND_H_
