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

// Allowed: edited holds every piece of original, in order and unchanged, and
// every other piece of it is a copy of a piece of original, a blank line
// ("\n" or "\r\n"), or a "ParentObject" piece of original with a new decimal
// value and line end, standing in an inserted run after an object or light
// line of that run.
EditCheck checkInsertionsOnly(std::string_view original, std::string_view edited);

// For a run whose result was loaded, read from the texts alone. Allowed:
// edited is original with one run of new lines after the object-section
// anchor and one after the light-section anchor, neither inside a saved
// item's block (a light's settings lines included); no saved object line
// changes its number; each run is whole copied blocks, each holding one item
// line, its first; the first is an exact copy of an object's block, and each
// other names in its "ParentObject" line a copy of the parent of a block that
// it copies.
EditCheck checkCopiedBranch(std::string_view original, std::string_view edited);

}  // namespace graftling::fuzzing

#endif  // GRAFTLING_FUZZ_SCENE_EDIT_CHECK_H_
