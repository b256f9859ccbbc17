// Duplicates one object or light block at the end of its section.
#ifndef GRAFTLING_COPY_BLOCK_COPY_H_
#define GRAFTLING_COPY_BLOCK_COPY_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "scene/scene_lines.h"

namespace graftling {

// A run of new lines, each marked inserted, linked among themselves but not
// into any list. It owns them until spliceAfter hands them to the list;
// records made in the list's store stay there, unlinked, if it is dropped.
class LineChain {
 public:
  LineChain() = default;
  LineChain(LineChain&& other) noexcept
      : first_(std::exchange(other.first_, nullptr)), last_(std::exchange(other.last_, nullptr)) {}
  LineChain(const LineChain&) = delete;
  LineChain& operator=(const LineChain&) = delete;
  LineChain& operator=(LineChain&&) = delete;
  ~LineChain();

  // Adds a line at the end; false, and nothing added, for a null line.
  bool append(SceneLine* added);
  // Moves every line of other to the end of this run.
  void append(LineChain&& other);

  bool empty() const { return first_ == nullptr; }
  SceneLine* first() const { return first_; }
  SceneLine* last() const { return last_; }

  // Links the whole run directly after anchor; the list owns it from then
  // on. Returns the run's first line.
  SceneLine* spliceAfter(SceneLine* anchor);

 private:
  SceneLine* first_ = nullptr;
  SceneLine* last_ = nullptr;
};

// A whole copy of first..last of the list: with newParent, its first
// "ParentObject" line before the block's end reads newParent; with
// addBlankLine, a blank line follows. Empty when storage runs out. With
// references, the copy's reference lines are added to it once the copy is whole.
LineChain copyRange(SceneLines& lines, const SceneLine* first, const SceneLine* last, bool addBlankLine,
                    std::optional<std::int32_t> newParent, std::vector<SceneLine*>* references = nullptr);

// Every copy is whole or absent: the duplicates are made and finished apart
// from the list and linked in one step, so a failure leaves the list as it was.
// A complete copy re-classifies the list before the operation returns.

// Copies first..last after anchor, as copyRange makes the copy, classifies
// the list and moves anchor to the last line it inserted, so that copies
// made one after another stand in that order. Returns the copy of first, or
// null when no copy was made.
SceneLine* copyBlockAfter(SceneLines& lines, SceneLine*& anchor, const SceneLine* first,
                          const SceneLine* last, bool addBlankLine, std::optional<std::int32_t> newParent,
                          std::vector<SceneLine*>* references = nullptr);

// Copies the picked object's block (the n-th object line whose value is
// fileName, to its block's last line) after the object-section anchor, with
// no blank line after it. Returns the copy of the object line, or null when
// no copy was made.
SceneLine* copyRootObject(SceneLines& lines, std::string_view fileName, std::int32_t n);

// Copies the object block that begins at itemLine after the object-section
// anchor, with a blank line after it when addBlankLine is set. A block that
// holds the anchor before its last line is not copied. With newParent, the
// copy's "ParentObject" line reads newParent before the copy is linked.
// Returns the copy of itemLine, or null when no copy was made.
SceneLine* copyObjectBlock(SceneLines& lines, SceneLine* itemLine,
                           std::optional<std::int32_t> newParent = std::nullopt, bool addBlankLine = true);

// The same for the light block that begins at the first "AddLight" line at or
// after itemLine, settings lines included, placed after the light-section
// anchor and always followed by a blank line.
SceneLine* copyLightBlock(SceneLines& lines, SceneLine* itemLine,
                          std::optional<std::int32_t> newParent = std::nullopt);

}  // namespace graftling

#endif  // GRAFTLING_COPY_BLOCK_COPY_H_
