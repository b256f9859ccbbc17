#include "scene/scene_queries.h"

#include <limits>

#include "scene/line_kind.h"

namespace graftling {

namespace {

// The first line from start on whose text begins with keyword.
SceneLine* findKeyword(SceneLine* start, Keyword keyword) {
  for (SceneLine* line = start; line != nullptr; line = followingLine(line)) {
    if (line->text.keyword() == keyword) return line;
  }
  return nullptr;
}

// Finds a block's parent line: the first "ParentObject" line before the
// block's end, or to the end of the list when the block has none. One scan
// answers for every block that starts before its result, so a walk over many
// blocks stays linear. A scan also tells whether the walk may go straight on
// at its result: when no item line and no stop line lies between.
class ParentScan {
 public:
  explicit ParentScan(Keyword endKeyword) : endKeyword_(endKeyword) {}

  // Called for every line the walk passes, in order.
  void pass(const SceneLine* line) {
    if (line == result_) valid_ = false;
  }

  // Makes the next item scan afresh; always correct, only slower.
  void forget() { valid_ = false; }

  // The parent line of the block that starts at item; sets reachedEnd when
  // the scan met neither a parent line nor an end line, and skipTo to the
  // scan's result when a fresh scan found the lines before it plain.
  SceneLine* parentOf(SceneLine* item, const SceneLine* stop, bool& reachedEnd, SceneLine*& skipTo) {
    skipTo = nullptr;
    if (!valid_) {
      bool plain = scan(item, stop);
      valid_ = true;
      if (plain) skipTo = result_;
    }
    reachedEnd = result_ == nullptr;
    if (result_ != nullptr && result_->text.keyword() == Keyword::ParentObject) return result_;
    return nullptr;
  }

 private:
  // Sets result_ to the first parent or end line from item on; true when no
  // line after item and up to it is an item line or stop.
  bool scan(SceneLine* item, const SceneLine* stop) {
    bool plain = true;
    for (SceneLine* line = item;;) {
      Keyword keyword = line->text.keyword();
      if (keyword == Keyword::ParentObject || keyword == endKeyword_) {
        result_ = line;
        return plain;
      }
      line = followingLine(line);
      if (line == nullptr) {
        result_ = nullptr;
        return false;
      }
      if (line == stop || line->kind == KindObject || line->kind == KindLight) plain = false;
    }
  }

  Keyword endKeyword_;
  SceneLine* result_ = nullptr;
  bool valid_ = false;
};

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

SceneLine* findLine(SceneLine* start, std::string_view keyword) {
  for (SceneLine* line = start; line != nullptr; line = followingLine(line)) {
    if (startsWith(line->text, keyword) == 0) return line;
  }
  return nullptr;
}

SceneLine* objectBlockEnd(SceneLine* line) { return findKeyword(line, Keyword::ShadowOptions); }

SceneLine* lightBlockEnd(SceneLine* line) { return findKeyword(line, Keyword::ShadowType); }

SceneLine* lightSettingsEnd(SceneLine* blockEnd) {
  SceneLine* last = blockEnd;
  while (last->next != nullptr && isSettingsLine(last->next)) last = last->next;
  return last;
}

bool isBlankText(std::string_view text) { return text == "\n" || text == "\r\n"; }

bool isSettingsLine(const SceneLine* line) { return line->kind == KindOther && !isBlankText(line->text); }

SceneLine* findParentLine(SceneLine* start, const SceneLine* stop) {
  for (SceneLine* line = start; line != nullptr && line != stop; line = followingLine(line)) {
    if (line->text.keyword() == Keyword::ParentObject) return line;
  }
  return nullptr;
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
  for (SceneLine* line = list.head; line != nullptr; line = followingLine(line)) {
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
  SceneLine* line = list.head;
  while (line != nullptr && line->kind != KindLight) line = followingLine(line);
  for (int step = 0; step < 4 && line != nullptr; ++step) line = line->prev;
  return line;
}

SceneLine* lightSectionEnd(const SceneLines& list) {
  SceneLine* line = list.head;
  while (line != nullptr && line->kind != KindCamera) line = followingLine(line);
  return line != nullptr ? line->prev : nullptr;
}

SceneLine* findChildItem(SceneLine* start, std::int32_t wanted, const SceneLine* stop) {
  ParentScan objectScan(Keyword::ShadowOptions);
  ParentScan lightScan(Keyword::ShadowType);
  for (SceneLine* line = start; line != nullptr;) {
    objectScan.pass(line);
    lightScan.pass(line);
    SceneLine* skipTo = nullptr;
    if (line->kind == KindObject || line->kind == KindLight) {
      bool isObject = line->kind == KindObject;
      bool reachedEnd = false;
      SceneLine* parent = (isObject ? objectScan : lightScan).parentOf(line, stop, reachedEnd, skipTo);
      // The parent line's value was read when its text was set; see LineText.
      if (parent != nullptr && parent->text.hasNumber() && parent->text.number() == wanted) return line;
      // No parent line stands anywhere after this one: no later block has one.
      if (reachedEnd) return nullptr;
      // The lines up to the scan's result are neither items nor stop: the walk
      // would pass over them. The other scan's result may lie among them.
      if (skipTo != nullptr) (isObject ? lightScan : objectScan).forget();
    }
    line = skipTo != nullptr ? skipTo : followingLine(line);
    if (line == stop) return nullptr;
  }
  return nullptr;
}

std::string_view sceneLineEnd(const SceneLines& list) {
  std::string_view first = list.head != nullptr ? list.head->text.view() : std::string_view();
  return first.size() >= 2 && first.substr(first.size() - 2) == "\r\n" ? "\r\n" : "\n";
}

}  // namespace graftling
