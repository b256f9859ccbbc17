#include "copy/block_copy.h"

#include <utility>

#include "copy/parent_link.h"
#include "scene/line_kind.h"
#include "scene/scene_queries.h"

namespace graftling {

LineChain::~LineChain() {
  while (first_ != nullptr) {
    SceneLine* line = std::exchange(first_, first_->next);
    if (line->stored) {
      line->~SceneLine();
    } else {
      delete line;
    }
  }
}

bool LineChain::append(SceneLine* added) {
  if (added == nullptr) return false;
  added->inserted = true;
  added->prev = last_;
  if (last_ == nullptr) {
    first_ = added;
  } else {
    last_->next = added;
  }
  last_ = added;
  return true;
}

void LineChain::append(LineChain&& other) {
  if (other.first_ == nullptr) return;
  if (last_ == nullptr) {
    first_ = other.first_;
  } else {
    last_->next = other.first_;
    other.first_->prev = last_;
  }
  last_ = other.last_;
  other.first_ = nullptr;
  other.last_ = nullptr;
}

SceneLine* LineChain::spliceAfter(SceneLine* anchor) {
  SceneLine* following = anchor->next;
  anchor->next = first_;
  first_->prev = anchor;
  last_->next = following;
  if (following != nullptr) following->prev = last_;
  last_ = nullptr;
  return std::exchange(first_, nullptr);
}

LineChain duplicateRange(SceneLines& lines, const SceneLine* first, const SceneLine* last) {
  LineChain chain;
  // The copies are made in the list's store, beside the lines read from the file.
  for (const SceneLine* line = first;; line = line->next) {
    if (!chain.append(lines.store.make(line->text.view()))) return LineChain();
    if (line == last) return chain;
  }
}

namespace {

// Whether anchor is one of first..last other than last: a copy linked after it
// would stand inside the block it copies, and every later copy of a block that
// holds the anchor would hold all copies before it, doubling the scene.
bool liesWithin(const SceneLine* anchor, const SceneLine* first, const SceneLine* last) {
  for (const SceneLine* line = first; line != last; line = line->next) {
    if (line == anchor) return true;
  }
  return false;
}

// A whole copy of the block first..last of a scene of format: with
// newParent, its parent line reads newParent; with blankLine, a blank line
// follows. Links it after anchor, classifies the list and moves anchor to the
// last line inserted. The copy of first, or null when storage ran out.
SceneLine* copyBlockAfter(SceneLines& lines, const Format1Reader& format, SceneLine*& anchor,
                          const SceneLine* first, const SceneLine* last, bool blankLine,
                          std::optional<std::int32_t> newParent, std::vector<SceneLine*>* references) {
  LineChain chain = duplicateRange(lines, first, last);
  if (chain.empty()) return nullptr;
  std::string_view lineEnd = sceneLineEnd(lines);
  if (newParent) {
    // Until classification, the copies take their sources' kinds, so that the
    // copy reads as a block as its source does.
    const SceneLine* source = first;
    for (SceneLine* copied = chain.first(); copied != nullptr; copied = copied->next, source = source->next)
      copied->kind = source->kind;
    if (!setParentNumber(chain.first(), *newParent, lineEnd, format)) return nullptr;
  }
  if (blankLine && !chain.append(lines.store.make(lineEnd))) return nullptr;
  if (references != nullptr) {
    const SceneLine* source = first;
    for (SceneLine* copied = chain.first(); copied != nullptr; copied = copied->next, source = source->next) {
      if (isReferenceLine(source)) references->push_back(copied);
      if (source == last) break;
    }
  }
  SceneLine* inserted = chain.last();
  SceneLine* copy = chain.spliceAfter(anchor);
  anchor = inserted;
  classifyLines(lines);
  return copy;
}

}  // namespace

SceneLine* copyRootObject(SceneLines& lines, std::string_view fileName, std::int32_t n,
                          const Format1Reader& format, CopyPlaces* places) {
  SceneLine* anchor =
      places != nullptr && places->objectAnchor != nullptr ? places->objectAnchor : objectSectionEnd(lines);
  if (anchor == nullptr) return nullptr;
  SceneLine* first = findObjectLine(lines, fileName, n);
  if (first == nullptr) return nullptr;
  SceneLine* copy = copyBlockAfter(lines, format, anchor, first, objectBlockEnd(first), false, std::nullopt,
                                   places != nullptr ? places->references : nullptr);
  if (copy != nullptr && places != nullptr) places->objectAnchor = anchor;
  return copy;
}

SceneLine* copyObjectBlock(SceneLines& lines, SceneLine* itemLine, std::optional<std::int32_t> newParent,
                           const Format1Reader& format, CopyPlaces* places) {
  SceneLine* anchor =
      places != nullptr && places->objectAnchor != nullptr ? places->objectAnchor : objectSectionEnd(lines);
  if (anchor == nullptr) return nullptr;
  SceneLine* last = objectBlockEnd(itemLine);
  if (liesWithin(anchor, itemLine, last)) return nullptr;
  SceneLine* copy = copyBlockAfter(lines, format, anchor, itemLine, last, format.blankLineAfterObjectBlock(),
                                   newParent, places != nullptr ? places->references : nullptr);
  if (copy != nullptr && places != nullptr) places->objectAnchor = anchor;
  return copy;
}

SceneLine* copyLightBlock(SceneLines& lines, SceneLine* itemLine, std::optional<std::int32_t> newParent,
                          const Format1Reader& format, CopyPlaces* places) {
  SceneLine* anchor =
      places != nullptr && places->lightAnchor != nullptr ? places->lightAnchor : lightSectionEnd(lines);
  if (anchor == nullptr) return nullptr;
  SceneLine* first = findLightLine(itemLine);
  if (first == nullptr) return nullptr;
  SceneLine* last = lightBlockEnd(first);
  if (liesWithin(anchor, first, last)) return nullptr;
  SceneLine* copy = copyBlockAfter(lines, format, anchor, first, last, true, newParent,
                                   places != nullptr ? places->references : nullptr);
  if (copy != nullptr && places != nullptr) places->lightAnchor = anchor;
  return copy;
}

}  // namespace graftling
