#include "copy/hierarchy_copy.h"

#include <new>
#include <optional>
#include <string>
#include <utility>

#include "copy/block_copy.h"
#include "copy/one_pass_copy.h"
#include "copy/parent_link.h"
#include "host/service_slots.h"
#include "scene/line_kind.h"
#include "scene/scene_queries.h"

namespace graftling {

namespace {

// Whether a line found by a child search may be copied in this run: an item
// line of the saved scene, not yet copied, and for an object one numbered
// within the saved scene's count. The line itself must be checked: objects
// that stand after the object section are renumbered by every copy.
bool isCopyable(const CopyRun& run, const SceneLine* child) {
  if (child->kind == KindObject && child->objectNumber > run.savedObjectCount) return false;
  return run.uncopied.count(child) != 0;
}

// Copies one item's block attached to newParent and records the source and
// the copy as taken. Shows the error for its kind when it cannot.
SceneLine* copyItemBlock(CopyRun& run, SceneLine* itemLine, std::int32_t newParent) {
  bool object = itemLine->kind == KindObject;
  bool blankLine = !object || run.format.blankLineAfterObjectBlock;
  SceneLine* copy = copyBlockAfter(run.lines, object ? run.objectAnchor : run.lightAnchor, itemLine,
                                   blockLastLine(itemLine), blankLine, newParent, &run.log.references);
  if (copy == nullptr) {
    run.log.reported.push_back(itemLine);
    showError("ErrorLWPanelServices", itemLine->kind == KindObject ? "DontCreateObj" : "DontCreateLight");
    return nullptr;
  }
  run.uncopied.erase(itemLine);
  run.log.copies.push_back(CopyLog::Copy{itemLine, copy});
  return copy;
}

// An item whose children are being copied. pending is the child found last;
// the search resumes after it once that child's own branch is done.
struct Frame {
  SceneLine* item;
  std::int32_t copyNumber;
  SceneLine* cursor;
  SceneLine* pending;
};

}  // namespace

std::int32_t cloneIndexFromName(std::string_view name) {
  if (name.empty() || name.back() != ')') return 1;
  std::size_t open = name.rfind('(');
  if (open == std::string_view::npos) return 1;
  std::string_view group = name.substr(open + 1, name.size() - open - 2);
  if (group.empty() || group.size() > 10) return 1;
  std::int64_t value = 0;
  for (char c : group) {
    if (c < '0' || c > '9') return 1;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 2147483647) return 1;
  return static_cast<std::int32_t>(value);
}

int copyItemTree(CopyRun& run, SceneLine* itemLine, std::int32_t newParent) {
  SceneLine* copy = copyItemBlock(run, itemLine, newParent);
  if (copy == nullptr) return 0;
  // A light is never a parent in a scene: its children are not searched.
  if (itemLine->kind != KindObject) return 1;
  std::vector<Frame> stack;
  stack.push_back(Frame{itemLine, copy->objectNumber, run.lines.head, nullptr});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.pending != nullptr) {
      frame.cursor = std::exchange(frame.pending, nullptr)->next;
      if (frame.cursor == run.stop) {
        stack.pop_back();
        continue;
      }
    }
    SceneLine* child = findChildItem(frame.cursor, frame.item->objectNumber, run.stop);
    if (child == nullptr) {
      stack.pop_back();
      continue;
    }
    frame.pending = child;
    if (!isCopyable(run, child)) continue;
    SceneLine* childCopy = copyItemBlock(run, child, frame.copyNumber);
    if (childCopy != nullptr && child->kind == KindObject) {
      stack.push_back(Frame{child, childCopy->objectNumber, run.lines.head, nullptr});
    }
  }
  return 1;
}

namespace {

// The copy as the plug-in was first written: a copy of the picked object,
// then a search of the live list from its head for each copied object's
// children, each block copied after the copies before it and the list
// re-classified as it goes. It serves every scene, and it is the reference
// for the one-pass copy.
int copyStepByStep(SceneLines& lines, const SceneFormat& format, SceneLine* rootLine, CopyLog& log) {
  CopyRun run{
      lines, format, objectSectionEnd(lines), lightSectionEnd(lines), nullptr, lines.nextObjectNumber - 1,
      {},    log};
  for (const SceneLine* line = lines.head; line != nullptr; line = line->next) {
    if ((line->kind == KindObject || line->kind == KindLight) && line != rootLine) run.uncopied.insert(line);
  }
  log.rootCopy = nullptr;
  if (run.objectAnchor != nullptr) {
    log.rootCopy = copyBlockAfter(lines, run.objectAnchor, rootLine, blockLastLine(rootLine), false,
                                  std::nullopt, &log.references);
  }
  if (log.rootCopy == nullptr) {
    showError("Graftling:", "Unable to copy the picked object");
    return 0;
  }
  std::int32_t newParent = lines.nextObjectNumber - 1;
  SceneLine* stop = run.lightAnchor;
  if (stop == nullptr) {
    showError("Graftling:", "No camera found in the saved scene");
    return 0;
  }
  run.stop = stop;
  SceneLine* cursor = lines.head;
  for (;;) {
    SceneLine* child = findChildItem(cursor, rootLine->objectNumber, stop);
    if (child == nullptr) return 1;
    if (isCopyable(run, child) && copyItemTree(run, child, newParent) == 0) return 0;
    // A search that began at stop would run on past it, as copyItemTree's never do.
    cursor = child->next;
    if (cursor == stop) return 1;
  }
}

}  // namespace

int copyHierarchy(SceneLines& lines, LWItemID item, CopyMethod method, CopyMethod* used) {
  if (gServices.itemInfo == nullptr || gServices.objectInfo == nullptr) return 0;
  std::string formatName = formatNameOf(lines);
  const SceneFormat* format = editedFormat(formatName);
  if (format == nullptr) {
    std::string why = "Scene format " + formatName + " is not one graftling edits; nothing was changed";
    showError("Graftling:", why.c_str());
    return 0;
  }
  const char* name = gServices.itemInfo->name(item);
  std::int32_t n = cloneIndexFromName(name != nullptr ? name : "");
  const char* fileNameText = gServices.objectInfo->filename(item);
  std::string_view fileName = fileNameText != nullptr ? fileNameText : "";

  SceneLine* rootLine = findObjectLine(lines, fileName, n);
  if (rootLine == nullptr) {
    showError("Graftling:", "Picked object not found in the saved scene");
    return 0;
  }
  try {
    CopyLog log;
    log.root = rootLine;
    std::optional<RegularLayout> layout;
    if (method == CopyMethod::Fastest) layout = readRegularLayout(lines);
    if (used != nullptr) *used = layout ? CopyMethod::Fastest : CopyMethod::StepByStep;
    int copied = layout ? copyInOnePass(lines, *layout, *format, rootLine, log)
                        : copyStepByStep(lines, *format, rootLine, log);
    if (copied == 0) return 0;
    if (!retargetReferences(log, sceneLineEnd(lines))) throw std::bad_alloc();
    if (!checkCopiedScene(lines, log)) {
      showError("Graftling:", "The copy would damage this scene; nothing was changed");
      return 0;
    }
    return 1;
  } catch (const std::bad_alloc&) {
    showError("Graftling:", "Not enough memory to copy the branch");
    return 0;
  }
}

}  // namespace graftling
