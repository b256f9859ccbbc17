// Whole scenes of format 3, as later Layouts write them: a character rig with
// bones, IK goals and a hat on the head bone, lights aimed into the branch,
// plug-in bodies that hold lines that look like items, and scenes that must
// be refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/copy_test_support.h"
#include "tests/scene_text.h"

namespace graftling {
namespace {

using namespace testing;
using standin::ShownMessage;

// The rig: objects 0 Master, 1 Hero (bones 0 Root, 1 Spine, 2 Head, 3 Shin
// solved towards HandGoal), 2 Hat on the head bone, 3 Sword on HandGoal (a
// parent further down the file), 4 HandGoal, 5 Floor, 6 Lens on the first
// camera. Light 1 hangs on Hero and aims at the head bone; Hero ignores it.

// Hero's block: its parent, the identifier of its own object (which its root
// bone names), the object index its bones' identifiers end in, its goal and
// the light it ignores.
std::string hero(const std::string& parent, const std::string& object, const std::string& bones,
                 const std::string& goal, const std::string& ignored) {
  std::string rig =
      boneBlock3("Root", object) + boneBlock3("Spine", "4000" + bones) + boneBlock3("Head", "4001" + bones) +
      boneBlock3("Shin", "4000" + bones, "GoalObject " + goal + "\nFullTimeIK 1\nGoalStrength 25\n");
  return objectBlock3("LoadObjectLayer 1 Objects/Hero.lwo",
                      "ParentItem " + parent + "\nSubdivisionOrder 2\nBoneFalloffType 6\nFasterBones 1\n",
                      rig, "ExcludeLight " + ignored + "\nExcludeLight 21000000\n");
}

std::string hat(const std::string& parent) {
  return objectBlock3("LoadObjectLayer 1 Objects/Hat.lwo", "ParentItem " + parent + "\n", "",
                      "Plugin CustomObjHandler 1 Follower\n\"268435457  1\"\nParentItem 10000000\n"
                      "AddBone\nEndPlugin\n");
}

std::string sword(const std::string& parent) {
  return objectBlock3(
      "LoadObjectLayer 2 Objects/Sword.lwo",
      "ObjectDissolve (envelope)\n{ Envelope\n  1\n  Key 0 0 0 0 0 0 0 0 0\n  Behaviors 1 1\n}\n"
      "ParentItem " +
          parent + "\n");
}

std::string handGoal(const std::string& parent) {
  return objectBlock3("AddNullObject HandGoal", "ParentItem " + parent + "\n");
}

const std::string kFloor =
    objectBlock3("LoadObjectLayer 1 Objects/Floor.lwo", "MorphTarget 2\n", "", "ExcludeLight 20000001\n");
const std::string kLens = objectBlock3("AddNullObject Lens (2)", "ParentItem 30000000\n");
const std::string kKey = lightBlock3("Key");

std::string rim(const std::string& parent, const std::string& target) {
  return lightBlock3(
      "HeroRim", "ParentItem " + parent + "\nTargetItem " + target + "\n",
      "{ Settings\n  ParentItem 10000000\n  AddLight\n}\nLoadObjectLayer 1 Objects/Fake.lwo\n");
}

const Blocks kCameras = {cameraBlock3("Camera"), cameraBlock3("CloseUp", "ParentItem 10000002\n")};

Blocks rigObjects() {
  return {objectBlock3("AddNullObject Master"),
          hero("10000000", "10000001", "0001", "5", "20000001"),
          hat("40020001"),
          sword("10000004"),
          handGoal("10000000"),
          kFloor,
          kLens};
}

Blocks rigLights() { return {kKey, rim("10000001", "40020001")}; }

TEST(Format3CopyTest, TheRigPickedAtItsMasterNull) {
  // Master, then depth first: Hero, the hat on its head bone, the light on
  // Hero, then HandGoal and the sword that hangs on it.
  const Blocks copies = {objectBlock3("AddNullObject Master"),
                         hero("10000007", "10000008", "0008", "11", "20000002"), hat("40020008"),
                         handGoal("10000007"), sword("1000000a")};
  expectCopy(scene3(rigObjects(), rigLights(), kCameras), 1,
             scene3(plus(rigObjects(), copies), plus(rigLights(), {rim("10000008", "40020008")}), kCameras));
}

TEST(Format3CopyTest, TheRigPickedAtTheMeshAndAtAGoal) {
  // The mesh keeps its own parent line; its goal lies outside the branch.
  const Blocks mesh = {hero("10000000", "10000007", "0007", "5", "20000002"), hat("40020007")};
  expectCopy(scene3(rigObjects(), rigLights(), kCameras), 2,
             scene3(plus(rigObjects(), mesh), plus(rigLights(), {rim("10000007", "40020007")}), kCameras));
  expectCopy(scene3(rigObjects(), rigLights(), kCameras), 5,
             scene3(plus(rigObjects(), {handGoal("10000000"), sword("10000007")}), rigLights(), kCameras));
  // Lens hangs on a camera: nothing hangs below it, and the camera stays.
  expectCopy(scene3(rigObjects(), rigLights(), kCameras), 7,
             scene3(plus(rigObjects(), {kLens}), rigLights(), kCameras));
}

TEST(Format3CopyTest, ScenesWithoutAGroupOrWithBlankLinesInBlocks) {
  // Later writers may leave out "AmbientColor": the group is the last run of
  // lines before the first light.
  const std::string group = "GlobalMipmapMultiplier 1\nEnableRadiosity 0\nRadiosityType 1\n";
  const Blocks objects = {objectBlock3("AddNullObject Rig"),
                          objectBlock3("LoadObjectLayer 1 Objects/Arm.lwo", "ParentItem 10000000\n\n", "",
                                       "Plugin ObjReplacementHandler 1 Swap\n\nAddLight\n\nEndPlugin\n")};
  const Blocks copies = {objectBlock3("AddNullObject Rig"),
                         objectBlock3("LoadObjectLayer 1 Objects/Arm.lwo", "ParentItem 10000002\n\n", "",
                                      "Plugin ObjReplacementHandler 1 Swap\n\nAddLight\n\nEndPlugin\n")};
  const Blocks camera = {cameraBlock3("Camera")};
  expectCopy(scene3(objects, {kKey}, camera, group), 1, scene3(plus(objects, copies), {kKey}, camera, group));
  // A scene without lights: object copies end before the group all the same.
  expectCopy(scene3(objects, {}, camera), 1, scene3(plus(objects, copies), {}, camera));
}

TEST(Format3CopyTest, ScenesTheCopyCannotEditSoundlyAreRefused) {
  const std::string damage = "The copy would damage this scene; nothing was changed";
  const std::string rig = scene3(rigObjects(), rigLights(), kCameras);
  std::string noCamera = rig.substr(0, rig.find("AddCamera"));
  expectRefused(noCamera, 1, "No camera found in the saved scene");
  // An object after the first light, and a brace block that never closes.
  std::string late = scene3({objectBlock3("AddNullObject A")}, {kKey}, kCameras);
  late.insert(late.find("AddCamera"), objectBlock3("AddNullObject B") + "\n");
  expectRefused(late, 1, damage);
  std::string open = rig;
  open.insert(open.find("ShadowOptions 7"), "{ Unclosed\n");
  expectRefused(open, 1, damage);
  std::string stray = rig;
  stray.insert(stray.find("AmbientColor"), "}\n");
  expectRefused(stray, 1, damage);
  // A saved line that names no item would come to name the copy.
  const Blocks two = {objectBlock3("AddNullObject A"), objectBlock3("AddNullObject B")};
  expectRefused(scene3(two, {kKey}, {cameraBlock3("Camera", "ParentItem 10000002\n")}), 1, damage, false);
  // A bone outside every object's block.
  std::string lostBone = rig;
  lostBone.insert(lostBone.find("AddCamera"), boneBlock3("Lost", "10000000") + "\n");
  expectRefused(lostBone, 1, damage);
}

TEST(Format3CopyTest, ACopyWhoseIdentifierWouldNotFitIsRefused) {
  // 65,536 objects: a copy of a rigged object would be the 65,537th, which
  // no bone identifier can name. A null without bones still copies.
  Blocks objects(65536, "AddNullObject N\n");
  objects[0] = objectBlock3("LoadObjectLayer 1 Objects/Hero.lwo", "", boneBlock3("Root", "10000000"));
  const std::string scene = scene3(objects, {kKey}, kCameras);
  expectRefused(scene, 1, "Bones name only 65,536 objects, too few for this copy; nothing was changed");
  CopyResult plain = copyBranch(scene, 2);
  EXPECT_EQ(plain.result, 1);
  EXPECT_EQ(plain.messages, std::vector<ShownMessage>{});
}

}  // namespace
}  // namespace graftling
