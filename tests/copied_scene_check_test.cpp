// The check of an edited list against the run's log, on edits made by hand:
// faults the copy itself does not make today must still be caught.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "copy/edit_check.h"
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
  return checkCopiedScene(*scene.list, log);
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

}  // namespace
}  // namespace graftling
