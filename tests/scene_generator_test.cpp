#include "bench/scene_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
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

// The format-3 layouts of the shapes above: plain, every option of the
// format, a small rig with references, several cameras with plug-in data.
std::vector<SceneShape> format3Shapes() {
  std::vector<SceneShape> shapes;
  for (SceneShape shape : kShapes) {
    shape.format = 3;
    for (int options = 0; options < 4; ++options) {
      shape.bones = options == 1 ? 20 : options == 2 ? 3 : 0;
      shape.cameras = options == 1 ? 3 : options == 3 ? 2 : 1;
      shape.references = options == 1 || options == 2;
      shape.envelopes = shape.pluginData = options == 1 || options == 3;
      shapes.push_back(shape);
    }
  }
  return shapes;
}

// Formats 5 and 8 in the layouts of format3Shapes.
std::vector<SceneShape> laterShapes() {
  std::vector<SceneShape> shapes;
  for (int format : {5, 8}) {
    for (SceneShape shape : format3Shapes()) {
      shape.format = format;
      shapes.push_back(shape);
    }
  }
  return shapes;
}

// Format 3 and the later formats that keep its layout.
std::vector<SceneShape> familyShapes() {
  std::vector<SceneShape> shapes = format3Shapes(), later = laterShapes();
  shapes.insert(shapes.end(), later.begin(), later.end());
  return shapes;
}

// Format 3 and later read from the text alone, by the rules their copy
// follows: lines in brace blocks and plug-in bodies are nested, never item or
// reference lines; a block runs to the last non-blank line before the next
// item of its section or the section's end, and a bone to the next bone or
// its object's end. From format 5 on, items are named by the identifiers
// their lines spell.
using ItemKey = std::tuple<char, int, int>;  // 'o', 'l', 'c' or 'b'; index; a bone's object index
const ItemKey kNoItem{0, 0, 0};

struct Item3 {
  std::size_t first = 0, last = 0;  // line indices
  std::size_t parentLine = 0;       // 0 when it has none
  std::vector<Item3> bones;         // an object's
  std::uint32_t id = 0;             // from format 5 on, what its line spells; 0 when not 8 hex digits
};

struct Reading3 {
  int format = 0;
  std::vector<std::string> lines;  // with their line ends
  std::vector<bool> nested;
  std::vector<std::string> problems;  // nesting left open or closed unopened, items out of order
  std::vector<Item3> objects, lights, cameras;
  std::size_t group = 0;                  // the scene-level group's first line
  std::map<std::uint32_t, ItemKey> byId;  // from format 5 on
};

bool isWord(const std::string& line, const std::string& keyword) {
  return line.rfind(keyword, 0) == 0 &&
         (line.size() == keyword.size() ||
          std::string(" \t\r\n").find(line[keyword.size()]) != std::string::npos);
}

bool isBlank(const std::string& line) { return line == "\n" || line == "\r\n"; }

bool isReference(const Reading3& scene, std::size_t line) {
  for (const char* keyword : {"ParentItem", "TargetItem", "ExcludeLight", "GoalObject", "MorphTarget"}) {
    if (!scene.nested[line] && isWord(scene.lines[line], keyword)) return true;
  }
  return scene.format >= 5 && !scene.nested[line] && isWord(scene.lines[line], "UseBonesFrom");
}

// The identifier token of an item line: the word after its keyword, after
// the layer for "LoadObjectLayer".
std::string idToken(const std::string& line) {
  std::istringstream words(line);
  std::string keyword, token;
  words >> keyword >> token;
  if (keyword == "LoadObjectLayer") words >> token;
  return token;
}

// A value of exactly 8 hexadecimal digits, or none.
std::optional<std::uint32_t> hexValue(const std::string& value) {
  if (value.size() != 8 || value.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(std::stoul(value, nullptr, 16));
}

std::string hexText(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(id));
  return text;
}

// Items from each of starts to the last non-blank line before the next one or end.
std::vector<Item3> blocksFrom(const Reading3& scene, const std::vector<std::size_t>& starts,
                              std::size_t end) {
  std::vector<Item3> blocks;
  for (std::size_t k = 0; k < starts.size(); ++k) {
    std::size_t last = (k + 1 < starts.size() ? starts[k + 1] : end) - 1;
    while (last > starts[k] && isBlank(scene.lines[last])) --last;
    std::size_t parent = 0;
    for (std::size_t i = starts[k]; i <= last && parent == 0; ++i) {
      if (!scene.nested[i] && isWord(scene.lines[i], "ParentItem")) parent = i;
    }
    blocks.push_back(Item3{starts[k], last, parent, {}});
  }
  return blocks;
}

const std::pair<const char*, int> kItemKeywords[] = {{"LoadObjectLayer", 0}, {"LoadObject", 0},
                                                     {"AddNullObject", 0},   {"AddLight", 1},
                                                     {"AddCamera", 2},       {"AddBone", 3}};

