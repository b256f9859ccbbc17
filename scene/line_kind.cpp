#include "scene/line_kind.h"

namespace graftling {

namespace {

struct KeywordKind {
  std::string_view keyword;
  LineKind kind;
};

constexpr KeywordKind kKeywords[] = {
    {"LWSC", KindHeader},         {"AddNullObject", KindObject}, {"LoadObject", KindObject},
    {"AddLight", KindLight},      {"ShowCamera", KindCamera},    {"SolidBackdrop", KindBackdrop},
    {"RenderMode", KindRenderMode}, {"ViewMode", KindViewMode},
};

LineKind kindOf(std::string_view text) {
  // Every keyword begins with an upper-case letter from this set, so most
  // lines are settled by their first byte.
  if (text.empty()) return KindOther;
  switch (text[0]) {
    case 'L': case 'A': case 'S': case 'R': case 'V': break;
    default: return KindOther;
  }
  for (const KeywordKind& entry : kKeywords) {
    if (startsWith(text, entry.keyword) == 0) return entry.kind;
  }
  return KindOther;
}

}  // namespace

std::int32_t classifyLines(SceneLines& list) {
  std::int32_t counter = 1;
  for (SceneLine* line = list.head; line != nullptr && line->next != nullptr; line = line->next) {
    LineKind kind = kindOf(line->text);
    if (kind == KindObject) line->objectNumber = counter++;
    line->kind = kind;
  }
  list.nextObjectNumber = counter;
  return counter;
}

}  // namespace graftling
