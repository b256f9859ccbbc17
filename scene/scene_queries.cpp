#include "scene/scene_queries.h"

#include <limits>

#include "scene/line_kind.h"

namespace graftling {

namespace {

// The first line from start on that begins with either keyword.
SceneLine* findEither(SceneLine* start, Keyword first, Keyword second) {
  for (SceneLine* line = start; line != nullptr; line = followingLine(line)) {
    Keyword keyword = line->text.keyword();
    if (keyword == first || keyword == second) return line;
  }
  return nullptr;
}

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
// blocks stays linear.
class ParentScan {
 public:
  explicit ParentScan(Keyword endKeyword) : endKeyword_(endKeyword) {}

  // Called for every line the walk passes, in order.
  void pass(const SceneLine* line) {
    if (line == result_) valid_ = false;
  }

  // The parent line of the block that starts at item; sets reachedEnd when
  // the scan met neither a parent line nor an end line.
  SceneLine* parentOf(SceneLine* item, bool& reachedEnd) {
    if (!valid_) {
      result_ = findEither(item, Keyword::ParentObject, endKeyword_);
      valid_ = true;
    }
    reachedEnd = result_ == nullptr;
    if (result_ != nullptr && result_->text.keyword() == Keyword::ParentObject) return result_;
    return nullptr;
  }

 private:
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
    if (line->kind == KindObject || line->kind == KindLight) {
      bool reachedEnd = false;
      SceneLine* parent = line->kind == KindObject ? objectScan.parentOf(line, reachedEnd)
                                                   : lightScan.parentOf(line, reachedEnd);
      // The parent line's value was read when its text was set; see LineText.
      if (parent != nullptr && parent->text.hasNumber() && parent->text.number() == wanted) return line;
      // No parent line stands anywhere after this one: no later block has one.
      if (reachedEnd) return nullptr;
    }
    line = followingLine(line);
    if (line == stop) return nullptr;
  }
  return nullptr;
}

std::string_view sceneLineEnd(const SceneLines& list) {
  std::string_view first = list.head != nullptr ? list.head->text.view() : std::string_view();
  return first.size() >= 2 && first.substr(first.size() - 2) == "\r\n" ? "\r\n" : "\n";
}

}  // namespace graftling
