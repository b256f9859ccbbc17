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
  // Neighbouring streams give the same sequence one draw apart; the layout
  // options take their streams through here, which sets them far apart.
  static Random scattered(std::uint32_t seed, std::uint64_t stream) {
    Random mixer(0, 0);
    mixer.state_ = stream;
    return Random(seed, mixer.next());
  }
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
// The layout options draw from streams of their own, so that they leave the
// tree and the motions as they are.
constexpr std::uint64_t kTreeStream = 1;
constexpr std::uint64_t kObjectStreams = 1u << 20;
constexpr std::uint64_t kLightStreams = 1u << 30;
constexpr std::uint64_t kReferenceStreams = std::uint64_t{1} << 40;
constexpr std::uint64_t kLayoutStreams = std::uint64_t{1} << 41;
constexpr std::uint64_t kEnvelopeStreams = std::uint64_t{1} << 42;
// Offsets in the option streams: objects by number, lights by index.
constexpr std::uint64_t kLightOffset = 1u << 30;
constexpr std::uint64_t kAmbientStream = kEnvelopeStreams - 1;
constexpr std::uint64_t kCameraStream = kEnvelopeStreams - 2;

struct ItemPlan {
  std::string firstLine;  // "LoadObject ...", "AddNullObject ..." or the light's name
  int parent = 0;         // object number, 0 for none
  int keys = 1;
  std::uint64_t stream = 0;  // the generator stream of its key values
  std::uint64_t envelopeStream = 0;
  int goal = 0;           // "GoalObject" value of an object, 0 for none
  int morph = 0;          // "MorphTarget" value of an object, 0 for none
  int target = 0;         // "TargetObject" value of a light, 0 for none
  bool animated = false;  // ObjDissolve of an object, LgtIntensity of a light as an envelope
  bool flare = false;     // a light's lens flare, its FlareIntensity an envelope
  bool distant = false;   // a format-2 light run by the DistantLight handler
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

// The line that closes a motion: format 1 ends it as an envelope, format 2
// gives the behaviour before and after the keys of each channel.
const char* motionEnd(int format) {
  return format == 2 ? "Pre/PostBehavior 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1\n" : "EndBehavior 1\n";
}

// "  9", the key count, then two lines per key: the nine channel values and
// the frame with its spline settings.
void appendMotion(std::string& out, Random& random, int keys, int format) {
  out += "  9\n  " + std::to_string(keys) + "\n";
  for (int key = 0; key < keys; ++key) {
    out += "  " + value(random, 5) + " " + value(random, 5) + " " + value(random, 5) + " " +
           value(random, 180) + " " + value(random, 90) + " 0 1 1 1\n";
    out += "  " + std::to_string(key * 15) + " 0 0 0 0\n";
  }
  out += motionEnd(format);
}

// hundredths as Layout writes an envelope's value: "1", "0.5", "0.15".
std::string hundredths(int value) {
  char text[32];
  if (value % 100 == 0) {
    std::snprintf(text, sizeof text, "%d", value / 100);
  } else if (value % 10 == 0) {
    std::snprintf(text, sizeof text, "%d.%d", value / 100, value % 100 / 10);
  } else {
    std::snprintf(text, sizeof text, "%d.%02d", value / 100, value % 100);
  }
  return text;
}

// "keyword (envelope)", then one channel, the key count and two lines per key
// (the value, from low to high hundredths, and the frame with its spline
// settings), closed by "EndBehavior 1".
void appendEnvelope(std::string& out, const char* keyword, std::uint32_t seed, std::uint64_t stream, int low,
                    int high) {
  Random random = Random::scattered(seed, stream);
  int keys = 2 + random.below(3);
  out += std::string(keyword) + " (envelope)\n  1\n  " + std::to_string(keys) + "\n";
  for (int key = 0; key < keys; ++key) {
    out += "  " + hundredths(low + random.below(high - low + 1)) + "\n";
    out += "  " + std::to_string(key * 20) + " 0 0 0 0\n";
  }
  out += "EndBehavior 1\n";
}

void appendObject(std::string& out, const SceneShape& shape, const ItemPlan& plan) {
  Random random(shape.seed, plan.stream);
  out += plan.firstLine + "\nShowObject 8 7\nObjectMotion (unnamed)\n";
  appendMotion(out, random, plan.keys, shape.format);
  if (plan.parent != 0) out += "ParentObject " + std::to_string(plan.parent) + "\n";
  if (plan.goal != 0)
    out += "GoalObject " + std::to_string(plan.goal) + "\nGoalStrength 1\nGoalObjective 0\n";
  if (plan.morph != 0) {
    out += "MorphTarget " + std::to_string(plan.morph) + "\n";
    if (shape.envelopes) {
      appendEnvelope(out, "Metamorph", shape.seed, plan.envelopeStream + 1, 0, 100);
    } else {
      out += "Metamorph 0.500000\n";
    }
    out += "MorphSurfaces 1\n";
  }
  if (plan.animated) appendEnvelope(out, "ObjDissolve", shape.seed, plan.envelopeStream, 0, 100);
  if (shape.format == 1) out += "ShadowOptions 7\n\n";
}

void appendLight(std::string& out, const SceneShape& shape, const ItemPlan& plan) {
  Random random(shape.seed, plan.stream);
  out += "AddLight\nLightName " + plan.firstLine + "\nShowLight 0 7\nLightMotion (unnamed)\n";
  appendMotion(out, random, plan.keys, shape.format);
  if (plan.parent != 0) out += "ParentObject " + std::to_string(plan.parent) + "\n";
  if (plan.target != 0) out += "TargetObject " + std::to_string(plan.target) + "\n";
  out += "LightColor 255 255 255\n";
  if (plan.animated) {
    appendEnvelope(out, "LgtIntensity", shape.seed, plan.envelopeStream, 20, 150);
  } else {
    out += "LgtIntensity 1.000000\n";
  }
  if (plan.flare) {
    out += "LensFlare 1\n";
    appendEnvelope(out, "FlareIntensity", shape.seed, plan.envelopeStream + 1, 0, 100);
    out += "FlareDissolve 0.000000\nLensFlareOptions 7\n";
  }
  out += plan.distant ? "LightType 0\n" : "LightType 1\n";
  if (shape.olderLights) {
    out += "ShadowCasting 1\n\n";
  } else if (shape.format == 2) {
    out += "ShadowType 1\nShadowColor 0 0 0\n";
    if (plan.distant) out += "Plugin LightHandler 1 DistantLight\nEndPlugin\n";
    out += "\n";
  } else {
    out += "ShadowType 1\n\n";
  }
}

// The head after "LWSC" and the format line.
const char kHead[] =
    "\nFirstFrame 1\nLastFrame 60\nFrameStep 1\nPreviewFirstFrame 1\nPreviewLastFrame 60\n"
    "PreviewFrameStep 1\nFramesPerSecond 30.000000\n\n";

const char kCameraKeys[] =
    "  9\n  2\n  0 1.5 -6 0 10 0 1 1 1\n  0 0 0 0 0\n  2 1.5 -5 15 10 0 1 1 1\n  60 0 0 0 0\n";

// The camera's lines after its zoom, and the sections after the camera.
const char kTail[] =
    "Resolution 1\n"
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

// Lines that appendObject and appendLight write for plan with every layout
// option off.
int objectLines(const ItemPlan& plan) { return 3 + 2 + 2 * plan.keys + 1 + (plan.parent != 0 ? 1 : 0) + 2; }
int lightLines(const ItemPlan& plan) { return 4 + 2 + 2 * plan.keys + 1 + (plan.parent != 0 ? 1 : 0) + 5; }

// The tree's indices in depth-first pre-order, children in creation order.
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
  if (shape.format != 1 && shape.format != 2) return "the format is 1 or 2";
  if (shape.olderLights && shape.format != 1) return "older lights are a format-1 layout";
  return std::string();
}