Reading3 readFormat3(const std::string& text) {
  Reading3 scene;
  std::vector<std::string>& lines = scene.lines;
  for (std::size_t at = 0; at < text.size(); at += lines.back().size()) {
    lines.push_back(text.substr(at, std::min(text.find('\n', at), text.size() - 1) + 1 - at));
  }
  scene.format = lines.size() > 1 ? std::atoi(lines[1].c_str()) : 0;
  int depth = 0;
  bool plugin = false;
  std::vector<std::size_t> starts[4];  // objects, lights, cameras, bones
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string text = lines[i].substr(std::min(lines[i].find_first_not_of(" \t"), lines[i].size()));
    scene.nested.push_back(depth > 0 || plugin);
    if (plugin) {
      plugin = !isWord(text, "EndPlugin");
      continue;
    }
    if (text.rfind('{', 0) == 0) ++depth;
    if (text.rfind('}', 0) == 0 && text.find_first_not_of(" \t\r\n", 1) == std::string::npos &&
        depth-- == 0) {
      scene.problems.push_back("a } closes nothing at line " + std::to_string(i + 1));
    }
    plugin = isWord(text, "Plugin");
    for (const auto& [keyword, kind] : kItemKeywords) {
      if (!scene.nested[i] && isWord(lines[i], keyword)) starts[kind].push_back(i);
    }
  }
  if (depth != 0 || plugin) scene.problems.push_back("nested content left open");
  if (starts[2].empty()) return scene;
  std::size_t lightsStart = starts[1].empty() ? starts[2].front() : starts[1].front();
  if ((!starts[0].empty() && starts[0].back() > lightsStart) ||
      (!starts[1].empty() && starts[1].back() > starts[2].front())) {
    scene.problems.push_back("items out of order");
    return scene;
  }
  // The group begins at the first AmbientColor after the objects, else with
  // the last run of non-blank lines before the lights.
  std::size_t objectsEnd = starts[0].empty() ? 0 : starts[0].back();
  std::size_t group = objectsEnd;
  while (group < lightsStart && (scene.nested[group] || !isWord(lines[group], "AmbientColor"))) ++group;
  if (group == lightsStart) {
    while (group > objectsEnd && isBlank(lines[group - 1])) --group;
    while (group > objectsEnd && !isBlank(lines[group - 1])) --group;
    if (group == objectsEnd) scene.problems.push_back("no scene-level group before the lights");
  }
  scene.group = group;
  scene.objects = blocksFrom(scene, starts[0], group);
  scene.lights = blocksFrom(scene, starts[1], starts[2].front());
  scene.cameras = blocksFrom(scene, starts[2], lines.size());
  for (Item3& object : scene.objects) {
    std::vector<std::size_t> own;
    for (std::size_t bone : starts[3]) {
      if (bone > object.first && bone <= object.last) own.push_back(bone);
    }
    object.bones = blocksFrom(scene, own, object.last + 1);
    for (std::size_t b = 0; b + 1 < own.size(); ++b) object.bones[b].last = own[b + 1] - 1;
    if (!own.empty() && object.parentLine > own.front()) object.parentLine = 0;
  }
  std::size_t bonesRead = 0;
  for (const Item3& object : scene.objects) bonesRead += object.bones.size();
  if (bonesRead != starts[3].size()) scene.problems.push_back("a bone outside its object");
  if (scene.format < 5) return scene;
  auto identify = [&](Item3& item, const ItemKey& key) {
    item.id = hexValue(idToken(lines[item.first])).value_or(0);
    if (!scene.byId.emplace(item.id, key).second) scene.problems.push_back("a repeated identifier");
  };
  for (char kind : {'o', 'l', 'c'}) {
    std::vector<Item3>& items = kind == 'o' ? scene.objects : kind == 'l' ? scene.lights : scene.cameras;
    for (std::size_t k = 0; k < items.size(); ++k) {
      identify(items[k], {kind, static_cast<int>(k), 0});
      for (std::size_t b = 0; b < items[k].bones.size(); ++b) {
        identify(items[k].bones[b], {'b', static_cast<int>(b), static_cast<int>(k)});
      }
    }
  }
  return scene;
}

