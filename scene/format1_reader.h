// The reader of formats 1 (older Layouts) and 2 (Layout 5.6): items are
// numbered object lines and "AddLight" lines, blocks end at their end keyword
// or before the next item or section line, and every reference names an
// object by its number.
#ifndef GRAFTLING_SCENE_FORMAT1_READER_H_
#define GRAFTLING_SCENE_FORMAT1_READER_H_

#include <string_view>
#include <type_traits>

#include "scene/scene_format.h"
#include "scene/scene_lines.h"

namespace graftling {

bool isItemLine(const SceneLine* line);

// Whether a line begins a part of the scene that is no item's: the ambient
// lines, and the camera, backdrop, render and view lines. Like kinds, only
// classified lines count, so the list's last line never does.
bool isSectionLine(const SceneLine* line);

// Whether a line may begin the camera's section: "AddCamera" or "ShowCamera";
// the first such line does.
bool beginsCameraSection(const SceneLine* line);

// Whether a line may stand among a light's settings lines after its
// "ShadowType" line: not blank, of no kind of its own, and no section line.
bool isSettingsLine(const SceneLine* line);

// Whether a line names another object by number in the way a parent line
// does: "TargetObject", "GoalObject" or "MorphTarget" as a whole word.
bool isReferenceLine(const SceneLine* line);

// Whether a saved line continues the multi-line value above it, so that
// nothing may be inserted directly before it: an indented line of an
// envelope or motion, or the "EndBehavior" line that closes one.
bool continuesAValue(const SceneLine* line);

// The last line of the block that starts at item (an object or light line),
// walking with next (which may pass over lines that do not count). The block
// ends at its end keyword ("ShadowOptions", or "ShadowType" and the settings
// lines after it) when that comes before the next item or section line;
// otherwise at the last line before the first blank line, or before that next
// item or section line, whichever comes first.
template <typename Line, typename Next>
Line* blockLastLine(Line* item, Next next) {
  Keyword endKeyword = item->kind == KindObject ? Keyword::ShadowOptions : Keyword::ShadowType;
  Line* last = item;
  Line* beforeBlank = nullptr;
  for (Line* line = next(item); line != nullptr && !isItemLine(line) && !isSectionLine(line);
       line = next(line)) {
    if (line->text.keyword() == endKeyword) {
      if (item->kind == KindObject) return line;
      for (Line* setting = next(line); setting != nullptr && isSettingsLine(setting);
           setting = next(setting)) {
        line = setting;
      }
      return line;
    }
    if (beforeBlank == nullptr && isBlankText(line->text.view())) beforeBlank = last;
    last = line;
  }
  return beforeBlank != nullptr ? beforeBlank : last;
}

// The first "ParentObject" line from start up to, not including, stop,
// walking with next; null when there is none. A null stop searches to the end.
template <typename Line, typename Next>
Line* findParentLine(Line* start, const Line* stop, Next next) {
  for (Line* line = start; line != nullptr && line != stop; line = next(line)) {
    if (line->text.keyword() == Keyword::ParentObject) return line;
  }
  return nullptr;
}

class Format1Reader : public SceneReader {
 public:
  // Format 1 writes a blank line after every object block, format 2 none;
  // format 2 lights may hold their parent line after their "ShadowType" line.
  Format1Reader(std::int32_t format, bool blankLineAfterObjectBlock, bool parentLineAfterShadowType)
      : SceneReader(format),
        blankLineAfterObjectBlock_(blankLineAfterObjectBlock),
        parentLineAfterShadowType_(parentLineAfterShadowType) {}

  bool blankLineAfterObjectBlock() const { return blankLineAfterObjectBlock_; }

  // Where the search for the parent line of the block item..last ends: after
  // its last line, or in format 1 at a light's "ShadowType" line.
  template <typename Line, typename Next>
  Line* parentSearchEnd(Line* item, std::type_identity_t<Line>* last, Next next) const {
    Line* end = next(last);
    if (item->kind == KindObject || parentLineAfterShadowType_) return end;
    for (Line* line = next(item); line != end; line = next(line)) {
      if (line->text.keyword() == Keyword::ShadowType) return line;
    }
    return end;
  }

  // The parent line of the block item..last: its first "ParentObject" line
  // before the search's end; null when there is none.
  template <typename Line, typename Next>
  Line* blockParentLine(Line* item, std::type_identity_t<Line>* last, Next next) const {
    return findParentLine(item, parentSearchEnd(item, last, next), next);
  }
  SceneLine* blockParentLine(SceneLine* item, SceneLine* last) const;

  SceneDescription read(const SceneLines& lines, Reading reading) const override;
  SceneLine* findObjectLine(const SceneLines& lines, std::string_view fileName,
                            std::int32_t n) const override;
  std::string_view objectFileName(const SceneLine* line) const override;
  std::string_view itemName(const SceneItem& item) const override;
  bool mayInsertBefore(const SceneDescription& description, const SceneLine* previous, const SceneLine* line,
                       std::size_t at) const override;
  CopyLayout copyLayout() const override;
  bool readsLineKinds() const override { return true; }
  std::int32_t maxCopyIndex(ItemKind kind, bool withBones) const override;
  // Formats 1 and 2 name items by number alone.
  std::uint32_t maxCopyIdentifier(ItemKind) const override { return 0xFFFFFFFFu; }
  bool itemLinesCarryIdentifiers() const override { return false; }

 private:
  bool blankLineAfterObjectBlock_;
  bool parentLineAfterShadowType_;
};

const Format1Reader& format1Reader();
const Format1Reader& format2Reader();

// The reader of a format-1 or format-2 scene; null for any other.
const Format1Reader* format1ReaderFor(const SceneLines& lines);

inline SceneLine* blockLastLine(SceneLine* item) {
  return blockLastLine(item, [](SceneLine* line) { return line->next; });
}

}  // namespace graftling

#endif  // GRAFTLING_SCENE_FORMAT1_READER_H_
