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
#include "tests/copy_test_support.h"

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
  EXPECT_NE(shapeProblem({5, 1, 3, 0, 2, 1, false, 3}), "");        // no such format
  EXPECT_NE(shapeProblem({5, 1, 3, 0, 2, 1, false, 2, true}), "");  // older lights in format 2
  EXPECT_EQ(shapeProblem({5, 1, 3, 0, 2, 1, true, 2, false, true}), "");
}

// The scenes of the layout options, read from the text alone: an item's block
// runs from its item line to the next item or section line, blank lines left out.
struct Block {
  bool isLight = false;
  std::size_t first = 0, last = 0;  // line indices
  int parent = 0;
  std::vector<std::pair<std::string, int>> references;  // keyword and value
};

struct Reading {
  std::vector<std::string> lines;  // without their line ends
  std::vector<Block> objects;      // index = object number - 1
  std::vector<Block> lights;
};

bool begins(const std::string& line, const char* prefix) { return line.rfind(prefix, 0) == 0; }

std::string keywordOf(const std::string& line) { return line.substr(0, line.find(' ')); }

Reading readScene(const std::string& text) {
  Reading scene;
  for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    scene.lines.push_back(text.substr(at, text.find('\n', at) - at));
  }
  static const std::set<std::string> items = {"LoadObject", "AddNullObject", "AddLight"};
  static const std::set<std::string> sections = {"AmbientColor",  "AmbIntensity", "AddCamera", "ShowCamera",
                                                 "SolidBackdrop", "RenderMode",   "ViewMode"};
  const std::vector<std::string>& lines = scene.lines;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (items.count(keywordOf(lines[i])) == 0) continue;
    Block block{keywordOf(lines[i]) == "AddLight", i, i, 0, {}};
    for (std::size_t j = i + 1; j < lines.size(); ++j) {
      std::string keyword = keywordOf(lines[j]);
      if (items.count(keyword) != 0 || sections.count(keyword) != 0) break;
      if (lines[j].empty()) continue;
      block.last = j;
      int number = std::atoi(lines[j].c_str() + keyword.size());
      if (keyword == "ParentObject" && block.parent == 0) block.parent = number;
      if (keyword == "TargetObject" || keyword == "GoalObject" || keyword == "MorphTarget")
        block.references.emplace_back(keyword, number);
    }
    (block.isLight ? scene.lights : scene.objects).push_back(block);
  }
  return scene;
}

std::vector<int> parentsOf(const std::vector<Block>& blocks) {
  std::vector<int> parents;
  for (const Block& block : blocks) parents.push_back(block.parent);
  return parents;
}

// Object numbers at or below root.
std::set<int> branchOf(const Reading& scene, int root) {
  std::set<int> members{root};
  for (std::size_t grown = 0; grown != members.size();) {
    grown = members.size();
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
      if (members.count(scene.objects[i].parent) != 0) members.insert(static_cast<int>(i) + 1);
    }
  }
  return members;
}

std::vector<std::string> linesFrom(const Reading& scene, std::size_t first, std::size_t end) {
  return std::vector<std::string>(scene.lines.begin() + static_cast<long>(first),
                                  scene.lines.begin() + static_cast<long>(end));
}

// Every layout the options give for a few of the shapes above.
std::vector<SceneShape> optionShapes() {
  std::vector<SceneShape> shapes;
  for (SceneShape shape : {kShapes[0], kShapes[1], kShapes[2], kShapes[3], SceneShape{6, 30, 4, 1, 2, 4}}) {
    for (int options = 1; options < 16; ++options) {
      shape.envelopes = (options & 1) != 0;
      shape.format = (options & 2) != 0 ? 2 : 1;
      shape.olderLights = (options & 4) != 0;
      shape.references = (options & 8) != 0;
      if (shapeProblem(shape).empty()) shapes.push_back(shape);
    }
  }
  return shapes;
}

std::string describe(const SceneShape& shape) {
  return std::to_string(shape.objects) + " objects, seed " + std::to_string(shape.seed) +
         (shape.envelopes ? ", envelopes" : "") + ", format " + std::to_string(shape.format) +
         (shape.olderLights ? ", older lights" : "") + (shape.references ? ", references" : "");
}

TEST(SceneGeneratorTest, LayoutOptionsKeepTheTreeAndThePicks) {
  std::vector<SceneShape> shapes = optionShapes();
  EXPECT_EQ(shapes.size(), 5u * 11u);  // format 2 takes no older lights
  for (const SceneShape& shape : shapes) {
    SceneShape plainShape{shape.objects,      shape.lights,      shape.branchItems,
                          shape.branchLights, shape.branchDepth, shape.seed};
    GeneratedScene plain = generateScene(plainShape);
    GeneratedScene scene = generateScene(shape);
    Reading before = readScene(plain.text), reading = readScene(scene.text);
    EXPECT_EQ(linesFrom(reading, 0, 2), (std::vector<std::string>{"LWSC", std::to_string(shape.format)}))
        << describe(shape);
    EXPECT_EQ(parentsOf(reading.objects), parentsOf(before.objects)) << describe(shape);
    EXPECT_EQ(parentsOf(reading.lights), parentsOf(before.lights)) << describe(shape);
    EXPECT_EQ(scene.pickedObject, plain.pickedObject) << describe(shape);
    EXPECT_EQ(scene.childlessObject, plain.childlessObject) << describe(shape);
    EXPECT_EQ(scene.lines, static_cast<int>(reading.lines.size())) << describe(shape);
    EXPECT_EQ(scene.text, generateScene(shape).text) << describe(shape);
  }
}

