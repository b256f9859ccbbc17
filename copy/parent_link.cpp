#include "copy/parent_link.h"

#include <charconv>
#include <new>
#include <string>

#include "scene/line_kind.h"
#include "scene/scene_queries.h"

namespace graftling {

bool setParentNumber(SceneLine* copyLine, std::int32_t newParent, std::string_view lineEnd) {
  SceneLine* end = copyLine->kind == KindObject ? objectBlockEnd(copyLine) : lightBlockEnd(copyLine);
  if (end == nullptr) return true;
  SceneLine* parent = findParentLine(copyLine, end);
  if (parent == nullptr) return true;
  return replaceLineValue(parent, newParent, lineEnd);
}

bool replaceLineValue(SceneLine* line, std::int32_t number, std::string_view lineEnd) {
  std::size_t space = line->text.find(' ');
  if (space == std::string::npos) return true;
  char digits[16];
  std::to_chars_result formatted = std::to_chars(digits, digits + sizeof digits, number);
  std::string_view kept = std::string_view(line->text).substr(0, space + 1);
  try {
    std::string replacement;
    replacement.reserve(kept.size() + static_cast<std::size_t>(formatted.ptr - digits) + lineEnd.size());
    replacement.append(kept).append(digits, formatted.ptr).append(lineEnd);
    line->text.swap(replacement);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace graftling
