#include "fuzz/scene_edit_check.h"

#include <gtest/gtest.h>

#include <algorithm>
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
      {"LWSC\n9\n" + plain.substr(7), "LWSC\n9\n" + scene1(armCopies(), "").substr(7),
       "the original's format \"9\\x0a\" is none of 1 to 8, yet a result was loaded"},
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

// Format 3 as real files hold it: every channel a "{ Envelope … }" block, a blank line after the motion,
// each item block after a blank line.
std::string channels(const std::string& motion, int count) {
  std::string text = motion + "\nNumChannels " + std::to_string(count) + "\n";
  for (int i = 0; i < count; ++i)
    text +=
        "Channel " + std::to_string(i) + "\n{ Envelope\n  1\n  Key 0 0 0 0 0 0 0 0 0\n  Behaviors 1 1\n}\n";
  return text + "\n";
}
std::string object3(const std::string& line, const std::string& own) {
  return "\n" + line + "\nShowObject 6 10\n" + channels("ObjectMotion", 2) + own;
}
std::string bone3(const std::string& name, const std::string& own) {
  return "AddBone\nBoneName " + name + "\nShowBone 1 1\n" + channels("BoneMotion", 1) +
         "LockedChannels 448\n" + own;
}
std::string light3(const std::string& name, const std::string& own) {
  return "\nAddLight\nLightName " + name + "\nShowLight 1 -1\n" + channels("LightMotion", 1) + own;
}

// A rig: Hat (0) on Hero's head bone, Master (1) on Crate, Hero (2) on Master with bones Root and Head (its
// IK goal Goal, excluding lights Key and Spot), Goal (3) on Master with a plug-in body of look-alike lines,
// Crate (4) on the camera; Key (0), and Spot (1) on Master aiming at Hero's head.
std::string hat(const std::string& parent) {
  return object3("LoadObjectLayer 1 Objects/Hat.lwo", "ParentItem " + parent + "\nShadowOptions 7\n");
}
const std::string kMaster = object3("AddNullObject Master (2)", "ParentItem 10000004\nShadowOptions 7\n");
std::string hero(const std::string& parent, const std::string& root, const std::string& head,
                 const std::string& goal, const std::string& spot) {
  return object3(
      "LoadObjectLayer 2 Objects/Hero.lwo",
      "ParentItem " + parent + "\nObjectDissolve (envelope)\n{ Envelope\n  1\n  Key 0 0 0 0 0\n}\n" +
          bone3("Root", "ParentItem " + root + "\n") +
          bone3("Head", "ParentItem " + head + "\nGoalObject " + goal + "\nFullTimeIK 1\n") +
          "ShadowOptions 7\nExcludeLight 20000000\nExcludeLight " + spot + "\nExcludeLight 21000000\n");
}
std::string goal(const std::string& parent, const std::string& end = "ShadowOptions 7\n") {
  return object3("AddNullObject Goal",
                 "ParentItem " + parent +
                     "\nPlugin CustomObjHandler 1 Follower\nAddLight\nParentItem 10000001\n\n}\n"
                     "\"268435457  1\"\nEndPlugin\n" +
                     end);
}
const std::string kCrate = object3("AddNullObject Crate", "ParentItem 30000000\nShadowOptions 7\n");
std::string spot(const std::string& parent, const std::string& target) {
  return light3("Spot", "ParentItem " + parent + "\nTargetItem " + target +
                            "\nShadowType 1\nPlugin LightHandler 1 SpotLight\nConeAngle 30\nEndPlugin\n");
}
const std::string kAmbient3 = "AmbientColor 1 1 1\nAmbientIntensity 0.25\n";
const std::string kHeader3 =
    "LWSC\n3\n\nFirstFrame 1\nLastFrame 60\nFramesPerSecond 30\n"
    "Plugin MasterHandler 1 Sticky\nVERSION 1.5\nAddNullObject Fake\nParentItem 10000002\n  { "
    "Data\nEndPlugin\n";
