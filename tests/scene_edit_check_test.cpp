#include "fuzz/scene_edit_check.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/scene_text.h"

namespace graftling::fuzzing {
namespace {

const std::string kScene =
    "LWSC\nAddNullObject A\nShadowOptions 7\n\nLoadObject B\nParentObject 1\nShadowOptions 7\n\nAmbientColor "
    "1\n"
    "AmbIntensity 1\n\nAddLight\nParentObject 2\nShadowType 1\n\nShowCamera 1\n\n";

TEST(ScenePiecesTest, CutAtEveryLineEndAndAfter255Bytes) {
  std::string longLine(300, 'x');
  std::string text = "a\n\nb\r\n" + longLine + "\nend";
  EXPECT_EQ(scenePieces(text), (std::vector<std::string_view>{"a\n", "\n", "b\r\n", std::string(255, 'x'),
                                                              std::string(45, 'x') + "\n", "end"}));
  EXPECT_TRUE(scenePieces("").empty());
}

TEST(EditCheckTest, InsertedCopiesBlankLinesAndNewParentsPass) {
  EXPECT_TRUE(checkInsertionsOnly(kScene, kScene).ok());
  EXPECT_TRUE(checkInsertionsOnly("", "").ok());
  // A root copy, a child copy re-parented to it, and a light copy re-parented.
  std::string edited =
      "LWSC\nAddNullObject A\nShadowOptions 7\n\nLoadObject B\nParentObject 1\nShadowOptions 7\n\n"
      "LoadObject B\nParentObject 1\nShadowOptions 7\nAddNullObject A\nParentObject 3\nShadowOptions 7\n\n"
      "AmbientColor 1\nAmbIntensity 1\n\nAddLight\nParentObject 2\nShadowType 1\n\n"
      "AddLight\nParentObject -2147483648\nShadowType 1\n\r\nShowCamera 1\n\n";
  EditCheck check = checkInsertionsOnly(kScene, edited);
  EXPECT_TRUE(check.ok()) << check.why;
}

TEST(EditCheckTest, EveryOtherChangeFails) {
  struct Case {
    std::string edited;
    std::string why;  // the start of the expected reason
  };
  const std::vector<Case> cases = {
      // A line removed, changed, or the end cut off.
      {"LWSC\nShadowOptions 7\n\nLoadObject B\nParentObject 1\nShadowOptions 7\n\nAmbientColor 1\n"
       "AmbIntensity 1\n\nAddLight\nParentObject 2\nShadowType 1\n\nShowCamera 1\n\n",
       "original piece 2 \"AddNullObject A\\x0a\""},
      {"LWSC\nAddNullObject A\nShadowOptions 7\n\nLoadObject B\nParentObject 9\nShadowOptions "
       "7\n\nAmbientColor 1\n"
       "AmbIntensity 1\n\nAddLight\nParentObject 2\nShadowType 1\n\nShowCamera 1\n\n",
       "original piece 6"},
      {kScene.substr(0, kScene.size() - 1), "original piece 17"},
      // Inserted lines that are no copy, or bytes after the end.
      {"LWSC\nAddNullObject C\n" + kScene.substr(5), "original piece 2"},
      {kScene + "x", "edited text ends with bytes"},
      // A new parent value outside any copied block, or not a plain number.
      {"LWSC\nParentObject 5\n" + kScene.substr(5), "original piece 2"},
      {"LWSC\nAddNullObject A\nParentObject 05\n" + kScene.substr(5), "original piece 3"},
      {"LWSC\nAddNullObject A\nParentObject 2147483648\n" + kScene.substr(5), "original piece 3"},
      {"LWSC\nAddNullObject A\nParentObject 1 \n" + kScene.substr(5), "original piece 3"},
  };
  for (const Case& c : cases) {
    EditCheck check = checkInsertionsOnly(kScene, c.edited);
    EXPECT_EQ(check.why.substr(0, c.why.size()), c.why);
  }
}

TEST(EditCheckTest, PiecesOfLongLinesAndTheLastLineCountAsLines) {
  std::string longLine = "LoadObject " + std::string(300, 'x') + "\n";
  std::string original = "LWSC\n" + longLine + "ShadowOptions";
  // The long line's second piece copied alone, then the unended last line.
  std::string edited = "LWSC\n" + longLine + longLine.substr(255) + "ShadowOptions" + "ShadowOptions";
  EXPECT_TRUE(checkInsertionsOnly(original, edited).ok());
  // Its first 100 bytes are no piece.
  EXPECT_FALSE(
      checkInsertionsOnly(original, "LWSC\n" + longLine.substr(0, 100) + longLine + "ShadowOptions").ok());
}

TEST(EditCheckTest, NewReferenceValuesPassForKeywordsOfTheOriginal) {
  const std::string original =
      "LWSC\n1\n\nLoadObject Arm.lwo\nTargetObject 2\nGoalObjective 2\nShadowOptions 7\n\n"
      "LoadObject Hand.lwo\nParentObject 1\nShadowOptions 7\n\n";
  auto edited = [&](const std::string& target) {
    return original + "LoadObject Arm.lwo\n" + target + "\nGoalObjective 2\nShadowOptions 7\n";
  };
  EXPECT_EQ(checkInsertionsOnly(original, edited("TargetObject 4")).why, "");
  EXPECT_EQ(checkInsertionsOnly(original, edited("TargetObject 4\r")).why, "");
  const std::string why = "edited text ends with bytes that no allowed insertion explains, at byte ";
  // A keyword the original lacks, one that is no whole reference keyword, a value not plainly written.
  for (std::string target : {"GoalObject 4", "GoalObjective 4", "TargetObject 04"}) {
    EXPECT_EQ(checkInsertionsOnly(original, edited(target)).why,
              why + "146 \"" + target + "\\x0aGoalObjective 2\\x0aShadowOptions 7\\x0a\"");
  }
  // Outside a copy.
  EXPECT_EQ(checkInsertionsOnly(original, original + "TargetObject 4\n").why,
            why + "127 \"TargetObject 4\\x0a\"");
}

const std::string kPrePost = "Pre/PostBehavior 1\n";

// A motion or an envelope as Layout saves it: its line, indented keys, the line that closes it.
std::string keys(const std::string& line, const std::string& close = "EndBehavior 1\n") {
  return line + "\n  9\n  1\n  0 0 0 0 0 0 1 1 1\n  0 0 0 0 0\n" + close;
}
// An object of format 1 ends with "ShadowOptions"; one of format 2 closes its motion with "Pre/PostBehavior".
std::string object(const std::string& item, const std::string& links, bool format2 = false) {
  return item + "\nShowObject 8 7\n" +
         keys("ObjectMotion (unnamed)", format2 ? kPrePost : "EndBehavior 1\n") + links +
         (format2 ? "" : "ShadowOptions 7\n");
}
std::string light(const std::string& name, const std::string& rest,
                  const std::string& close = "EndBehavior 1\n") {
  return "AddLight\nLightName " + name + "\nShowLight 0 7\n" + keys("LightMotion (unnamed)", close) + rest;
}
std::string lamp(const std::string& parent,
                 const std::string& tail = "LightType 2\nShadowType 2\nShadowMapSize 512\n") {
  return light("Lamp", "ParentObject " + parent + "\n" + tail);
}
std::string ambientEnvelope(const std::string& inside = "") {
  return "AmbIntensity (envelope)\n  1\n  2\n  0.250000\n  0 0 0 0 0\n  1.000000\n" + inside +
         "  60 0 0 0 0\nEndBehavior 1\n";
}
const std::string kCamera =
    "ShowCamera 1 7\n" + keys("CameraMotion (unnamed)") +
    "ZoomFactor 3.200000\n\nSolidBackdrop 1\n\nRenderMode 2\n\nViewMode 3\nGridSize 0.5\n";

// Layout's format 1: Rig (1) holds Arm (2), which aims at and holds Hand (3), which holds the lamp and has
// its goal on Crate (4).
std::string scene1(const std::string& objectCopies, const std::string& lightCopies,
                   const std::string& ambient = "AmbIntensity 0.250000\n") {
  return "LWSC\n1\n\nFirstFrame 1\nLastFrame 60\n\n" + object("AddNullObject Rig", "") + "\n" +
         object("LoadObject Objects/Arm.lwo", "ParentObject 1\nTargetObject 3\n") + "\n" +
         object("LoadObject Objects/Hand.lwo", "ParentObject 2\nGoalObject 4\n") + "\n" +
         object("LoadObject Objects/Crate.lwo", "") + "\n" + objectCopies + "AmbientColor 255 255 255\n" +
         ambient + "\n" + light("Key", "ShadowType 1\n") + "\n" + lamp("3") + "\n" + lightCopies + kCamera;
}
// The copies of Arm (5) and Hand (6), Hand's followed by its blank line.
std::string armCopies(const std::string& target = "6", const std::string& handParent = "5",
                      const std::string& goal = "4", const std::string& rootEnd = "") {
  return object("LoadObject Objects/Arm.lwo", "ParentObject 1\nTargetObject " + target + "\n") + rootEnd +
         object("LoadObject Objects/Hand.lwo", "ParentObject " + handParent + "\nGoalObject " + goal + "\n") +
         "\n";
}

// A hand edit: Crate's "ShadowOptions" line moved up into its motion, before the line `before`.
std::string crateEdited(std::string scene, const std::string& before, const std::string& copies = "") {
  scene.erase(scene.find("ShadowOptions 7\n", scene.find("Crate.lwo")), 16);
  return scene.insert(scene.find(before, scene.find("Crate.lwo")), "ShadowOptions 7\n" + copies);
}

// Layout 5.6's format 2: Base (1) holds Arm (2), which holds Hand (3), which aims at Base and holds the sun.
std::string sun(const std::string& parent) {
  return light("Sun",
               "ParentObject " + parent +
                   "\nShadowType 1\nShadowColor 0 0 0\nPlugin LightHandler 1 DistantLight\nEndPlugin\n",
               kPrePost);
}
std::string scene2(const std::string& objectCopies, const std::string& lightCopies) {
  return "LWSC\n2\n\nFirstFrame 1\nLastFrame 60\n\n" + object("AddNullObject Base", "", true) +
         object("LoadObject Objects/Arm.lwo", "ParentObject 1\n", true) +
         object("LoadObject Objects/Hand.lwo", "ParentObject 2\nTargetObject 1\n", true) + objectCopies +
         "AmbientColor 255 255 255\nAmbIntensity 0.250000\nDoubleSidedAreaLights 1\n\n" + sun("3") + "\n" +
         lightCopies + "AddCamera\nCameraName Camera\nShowCamera 1 7\nZoomFactor 3.2\n";
}
const std::string kArmCopies2 =
    object("LoadObject Objects/Arm.lwo", "ParentObject 1\n", true) +
    object("LoadObject Objects/Hand.lwo", "ParentObject 4\nTargetObject 1\n", true);

// An older writer's format 1: Rig (1) holds Arm (2), which holds a lamp ending "ShadowCasting 1"; shadow
// settings stand before the first light.
const std::string kOldLampEnd = "LgtIntensity 1.000000\nShadowCasting 1\n";
const std::string kOldArm = object("LoadObject Objects/Arm.lwo", "ParentObject 1\n");
std::string sceneOld(const std::string& objectCopies, const std::string& lightCopies) {
  return "LWSC\n1\n\nFirstFrame 1\nLastFrame 60\n\n" + object("AddNullObject Rig", "") + "\n" + kOldArm +
         "\n" + objectCopies +
         "AmbientColor 255 255 255\nAmbIntensity 0.250000\n\nEnableShadowMaps 0\nEnableLensFlare 0\n" +
         lamp("2", kOldLampEnd) + "\n" + lightCopies + kCamera;
}

struct Case {
  std::string original;
  std::string edited;
  std::string why;
};

TEST(CopiedBranchCheckTest, CopiesInTheirFormatsPlacesAndLinksPass) {
  const std::string plain = scene1("", "");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {plain, scene1(armCopies(), lamp("6") + "\n")},
      {testing::withCrLf(plain), testing::withCrLf(scene1(armCopies(), lamp("6") + "\n"))},
      {plain, scene1(armCopies(), "")},  // the lamp may have been reported
      {scene1("", "", ambientEnvelope()), scene1(armCopies(), lamp("6") + "\n", ambientEnvelope())},
      {scene2("", ""), scene2(kArmCopies2, sun("5") + "\n")},
      {sceneOld("", ""), sceneOld(kOldArm, lamp("3", kOldLampEnd) + "\n")},
  };
  for (const auto& [original, edited] : cases) EXPECT_EQ(checkCopiedBranch(original, edited).why, "");
}

TEST(CopiedBranchCheckTest, DamageIsFound) {
  const std::string plain = scene1("", "");
  const std::string late = plain + "LoadObject Objects/Late.lwo\nShadowOptions 7\n\nViewMode 3\n";
  const std::vector<Case> cases = {
      {"LWSC\n3\n" + plain.substr(7), "LWSC\n3\n" + scene1(armCopies(), "").substr(7),
       "the original's format \"3\\x0a\" is neither 1 nor 2, yet a result was loaded"},
      {plain, plain, "no copy of the picked object was inserted"},
      {late, scene1(armCopies(), "") + late.substr(plain.size()),
       "saved object line 94 \"LoadObject Objects/Late.lwo\\x0a\" after the object copies is renumbered"},
      // Where the old anchor put them: inside the animated ambient intensity.
      {scene1("", "", ambientEnvelope()), scene1("", "", ambientEnvelope(armCopies())),
       "the saved lines between the anchors are not all kept: the edit stands between saved lines 57 and 58, "
       "the anchors are saved lines 50 (objects) and 85 (lights)"},
      {crateEdited(plain, "EndBehavior 1"), crateEdited(plain, "EndBehavior 1", armCopies()),
       "the object copies stand inside an envelope, before saved line 49 \"EndBehavior 1\\x0a\""},
      {crateEdited(plain, "  0 0 0 0 0\n"), crateEdited(plain, "  0 0 0 0 0\n", armCopies()),
       "the object copies stand inside an envelope, before saved line 48 \"  0 0 0 0 0\\x0a\""},
      {plain, scene1(armCopies("5"), ""),
       "object copy 1's \"TargetObject 5\\x0a\" names no copy of what \"TargetObject 3\\x0a\" names"},
      {plain, scene1(armCopies("6", "5", "5"), ""),
       "object copy 2's \"GoalObject 5\\x0a\" names no copy of what \"GoalObject 4\\x0a\" names"},
      {plain, scene1(armCopies("6", "2"), ""),
       "object copy 2 does not name the copy of its parent: \"ParentObject 2\\x0a\""},
      {plain, scene1(armCopies(), lamp("5") + "\n"),
       "light copy 1 does not name the copy of its parent: \"ParentObject 5\\x0a\""},
      {plain, scene1(armCopies("6", "5", "4", "\n"), ""),
       "object copy 1 is followed by a blank line, which format 1 puts after no picked object's copy"},
      {plain, scene1(armCopies().substr(0, armCopies().size() - 1), ""),
       "object copy 2 is not followed by one blank line \"\\x0a\""},
      {scene2("", ""), scene2(kArmCopies2 + "\n", ""),
       "object copy 2 is followed by a blank line, which format 2 puts after no object copy"},
      {sceneOld("", ""), sceneOld(kOldArm, lamp("3", kOldLampEnd)),
       "light copy 1 is not followed by one blank line \"\\x0a\""},
  };
  for (const Case& c : cases) EXPECT_EQ(checkCopiedBranch(c.original, c.edited).why, c.why);
}

}  // namespace
}  // namespace graftling::fuzzing
