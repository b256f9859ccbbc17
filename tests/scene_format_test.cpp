// Whole scenes as Layout's writers leave them: animated scene settings at the
// end of the object section, older writers' layouts, references that follow
// the copy, format 2, and formats graftling does not edit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/copy_test_support.h"
#include "tests/scene_text.h"

namespace graftling {
namespace {

using namespace testing;
using standin::ShownMessage;

// Both copy methods give expected, with no message.
void expectCopy(const std::string& scene, int pick, const std::string& expected) {
  for (CopyMethod method : {CopyMethod::Fastest, CopyMethod::StepByStep}) {
    CopyResult run = copyBranch(scene, pick, 0, method);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.messages, std::vector<ShownMessage>{});
    EXPECT_EQ(run.text, expected);
  }
}

// An object block with extra lines before its "ShadowOptions" line.
std::string object(std::string_view line, int parent = 0, const std::string& extra = "") {
  std::string block = objectBlock(line, parent);
  return block.insert(block.rfind("ShadowOptions"), extra);
}

std::string light(std::string_view name, int parent, const std::string& extra) {
  std::string block = lightBlock(name, parent);
  return block.insert(block.rfind("ShadowType"), extra);
}

std::string scene(const std::string& objects, const std::string& ambient, const std::string& lights) {
  return sceneHead() + objects + ambient + lights + sceneTail();
}

const std::string kAmbientEnvelope =
    "AmbientColor 255 255 255\nAmbIntensity (envelope)\n  1\n  4\n  0.15\n  0 0 0 0 0\n  0.6760001\n"
    "  170 0 0 0 0\n  0.25\n  510 0 0 0 0\n  0.6\n  1077 0 0 0 0\nEndBehavior 1\n\n";

TEST(SceneFormatTest, CopiesFollowTheLastObjectBlockWhateverEndsTheSection) {
  const std::string objects =
      object("AddNullObject Root") + "\n" + object("LoadObject Objects/Arm.lwo", 1) + "\n";
  const std::string copies = object("AddNullObject Root") + object("LoadObject Objects/Arm.lwo", 3) + "\n";
  const std::string lights = lightBlock("Sun") + "\n";
  // An animated ambient intensity: nothing lands inside its envelope.
  expectCopy(scene(objects, kAmbientEnvelope, lights), 1, scene(objects + copies, kAmbientEnvelope, lights));
  expectCopy(scene(objects, kAmbientEnvelope, lights), 2,
             scene(objects + object("LoadObject Objects/Arm.lwo", 1), kAmbientEnvelope, lights));
  // Older writers put scene settings after the ambient lines.
  const std::string older = ambientLines() + "EnableShadowMaps 0\nEnableLensFlare 0\n";
  expectCopy(scene(objects, older, lights), 1, scene(objects + copies, older, lights));
  // An envelope at the end of the last light, and one in the camera.
  const std::string fading = light("Sun", 1,
                                   "LgtIntensity (envelope)\n  1\n  2\n  1\n  0 0 0 0 0\n  0\n"
                                   "  60 0 0 0 0\nEndBehavior 1\n") +
                             "\n";
  std::string zooming = scene(objects, ambientLines(), fading);
  zooming.replace(zooming.find("ZoomFactor 3.200000"), 19,
                  "ZoomFactor (envelope)\n  1\n  1\n  3.2\n  0 0 0 0 0\nEndBehavior 1");
  std::string expected = zooming;
  expected.insert(expected.find("ShowCamera"), light("Sun", 3,
                                                     "LgtIntensity (envelope)\n  1\n  2\n  1\n  0 0 0 0 0\n"
                                                     "  0\n  60 0 0 0 0\nEndBehavior 1\n") +
                                                   "\n");
  expected.insert(expected.find("AmbientColor"), copies);
  expectCopy(zooming, 1, expected);
}

TEST(SceneFormatTest, LinesThatMayStillBeTheLastBlocksAreNeverSplitOff) {
  // Lines right after the last object's "ShadowOptions", before any blank
  // line, may be that object's: no copy goes between them.
  const std::string objects = object("AddNullObject Root") + "\n" + object("LoadObject Objects/Arm.lwo", 1) +
                              "Plugin ObjReplacementHandler 1 Swap\nEndPlugin\n\n";
  const std::string text = scene(objects, ambientLines(), lightBlock("Sun") + "\n");
  for (CopyMethod method : {CopyMethod::Fastest, CopyMethod::StepByStep}) {
    CopyResult run = copyBranch(text, 1, 0, method);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(
        run.messages,
        (std::vector<ShownMessage>{{"Graftling:", "The copy would damage this scene; nothing was changed"}}));
  }
}

TEST(SceneFormatTest, ReferencesIntoTheBranchNameTheCopies) {
  // A rig: the truss aims at its own target null, two spots aim at it too,
  // and a wash light aims at the floor outside the rig.
  const std::string rig = object("AddNullObject Truss", 0, "TargetObject 2\n") + "\n" +
                          object("AddNullObject SpotTarget", 1) + "\n" +
                          object("LoadObject Objects/Floor.lwo", 0, "TargetObject 1\n") + "\n";
  const std::string spots = lightBlock("Key") + "\n" + light("SpotA", 1, "TargetObject 2\n") + "\n" +
                            light("SpotB", 1, "TargetObject 2\n") + "\n" +
                            light("Wash", 1, "TargetObject 3\n") + "\n";
  const std::string rigCopy =
      object("AddNullObject Truss", 0, "TargetObject 5\n") + object("AddNullObject SpotTarget", 4) + "\n";
  const std::string spotCopies = light("SpotA", 4, "TargetObject 5\n") + "\n" +
                                 light("SpotB", 4, "TargetObject 5\n") + "\n" +
                                 light("Wash", 4, "TargetObject 3\n") + "\n";
  expectCopy(scene(rig, ambientLines(), spots), 1, scene(rig + rigCopy, ambientLines(), spots + spotCopies));
  expectCopy(withCrLf(scene(rig, ambientLines(), spots)), 1,
             withCrLf(scene(rig + rigCopy, ambientLines(), spots + spotCopies)));

  // An IK arm reaches for the copy of its goal; "GoalObjective" is no goal.
  const std::string goal = "GoalObject 4\nGoalStrength 1\nGoalObjective 0\n";
  const std::string arm = object("LoadObject Objects/Shoulder.lwo") + "\n" +
                          object("LoadObject Objects/Elbow.lwo", 1, goal) + "\n" +
                          object("LoadObject Objects/Hand.lwo", 2, "GoalObjective 3\n") + "\n" +
                          object("AddNullObject ArmGoal", 1) + "\n";
  const std::string armCopy =
      object("LoadObject Objects/Shoulder.lwo") +
      object("LoadObject Objects/Elbow.lwo", 5, "GoalObject 8\nGoalStrength 1\nGoalObjective 0\n") + "\n" +
      object("LoadObject Objects/Hand.lwo", 6, "GoalObjective 3\n") + "\n" +
      object("AddNullObject ArmGoal", 5) + "\n";
  expectCopy(scene(arm, ambientLines(), lightBlock("Sun") + "\n"), 1,
             scene(arm + armCopy, ambientLines(), lightBlock("Sun") + "\n"));

  // Morph targets inside and outside the branch; values that name no copied
  // object stay byte for byte.
  const std::string face =
      object("AddNullObject Head") + "\n" + object("LoadObject Objects/MouthA.lwo", 1, "MorphTarget 3\n") +
      "\n" + object("LoadObject Objects/MouthB.lwo", 1, "TargetObject 0\nGoalObject\n") + "\n" +
      object("LoadObject Objects/Other.lwo") + "\n" +
      object("LoadObject Objects/Eyes.lwo", 1, "MorphTarget 4\nTargetObject 99\n") + "\n";
  const std::string faceCopy =
      object("AddNullObject Head") + object("LoadObject Objects/MouthA.lwo", 6, "MorphTarget 8\n") + "\n" +
      object("LoadObject Objects/MouthB.lwo", 6, "TargetObject 0\nGoalObject\n") + "\n" +
      object("LoadObject Objects/Eyes.lwo", 6, "MorphTarget 4\nTargetObject 99\n") + "\n";
  expectCopy(scene(face, ambientLines(), lightBlock("Sun") + "\n"), 1,
             scene(face + faceCopy, ambientLines(), lightBlock("Sun") + "\n"));
  // Below the head, the mouth's target is outside the copied branch.
  expectCopy(scene(face, ambientLines(), lightBlock("Sun") + "\n"), 2,
             scene(face + object("LoadObject Objects/MouthA.lwo", 1, "MorphTarget 3\n"), ambientLines(),
                   lightBlock("Sun") + "\n"));
}

// Format 2, as Layout 5.6 writes it: object blocks without "ShadowOptions" and
// without blank lines between them, a camera block that begins "AddCamera".
const std::string kHead2 = "LWSC\n2\n\nFirstFrame 1\nLastFrame 60\nFrameStep 1\nFramesPerSecond 30\n\n";
const std::string kAmbient2 = "AmbientColor 255 255 255\nAmbIntensity 0.25\nDoubleSidedAreaLights 1\n\n";
const std::string kMotionEnd2 = "Pre/PostBehavior 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1\n";
const std::string kTail2 =
    "AddCamera\nCameraName Camera\nShowCamera 1 7\nCameraMotion (unnamed)\n  9\n  1\n"
    "  0 1 -5 0 0 0 1 1 1\n  0 0 0 0 0\n" +
    kMotionEnd2 + "ZoomFactor 3.2\n\nSolidBackdrop 1\nBackdropColor 0 0 0\n\nRenderMode 2\n\nViewMode 3\n\n";

std::string parentLine(int parent) {
  if (parent == 0) return "";
  std::string line = "ParentObject ";
  return line.append(std::to_string(parent)).append("\n");
}

std::string object2(std::string_view line, int parent = 0, const std::string& extra = "") {
  std::string block = std::string(line) + "\nShowObject 7 -1 0.376471 0.878431 0.941176\nGroup 0\n" +
                      "ObjectMotion (unnamed)\n  9\n  1\n  0 0 0 0 0 0 1 1 1\n  0 0 0 0 0\n" + kMotionEnd2 +
                      "PathAlignLookAhead 0.033\n";
  block += parentLine(parent);
  return block + extra + "IKInitialState 0\nSubPatchLevel 3 3\n";
}

std::string light2(std::string_view name, int parent = 0) {
  std::string block = "AddLight\nLightName " + std::string(name) +
                      "\nShowLight 1 7\nLightMotion (unnamed)\n  9\n"
                      "  1\n  0 2 -2 0 0 0 1 1 1\n  0 0 0 0 0\n" +
                      kMotionEnd2;
  block += parentLine(parent);
  return block + "LightColor 255 255 255\nLgtIntensity 1\nLightType 0\nShadowType 1\nShadowColor 0 0 0\n" +
         "Plugin LightHandler 1 DistantLight\nEndPlugin\n\n";
}

TEST(SceneFormatTest, FormatTwoCopiesWithoutBlankLinesBetweenObjects) {
  // Chassis (1) holds the cab (2), the front axle (3) with its wheels (4, 5)
  // and the axle's IK goal (6); the crane (7) stands apart. The cab's lamp
  // hangs on the cab.
  const std::string axleGoal = "GoalObject 6\nFullTimeIK 0\nGoalStrength 1\nGoalObjective 0\n";
  const std::string vehicle =
      object2("LoadObject Objects/Chassis.lwo") + object2("LoadObject Objects/Cab.lwo", 1) +
      object2("LoadObject Objects/FrontAxle.lwo", 1, axleGoal) + object2("LoadObject Objects/Wheel.lwo", 3) +
      object2("LoadObject Objects/Wheel.lwo", 3) + object2("AddNullObject AxleGoal", 1) +
      object2("LoadObject Objects/Crane.lwo");
  const std::string lights = light2("Sun") + light2("CabLamp", 2);
  const std::string text = kHead2 + vehicle + kAmbient2 + lights + kTail2;

  const std::string whole =
      object2("LoadObject Objects/Chassis.lwo") + object2("LoadObject Objects/Cab.lwo", 8) +
      object2("LoadObject Objects/FrontAxle.lwo", 8,
              "GoalObject 13\nFullTimeIK 0\nGoalStrength 1\nGoalObjective 0\n") +
      object2("LoadObject Objects/Wheel.lwo", 10) + object2("LoadObject Objects/Wheel.lwo", 10) +
      object2("AddNullObject AxleGoal", 8);
  expectCopy(text, 1, kHead2 + vehicle + whole + kAmbient2 + lights + light2("CabLamp", 9) + kTail2);
  expectCopy(withCrLf(text), 1,
             withCrLf(kHead2 + vehicle + whole + kAmbient2 + lights + light2("CabLamp", 9) + kTail2));
  // Deeper picks: the axle's goal lies outside its branch.
  expectCopy(text, 3,
             kHead2 + vehicle + object2("LoadObject Objects/FrontAxle.lwo", 1, axleGoal) +
                 object2("LoadObject Objects/Wheel.lwo", 8) + object2("LoadObject Objects/Wheel.lwo", 8) +
                 kAmbient2 + lights + kTail2);
  expectCopy(text, 2,
             kHead2 + vehicle + object2("LoadObject Objects/Cab.lwo", 1) + kAmbient2 + lights +
                 light2("CabLamp", 8) + kTail2);
}

TEST(SceneFormatTest, AFormatTwoLightMayNameItsParentAfterItsShadowType) {
  // The cab's lamp names the cab after its "ShadowType" line: it is the
  // cab's, is copied with it and hangs on the cab's copy.
  auto lamp = [](int parent) {
    return "AddLight\nLightName CabLamp\nShowLight 1 7\nLightMotion (unnamed)\n  9\n  1\n  0 2 -2 0 0 0 1 1 "
           "1\n"
           "  0 0 0 0 0\n" +
           kMotionEnd2 + "LightColor 255 255 255\nLgtIntensity 1\nLightType 1\nShadowType 1\n" +
           parentLine(parent) + "ShadowColor 0 0 0\nPlugin LightHandler 1 PointLight\nEndPlugin\n\n";
  };
  const std::string truck =
      object2("LoadObject Objects/Chassis.lwo") + object2("LoadObject Objects/Cab.lwo", 1);
  const std::string lights = light2("Sun") + lamp(2);
  expectCopy(kHead2 + truck + kAmbient2 + lights + kTail2, 1,
             kHead2 + truck + object2("LoadObject Objects/Chassis.lwo") +
                 object2("LoadObject Objects/Cab.lwo", 3) + kAmbient2 + lights + lamp(4) + kTail2);
}

TEST(SceneFormatTest, OtherFormatsAreLeftAlone) {
  const std::string body =
      object("AddNullObject Root") + "\n" + ambientLines() + lightBlock("Sun") + "\n" + sceneTail();
  struct Case {
    std::string second;
    std::string named;
  };
  const Case cases[] = {{"9\n", "9"},
                        {"9\r\n", "9"},
                        {"12\n", "12"},
                        {"3.0\n", "unknown"},
                        {"\n", "unknown"},
                        {" 1\n", "unknown"},
                        {"1234567890\n", "unknown"},
                        {"0\n", "0"}};
  for (const Case& c : cases) {
    CopyResult run = copyBranch("LWSC\n" + c.second + body, 1);
    EXPECT_EQ(run.result, 0) << c.second;
    EXPECT_EQ(run.text, "LWSC\n" + c.second + body);
    EXPECT_EQ(
        run.messages,
        (std::vector<ShownMessage>{
            {"Graftling:", "Scene format " + c.named + " is not one graftling edits; nothing was changed"}}))
        << c.second;
  }
}

}  // namespace
}  // namespace graftling
