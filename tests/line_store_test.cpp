// Checks what the list's fast paths rely on, on generated scenes: the keyword
// and parent number a text notes when it is set, and records kept in order.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/scene_generator.h"
#include "copy/hierarchy_copy.h"
#include "copy/parent_link.h"
#include "host/platform.h"
#include "host/service_slots.h"
#include "scene/line_kind.h"
#include "scene/scene_lines.h"
#include "scene/scene_queries.h"
#include "standin/stand_in_host.h"

namespace graftling::bench {
namespace {

const std::string_view kKeywords[] = {"LWSC",         "AddNullObject", "LoadObject", "AddLight",
                                      "ShowCamera",   "SolidBackdrop", "RenderMode", "ViewMode",
                                      "ParentObject", "ShadowOptions", "ShadowType"};

// What every line's noted keyword and number must be, read from its text.
void expectNotesMatchTexts(const SceneLines& list) {
  int checked = 0;
  for (const SceneLine* line = list.head; line != nullptr; line = line->next, ++checked) {
    Keyword expected = Keyword::None;
    for (std::size_t i = 0; i < std::size(kKeywords); ++i) {
      if (startsWith(line->text.view(), kKeywords[i]) == 0) expected = static_cast<Keyword>(i + 1);
    }
    ASSERT_EQ(line->text.keyword(), expected) << line->text;
    std::optional<std::string_view> value = lineValue(line);
    bool parentWithValue = expected == Keyword::ParentObject && value.has_value();
    ASSERT_EQ(line->text.hasNumber(), parentWithValue) << line->text;
    if (parentWithValue) {
      ASSERT_EQ(line->text.number(), decimalValue(*value)) << line->text;
    }
  }
  EXPECT_GT(checked, 100);
}

GeneratedScene branchScene() { return generateScene(SceneShape{200, 20, 40, 4, 4, 5}); }

TEST(LineStoreTest, NotedKeywordsAndNumbersMatchTheTexts) {
  GeneratedScene scene = branchScene();
  // Texts that begin like keywords but are not, and odd parent lines.
  std::string text = scene.text + "ParentObject\nParentObject  -12 x\nParentObjectX 7\nShadow\nLWS\n\n";
  SceneLinesPtr list = parseSceneLines(text);
  ASSERT_NE(list, nullptr);
  expectNotesMatchTexts(*list);

  standin::StandInHost host(scene.text, "Scenes/store.lws");
  standin::StandInHost::Services services = host.services();
  gServices = ServiceSlots{services.messages, services.itemInfo, services.objectInfo, services.sceneInfo};
  SceneLinesPtr copied = parseSceneLines(scene.text);
  ASSERT_EQ(copyHierarchy(*copied, host.objectHandle(scene.pickedObject)), 1);
  // The copies' rewritten parent lines note their new numbers.
  expectNotesMatchTexts(*copied);
}

TEST(LineStoreTest, ARewrittenLineNotesItsNewNumber) {
  SceneLinesPtr list = parseSceneLines("ParentObject 3\nShadowOptions 7\n\n");
  ASSERT_TRUE(replaceLineValue(list->head, 1234));
  EXPECT_EQ(list->head->text, "ParentObject 1234\n");
  EXPECT_TRUE(list->head->text.hasNumber());
  EXPECT_EQ(list->head->text.number(), 1234);
  EXPECT_EQ(list->head->text.keyword(), Keyword::ParentObject);
}

TEST(LineStoreTest, RecordsOfALoadedSceneLieInFileOrder) {
  GeneratedScene scene = generateScene(SceneShape{600, 40, 10, 1, 4, 2});
  SceneLinesPtr list = parseSceneLines(scene.text);
  ASSERT_NE(list, nullptr);
  int inOrder = 0, lines = 0;
  for (const SceneLine* line = list->head; line->next != nullptr; line = line->next, ++lines) {
    EXPECT_TRUE(line->stored);
    if (line->next == line + 1) ++inOrder;
  }
  // Only the step from one block to the next may jump.
  EXPECT_GE(inOrder, lines - lines / 128) << "of " << lines;
}

TEST(LineStoreTest, GeneratedScenesRoundTripThroughFiles) {
  std::string text = branchScene().text + std::string(600, 'x') + "\n" + std::string("a\0b\n", 4) + "end";
  std::string in = platform::createUniqueFile(), out = platform::createUniqueFile();
  ASSERT_TRUE(standin::writeFileBytes(in, text));
  SceneLinesPtr list = loadSceneLines(in.c_str());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(sceneText(*list), text);
  EXPECT_EQ(writeSceneLines(*list, out.c_str()), 1);
  std::string written;
  EXPECT_TRUE(standin::readFileBytes(out, written));
  EXPECT_EQ(written, text);
  platform::removeFile(in);
  platform::removeFile(out);
}

// findChildItem as its contract reads, one block at a time, with no shortcut:
// a block runs to its end keyword when that comes before the next item or
// camera line, else to its first blank line or that next line; its parent
// line stands before the end keyword.
SceneLine* plainChildSearch(SceneLine* start, std::int32_t wanted, const SceneLine* stop) {
  for (SceneLine* line = start; line != nullptr;) {
    if (line->kind == KindObject || line->kind == KindLight) {
      std::string_view endKeyword = line->kind == KindObject ? "ShadowOptions" : "ShadowType";
      SceneLine* next = line->next;
      while (next != nullptr && next->kind != KindObject && next->kind != KindLight &&
             next->kind != KindCamera)
        next = next->next;
      SceneLine* end = line->next;
      while (end != next && startsWith(end->text.view(), endKeyword) != 0) end = end->next;
      SceneLine* limit = end;
      if (end == next) {
        limit = line->next;
        while (limit != next && limit->text.view() != "\n") limit = limit->next;
      }
      SceneLine* parent = line->next;
      while (parent != limit && startsWith(parent->text.view(), "ParentObject") != 0) parent = parent->next;
      if (parent != limit) {
        std::optional<std::string_view> value = lineValue(parent);
        if (value && decimalValue(*value) == wanted) return line;
      }
    }
    line = line->next;
    if (line == stop) return nullptr;
  }
  return nullptr;
}

TEST(LineStoreTest, ChildSearchesAgreeWithTheContractOnRandomLists) {
  const char* vocabulary[] = {"LoadObject a\n",   "AddNullObject n\n", "AddLight\n",
                              "ParentObject 1\n", "ParentObject 2\n",  "ParentObject\n",
                              "ParentObject x\n", "ShadowOptions 7\n", "ShadowType 1\n",
                              "ShowCamera 1 7\n", "Other 3\n",         "\n"};
  std::mt19937 random(7);
  int found = 0;
  for (int round = 0; round < 400; ++round) {
    std::string text;
    int length = 2 + static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) text += vocabulary[random() % std::size(vocabulary)];
    SceneLinesPtr list = parseSceneLines(text);
    ASSERT_NE(list, nullptr);
    std::vector<SceneLine*> lines;
    for (SceneLine* line = list->head; line != nullptr; line = line->next) lines.push_back(line);
    for (SceneLine* start : lines) {
      const SceneLine* stop = random() % 3 == 0 ? nullptr : lines[random() % lines.size()];
      for (std::int32_t wanted : {0, 1, 2}) {
        SceneLine* expected = plainChildSearch(start, wanted, stop);
        ASSERT_EQ(findChildItem(start, wanted, stop), expected) << text;
        found += expected != nullptr;
      }
    }
  }
  EXPECT_GT(found, 1000);
}

TEST(LineStoreTest, TextsBeyondTheLengthLimitAreRefused) {
  EXPECT_TRUE(copyText(std::string(LineText::kMaxTextLength, 'a')).has_value());
  EXPECT_FALSE(copyText(std::string(LineText::kMaxTextLength + 1, 'a')).has_value());
  LineStore store;
  EXPECT_NE(store.make(std::string(LineText::kMaxTextLength, 'a')), nullptr);
  EXPECT_EQ(store.make(std::string(LineText::kMaxTextLength + 1, 'a')), nullptr);
}

// Texts of every size, the empty one first, long ones that take blocks of
// their own among short ones, all read back as they were made.
TEST(LineStoreTest, KeptTextsStayWholeAcrossBlocks) {
  std::mt19937 random(11);
  LineStore store;
  std::vector<std::string> made;
  std::vector<const SceneLine*> lines;
  for (int i = 0; i < 5000; ++i) {
    std::size_t size = i == 0 ? 0 : i % 97 == 0 ? 4096 + random() % 60000 : random() % 300;
    std::string text(size, static_cast<char>('a' + i % 26));
    const SceneLine* line = store.make(text);
    ASSERT_NE(line, nullptr) << i;
    made.push_back(text);
    lines.push_back(line);
  }
  for (std::size_t i = 0; i < made.size(); ++i) ASSERT_EQ(lines[i]->text.view(), made[i]) << i;
}

}  // namespace
}  // namespace graftling::bench
