#include "copy/edit_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scene/scene_format.h"
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
  std::size_t end;          // its block's last line
  const SceneLine* parent;  // its block's "ParentObject" line, or null
  std::size_t parentItem = kNone;
  const SceneLine* copy = nullptr;
  bool reported = false;
  Branch branch = Branch::Unknown;
};

bool isObjectKeyword(Keyword keyword) {
  return keyword == Keyword::AddNullObject || keyword == Keyword::LoadObject;
}

// A run of inserted lines: the saved line it follows, and its first and last line.
struct Run {
  std::size_t after;
  const SceneLine* first;
  const SceneLine* last;
};

// The saved lines in order, and the runs of inserted lines between them.
struct Reading {
  std::vector<const SceneLine*> saved;
  std::vector<Run> runs;
};

// Walks the list once, head to end. Fails when a run stands before the first
// saved line, inside a multi-line value, or right after a line that is not
// blank and before one that begins no new part of the scene (a blank, item or
// section line): that line may still be the block's. Fails too when an
// inserted object line stands before a saved one, which would renumber it.
bool readInsertions(const SceneLines& lines, Reading& reading) {
  bool insertedObject = false;
  for (const SceneLine* line = lines.head; line != nullptr; line = line->next) {
    if (line->inserted) {
      if (reading.saved.empty()) return false;
      bool continuesRun = line->prev != nullptr && line->prev->inserted;
      if (!continuesRun) reading.runs.push_back(Run{reading.saved.size() - 1, line, line});
      reading.runs.back().last = line;
      insertedObject = insertedObject || isObjectKeyword(line->text.keyword());
      continue;
    }
    if (insertedObject && isObjectKeyword(line->text.keyword())) return false;
    if (line->prev != nullptr && line->prev->inserted) {
      if (continuesAValue(line)) return false;
      const SceneLine* before = reading.saved[reading.runs.back().after];
      bool beginsAPart = isBlankText(line->text.view()) || isItemLine(line) || isSectionLine(line);
      if (!isBlankText(before->text.view()) && !beginsAPart) return false;
    }
    reading.saved.push_back(line);
  }
  return true;
}

const SceneLine* nextSaved(const SceneLine* line) {
  do line = line->next;
  while (line != nullptr && line->inserted);
  return line;
}

// Reads every saved item's block exactly as the copy reads it from the saved
// scene, the lines a run inserted passed over.
std::vector<SavedItem> readSavedItems(const std::vector<const SceneLine*>& saved) {
  std::vector<SavedItem> items;
  for (std::size_t at = 0; at < saved.size(); ++at) {
    if (!isItemLine(saved[at])) continue;
    const SceneLine* last = blockLastLine(saved[at], nextSaved);
    std::size_t end = at;
    while (saved[end] != last) ++end;
    items.push_back(SavedItem{saved[at], at, end, blockParentLine(saved[at], last, nextSaved)});
  }
  return items;
}

// Whether a run stands between an item line and its block's last line.
bool insertsInsideABlock(const std::vector<SavedItem>& items, const std::vector<Run>& runs) {
  std::size_t next = 0;
  for (const Run& run : runs) {
    while (next < items.size() && items[next].end < run.after) ++next;
    if (next < items.size() && items[next].at <= run.after && run.after < items[next].end) return true;
  }
  return false;
}

// Where the copies of one section belong: after the last saved block of kind
// before the saved line at sectionEnd, and after the blank line that follows
// it when there is one; with no such block, after the line before sectionEnd.
// kNone when that section has no end.
std::size_t placeOfCopies(const std::vector<const SceneLine*>& saved, const std::vector<SavedItem>& items,
                          LineKind kind, std::size_t sectionEnd) {
  if (sectionEnd == kNone) return kNone;
  const SavedItem* lastBlock = nullptr;
  for (const SavedItem& item : items) {
    if (item.at < sectionEnd && item.line->kind == kind) lastBlock = &item;
  }
  if (lastBlock == nullptr) return sectionEnd == 0 ? kNone : sectionEnd - 1;
  std::size_t after = lastBlock->end + 1;
  return after < sectionEnd && isBlankText(saved[after]->text.view()) ? after : lastBlock->end;
}

