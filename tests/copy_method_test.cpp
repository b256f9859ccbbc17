// The one-pass copy against the step-by-step copy it stands in for: the same
// result, messages and text on every scene and pick, and the one-pass copy
// taken on every scene in the layout Layout writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/scene_generator.h"
#include "standin/stand_in_host.h"
#include "tests/copy_test_support.h"
#include "tests/scene_text.h"

namespace graftling {
namespace {

using namespace testing;

// Every pick of scene, and one past the last object: both methods agree.
// Returns how many picks of an object took the one-pass copy.
int expectSameOutcomes(const std::string& name, const std::string& scene) {
  int objects = static_cast<int>(standin::StandInHost(scene, "Scenes/x.lws").objects().size());
  int onePass = 0;
  for (int pick = 1; pick <= objects + 1; ++pick) {
    CopyResult reference = copyBranch(scene, pick, 0, CopyMethod::StepByStep);
    CopyResult fastest = copyBranch(scene, pick, 0, CopyMethod::Fastest);
    EXPECT_EQ(fastest.result, reference.result) << name << ", pick " << pick;
    EXPECT_EQ(fastest.messages, reference.messages) << name << ", pick " << pick;
    EXPECT_EQ(fastest.text, reference.text) << name << ", pick " << pick;
    if (pick <= objects) onePass += fastest.used == CopyMethod::Fastest ? 1 : 0;
  }
  return onePass;
}

std::vector<std::filesystem::path> scenesIn(const char* folder) {
  std::vector<std::filesystem::path> paths;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(GRAFTLING_SOURCE_DIR) + "/" + folder))
    paths.push_back(entry.path());
  return paths;
}

TEST(CopyMethodTest, ExamplesTakeTheOnePassCopyWithTheSameOutcome) {
  for (const std::filesystem::path& path : scenesIn("examples")) {
    std::string scene;
    ASSERT_TRUE(standin::readFileBytes(path.string(), scene));
    int objects = static_cast<int>(standin::StandInHost(scene, "Scenes/x.lws").objects().size());
    EXPECT_EQ(expectSameOutcomes(path.filename().string(), scene), objects) << path;
  }
}

TEST(CopyMethodTest, OddScenesHaveTheSameOutcomeEitherWay) {
  for (const std::filesystem::path& path : scenesIn("fuzz/corpus")) {
    std::string scene;
    ASSERT_TRUE(standin::readFileBytes(path.string(), scene));
    expectSameOutcomes(path.filename().string(), scene);
  }
}

TEST(CopyMethodTest, GeneratedScenesTakeTheOnePassCopyWithTheSameOutcome) {
  for (int branch : {4, 12, 100}) {
    std::optional<bench::SceneShape> shape = bench::shapeForLines(3000, branch, 3, 7);
    ASSERT_TRUE(shape);
    bench::GeneratedScene generated = bench::generateScene(*shape);
    CopyResult reference = copyBranch(generated.text, generated.pickedObject, 0, CopyMethod::StepByStep);
    CopyResult fastest = copyBranch(generated.text, generated.pickedObject);
    EXPECT_EQ(fastest.used, CopyMethod::Fastest);
    EXPECT_EQ(fastest.result, 1);
    EXPECT_EQ(fastest.text, reference.text);
    EXPECT_EQ(fastest.messages, reference.messages);
  }
}

TEST(CopyMethodTest, ScenesOutsideTheLayoutGoStepByStep) {
  const std::string root = objectBlock("AddNullObject Root") + "\n";
  const std::string child = objectBlock("LoadObject Objects/A.lwo", 1) + "\n";
  const std::string sun = lightBlock("Sun") + "\n";
  std::string ambient = ambientLines();
  ambient.pop_back();
  const std::vector<std::string> odd = {
      sceneHead() + root + ambientLines() + sun + child + sceneTail(),
      sceneHead() + root + ambientLines() + sceneTail() + sun,
  };
  for (const std::string& scene : odd) {
    EXPECT_EQ(copyBranch(scene, 1).used, CopyMethod::StepByStep) << scene;
    expectSameOutcomes("a scene outside the layout", scene);
  }
  // Blocks without their end lines, and ambient lines without blank lines,
  // still let every copy go where the one pass puts it.
  const std::vector<std::string> olderWriters = {
      sceneHead() + root + objectBlock("LoadObject Objects/A.lwo", 1) + ambient + sun + sceneTail(),
      sceneHead() + root + "LoadObject Objects/A.lwo\nParentObject 1\n\n" + ambientLines() + sun +
          sceneTail(),
      sceneHead() + root + "LoadObject Objects/A.lwo\nParentObject\nShadowOptions 7\n\n" + ambientLines() +
          sun + sceneTail(),
      sceneHead() + root + ambientLines() + "AddLight\nParentObject 1\n\n" + sun + sceneTail(),
  };
  for (const std::string& scene : olderWriters) {
    EXPECT_EQ(copyBranch(scene, 1).used, CopyMethod::Fastest) << scene;
    expectSameOutcomes("an older writer's scene", scene);
  }
}

}  // namespace
}  // namespace graftling