namespace {

// An object number for a reference from item self (0 for a light): half of
// them name a branch object, the others any object. 0 when every draw named
// the item itself.
int referenceFor(Random& random, int self, const std::vector<int>& branchNumbers, int objectCount) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    int number =
        random.chance(50)
            ? branchNumbers[static_cast<std::size_t>(random.below(static_cast<int>(branchNumbers.size())))]
            : 1 + random.below(objectCount);
    if (number != self) return number;
  }
  return 0;
}

// Sets the plans' envelopes, format-2 handlers and references from their own
// streams, after the tree has been planned.
void planOptions(const SceneShape& shape, ScenePlan& scene, const std::vector<int>& branchNumbers,
                 const std::vector<int>& backgroundNumbers) {
  const int objectCount = static_cast<int>(scene.objects.size());
  for (int number = 1; number <= objectCount; ++number) {
    ItemPlan& plan = scene.objects[static_cast<std::size_t>(number) - 1];
    plan.envelopeStream = kEnvelopeStreams + 2 * static_cast<std::uint64_t>(number);
    Random envelopes = Random::scattered(shape.seed, kLayoutStreams + static_cast<std::uint64_t>(number));
    plan.animated = shape.envelopes && (number == objectCount || envelopes.chance(30));
    if (!shape.references) continue;
    Random references = Random::scattered(shape.seed, kReferenceStreams + static_cast<std::uint64_t>(number));
    if (number == scene.pickedObject) {
      // The root's goal is the branch's last object; it morphs into the last object outside.
      plan.goal = branchNumbers.back() != number ? branchNumbers.back() : 0;
      plan.morph = backgroundNumbers.empty() ? 0 : backgroundNumbers.back();
      continue;
    }
    if (references.chance(25)) plan.goal = referenceFor(references, number, branchNumbers, objectCount);
    if (references.chance(20)) plan.morph = referenceFor(references, number, branchNumbers, objectCount);
  }
  for (std::size_t j = 0; j < scene.lights.size(); ++j) {
    ItemPlan& plan = scene.lights[j];
    plan.envelopeStream = kEnvelopeStreams + 2 * (kLightOffset + j);
    Random layout = Random::scattered(shape.seed, kLayoutStreams + kLightOffset + j);
    plan.animated = shape.envelopes && (j + 1 == scene.lights.size() || layout.chance(50));
    plan.flare = shape.envelopes && (j == 0 || layout.chance(25));
    plan.distant = shape.format == 2 && layout.chance(30);
    if (!shape.references) continue;
    Random references = Random::scattered(shape.seed, kReferenceStreams + kLightOffset + j);
    if (references.chance(40)) plan.target = referenceFor(references, 0, branchNumbers, objectCount);
  }
}

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

  std::vector<int> branchNumbers = numberOf;
  std::sort(branchNumbers.begin(), branchNumbers.end());
  planOptions(shape, scene, branchNumbers, backgroundNumbers);

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
  int lines = 2 + countLines(kHead) + 3 + 2 + countLines(kCameraKeys) + 2 + countLines(kTail);
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
  out += "LWSC\n" + std::to_string(shape.format) + "\n";
  out += kHead;
  for (const ItemPlan& object : plan.objects) appendObject(out, shape, object);
  out += "AmbientColor 255 255 255\n";
  if (shape.envelopes) {
    appendEnvelope(out, "AmbIntensity", shape.seed, kAmbientStream, 10, 50);
  } else {
    out += "AmbIntensity 0.250000\n";
  }
  if (shape.format == 2) out += "DoubleSidedAreaLights 1\n";
  out += "\n";
  if (shape.olderLights) {
    bool flares = std::any_of(plan.lights.begin(), plan.lights.end(),
                              [](const ItemPlan& light) { return light.flare; });
    out += flares ? "EnableShadowMaps 0\nEnableLensFlare 1\n" : "EnableShadowMaps 0\nEnableLensFlare 0\n";
  }
  for (const ItemPlan& light : plan.lights) appendLight(out, shape, light);
  if (shape.format == 2) out += "AddCamera\nCameraName Camera\n";
  out += "ShowCamera 1 7\nCameraMotion (unnamed)\n";
  out += kCameraKeys;
  out += motionEnd(shape.format);
  if (shape.envelopes) {
    appendEnvelope(out, "ZoomFactor", shape.seed, kCameraStream, 200, 500);
  } else {
    out += "ZoomFactor 3.200000\n";
  }
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
