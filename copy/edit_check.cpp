#include "copy/edit_check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scene/scene_queries.h"

namespace graftling {

namespace {

// Where a saved item stands with respect to the picked object's branch.
enum class Branch : std::uint8_t { Unknown, Visiting, Outside, Inside, BelowReported };

// A run of inserted lines: the position of the saved line it follows, the
// saved lines around it, and its first and last line.
struct Run {
  std::size_t after;
  const SceneLine* before;
  const SceneLine* following;
  const SceneLine* first;
  const SceneLine* last;
};

// Walks the list once and finds the runs of inserted lines between the
// saved ones. Fails when a run stands before the first saved line or after
// the last, where no copy ever goes.
bool readInsertions(const SceneLines& lines, std::vector<Run>& runs) {
  std::size_t saved = 0;
  for (const SceneLine* line = lines.head; line != nullptr; line = line->next) {
    if (!line->inserted) {
      if (line->prev != nullptr && line->prev->inserted) runs.back().following = line;
      ++saved;
      continue;
    }
    if (saved == 0 || line->next == nullptr) return false;
    if (!line->prev->inserted) runs.push_back(Run{saved - 1, line->prev, nullptr, line, line});
    runs.back().last = line;
  }
  return true;
}

// Items of a reading by their lines: those whose lines are wanted, or every
// inserted one.
using ItemsByLine = std::unordered_map<const SceneLine*, std::size_t>;

void findItems(const SceneDescription& scene, ItemsByLine& wanted) {
  for (std::size_t i = 0; i < scene.items.size(); ++i) {
    auto found = wanted.find(scene.items[i].line);
    if (found != wanted.end()) found->second = i;
  }
}

ItemsByLine insertedItems(const SceneDescription& scene) {
  ItemsByLine inserted;
  for (std::size_t i = 0; i < scene.items.size(); ++i) {
    if (scene.items[i].line->inserted) inserted.emplace(scene.items[i].line, i);
  }
  return inserted;
}

// The reading of the scene as saved, the reading of the result, and what
// joins them.
class Check {
 public:
  Check(const SceneLines& lines, const SceneReader& reader, const CopyLog& log, const SceneDescription* saved)
      : lines_(lines),
        reader_(reader),
        log_(log),
        layout_(reader.copyLayout()),
        saved_(saved != nullptr ? *saved : ownSaved_) {}

  bool holds() {
    if (!readInsertions(lines_, runs_)) return false;
    if (&saved_ == &ownSaved_) ownSaved_ = reader_.read(lines_, Reading::SavedLines);
    result_ = reader_.read(lines_, Reading::AllLines);
    if (saved_.problem != SceneProblem::None || result_.problem != SceneProblem::None) return false;
    // Only the lines the log names are looked up among the saved items.
    savedByLine_.emplace(log_.root, kNone);
    for (const CopyLog::Copy& copy : log_.copies) savedByLine_.emplace(copy.source, kNone);
    for (const SceneLine* line : log_.reported) savedByLine_.emplace(line, kNone);
    findItems(saved_, savedByLine_);
    resultByLine_ = insertedItems(result_);
    return runsStandApart() && savedItemsReadAsBefore() && readCopies() && runsHoldCopiesOnly() &&
           branchIsWhole();
  }

 private:
  // Every run follows a line after which something may be inserted, and
  // stands outside every saved block.
  bool runsStandApart() const {
    std::size_t next = 0;
    for (const Run& run : runs_) {
      if (!reader_.mayInsertBefore(saved_, run.before, run.following, run.after + 1)) return false;
      for (; next < saved_.items.size(); ++next) {
        const SceneItem& item = saved_.items[next];
        if (item.kind != ItemKind::Bone && item.lastAt >= run.after) break;
      }
      if (next < saved_.items.size() && saved_.items[next].at <= run.after &&
          run.after < saved_.items[next].lastAt)
        return false;
    }
    return true;
  }

  // The result reads every saved item as the saved scene does: the same line,
  // kind, index, block and bones, and references that name the same items.
  bool savedItemsReadAsBefore() {
    resultOfSaved_.reserve(saved_.items.size());
    for (std::size_t r = 0; r < result_.items.size(); ++r) {
      if (result_.items[r].line->inserted) continue;
      std::size_t i = resultOfSaved_.size();
      if (i == saved_.items.size() || result_.items[r].line != saved_.items[i].line) return false;
      resultOfSaved_.push_back(r);
    }
    if (resultOfSaved_.size() != saved_.items.size()) return false;
    for (std::size_t i = 0; i < saved_.items.size(); ++i) {
      const SceneItem& before = saved_.items[i];
      const SceneItem& now = result_.items[resultOfSaved_[i]];
      if (now.kind != before.kind || now.index != before.index || now.identifier != before.identifier ||
          now.last != before.last || now.bones != before.bones ||
          parentLine(result_, now) != parentLine(saved_, before) ||
          now.endReference - now.firstReference != before.endReference - before.firstReference)
        return false;
      for (std::size_t r = 0; r < before.endReference - before.firstReference; ++r) {
        const SceneReference& was = saved_.references[before.firstReference + r];
        const SceneReference& is = result_.references[now.firstReference + r];
        if (is.line != was.line || !sameItem(was.target, is.target)) return false;
      }
    }
    return true;
  }

