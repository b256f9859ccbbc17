#include "copy/hierarchy_copy.h"

#include <gtest/gtest.h>

#include <string>

#include "host/platform.h"
#include "tests/alloc_failure.h"
#include "tests/copy_test_support.h"
#include "tests/scene_text.h"

namespace graftling {
namespace {

using namespace testing;
using standin::ShownMessage;

const std::string kLights = lightBlock("Sun") + "\n";

std::string scene(const std::string& objects, const std::string& lights = kLights) {
  return sceneHead() + objects + ambientLines() + lights + sceneTail();
}

std::string block(const std::string& objectLine, int parent = 0) {
  return objectBlock(objectLine, parent) + "\n";
}

TEST(CloneIndexTest, NumberInTheLastGroupAtTheEnd) {
  EXPECT_EQ(cloneIndexFromName("Arm.lwo (2)"), 2);
  EXPECT_EQ(cloneIndexFromName("Wheel(front).lwo (2)"), 2);
  EXPECT_EQ(cloneIndexFromName("Arm (3) (12)"), 12);
  EXPECT_EQ(cloneIndexFromName("Lamp (left)"), 1);
  EXPECT_EQ(cloneIndexFromName("Arm.lwo"), 1);
  EXPECT_EQ(cloneIndexFromName("Arm (2) x"), 1);
  EXPECT_EQ(cloneIndexFromName(""), 1);
  EXPECT_EQ(cloneIndexFromName("x)"), 1);
  EXPECT_EQ(cloneIndexFromName("x ()"), 1);
  EXPECT_EQ(cloneIndexFromName("x (0)"), 1);
  EXPECT_EQ(cloneIndexFromName("x (-2)"), 1);
  EXPECT_EQ(cloneIndexFromName("x (2147483647)"), 2147483647);
  EXPECT_EQ(cloneIndexFromName("x (2147483648)"), 1);
  EXPECT_EQ(cloneIndexFromName("x (00000000003)"), 1);
}

TEST(CloneIndexTest, TheLoadNumberIsWhatTheNameAddsToTheObjectsOwnName) {
  // Nulls and files whose own names end in parentheses.
  EXPECT_EQ(cloneIndexFromName("mesh_resto.lwo (2)", "mesh_resto.lwo (2)"), 1);
  EXPECT_EQ(cloneIndexFromName("mesh_resto.lwo (2) (3)", "mesh_resto.lwo (2)"), 3);
  EXPECT_EQ(cloneIndexFromName("Gear(2)", "Gear(2)"), 1);
  EXPECT_EQ(cloneIndexFromName("Gear(2) (2)", "Gear(2)"), 2);
  EXPECT_EQ(cloneIndexFromName("Hinge (2).lwo", "Objects/Hinge (2).lwo"), 1);
  EXPECT_EQ(cloneIndexFromName("Arm.lwo (4)", "C:\\Objects\\Arm.lwo"), 4);
  // A name of another shape reads as the last group of digits at its end.
  EXPECT_EQ(cloneIndexFromName("Hinge (5)", "Objects/Other.lwo"), 5);
  EXPECT_EQ(cloneIndexFromName("Arm.lwo (x)", "Arm.lwo"), 1);
}

TEST(HierarchyCopyTest, ANullWhoseNameEndsInParenthesesIsFoundByItsLoad) {
  // "Hinge (2)" loaded twice: the host names them "Hinge (2)" and
  // "Hinge (2) (2)". Picking either copies that one, not the other.
  std::string objects = block("AddNullObject Hinge (2)") + block("LoadObject Objects/Door.lwo", 1) +
                        block("AddNullObject Hinge (2)") + block("LoadObject Objects/Lid.lwo", 3);
  CopyResult first = copyBranch(scene(objects), 1);
  EXPECT_EQ(first.messages, std::vector<ShownMessage>{});
  EXPECT_EQ(first.text, scene(objects + objectBlock("AddNullObject Hinge (2)") +
                              block("LoadObject Objects/Door.lwo", 5)));
  CopyResult second = copyBranch(scene(objects), 3);
  EXPECT_EQ(second.messages, std::vector<ShownMessage>{});
  EXPECT_EQ(second.text,
            scene(objects + objectBlock("AddNullObject Hinge (2)") + block("LoadObject Objects/Lid.lwo", 5)));
}

TEST(HierarchyCopyTest, WorkedExample) {
  std::string objects = block("LoadObject Objects/R.lwo") + block("LoadObject Objects/A.lwo", 1) +
                        block("LoadObject Objects/B.lwo", 1);
  CopyResult run = copyBranch(scene(objects), 1);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.text, scene(objects + objectBlock("LoadObject Objects/R.lwo") +
                            block("LoadObject Objects/A.lwo", 4) + block("LoadObject Objects/B.lwo", 4)));
  EXPECT_TRUE(run.messages.empty());
}

TEST(HierarchyCopyTest, BranchesWithLightsCopyDepthFirstInListOrder) {
  // Root 2 (under 1) has child 3 (with child 4) and child 5; lights hang on 2 and 4.
  std::string objects = block("AddNullObject World") + block("AddNullObject Root", 1) +
                        block("LoadObject Objects/A.lwo", 2) + block("LoadObject Objects/G.lwo", 3) +
                        block("LoadObject Objects/B.lwo", 2);
  std::string lights = kLights + lightBlock("OnRoot", 2) + "\n" + lightBlock("OnG", 4) + "\n";
  CopyResult run = copyBranch(scene(objects, lights), 2);
  EXPECT_EQ(run.result, 1);
  std::string copies = objectBlock("AddNullObject Root", 1) + block("LoadObject Objects/A.lwo", 6) +
                       block("LoadObject Objects/G.lwo", 7) + block("LoadObject Objects/B.lwo", 6);
  EXPECT_EQ(run.text,
            scene(objects + copies, lights + lightBlock("OnG", 8) + "\n" + lightBlock("OnRoot", 6) + "\n"));
}

TEST(HierarchyCopyTest, ShadowMappedLightsTakeTheirSettingsAlong) {
  // Key hangs on the root, HandSpot on the root's child A.
  std::string objects = block("AddNullObject Root") + block("LoadObject Objects/A.lwo", 1);
  std::string lights =
      shadowMappedLightBlock("Key", 1) + "\n" + kLights + shadowMappedLightBlock("HandSpot", 2) + "\n";
  std::string copies = objectBlock("AddNullObject Root") + block("LoadObject Objects/A.lwo", 3);
  std::string lightCopies =
      shadowMappedLightBlock("HandSpot", 4) + "\n" + shadowMappedLightBlock("Key", 3) + "\n";
  CopyResult run = copyBranch(scene(objects, lights), 1);
  EXPECT_EQ(run.result, 1);
  EXPECT_TRUE(run.messages.empty());
  EXPECT_EQ(run.text, scene(objects + copies, lights + lightCopies));

  CopyResult crLf = copyBranch(withCrLf(scene(objects, lights)), 1);
  EXPECT_EQ(crLf.result, 1);
  EXPECT_EQ(crLf.text, withCrLf(scene(objects + copies, lights + lightCopies)));
}

TEST(HierarchyCopyTest, SettingsThatRunIntoTheCameraEndTheLastLight) {
  std::string objects = block("AddNullObject Root");
  std::string lights = kLights + shadowMappedLightBlock("Key", 1);
  CopyResult run = copyBranch(scene(objects, lights), 1);
  EXPECT_EQ(run.result, 1);
  EXPECT_TRUE(run.messages.empty());
  EXPECT_EQ(run.text, scene(objects + objectBlock("AddNullObject Root"),
                            lights + shadowMappedLightBlock("Key", 2) + "\n"));
}

TEST(HierarchyCopyTest, PicksTheSecondLoadOfAFile) {
  std::string objects = block("LoadObject Objects/Arm.lwo") + block("LoadObject Objects/Arm.lwo") +
                        block("LoadObject Objects/Hand.lwo", 2) +
                        block("LoadObject Objects/HandTarget.lwo", 1);
  CopyResult run = copyBranch(scene(objects), 2);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.text, scene(objects + objectBlock("LoadObject Objects/Arm.lwo") +
                            block("LoadObject Objects/Hand.lwo", 5)));
}

