#include "copy/one_pass_copy.h"

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "copy/block_copy.h"
#include "copy/parent_link.h"
#include "host/service_slots.h"
#include "scene/line_kind.h"
#include "scene/scene_queries.h"

namespace graftling {

namespace {

bool isCopyableKind(ItemKind kind) { return kind == ItemKind::Object || kind == ItemKind::Light; }

// The scene's copyable items grouped by the item they hang on, each group in
// file order: an object's group holds what hangs on its bones too.
class ChildIndex {
 public:
  explicit ChildIndex(const SceneDescription& scene) : first_(scene.items.size() + 2, 0) {
    for (std::size_t pass = 0; pass < 2; ++pass) {
      std::vector<std::size_t> filled(first_.begin(), first_.end() - 1);
      for (std::size_t i = 0; i < scene.items.size(); ++i) {
        std::size_t parent = parentOf(scene, i);
        if (parent == kNone) continue;
        if (pass == 0) {
          ++first_[parent + 1];
        } else {
          children_[filled[parent]++] = i;
        }
      }
      if (pass == 0) {
        for (std::size_t at = 1; at < first_.size(); ++at) first_[at] += first_[at - 1];
        children_.resize(first_.back());
      }
    }
  }

  // The children of an item, as positions in children.
  std::size_t begin(std::size_t item) const { return first_[item]; }
  std::size_t end(std::size_t item) const { return first_[item + 1]; }
  std::size_t child(std::size_t position) const { return children_[position]; }

 private:
  // The object or light that a copyable item hangs on, or kNone.
  static std::size_t parentOf(const SceneDescription& scene, std::size_t i) {
    const SceneItem& item = scene.items[i];
    if (!isCopyableKind(item.kind) || item.at >= scene.copyableEnd || item.parent == kNone) return kNone;
    std::size_t parent = scene.references[item.parent].target;
    if (parent == kNone) return kNone;
    if (scene.items[parent].kind == ItemKind::Bone) parent = scene.items[parent].object;
    return isCopyableKind(scene.items[parent].kind) ? parent : kNone;
  }

  std::vector<std::size_t> first_;     // where each item's children begin in children_
  std::vector<std::size_t> children_;  // item positions, grouped by the item they hang on
};

// Why a copy could not take an index or identifier.
enum class Refusal : std::uint8_t {
  None,
  TooMany,
  TooManyWithBones,
  NoObjectIdentifier,
  NoLightIdentifier,
  SharedBoneDigits
};

// A copy's reference line waiting for every copy's index to be known.
struct PendingReference {
  std::size_t reference;
  SceneLine* copy;
};

class OnePassRun {
 public:
  OnePassRun(SceneLines& lines, const SceneReader& reader, const SceneDescription& scene, std::size_t root,
             CopyLog& log)
      : lines_(lines),
        scene_(scene),
        layout_(reader.copyLayout()),
        reader_(reader),
        index_(scene),
        root_(root),
        log_(log),
        copyIndex_(scene.items.size(), -1),
        copyIdentifier_(scene.items.size(), 0),
        lineEnd_(sceneLineEnd(lines)) {
    if (reader.itemLinesCarryIdentifiers()) noteBoneDigits();
  }

  int run() {
    if (!copyItem(root_)) {
      showError("Graftling:", "Unable to copy the picked object");
      return 0;
    }
    if (refusal_ != Refusal::None) return refuse();
    // A child of the picked object that cannot be copied fails the run.
    for (std::size_t next = index_.begin(root_); next != index_.end(root_); ++next) {
      std::size_t child = index_.child(next);
      if (child == root_ || copyIndex_[child] >= 0) continue;
      if (!copyItem(child)) return link(0);
      if (refusal_ != Refusal::None) return refuse();
      if (!copyDescendants(child)) return refuse();
    }
    rewriteReferences();
    return link(1);
  }

