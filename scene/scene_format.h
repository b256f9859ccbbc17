// How a scene file of each format graftling edits reads. One reader per
// format hands the copy, the edit check and the command one description of a
// scene: its items and their blocks, their parent and reference lines, and
// where copies of objects and lights go. Nothing outside the readers tests a
// keyword of a format.
#ifndef GRAFTLING_SCENE_SCENE_FORMAT_H_
#define GRAFTLING_SCENE_SCENE_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scene/scene_lines.h"

namespace graftling {

enum class ItemKind : std::uint8_t { Object, Light, Camera, Bone };

// No item, no reference, no position.
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// An item of the scene and its block of lines.
struct SceneItem {
  SceneLine* line = nullptr;
  SceneLine* last = nullptr;  // the block's last line; an object's block holds its bones
  std::size_t at = 0;         // the positions of line and last in the reading
  std::size_t lastAt = 0;
  std::size_t parent = kNone;      // its parent line, among the references
  std::size_t firstReference = 0;  // its reference lines; an object's include its bones'
  std::size_t endReference = 0;
  std::size_t object = kNone;  // a bone's object
  std::int32_t index = 0;      // among items of its kind; a bone's among its object's bones
  std::int32_t bones = 0;      // an object's bones: the items right after it
  // Its identifier: spelled on its line from format 4 on, at identifierAt
  // (0 where the line spells none); given by its position in format 3.
  std::uint32_t identifier = 0;
  std::uint32_t identifierAt = 0;
  ItemKind kind = ItemKind::Object;
};

// How a reference line writes the item it names: as its object number (its
// index plus one, in decimal) or as its identifier (8 hexadecimal digits).
enum class Notation : std::uint8_t { ObjectNumber, Identifier };

// A line of an item's block that names another item by its value.
struct SceneReference {
  SceneLine* line;
  std::size_t at;
  std::size_t target = kNone;  // the item it names
  Notation notation = Notation::ObjectNumber;
};

// Why a scene cannot be edited soundly as its reader reads it.
enum class SceneProblem : std::uint8_t {
  None,
  NoCamera,     // no camera line, so no end of the light section
  OutOfOrder,   // objects, lights and cameras do not stand in that order
  Unbalanced,   // a brace block or plug-in body that does not close
  Identifiers,  // an item line without an identifier of its kind, or one two items share
};

struct SceneDescription {
  std::vector<SceneItem> items;            // in file order, bones right after their object
  std::vector<SceneReference> references;  // in file order
  std::vector<std::size_t> objects;        // the item of each object index
  std::vector<std::size_t> lights;         // the item of each light index
  // The identifiers the first object and light copies take; each later copy
  // of a kind takes the next.
  std::uint32_t nextObjectIdentifier = 0;
  std::uint32_t nextLightIdentifier = 0;
  // Object and light copies go right after these lines; null where no copy can go.
  SceneLine* objectPlace = nullptr;
  SceneLine* lightPlace = nullptr;
  std::size_t objectPlaceAt = kNone;
  std::size_t lightPlaceAt = kNone;
  // Only items that stand before this position are ever copied.
  std::size_t copyableEnd = kNone;
  // Spans [first, last] of positions before which nothing may be inserted:
  // the lines of a multi-line value after its first.
  std::vector<std::pair<std::size_t, std::size_t>> sealed;
  std::size_t lineCount = 0;
  SceneProblem problem = SceneProblem::None;
};

// Which lines a reading walks: every line of the list, or only the lines of
// the saved scene, passing over those a copy inserted. Positions count the
// lines walked.
enum class Reading : std::uint8_t { AllLines, SavedLines };

// Where new blank lines stand around copies.
struct CopyLayout {
  bool blankBeforeEachCopy;     // before every object and light copy
  bool blankAfterPickedObject;  // after the picked object's copy
  bool blankAfterObjectCopy;    // after every other object copy
  bool blankAfterLightCopy;     // after every light copy
  bool rewriteKeepsLineEnd;     // a rewritten line ends as its source; else as the scene's first line
};

// What graftling knows of one scene format.
class SceneReader {
 public:
  explicit SceneReader(std::int32_t format) : format_(format) {}
  SceneReader(const SceneReader&) = delete;
  SceneReader& operator=(const SceneReader&) = delete;
  virtual ~SceneReader() = default;