// The item a reference line names, or kNoItem.
ItemKey named(const Reading3& scene, std::size_t i) {
  const std::string& line = scene.lines[i];
  std::string value = line.substr(std::min(line.find(' '), line.size() - 1) + 1);
  int objects = static_cast<int>(scene.objects.size());
  if (scene.format < 5 && (isWord(line, "GoalObject") || isWord(line, "MorphTarget"))) {
    int number = std::atoi(value.c_str());
    return number >= 1 && number <= objects ? ItemKey{'o', number - 1, 0} : kNoItem;
  }
  std::optional<std::uint32_t> spelled = hexValue(value.substr(0, value.find_last_not_of(" \t\r\n") + 1));
  if (!spelled) return kNoItem;
  std::uint32_t id = *spelled;
  int kind = static_cast<int>(id >> 28), index = static_cast<int>(id & 0xfffffff);
  int bone = index >> 16, object = index & 0xffff;
  if (isWord(line, "ExcludeLight") && kind != 2) return kNoItem;
  if (scene.format >= 5) {
    auto found = scene.byId.find(id);
    return found != scene.byId.end() ? found->second : kNoItem;
  }
  if (kind == 1 && index < objects) return {'o', index, 0};
  if (kind == 2 && index < static_cast<int>(scene.lights.size())) return {'l', index, 0};
  if (kind == 3 && index < static_cast<int>(scene.cameras.size())) return {'c', index, 0};
  if (kind == 4 && object < objects && bone < static_cast<int>(scene.objects[object].bones.size())) {
    return {'b', bone, object};
  }
  return kNoItem;
}

// The item an item hangs on, a bone's object for a bone.
ItemKey parentOf(const Reading3& scene, const Item3& item) {
  auto [kind, index, object] = item.parentLine != 0 ? named(scene, item.parentLine) : kNoItem;
  return kind == 'b' ? ItemKey{'o', object, 0} : ItemKey{kind, index, object};
}

// The object number an item hangs on, 0 for none, as formats 1 and 2 write it.
int parentNumber(const Reading3& scene, const Item3& item) {
  auto [kind, index, object] = parentOf(scene, item);
  return kind == 'o' ? index + 1 : 0;
}

// The branch of object index picked in copy order (depth first, children in
// file order, each item once), and its depth in object levels.
std::pair<std::vector<ItemKey>, int> branch3(const Reading3& scene, int picked) {
  std::map<ItemKey, std::vector<ItemKey>> children;
  for (char kind : {'o', 'l'}) {
    const std::vector<Item3>& items = kind == 'o' ? scene.objects : scene.lights;
    for (std::size_t k = 0; k < items.size(); ++k) {
      children[parentOf(scene, items[k])].emplace_back(kind, static_cast<int>(k), 0);
    }
  }
  std::vector<ItemKey> order;
  int depth = 0;
  std::function<void(const ItemKey&, int)> visit = [&](const ItemKey& item, int level) {
    if (std::find(order.begin(), order.end(), item) != order.end()) return;
    order.push_back(item);
    depth = std::max(depth, level);
    for (const ItemKey& child : children[item]) visit(child, level + (std::get<0>(child) == 'o' ? 1 : 0));
  };
  visit({'o', picked, 0}, 0);
  return {order, depth};
}

