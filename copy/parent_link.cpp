#include "copy/parent_link.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "scene/line_kind.h"
#include "scene/scene_queries.h"

namespace graftling {

namespace {

// The object a reference line names: its value read as a decimal integer, or
// 0 when it has none.
std::int32_t referencedObject(const SceneLine* line) {
  std::optional<std::string_view> value = lineValue(line);
  return value ? decimalValue(*value) : 0;
}

}  // namespace

bool setParentNumber(SceneLine* copyLine, std::int32_t newParent, std::string_view lineEnd,
                     const Format1Reader& format) {
  SceneLine* last = copyLine->kind == KindObject ? objectBlockEnd(copyLine) : lightBlockEnd(copyLine);
  SceneLine* parent = format.blockParentLine(copyLine, last);
  if (parent == nullptr) return true;
  return replaceLineValue(parent, newParent, lineEnd);
}

bool replaceLineValue(SceneLine* line, std::int32_t number, std::string_view lineEnd) {
  char digits[16];
  std::to_chars_result formatted = std::to_chars(digits, digits + sizeof digits, number);
  return replaceLineValue(line, std::string_view(digits, static_cast<std::size_t>(formatted.ptr - digits)),
                          lineEnd);
}

bool replaceLineValue(SceneLine* line, std::string_view value, std::string_view lineEnd) {
  std::string_view text = line->text.view();
  std::size_t space = text.find(' ');
  if (space == std::string_view::npos) return true;
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

bool replaceIdentifier(SceneLine* line, std::size_t at, std::uint32_t identifier) {
  std::string_view text = line->text.view();
  std::string spelled = identifierText(identifier);
  std::optional<LineText> replacement;
  try {
    replacement = copyText(std::string(text).replace(at, spelled.size(), spelled));
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!replacement) return false;
  line->text = std::move(*replacement);
  return true;
}

bool retargetReferences(const CopyLog& log, std::string_view lineEnd) {
  std::vector<std::int32_t> copyNumberOf;
  auto note = [&](const SceneLine* source, const SceneLine* copy) {
    if (source->kind != KindObject || source->objectNumber < 1) return;
    auto number = static_cast<std::size_t>(source->objectNumber);
    if (copyNumberOf.size() <= number) copyNumberOf.resize(number + 1, 0);
    copyNumberOf[number] = copy->objectNumber;
  };
  note(log.root, log.rootCopy);
  for (const CopyLog::Copy& copy : log.copies) note(copy.source, copy.copy);
  // A copied reference line still holds its source's text.
  for (SceneLine* line : log.references) {
    std::int32_t named = referencedObject(line);
    if (named < 1 || static_cast<std::size_t>(named) >= copyNumberOf.size()) continue;
    std::int32_t copyNumber = copyNumberOf[static_cast<std::size_t>(named)];
    if (copyNumber != 0 && !replaceLineValue(line, copyNumber, lineEnd)) return false;
  }
  return true;
}

}  // namespace graftling