  static const SceneLine* parentLine(const SceneDescription& scene, const SceneItem& item) {
    return item.parent == kNone ? nullptr : scene.references[item.parent].line;
  }

  // Whether a saved item of the saved reading and an item of the result's are one.
  bool sameItem(std::size_t saved, std::size_t result) const {
    if (saved == kNone || result == kNone) return saved == result;
    return saved_.items[saved].line == result_.items[result].line;
  }

  // Joins each logged copy to its source and checks it line for line.
  bool readCopies() {
    copyOf_.assign(saved_.items.size(), kNone);
    std::vector<std::pair<std::size_t, std::size_t>> copies;  // saved source, result copy
    auto add = [&](const SceneLine* source, const SceneLine* copy) {
      auto from = savedByLine_.find(source);
      auto to = resultByLine_.find(copy);
      if (from == savedByLine_.end() || from->second == kNone || to == resultByLine_.end() ||
          copyOf_[from->second] != kNone)
        return false;
      if (!copy->inserted) return false;
      copyOf_[from->second] = to->second;
      copies.emplace_back(from->second, to->second);
      return true;
    };
    if (log_.rootCopy == nullptr || !add(log_.root, log_.rootCopy)) return false;
    root_ = copies.front().first;
    if (saved_.items[root_].kind != ItemKind::Object) return false;
    for (const CopyLog::Copy& copy : log_.copies) {
      if (!add(copy.source, copy.copy)) return false;
    }
    for (const auto& [source, copy] : copies) {
      if (!copiesLineForLine(source, copy)) return false;
    }
    return true;
  }

  // Whether the copy at result item copy holds the saved block of source,
  // with its references as the run must have pointed them.
  bool copiesLineForLine(std::size_t source, std::size_t copy) const {
    const SceneItem& from = saved_.items[source];
    const SceneItem& to = result_.items[copy];
    if (to.kind != from.kind || to.bones != from.bones || to.lastAt - to.at != from.lastAt - from.at)
      return false;
    if (to.index > reader_.maxCopyIndex(to.kind, to.bones > 0)) return false;
    if (to.identifier > reader_.maxCopyIdentifier(to.kind)) return false;
    if (to.endReference - to.firstReference != from.endReference - from.firstReference) return false;
    for (std::int32_t bone = 1; bone <= from.bones; ++bone) {
      const SceneItem& savedBone = saved_.items[source + static_cast<std::size_t>(bone)];
      const SceneItem& copiedBone = result_.items[copy + static_cast<std::size_t>(bone)];
      if (copiedBone.at - to.at != savedBone.at - from.at) return false;
      if (copiedBone.identifier != boneIdentifier(savedBone.identifier, to.identifier)) return false;
    }
    // A copy below the picked object hangs on a copy of its source's parent.
    if (source != root_) {
      if (from.parent == kNone) return false;
      std::size_t parent = saved_.references[from.parent].target;
      if (parent == kNone || copyOf_[nodeOf(parent)] == kNone) return false;
    }
    std::size_t reference = from.firstReference;
    std::size_t item = source;  // the item or bone whose line comes next
    const SceneLine* copied = to.line;
    const SceneLine* original = from.line;
    for (std::size_t offset = 0;; ++offset) {
      bool isReference = reference < from.endReference && saved_.references[reference].at == from.at + offset;
      bool isItem =
          item <= source + static_cast<std::size_t>(from.bones) && saved_.items[item].at == from.at + offset;
      if (isItem) {
        if (!copiesItemLine(item, result_.items[copy + (item - source)], copied->text.view())) return false;
        ++item;
      } else if (isReference) {
        if (result_.references[to.firstReference + (reference - from.firstReference)].line != copied)
          return false;
        if (copied->text.view() != expectedReference(reference, source == root_ && reference == from.parent))
          return false;
        ++reference;
      } else if (copied->text.view() != original->text.view()) {
        return false;
      }
      if (original == from.last) return copied == to.last;
      if (copied == to.last) return false;
      copied = copied->next;
      original = nextSavedLine(original);
    }
  }

  // Whether a copy's item line holds its source's text, spelling the copy's
  // identifier where the source spells its own.
  bool copiesItemLine(std::size_t source, const SceneItem& copy, std::string_view copied) const {
    const SceneItem& from = saved_.items[source];
    std::string_view text = from.line->text.view();
    if (from.identifierAt == 0) return copied == text;
    std::size_t at = from.identifierAt;
    return copied.size() == text.size() && copied.substr(0, at) == text.substr(0, at) &&
           copied.substr(at, 8) == identifierText(copy.identifier) &&
           copied.substr(at + 8) == text.substr(at + 8);
  }

  // The item whose copy a reference to item names: a bone's object, else itself.
  std::size_t nodeOf(std::size_t item) const {
    const SceneItem& named = saved_.items[item];
    return named.kind == ItemKind::Bone ? named.object : item;
  }