// The scene after a copy of the branch of object number picked, by the copy's
// rules: each copy after a new blank line, the objects' after the last object
// block, the lights' after the last light block, in copy order; each reference
// into the branch, but the picked object's own parent line, names the copy.
// From format 5 on, copies take the identifiers after the highest saved one
// of their kind, spelled on their item lines and their bones'.
std::string expectedCopy3(const Reading3& scene, int picked) {
  const bool spelled = scene.format >= 5;
  std::uint32_t nextId[2] = {0x10000000u + static_cast<std::uint32_t>(scene.objects.size()),
                             0x20000000u + static_cast<std::uint32_t>(scene.lights.size())};
  for (int light = 0; light < 2 && spelled; ++light) {
    for (const Item3& item : light ? scene.lights : scene.objects)
      nextId[light] = std::max(nextId[light], item.id + 1);
  }
  struct Copy {
    int index;  // among items of its kind, the saved ones first
    std::uint32_t id;
  };
  std::map<ItemKey, Copy> copyOf;  // each object and light of the branch
  std::vector<std::pair<const Item3*, ItemKey>> copies[2];
  for (const ItemKey& item : branch3(scene, picked - 1).first) {
    bool light = std::get<0>(item) == 'l';
    const std::vector<Item3>& saved = light ? scene.lights : scene.objects;
    copyOf[item] = Copy{static_cast<int>(saved.size() + copies[light].size()), nextId[light]++};
    copies[light].emplace_back(&saved[static_cast<std::size_t>(std::get<1>(item))], item);
  }
  // A bone's identifier with the last 4 digits of object's.
  auto onObject = [](std::uint32_t bone, std::uint32_t object) {
    return 0x40000000u | (bone & 0x0fff0000u) | (object & 0xffffu);
  };
  // line with id in place of the identifier it spells.
  auto respelled = [](const std::string& line, std::uint32_t id) {
    std::size_t at = line.find(' ') + 1;
    if (isWord(line, "LoadObjectLayer")) at = line.find(' ', at) + 1;
    return line.substr(0, at) + hexText(id) + line.substr(at + 8);
  };
  auto copyText = [&](const Item3& item, const ItemKey& key) {
    const Copy& own = copyOf.at(key);
    std::string out = scene.lines[0].substr(4);  // "LWSC"'s line end
    for (std::size_t i = item.first; i <= item.last; ++i) {
      const std::string& line = scene.lines[i];
      bool boneLine = std::any_of(item.bones.begin(), item.bones.end(),
                                  [&](const Item3& bone) { return bone.first == i; });
      if (spelled && (i == item.first || boneLine)) {
        out +=
            respelled(line, i == item.first ? own.id : onObject(hexValue(idToken(line)).value_or(0), own.id));
        continue;
      }
      auto [kind, index, object] = isReference(scene, i) ? named(scene, i) : kNoItem;
      auto copy = copyOf.find(kind == 'b' ? ItemKey{'o', object, 0} : ItemKey{kind, index, 0});
      if (copy == copyOf.end() || (&item == copies[0].front().first && i == item.parentLine)) {
        out += line;
        continue;
      }
      std::string value = line.substr(line.find(' ') + 1);
      std::string written =
          !spelled && (isWord(line, "GoalObject") || isWord(line, "MorphTarget"))
              ? std::to_string(copy->second.index + 1)
              : hexText(kind == 'b' ? onObject(*hexValue(value.substr(0, 8)), copy->second.id)
                                    : copy->second.id);
      out += line.substr(0, line.find(' ')) + " " + written + line.substr(line.find_last_not_of("\r\n") + 1);
    }
    return out;
  };
  std::string out;
  for (std::size_t i = 0; i < scene.lines.size(); ++i) {
    out += scene.lines[i];
    for (int light = 0; light < 2; ++light) {
      const std::vector<Item3>& saved = light ? scene.lights : scene.objects;
      if (saved.empty() || i != saved.back().last) continue;
      for (const auto& [item, key] : copies[light]) out += copyText(*item, key);
    }
  }
  return out;
}

std::string expectedCopy3(const std::string& text, int picked) {
  return expectedCopy3(readFormat3(text), picked);
}

