#include "scene/scene_queries.h"

#include <limits>

#include "scene/line_kind.h"

namespace graftling {

namespace {

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The line after a block's last line when it is blank, else that last line:
// where copies of blocks of that section go.
SceneLine* afterBlock(SceneLine* item, const SceneLine* sectionEnd) {
  SceneLine* last = blockLastLine(item);
  SceneLine* after = last->next;
  return after != nullptr && after != sectionEnd && isBlankText(after->text.view()) ? after : last;
}

}  // namespace

SceneLine* findLine(SceneLine* start, std::string_view keyword) {
  for (SceneLine* line = start; line != nullptr; line = line->next) {
    if (startsWith(line->text.view(), keyword) == 0) return line;
  }
  return nullptr;
}

SceneLine* findLightLine(SceneLine* start) { return findLine(start, "AddLight"); }

SceneLine* objectBlockEnd(SceneLine* line) { return blockLastLine(line); }

SceneLine* lightBlockEnd(SceneLine* line) { return blockLastLine(line); }

SceneLine* findParentLine(SceneLine* start, const SceneLine* stop) {
  return findParentLine(start, stop, [](SceneLine* line) { return line->next; });
}

std::optional<std::string_view> lineValue(const SceneLine* line) {
  std::string_view text = line->text.view();
  std::size_t space = text.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  return text.substr(space + 1);
}

std::int32_t decimalValue(std::string_view value) {
  std::size_t at = 0;
  while (at < value.size() && isSpace(value[at])) ++at;
  bool negative = false;
  if (at < value.size() && (value[at] == '+' || value[at] == '-')) negative = value[at++] == '-';
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at) {
    magnitude = magnitude * 10 + (value[at] - '0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (negative) return static_cast<std::int32_t>(-magnitude);
  return static_cast<std::int32_t>(magnitude >= kLimit ? kLimit - 1 : magnitude);
}

SceneLine* findObjectLine(const SceneLines& list, std::string_view fileName, std::int32_t n) {
  std::int32_t count = 0;
  for (SceneLine* line = list.head; line != nullptr; line = line->next) {
    if (line->kind != KindObject) continue;
    std::optional<std::string_view> value = lineValue(line);
    if (!value || startsWith(*value, fileName) != 0) continue;
    std::string_view rest = value->substr(fileName.size());
    if (rest.empty() || rest == "\n" || rest == "\r\n") {
      if (++count == n) return line;
    }
  }
  return nullptr;
}

SceneLine* objectSectionEnd(const SceneLines& list) {
  SceneLine* lastObject = nullptr;
  SceneLine* line = list.head;
  for (; line != nullptr && line->kind != KindLight; line = line->next) {
    if (line->kind == KindObject) lastObject = line;
  }
  if (line == nullptr || lastObject == nullptr) return nullptr;
  return afterBlock(lastObject, line);
}

SceneLine* lightSectionEnd(const SceneLines& list) {
  SceneLine* lastLight = nullptr;
  SceneLine* line = list.head;
  for (; line != nullptr && !beginsCameraSection(line); line = line->next) {
    if (line->kind == KindLight) lastLight = line;
  }
  if (line == nullptr) return nullptr;
  return lastLight != nullptr ? afterBlock(lastLight, line) : line->prev;
}

SceneLine* findChildItem(SceneLine* start, std::int32_t wanted, const SceneLine* stop,
                         const Format1Reader& format) {
  for (SceneLine* line = start; line != nullptr;) {
    if (isItemLine(line)) {
      SceneLine* parent = format.blockParentLine(line, blockLastLine(line));
      // The parent line's value was read when its text was set; see LineText.
      if (parent != nullptr && parent->text.hasNumber() && parent->text.number() == wanted) return line;
    }
    line = line->next;
    if (line == stop) return nullptr;
  }
  return nullptr;
}

std::string_view sceneLineEnd(const SceneLines& list) {
  std::string_view first = list.head != nullptr ? list.head->text.view() : std::string_view();
  return first.size() >= 2 && first.substr(first.size() - 2) == "\r\n" ? "\r\n" : "\n";
}

}  // namespace graftling
