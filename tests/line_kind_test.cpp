#include "scene/line_kind.h"

#include <gtest/gtest.h>

#include <vector>

#include "scene/scene_lines.h"

namespace graftling {
namespace {

struct Classified {
  std::vector<int> kinds;
  std::vector<int> numbers;
  int next;
};

Classified classify(const char* text) {
  SceneLinesPtr list = parseSceneLines(text);
  Classified result{{}, {}, list->nextObjectNumber};
  for (const SceneLine* line = list->head; line != nullptr; line = line->next) {
    result.kinds.push_back(line->kind);
    result.numbers.push_back(line->objectNumber);
  }
  return result;
}

TEST(LineKindTest, StartsWithIsAnExactPrefixMatchReturningZero) {
  EXPECT_EQ(startsWith("LoadObject x", "LoadObject"), 0);
  EXPECT_EQ(startsWith("LoadObjectLayer", "LoadObject"), 0);
  EXPECT_EQ(startsWith("LoadObj", "LoadObject"), 1);
  EXPECT_EQ(startsWith("loadobject x", "LoadObject"), 1);
  EXPECT_EQ(startsWith(" LoadObject x", "LoadObject"), 1);
  EXPECT_EQ(startsWith("", ""), 0);
}

TEST(LineKindTest, KindsAndObjectNumbers) {
  Classified c = classify(
      "LWSC\nLoadObject a\nAddNullObject n\nLoadObject b\nLoadObject\nAddLight\nShowCamera 1 7\n"
      "SolidBackdrop 1\nRenderMode 2\nViewMode 3\n LoadObject c\nloadObject d\nSomething\n\n");
  EXPECT_EQ(c.kinds, (std::vector<int>{KindHeader, KindObject, KindObject, KindObject, KindObject, KindLight,
                                       KindCamera, KindBackdrop, KindRenderMode, KindViewMode, KindOther,
                                       KindOther, KindOther, KindHeader}));
  EXPECT_EQ(c.numbers, (std::vector<int>{0, 1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(c.next, 5);
}

TEST(LineKindTest, TheLastLineIsNeverClassified) {
  Classified last = classify("LWSC\nLoadObject a\nLoadObject b");
  EXPECT_EQ(last.kinds, (std::vector<int>{KindHeader, KindObject, KindHeader}));
  EXPECT_EQ(last.numbers, (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(last.next, 2);
  EXPECT_EQ(classify("LoadObject a\n").next, 1);
  EXPECT_EQ(classify("").next, 1);
}

TEST(LineKindTest, ClassifyingAgainRenumbersInListOrder) {
  SceneLinesPtr list = parseSceneLines("LWSC\nLoadObject a\nLoadObject b\n\n");
  insertAfter(list->head, makeLine("AddNullObject n\n"));
  EXPECT_EQ(classifyLines(*list), 4);
  EXPECT_EQ(list->head->next->objectNumber, 1);
  EXPECT_EQ(list->head->next->next->objectNumber, 2);
  EXPECT_EQ(list->head->next->next->next->objectNumber, 3);
  EXPECT_EQ(classifyLines(*list), 4);
}

}  // namespace
}  // namespace graftling