// Where got parts from expected, in one line rather than as a diff of long texts.
std::string firstDifference(const std::string& got, const std::string& expected) {
  auto [left, right] = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
  if (left == got.end() && right == expected.end()) return "";
  return "line " + std::to_string(std::count(got.begin(), left, '\n') + 1) + ": " +
         std::string(left, std::find(left, got.end(), '\n')) + " instead of " +
         std::string(right, std::find(right, expected.end(), '\n'));
}

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
  // Format 3 and later: no object or light hangs on it or on its bones, and
  // its copy, bones and all, is the rules'.
  std::vector<SceneShape> shapes = familyShapes();
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    GeneratedScene scene = generateScene(shapes[i]);
    EXPECT_EQ(scene.childlessObject != 0, hasOne[i / 4 % std::size(kShapes)]) << i;
    if (scene.childlessObject == 0) continue;
    EXPECT_EQ(branch3(readFormat3(scene.text), scene.childlessObject - 1).first.size(), 1u) << i;
    testing::CopyResult copied = testing::copyBranch(scene.text, scene.childlessObject);
    ASSERT_EQ(copied.result, 1) << i;
    EXPECT_EQ(copied.messages, std::vector<standin::ShownMessage>{}) << i;
    EXPECT_EQ(firstDifference(copied.text, expectedCopy3(scene.text, scene.childlessObject)), "") << i;
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
      // Format 3 and later, within one of their longer blocks; their lines hold fewer items.
      for (int format : {3, 5, 8}) {
        std::optional<SceneShape> later = shapeForLines(lines, branch, 4, 1, format);
        // A hundred items take some 9,000 lines in format 3.
        ASSERT_EQ(later.has_value(), lines != 2000 || branch != 100)
            << lines << " " << branch << " " << format;
        if (!later) continue;
        EXPECT_EQ(later->format, format);
        EXPECT_LT(later->objects + later->lights, shape->objects + shape->lights) << lines << " " << branch;
        EXPECT_LT(std::abs(generateScene(*later).lines - lines), format == 3 ? 88 : 95)
            << lines << " " << branch << " " << format;
      }
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
  EXPECT_NE(shapeProblem({5, 1, 3, 0, 2, 1, false, 4}), "");        // no such format
  EXPECT_NE(shapeProblem({5, 1, 3, 0, 2, 1, false, 2, true}), "");  // older lights in format 2
  EXPECT_EQ(shapeProblem({5, 1, 3, 0, 2, 1, true, 2, false, true}), "");
  EXPECT_EQ(shapeProblem({5, 1, 3, 0, 2, 1, true, 3, false, true, 4096, 3, true}), "");
  EXPECT_NE(shapeProblem({5, 1, 3, 0, 2, 1, false, 3, true}), "");                // older lights in format 3
  EXPECT_NE(shapeProblem({5, 1, 3, 0, 2, 1, false, 2, false, false, 1}), "");     // bones in format 2
  EXPECT_NE(shapeProblem({5, 1, 3, 0, 2, 1, false, 1, false, false, 0, 2}), "");  // two cameras in format 1
  EXPECT_NE(shapeProblem({5, 1, 3, 0, 2, 1, false, 1, false, false, 0, 1, true}), "");  // plug-in data
  EXPECT_NE(shapeProblem({5, 1, 3, 0, 2, 1, false, 3, false, false, 0, 0}), "");        // no camera
  EXPECT_NE(shapeProblem({5, 1, 3, 0, 2, 1, false, 3, false, false, 4097}), "");        // bones past fff
  // A bone names its object's index in 4 digits: the copies' indices must fit too.
  EXPECT_EQ(shapeProblem({65533, 1, 3, 0, 2, 1, false, 3, false, false, 1}), "");
  EXPECT_NE(shapeProblem({65534, 1, 3, 0, 2, 1, false, 3, false, false, 1}), "");
  EXPECT_EQ(shapeProblem({65534, 1, 3, 0, 2, 1, false, 3}), "");
  // Formats 5 and 8 take every option of format 3; formats 4, 6 and 7 are not written.
  for (int format : {5, 8}) {
    EXPECT_EQ(shapeProblem({5, 1, 3, 0, 2, 1, true, format, false, true, 4096, 3, true}), "") << format;
    EXPECT_NE(shapeProblem({5, 1, 3, 0, 2, 1, false, format, true}), "") << format;  // older lights
  }
  for (int format : {4, 6, 7, 9}) EXPECT_NE(shapeProblem({5, 1, 3, 0, 2, 1, false, format}), "") << format;
  // Skipped and reused identifiers leave fewer objects room for bones than format 3's.
  EXPECT_EQ(shapeProblem({50000, 1, 3, 0, 2, 1, false, 5, false, false, 1}), "");
  EXPECT_NE(shapeProblem({65000, 1, 3, 0, 2, 1, false, 5, false, false, 1}), "");
  EXPECT_EQ(shapeProblem({65000, 1, 3, 0, 2, 1, false, 3, false, false, 1}), "");
  EXPECT_EQ(shapeProblem({65000, 1, 3, 0, 2, 1, false, 5}), "");
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
         (shape.olderLights ? ", older lights" : "") + (shape.references ? ", references" : "") +
         (shape.bones != 0 ? ", " + std::to_string(shape.bones) + " bones" : "") +
         (shape.cameras != 1 ? ", " + std::to_string(shape.cameras) + " cameras" : "") +
         (shape.pluginData ? ", plug-in data" : "");
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
  // Format 3 and later: the whole text, as the copy's rules give it; from
  // format 5 on, picked at the first three child objects of the picked object too.
  for (const SceneShape& shape : familyShapes()) {
    GeneratedScene generated = generateScene(shape);
    std::vector<int> picks{generated.pickedObject};
    Reading3 scene = readFormat3(generated.text);
    for (std::size_t k = 0; k < scene.objects.size() && shape.format >= 5 && picks.size() < 4; ++k) {
      if (parentOf(scene, scene.objects[k]) == ItemKey{'o', generated.pickedObject - 1, 0}) {
        picks.push_back(static_cast<int>(k) + 1);
      }
    }
    EXPECT_EQ(picks.size() > 1, shape.format >= 5 && shape.branchItems - shape.branchLights > 1)
        << describe(shape);
    for (int pick : picks) {
      testing::CopyResult copied = testing::copyBranch(generated.text, pick);
      ASSERT_EQ(copied.result, 1) << describe(shape) << ", object " << pick;
      EXPECT_EQ(copied.messages, std::vector<standin::ShownMessage>{})
          << describe(shape) << ", object " << pick;
      EXPECT_EQ(firstDifference(copied.text, expectedCopy3(scene, pick)), "")
          << describe(shape) << ", object " << pick;
    }
  }
}

