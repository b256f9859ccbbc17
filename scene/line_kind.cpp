#include "scene/line_kind.h"

namespace graftling {

namespace {

struct KeywordEntry {
  std::string_view text;
  Keyword keyword;
};

constexpr KeywordEntry kKeywords[] = {
    {"LWSC", Keyword::LWSC},
    {"AddNullObject", Keyword::AddNullObject},
    {"LoadObject", Keyword::LoadObject},
    {"AddLight", Keyword::AddLight},
    {"ShowCamera", Keyword::ShowCamera},
    {"SolidBackdrop", Keyword::SolidBackdrop},
    {"RenderMode", Keyword::RenderMode},
    {"ViewMode", Keyword::ViewMode},
    {"ParentObject", Keyword::ParentObject},
    {"ShadowOptions", Keyword::ShadowOptions},
    {"ShadowType", Keyword::ShadowType},
};

// The kind each keyword gives, in the order of Keyword.
constexpr LineKind kKindOf[] = {
    KindOther,    KindHeader,     KindObject,   KindObject, KindLight, KindCamera,
    KindBackdrop, KindRenderMode, KindViewMode, KindOther,  KindOther, KindOther,
};

}  // namespace

Keyword keywordOf(std::string_view text) {
  // Every keyword begins with an upper-case letter from this set, so most
  // texts are settled by their first byte.
  if (text.empty()) return Keyword::None;
  switch (text[0]) {
    case 'L':
    case 'A':
    case 'S':
    case 'R':
    case 'V':
    case 'P':
      break;
    default:
      return Keyword::None;
  }
  for (const KeywordEntry& entry : kKeywords) {
    if (startsWith(text, entry.text) == 0) return entry.keyword;
  }
  return Keyword::None;
}

void classifyLine(SceneLine& line, std::int32_t& nextObjectNumber) {
  // The text's keyword was found when the text was set; see LineText.
  LineKind kind = kKindOf[static_cast<int>(line.text.keyword())];
  if (kind == KindObject) line.objectNumber = nextObjectNumber++;
  line.kind = kind;
}

std::int32_t classifyLines(SceneLines& list) {
  std::int32_t counter = 1;
  for (SceneLine* line = list.head; line != nullptr && line->next != nullptr; line = line->next) {
    classifyLine(*line, counter);
  }
  list.nextObjectNumber = counter;
  return counter;
}

}  // namespace graftling
