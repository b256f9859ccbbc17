#include "fuzz/scene_edit_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    EXPECT_EQ(check.why.substr(0, c.why.size()), c.why) << c.edited;
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

// Root (1) with a child A (2) and a lamp on A; the branch of Root copied.
std::string branchScene(const std::string& objectCopies = "", const std::string& lightCopies = "") {
  return "LWSC\nAddNullObject Root\nShadowOptions 7\n\nAddNullObject A\nParentObject 1\nShadowOptions 7\n\n" +
         objectCopies + "AmbientColor 1\nAmbIntensity 1\n\nAddLight\nParentObject 2\nShadowType 2\nShadowMapSize 512\n\n" +
         lightCopies + "ShowCamera 1\n\n";
}
const std::string kRootCopy = "AddNullObject Root\nShadowOptions 7\n";
const std::string kACopy = "AddNullObject A\nParentObject 3\nShadowOptions 7\n\n";
const std::string kLampCopy = "AddLight\nParentObject 4\nShadowType 2\nShadowMapSize 512\n\n";

TEST(CopiedBranchCheckTest, WholeCopiesHungOnTheCopiesOfTheirParentsPass) {
  EditCheck check = checkCopiedBranch(branchScene(), branchScene(kRootCopy + kACopy, kLampCopy));
  EXPECT_TRUE(check.ok()) << check.why;
  // The lamp copy may be missing: it may have been reported.
  EXPECT_TRUE(checkCopiedBranch(branchScene(), branchScene(kRootCopy + kACopy)).ok());
}

TEST(CopiedBranchCheckTest, DamageIsFound) {
  struct Case {
    std::string original;
    std::string edited;
    std::string why;
  };
  std::string late = branchScene() + "AddNullObject Late\nShadowOptions 7\n\n";
  // Two lines between A's block and the first light: the anchor is A's parent line.
  std::string cramped = "LWSC\nAddNullObject Root\nShadowOptions 7\n\nAddNullObject A\nParentObject 1\n";
  std::string crampedRest = "ShadowOptions 7\nAmbientColor 1\nAmbIntensity 1\nAddLight\nShadowType 1\n\nShowCamera 1\n\n";
  const std::vector<Case> cases = {
      {branchScene(), branchScene(), "no copy of the picked object"},
      {late, branchScene(kRootCopy) + "AddNullObject Late\nShadowOptions 7\n\n", "a saved object after"},
      {cramped + crampedRest, cramped + kRootCopy + crampedRest,
       "copies stand inside"},
      {branchScene(), branchScene(kRootCopy + "AddNullObject A\nParentObject 1\nShadowOptions 7\n\n"),
       "object copy 2 does not name"},
      {branchScene(), branchScene(kRootCopy + kACopy, "AddLight\nParentObject 3\nShadowType 2\nShadowMapSize 512\n\n"),
       "light copy 1 does not name"},
      {branchScene(), branchScene(kRootCopy + kACopy, "AddLight\nParentObject 4\nShadowType 2\n\n"),
       "light copy 1 does not name"},
      {branchScene(), branchScene("AddNullObject Root\nParentObject 1\nShadowOptions 7\n"), "the first copy is not"},
      {branchScene(), branchScene(kRootCopy + "AddNullObject A\nParentObject 3\nAddNullObject A\nShadowOptions 7\n\n"),
       "a copy holds a second item line"},
      {branchScene(), branchScene(kRootCopy + kACopy.substr(0, kACopy.size() - 1)), "a copy is not followed"},
  };
  for (const Case& c : cases) {
    EditCheck check = checkCopiedBranch(c.original, c.edited);
    EXPECT_EQ(check.why.substr(0, c.why.size()), c.why) << c.edited;
  }
}

}  // namespace
}  // namespace graftling::fuzzing