TEST(SceneGeneratorTest, Format3AndLaterScenesAreBalancedAndInLayoutsOrder) {
  for (const SceneShape& shape : familyShapes()) {
    GeneratedScene generated = generateScene(shape);
    Reading3 scene = readFormat3(generated.text);
    const std::vector<std::string>& lines = scene.lines;
    EXPECT_EQ(scene.problems, std::vector<std::string>{}) << describe(shape);
    ASSERT_EQ(scene.objects.size(), static_cast<std::size_t>(shape.objects)) << describe(shape);
    ASSERT_EQ(scene.lights.size(), static_cast<std::size_t>(shape.lights)) << describe(shape);
    ASSERT_EQ(scene.cameras.size(), static_cast<std::size_t>(shape.cameras)) << describe(shape);
    EXPECT_EQ(generated.lines, static_cast<int>(lines.size())) << describe(shape);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
              (std::vector<std::string>{"LWSC\n", std::to_string(shape.format) + "\n", "\n"}));
    // A blank line before every item line, none before a bone line; each section closed by one.
    for (const std::vector<Item3>* items : {&scene.objects, &scene.lights, &scene.cameras}) {
      for (const Item3& item : *items) {
        EXPECT_EQ(lines[item.first - 1], "\n") << describe(shape) << ", line " << item.first + 1;
        for (const Item3& bone : item.bones) EXPECT_NE(lines[bone.first - 1], "\n") << describe(shape);
      }
    }
    EXPECT_EQ(lines[scene.objects.back().last + 1] + lines[scene.objects.back().last + 2],
              shape.format == 8 ? "\nGlobalMipmapMultiplier 1\n" : "\nAmbientColor 1 1 1\n")
        << describe(shape);
    EXPECT_EQ(scene.group, scene.objects.back().last + 2) << describe(shape);
    EXPECT_EQ(lines[scene.lights.back().last] + lines[scene.lights.back().last + 1], "EndPlugin\n\n");
    EXPECT_EQ(lines.back(), "}\n") << describe(shape);
    // Every channel and animated value opens its envelope; plug-in data holds lookalikes of item lines.
    int lookalikes = 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      if (!scene.nested[i] &&
          (begins(lines[i], "Channel ") || lines[i].find(" (envelope)\n") != std::string::npos)) {
        EXPECT_EQ(lines[i + 1], "{ Envelope\n") << describe(shape) << ", line " << i + 1;
      }
      lookalikes +=
          scene.nested[i] && (isWord(lines[i], "AddBone") || isWord(lines[i], "ParentItem")) ? 1 : 0;
    }
    EXPECT_EQ(lookalikes != 0, shape.pluginData) << describe(shape);
  }
}

TEST(SceneGeneratorTest, Format3AndLaterIdentifiersNameItemsOfTheScene) {
  int onBones = 0, goals = 0, exclusions = 0, boneSources = 0;
  for (const SceneShape& shape : familyShapes()) {
    GeneratedScene generated = generateScene(shape);
    Reading3 scene = readFormat3(generated.text);
    for (char kind : {'o', 'l', 'c'}) {
      const std::vector<Item3>& items = kind == 'o'   ? scene.objects
                                        : kind == 'l' ? scene.lights
                                                      : scene.cameras;
      for (std::size_t k = 0; k < items.size(); ++k) {
        const Item3& item = items[k];
        // Only an object's first bone names that object.
        ItemKey self{kind, static_cast<int>(k), 0};
        std::size_t ownName = item.bones.empty() ? 0 : item.bones.front().parentLine;
        std::size_t bonesFirst = item.bones.empty() ? item.last + 1 : item.bones.front().first;
        for (std::size_t i = item.first; i <= item.last; ++i) {
          if (!isReference(scene, i)) continue;
          ItemKey target = named(scene, i);
          bool exclusion = isWord(scene.lines[i], "ExcludeLight");
          exclusions += exclusion ? 1 : 0;
          goals += isWord(scene.lines[i], "GoalObject") && i >= bonesFirst ? 1 : 0;
          boneSources += isWord(scene.lines[i], "UseBonesFrom") ? 1 : 0;
          EXPECT_TRUE(exclusion ? std::get<0>(target) == 'l' || scene.lines[i] == "ExcludeLight 21000000\n"
                                : target != kNoItem)
              << describe(shape) << ", line " << i + 1 << ": " << scene.lines[i];
          EXPECT_TRUE(target != self || i == ownName) << describe(shape) << ", line " << i + 1;
        }
        onBones += item.parentLine != 0 && std::get<0>(named(scene, item.parentLine)) == 'b' ? 1 : 0;
        for (std::size_t b = 0; b < item.bones.size(); ++b) {
          auto [parentKind, parent, object] = named(scene, item.bones[b].parentLine);
          EXPECT_TRUE(b == 0 ? parentKind == 'o' && parent == static_cast<int>(k)
                             : parentKind == 'b' && parent < static_cast<int>(b) &&
                                   object == static_cast<int>(k))
              << describe(shape) << ", line " << item.bones[b].parentLine + 1;
        }
      }
    }
    EXPECT_EQ(scene.objects[static_cast<std::size_t>(generated.pickedObject) - 1].bones.size(),
              static_cast<std::size_t>(shape.bones))
        << describe(shape);
  }
  EXPECT_GT(onBones, 0);
  EXPECT_GT(goals, 0);
  EXPECT_GT(exclusions, 0);
  EXPECT_GT(boneSources, 0);
}

