// How a scene file of each format graftling edits reads: which formats those
// are, which lines begin sections, where an item's block ends, and which
// lines of a block refer to other items. The copy and the edit check take
// all of this from here.
#ifndef GRAFTLING_SCENE_SCENE_FORMAT_H_
#define GRAFTLING_SCENE_SCENE_FORMAT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "scene/scene_lines.h"

namespace graftling {

// What differs between the formats graftling edits.
struct SceneFormat {
  std::int32_t number;
  // Format 1 writes a blank line after every object block, format 2 none.
  bool blankLineAfterObjectBlock;
};

// The format a scene's second line names: that line without its line end
// when it is 1 to 9 decimal digits, otherwise "unknown".
std::string formatNameOf(std::string_view secondLine);
std::string formatNameOf(const SceneLines& list);

// The format of that name when graftling edits it; null otherwise.
const SceneFormat* editedFormat(std::string_view formatName);

// The formats graftling edits, for messages: "1 and 2".
std::string editedFormatsText();

// Whether text begins with keyword as a whole word: followed by a space, a
// tab, a line end or nothing.
bool beginsWithWord(std::string_view text, std::string_view keyword);

// Whether the text is a blank line: LF or CR LF alone.
bool isBlankText(std::string_view text);

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

// The parent line of the block item..last: its first "ParentObject" line
// before its end keyword line; null when there is none.
template <typename Line, typename Next>
Line* blockParentLine(Line* item, std::type_identity_t<Line>* last, Next next) {
  Keyword endKeyword = item->kind == KindObject ? Keyword::ShadowOptions : Keyword::ShadowType;
  for (Line* line = item; line != last;) {
    line = next(line);
    Keyword keyword = line->text.keyword();
    if (keyword == Keyword::ParentObject) return line;
    if (keyword == endKeyword) return nullptr;
  }
  return nullptr;
}

inline SceneLine* blockParentLine(SceneLine* item, SceneLine* last) {
  return blockParentLine(item, last, [](SceneLine* line) { return line->next; });
}

inline SceneLine* blockLastLine(SceneLine* item) {
  return blockLastLine(item, [](SceneLine* line) { return line->next; });
}

}  // namespace graftling

#endif  // GRAFTLING_SCENE_SCENE_FORMAT_H_
