// Whole scenes of formats 4 to 8, whose item lines spell their identifiers:
// a rig whose identifiers stand out of order, with a morph target, an IK goal
// and bones of a second object, a format-8 scene without "AmbientColor", and
// the identifiers a copy cannot take.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/copy_test_support.h"
#include "tests/scene_text.h"

namespace graftling {
namespace {

using namespace testing;
using standin::ShownMessage;

// The rig, in file order: Master 10000000; Hero 10000001 with bones Root,
// Spine, Head and Shin (solved towards HandGoal), morphing into HeroMorph and
// ignoring light Rim; Hat 10000002 on the head bone; HeroMorph 10000007 (an
// identifier out of order); HandGoal 10000003; Sword 10000004 on HandGoal,
// using Hero's bones; Robot 10000005 with bones of its own, outside the
// branch; Lens 10000006 on the camera. Lights: Key 20000000, Rim 20000001 on
// Hero aimed at the head bone, Fill 20000002 on Master.

// Hero's block: its identifier and parent, the last 4 digits of its bones'
// identifiers, and the identifiers of its goal, its morph target and the
// light it ignores.
std::string hero(const std::string& identifier, const std::string& parent, const std::string& bones,
                 const std::string& goal, const std::string& morph, const std::string& ignored) {
  std::string rig = boneBlock5("4000" + bones, "Root", identifier) +
                    boneBlock5("4001" + bones, "Spine", "4000" + bones) +
                    boneBlock5("4002" + bones, "Head", "4001" + bones) +
                    boneBlock5("4003" + bones, "Shin", "4000" + bones,
                               "GoalObject " + goal + "\nFullTimeIK 1\nGoalStrength 25\n");
  return objectBlock5("LoadObjectLayer 1 " + identifier + " Objects/Hero.lwo",
                      "ParentItem " + parent + "\nMorphTarget " + morph + "\nMorphSurfaces 0\n", rig,
                      "ExcludeLight " + ignored + "\nExcludeLight 21000000\n");
}

std::string hat(const std::string& identifier, const std::string& parent) {
  return objectBlock5("LoadObjectLayer 1 " + identifier + " Objects/Hat.lwo", "ParentItem " + parent + "\n",
                      "",
                      "Plugin CustomObjHandler 1 Follower\n\"268435457  1\"\nParentItem 10000000\n"
                      "AddBone 40000002\nEndPlugin\n");
}

std::string heroMorph(const std::string& identifier, const std::string& parent) {
  return objectBlock5(
      "LoadObjectLayer 1 " + identifier + " Objects/HeroMorph.lwo",
      "ObjectDissolve (envelope)\n{ Envelope\n  1\n  Key 1 0 0 0 0 0 0 0 0\n  Behaviors 1 1\n}\n"
      "ParentItem " +
          parent + "\n");
}

std::string handGoal(const std::string& identifier, const std::string& parent) {
  return objectBlock5("AddNullObject " + identifier + " HandGoal", "ParentItem " + parent + "\n");
}

std::string sword(const std::string& identifier, const std::string& parent, const std::string& bonesFrom) {
  return objectBlock5("LoadObjectLayer 2 " + identifier + " Objects/Sword.lwo",
                      "ParentItem " + parent + "\nUseBonesFrom " + bonesFrom + "\n");
}

const std::string kRobot =
    objectBlock5("LoadObjectLayer 1 10000005 Objects/Robot.lwo", "",
                 boneBlock5("40000005", "Base", "10000005") + boneBlock5("40010005", "Arm", "40000005"));
const std::string kLens = objectBlock5("AddNullObject 10000006 Lens (2)", "ParentItem 30000000\n");

std::string rim(const std::string& identifier, const std::string& parent, const std::string& target) {
  return lightBlock5(identifier, "Rim", "ParentItem " + parent + "\nTargetItem " + target + "\n");
}

std::string fill(const std::string& identifier, const std::string& parent) {
  return lightBlock5(identifier, "Fill", "ParentItem " + parent + "\n");
}

const Blocks kCameras = {cameraBlock5("30000000", "Camera"),
                         cameraBlock5("30000001", "CloseUp", "ParentItem 10000002\n")};

Blocks rigObjects() {
  return {objectBlock5("AddNullObject 10000000 Master"),
          hero("10000001", "10000000", "0001", "10000003", "10000007", "20000001"),
          hat("10000002", "40020001"),
          heroMorph("10000007", "10000000"),
          handGoal("10000003", "10000000"),
          sword("10000004", "10000003", "10000001"),
          kRobot,
          kLens};
}

Blocks rigLights() {
  return {lightBlock5("20000000", "Key"), rim("20000001", "10000001", "40020001"),
          fill("20000002", "10000000")};
}

TEST(Format5CopyTest, TheRigPickedAtItsMasterNull) {
  // Copies take the identifiers after the highest, 10000007 and 20000002, in
  // the order they are made: Master, Hero, the hat on its head bone, Rim on
  // Hero, HeroMorph, HandGoal, the sword on it, then Fill.
  const Blocks objects = {objectBlock5("AddNullObject 10000008 Master"),
                          hero("10000009", "10000008", "0009", "1000000c", "1000000b", "20000003"),
                          hat("1000000a", "40020009"),
                          heroMorph("1000000b", "10000008"),
                          handGoal("1000000c", "10000008"),
                          sword("1000000d", "1000000c", "10000009")};
  const Blocks lights = {rim("20000003", "10000009", "40020009"), fill("20000004", "10000008")};
  for (int format : {5, 8}) {
    expectCopy(scene5(format, rigObjects(), rigLights(), kCameras), 1,
               scene5(format, plus(rigObjects(), objects), plus(rigLights(), lights), kCameras));
  }
}

TEST(Format5CopyTest, TheRigPickedAtTheMeshAndAtAGoal) {
  // The mesh keeps its parent line; its goal and morph target lie outside.
  const Blocks mesh = {hero("10000008", "10000000", "0008", "10000003", "10000007", "20000003"),
                       hat("10000009", "40020008")};
  expectCopy(scene5(5, rigObjects(), rigLights(), kCameras), 2,
             scene5(5, plus(rigObjects(), mesh), plus(rigLights(), {rim("20000003", "10000008", "40020008")}),
                    kCameras));
  const Blocks goal = {handGoal("10000008", "10000000"), sword("10000009", "10000008", "10000001")};
  expectCopy(scene5(8, rigObjects(), rigLights(), kCameras), 5,
             scene5(8, plus(rigObjects(), goal), rigLights(), kCameras));
}

TEST(Format5CopyTest, Format4NamesGoalsByIdentifierAndMorphTargetsByNumber) {
  // Format 4 writes "MorphTarget" as the object's index plus one, and has no
  // "UseBonesFrom" link: that line is copied as it stands.
  const Blocks objects = {objectBlock5("AddNullObject 10000004 Rig"),
                          objectBlock5("LoadObjectLayer 1 10000001 Objects/Arm.lwo",
                                       "ParentItem 10000004\nGoalObject 10000002\nMorphTarget 3\n"
                                       "UseBonesFrom 10000002\n"),
                          objectBlock5("AddNullObject 10000002 Goal", "ParentItem 10000004\n")};
  const Blocks copies = {objectBlock5("AddNullObject 10000005 Rig"),
                         objectBlock5("LoadObjectLayer 1 10000006 Objects/Arm.lwo",
                                      "ParentItem 10000005\nGoalObject 10000007\nMorphTarget 6\n"
                                      "UseBonesFrom 10000002\n"),
                         objectBlock5("AddNullObject 10000007 Goal", "ParentItem 10000005\n")};
  const Blocks camera = {cameraBlock5("30000000", "Camera")};
  expectCopy(scene5(4, objects, {}, camera), 1, scene5(4, plus(objects, copies), {}, camera));
}

TEST(Format5CopyTest, IdentifiersACopyCannotTakeAreRefused) {
  const Blocks camera = {cameraBlock5("30000000", "Camera")};
  const Blocks key = {lightBlock5("20000000", "Key")};
  // The highest object identifier leaves none below 20000000.
  const Blocks last = {objectBlock5("AddNullObject 10000000 Rig"),
                       objectBlock5("AddNullObject 1fffffff Top")};
  expectRefused(scene5(5, last, key, camera), 1,
                "No object identifier below 20000000 is free for this copy; nothing was changed");
  // A light copy would take 21000000, which names radiosity.
  const Blocks lamp = {lightBlock5("20ffffff", "Lamp", "ParentItem 10000000\n")};
  expectRefused(scene5(5, {objectBlock5("AddNullObject 10000000 Rig")}, lamp, camera), 1,
                "No light identifier below 21000000 is free for this copy; nothing was changed");
  // The copy 10010000 of a rigged object would end in 0000, as Hero's bones do.
  const Blocks rigged = {objectBlock5("LoadObjectLayer 1 10000000 Objects/Hero.lwo", "",
                                      boneBlock5("40000000", "Root", "10000000")),
                         objectBlock5("AddNullObject 1000ffff Top")};
  expectRefused(scene5(5, rigged, key, camera), 1,
                "This copy's bones would share identifiers with other bones; nothing was changed");
  CopyResult plain = copyBranch(scene5(5, rigged, key, camera), 2);
  EXPECT_EQ(plain.result, 1);
  EXPECT_EQ(plain.messages, std::vector<ShownMessage>{});
}

TEST(Format5CopyTest, AReferenceToAnIdentifierACopyWouldTakeIsRefused) {
  // "GoalObject 10000002" names no item of the saved scene, but would name
  // the first copy, whichever it is: the copy would change what a saved line
  // means, and the check finds it.
  const Blocks objects = {objectBlock5("AddNullObject 10000000 Rig"),
                          objectBlock5("AddNullObject 10000001 Arm", "GoalObject 10000002\n")};
  const Blocks camera = {cameraBlock5("30000000", "Camera")};
  for (int pick : {1, 2}) {
    expectRefused(scene5(5, objects, {}, camera), pick,
                  "The copy would damage this scene; nothing was changed", false);
  }
}

TEST(Format5CopyTest, ScenesWhoseItemsShareOrLackIdentifiersAreRefused) {
  const std::string why = "The saved scene's item identifiers are missing or repeated; nothing was changed";
  const Blocks camera = {cameraBlock5("30000000", "Camera")};
  const Blocks key = {lightBlock5("20000000", "Key")};
  expectRefused(
      scene5(5, {objectBlock5("AddNullObject 10000000 A"), objectBlock5("AddNullObject 10000000 B")}, key,
             camera),
      1, why);
  expectRefused(
      scene5(5, {objectBlock5("AddNullObject 10000000 A")}, {lightBlock5("10000001", "Key")}, camera), 1,
      why);
  expectRefused(scene5(5, {objectBlock5("LoadObjectLayer 1 Objects/A.lwo")}, key, camera), 1, why);
  // Fields end at white space: a keyword or a layer ended by a tab or CR has
  // no identifier after it, whatever follows the next space.
  for (const char* line :
       {"LoadObjectLayer 1\t2 10000000 Objects/A.lwo", "LoadObjectLayer \x01\r1 10000000 Objects/A.lwo",
        "AddNullObject\t\x01 10000000 A"}) {
    expectRefused(scene5(5, {objectBlock5(line)}, key, camera), 1, why);
  }
  // Format 9 is not one graftling edits.
  std::string later = scene5(8, {objectBlock5("AddNullObject 10000000 A")}, key, camera);
  later[5] = '9';
  expectRefused(later, 1, "Scene format 9 is not one graftling edits; nothing was changed");
}

}  // namespace
}  // namespace graftling