TEST(SceneGeneratorTest, Format3AndLaterKeepTheTreeAndThePicks) {
  for (const SceneShape& shape : familyShapes()) {
    SceneShape plainShape{shape.objects,      shape.lights,      shape.branchItems,
                          shape.branchLights, shape.branchDepth, shape.seed};
    GeneratedScene plain = generateScene(plainShape), generated = generateScene(shape);
    Reading before = readScene(plain.text);
    Reading3 scene = readFormat3(generated.text);
    std::vector<int> objectParents, lightParents;
    for (const Item3& object : scene.objects) objectParents.push_back(parentNumber(scene, object));
    for (const Item3& light : scene.lights) lightParents.push_back(parentNumber(scene, light));
    EXPECT_EQ(objectParents, parentsOf(before.objects)) << describe(shape);
    EXPECT_EQ(lightParents, parentsOf(before.lights)) << describe(shape);
    EXPECT_EQ(generated.pickedObject, plain.pickedObject) << describe(shape);
    EXPECT_EQ(generated.childlessObject, plain.childlessObject) << describe(shape);
    // The host names the picked object by the file after its layer and identifier, unique in the scene.
    const Item3& picked = scene.objects[static_cast<std::size_t>(generated.pickedObject) - 1];
    EXPECT_EQ(scene.lines[picked.first], "LoadObjectLayer 1 " +
                                             (shape.format >= 5 ? hexText(picked.id) + " " : "") +
                                             generated.pickedFileName + "\n")
        << describe(shape);
    const std::string fileName = " " + generated.pickedFileName + "\n";
    EXPECT_EQ(std::count_if(scene.lines.begin(), scene.lines.end(),
                            [&](const std::string& line) {
                              return line.size() >= fileName.size() &&
                                     line.compare(line.size() - fileName.size(), fileName.size(), fileName) ==
                                         0;
                            }),
              1)
        << describe(shape);
    auto [order, depth] = branch3(scene, generated.pickedObject - 1);
    auto lights = std::count_if(order.begin(), order.end(),
                                [](const ItemKey& item) { return std::get<0>(item) == 'l'; });
    EXPECT_EQ(order.size(), static_cast<std::size_t>(shape.branchItems)) << describe(shape);
    EXPECT_EQ(lights, shape.branchLights) << describe(shape);
    EXPECT_EQ(depth, shape.branchDepth) << describe(shape);
    EXPECT_EQ(generated.text, generateScene(shape).text) << describe(shape);
    SceneShape reseeded = shape;
    reseeded.seed += 100;
    EXPECT_NE(generateScene(reseeded).text, generated.text) << describe(shape);
  }
}

TEST(SceneGeneratorTest, LaterFormatsSpellAnIdentifierOfItsOwnOnEveryItemLine) {
  int objectGaps = 0, lightsOutOfOrder = 0;
  for (const SceneShape& shape : laterShapes()) {
    GeneratedScene generated = generateScene(shape);
    Reading3 scene = readFormat3(generated.text);
    EXPECT_EQ(scene.problems, std::vector<std::string>{}) << describe(shape);
    // 8 lowercase hexadecimal digits, the first the item's kind.
    auto spells = [&](const Item3& item, char kind) {
      std::string token = idToken(scene.lines[item.first]);
      EXPECT_TRUE(token.size() == 8 && token.find_first_not_of("0123456789abcdef") == std::string::npos &&
                  token[0] == kind)
          << describe(shape) << ", line " << item.first + 1 << ": " << scene.lines[item.first];
    };
    std::vector<std::uint32_t> objectIds, lightIds;
    for (const Item3& object : scene.objects) {
      spells(object, '1');
      objectIds.push_back(object.id);
      // A bone: its number in 3 digits, then its object's last 4.
      for (std::size_t b = 0; b < object.bones.size(); ++b) {
        spells(object.bones[b], '4');
        EXPECT_EQ(object.bones[b].id,
                  0x40000000u | static_cast<std::uint32_t>(b) << 16 | (object.id & 0xffffu))
            << describe(shape);
      }
    }
    for (const Item3& light : scene.lights) {
      spells(light, '2');
      lightIds.push_back(light.id);
    }
    for (const Item3& camera : scene.cameras) spells(camera, '3');
    // Not in file order: the second object's comes after the third's.
    ASSERT_GE(objectIds.size(), 3u) << describe(shape);
    EXPECT_GT(objectIds[1], objectIds[2]) << describe(shape);
    auto [low, high] = std::minmax_element(objectIds.begin(), objectIds.end());
    objectGaps += *high - *low + 1 > objectIds.size() ? 1 : 0;
    lightsOutOfOrder += std::is_sorted(lightIds.begin(), lightIds.end()) ? 0 : 1;
  }
  EXPECT_GT(objectGaps, 0);
  EXPECT_GT(lightsOutOfOrder, 0);
}