 private:
  // Copies an item's block onto its kind's run and notes its reference lines.
  // False when the copy could not be made: reported, as the step-by-step copy
  // reports it, except for the picked object, whose caller reports it.
  bool copyItem(std::size_t item) {
    const SceneItem& source = scene_.items[item];
    bool object = source.kind == ItemKind::Object;
    bool picked = item == root_;
    bool blankAfter = picked ? layout_.blankAfterPickedObject
                             : (object ? layout_.blankAfterObjectCopy : layout_.blankAfterLightCopy);
    LineChain copy;
    if (layout_.blankBeforeEachCopy && !copy.append(lines_.store.make(lineEnd_))) return reportFailure(item);
    LineChain block = duplicateRange(lines_, source.line, source.last);
    if (block.empty()) return reportFailure(item);
    SceneLine* first = block.first();
    copy.append(std::move(block));
    if (blankAfter && !copy.append(lines_.store.make(lineEnd_))) return reportFailure(item);
    notePendingReferences(source, first);

    std::int32_t made = object ? objectCopies_++ : lightCopies_++;
    std::int32_t index =
        made + static_cast<std::int32_t>(object ? scene_.objects.size() : scene_.lights.size());
    std::uint32_t identifier = static_cast<std::uint32_t>(made) +
                               (object ? scene_.nextObjectIdentifier : scene_.nextLightIdentifier);
    refusal_ = refusalOf(source, index, identifier);
    if (refusal_ == Refusal::None && source.identifierAt != 0) spellIdentifiers(item, first, identifier);
    copyIndex_[item] = index;
    copyIdentifier_[item] = identifier;
    if (picked) {
      log_.rootCopy = first;
    } else {
      log_.copies.push_back(CopyLog::Copy{source.line, first});
    }
    (object ? objects_ : lights_).append(std::move(copy));
    return true;
  }

  // Whether a copy of source may take index and identifier: within what its
  // identifiers can hold, and with bones whose identifiers no other bones share.
  Refusal refusalOf(const SceneItem& source, std::int32_t index, std::uint32_t identifier) {
    bool withBones = source.kind == ItemKind::Object && source.bones > 0;
    if (index > reader_.maxCopyIndex(source.kind, withBones))
      return withBones ? Refusal::TooManyWithBones : Refusal::TooMany;
    if (identifier > reader_.maxCopyIdentifier(source.kind))
      return source.kind == ItemKind::Object ? Refusal::NoObjectIdentifier : Refusal::NoLightIdentifier;
    if (withBones && !boneDigitsTaken_.empty()) {
      if (boneDigitsTaken_[identifier & 0xFFFFu]) return Refusal::SharedBoneDigits;
      boneDigitsTaken_[identifier & 0xFFFFu] = true;
    }
    return Refusal::None;
  }

  // Bones name their object by its identifier's last 4 digits: those of the
  // saved objects with bones, and of the saved bones, are taken.
  void noteBoneDigits() {
    boneDigitsTaken_.assign(0x10000, false);
    for (const SceneItem& item : scene_.items) {
      if (item.kind == ItemKind::Bone || (item.kind == ItemKind::Object && item.bones > 0))
        boneDigitsTaken_[item.identifier & 0xFFFFu] = true;
    }
  }

  // Spells the copy's identifier on its item line, and its bones' on theirs.
  void spellIdentifiers(std::size_t item, SceneLine* first, std::uint32_t identifier) {
    const SceneItem& source = scene_.items[item];
    if (!replaceIdentifier(first, source.identifierAt, identifier)) throw std::bad_alloc();
    SceneLine* copied = first;
    std::size_t at = source.at;
    for (std::int32_t bone = 1; bone <= source.bones; ++bone) {
      const SceneItem& savedBone = scene_.items[item + static_cast<std::size_t>(bone)];
      for (; at != savedBone.at; ++at) copied = copied->next;
      if (!replaceIdentifier(copied, savedBone.identifierAt,
                             boneIdentifier(savedBone.identifier, identifier)))
        throw std::bad_alloc();
    }
  }

  bool reportFailure(std::size_t item) {
    if (item == root_) return false;
    bool object = scene_.items[item].kind == ItemKind::Object;
    log_.reported.push_back(scene_.items[item].line);
    showError("ErrorLWPanelServices", object ? "DontCreateObj" : "DontCreateLight");
    return false;
  }

  // The reference lines of a copy stand where its source's stand in its block.
  void notePendingReferences(const SceneItem& source, SceneLine* first) {
    SceneLine* copied = first;
    std::size_t at = source.at;
    for (std::size_t reference = source.firstReference; reference != source.endReference; ++reference) {
      for (; at != scene_.references[reference].at; ++at) copied = copied->next;
      pending_.push_back(PendingReference{reference, copied});
    }
  }

  // Copies the branch below an item already copied, depth first, each child
  // in file order; a child that cannot be copied is left with its branch.
  // False when a copy took an index its identifier cannot hold.
  bool copyDescendants(std::size_t item) {
    std::vector<std::size_t> stack{item};
    std::vector<std::size_t> next{index_.begin(item)};
    while (!stack.empty()) {
      std::size_t parent = stack.back();
      if (next.back() == index_.end(parent)) {
        stack.pop_back();
        next.pop_back();
        continue;
      }
      std::size_t child = index_.child(next.back()++);
      if (child == root_ || copyIndex_[child] >= 0) continue;
      if (!copyItem(child)) continue;
      if (refusal_ != Refusal::None) return false;
      stack.push_back(child);
      next.push_back(index_.begin(child));
    }
    return true;
  }

