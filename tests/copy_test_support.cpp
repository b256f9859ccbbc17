#include "tests/copy_test_support.h"

#include <gtest/gtest.h>

#include "copy/hierarchy_copy.h"
#include "host/service_slots.h"
#include "scene/scene_lines.h"
#include "tests/alloc_failure.h"
#include "tests/scene_text.h"

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

void expectCopy(const std::string& scene, int pick, const std::string& expected) {
  for (bool crLf : {false, true}) {
    CopyResult run = copyBranch(crLf ? withCrLf(scene) : scene, pick);
    EXPECT_EQ(run.result, 1) << "CR LF: " << crLf;
    EXPECT_EQ(run.messages, std::vector<standin::ShownMessage>{}) << "CR LF: " << crLf;
    EXPECT_EQ(run.text, crLf ? withCrLf(expected) : expected) << "CR LF: " << crLf;
  }
}

void expectRefused(const std::string& scene, int pick, const std::string& why, bool beforeTheCopy) {
  CopyResult run = copyBranch(scene, pick);
  EXPECT_EQ(run.result, 0);
  if (beforeTheCopy) {
    EXPECT_EQ(run.text, scene);
  }
  EXPECT_EQ(run.messages, (std::vector<standin::ShownMessage>{{"Graftling:", why}}));
}

Blocks plus(Blocks blocks, const Blocks& more) {
  blocks.insert(blocks.end(), more.begin(), more.end());
  return blocks;
}

}  // namespace graftling::testing