  std::int32_t format() const { return format_; }

  // The scene's items, references and places of copies, read as this format.
  virtual SceneDescription read(const SceneLines& lines, Reading reading = Reading::AllLines) const = 0;

  // The n-th object (from 1) whose file name, as the host gives it, is fileName.
  virtual SceneLine* findObjectLine(const SceneLines& lines, std::string_view fileName,
                                    std::int32_t n) const = 0;

  // The file name the host gives the object of an object line: the file it
  // loads, or a null object's name.
  virtual std::string_view objectFileName(const SceneLine* line) const = 0;

  // The name of a light, camera or bone as its block gives it; empty when none.
  virtual std::string_view itemName(const SceneItem& item) const = 0;

  // Whether a new line may stand directly before the line read at position
  // at, which follows previous: not inside a multi-line value, and not
  // between lines that may still belong to one block.
  virtual bool mayInsertBefore(const SceneDescription& description, const SceneLine* previous,
                               const SceneLine* line, std::size_t at) const = 0;

  virtual CopyLayout copyLayout() const = 0;

  // Whether readings take the kinds that classifyLines gives lines, so that
  // lines a copy inserts must be classified before the list is read again.
  virtual bool readsLineKinds() const = 0;

  // The highest index a copy of this kind may take; an object copy with
  // bones may take no higher than the bones' identifiers can name.
  virtual std::int32_t maxCopyIndex(ItemKind kind, bool withBones) const = 0;

  // The highest identifier a copy of this kind may take.
  virtual std::uint32_t maxCopyIdentifier(ItemKind kind) const = 0;

  // Whether item lines spell identifiers, so that a copy's item lines and
  // its bones' carry identifiers of their own.
  virtual bool itemLinesCarryIdentifiers() const = 0;

 private:
  std::int32_t format_;
};

// The format a scene's second line names: that line without its line end
// when it is 1 to 9 decimal digits, otherwise "unknown".
std::string formatNameOf(std::string_view secondLine);
std::string formatNameOf(const SceneLines& list);

// The reader of the format of that name when graftling edits it; null otherwise.
const SceneReader* readerFor(std::string_view formatName);

// The reader that reads a scene of any format as far as it can: that of its
// format, or the nearest one, so that the command can draw any scene.
const SceneReader& nearestReader(std::string_view formatName);

// Runs read(first, next) over the lines that reading walks: from the list's
// first line with next, or from its first saved line with nextSavedLine.
template <typename Read>
SceneDescription readLines(const SceneLines& lines, Reading reading, Read read) {
  if (reading == Reading::AllLines) return read(lines.head, [](SceneLine* line) { return line->next; });
  SceneLine* first = lines.head;
  while (first != nullptr && first->inserted) first = first->next;
  return read(first, [](SceneLine* line) { return nextSavedLine(line); });
}

// The formats graftling edits, for messages: "1, 2, 3, 4, 5, 6, 7 and 8".
std::string editedFormatsText();

// Whether text begins with keyword as a whole word: followed by a space, a
// tab, a line end or nothing.
bool beginsWithWord(std::string_view text, std::string_view keyword);

// Whether the text is a blank line: LF or CR LF alone.
inline bool isBlankText(std::string_view text) { return text == "\n" || text == "\r\n"; }

// The text without its line end (LF or CR LF).
std::string_view withoutLineEnd(std::string_view text);

// The line end of a text: CR LF, LF, or nothing.
std::string_view lineEndOf(std::string_view text);

// The value that names an item in a notation: its object number (index plus
// one) in decimal, or its identifier in 8 lowercase hexadecimal digits.
std::string referenceValue(Notation notation, std::int32_t index, std::uint32_t identifier);

// An identifier as scenes spell it: 8 lowercase hexadecimal digits.
std::string identifierText(std::uint32_t identifier);

// The identifier of a bone of the object whose identifier is object: the
// bone's own number (from bone's identifier) and the object's last 4 digits.
constexpr std::uint32_t boneIdentifier(std::uint32_t bone, std::uint32_t object) {
  return 0x40000000u | (bone & 0x0FFF0000u) | (object & 0xFFFFu);
}

}  // namespace graftling

#endif  // GRAFTLING_SCENE_SCENE_FORMAT_H_