std::string rig(const std::string& objectCopies, const std::string& lightCopies,
                const std::string& group = kAmbient3) {
  return kHeader3 + hat("40010002") + kMaster + hero("10000001", "10000002", "40000002", "4", "20000001") +
         goal("10000001") + kCrate + objectCopies + "\n" + group + light3("Key", "ShadowType 1\n") +
         spot("10000001", "40010002") + lightCopies + "\nAddCamera\nCameraName Camera\n" +
         channels("CameraMotion", 1) + "ZoomFactor 3.2\n\nResolutionMultiplier 1.0\n";
}
// Master picked: Master (5), Hero (6), Hat (7) on Hero's head, Goal (8), and Spot (light 2).
const std::string kMasterCopies =
    kMaster + hero("10000005", "10000006", "40000006", "9", "20000002") + hat("40010006") + goal("10000005");
const std::string kSpotCopy = spot("10000005", "40010006");
// A scene-level group without "AmbientColor": the last run before the first light, a blank line in a plug-in
// body.
const std::string kRadiosity =
    "EnableRadiosity 0\nPlugin RadiosityHandler 1 Cache\n\nEndPlugin\nGlobalLightIntensity (envelope)\n"
    "{ Envelope\n  1\n  Key 1 0 0 0 0\n}\n";

std::string inserted(std::string text, std::size_t at, const std::string& lines) {
  return text.insert(at, lines);
}
std::string lineAt(const std::string& text, std::size_t at) {
  return std::to_string(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n') + 1);
}

TEST(Format3CheckTest, CopiesOfTheRigPass) {
  const std::string plain = rig("", "");
  // One saved line of 255 bytes ends without an LF; its rewrite too.
  const std::string longParent = "ParentItem 10000000" + std::string(236, ' ');
  const std::string twoNulls =
      "LWSC\n3\n\nAddNullObject A\nShadowOptions 7\n\nAddNullObject B\n" + longParent + "\nShadowOptions 7\n";
  const std::string tail = "\nAmbientColor 1 1 1\n\nAddCamera\n";
  // A and B hang on each other; A's "ExcludeLight" names an object, so no light.
  const std::string cycle =
      "LWSC\n3\n\nAddNullObject A\nParentItem 10000001\nShadowOptions 7\nExcludeLight 10000001\n"
      "\nAddNullObject B\nParentItem 10000000\nShadowOptions 7\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Master picked, in LF and in CR LF.
      {plain, rig(kMasterCopies, kSpotCopy)},
      {testing::withCrLf(plain), testing::withCrLf(rig(kMasterCopies, kSpotCopy))},
      // Hero picked: its own parent line stays, its goal and Spot are not copied.
      {plain, rig(hero("10000001", "10000005", "40000005", "4", "20000001") + hat("40010005"), "")},
      // Hat picked, and Master where the scene-level group has no "AmbientColor".
      {plain, rig(hat("40010002"), "")},
      {rig("", "", kRadiosity), rig(kMasterCopies, kSpotCopy, kRadiosity)},
      // A picked in a cycle: its own parent line stays, though it names B, which is copied.
      {cycle + tail, cycle +
                         "\nAddNullObject A\nParentItem 10000001\nShadowOptions 7\nExcludeLight 10000001\n"
                         "\nAddNullObject B\nParentItem 10000002\nShadowOptions 7\n" +
                         tail},
      // A picked; B's 255-byte parent piece rewritten without a line end.
      {twoNulls + tail,
       twoNulls +
           "\nAddNullObject A\nShadowOptions 7\n\nAddNullObject B\nParentItem 10000002\nShadowOptions 7\n" +
           tail},
  };
  for (const auto& [original, edited] : cases) {
    EXPECT_EQ(checkInsertionsOnly(original, edited).why, "");
    EXPECT_EQ(checkCopiedBranch(original, edited).why, "");
  }
}

