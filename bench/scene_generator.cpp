#include "bench/scene_generator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace graftling::bench {

namespace {

// A small fixed generator (splitmix64), one stream per item, so that a seed
// gives the same scene everywhere and adding an item leaves the others as
// they were.
class Random {
 public:
  Random(std::uint32_t seed, std::uint64_t stream)
      : state_((std::uint64_t{seed} << 32) ^ (stream * 0x9E3779B97F4A7C15u)) {}
  int below(int n) { return n <= 1 ? 0 : static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  bool chance(int percent) { return below(100) < percent; }

 private:
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  std::uint64_t state_;
};

// Streams of the generator: one per object and light, and the branch's shape.
constexpr std::uint64_t kTreeStream = 1;
constexpr std::uint64_t kObjectStreams = 1u << 20;
constexpr std::uint64_t kLightStreams = 1u << 30;

struct ItemPlan {
  std::string firstLine;  // "LoadObject ...", "AddNullObject ..." or the light's name
  int parent = 0;         // object number, 0 for none
  int keys = 1;
  std::uint64_t stream = 0;  // the generator stream of its key values
};

// Every item of a scene, in file order, before it is written out.
struct ScenePlan {
  std::vector<ItemPlan> objects;  // index = object number - 1
  std::vector<ItemPlan> lights;
  int pickedObject = 0;
  std::string pickedFileName;
  int childlessObject = 0;
};

// A number with at most one decimal, as Layout writes simple key values.
std::string value(Random& random, int range) {
  int tenths = random.below(2 * range * 10 + 1) - range * 10;
  char text[32];
  if (tenths % 10 == 0) {
    std::snprintf(text, sizeof text, "%d", tenths / 10);
  } else {
    std::snprintf(text, sizeof text, "%s%d.%d", tenths < 0 ? "-" : "", std::abs(tenths) / 10,
                  std::abs(tenths) % 10);
  }
  return text;
}

// "  9", the key count, then two lines per key: the nine channel values and
// the frame with its spline settings.
void appendMotion(std::string& out, Random& random, int keys) {
  out += "  9\n  " + std::to_string(keys) + "\n";
  for (int key = 0; key < keys; ++key) {
    out += "  " + value(random, 5) + " " + value(random, 5) + " " + value(random, 5) + " " +
           value(random, 180) + " " + value(random, 90) + " 0 1 1 1\n";
    out += "  " + std::to_string(key * 15) + " 0 0 0 0\n";
  }
  out += "EndBehavior 1\n";
}

void appendObject(std::string& out, std::uint32_t seed, const ItemPlan& plan) {
  Random random(seed, plan.stream);
  out += plan.firstLine + "\nShowObject 8 7\nObjectMotion (unnamed)\n";
  appendMotion(out, random, plan.keys);
  if (plan.parent != 0) out += "ParentObject " + std::to_string(plan.parent) + "\n";
  out += "ShadowOptions 7\n\n";
}

void appendLight(std::string& out, std::uint32_t seed, const ItemPlan& plan) {
  Random random(seed, plan.stream);
  out += "AddLight\nLightName " + plan.firstLine + "\nShowLight 0 7\nLightMotion (unnamed)\n";
  appendMotion(out, random, plan.keys);
  if (plan.parent != 0) out += "ParentObject " + std::to_string(plan.parent) + "\n";
  out += "LightColor 255 255 255\nLgtIntensity 1.000000\nLightType 1\nShadowType 1\n\n";
}

const char kHead[] =
    "LWSC\n1\n\nFirstFrame 1\nLastFrame 60\nFrameStep 1\nPreviewFirstFrame 1\nPreviewLastFrame 60\n"
    "PreviewFrameStep 1\nFramesPerSecond 30.000000\n\n";

const char kTail[] =
    "ShowCamera 1 7\nCameraMotion (unnamed)\n  9\n  2\n  0 1.5 -6 0 10 0 1 1 1\n  0 0 0 0 0\n"
    "  2 1.5 -5 15 10 0 1 1 1\n  60 0 0 0 0\nEndBehavior 1\nZoomFactor 3.200000\nResolution 1\n"
    "PixelAspectRatio 0\nSegmentMemory 2200000\nAntialiasing 0\nFilterType 0\nMotionBlur 0\n"
    "DepthOfField 0\n\nSolidBackdrop 1\nBackdropColor 0 0 0\nZenithColor 0 40 80\nSkyColor 120 180 240\n"
    "GroundColor 50 40 30\nNadirColor 100 80 60\nFogType 0\n\nRenderMode 2\nRayTraceEffects 0\n"
    "DataOverlayLabel  \nFullSceneParamEval 0\n\nViewMode 3\nViewAimpoint 0.000000 0.000000 0.000000\n"
    "ViewDirection 0.000000 -0.174533 0.000000\nViewZoomFactor 0.640000\nLayoutGrid 3\nGridSize 0.500000\n"
    "ShowMotionPath 1\nShowSafeAreas 0\nShowBGImage 0\nShowFogRadius 0\nShowRedraw 0\nShowFieldChart 0\n\n";

// The branch's objects as a tree: parent index (-1 for the picked object)
// in creation order, with depth levels of objects below the picked one.
std::vector<int> branchTree(Random& random, int count, int depth) {
  std::vector<int> parent(static_cast<std::size_t>(count), -1);
  std::vector<int> level(static_cast<std::size_t>(count), 0);
  std::vector<int> canHaveChildren{0};
  for (int i = 1; i < count; ++i) {
    int chosen = i <= depth ? i - 1
                            : canHaveChildren[static_cast<std::size_t>(
                                  random.below(static_cast<int>(canHaveChildren.size())))];
    parent[static_cast<std::size_t>(i)] = chosen;
    level[static_cast<std::size_t>(i)] = level[static_cast<std::size_t>(chosen)] + 1;
    if (level[static_cast<std::size_t>(i)] < depth) canHaveChildren.push_back(i);
  }
  return parent;
}

// The tree's indices in depth-first pre-order, children in creation order.
// Lines that appendObject and appendLight write for plan.
int objectLines(const ItemPlan& plan) { return 3 + 2 + 2 * plan.keys + 1 + (plan.parent != 0 ? 1 : 0) + 2; }
int lightLines(const ItemPlan& plan) { return 4 + 2 + 2 * plan.keys + 1 + (plan.parent != 0 ? 1 : 0) + 5; }

std::vector<int> preOrder(const std::vector<int>& parent) {
  std::vector<std::vector<int>> children(parent.size());
  for (std::size_t i = 1; i < parent.size(); ++i)
    children[static_cast<std::size_t>(parent[i])].push_back(static_cast<int>(i));
  std::vector<int> order;
  std::vector<int> stack{0};
  while (!stack.empty()) {
    int item = stack.back();
    stack.pop_back();
    order.push_back(item);
    const std::vector<int>& own = children[static_cast<std::size_t>(item)];
    for (auto child = own.rbegin(); child != own.rend(); ++child) stack.push_back(*child);
  }
  return order;
}

}  // namespace

std::string shapeProblem(const SceneShape& shape) {
  int branchObjects = shape.branchItems - shape.branchLights;
  if (shape.objects < 1) return "a scene needs at least the picked object";
  if (shape.lights < 1) return "a scene needs at least one light";
  if (shape.branchLights < 0 || branchObjects < 1) return "the branch needs the picked object";
  if (branchObjects > shape.objects) return "the branch has more objects than the scene";
  if (shape.branchLights > shape.lights) return "the branch has more lights than the scene";
  if (shape.branchDepth < 0 || shape.branchDepth > branchObjects - 1)
    return "the branch is too small for its depth";
  return std::string();
}

namespace {

ScenePlan planScene(const SceneShape& shape) {
  const int objectCount = shape.objects;
  const int branchObjects = shape.branchItems - shape.branchLights;
  const int background = objectCount - branchObjects;

  // Branch objects take evenly spread object numbers from start on, in
  // pre-order; the other numbers go to background objects.
  Random treeRandom(shape.seed, kTreeStream);
  std::vector<int> tree = branchTree(treeRandom, branchObjects, shape.branchDepth);
  std::vector<int> order = preOrder(tree);
  const int start = 1 + background / 4;
  std::vector<int> numberOf(static_cast<std::size_t>(branchObjects));
  std::vector<int> branchAt(static_cast<std::size_t>(objectCount) + 1, -1);
  for (int k = 0; k < branchObjects; ++k) {
    int number =
        start + static_cast<int>(static_cast<long long>(k) * (objectCount - start + 1) / branchObjects);
    numberOf[static_cast<std::size_t>(order[static_cast<std::size_t>(k)])] = number;
    branchAt[static_cast<std::size_t>(number)] = order[static_cast<std::size_t>(k)];
  }

  ScenePlan scene;
  std::vector<int> backgroundNumbers;
  std::vector<std::string> loadedFiles;
  for (int number = 1; number <= objectCount; ++number) {
    Random random(shape.seed, kObjectStreams + static_cast<std::uint64_t>(number));
    ItemPlan plan;
    plan.stream = kObjectStreams + static_cast<std::uint64_t>(number);
    plan.keys = 2 + random.below(5);
    int branchIndex = branchAt[static_cast<std::size_t>(number)];
    if (branchIndex == 0) {
      scene.pickedObject = number;
      scene.pickedFileName = "Objects/Rig/Picked_Root.lwo";
      plan.firstLine = "LoadObject " + scene.pickedFileName;
      plan.parent = backgroundNumbers.empty() ? 0 : backgroundNumbers.front();
    } else if (branchIndex > 0) {
      plan.firstLine = branchIndex % 5 == 0
                           ? "AddNullObject Rig_Null_" + std::to_string(branchIndex)
                           : "LoadObject Objects/Rig/Part_" + std::to_string(branchIndex) + ".lwo";
      plan.parent = numberOf[static_cast<std::size_t>(tree[static_cast<std::size_t>(branchIndex)])];
    } else {
      if (number == 1) {
        plan.firstLine = "AddNullObject Scene_Root";
      } else if (random.below(8) == 0) {
        plan.firstLine = "AddNullObject Null_" + std::to_string(number);
      } else if (!loadedFiles.empty() && random.below(6) == 0) {
        // The same file loaded again, as Layout saves a cloned object.
        plan.firstLine =
            "LoadObject " +
            loadedFiles[static_cast<std::size_t>(random.below(static_cast<int>(loadedFiles.size())))];
      } else {
        loadedFiles.push_back("Objects/Set/Prop_" + std::to_string(number) + ".lwo");
        plan.firstLine = "LoadObject " + loadedFiles.back();
      }
      if (!backgroundNumbers.empty() && random.chance(60)) {
        plan.parent = backgroundNumbers[static_cast<std::size_t>(
            random.below(static_cast<int>(backgroundNumbers.size())))];
      }
      backgroundNumbers.push_back(number);
    }
    scene.objects.push_back(std::move(plan));
  }

  // Branch lights hang on branch objects and are spread over the section.
  std::vector<bool> inBranch(static_cast<std::size_t>(shape.lights), false);
  for (int j = 0; j < shape.branchLights; ++j) {
    inBranch[static_cast<std::size_t>(static_cast<long long>(j) * shape.lights / shape.branchLights)] = true;
  }
  for (int j = 0; j < shape.lights; ++j) {
    Random random(shape.seed, kLightStreams + static_cast<std::uint64_t>(j));
    ItemPlan plan;
    plan.stream = kLightStreams + static_cast<std::uint64_t>(j);
    plan.keys = 2 + random.below(5);
    plan.firstLine = "Light_" + std::to_string(j + 1);
    if (inBranch[static_cast<std::size_t>(j)]) {
      plan.parent = numberOf[static_cast<std::size_t>(random.below(branchObjects))];
    } else if (!backgroundNumbers.empty() && random.chance(50)) {
      plan.parent = backgroundNumbers[static_cast<std::size_t>(
          random.below(static_cast<int>(backgroundNumbers.size())))];
    }
    scene.lights.push_back(std::move(plan));
  }

  // A copy of this object alone costs what any run costs beyond its branch.
  std::vector<bool> isParent(static_cast<std::size_t>(objectCount) + 1, false);
  for (const ItemPlan& object : scene.objects) isParent[static_cast<std::size_t>(object.parent)] = true;
  for (const ItemPlan& light : scene.lights) isParent[static_cast<std::size_t>(light.parent)] = true;
  for (int number = objectCount; number >= 1 && scene.childlessObject == 0; --number) {
    if (branchAt[static_cast<std::size_t>(number)] < 0 && !isParent[static_cast<std::size_t>(number)]) {
      scene.childlessObject = number;
    }
  }
  return scene;
}

int countLines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

int planLines(const ScenePlan& plan) {
  int lines = countLines(kHead) + 3 + countLines(kTail);
  for (const ItemPlan& object : plan.objects) lines += objectLines(object);
  for (const ItemPlan& light : plan.lights) lines += lightLines(light);
  return lines;
}

}  // namespace

GeneratedScene generateScene(const SceneShape& shape) {
  ScenePlan plan = planScene(shape);
  GeneratedScene scene;
  scene.pickedObject = plan.pickedObject;
  scene.pickedFileName = plan.pickedFileName;
  scene.childlessObject = plan.childlessObject;
  std::string& out = scene.text;
  out += kHead;
  for (const ItemPlan& object : plan.objects) appendObject(out, shape.seed, object);
  out += "AmbientColor 255 255 255\nAmbIntensity 0.250000\n\n";
  for (const ItemPlan& light : plan.lights) appendLight(out, shape.seed, light);
  out += kTail;
  scene.lines = countLines(out);
  return scene;
}

std::optional<SceneShape> shapeForLines(int lines, int branchItems, int branchDepth, std::uint32_t seed) {
  SceneShape shape;
  shape.branchItems = branchItems;
  shape.branchLights = branchItems / 10;
  shape.branchDepth = branchDepth;
  shape.seed = seed;
  // About seventeen lines per block; settle the count on the planned length,
  // by whole blocks and then one block at a time.
  constexpr int kBlockLines = 17;
  int items = std::max(2, lines / kBlockLines);
  for (int attempt = 0; attempt < 64; ++attempt) {
    shape.lights = std::max(shape.branchLights + 1, items / 12);
    shape.objects = std::max(1, items - shape.lights);
    if (!shapeProblem(shape).empty()) return std::nullopt;
    int error = lines - planLines(planScene(shape));
    if (std::abs(error) < kBlockLines) return shape;
    int step = error / kBlockLines;
    items += step != 0 ? step : (error > 0 ? 1 : -1);
    if (items < 2) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace graftling::bench