  // The text a copy of the saved reference line must hold: its own, or, when
  // it names an item of the branch, the same line naming that item's copy.
  std::string expectedReference(std::size_t reference, bool pickedParentLine) const {
    const SceneReference& source = saved_.references[reference];
    std::string_view text = source.line->text.view();
    if (pickedParentLine || source.target == kNone) return std::string(text);
    std::size_t copied = copyOf_[nodeOf(source.target)];
    if (copied == kNone) return std::string(text);
    // A bone's copy stands as far into its object's copy as the bone into its object.
    const SceneItem& named = saved_.items[source.target];
    std::size_t copiedNamed =
        named.kind == ItemKind::Bone ? copied + 1 + static_cast<std::size_t>(named.index) : copied;
    if (copiedNamed >= result_.items.size() || result_.items[copiedNamed].kind != named.kind) return {};
    std::string value =
        referenceValue(source.notation, result_.items[copied].index, result_.items[copiedNamed].identifier);
    std::string expected(text.substr(0, text.find(' ') + 1));
    expected += value;
    expected += layout_.rewriteKeepsLineEnd ? lineEndOf(text) : sceneLineEnd(lines_);
    return expected;
  }

  // Each run is whole copies and blank lines, object copies where the object
  // section ends and light copies where the light section ends.
  bool runsHoldCopiesOnly() const {
    std::vector<bool> isCopy(result_.items.size(), false);
    for (std::size_t copy : copyOf_) {
      if (copy != kNone) isCopy[copy] = true;
    }
    std::size_t placed = 0;
    for (const Run& run : runs_) {
      for (const SceneLine* line = run.first;; line = line->next) {
        auto item = resultByLine_.find(line);
        if (item != resultByLine_.end() && isCopy[item->second]) {
          const SceneItem& copy = result_.items[item->second];
          std::size_t place = copy.kind == ItemKind::Object ? saved_.objectPlaceAt : saved_.lightPlaceAt;
          if (place == kNone || run.after != place) return false;
          ++placed;
          for (; line != copy.last; line = line->next) {
            if (line == run.last) return false;
          }
        } else if (!isBlankText(line->text.view())) {
          return false;
        }
        if (line == run.last) break;
      }
    }
    return placed == log_.copies.size() + 1;
  }

  // Settles every item's place in the branch from its parent's, following
  // each chain of parents once: every item inside it was copied or reported.
  bool branchIsWhole() const {
    std::vector<Branch> branch(saved_.items.size(), Branch::Unknown);
    std::vector<bool> reported(saved_.items.size(), false);
    for (const SceneLine* line : log_.reported) {
      auto item = savedByLine_.find(line);
      if (item == savedByLine_.end() || item->second == kNone) return false;
      reported[item->second] = true;
    }
    branch[root_] = Branch::Inside;
    auto parentOf = [&](std::size_t item) {
      const SceneItem& child = saved_.items[item];
      if (child.kind != ItemKind::Object && child.kind != ItemKind::Light) return kNone;
      if (child.parent == kNone) return kNone;
      std::size_t parent = saved_.references[child.parent].target;
      if (parent == kNone) return kNone;
      parent = nodeOf(parent);
      ItemKind kind = saved_.items[parent].kind;
      return kind == ItemKind::Object || kind == ItemKind::Light ? parent : kNone;
    };
    std::vector<std::size_t> path;
    for (std::size_t start = 0; start < saved_.items.size(); ++start) {
      for (std::size_t at = start; at != kNone && branch[at] == Branch::Unknown; at = parentOf(at)) {
        branch[at] = Branch::Visiting;
        path.push_back(at);
      }
      for (; !path.empty(); path.pop_back()) {
        std::size_t item = path.back();
        branch[item] = Branch::Outside;
        std::size_t parent = parentOf(item);
        // A parent still Visiting closes a loop that misses the picked object.
        if (parent == kNone) continue;
        if (branch[parent] == Branch::Inside) {
          branch[item] = reported[parent] ? Branch::BelowReported : Branch::Inside;
        } else if (branch[parent] == Branch::BelowReported) {
          branch[item] = Branch::BelowReported;
        }
      }
    }
    for (std::size_t i = 0; i < saved_.items.size(); ++i) {
      if (branch[i] == Branch::Inside && copyOf_[i] == kNone && !reported[i]) return false;
    }
    return true;
  }

  const SceneLines& lines_;
  const SceneReader& reader_;
  const CopyLog& log_;
  CopyLayout layout_;
  std::vector<Run> runs_;
  SceneDescription ownSaved_;  // read here when the run gave no reading
  const SceneDescription& saved_;
  SceneDescription result_;
  ItemsByLine savedByLine_;                 // the saved items the log names
  ItemsByLine resultByLine_;                // the inserted items of the result
  std::vector<std::size_t> resultOfSaved_;  // per saved item, its item in the result
  std::vector<std::size_t> copyOf_;         // per saved item, the result item of its copy
  std::size_t root_ = kNone;
};

}  // namespace

bool checkCopiedScene(const SceneLines& lines, const SceneReader& reader, const CopyLog& log,
                      const SceneDescription* saved) {
  return Check(lines, reader, log, saved).holds();
}

}  // namespace graftling
