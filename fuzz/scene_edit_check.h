// Decides whether an edited scene text is its original with lines inserted
// only, the one kind of change the plug-in may make to a scene, and foretells
// from a saved scene of formats 4 to 8 alone what a run of the plug-in leaves.
#ifndef GRAFTLING_FUZZ_SCENE_EDIT_CHECK_H_
#define GRAFTLING_FUZZ_SCENE_EDIT_CHECK_H_

#include <cstddef>
#include <cstdint>
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
// and holds between them 8 lowercase hexadecimal digits, or for the last two a positive decimal. In formats
// 4 to 8, an item line of original may also stand with 8 lowercase hexadecimal digits in place of its
// identifier, anywhere; a rewrite is a reference keyword of the format, one space, a value in the keyword's
// notation and the line end of one of original's lines with that keyword. In every other format, it is a
// "ParentObject" or reference (TargetObject, GoalObject, MorphTarget) line with a new decimal value and
// line end, its keyword beginning a line of original.
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
// A format 4 to 8 original: edited is, byte for byte, what expectRun foretells for a picked object whose
// item line, identifier aside, begins the first object copy.
EditCheck checkCopiedBranch(std::string_view original, std::string_view edited);

// What a run of graftling through the host leaves when the host's scene is saved as saved and the user
// picks its object number pick + 1 (the host lists objects in file order).
struct ExpectedRun {
  enum class Outcome : std::uint8_t { kUnknown, kLoaded, kRefused };
  Outcome outcome = Outcome::kUnknown;
  std::string text;     // kLoaded: the scene the host loads; no message is shown
  std::string message;  // kRefused: the one message, under "Graftling:"; nothing is loaded
  std::string why;      // kUnknown: why the run is not foretold
  // The objects the host lists when the outcome rests on the pick, else 0.
  std::size_t objects = 0;
};

// Foretells the run from the saved text alone: a text that does not begin with "LWSC" and a format other
// than 1 to 8 are refused. Formats 1 to 3 are left to checkCopiedBranch. Formats 4 to 8 are read as
// format 3, with identifiers on their item lines: the copies, or which refusal comes first; an edit that
// would not read back as meant (a saved item or a copy's block read otherwise) is refused as damage. A
// pick whose object line holds a NUL byte is not foretold: the host names objects by C strings.
ExpectedRun expectRun(std::string_view saved, std::size_t pick);

// Where actual first departs from expected: the line and both texts from its start, or "" when equal.
std::string firstDifference(std::string_view expected, std::string_view actual);

}  // namespace graftling::fuzzing

#endif  // GRAFTLING_FUZZ_SCENE_EDIT_CHECK_H_
