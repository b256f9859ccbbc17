// The check of an edited list against the run's log, on edits made by hand:
// faults the copy itself does not make today must still be caught.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "copy/edit_check.h"
#include "scene/format1_reader.h"
#include "scene/scene_lines.h"

namespace graftling {
namespace {

// An edited scene: lines written "+..." were inserted by the run.
struct Edited {
  SceneLinesPtr list;
  std::vector<const SceneLine*> savedItems;
  std::vector<SceneLine*> copies;  // inserted item lines, in list order
};

Edited edited(std::string_view marked) {
  std::string text;
  std::vector<bool> inserted;
  while (!marked.empty()) {
    std::string_view line = marked.substr(0, marked.find('\n') + 1);
    marked.remove_prefix(line.size());
    inserted.push_back(line[0] == '+');
    text += inserted.back() ? line.substr(1) : line;
  }
  Edited out{parseSceneLines(text), {}, {}};
  std::size_t at = 0;
  for (SceneLine* line = out.list->head; line != nullptr; line = line->next, ++at) {
    line->inserted = inserted[at];
    if (line->kind != KindObject && line->kind != KindLight) continue;
    if (line->inserted) {
      out.copies.push_back(line);
    } else {
      out.savedItems.push_back(line);
    }
  }
  return out;
}

// The log of a run that picked saved item 0 and copied saved items to the
// inserted items given, pair by pair; reported are saved items.
bool check(const Edited& scene, const std::vector<std::pair<int, int>>& copied,
           const std::vector<int>& reported = {}) {
  CopyLog log;
  log.root = scene.savedItems[0];
  log.rootCopy = scene.copies[0];
  for (auto [source, copy] : copied) log.copies.push_back({scene.savedItems[source], scene.copies[copy]});
  for (int source : reported) log.reported.push_back(scene.savedItems[source]);
  return checkCopiedScene(*scene.list, format1Reader(), log);
}

// Root (1) holds A (2), which holds a lamp; B (3) stands apart.
std::string scene(std::string_view aCopyParent, std::string_view lampCopyParent,
                  std::string_view rootCopyParent = "") {
  return std::string("LWSC\n") +
         "AddNullObject Root\nShadowOptions 7\n\n"
         "AddNullObject A\nParentObject 1\nShadowOptions 7\n\n"
         "AddNullObject B\nShadowOptions 7\n\n"
         "+AddNullObject Root\n" +
         std::string(rootCopyParent) +
         "+ShadowOptions 7\n"
         "+AddNullObject A\n+ParentObject " +
         std::string(aCopyParent) +
         "\n+ShadowOptions 7\n+\n"
         "AmbientColor 255 255 255\nAmbIntensity 0.250000\n\n"
         "AddLight\nParentObject 2\nShadowType 2\nShadowMapSize 512\n\n"
         "+AddLight\n+ParentObject " +
         std::string(lampCopyParent) +
         "\n+ShadowType 2\n+ShadowMapSize 512\n+\n"
         "ShowCamera 1 7\n\n";
}

TEST(CopiedSceneCheckTest, CopiesMustNameTheCopiesOfTheirParents) {
  EXPECT_TRUE(check(edited(scene("4", "5")), {{1, 1}, {3, 2}}));
  EXPECT_FALSE(check(edited(scene("1", "5")), {{1, 1}, {3, 2}}));
  EXPECT_FALSE(check(edited(scene("4", "2")), {{1, 1}, {3, 2}}));
  EXPECT_FALSE(check(edited(scene("4", "4")), {{1, 1}, {3, 2}}));
  // The picked object's copy keeps the picked object's own parent line.
  EXPECT_FALSE(check(edited(scene("4", "5", "+ParentObject 3\n")), {{1, 1}, {3, 2}}));
}

TEST(CopiedSceneCheckTest, EveryItemOfTheBranchIsCopiedOrReported) {
  // The lamp was neither copied nor reported.
  std::string text = scene("4", "5");
  std::string withoutLampCopy = text.substr(0, text.find("+AddLight")) + "ShowCamera 1 7\n\n";
  Edited lampLeftOut = edited(withoutLampCopy);
  EXPECT_FALSE(check(lampLeftOut, {{1, 1}}));
  EXPECT_TRUE(check(lampLeftOut, {{1, 1}}, {3}));
  // Below a reported item, nothing more is asked.
  std::string onlyRoot = withoutLampCopy.substr(0, withoutLampCopy.find("+AddNullObject A")) +
                         withoutLampCopy.substr(withoutLampCopy.find("AmbientColor"));
  EXPECT_TRUE(check(edited(onlyRoot), {}, {1}));
  // New lines that no logged copy explains are damage.
  EXPECT_FALSE(check(edited(text), {{1, 1}}, {3}));
  // A copy the log does not own, or one logged twice, is not what the run meant.
  Edited whole = edited(text);
  EXPECT_TRUE(check(whole, {{1, 1}, {3, 2}}));
  EXPECT_FALSE(check(whole, {{1, 1}, {3, 2}, {3, 2}}));
  EXPECT_FALSE(check(whole, {{1, 1}, {2, 2}}));
}

TEST(CopiedSceneCheckTest, NewLinesInsideASavedBlockAreDamage) {
  // Inside the lamp's shadow-map settings, and inside B's block.
  std::string inSettings = scene("4", "5");
  inSettings.replace(inSettings.find("ShadowMapSize 512\n\n"), 18, "+\nShadowMapSize 512\n");
  EXPECT_FALSE(check(edited(inSettings), {{1, 1}, {3, 2}}));
  std::string inB = scene("4", "5");
  inB.replace(inB.find("AddNullObject B\n"), 16, "AddNullObject B\n+\n");
  EXPECT_FALSE(check(edited(inB), {{1, 1}, {3, 2}}));
}

TEST(CopiedSceneCheckTest, CopiesStandTogetherAtTheEndOfTheirSectionAndOutsideEveryValue) {
  // The root's copy is lines 2 to 3 of the marked text below; `at` names the
  // saved line it follows.
  auto rootCopiedAfter = [](std::string_view at) {
    std::string text =
        "LWSC\n1\nAddNullObject Root\nObjectMotion (unnamed)\n  9\nEndBehavior 1\nShadowOptions 7\n\n"
        "AmbientColor 255 255 255\nAmbIntensity (envelope)\n  1\n  0.15\nEndBehavior 1\n\nEnableShadowMaps "
        "0\n"
        "AddLight\nShadowType 1\n\nShowCamera 1 7\n\n";
    text.insert(text.find(at) + at.size(),
                "+AddNullObject Root\n+ObjectMotion (unnamed)\n+  9\n"
                "+EndBehavior 1\n+ShadowOptions 7\n");
    return edited(text);
  };
  EXPECT_TRUE(check(rootCopiedAfter("ShadowOptions 7\n\n"), {}));
  // Where the count back from the first light puts it: inside the envelope.
  EXPECT_FALSE(check(rootCopiedAfter("  1\n"), {}));
  EXPECT_FALSE(check(rootCopiedAfter("  0.15\n"), {}));
  EXPECT_FALSE(check(rootCopiedAfter("AmbIntensity (envelope)\n"), {}));
  // Outside any value, but not where the object section ends.
  EXPECT_FALSE(check(rootCopiedAfter("EnableShadowMaps 0\n"), {}));
  EXPECT_FALSE(check(rootCopiedAfter("ShadowOptions 7\n\nAmbientColor 255 255 255\n"), {}));

  // A light copy among the object copies, and object copies split in two.
  std::string text = scene("4", "5");
  std::string lampCopy =
      text.substr(text.find("+AddLight"), text.find("ShowCamera") - text.find("+AddLight"));
  std::string lampAmongObjects = text;
  lampAmongObjects.erase(lampAmongObjects.find(lampCopy), lampCopy.size());
  lampAmongObjects.insert(lampAmongObjects.find("AmbientColor"), lampCopy);
  EXPECT_FALSE(check(edited(lampAmongObjects), {{1, 1}, {3, 2}}));
  std::string split = text;
  std::string aCopy = split.substr(split.find("+AddNullObject A"),
                                   split.find("AmbientColor") - split.find("+AddNullObject A"));
  split.erase(split.find(aCopy), aCopy.size());
  split.insert(split.find("AddNullObject B"), aCopy);
  EXPECT_FALSE(check(edited(split), {{1, 1}, {3, 2}}));
  EXPECT_TRUE(check(edited(text), {{1, 1}, {3, 2}}));
}

TEST(CopiedSceneCheckTest, ReferencesOfACopyNameTheCopiesOfTheBranch) {
  auto withReferences = [](std::string_view aTarget, std::string_view rootTarget, std::string_view bTarget) {
    return edited(std::string("LWSC\n1\nAddNullObject Root\nTargetObject 2\nShadowOptions 7\n\n") +
                  "AddNullObject A\nParentObject 1\nMorphTarget 3\nGoalObjective 1\nShadowOptions 7\n\n" +
                  "AddNullObject B\nTargetObject 1\nShadowOptions 7\n\n" +
                  "+AddNullObject Root\n+TargetObject " + std::string(rootTarget) + "\n+ShadowOptions 7\n" +
                  "+AddNullObject A\n+ParentObject 4\n+MorphTarget " + std::string(aTarget) +
                  "\n+GoalObjective 1\n+ShadowOptions 7\n+\n" +
                  "AmbientColor 255 255 255\nAmbIntensity 0.250000\n\nAddLight\nTargetObject " +
                  std::string(bTarget) + "\nShadowType 1\n\nShowCamera 1 7\n\n");
  };
  // The root aims at A's copy; A morphs into B, outside the branch.
  EXPECT_TRUE(check(withReferences("3", "5", "1"), {{1, 1}}));
  EXPECT_FALSE(check(withReferences("3", "2", "1"), {{1, 1}}));
  EXPECT_FALSE(check(withReferences("3", "4", "1"), {{1, 1}}));
  EXPECT_FALSE(check(withReferences("5", "5", "1"), {{1, 1}}));
}

}  // namespace
}  // namespace graftling