// The text a copied reference line must hold: its source's, or, when the
// source names an object that the run copied, that copy's number.
bool holdsExpectedReference(const SceneLine* source, const SceneLine* copied,
                            const std::vector<std::size_t>& objectByNumber,
                            const std::vector<SavedItem>& items, std::string_view lineEnd) {
  std::string_view text = source->text.view();
  std::size_t space = text.find(' ');
  const SceneLine* namedCopy = nullptr;
  if (space != std::string_view::npos) {
    std::int64_t named = decimalValue(text.substr(space + 1));
    if (named >= 1 && named <= static_cast<std::int64_t>(objectByNumber.size()))
      namedCopy = items[objectByNumber[static_cast<std::size_t>(named - 1)]].copy;
  }
  if (namedCopy == nullptr) return copied->text.view() == text;
  std::string expected(text.substr(0, space + 1));
  expected += std::to_string(namedCopy->objectNumber);
  expected += lineEnd;
  return copied->text.view() == expected;
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
  Reading reading;
  if (!readInsertions(lines, reading)) return false;
  const std::vector<const SceneLine*>& saved = reading.saved;
  std::vector<SavedItem> items = readSavedItems(saved);
  if (insertsInsideABlock(items, reading.runs)) return false;

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
  std::vector<CopyLog::Copy> copies{CopyLog::Copy{log.root, log.rootCopy}};
  copies.insert(copies.end(), log.copies.begin(), log.copies.end());
  std::unordered_map<const SceneLine*, std::size_t> sourceOfCopy;
  for (const CopyLog::Copy& copy : copies) {
    auto source = itemOf.find(copy.source);
    if (source == itemOf.end() || copy.copy == nullptr || items[source->second].copy != nullptr) return false;
    items[source->second].copy = copy.copy;
    sourceOfCopy.emplace(copy.copy, source->second);
  }
  for (const SceneLine* line : log.reported) {
    auto source = itemOf.find(line);
    if (source == itemOf.end()) return false;
    items[source->second].reported = true;
  }
  SavedItem& picked = items[root->second];
  picked.branch = Branch::Inside;

  // Each run is whole copies and blank lines: a copy is its source block line
  // for line, but for the parent line of a copy below the picked object, which
  // names the copy of its source's parent, and reference lines, which name the
  // copies of the objects they name where the run copied those.
  std::string_view lineEnd = sceneLineEnd(lines);
  std::vector<std::size_t> runOfCopy(items.size(), kNone);
  for (std::size_t r = 0; r < reading.runs.size(); ++r) {
    const Run& run = reading.runs[r];
    for (const SceneLine* line = run.first;; line = line->next) {
      auto found = sourceOfCopy.find(line);
      if (found == sourceOfCopy.end()) {
        if (!isBlankText(line->text.view())) return false;
      } else {
        const SavedItem& source = items[found->second];
        runOfCopy[found->second] = r;
        bool isRoot = source.line == log.root;
        if (!isRoot && source.parent == nullptr) return false;
        const SceneLine* copied = line;
        for (std::size_t at = source.at;; ++at) {
          const SceneLine* original = saved[at];
          if (original == source.parent && !isRoot) {
            const SceneLine* parentCopy =
                source.parentItem != kNone ? items[source.parentItem].copy : nullptr;
            if (parentCopy == nullptr || copied->text.keyword() != Keyword::ParentObject ||
                !copied->text.hasNumber() || copied->text.number() != parentCopy->objectNumber)
              return false;
          } else if (isReferenceLine(original)) {
            if (!holdsExpectedReference(original, copied, objectByNumber, items, lineEnd)) return false;
          } else if (copied->text.view() != original->text.view()) {
            return false;
          }
          if (at == source.end) break;
          if (copied == run.last) return false;
          copied = copied->next;
        }
        line = copied;
      }
      if (line == run.last) break;
    }
  }

  // Object copies stand together where the object section ends, light copies
  // where the light section ends, and nothing else was inserted.
  std::size_t firstLight = kNone;
  std::size_t cameraSection = kNone;
  for (std::size_t at = 0; at < saved.size(); ++at) {
    if (firstLight == kNone && saved[at]->kind == KindLight) firstLight = at;
    if (cameraSection == kNone && beginsCameraSection(saved[at])) cameraSection = at;
  }
  std::size_t objectPlace = placeOfCopies(saved, items, KindObject, firstLight);
  std::size_t lightPlace = placeOfCopies(saved, items, KindLight, cameraSection);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].copy == nullptr) continue;
    std::size_t place = items[i].line->kind == KindObject ? objectPlace : lightPlace;
    if (runOfCopy[i] == kNone || place == kNone || reading.runs[runOfCopy[i]].after != place) return false;
  }
  for (const Run& run : reading.runs) {
    if (run.after != objectPlace && run.after != lightPlace) return false;
  }
  if (picked.copy->kind != KindObject) return false;

  placeInBranch(items);
  for (const SavedItem& item : items) {
    if (item.branch == Branch::Inside && item.copy == nullptr && !item.reported) return false;
  }
  return true;
}

}  // namespace graftling
