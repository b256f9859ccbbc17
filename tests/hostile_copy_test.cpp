// Scenes found by fuzzing whose runs grew without bound. Each run must end
// soon, copy no item twice, and change the scene by inserting lines only.
#include <gtest/gtest.h>

#include <string>

#include "fuzz/scene_edit_check.h"
#include "standin/stand_in_host.h"
#include "tests/copy_test_support.h"
#include "tests/scene_text.h"

namespace graftling {
namespace {

using namespace testing;
using standin::ShownMessage;

int occurrences(const std::string& text, const std::string& line) {
  int count = 0;
  for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
  return count;
}

TEST(HostileCopyTest, LightBlocksWithoutShadowTypeEndBeforeTheCamera) {
  // No light block has its "ShadowType" line before the camera: each ends at
  // its blank line, so no copy lands inside the block it copies.
  std::string lights;
  for (int i = 0; i < 40; ++i) lights += "AddLight\nParentObject 1\n\n";
  std::string scene = sceneHead() + objectBlock("AddNullObject Root") + "\n" + ambientLines() + lights +
                      "ShowCamera 1 7\nShadowType 1\n\n";
  CopyResult run = copyBranch(scene, 1);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.messages, std::vector<ShownMessage>{});
  EXPECT_EQ(occurrences(run.text, "AddLight\nParentObject 2\n\n"), 40);
  EXPECT_EQ(occurrences(run.text, "AddLight\n"), 80);
  fuzzing::EditCheck check = fuzzing::checkInsertionsOnly(scene, run.text);
  EXPECT_TRUE(check.ok()) << check.why;
}

TEST(HostileCopyTest, ACopyIsNeverTakenForAnItemOfTheSavedScene) {
  // C stands after the first light, so the root copy lands before it and
  // takes C's number: the self-parented root's copy must not be found as the
  // root's child, and C, now numbered above the saved scene's count, is not
  // taken for one either. C's new number damages the scene: it is refused.
  std::string scene = sceneHead() + "AddNullObject R\nParentObject 1\nShadowOptions 7\n\n" + ambientLines() +
                      lightBlock("Sun") + "\n" + "AddNullObject C\nParentObject 1\nShadowOptions 7\n\n" +
                      sceneTail();
  CopyResult run = copyBranch(scene, 1);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(
      run.messages,
      (std::vector<ShownMessage>{{"Graftling:", "The copy would damage this scene; nothing was changed"}}));
  EXPECT_EQ(occurrences(run.text, "AddNullObject R\n"), 2);
  EXPECT_EQ(occurrences(run.text, "AddNullObject C\n"), 1);
  fuzzing::EditCheck check = fuzzing::checkInsertionsOnly(scene, run.text);
  EXPECT_TRUE(check.ok()) << check.why;
}

TEST(HostileCopyTest, TheFuzzedSceneThatRanOutOfMemoryEnds) {
  std::string scene;
  ASSERT_TRUE(standin::readFileBytes(GRAFTLING_SOURCE_DIR "/fuzz/corpus/regress-light-blocks-past-camera.lws",
                                     scene));
  // The fuzzer picked object 'L' % 3 + 1 of the host's three.
  CopyResult run = copyBranch(scene, 2);
  EXPECT_LT(run.text.size(), 4 * scene.size());
  fuzzing::EditCheck check = fuzzing::checkInsertionsOnly(scene, run.text);
  EXPECT_TRUE(check.ok()) << check.why;
}

}  // namespace
}  // namespace graftling