// Where line stands: in an object or light block, among the ambient lines
// between the two, or after the camera line.
std::string placeOf(const Reading& scene, std::size_t line) {
  for (const std::vector<Block>* blocks : {&scene.objects, &scene.lights}) {
    for (const Block& block : *blocks) {
      if (line > block.first && line <= block.last) return block.isLight ? "light" : "object";
    }
  }
  if (line > scene.objects.back().last && line < scene.lights.front().first) return "ambient";
  return line > scene.lights.back().last ? "camera" : "elsewhere";
}

TEST(SceneGeneratorTest, EnvelopesAreWholeAndWhereLayoutWritesThem) {
  for (const SceneShape& shape : optionShapes()) {
    if (!shape.envelopes) continue;
    Reading scene = readScene(generateScene(shape).text);
    const std::vector<std::string>& lines = scene.lines;
    std::set<std::pair<std::string, std::string>> found;
    std::size_t ambientEnd = 0;
    for (std::size_t i = 0; i + 3 < lines.size(); ++i) {
      std::string keyword = keywordOf(lines[i]);
      if (lines[i] != keyword + " (envelope)") continue;
      found.emplace(keyword, placeOf(scene, i));
      // One channel, the key count, a value line and a frame line per key, then EndBehavior.
      EXPECT_EQ(lines[i + 1], "  1") << describe(shape) << ", line " << i + 2;
      std::size_t end = i + 3 + 2 * static_cast<std::size_t>(std::max(0, std::atoi(lines[i + 2].c_str())));
      ASSERT_LT(end, lines.size());
      for (std::size_t j = i + 1; j < end; ++j) EXPECT_TRUE(begins(lines[j], "  ")) << describe(shape);
      EXPECT_EQ(lines[end], "EndBehavior 1") << describe(shape) << ", line " << end + 1;
      if (keyword == "AmbIntensity") ambientEnd = end;
    }
    std::set<std::pair<std::string, std::string>> expected = {{"AmbIntensity", "ambient"},
                                                              {"ObjDissolve", "object"},
                                                              {"LgtIntensity", "light"},
                                                              {"FlareIntensity", "light"},
                                                              {"ZoomFactor", "camera"}};
    if (std::any_of(lines.begin(), lines.end(),
                    [](const std::string& line) { return begins(line, "MorphTarget "); }))
      expected.emplace("Metamorph", "object");
    EXPECT_EQ(found, expected) << describe(shape);

    // The ambient envelope closes the object section; the last object's block ends with one.
    bool flares = std::count(lines.begin(), lines.end(), "LensFlare 1") != 0;
    std::vector<std::string> expectedAfter =
        shape.format == 2 ? std::vector<std::string>{"DoubleSidedAreaLights 1", "", "AddLight"}
        : shape.olderLights
            ? std::vector<std::string>{"", "EnableShadowMaps 0",
                                       flares ? "EnableLensFlare 1" : "EnableLensFlare 0", "AddLight"}
            : std::vector<std::string>{"", "AddLight"};
    EXPECT_EQ(linesFrom(scene, ambientEnd + 1, scene.lights.front().first + 1), expectedAfter)
        << describe(shape);
    EXPECT_EQ(lines[scene.objects.back().last - (shape.format == 1 ? 1 : 0)], "EndBehavior 1")
        << describe(shape);
  }
}