TEST(HierarchyCopyTest, AChildlessPickCopiesOnlyItself) {
  std::string objects = block("AddNullObject Lonely");
  CopyResult run = copyBranch(scene(objects), 1);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.text, scene(objects + objectBlock("AddNullObject Lonely")));
}

TEST(HierarchyCopyTest, CrLfScenesGetCrLfLines) {
  std::string objects = block("AddNullObject Root") + block("LoadObject Objects/A.lwo", 1);
  CopyResult run = copyBranch(withCrLf(scene(objects)), 1);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.text, withCrLf(scene(objects + objectBlock("AddNullObject Root") +
                                     block("LoadObject Objects/A.lwo", 3))));
}

TEST(HierarchyCopyTest, CyclesAndSelfParentsCopyEachItemOnce) {
  std::string cycle = block("LoadObject Objects/A.lwo", 2) + block("LoadObject Objects/B.lwo", 1);
  CopyResult run = copyBranch(scene(cycle), 1);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.text,
            scene(cycle + objectBlock("LoadObject Objects/A.lwo", 2) + block("LoadObject Objects/B.lwo", 3)));

  std::string self = block("LoadObject Objects/A.lwo", 1);
  CopyResult selfRun = copyBranch(scene(self), 1);
  EXPECT_EQ(selfRun.result, 1);
  EXPECT_EQ(selfRun.text, scene(self + objectBlock("LoadObject Objects/A.lwo", 1)));
}

TEST(HierarchyCopyTest, ChildrenOfALightAreNotSearched) {
  // A block whose parent value reads as 0 would be a child of every light.
  std::string objects = block("AddNullObject Root") +
                        "LoadObject Objects/Zero.lwo\nParentObject 0\nShadowOptions 7\n\n" +
                        "LoadObject Objects/Odd.lwo\nParentObject x\nShadowOptions 7\n\n";
  std::string lights = lightBlock("Lamp", 1) + "\n";
  CopyResult run = copyBranch(scene(objects, lights), 1);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.text,
            scene(objects + objectBlock("AddNullObject Root"), lights + lightBlock("Lamp", 4) + "\n"));
}

