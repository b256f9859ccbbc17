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

}  // namespace
}  // namespace graftling::fuzzing
