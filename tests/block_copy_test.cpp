#include "copy/block_copy.h"

#include <gtest/gtest.h>

#include <string>

#include "scene/line_kind.h"
#include "scene/scene_lines.h"
#include "scene/scene_queries.h"
#include "tests/scene_text.h"

namespace graftling {
namespace {

using namespace testing;

const std::string kArm = objectBlock("LoadObject Objects/Arm.lwo");
const std::string kLight = lightBlock("Sun");

std::string scene(const std::string& objects, const std::string& lights) {
  return sceneHead() + objects + ambientLines() + lights + sceneTail();
}

TEST(BlockCopyTest, RootCopyAddsTheBlockWithoutABlankLine) {
  SceneLinesPtr list = parseSceneLines(scene(kArm + "\n", kLight + "\n"));
  ASSERT_TRUE(copyRootObject(*list, "Objects/Arm.lwo", 1));
  EXPECT_EQ(sceneText(*list), scene(kArm + "\n" + kArm, kLight + "\n"));
  EXPECT_EQ(list->nextObjectNumber, 3);
}

TEST(BlockCopyTest, ObjectCopyAddsTheBlockAndOneBlankLine) {
  SceneLinesPtr list = parseSceneLines(scene(kArm + "\n", kLight + "\n"));
  SceneLine* copy = copyObjectBlock(*list, findObjectLine(*list, "Objects/Arm.lwo", 1));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->kind, KindObject);
  EXPECT_EQ(copy->objectNumber, 2);
  EXPECT_EQ(sceneText(*list), scene(kArm + "\n" + kArm + "\n", kLight + "\n"));
}

TEST(BlockCopyTest, LightCopyLandsBeforeTheCamera) {
  std::string objects = objectBlock("AddNullObject Rig") + "\n";
  SceneLinesPtr list = parseSceneLines(scene(objects, kLight + "\n"));
  // Given any line before a light, the next light block is copied.
  SceneLine* copy = copyLightBlock(*list, list->head, 1);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->kind, KindLight);
  EXPECT_EQ(sceneText(*list), scene(objects, kLight + "\n" + lightBlock("Sun") + "\n"));
}

TEST(BlockCopyTest, CopyWithNewParentRewritesItsParentLine) {
  std::string child = objectBlock("LoadObject Objects/Finger.lwo", 1);
  SceneLinesPtr list = parseSceneLines(withCrLf(scene(kArm + "\n" + child + "\n", kLight + "\n")));
  ASSERT_NE(copyObjectBlock(*list, findObjectLine(*list, "Objects/Finger.lwo", 1), 17), nullptr);
  EXPECT_EQ(sceneText(*list), withCrLf(scene(kArm + "\n" + child + "\n" +
                                                 objectBlock("LoadObject Objects/Finger.lwo", 17) + "\n",
                                             kLight + "\n")));
}

TEST(BlockCopyTest, ABlockWithoutItsOwnEndEndsBeforeTheNextItemOrBlankLine) {
  std::string open = "LoadObject Objects/Open.lwo\nShowObject 8 7\n";
  SceneLinesPtr list = parseSceneLines(scene(open + kArm + "\n", kLight + "\n"));
  ASSERT_NE(copyObjectBlock(*list, findObjectLine(*list, "Objects/Open.lwo", 1)), nullptr);
  EXPECT_EQ(sceneText(*list), scene(open + kArm + "\n" + open + "\n", kLight + "\n"));

  // The last block ends at its blank line; the copy goes after that line.
  std::string bare =
      sceneHead() + "LoadObject Objects/Arm.lwo\n\n" + ambientLines() + kLight + "\n" + sceneTail();
  SceneLinesPtr lone = parseSceneLines(bare);
  ASSERT_TRUE(copyRootObject(*lone, "Objects/Arm.lwo", 1));
  EXPECT_EQ(sceneText(*lone), sceneHead() + "LoadObject Objects/Arm.lwo\n\nLoadObject Objects/Arm.lwo\n" +
                                  ambientLines() + kLight + "\n" + sceneTail());

  // Lines between the last object block and the first light are not its own.
  std::string text =
      "LWSC\nLoadObject a.lwo\nShowObject 8 7\nx\nAddLight\nShadowType 1\nShadowOptions 7\n"
      "\nShowCamera 1 7\n\n";
  SceneLinesPtr close = parseSceneLines(text);
  ASSERT_TRUE(copyRootObject(*close, "a.lwo", 1));
  EXPECT_EQ(sceneText(*close),
            "LWSC\nLoadObject a.lwo\nShowObject 8 7\nx\nLoadObject a.lwo\nShowObject 8 7\nx\n"
            "AddLight\nShadowType 1\nShadowOptions 7\n\nShowCamera 1 7\n\n");
}

TEST(BlockCopyTest, NothingChangesWithoutAnAnchor) {
  std::string noLights = sceneHead() + kArm + "\n" + sceneTail();
  SceneLinesPtr list = parseSceneLines(noLights);
  EXPECT_FALSE(copyRootObject(*list, "Objects/Arm.lwo", 1));
  EXPECT_EQ(copyObjectBlock(*list, findObjectLine(*list, "Objects/Arm.lwo", 1)), nullptr);
  EXPECT_EQ(sceneText(*list), noLights);

  std::string noCamera = sceneHead() + kArm + "\n" + ambientLines() + kLight + "\n\n";
  SceneLinesPtr lights = parseSceneLines(noCamera);
  EXPECT_EQ(copyLightBlock(*lights, lights->head), nullptr);
  EXPECT_EQ(sceneText(*lights), noCamera);
}

}  // namespace
}  // namespace graftling
