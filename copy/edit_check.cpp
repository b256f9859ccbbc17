#include "copy/edit_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <vector>

#include "scene/scene_queries.h"

namespace graftling {

namespace {

// A position that no saved line has: no end, no parent, not reached.
constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// Where a saved item stands with respect to the picked object's branch.
enum class Branch : std::uint8_t { Unknown, Visiting, Outside, Inside, BelowReported };

// A saved item line as the saved scene reads it: positions count saved lines
// only, so the lines a run inserted cannot change how it reads.
struct SavedItem {
  const SceneLine* line;
  std::size_t at;
  std::size_t end;          // its block's last line; kNone: the block runs on to the end
  const SceneLine* parent;  // the "ParentObject" line before its block's end line, or null
  std::size_t parentItem = kNone;
  const SceneLine* copy = nullptr;
  bool reported = false;
  Branch branch = Branch::Unknown;
};

bool isObjectKeyword(Keyword keyword) {
  return keyword == Keyword::AddNullObject || keyword == Keyword::LoadObject;
}

bool isItem(const SceneLine* line) { return line->kind == KindObject || line->kind == KindLight; }

// Walks the list once, head to end. Notes after which saved line each run of
// inserted lines stands, and fails when an inserted object line stands before
// a saved one, which would renumber it.
bool findInsertions(const SceneLines& lines, std::vector<std::size_t>& gaps, std::size_t& savedCount,
                    const SceneLine*& last) {
  bool afterInserted = false;
  bool insertedObject = false;
  savedCount = 0;
  for (const SceneLine* line = lines.head; line != nullptr; line = line->next) {
    last = line;
    bool object = isObjectKeyword(line->text.keyword());
    if (line->inserted) {
      if (!afterInserted) gaps.push_back(savedCount == 0 ? kNone : savedCount - 1);
      afterInserted = true;
      insertedObject = insertedObject || object;
      continue;
    }
    if (insertedObject && object) return false;
    afterInserted = false;
    ++savedCount;
  }
  return true;
}

// Walks the saved lines once, end to head, reading each item's block end and
// parent line exactly as the copy reads them from the saved scene: an object
// ends at its first "ShadowOptions" line, a light at its first "ShadowType"
// line and the settings lines after it, and the parent line is the first one
// before the end line that the child search reads (a light's "ShadowType").
std::vector<SavedItem> readSavedItems(const SceneLine* last, std::size_t savedCount) {
  std::vector<SavedItem> items;
  std::size_t at = savedCount;
  std::size_t nextShadowOptions = kNone;
  std::size_t nextShadowType = kNone;
  std::size_t shadowTypeEnd = kNone;
  std::size_t nextParentAt = kNone;
  const SceneLine* nextParent = nullptr;
  std::size_t settingsEnd = kNone;  // where the settings run that starts after this line ends
  for (const SceneLine* line = last; line != nullptr; line = line->prev) {
    if (line->inserted) continue;
    --at;
    bool settings = isSettingsLine(line);
    std::size_t settingsHere = settings ? (settingsEnd != kNone ? settingsEnd : at) : kNone;
    switch (line->text.keyword()) {
      case Keyword::ShadowOptions:
        nextShadowOptions = at;
        break;
      case Keyword::ShadowType:
        nextShadowType = at;
        shadowTypeEnd = settings ? settingsHere : at;
        break;
      case Keyword::ParentObject:
        nextParentAt = at;
        nextParent = line;
        break;
      default:
        break;
    }
    if (isItem(line)) {
      bool object = line->kind == KindObject;
      std::size_t parentEnd = object ? nextShadowOptions : nextShadowType;
      const SceneLine* parent = nextParent != nullptr && nextParentAt < parentEnd ? nextParent : nullptr;
      items.push_back(SavedItem{line, at, object ? nextShadowOptions : shadowTypeEnd, parent});
    }
    settingsEnd = settingsHere;
  }
  std::reverse(items.begin(), items.end());
  return items;
}

// Whether a run of inserted lines stands between an item line and its
// block's end line.
bool insertsInsideABlock(const std::vector<SavedItem>& items, const std::vector<std::size_t>& gaps) {
  std::size_t reach = 0;
  bool reached = false;
  std::size_t next = 0;
  for (std::size_t gap : gaps) {
    if (gap == kNone) continue;
    for (; next < items.size() && items[next].at <= gap; ++next) {
      reach = std::max(reach, items[next].end);
      reached = true;
    }
    if (reached && reach > gap) return true;
  }
  return false;
}

// Whether the copy that starts at copy is whole: new lines up to its block's
// end line, with no other item or camera line among them. Sets parent to its
// first "ParentObject" line before that end. Stops at the first line that
// fails, so the walks of all copies together pass each line at most once.
bool isWholeCopy(const SceneLine* copy, const SceneLine*& parent) {
  parent = nullptr;
  if (!copy->inserted || !isItem(copy)) return false;
  Keyword endKeyword = copy->kind == KindObject ? Keyword::ShadowOptions : Keyword::ShadowType;
  for (const SceneLine* line = copy->next; line != nullptr && line->inserted; line = line->next) {
    if (isItem(line) || line->kind == KindCamera) return false;
    Keyword keyword = line->text.keyword();
    if (keyword == endKeyword) return true;
    if (keyword == Keyword::ParentObject && parent == nullptr) parent = line;
  }
  return false;
}

// Settles every item's place in the branch from its parent's, following each
// chain of parents once. The picked object must already be Inside.
void placeInBranch(std::vector<SavedItem>& items) {
  std::vector<std::size_t> path;
  for (std::size_t start = 0; start < items.size(); ++start) {
    for (std::size_t at = start; at != kNone && items[at].branch == Branch::Unknown;
         at = items[at].parentItem) {
      items[at].branch = Branch::Visiting;
      path.push_back(at);
    }
    for (; !path.empty(); path.pop_back()) {
      SavedItem& item = items[path.back()];
      item.branch = Branch::Outside;
      if (item.parentItem == kNone) continue;
      // A parent still Visiting closes a loop that misses the picked object.
      const SavedItem& above = items[item.parentItem];
      if (above.branch == Branch::Inside) {
        item.branch = above.reported ? Branch::BelowReported : Branch::Inside;
      } else if (above.branch == Branch::BelowReported) {
        item.branch = Branch::BelowReported;
      }
    }
  }
}

}  // namespace

bool checkCopiedScene(const SceneLines& lines, const CopyLog& log) {
  std::vector<std::size_t> gaps;
  std::size_t savedCount = 0;
  const SceneLine* last = nullptr;
  if (!findInsertions(lines, gaps, savedCount, last)) return false;
  std::vector<SavedItem> items = readSavedItems(last, savedCount);
  if (insertsInsideABlock(items, gaps)) return false;

  std::vector<std::size_t> objectByNumber;
  std::unordered_map<const SceneLine*, std::size_t> itemOf;
  itemOf.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    itemOf.emplace(items[i].line, i);
    if (items[i].line->kind != KindObject) continue;
    objectByNumber.push_back(i);
    if (items[i].line->objectNumber != static_cast<std::int64_t>(objectByNumber.size())) return false;
  }
  for (SavedItem& item : items) {
    if (item.parent == nullptr || !item.parent->text.hasNumber()) continue;
    std::int64_t number = item.parent->text.number();
    if (number >= 1 && number <= static_cast<std::int64_t>(objectByNumber.size()))
      item.parentItem = objectByNumber[static_cast<std::size_t>(number - 1)];
  }