TEST(Format3CheckTest, RewritesOfOtherShapesAreNoInsertion) {
  const std::string plain = rig("", "");
  for (std::string parent : {"4001000A", "4001006", "40010006 ", "7"}) {
    EXPECT_EQ(checkInsertionsOnly(plain, rig(hat(parent), "")).why.substr(0, 15), "original piece ")
        << parent;
  }
  for (std::string goal : {"0", "-1", "09"}) {
    std::string copies = hero("10000001", "10000005", "40000005", goal, "20000001");
    EXPECT_EQ(checkInsertionsOnly(plain, rig(copies, "")).why.substr(0, 15), "original piece ") << goal;
  }
  // A rewrite ends as its source line does.
  std::string lfEnded = testing::withCrLf(rig(hat("40010002"), ""));
  lfEnded.replace(lfEnded.rfind("ParentItem 40010002\r\n"), 21, "ParentItem 40010007\n");
  EXPECT_EQ(checkInsertionsOnly(testing::withCrLf(plain), lfEnded).why.substr(0, 15), "original piece ");
}

TEST(Format3CheckTest, DamageIsFound) {
  const std::string plain = rig("", "");
  const std::string good = rig(kMasterCopies, kSpotCopy);
  const std::size_t crateParent = plain.find("ParentItem 30000000");
  const std::size_t brace = plain.rfind("{ Envelope", crateParent), close = plain.rfind("}\n", crateParent);
  const std::size_t endPlugin = plain.find("EndPlugin");
  std::string changed = good;
  changed.replace(changed.find("ShadowType 1"), 12, "ShadowType 2");
  // Hat's copy after an LF alone in a CR LF scene.
  std::string crLf = testing::withCrLf(kMaster + hero("10000005", "10000006", "40000006", "9", "20000002")) +
                     "\n" + testing::withCrLf(hat("40010006").substr(1) + goal("10000005"));
  const std::vector<Case> cases = {
      {plain, inserted(plain, close, kMasterCopies),
       "the edit reaches into nested content at saved line " + lineAt(plain, close) + " \"}\\x0a\""},
      {plain, inserted(plain, endPlugin, kMasterCopies),
       "the edit reaches into nested content at saved line 12 \"EndPlugin\\x0a\""},
      {plain, inserted(plain, brace, kMasterCopies),
       "the edit stands before saved line " + lineAt(plain, brace) +
           " \"{ Envelope\\x0a\", whose brace block continues the line above it"},
      {plain, inserted(plain, plain.find(kCrate), kMasterCopies),
       "the saved lines around the copies are not all kept: the edit stands between saved lines"},
      {plain, good.substr(0, good.find("VERSION")) + "VERSION 1.6" + good.substr(good.find("VERSION") + 11),
       "the edit reaches into nested content at saved line 8 \"VERSION 1.5\\x0a\""},
      {plain, changed,
       "the saved lines around the copies are not all kept: the edit stands between saved lines"},
      {plain, rig(kMasterCopies.substr(1), ""), "object copy 1 is not preceded by one blank line \"\\x0a\""},
      {testing::withCrLf(plain),
       inserted(testing::withCrLf(plain), testing::withCrLf(plain).find("\r\nAmbientColor"), crLf),
       "object copy 3 is not preceded by one blank line \"\\x0d\\x0a\""},
      {plain, rig("\n" + kMasterCopies, ""), "object copy 1 is preceded by more than one blank line"},
      {plain, rig(kMasterCopies + "\n", ""), "an inserted blank line follows the last object copy"},
      {plain, rig(object3("AddNullObject Master (2)", "ParentItem 10000009\nShadowOptions 7\n"), ""),
       "object copy 1 is not an exact copy of an object's block"},
      {plain, rig(kMaster + goal("10000005", "ShadowOptions 6\n"), ""),
       "object copy 2 copies no saved block"},
      {plain,
       rig(kMaster + hero("10000005", "10000006", "40000006", "9", "20000002") + hat("40010006") +
               goal("10000006"),
           ""),
       "object copy 4 does not hang on the copy of its source's parent: \"ParentItem 10000006\\x0a\""},
      {plain, rig(kMaster + hero("10000005", "10000006", "40000006", "9", "20000002") + hat("40000006"), ""),
       "object copy 3 does not hang on the copy of its source's parent: \"ParentItem 40000006\\x0a\""},
      {plain, rig(kMaster + hero("10000005", "10000006", "40000006", "9", "20000002") + hat("40010005"), ""),
       "object copy 3 does not hang on the copy of its source's parent: \"ParentItem 40010005\\x0a\""},
      {plain, rig(kMaster + hero("10000005", "10000006", "40000005", "9", "20000002"), ""),
       "object copy 2's \"ParentItem 40000005\\x0a\" names no copy of what \"ParentItem 40000002\\x0a\" "
       "names"},
      {plain, rig(kMaster + hero("10000005", "10000006", "40000006", "4", "20000001") + goal("10000005"), ""),
       "object copy 2's \"GoalObject 4\\x0a\" names the original, not its copy"},
      {plain, rig(kMasterCopies, spot("10000005", "40010002")),
       "light copy 1's \"TargetItem 40010002\\x0a\" names the original, not its copy"},
      {plain, rig(kMasterCopies, kSpotCopy + kSpotCopy),
       "light copy 2 copies a saved block that another copy copies"},
      {plain, rig(kMaster + hero("10000005", "10000006", "40000006", "9", "20000002") + hat("40010002"), ""),
       "object copy 3 does not hang on a copy: \"ParentItem 40010002\\x0a\""},
      {plain,
       inserted(rig(kMasterCopies, ""), rig(kMasterCopies, "").find("\nAddLight\nLightName Spot"), kSpotCopy),
       "the saved lines around the copies are not all kept: the edit stands between saved lines"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(checkCopiedBranch(c.original, c.edited).why.substr(0, c.why.size()), c.why);
}

TEST(Format3CheckTest, OriginalsTheCopyRefusesFail) {
  const std::string plain = rig("", "");
  const std::string good = rig(kMasterCopies, kSpotCopy);
  const std::string noCamera = plain.substr(0, plain.find("\nAddCamera") + 1);
  const std::string earlyLight = "LWSC\n3\n\nAddLight\n" + plain.substr(7);
  const std::string why = "the original would be refused: ";
  const std::string stray = rig("", "", "}\n" + kAmbient3), bone = rig("", "", kAmbient3 + "AddBone\n");
  const std::vector<Case> cases = {
      {stray, rig(kMasterCopies, "", "}\n" + kAmbient3),
       why + "saved line " + lineAt(stray, stray.find("}\nAmbientColor")) +
           " \"}\\x0a\" closes no brace block"},
      {plain.substr(0, plain.rfind("EndPlugin")) + plain.substr(plain.rfind("EndPlugin") + 10), good,
       why + "a brace block or plug-in body is still open at its end"},
      {noCamera, good, why + "it has no camera line"},
      {earlyLight, "LWSC\n3\n\nAddLight\n" + good.substr(7),
       why + "its objects, lights and cameras do not stand"},
      {bone, rig(kMasterCopies, "", kAmbient3 + "AddBone\n"),
       why + "saved line " + lineAt(bone, bone.find("AddBone\n\nAddLight")) +
           " \"AddBone\\x0a\" begins a bone in no object block"},
      {"LWSC\n3\n\nAddNullObject A\nShadowOptions 7\n\nAddCamera\n",
       "LWSC\n3\n\nAddNullObject A\nShadowOptions 7\n\nAddNullObject A\nShadowOptions 7\n\nAddCamera\n",
       why + "no scene-level group follows its last object"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(checkCopiedBranch(c.original, c.edited).why.substr(0, c.why.size()), c.why);
}

TEST(Format3CheckTest, ACopyWithBonesNeedsAnIndexOfFourDigits) {
  // Rig (0) and count nulls; the copy of Rig takes index count + 1.
  auto scene = [](std::size_t count, const std::string& copy) {
    std::string text = "LWSC\n3\n\nAddNullObject Rig\nAddBone\nParentItem 10000000\nShadowOptions 7\n";
    for (std::size_t i = 0; i < count; ++i) text += "\nAddNullObject N\nShadowOptions 7\n";
    return text + copy + "\nAmbientColor 1 1 1\n\nAddCamera\n";
  };
  auto copy = [](const std::string& id) {
    return "\nAddNullObject Rig\nAddBone\nParentItem " + id + "\nShadowOptions 7\n";
  };
  EXPECT_EQ(checkCopiedBranch(scene(65534, ""), scene(65534, copy("1000ffff"))).why, "");
  EXPECT_EQ(checkCopiedBranch(scene(65535, ""), scene(65535, copy("10010000"))).why,
            "object copy 1's index 65536 does not fit its bones' identifiers");
}

// Formats 4 to 8 as the newest Layouts write them: item lines spell identifiers, and every item holds a blank
// line between its blend lines and its path alignment lines.
const std::string kBlend = "CtrlPosItemBlend 1\nCtrlRotItemBlend 1\n\nPathAlignLookAhead 0.033\n";
std::string object5(const std::string& line, const std::string& own, const std::string& bones = "",
                    const std::string& after = "") {
  return "\n" + line + "\nShowObject 6 -1\n" + channels("ObjectMotion", 2) + own + kBlend + bones +
         "ShadowOptions 7\n" + after;
}
std::string bone5(const std::string& id, const std::string& parent, const std::string& after = "") {
  return "AddBone " + id + "\nBoneName B\n" + channels("BoneMotion", 1) + "ParentItem " + parent + "\n" +
         after + kBlend;
}
std::string light5(const std::string& id, const std::string& own) {
  return "\nAddLight " + id + "\nLightName L\n" + channels("LightMotion", 1) + own + kBlend +
         "ShadowType 1\nPlugin LightHandler 1 PointLight\nEndPlugin\n";
}

// A rig: Stage (0), HandGoal (1, spelling 10000007) on Master, Master (2) on Stage, Hero (3) on Master with
// bones Root and Arm (reaching for HandGoal), morphing into Smile and ignoring Lamp, Smile (4) on Master
// taking Hero's bones; Sun, and Lamp on Hero's arm aiming at Master.
std::string master5(const std::string& id) {
  return object5("AddNullObject " + id + " Master", "ParentItem 10000000\n");
}
std::string handGoal5(const std::string& id, const std::string& parent) {
  return object5("AddNullObject " + id + " HandGoal", "ParentItem " + parent + "\n");
}
std::string hero5(const std::string& id, const std::string& parent, const std::string& morph,
                  const std::string& goal, const std::string& lamp) {
  return object5("LoadObjectLayer 1 " + id + " Objects/Hero.lwo",
                 "ParentItem " + parent + "\nMorphTarget " + morph + "\n",
                 bone5("4000" + id.substr(4), id) +
                     bone5("4001" + id.substr(4), "4000" + id.substr(4), "GoalObject " + goal + "\n"),
                 "ExcludeLight " + lamp + "\nExcludeLight 21000000\n");
}
std::string smile5(const std::string& id, const std::string& parent, const std::string& bonesFrom) {
  return object5("LoadObjectLayer 1 " + id + " Objects/Smile.lwo", "ParentItem " + parent + "\n", "",
                 "UseBonesFrom " + bonesFrom + "\nPlugin PrimitiveHandler 1 Ribbon\n{ Data\n}\nEndPlugin\n");
}
std::string lamp5(const std::string& id, const std::string& parent, const std::string& target) {
  return light5(id, "ParentItem " + parent + "\nTargetItem " + target + "\n");
}
// Format 8 has a buffer list in its head and a scene-level group without "AmbientColor".
std::string rig5(int format, const std::string& objectCopies = "", const std::string& lightCopies = "",
                 const std::string& morph = "10000005") {
  std::string head = "LWSC\n" + std::to_string(format) + "\n\nFirstFrame 1\nFramesPerSecond 30\n";
  if (format == 8) head += "BufferList\n  Buffer 1 \"Final Render\"\nEndAttribute\n";
  return head + object5("AddNullObject 10000000 Stage", "") + handGoal5("10000007", "10000003") +
         master5("10000003") + hero5("10000004", "10000003", morph, "10000007", "20000001") +
         smile5("10000005", "10000003", "10000004") + objectCopies + "\n" +
         (format == 8 ? "GlobalMipmapMultiplier 1\nEnableRadiosity 0\n" : kAmbient3) +
         light5("20000000", "ShadowColor 0 0 0\n") + lamp5("20000001", "40010004", "10000003") + lightCopies +
         "\nAddCamera 30000000\nCameraName Camera\nTargetItem 10000004\n" + channels("CameraMotion", 1) +
         "ZoomFactor 3.2\n";
}
// Master picked: Master 10000008, HandGoal 10000009, Hero 1000000a, Smile 1000000b, and Lamp 20000002.
std::string masterCopies5(const std::string& morph, const std::string& bonesFrom) {
  return master5("10000008") + handGoal5("10000009", "10000008") +
         hero5("1000000a", "10000008", morph, "10000009", "20000002") +
         smile5("1000000b", "10000008", bonesFrom);
}
const std::string kLampCopy5 = lamp5("20000002", "4001000a", "10000008");

ExpectedRun loaded(const std::string& text) {
  ExpectedRun run;
  run.outcome = ExpectedRun::Outcome::kLoaded;
  run.text = text;
  return run;
}
ExpectedRun refused(const std::string& message) {
  ExpectedRun run;
  run.outcome = ExpectedRun::Outcome::kRefused;
  run.message = message;
  return run;
}
const std::string kIdentifiers =
    "The saved scene's item identifiers are missing or repeated; nothing was changed";
const std::string kDamage = "The copy would damage this scene; nothing was changed";
const std::string kNoCamera = "No camera found in the saved scene";
// Whole runs compared; the objects are those of the rig unless told.
void expectRunIs(const std::string& saved, std::size_t pick, const ExpectedRun& expected,
                 std::size_t objects = 5) {
  ExpectedRun run = expectRun(saved, pick);
  EXPECT_EQ(run.outcome, expected.outcome) << run.message << run.why;
  EXPECT_EQ(run.message, expected.message);
  EXPECT_EQ(firstDifference(expected.text, run.text), "");
  EXPECT_EQ(run.objects, objects);
}

TEST(LaterFormatRunTest, TheRigsCopiesAreForetoldWhole) {
  // Formats 5 to 8 name the morph target and the bones' source by identifier; format 4 the morph target by
  // number (Smile 5, its copy 9) and UseBonesFrom not at all.
  expectRunIs(rig5(5), 2, loaded(rig5(5, masterCopies5("1000000b", "1000000a"), kLampCopy5)));
  expectRunIs(testing::withCrLf(rig5(5)), 2,
              loaded(testing::withCrLf(rig5(5, masterCopies5("1000000b", "1000000a"), kLampCopy5))));
  expectRunIs(rig5(8), 2, loaded(rig5(8, masterCopies5("1000000b", "1000000a"), kLampCopy5)));
  expectRunIs(rig5(4, "", "", "5"), 2, loaded(rig5(4, masterCopies5("9", "10000004"), kLampCopy5, "5")));
  // Hero picked keeps its own parent line; its goal, morph target and lamp's aim stay with the originals.
  expectRunIs(rig5(5), 3,
              loaded(rig5(5, hero5("10000008", "10000003", "10000005", "10000007", "20000002"),
                          lamp5("20000002", "40010008", "10000003"))));
  for (const std::string& saved : {rig5(5), rig5(4, "", "", "5")}) {
    std::string edited = expectRun(saved, 2).text;
    EXPECT_EQ(checkInsertionsOnly(saved, edited).why, "");
    EXPECT_EQ(checkCopiedBranch(saved, edited).why, "");
  }
}

TEST(LaterFormatRunTest, RefusalsComeInTheirOrder) {
  const std::string plain = rig5(5);
  auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
  };
  const std::string noCamera = plain.substr(0, plain.find("\nAddCamera") + 1);
  const std::string repeated = replaced(plain, "10000005 Objects/Smile", "10000004 Objects/Smile");
  const std::string boneInGroup = replaced(plain, kAmbient3, kAmbient3 + "AddBone 40020005\n");
  const std::string lastObject = replaced(plain, "10000007 HandGoal", "1fffffff HandGoal");
  expectRunIs(replaced(plain, "10000000 Stage", "Stage"), 2, refused(kIdentifiers));
  expectRunIs(replaced(plain, "AddCamera 30000000", "AddCamera 3000000"), 2, refused(kIdentifiers));
  expectRunIs(repeated, 2, refused(kIdentifiers));
  // A missing camera before the identifiers; damage met on the way before a missing camera, other damage
  // after.
  expectRunIs(replaced(noCamera, "10000005 Objects/Smile", "10000004 Objects/Smile"), 2, refused(kNoCamera));
  expectRunIs(replaced(noCamera, kAmbient3, "}\n" + kAmbient3), 2, refused(kDamage));
  expectRunIs(replaced(noCamera, kAmbient3, kAmbient3 + "AddBone 40020005\n"), 2, refused(kNoCamera));
  expectRunIs(boneInGroup, 2, refused(kDamage));
  expectRunIs(replaced(repeated, "\nAddCamera", "\nAddNullObject 10000006 Late\n\nAddCamera"), 2,
              refused(kDamage), 6);
  // The first copy that does not fit: Master's copy after 1fffffff, the lamp's at 21000000, Hero's bones.
  expectRunIs(lastObject, 2,
              refused("No object identifier below 20000000 is free for this copy; nothing was changed"));
  expectRunIs(replaced(replaced(plain, "AddLight 20000001", "AddLight 20ffffff"), "20000001\nExclude",
                       "20ffffff\nExclude"),
              2, refused("No light identifier below 21000000 is free for this copy; nothing was changed"));
  expectRunIs(replaced(plain, "10000005 Objects/Smile", "10010003 Objects/Smile"), 3,
              refused("This copy's bones would share identifiers with other bones; nothing was changed"));
  expectRunIs(replaced(plain, "AddBone 40010004", "AddBone 40010008"), 3,
              refused("This copy's bones would share identifiers with other bones; nothing was changed"));
  // An "AmbientColor" line after Hero's bones: its copy, when last, would end before it.
  auto ambientInHero = [](std::string text) {
    for (std::size_t at = text.find("\nExcludeLight 21"); at != std::string::npos;
         at = text.find("\nExcludeLight 21", at + 20))
      text.insert(at + 1, "AmbientColor 0 0 0\n");
    return text;
  };
  expectRunIs(ambientInHero(plain), 3, refused(kDamage));
  expectRunIs(ambientInHero(plain), 2,
              loaded(ambientInHero(rig5(5, masterCopies5("1000000b", "1000000a"), kLampCopy5))));
  // A saved line that names no item would name a copy; two copied bones would share an identifier.
  expectRunIs(replaced(plain, "TargetItem 10000004", "TargetItem 1000000A"), 2, refused(kDamage));
  expectRunIs(replaced(plain, "AddBone 40010004", "AddBone 40000014"), 3, refused(kDamage));
}

TEST(LaterFormatRunTest, OtherScenesAreForetoldOrLeftToTheCheck) {
  const std::string plain = rig5(5);
  expectRunIs("LWSD" + plain.substr(4), 2, refused("Unable to read the saved scene"), 0);
  expectRunIs("LWSC\n9\r\n" + plain.substr(7), 2,
              refused("Scene format 9 is not one graftling edits; nothing was changed"), 0);
  expectRunIs("LWSC\n5.0\n" + plain.substr(7), 2,
              refused("Scene format unknown is not one graftling edits; nothing was changed"), 0);
  ExpectedRun unknown;
  expectRunIs(rig("", ""), 0, unknown, 0);
  EXPECT_EQ(expectRun(rig("", ""), 0).why, "formats 1 to 3 are checked from the edited text");
  std::string nul = plain;
  nul.replace(nul.find("Master"), 6, std::string("Mas\0er", 6));
  expectRunIs(nul, 2, unknown);
  EXPECT_EQ(expectRun(nul, 2).why, "the picked object's line holds a NUL byte");
  std::string heroCopied = rig5(5, hero5("10000008", "10000003", "10000005", "10000007", "20000002"),
                                lamp5("20000002", "40010008", "10000003"));
  heroCopied.replace(heroCopied.find("Master"), 6, std::string("Mas\0er", 6));
  expectRunIs(nul, 3, loaded(heroCopied));
}

TEST(LaterFormatRunTest, CheckedEditsNameWhereTheyDepart) {
  const std::string plain = rig5(5);
  const std::string good = rig5(5, masterCopies5("1000000b", "1000000a"), kLampCopy5);
  std::string late = good;
  late.replace(late.rfind("ParentItem 4001000a"), 19, "ParentItem 40010004");
  std::string upper = good;
  upper.replace(upper.find("1000000a Objects/Hero"), 8, "1000000A");
  EXPECT_EQ(checkCopiedBranch(plain, late).why,
            "picking saved object 3, the copy departs from its expected text at byte " +
                std::to_string(good.rfind("ParentItem 4001000a") + 18) + " (line " +
                lineAt(good, good.rfind("ParentItem 4001000a")) +
                "): expected \"ParentItem 4001000a\\x0aTargetItem 10000008\\x0aCtrlPosItemBlend 1\\x0aC\", "
                "found \"ParentItem 40010004\\x0aTargetItem 10000008\\x0aCtrlPosItemBlend 1\\x0aC\"");
  EXPECT_EQ(checkInsertionsOnly(plain, late).why, "");
  EXPECT_EQ(checkInsertionsOnly(plain, upper).why.substr(0, 15), "original piece ");
  EXPECT_EQ(checkCopiedBranch(plain, rig5(5, object5("AddNullObject 10000008 Stranger", ""))).why,
            "object copy 1 is no saved object's line with a new identifier: \"AddNullObject 10000008 "
            "Stranger\\x0a\"");
  std::string repeated = plain;
  repeated.replace(repeated.find("10000005 Objects"), 8, "10000004");
  EXPECT_EQ(
      checkCopiedBranch(repeated, good).why,
      "the original would be refused: \"The saved scene's item identifiers are missing or repeated; nothing "
      "was changed\", yet a result was loaded");
  // Format 4 names no bones' source: a rewritten UseBonesFrom line is no insertion.
  const std::string format4 = rig5(4, "", "", "5");
  EXPECT_EQ(checkInsertionsOnly(format4, rig5(4, masterCopies5("9", "1000000a"), kLampCopy5, "5"))
                .why.substr(0, 15),
            "original piece ");
  EXPECT_EQ(firstDifference("a\nbc\n", "a\nbd\n"),
            "byte 3 (line 2): expected \"bc\\x0a\", found \"bd\\x0a\"");
  EXPECT_EQ(firstDifference("same", "same"), "");
}

}  // namespace
}  // namespace graftling::fuzzing