TEST(HierarchyCopyTest, FailuresAreReportedWithTheirMessages) {
  std::string objects = block("AddNullObject Root") + block("LoadObject Objects/A.lwo", 1);
  CopyResult noCamera = copyBranch(sceneHead() + objects + ambientLines() + kLights + "\n", 1);
  EXPECT_EQ(noCamera.result, 0);
  EXPECT_EQ(noCamera.messages,
            (std::vector<ShownMessage>{{"Graftling:", "No camera found in the saved scene"}}));

  CopyResult noLights = copyBranch(sceneHead() + objects + sceneTail(), 1);
  EXPECT_EQ(noLights.result, 0);
  EXPECT_EQ(noLights.messages,
            (std::vector<ShownMessage>{{"Graftling:", "Unable to copy the picked object"}}));

  // The host lists an object line that the plug-in never classifies: the last one.
  CopyResult notFound = copyBranch("LWSC\n1\nLoadObject Objects/A.lwo", 1);
  EXPECT_EQ(notFound.result, 0);
  EXPECT_EQ(notFound.messages,
            (std::vector<ShownMessage>{{"Graftling:", "Picked object not found in the saved scene"}}));
}

TEST(HierarchyCopyTest, LightsOfOlderWritersEndAtTheirBlankLine) {
  // Older writers end a light with "ShadowCasting 1" and a blank line, and
  // write no "ShadowType" line at all.
  const std::string olderLight = "AddLight\nParentObject 2\nShadowCasting 1\n\n";
  std::string objects = block("AddNullObject Root") + block("AddNullObject Child", 1);
  CopyResult direct = copyBranch(scene(objects, kLights + olderLight), 2);
  EXPECT_EQ(direct.result, 1);
  EXPECT_EQ(direct.messages, std::vector<ShownMessage>{});
  EXPECT_EQ(direct.text, scene(objects + objectBlock("AddNullObject Child", 1),
                               kLights + olderLight + "AddLight\nParentObject 3\nShadowCasting 1\n\n"));

  std::string deep = objects + block("AddNullObject Other", 2);
  CopyResult whole = copyBranch(scene(deep, kLights + olderLight), 1);
  EXPECT_EQ(whole.result, 1);
  EXPECT_EQ(whole.text, scene(deep + objectBlock("AddNullObject Root") + block("AddNullObject Child", 4) +
                                  block("AddNullObject Other", 5),
                              kLights + olderLight + "AddLight\nParentObject 5\nShadowCasting 1\n\n"));
}

TEST(HierarchyCopyTest, StorageFailureAnywhereLeavesWholeBlocksOnly) {
  std::string objects = block("AddNullObject Root") + block("LoadObject Objects/A.lwo", 1) +
                        block("LoadObject Objects/G.lwo", 2);
  std::string lights = kLights + lightBlock("Lamp", 1) + "\n";
  std::string original = scene(objects, lights);
  std::string rootCopy = objectBlock("AddNullObject Root") + block("LoadObject Objects/A.lwo", 4);
  std::string complete =
      scene(objects + rootCopy + block("LoadObject Objects/G.lwo", 5), lights + lightBlock("Lamp", 4) + "\n");
  std::string withoutGrandchild = scene(objects + rootCopy, lights + lightBlock("Lamp", 4) + "\n");

  CopyResult clean = copyBranch(original, 1);
  ASSERT_EQ(clean.text, complete);
  ASSERT_GT(clean.allocations, 5);
  for (long n = 1; n <= clean.allocations; ++n) {
    CopyResult run = copyBranch(original, 1, n);
    if (run.result == 1) {
      // Only the grandchild may be missing, and then it was reported.
      EXPECT_TRUE(run.text == complete || run.text == withoutGrandchild) << "allocation " << n;
      EXPECT_EQ(run.text == complete, run.messages.empty()) << "allocation " << n;
    } else {
      EXPECT_EQ(run.messages.size(), 1u) << "allocation " << n;
    }
  }
}

TEST(HierarchyCopyTest, ADeepChainNeedsNoDeepStack) {
  // Every walk keeps its own stack, so depth costs no native stack. The
  // sanitized build walks a shorter chain, as with the hostile scenes.
  const int depth = GRAFTLING_CHAIN_DEPTH;
  std::string objects = block("AddNullObject Link");
  std::string copies = objectBlock("AddNullObject Link");
  for (int i = 2; i <= depth; ++i) {
    objects += "AddNullObject Link\nParentObject " + std::to_string(i - 1) + "\nShadowOptions 7\n\n";
    copies += "AddNullObject Link\nParentObject " + std::to_string(depth + i - 1) + "\nShadowOptions 7\n\n";
  }
  CopyResult run;
  std::string text = scene(objects, kLights);
  ASSERT_TRUE(platform::runWithStack(1 << 20, [&] { run = copyBranch(text, 1); }));
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.text, scene(objects + copies, kLights));
}

}  // namespace
}  // namespace graftling
