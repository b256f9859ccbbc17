// Decides whether an edited scene text is its original with lines inserted
// only, the one kind of change the plug-in may make to a scene.
#ifndef GRAFTLING_FUZZ_SCENE_EDIT_CHECK_H_
#define GRAFTLING_FUZZ_SCENE_EDIT_CHECK_H_

#include <string>
#include <string_view>
#include <vector>

namespace graftling::fuzzing {

// The text cut as the plug-in reads it: pieces up to and including each LF,
// at most 255 bytes each.
std::vector<std::string_view> scenePieces(std::string_view text);

// What was found; why is empty when the edit is allowed.
struct EditCheck {
  std::string why;
  int insertedLines = 0;
  bool ok() const { return why.empty(); }
};

// Allowed: edited holds every piece of original, in order and unchanged, and every other piece of it is a
// copy of a piece of original, a blank line, or, in an inserted run after an item line of that run, a
// rewritten reference line. In format 3, a rewrite keeps the text up to the first space and the line end
// (CR LF, LF or none) of a ParentItem, TargetItem, ExcludeLight, GoalObject or MorphTarget line of original
// and holds between them 8 lowercase hexadecimal digits, or for the last two a positive decimal. In every
// other format, it is a "ParentObject" or reference (TargetObject, GoalObject, MorphTarget) line with a new
// decimal value and line end, its keyword beginning a line of original.
EditCheck checkInsertionsOnly(std::string_view original, std::string_view edited);

// For a run whose result was loaded, from the texts alone. Allowed: a format 1 or 2 original with one run of
// object copies after its object anchor and one of light copies after its light anchor, outside envelopes,
// before no saved object, blank lines as the format has them; the first copies an object's block, every other
// hangs on a copy of its source's parent; rewritten references name copies of what their sources name.
// A format-3 original, which the copy accepts, with one run of object copies right after its last object
// block and one of light copies right after its last light block, each copy after one blank line (the
// first line's end), nothing inside a brace block or plug-in body; the first copies an object's block, every
// other a saved block hung on the copy of its source's parent (the same bone of it); in every copy a
// reference naming a copied item (or a bone of one) names its copy, by the copies' places in their runs, save
// the first copy's own parent line, and every other line is its source's.
EditCheck checkCopiedBranch(std::string_view original, std::string_view edited);

}  // namespace graftling::fuzzing

#endif  // GRAFTLING_FUZZ_SCENE_EDIT_CHECK_H_
