#include "copy/parent_link.h"

#include <gtest/gtest.h>

#include <string>

#include "scene/scene_lines.h"

namespace graftling {
namespace {

std::string rewritten(const std::string& text, int number, std::string_view lineEnd = "\n") {
  LinePtr line = makeLine(text);
  EXPECT_TRUE(replaceLineValue(line.get(), number, lineEnd));
  return std::string(line->text.view());
}

TEST(ParentLinkTest, ReplaceLineValueKeepsTextUpToTheFirstSpace) {
  EXPECT_EQ(rewritten("ParentObject 9\n", 10), "ParentObject 10\n");
  EXPECT_EQ(rewritten("ParentObject 123\n", 4), "ParentObject 4\n");
  EXPECT_EQ(rewritten("ParentObject 1 2 extra\n", 5), "ParentObject 5\n");
  EXPECT_EQ(rewritten("ParentObject 1\r\n", 0, "\r\n"), "ParentObject 0\r\n");
  EXPECT_EQ(rewritten("ParentObject 1\n", -12), "ParentObject -12\n");
  EXPECT_EQ(rewritten("ParentObject\n", 3), "ParentObject\n");
  EXPECT_EQ(rewritten("ParentObject\t3\n", 3), "ParentObject\t3\n");
  // A first space at the very end of a full piece: the new text is kept whole.
  std::string longKey(254, 'P');
  EXPECT_EQ(rewritten(longKey + " ", -2147483647 - 1), longKey + " -2147483648\n");
}

TEST(ParentLinkTest, SetParentNumberRewritesOnlyTheFirstParentLineOfTheBlock) {
  SceneLinesPtr object =
      parseSceneLines("LoadObject a\nParentObject 1\nParentObject 2\nShadowOptions 7\nParentObject 3\n\n");
  object->head->kind = KindObject;
  ASSERT_TRUE(setParentNumber(object->head, 42));
  EXPECT_EQ(sceneText(*object),
            "LoadObject a\nParentObject 42\nParentObject 2\nShadowOptions 7\nParentObject 3\n\n");

  // A light block ends at "ShadowType": a parent line after it is not touched.
  SceneLinesPtr light = parseSceneLines("AddLight\nShadowType 1\nParentObject 1\nShadowOptions 7\n\n");
  light->head->kind = KindLight;
  ASSERT_TRUE(setParentNumber(light->head, 42));
  EXPECT_EQ(sceneText(*light), "AddLight\nShadowType 1\nParentObject 1\nShadowOptions 7\n\n");
}

}  // namespace
}  // namespace graftling
