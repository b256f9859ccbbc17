// Duplicates blocks of lines: the copy of one object or light block at the
// end of its section, as the step-by-step copy of formats 1 and 2 makes it,
// and the runs of new lines every copy is built from.
#ifndef GRAFTLING_COPY_BLOCK_COPY_H_
#define GRAFTLING_COPY_BLOCK_COPY_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "scene/format1_reader.h"
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

// Copies of first..last of the list, made in its store, in a run of their
// own; empty when storage runs out.
LineChain duplicateRange(SceneLines& lines, const SceneLine* first, const SceneLine* last);

// Where the copies of one step-by-step run go, each after the one before it.
// A null anchor is found afresh from the list. references, when set, gathers
// the reference lines of the copies (see isReferenceLine) as copied.
struct CopyPlaces {
  SceneLine* objectAnchor = nullptr;
  SceneLine* lightAnchor = nullptr;
  std::vector<SceneLine*>* references = nullptr;
};

// Every copy is whole or absent: the duplicates are made and finished apart
// from the list and linked in one step, so a failure leaves the list as it was.
// A complete copy re-classifies the list and moves its anchor in places to the
// last line it inserted before the operation returns.

// Copies the picked object's block (the n-th object line whose value is
// fileName, to its block's last line) after the object-section anchor, with
// no blank line after it. Returns the copy of the object line, or null when
// no copy was made.
SceneLine* copyRootObject(SceneLines& lines, std::string_view fileName, std::int32_t n,
                          const Format1Reader& format = format1Reader(), CopyPlaces* places = nullptr);

// Copies the object block that begins at itemLine after the object-section
// anchor, followed by a blank line where the format writes one. A block that
// holds the anchor before its last line is not copied. With newParent, the
// copy's parent line reads newParent before the copy is linked. Returns the
// copy of itemLine, or null when no copy was made.
SceneLine* copyObjectBlock(SceneLines& lines, SceneLine* itemLine,
                           std::optional<std::int32_t> newParent = std::nullopt,
                           const Format1Reader& format = format1Reader(), CopyPlaces* places = nullptr);

// The same for the light block that begins at the first "AddLight" line at or
// after itemLine, settings lines included, placed after the light-section
// anchor and always followed by a blank line.
SceneLine* copyLightBlock(SceneLines& lines, SceneLine* itemLine,
                          std::optional<std::int32_t> newParent = std::nullopt,
                          const Format1Reader& format = format1Reader(), CopyPlaces* places = nullptr);

}  // namespace graftling

#endif  // GRAFTLING_COPY_BLOCK_COPY_H_
