#include "copy/block_copy.h"

#include <utility>

#include "copy/parent_link.h"
#include "scene/line_kind.h"
#include "scene/scene_format.h"
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

LineChain copyRange(SceneLines& lines, const SceneLine* first, const SceneLine* last, bool addBlankLine,
                    std::optional<std::int32_t> newParent, std::vector<SceneLine*>* references) {
  LineChain chain;
  std::size_t noted = references != nullptr ? references->size() : 0;
  // The copies are made in the list's store, beside the lines read from the file.
  for (const SceneLine* line = first;; line = line->next) {
    SceneLine* copied = lines.store.make(line->text.view());
    if (!chain.append(copied)) {
      if (references != nullptr) references->resize(noted);
      return LineChain();
    }
    if (references != nullptr && isReferenceLine(line)) references->push_back(copied);
    if (line == last) break;
  }
  std::string_view lineEnd = sceneLineEnd(lines);
  bool whole = true;
  if (newParent) {
    // The chain's first line stands for the block's kind until classification.
    chain.first()->kind = first->kind;
    whole = setParentNumber(chain.first(), *newParent, lineEnd);
  }
  if (whole && addBlankLine) whole = chain.append(lines.store.make(lineEnd));
  if (whole) return chain;
  if (references != nullptr) references->resize(noted);
  return LineChain();
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

}  // namespace

SceneLine* copyBlockAfter(SceneLines& lines, SceneLine*& anchor, const SceneLine* first,
                          const SceneLine* last, bool addBlankLine, std::optional<std::int32_t> newParent,
                          std::vector<SceneLine*>* references) {
  LineChain chain = copyRange(lines, first, last, addBlankLine, newParent, references);
  if (chain.empty()) return nullptr;
  SceneLine* inserted = chain.last();
  SceneLine* copy = chain.spliceAfter(anchor);
  anchor = inserted;
  classifyLines(lines);
  return copy;
}

SceneLine* copyRootObject(SceneLines& lines, std::string_view fileName, std::int32_t n) {
  SceneLine* anchor = objectSectionEnd(lines);
  if (anchor == nullptr) return nullptr;
  SceneLine* first = findObjectLine(lines, fileName, n);
  if (first == nullptr) return nullptr;
  return copyBlockAfter(lines, anchor, first, objectBlockEnd(first), false, std::nullopt);
}

SceneLine* copyObjectBlock(SceneLines& lines, SceneLine* itemLine, std::optional<std::int32_t> newParent,
                           bool addBlankLine) {
  SceneLine* anchor = objectSectionEnd(lines);
  if (anchor == nullptr) return nullptr;
  SceneLine* last = objectBlockEnd(itemLine);
  if (liesWithin(anchor, itemLine, last)) return nullptr;
  return copyBlockAfter(lines, anchor, itemLine, last, addBlankLine, newParent);
}

SceneLine* copyLightBlock(SceneLines& lines, SceneLine* itemLine, std::optional<std::int32_t> newParent) {
  SceneLine* anchor = lightSectionEnd(lines);
  if (anchor == nullptr) return nullptr;
  SceneLine* first = findLine(itemLine, "AddLight");
  if (first == nullptr) return nullptr;
  SceneLine* last = lightBlockEnd(first);
  if (liesWithin(anchor, first, last)) return nullptr;
  return copyBlockAfter(lines, anchor, first, last, true, newParent);
}

}  // namespace graftling
