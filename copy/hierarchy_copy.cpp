#include "copy/hierarchy_copy.h"

#include <algorithm>
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
  SceneLine* copy = object ? copyObjectBlock(run.lines, itemLine, newParent, run.format, &run.places)
                           : copyLightBlock(run.lines, itemLine, newParent, run.format, &run.places);
  if (copy == nullptr) {
    run.log.reported.push_back(itemLine);
    showError("ErrorLWPanelServices", object ? "DontCreateObj" : "DontCreateLight");
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

std::int32_t cloneIndexFromName(std::string_view name, std::string_view fileName) {
  std::size_t cut = fileName.find_last_of("/\\:");
  std::string_view own = cut == std::string_view::npos ? fileName : fileName.substr(cut + 1);
  if (name == own) return 1;
  std::string_view added = name.substr(std::min(own.size(), name.size()));
  if (name.substr(0, own.size()) == own && added.size() > 3 && added.substr(0, 2) == " (" &&
      added.back() == ')') {
    std::string_view digits = added.substr(2, added.size() - 3);
    if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return cloneIndexFromName(added);
  }
  return cloneIndexFromName(name);
}

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
    SceneLine* child = findChildItem(frame.cursor, frame.item->objectNumber, run.stop, run.format);
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
// re-classified as it goes. It serves every scene of formats 1 and 2, and it
// is the reference for the one-pass copy.
int copyStepByStep(SceneLines& lines, const Format1Reader& format, std::string_view fileName, std::int32_t n,
                   SceneLine* rootLine, CopyLog& log) {
  CopyRun run{lines,
              format,
              CopyPlaces{objectSectionEnd(lines), lightSectionEnd(lines), &log.references},
              nullptr,
              lines.nextObjectNumber - 1,
              {},
              log};
  for (const SceneLine* line = lines.head; line != nullptr; line = line->next) {
    if ((line->kind == KindObject || line->kind == KindLight) && line != rootLine) run.uncopied.insert(line);
  }
  SceneLine* stop = run.places.lightAnchor;
  log.rootCopy = copyRootObject(lines, fileName, n, format, &run.places);
  if (log.rootCopy == nullptr) {
    showError("Graftling:", "Unable to copy the picked object");
    return 0;
  }
  std::int32_t newParent = lines.nextObjectNumber - 1;
  if (stop == nullptr) {
    showError("Graftling:", "No camera found in the saved scene");
    return 0;
  }
  run.stop = stop;
  SceneLine* cursor = lines.head;
  for (;;) {
    SceneLine* child = findChildItem(cursor, rootLine->objectNumber, stop, format);
    if (child == nullptr) break;
    if (isCopyable(run, child) && copyItemTree(run, child, newParent) == 0) return 0;
    // A search that began at stop would run on past it, as copyItemTree's never do.
    cursor = child->next;
    if (cursor == stop) break;
  }
  if (!retargetReferences(log, sceneLineEnd(lines))) throw std::bad_alloc();
  return 1;
}

// The item of the n-th object of scene whose file name is fileName.
std::size_t findObjectItem(const SceneReader& reader, const SceneDescription& scene,
                           std::string_view fileName, std::int32_t n) {
  std::int32_t count = 0;
  for (std::size_t object : scene.objects) {
    if (reader.objectFileName(scene.items[object].line) == fileName && ++count == n) return object;
  }
  return kNone;
}

// A format 1 or 2 copy: in one pass where the layout allows it, else step by
// step. A one-pass copy leaves its reading of the saved scene in scene.
int copyFormat1(SceneLines& lines, const Format1Reader& format, std::string_view fileName, std::int32_t n,
                CopyMethod method, CopyMethod* used, CopyLog& log, std::optional<SceneDescription>& scene) {
  SceneLine* rootLine = findObjectLine(lines, fileName, n);
  if (rootLine == nullptr) {
    showError("Graftling:", "Picked object not found in the saved scene");
    return 0;
  }
  log.root = rootLine;
  if (method == CopyMethod::Fastest) scene = format.read(lines, Reading::AllLines);
  bool onePass = scene && isRegularLayout(*scene);
  if (used != nullptr) *used = onePass ? CopyMethod::Fastest : CopyMethod::StepByStep;
  if (!onePass) {
    scene.reset();
    return copyStepByStep(lines, format, fileName, n, rootLine, log);
  }
  std::size_t root = 0;
  while (scene->items[root].line != rootLine) ++root;
  return copyInOnePass(lines, format, *scene, root, log);
}

// A copy of a later format, which its reader must read whole and in order.
// Leaves its reading of the saved scene in read.
int copyLaterFormat(SceneLines& lines, const SceneReader& reader, std::string_view fileName, std::int32_t n,
                    CopyMethod* used, CopyLog& log, std::optional<SceneDescription>& read) {
  if (used != nullptr) *used = CopyMethod::Fastest;
  const SceneDescription& scene = read.emplace(reader.read(lines, Reading::AllLines));
  std::size_t root = findObjectItem(reader, scene, fileName, n);
  if (root == kNone) {
    showError("Graftling:", "Picked object not found in the saved scene");
    return 0;
  }
  log.root = scene.items[root].line;
  if (scene.problem == SceneProblem::NoCamera) {
    showError("Graftling:", "No camera found in the saved scene");
    return 0;
  }
  if (scene.problem == SceneProblem::Identifiers) {
    showError("Graftling:",
              "The saved scene's item identifiers are missing or repeated; nothing was changed");
    return 0;
  }
  if (scene.problem != SceneProblem::None) {
    showError("Graftling:", "The copy would damage this scene; nothing was changed");
    return 0;
  }
  return copyInOnePass(lines, reader, scene, root, log);
}

}  // namespace

int copyHierarchy(SceneLines& lines, LWItemID item, CopyMethod method, CopyMethod* used) {
  if (gServices.itemInfo == nullptr || gServices.objectInfo == nullptr) return 0;
  std::string formatName = formatNameOf(lines);
  const SceneReader* reader = readerFor(formatName);
  if (reader == nullptr) {
    std::string why = "Scene format " + formatName + " is not one graftling edits; nothing was changed";
    showError("Graftling:", why.c_str());
    return 0;
  }
  const char* name = gServices.itemInfo->name(item);
  const char* fileNameText = gServices.objectInfo->filename(item);
  std::string_view fileName = fileNameText != nullptr ? fileNameText : "";
  std::int32_t n = cloneIndexFromName(name != nullptr ? name : "", fileName);
  try {
    CopyLog log;
    std::optional<SceneDescription> saved;
    const Format1Reader* format1 = format1ReaderFor(lines);
    int copied = format1 != nullptr ? copyFormat1(lines, *format1, fileName, n, method, used, log, saved)
                                    : copyLaterFormat(lines, *reader, fileName, n, used, log, saved);
    if (copied == 0) return 0;
    if (!checkCopiedScene(lines, *reader, log, saved ? &*saved : nullptr)) {
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
