#include "bench/scene_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "copy/hierarchy_copy.h"
#include "host/service_slots.h"
#include "scene/line_kind.h"
#include "scene/scene_lines.h"
#include "scene/scene_queries.h"
#include "standin/stand_in_host.h"

namespace graftling::bench {
namespace {

// The scene's items as the plug-in's queries see them.
struct Item {
  bool isLight;
  int parent;  // 0 when the block has no "ParentObject" line
};

struct Census {
  std::vector<Item> objects;  // index = object number - 1
  std::vector<Item> lights;
};

// As saved, every block is followed by a blank line; a run's root copy is not.
Census census(const SceneLines& list, bool asSaved = true) {
  Census found;
  for (SceneLine* line = list.head; line != nullptr; line = line->next) {
    if (line->kind != KindObject && line->kind != KindLight) continue;
    bool isLight = line->kind == KindLight;
    SceneLine* end = isLight ? lightBlockEnd(line) : objectBlockEnd(line);
    EXPECT_NE(end, nullptr) << line->text;
    if (asSaved) {
      EXPECT_TRUE(end != nullptr && end->next != nullptr && end->next->text == "\n") << line->text;
    }
    SceneLine* parentLine = findParentLine(line, end);
    Item item{isLight, parentLine != nullptr ? decimalValue(*lineValue(parentLine)) : 0};
    (isLight ? found.lights : found.objects).push_back(item);
  }
  return found;
}

struct Branch {
  int objects = 0;
  int lights = 0;
  int depth = 0;
  std::set<int> members;  // object numbers
};

// The items at or below object number root, its depth in object levels and its objects.
Branch branchBelow(const Census& scene, int root) {
  std::map<int, int> levelOf{{root, 0}};
  Branch branch{1, 0, 0, {}};
  // Parents precede children among the generated objects, so one pass suffices
  // for them; the check below catches any object the pass would miss.
  for (std::size_t i = 0; i < scene.objects.size(); ++i) {
    auto parent = levelOf.find(scene.objects[i].parent);
    if (parent == levelOf.end() || static_cast<int>(i) + 1 == root) continue;
    levelOf[static_cast<int>(i) + 1] = parent->second + 1;
    ++branch.objects;
    branch.depth = std::max(branch.depth, parent->second + 1);
  }
  for (const Item& light : scene.lights) branch.lights += levelOf.count(light.parent);
  for (const auto& [number, level] : levelOf) branch.members.insert(number);
  for (std::size_t i = 0; i < scene.objects.size(); ++i) {
    bool underBranch = levelOf.count(scene.objects[i].parent) != 0;
    EXPECT_EQ(underBranch, levelOf.count(static_cast<int>(i) + 1) != 0 && static_cast<int>(i) + 1 != root)
        << "object " << i + 1 << " is listed before its parent";
  }
  return branch;
}

const SceneShape kShapes[] = {
    {40, 5, 10, 1, 4, 1},      // small scene, branch spread through it
    {12, 3, 12, 2, 9, 7},      // every object in the branch, a deep chain
    {300, 30, 100, 10, 4, 3},  // the benchmark's shape
    {5, 1, 1, 0, 0, 2},        // a branch of the picked object alone
    {4, 2, 5, 1, 3, 5},        // every object in the branch
    {20, 8, 5, 1, 2, 2},       // a light hangs on the last object
};

TEST(SceneGeneratorTest, ScenesLoadInTheExpectedLayout) {
  for (const SceneShape& shape : kShapes) {
    ASSERT_EQ(shapeProblem(shape), "");
    GeneratedScene scene = generateScene(shape);
    SceneLinesPtr list = parseSceneLines(scene.text);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(scene.lines, static_cast<int>(std::count(scene.text.begin(), scene.text.end(), '\n')));
    EXPECT_EQ(list->head->text, "LWSC\n");
    EXPECT_EQ(list->nextObjectNumber, shape.objects + 1);
    ASSERT_NE(objectSectionEnd(*list), nullptr);
    EXPECT_EQ(objectSectionEnd(*list)->next->text, "AmbientColor 255 255 255\n");
    ASSERT_NE(lightSectionEnd(*list), nullptr);
    EXPECT_EQ(lightSectionEnd(*list)->next->text, "ShowCamera 1 7\n");
    EXPECT_TRUE(scene.text.size() >= 2 && scene.text.substr(scene.text.size() - 2) == "\n\n");
    EXPECT_NE(scene.text.find("\nShowFieldChart 0\n\n"), std::string::npos);
    Census found = census(*list);
    EXPECT_EQ(static_cast<int>(found.objects.size()), shape.objects);
    EXPECT_EQ(static_cast<int>(found.lights.size()), shape.lights);
  }
}

TEST(SceneGeneratorTest, ThePickedBranchHasTheAskedSizeAndDepth) {
  for (const SceneShape& shape : kShapes) {
    GeneratedScene scene = generateScene(shape);
    SceneLinesPtr list = parseSceneLines(scene.text);
    SceneLine* picked = findObjectLine(*list, scene.pickedFileName, 1);
    ASSERT_NE(picked, nullptr);
    EXPECT_EQ(picked->objectNumber, scene.pickedObject);
    // The file name is unique, so the host names the object without a clone index.
    EXPECT_EQ(findObjectLine(*list, scene.pickedFileName, 2), nullptr);
    Branch branch = branchBelow(census(*list), scene.pickedObject);
    EXPECT_EQ(branch.objects + branch.lights, shape.branchItems);
    EXPECT_EQ(branch.lights, shape.branchLights);
    EXPECT_EQ(branch.depth, shape.branchDepth);
  }
}

TEST(SceneGeneratorTest, ARunCopiesExactlyTheBranch) {
  for (const SceneShape& shape : kShapes) {
    GeneratedScene scene = generateScene(shape);
    standin::StandInHost host(scene.text, "Scenes/generated.lws");
    standin::StandInHost::Services services = host.services();
    gServices = ServiceSlots{services.messages, services.itemInfo, services.objectInfo, services.sceneInfo};
    SceneLinesPtr list = parseSceneLines(scene.text);
    ASSERT_EQ(copyHierarchy(*list, host.objectHandle(scene.pickedObject)), 1);
    EXPECT_TRUE(host.messages().empty());
    Census after = census(*list, false);
    int branchObjects = shape.branchItems - shape.branchLights;
    EXPECT_EQ(static_cast<int>(after.objects.size()), shape.objects + branchObjects);
    EXPECT_EQ(static_cast<int>(after.lights.size()), shape.lights + shape.branchLights);
  }
}

bool isObjectLine(const std::string& line) {
  return line.rfind("LoadObject ", 0) == 0 || line.rfind("AddNullObject ", 0) == 0;
}

// text with the block of object number, from its object line through its
// "ShadowOptions" line, once more just before the ambient lines: what a run
// that copies that object alone writes.
std::string withObjectCopied(const std::string& text, int number) {
  std::string block;
  int objects = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at) + 1;
    std::string line = text.substr(at, end - at);
    at = end;
    objects += isObjectLine(line) ? 1 : 0;
    if (objects != number) continue;
    block += line;
    if (line.rfind("ShadowOptions", 0) == 0) break;
  }
  std::size_t ambient = text.find("\nAmbientColor ") + 1;
  return text.substr(0, ambient) + block + text.substr(ambient);
}