  // The value that names the copy of what a reference names, or none when the
  // run did not copy it.
  std::optional<std::string> copyValue(const SceneReference& reference) const {
    if (reference.target == kNone) return std::nullopt;
    const SceneItem& target = scene_.items[reference.target];
    std::size_t copied = target.kind == ItemKind::Bone ? target.object : reference.target;
    if (copyIndex_[copied] < 0) return std::nullopt;
    std::uint32_t identifier = copyIdentifier_[copied];
    if (target.kind == ItemKind::Bone) identifier = boneIdentifier(target.identifier, identifier);
    return referenceValue(reference.notation, copyIndex_[copied], identifier);
  }

  // Points every reference of the copies that names an item of the branch at
  // that item's copy; the picked object's own parent line stays as it is.
  void rewriteReferences() {
    std::size_t rootParent = scene_.items[root_].parent;
    for (const PendingReference& pending : pending_) {
      if (pending.reference == rootParent) continue;
      const SceneReference& reference = scene_.references[pending.reference];
      std::optional<std::string> value = copyValue(reference);
      if (!value) continue;
      std::string_view lineEnd =
          layout_.rewriteKeepsLineEnd ? lineEndOf(reference.line->text.view()) : lineEnd_;
      if (!replaceLineValue(pending.copy, *value, lineEnd)) throw std::bad_alloc();
    }
  }

  int refuse() {
    switch (refusal_) {
      case Refusal::TooManyWithBones:
        showError("Graftling:", "Bones name only 65,536 objects, too few for this copy; nothing was changed");
        break;
      case Refusal::TooMany:
        showError("Graftling:", "Identifiers name only 268,435,456 objects or lights; nothing was changed");
        break;
      case Refusal::NoObjectIdentifier:
        showError("Graftling:",
                  "No object identifier below 20000000 is free for this copy; nothing was changed");
        break;
      case Refusal::NoLightIdentifier:
        showError("Graftling:",
                  "No light identifier below 21000000 is free for this copy; nothing was changed");
        break;
      case Refusal::SharedBoneDigits:
        showError("Graftling:",
                  "This copy's bones would share identifiers with other bones; nothing was changed");
        break;
      case Refusal::None:
        break;
    }
    return 0;
  }

  // Links the copies made at their places, and classifies the list where
  // its format's readings take the lines' kinds.
  int link(int result) {
    if (!objects_.empty()) objects_.spliceAfter(scene_.objectPlace);
    if (!lights_.empty()) lights_.spliceAfter(scene_.lightPlace);
    if (reader_.readsLineKinds()) classifyLines(lines_);
    return result;
  }

  SceneLines& lines_;
  const SceneDescription& scene_;
  CopyLayout layout_;
  const SceneReader& reader_;
  ChildIndex index_;
  std::size_t root_;
  CopyLog& log_;
  std::vector<std::int32_t> copyIndex_;        // per item, its copy's index, or -1
  std::vector<std::uint32_t> copyIdentifier_;  // per item, its copy's identifier
  std::vector<bool> boneDigitsTaken_;          // per last 4 digits of an identifier, whether bones name it
  std::vector<PendingReference> pending_;
  std::string_view lineEnd_;
  LineChain objects_;
  LineChain lights_;
  std::int32_t objectCopies_ = 0;
  std::int32_t lightCopies_ = 0;
  Refusal refusal_ = Refusal::None;  // why the latest copy could not take its index or identifier
};

}  // namespace

bool isRegularLayout(const SceneDescription& scene) {
  if (scene.objectPlace == nullptr || scene.lightPlace == nullptr) return false;
  if (scene.objectPlaceAt >= scene.lightPlaceAt) return false;
  bool lightBefore = false;
  for (const SceneItem& item : scene.items) {
    if (item.kind == ItemKind::Object && item.at > scene.objectPlaceAt) return false;
    if (item.kind == ItemKind::Light && item.at < scene.lightPlaceAt) lightBefore = true;
  }
  return lightBefore;
}

int copyInOnePass(SceneLines& lines, const SceneReader& reader, const SceneDescription& scene,
                  std::size_t root, CopyLog& log) {
  return OnePassRun(lines, reader, scene, root, log).run();
}

}  // namespace graftling
