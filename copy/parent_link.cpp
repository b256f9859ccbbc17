#include "copy/parent_link.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <optional>
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
  std::string_view text = line->text.view();
  std::size_t space = text.find(' ');
  if (space == std::string_view::npos) return true;
  char digits[16];
  std::to_chars_result formatted = std::to_chars(digits, digits + sizeof digits, number);
  std::string_view value(digits, static_cast<std::size_t>(formatted.ptr - digits));
  std::string_view kept = text.substr(0, space + 1);
  // Joined in automatic storage when it fits, as every parent line does.
  char joined[512];
  std::optional<LineText> replacement;
  if (kept.size() + value.size() + lineEnd.size() <= sizeof joined) {
    char* at = std::copy(kept.begin(), kept.end(), joined);
    at = std::copy(value.begin(), value.end(), at);
    at = std::copy(lineEnd.begin(), lineEnd.end(), at);
    replacement = copyText(std::string_view(joined, static_cast<std::size_t>(at - joined)));
  } else {
    try {
      replacement = copyText(std::string(kept).append(value).append(lineEnd));
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  if (!replacement) return false;
  line->text = std::move(*replacement);
  return true;
}

}  // namespace graftling