// Whether the lines first to last hold run, one line after another.
bool holdsRun(const Reading3& scene, std::size_t first, std::size_t last,
              const std::vector<std::string>& run) {
  auto end = scene.lines.begin() + static_cast<long>(last) + 1;
  return std::search(scene.lines.begin() + static_cast<long>(first), end, run.begin(), run.end()) != end;
}

// The plug-in line that opens the body an item's block ends with, or 0.
std::size_t closingPlugin(const Reading3& scene, const Item3& item) {
  if (scene.lines[item.last] != "EndPlugin\n") return 0;
  std::size_t at = item.last - 1;
  while (at > item.first && scene.nested[at]) --at;
  return isWord(scene.lines[at], "Plugin") ? at : 0;
}

TEST(SceneGeneratorTest, LaterFormatsWriteTheirOwnLinesWhereLayoutDoes) {
  const std::vector<std::string> blend = {"CtrlScaleItemBlend 1\n", "\n", "PathAlignLookAhead 0.033\n",
                                          "PathAlignMaxLookSteps 10\n"};
  for (const SceneShape& shape : laterShapes()) {
    Reading3 scene = readFormat3(generateScene(shape).text);
    const std::vector<std::string>& lines = scene.lines;
    ASSERT_EQ(scene.problems, std::vector<std::string>{}) << describe(shape);
    // A blank line inside every item's own lines, a rigged object's before its bones.
    for (const std::vector<Item3>* items : {&scene.objects, &scene.lights, &scene.cameras}) {
      for (const Item3& item : *items) {
        std::size_t own = item.bones.empty() ? item.last : item.bones.front().first - 1;
        EXPECT_TRUE(holdsRun(scene, item.first, own, blend))
            << describe(shape) << ", line " << item.first + 1;
        for (const Item3& bone : item.bones) {
          EXPECT_TRUE(holdsRun(scene, bone.first, bone.last, blend))
              << describe(shape) << ", line " << bone.first + 1;
        }
      }
    }
    // Every light ends with the distant light handler and a body.
    for (const Item3& light : scene.lights) {
      std::size_t plugin = closingPlugin(scene, light);
      EXPECT_EQ(lines[plugin], "Plugin LightHandler 1 DistantLight\n")
          << describe(shape) << ", line " << light.last + 1;
      EXPECT_LT(plugin + 1, light.last) << describe(shape);
    }
    // The scene-level group: 20 to 30 lines without a blank one, between blank lines.
    std::size_t groupEnd = scene.lights.front().first - 1;
    EXPECT_TRUE(lines[scene.group - 1] == "\n" && lines[groupEnd] == "\n") << describe(shape);
    EXPECT_GE(groupEnd - scene.group, 20u) << describe(shape);
    EXPECT_LE(groupEnd - scene.group, 30u) << describe(shape);
    EXPECT_EQ(std::count(lines.begin() + static_cast<long>(scene.group),
                         lines.begin() + static_cast<long>(groupEnd), "\n"),
              0)
        << describe(shape);
    EXPECT_EQ(lines[scene.group], shape.format == 8 ? "GlobalMipmapMultiplier 1\n" : "AmbientColor 1 1 1\n");
    int ambient = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      ambient += !scene.nested[i] && isWord(lines[i], "AmbientColor") ? 1 : 0;
    }
    EXPECT_EQ(ambient, shape.format == 8 ? 0 : 1) << describe(shape);
    // Format 8 lists buffers in the head and ends its last object with a primitive handler's body.
    auto bufferList = std::find(lines.begin(), lines.end(), "BufferList\n");
    auto endAttribute = std::find(bufferList, lines.end(), "EndAttribute\n");
    std::size_t lastPlugin = closingPlugin(scene, scene.objects.back());
    if (shape.format == 8) {
      EXPECT_LT(endAttribute, lines.begin() + static_cast<long>(scene.objects.front().first))
          << describe(shape);
      EXPECT_TRUE(begins(lines[lastPlugin], "Plugin PrimitiveHandler 1 ")) << describe(shape);
    } else {
      EXPECT_EQ(bufferList, lines.end()) << describe(shape);
      EXPECT_TRUE(lastPlugin == 0 || !begins(lines[lastPlugin], "Plugin PrimitiveHandler"))
          << describe(shape);
    }
    // Scene-level lines name the current items by position.
    for (const char* current : {"CurrentObject 0\n", "CurrentLight 0\n", "CurrentCamera 0\n"}) {
      EXPECT_EQ(std::count(lines.begin(), lines.end(), current), 1) << describe(shape) << ": " << current;
    }
  }
}

}  // namespace
}  // namespace graftling::bench
