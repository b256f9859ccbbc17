#include "copy/scene_exchange.h"

#include <cstdio>
#include <new>
#include <optional>
#include <string>

#include "copy/hierarchy_copy.h"
#include "host/service_slots.h"
#include "scene/line_kind.h"
#include "scene/scene_lines.h"

namespace graftling {

namespace {

// Deletes the named file when the exchange ends, however it ends.
class RemoveOnExit {
 public:
  explicit RemoveOnExit(const char* path) : path_(path) {}
  RemoveOnExit(const RemoveOnExit&) = delete;
  RemoveOnExit& operator=(const RemoveOnExit&) = delete;
  ~RemoveOnExit() { std::remove(path_); }

 private:
  const char* path_;
};

// Whether the list holds a scene text: its first line begins with "LWSC".
bool isSceneText(const SceneLines& lines) {
  return lines.head != nullptr && startsWith(lines.head->text.view(), "LWSC") == 0;
}

}  // namespace

int exchangeScene(const LayoutGeneric* local, const char* tempFileName, LWItemID item) {
  RemoveOnExit removeTemp(tempFileName);
  try {
    // Copied before the save: the host may change its record while saving.
    std::optional<std::string> sceneName;
    if (gServices.sceneInfo != nullptr && gServices.sceneInfo->filename != nullptr) {
      sceneName = gServices.sceneInfo->filename;
    }
    local->saveScene(tempFileName);
    LoadStatus status = LoadStatus::Loaded;
    SceneLinesPtr lines = loadSceneLines(tempFileName, status);
    if (status == LoadStatus::OutOfStorage) {
      showError("Graftling:", "Not enough memory to copy the branch");
      return 0;
    }
    // A save that failed leaves our empty file, or whatever it wrote.
    if (!lines || !isSceneText(*lines)) {
      showError("Graftling:", "Unable to read the saved scene");
      return 0;
    }
    if (copyHierarchy(*lines, item) == 0) return 0;
    if (writeSceneLines(*lines, tempFileName) == 0) {
      showError("Graftling:", "Unable to write the edited scene");
      return 0;
    }
    releaseSceneLines(std::move(lines));
    local->loadScene(tempFileName, sceneName ? sceneName->c_str() : nullptr);
    return 1;
  } catch (const std::bad_alloc&) {
    showError("Graftling:", "Not enough memory to copy the branch");
    return 0;
  }
}

}  // namespace graftling
