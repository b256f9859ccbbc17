#include "scene/scene_queries.h"

#include <gtest/gtest.h>

#include <string>

#include "scene/scene_lines.h"
#include "tests/scene_text.h"

namespace graftling {
namespace {

using namespace testing;

// The n-th line of the list, counted from 1.
SceneLine* lineAt(const SceneLines& list, int n) {
  SceneLine* line = list.head;
  while (--n > 0 && line != nullptr) line = line->next;
  return line;
}

int indexOf(const SceneLines& list, const SceneLine* wanted) {
  int n = 1;
  for (const SceneLine* line = list.head; line != nullptr; line = line->next, ++n) {
    if (line == wanted) return n;
  }
  return 0;
}

TEST(SceneQueriesTest, LineValueKeepsEverythingAfterTheFirstSpace) {
  SceneLinesPtr list = parseSceneLines("ShowObject 8 7\nParentObject 12\nLoadObject\n\tTabbed\n");
  EXPECT_EQ(lineValue(list->head), std::optional<std::string_view>("8 7\n"));
  EXPECT_EQ(decimalValue(*lineValue(list->head->next)), 12);
  EXPECT_EQ(lineValue(lineAt(*list, 3)), std::nullopt);
  EXPECT_EQ(lineValue(lineAt(*list, 4)), std::nullopt);
}

TEST(SceneQueriesTest, DecimalValueReadsLikeTheCLibraryAndSaturates) {
  EXPECT_EQ(decimalValue("  -7x\n"), -7);
  EXPECT_EQ(decimalValue("+3\r\n"), 3);
  EXPECT_EQ(decimalValue("abc"), 0);
  EXPECT_EQ(decimalValue(""), 0);
  EXPECT_EQ(decimalValue("99999999999999999999\n"), 2147483647);
  EXPECT_EQ(decimalValue("-99999999999999999999"), -2147483647 - 1);
}

TEST(SceneQueriesTest, FindObjectLineMatchesTheWholeFileNameOnly) {
  SceneLinesPtr list = parseSceneLines(
      "LWSC\nLoadObject\nLoadObject Objects/HandTarget.lwo\nLoadObject Objects/Hand.lwo\r\n"
      "AddNullObject Null\nLoadObject Objects/Hand.lwo\nLoadObject Objects/Hand.lwo x\n\n");
  EXPECT_EQ(indexOf(*list, findObjectLine(*list, "Objects/Hand.lwo", 1)), 4);
  EXPECT_EQ(indexOf(*list, findObjectLine(*list, "Objects/Hand.lwo", 2)), 6);
  EXPECT_EQ(findObjectLine(*list, "Objects/Hand.lwo", 3), nullptr);
  EXPECT_EQ(findObjectLine(*list, "Objects/Hand.lwo", 0), nullptr);
  EXPECT_EQ(indexOf(*list, findObjectLine(*list, "Null", 1)), 5);
  EXPECT_EQ(findObjectLine(*list, "Objects/Hand", 1), nullptr);
}

TEST(SceneQueriesTest, SectionAnchors) {
  std::string scene = sceneHead() + objectBlock("LoadObject a.lwo") + "\n" + ambientLines() +
                      lightBlock("L") + "\n" + sceneTail();
  SceneLinesPtr list = parseSceneLines(scene);
  EXPECT_EQ(objectSectionEnd(*list)->text, "\n");
  EXPECT_EQ(objectSectionEnd(*list)->prev->text, "ShadowOptions 7\n");
  EXPECT_EQ(lightSectionEnd(*list)->text, "\n");
  EXPECT_EQ(lightSectionEnd(*list)->prev->text, "ShadowType 1\n");

  SceneLinesPtr bare = parseSceneLines("LWSC\nx\nAddLight\n\n");
  EXPECT_EQ(objectSectionEnd(*bare), nullptr);
  EXPECT_EQ(lightSectionEnd(*bare), nullptr);
  SceneLinesPtr cameraFirst = parseSceneLines("ShowCamera 1 7\n\n");
  EXPECT_EQ(lightSectionEnd(*cameraFirst), nullptr);
}

TEST(SceneQueriesTest, FindParentLineStopsBeforeStop) {
  SceneLinesPtr list = parseSceneLines("LoadObject a\nParentObject 1\nShadowOptions 7\nParentObject 2\n\n");
  SceneLine* object = list->head;
  EXPECT_EQ(findParentLine(object, objectBlockEnd(object)), object->next);
  EXPECT_EQ(findParentLine(object->next, object->next), nullptr);
  EXPECT_EQ(findParentLine(objectBlockEnd(object), nullptr)->text, "ParentObject 2\n");
}

TEST(SceneQueriesTest, FindChildItemFindsObjectsAndLightsByParentNumber) {
  std::string scene = sceneHead() + objectBlock("LoadObject root.lwo") + "\n" +
                      objectBlock("LoadObject a.lwo", 1) + "\n" + objectBlock("LoadObject b.lwo", 2) + "\n" +
                      ambientLines() + lightBlock("L", 1) + "\n" + sceneTail();
  SceneLinesPtr list = parseSceneLines(scene);
  SceneLine* stop = lightSectionEnd(*list);
  SceneLine* a = findChildItem(list->head, 1, stop);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->text, "LoadObject a.lwo\n");
  SceneLine* light = findChildItem(a->next, 1, stop);
  ASSERT_NE(light, nullptr);
  EXPECT_EQ(light->text, "AddLight\n");
  EXPECT_EQ(findChildItem(light->next, 1, stop), nullptr);
  EXPECT_EQ(findChildItem(list->head, 2, stop)->text, "LoadObject b.lwo\n");
  // The walk ends before stop: a light beyond it is not seen.
  EXPECT_EQ(findChildItem(list->head, 1, a), nullptr);
}

TEST(SceneQueriesTest, FindChildItemQuirksAndMends) {
  // A parent line without a value matches nothing, and the walk goes on.
  SceneLinesPtr noValue = parseSceneLines(
      "LoadObject a\nParentObject\nShadowOptions 7\nLoadObject b\nParentObject 1\nShadowOptions 7\n\n");
  EXPECT_EQ(findChildItem(noValue->head, 1, nullptr)->text, "LoadObject b\n");
  // A block without an end line ends before the next item: it never borrows
  // a later block's parent line.
  SceneLinesPtr noEnd =
      parseSceneLines("LoadObject a\nShowObject 8 7\nLoadObject b\nParentObject 5\nShadowOptions 7\n\n");
  EXPECT_EQ(findChildItem(noEnd->head, 5, nullptr), lineAt(*noEnd, 3));
  // A light's parent line after its "ShadowType" line is not its own.
  SceneLinesPtr lateParent = parseSceneLines("AddLight\nShadowType 1\nParentObject 1\n\n");
  EXPECT_EQ(findChildItem(lateParent->head, 1, nullptr), nullptr);
  // start is examined even when it is stop, and the walk then runs to the end.
  SceneLinesPtr list = parseSceneLines(
      "LoadObject a\nParentObject 1\nShadowOptions 7\nLoadObject b\nParentObject 1\nShadowOptions 7\n\n");
  SceneLine* b = lineAt(*list, 4);
  EXPECT_EQ(findChildItem(list->head, 1, list->head), list->head);
  EXPECT_EQ(findChildItem(list->head->next, 1, list->head->next), b);
}

}  // namespace
}  // namespace graftling
