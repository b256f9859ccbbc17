#include "copy/one_pass_copy.h"

#include <cstddef>
#include <optional>
#include <utility>

#include "copy/block_copy.h"
#include "host/service_slots.h"
#include "scene/line_kind.h"
#include "scene/scene_queries.h"

namespace graftling {

namespace {

using Item = RegularLayout::Item;

// The layout's items grouped by the object number that their parent line
// names, each group in list order: the children that the step-by-step
// copy's searches find, in the order they find them.
class ChildIndex {
 public:
  explicit ChildIndex(const RegularLayout& layout)
      : first_(static_cast<std::size_t>(layout.objectCount) + 2, 0) {
    const std::vector<Item>& items = layout.items;
    for (const Item& item : items) {
      if (std::optional<std::size_t> at = slot(item, layout.objectCount)) ++first_[*at + 1];
    }
    for (std::size_t at = 1; at < first_.size(); ++at) first_[at] += first_[at - 1];
    children_.resize(first_.back());
    std::vector<std::size_t> filled(first_.begin(), first_.end() - 1);
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (std::optional<std::size_t> at = slot(items[i], layout.objectCount)) children_[filled[*at]++] = i;
    }
  }

  // The children of object number as positions in the layout's items.
  std::pair<std::size_t, std::size_t> childrenOf(std::int32_t number) const {
    if (number < 1 || static_cast<std::size_t>(number) + 1 >= first_.size()) return {0, 0};
    auto at = static_cast<std::size_t>(number);
    return {first_[at], first_[at + 1]};
  }
  std::size_t child(std::size_t position) const { return children_[position]; }

 private:
  static std::optional<std::size_t> slot(const Item& item, std::int32_t objectCount) {
    if (item.parent == nullptr) return std::nullopt;
    std::int32_t number = item.parent->text.number();
    if (number < 1 || number > objectCount) return std::nullopt;
    return static_cast<std::size_t>(number);
  }

  std::vector<std::size_t> first_;     // where each number's children begin in children_
  std::vector<std::size_t> children_;  // item positions, grouped by number
};

class OnePassRun {
 public:
  OnePassRun(SceneLines& lines, const RegularLayout& layout, const SceneFormat& format, SceneLine* rootLine,
             CopyLog& log)
      : lines_(lines),
        layout_(layout),
        format_(format),
        index_(layout),
        rootLine_(rootLine),
        log_(log),
        nextNumber_(layout.objectCount + 1) {}

  int run() {
    LineChain rootCopy =
        copyRange(lines_, rootLine_, objectBlockEnd(rootLine_), false, std::nullopt, &log_.references);
    if (rootCopy.empty()) {
      showError("Graftling:", "Unable to copy the picked object");
      return 0;
    }
    log_.rootCopy = rootCopy.first();
    objects_.append(std::move(rootCopy));
    std::int32_t rootCopyNumber = nextNumber_++;
    auto [next, end] = index_.childrenOf(rootLine_->objectNumber);
    for (; next != end; ++next) {
      std::size_t child = index_.child(next);
      if (isRoot(child)) continue;
      std::optional<std::int32_t> number = copyItem(child, rootCopyNumber);
      // A child of the picked object that cannot be copied fails the run.
      if (!number) return link(0);
      if (*number != 0) copyDescendants(child, *number);
    }
    return link(1);
  }

 private:
  // An object whose children are being copied; next is the child to take.
  struct Frame {
    std::size_t next;
    std::size_t end;
    std::int32_t copyNumber;
  };

  bool isRoot(std::size_t item) const { return layout_.items[item].line == rootLine_; }

  // Copies an item, its copy hung on parentNumber, onto its kind's run. The
  // copy's object number (0 for a light), or none when it could not be made,
  // which is reported as the step-by-step copy reports it.
  std::optional<std::int32_t> copyItem(std::size_t position, std::int32_t parentNumber) {
    const Item& item = layout_.items[position];
    bool object = item.line->kind == KindObject;
    bool blankLine = !object || format_.blankLineAfterObjectBlock;
    LineChain copy = copyRange(lines_, item.line, item.last, blankLine, parentNumber, &log_.references);
    if (copy.empty()) {
      log_.reported.push_back(item.line);
      showError("ErrorLWPanelServices", object ? "DontCreateObj" : "DontCreateLight");
      return std::nullopt;
    }
    log_.copies.push_back(CopyLog::Copy{item.line, copy.first()});
    (object ? objects_ : lights_).append(std::move(copy));
    return object ? nextNumber_++ : 0;
  }

  // Copies the branch below an object already copied, depth first, each
  // child in list order; a child that cannot be copied is left with its branch.
  void copyDescendants(std::size_t object, std::int32_t copyNumber) {
    std::vector<Frame> stack;
    auto push = [&](std::size_t item, std::int32_t number) {
      auto [next, end] = index_.childrenOf(layout_.items[item].line->objectNumber);
      stack.push_back(Frame{next, end, number});
    };
    push(object, copyNumber);
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.next == frame.end) {
        stack.pop_back();
        continue;
      }
      std::size_t child = index_.child(frame.next++);
      if (isRoot(child)) continue;
      std::optional<std::int32_t> number = copyItem(child, frame.copyNumber);
      if (number && *number != 0) push(child, *number);
    }
  }

  // Links the copies made at their anchors and classifies the list.
  int link(int result) {
    if (!objects_.empty()) objects_.spliceAfter(layout_.objectAnchor);
    if (!lights_.empty()) lights_.spliceAfter(layout_.lightAnchor);
    classifyLines(lines_);
    return result;
  }

  SceneLines& lines_;
  const RegularLayout& layout_;
  const SceneFormat& format_;
  ChildIndex index_;
  SceneLine* rootLine_;
  CopyLog& log_;
  LineChain objects_;
  LineChain lights_;
  std::int32_t nextNumber_;
};

}  // namespace

std::optional<RegularLayout> readRegularLayout(const SceneLines& lines) {
  SceneLine* objectAnchor = objectSectionEnd(lines);
  SceneLine* lightAnchor = lightSectionEnd(lines);
  if (objectAnchor == nullptr || lightAnchor == nullptr) return std::nullopt;
  RegularLayout layout{objectAnchor, lightAnchor, {}, 0};
  bool pastObjectAnchor = false;
  bool pastLightAnchor = false;
  bool lightSeen = false;
  for (SceneLine* line = lines.head; line != nullptr; line = line->next) {
    bool object = line->kind == KindObject;
    if (object) {
      if (pastObjectAnchor) return std::nullopt;
      ++layout.objectCount;
    }
    // Child searches end before the light anchor: it is no child.
    if (line == lightAnchor) {
      if (!pastObjectAnchor || !lightSeen) return std::nullopt;
      pastLightAnchor = true;
    }
    if (!pastLightAnchor && isItemLine(line)) {
      lightSeen = lightSeen || !object;
      SceneLine* last = blockLastLine(line);
      layout.items.push_back(Item{line, last, blockParentLine(line, last)});
    }
    pastObjectAnchor = pastObjectAnchor || line == objectAnchor;
  }
  return layout;
}

int copyInOnePass(SceneLines& lines, const RegularLayout& layout, const SceneFormat& format,
                  SceneLine* rootLine, CopyLog& log) {
  return OnePassRun(lines, layout, format, rootLine, log).run();
}

}  // namespace graftling