  auto root = itemOf.find(log.root);
  if (root == itemOf.end() || log.rootCopy == nullptr) return false;
  SavedItem& picked = items[root->second];
  picked.copy = log.rootCopy;
  picked.branch = Branch::Inside;
  for (const CopyLog::Copy& copy : log.copies) {
    auto source = itemOf.find(copy.source);
    if (source == itemOf.end() || copy.copy == nullptr || items[source->second].copy != nullptr) return false;
    items[source->second].copy = copy.copy;
  }
  for (const SceneLine* line : log.reported) {
    auto source = itemOf.find(line);
    if (source == itemOf.end()) return false;
    items[source->second].reported = true;
  }

  // The picked object's copy keeps the picked object's own parent line.
  const SceneLine* parent = nullptr;
  if (!isWholeCopy(picked.copy, parent) || picked.copy->kind != KindObject) return false;
  if ((parent == nullptr) != (picked.parent == nullptr)) return false;
  if (parent != nullptr && parent->text.view() != picked.parent->text.view()) return false;
  // Every other copy names the copy of its source's parent.
  for (const CopyLog::Copy& copy : log.copies) {
    const SavedItem& source = items[itemOf.find(copy.source)->second];
    if (!isWholeCopy(copy.copy, parent) || copy.copy->kind != source.line->kind) return false;
    if (source.parentItem == kNone || parent == nullptr || !parent->text.hasNumber()) return false;
    const SceneLine* parentCopy = items[source.parentItem].copy;
    if (parentCopy == nullptr || parent->text.number() != parentCopy->objectNumber) return false;
  }

  placeInBranch(items);
  for (const SavedItem& item : items) {
    if (item.branch == Branch::Inside && item.copy == nullptr && !item.reported) return false;
  }
  return true;
}

}  // namespace graftling