TEST(SceneGeneratorTest, EachFormatClosesItsBlocksAsLayoutDoes) {
  for (const SceneShape& shape : optionShapes()) {
    Reading scene = readScene(generateScene(shape).text);
    const std::vector<std::string>& lines = scene.lines;
    const std::string motionEnd =
        shape.format == 2 ? "Pre/PostBehavior 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1" : "EndBehavior 1";
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].find("Motion (unnamed)") == std::string::npos) continue;
      std::size_t end = i + 1;
      while (end < lines.size() && begins(lines[end], "  ")) ++end;
      EXPECT_EQ(lines[end], motionEnd) << describe(shape) << ", line " << end + 1;
    }
    // Format 1 objects end with ShadowOptions and a blank line; format 2 objects run on.
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
      std::size_t last = scene.objects[i].last;
      std::string following =
          i + 1 < scene.objects.size() ? lines[scene.objects[i + 1].first] : "AmbientColor 255 255 255";
      std::vector<std::string> expected = shape.format == 2 ? std::vector<std::string>{following}
                                                            : std::vector<std::string>{"ShadowOptions 7", ""};
      EXPECT_EQ(linesFrom(scene, last + 2 - expected.size(), last + 2), expected) << describe(shape);
    }
    // A light's lines after its type, and the blank line after them.
    for (const Block& light : scene.lights) {
      std::size_t type = light.first;
      while (!begins(lines[type], "LightType ")) ++type;
      std::vector<std::string> tail =
          shape.olderLights   ? std::vector<std::string>{"ShadowCasting 1", ""}
          : shape.format == 1 ? std::vector<std::string>{"ShadowType 1", ""}
          : lines[type] == "LightType 0"
              ? std::vector<std::string>{"ShadowType 1", "ShadowColor 0 0 0",
                                         "Plugin LightHandler 1 DistantLight", "EndPlugin", ""}
              : std::vector<std::string>{"ShadowType 1", "ShadowColor 0 0 0", ""};
      EXPECT_EQ(linesFrom(scene, type + 1, light.last + 2), tail) << describe(shape);
    }
    std::vector<std::string> camera =
        shape.format == 2 ? std::vector<std::string>{"AddCamera", "CameraName Camera", "ShowCamera 1 7"}
                          : std::vector<std::string>{"ShowCamera 1 7"};
    std::size_t cameraLine = scene.lights.back().last + 2;
    EXPECT_EQ(linesFrom(scene, cameraLine, cameraLine + camera.size()), camera) << describe(shape);
  }
}

TEST(SceneGeneratorTest, ReferencesNameOtherObjectsInAndOutsideTheBranch) {
  for (const SceneShape& shape : optionShapes()) {
    if (!shape.references) continue;
    GeneratedScene generated = generateScene(shape);
    Reading scene = readScene(generated.text);
    std::set<int> branch = branchOf(scene, generated.pickedObject);
    for (const std::vector<Block>* blocks : {&scene.objects, &scene.lights}) {
      for (std::size_t i = 0; i < blocks->size(); ++i) {
        const Block& block = (*blocks)[i];
        int self = block.isLight ? 0 : static_cast<int>(i) + 1;
        for (const auto& [keyword, number] : block.references) {
          EXPECT_EQ(keyword == "TargetObject", block.isLight) << describe(shape) << ": " << keyword;
          EXPECT_TRUE(number >= 1 && number <= shape.objects && number != self)
              << describe(shape) << ": " << keyword << " " << number << " in item " << i + 1;
        }
      }
    }
    const std::vector<std::string>& lines = scene.lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (!begins(lines[i], "GoalObject ")) continue;
      EXPECT_EQ(linesFrom(scene, i + 1, i + 3),
                (std::vector<std::string>{"GoalStrength 1", "GoalObjective 0"}));
    }
    // The picked object's goal lies in its branch, its morph target outside it, where such objects exist.
    std::vector<std::pair<std::string, bool>> root, expectedRoot;
    for (const auto& [keyword, number] :
         scene.objects[static_cast<std::size_t>(generated.pickedObject) - 1].references)
      root.emplace_back(keyword, branch.count(number) != 0);
    if (branch.size() > 1) expectedRoot.emplace_back("GoalObject", true);
    if (static_cast<int>(branch.size()) < shape.objects) expectedRoot.emplace_back("MorphTarget", false);
    EXPECT_EQ(root, expectedRoot) << describe(shape);
  }
}

// Every layout copies: the copies come after every saved object and light,
// and their references name copies or objects outside the branch.
TEST(SceneGeneratorTest, ARunCopiesTheBranchInEveryLayout) {
  for (const SceneShape& shape : optionShapes()) {
    GeneratedScene generated = generateScene(shape);
    Reading before = readScene(generated.text);
    std::set<int> branch = branchOf(before, generated.pickedObject);
    testing::CopyResult copied = testing::copyBranch(generated.text, generated.pickedObject);
    ASSERT_EQ(copied.result, 1) << describe(shape);
    EXPECT_EQ(copied.messages, std::vector<standin::ShownMessage>{}) << describe(shape);
    Reading after = readScene(copied.text);
    auto inBranch = [&](const Block& light) { return branch.count(light.parent) != 0; };
    std::size_t branchLights =
        static_cast<std::size_t>(std::count_if(before.lights.begin(), before.lights.end(), inBranch));
    ASSERT_EQ(after.objects.size(), before.objects.size() + branch.size()) << describe(shape);
    ASSERT_EQ(after.lights.size(), before.lights.size() + branchLights) << describe(shape);
    std::vector<Block> copies(after.objects.begin() + shape.objects, after.objects.end());
    copies.insert(copies.end(), after.lights.begin() + shape.lights, after.lights.end());
    for (const Block& copy : copies) {
      for (const auto& [keyword, number] : copy.references) {
        EXPECT_TRUE(number > shape.objects ? number <= static_cast<int>(after.objects.size())
                                           : branch.count(number) == 0)
            << describe(shape) << ": " << keyword << " " << number;
      }
    }
  }
}

}  // namespace
}  // namespace graftling::bench