TEST(SceneGeneratorTest, TheChildlessObjectHasNoChildrenAndCopiesAlone) {
  // Every shape but the one whose objects are all in the branch has one.
  const bool hasOne[] = {true, true, true, true, false, true};
  for (std::size_t i = 0; i < std::size(kShapes); ++i) {
    GeneratedScene scene = generateScene(kShapes[i]);
    SceneLinesPtr list = parseSceneLines(scene.text);
    Census before = census(*list);
    std::set<int> parents;
    for (const Item& object : before.objects) parents.insert(object.parent);
    for (const Item& light : before.lights) parents.insert(light.parent);
    std::set<int> branch = branchBelow(before, scene.pickedObject).members;
    int expected = 0;
    for (int number = 1; number <= static_cast<int>(before.objects.size()); ++number) {
      if (parents.count(number) == 0 && branch.count(number) == 0) expected = number;
    }
    EXPECT_EQ(scene.childlessObject, expected) << i;
    EXPECT_EQ(scene.childlessObject != 0, hasOne[i]) << i;
    if (scene.childlessObject == 0) continue;

    standin::StandInHost host(scene.text, "Scenes/generated.lws");
    standin::StandInHost::Services services = host.services();
    gServices = ServiceSlots{services.messages, services.itemInfo, services.objectInfo, services.sceneInfo};
    ASSERT_EQ(copyHierarchy(*list, host.objectHandle(scene.childlessObject)), 1) << i;
    EXPECT_EQ(host.messages(), std::vector<standin::ShownMessage>{}) << i;
    EXPECT_EQ(sceneText(*list), withObjectCopied(scene.text, scene.childlessObject)) << i;
  }
}

TEST(SceneGeneratorTest, TheSameShapeGivesTheSameScene) {
  SceneShape shape = kShapes[2];
  EXPECT_EQ(generateScene(shape).text, generateScene(shape).text);
  SceneShape reseeded = shape;
  reseeded.seed = 99;
  EXPECT_NE(generateScene(reseeded).text, generateScene(shape).text);
}

TEST(SceneGeneratorTest, ShapesForALineCount) {
  for (int lines : {2000, 20000}) {
    for (int branch : {10, 100}) {
      std::optional<SceneShape> shape = shapeForLines(lines, branch, 4);
      ASSERT_TRUE(shape.has_value()) << lines << " " << branch;
      EXPECT_EQ(shape->branchItems, branch);
      EXPECT_EQ(shape->branchLights, branch / 10);
      EXPECT_EQ(shape->branchDepth, 4);
      EXPECT_LT(std::abs(generateScene(*shape).lines - lines), 17) << lines << " " << branch;
    }
  }
  EXPECT_FALSE(shapeForLines(2000, 1000, 4).has_value());
  EXPECT_FALSE(shapeForLines(2000, 3, 4).has_value());
}

TEST(SceneGeneratorTest, ImpossibleShapesAreRefused) {
  EXPECT_NE(shapeProblem({0, 1, 1, 0, 0, 1}), "");  // no objects
  EXPECT_NE(shapeProblem({5, 0, 1, 0, 0, 1}), "");  // no lights
  EXPECT_NE(shapeProblem({5, 1, 7, 0, 2, 1}), "");  // branch larger than the scene
  EXPECT_NE(shapeProblem({5, 1, 3, 2, 0, 1}), "");  // more branch lights than lights
  EXPECT_NE(shapeProblem({5, 1, 2, 2, 0, 1}), "");  // no picked object
  EXPECT_NE(shapeProblem({5, 1, 3, 0, 3, 1}), "");  // too shallow for its depth
  EXPECT_EQ(shapeProblem({5, 1, 3, 0, 2, 1}), "");
}

}  // namespace
}  // namespace graftling::bench
