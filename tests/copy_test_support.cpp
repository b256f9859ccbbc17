#include "tests/copy_test_support.h"

#include <gtest/gtest.h>

#include "copy/hierarchy_copy.h"
#include "host/service_slots.h"
#include "scene/scene_lines.h"
#include "tests/alloc_failure.h"

namespace graftling::testing {

CopyResult copyBranch(const std::string& scene, int pick, long failAt, CopyMethod method) {
  standin::StandInHost host(scene, "Scenes/test.lws");
  standin::StandInHost::Services services = host.services();
  gServices = ServiceSlots{services.messages, services.itemInfo, services.objectInfo, services.sceneInfo};
  CopyResult out;
  SceneLinesPtr list = parseSceneLines(scene);
  if (list == nullptr) {
    ADD_FAILURE() << "the scene could not be parsed";
    return out;
  }
  // The host lists its items before the plug-in runs, as Layout does.
  LWItemID item = host.objectHandle(pick);
  {
    AllocationFailure failure(failAt);
    out.result = copyHierarchy(*list, item, method, &out.used);
    out.allocations = failure.count();
  }
  out.text = sceneText(*list);
  out.messages = host.messages();
  return out;
}

}  // namespace graftling::testing
