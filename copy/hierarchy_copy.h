// Copies the picked object and its whole branch of descendants.
#ifndef GRAFTLING_COPY_HIERARCHY_COPY_H_
#define GRAFTLING_COPY_HIERARCHY_COPY_H_

#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "copy/block_copy.h"
#include "copy/edit_check.h"
#include "host/host_services.h"
#include "scene/format1_reader.h"
#include "scene/scene_lines.h"

namespace graftling {

// The clone index in a host display name: the number between the last "(" and
// a final ")", when it is 1 to 10 digits with a value of at least 1; else 1.
std::int32_t cloneIndexFromName(std::string_view name);

// The load number of the object that the host names name and whose file name
// is fileName: what the name adds to the object's own name (the last
// component of its file name, or a null's name). The own name alone is the
// first load, "<own name> (k)" the k-th; any other name reads as above.
std::int32_t cloneIndexFromName(std::string_view name, std::string_view fileName);

// What one step-by-step run knows beyond the list: where the next object and
// light copies go, the end of every child search, the saved scene's object
// count, and the object and light lines of the saved scene not copied yet.
// Only those are copied, each once, so no copy is ever taken for a child and
// every run ends.
struct CopyRun {
  SceneLines& lines;
  const Format1Reader& format;
  CopyPlaces places;
  SceneLine* stop;
  std::int32_t savedObjectCount;
  std::unordered_set<const SceneLine*> uncopied;
  CopyLog& log;
};

// Copies the block at itemLine, attached to newParent, then its descendants
// depth first, each child in list order. Walks with an explicit stack, so
// depth costs no native stack. A descendant that cannot be copied is reported
// and skipped with its branch. 1 when itemLine's block was copied, else 0.
int copyItemTree(CopyRun& run, SceneLine* itemLine, std::int32_t newParent);

// How copyHierarchy works on formats 1 and 2: Fastest copies in one pass
// wherever the scene's layout allows it (isRegularLayout) and step by step
// elsewhere, with the same outcome; StepByStep always goes step by step.
// Later formats are always copied in one pass.
enum class CopyMethod { Fastest, StepByStep };

// Copies the picked item and its branch in the list, taking the item's name
// and file name from the host services in the module slots, points the
// copies' references into the branch at its copies, then checks the edited
// list (see checkCopiedScene). A scene of a format graftling does not edit is
// left alone. 1 on success; 0 after an error has been shown, and then the
// list must not be written. used tells the method taken.
int copyHierarchy(SceneLines& lines, LWItemID item, CopyMethod method = CopyMethod::Fastest,
                  CopyMethod* used = nullptr);

}  // namespace graftling

#endif  // GRAFTLING_COPY_HIERARCHY_COPY_H_
