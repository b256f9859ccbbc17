#include "bench/scene_generator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
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
// Format 3's own options, objects by number and lights by index as above:
// which objects have bones and how they lie, which items hang on a bone,
// what objects exclude, which handlers keep data; the cameras' keys.
constexpr std::uint64_t kRigStreams = std::uint64_t{1} << 43;
constexpr std::uint64_t kHangStreams = std::uint64_t{1} << 44;
constexpr std::uint64_t kExcludeStreams = std::uint64_t{1} << 45;
constexpr std::uint64_t kPluginStreams = std::uint64_t{1} << 46;
constexpr std::uint64_t kCameraStreams = std::uint64_t{1} << 47;
// Formats 5 and 8: the identifiers of objects and lights, and whose bones
// objects use.
constexpr std::uint64_t kIdentifierStreams = std::uint64_t{1} << 48;
constexpr std::uint64_t kBoneSourceStreams = std::uint64_t{1} << 49;

// A bone of an object of format 3 or later.
struct BonePlan {
  std::string name;
  int parent = -1;    // an earlier bone of the object, -1 for the object itself
  int goal = 0;       // "GoalObject" value (object number), 0 for a bone IK does not solve
  int length = 0;     // rest length in hundredths
  std::string pitch;  // its rest pitch
};

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
  bool distant = false;   // a light of format 2 or later run by the DistantLight handler
  // Format 3 and later alone:
  int layer = 1;                        // an object's "LoadObjectLayer" layer: 2 for a file loaded again
  int parentBone = -1;                  // the bone of the parent object it hangs on, -1 for none
  std::vector<BonePlan> bones;          // an object's bones
  std::vector<std::uint32_t> excludes;  // an object's "ExcludeLight" identifiers
  bool pluginData = false;              // a handler's body that reads like scene lines
  int useBonesFrom = 0;  // formats 5 and 8: an object's "UseBonesFrom" object number, 0 for none
};

// Identifiers as format 3 and later name items: the kind's digit, then in
// format 3 the index of an object, light or camera in 7 digits; a bone's
// index within its object in 3 digits and its object's last 4 digits. From
// format 5 on, objects and lights take those laterIdentifiers gives.
struct Identifiers {
  std::vector<std::uint32_t> objects;  // index = object number - 1
  std::vector<std::uint32_t> lights;   // index = light index
  std::uint32_t object(int number) const { return objects[static_cast<std::size_t>(number) - 1]; }
  std::uint32_t light(int index) const { return lights[static_cast<std::size_t>(index)]; }
  std::uint32_t bone(int bone, int number) const {
    return 0x40000000u + (static_cast<std::uint32_t>(bone) << 16) + (object(number) & 0xffffu);
  }
};

// Every item of a scene, in file order, before it is written out.
struct ScenePlan {
  std::vector<ItemPlan> objects;  // index = object number - 1
  std::vector<ItemPlan> lights;
  int pickedObject = 0;
  std::string pickedFileName;
  int childlessObject = 0;
  std::vector<std::uint32_t> cameraParents;  // format 3 and later: each camera's "ParentItem", 0 for none
  Identifiers ids;                           // format 3 and later
};

int countLines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

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

// Format 3 and later ---------------------------------------------------------

constexpr std::uint32_t kFirstObject = 0x10000000u;
constexpr std::uint32_t kFirstLight = 0x20000000u;
constexpr std::uint32_t kFirstCamera = 0x30000000u;
constexpr std::uint32_t kRadiosity = 0x21000000u;  // an "ExcludeLight" value that names no light

// Formats 5 and 8: item lines carry identifiers, every reference names one,
// and items and the scene-level group have lines of their own.
bool spellsIdentifiers(const SceneShape& shape) { return shape.format >= 5; }

// Identifiers from format 5 on, from first on: mostly in file order, but
// some are skipped, as if their items had been deleted, and some items take
// a later one, as if reusing a deleted item's; the second item always does.
std::vector<std::uint32_t> laterIdentifiers(std::uint32_t first, int count, std::uint32_t seed,
                                            std::uint64_t streams) {
  std::vector<std::uint32_t> ids;
  std::set<std::uint32_t> taken;  // later ones given ahead of their turn
  std::uint32_t next = first;
  auto passTaken = [&] {
    while (taken.count(next) != 0) ++next;
  };
  for (int k = 0; k < count; ++k) {
    Random random = Random::scattered(seed, streams + static_cast<std::uint64_t>(k));
    passTaken();
    if (random.chance(8)) next += 1 + static_cast<std::uint32_t>(random.below(3));
    passTaken();
    if (k == 1 || random.chance(5)) {
      std::uint32_t later = next + 2 + static_cast<std::uint32_t>(random.below(6));
      while (taken.count(later) != 0) ++later;
      taken.insert(later);
      ids.push_back(later);
    } else {
      ids.push_back(next++);
    }
  }
  return ids;
}

// The identifiers of the shape's objects and lights: by position in format
// 3, from laterIdentifiers from format 5 on.
Identifiers identifiersOf(const SceneShape& shape) {
  Identifiers ids;
  if (spellsIdentifiers(shape)) {
    ids.objects = laterIdentifiers(kFirstObject, shape.objects, shape.seed, kIdentifierStreams);
    ids.lights = laterIdentifiers(kFirstLight, shape.lights, shape.seed, kIdentifierStreams + kLightOffset);
    return ids;
  }
  for (int i = 0; i < shape.objects; ++i) ids.objects.push_back(kFirstObject + static_cast<std::uint32_t>(i));
  for (int j = 0; j < shape.lights; ++j) ids.lights.push_back(kFirstLight + static_cast<std::uint32_t>(j));
  return ids;
}

std::string identifier(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(id));
  return text;
}

// The "ParentItem" value of an item with a parent object.
std::uint32_t parentId(const ScenePlan& scene, const ItemPlan& plan) {
  return plan.parentBone < 0 ? scene.ids.object(plan.parent) : scene.ids.bone(plan.parentBone, plan.parent);
}

// How "GoalObject", "MorphTarget" and "UseBonesFrom" name object number:
// by number in format 3, by identifier from format 5 on.
std::string objectValue(const SceneShape& shape, const ScenePlan& scene, int number) {
  return spellsIdentifiers(shape) ? identifier(scene.ids.object(number)) : std::to_string(number);
}

// An item line: its keyword, from format 5 on its identifier, then rest.
std::string itemLine(const SceneShape& shape, const std::string& keyword, std::uint32_t id,
                     const std::string& rest = std::string()) {
  std::string line = keyword;
  if (spellsIdentifiers(shape)) line += " " + identifier(id);
  return rest.empty() ? line : line + " " + rest;
}

// From format 5 on, an item's own lines after its motion begin with these,
// a blank line among them.
const char kItemBlend[] =
    "CtrlPosItemBlend 1\nCtrlRotItemBlend 1\nCtrlScaleItemBlend 1\n\nPathAlignLookAhead 0.033\n"
    "PathAlignMaxLookSteps 10\nPathAlignReliableDist 0.001\n";

void appendItemBlend(std::string& out, const SceneShape& shape) {
  if (spellsIdentifiers(shape)) out += kItemBlend;
}

// "{ Envelope", the key count, a "Key" line per value (half a second apart,
// its spline settings zero) and the behaviours before and after the keys, "}".
void appendEnvelopeBlock(std::string& out, const std::vector<std::string>& values) {
  out += "{ Envelope\n  " + std::to_string(values.size()) + "\n";
  for (std::size_t key = 0; key < values.size(); ++key) {
    out += "  Key " + values[key] + " " + hundredths(50 * static_cast<int>(key)) + " 0 0 0 0 0 0 0\n";
  }
  out += "  Behaviors 1 1\n}\n";
}

// keyword ("ObjectMotion", ...), its nine channels, each "Channel k" and its
// envelope, and the blank line that always follows a motion.
void appendChannels(std::string& out, const char* keyword, const std::vector<std::string> (&channels)[9]) {
  out += std::string(keyword) + "\nNumChannels 9\n";
  for (int channel = 0; channel < 9; ++channel) {
    out += "Channel " + std::to_string(channel) + "\n";
    appendEnvelopeBlock(out, channels[channel]);
  }
  out += "\n";
}

// A motion of keys keys per channel: position, heading and pitch drawn, bank
// 0, scale 1.
void appendMotion3(std::string& out, const char* keyword, Random& random, int keys) {
  std::vector<std::string> channels[9];
  for (int key = 0; key < keys; ++key) {
    for (int channel = 0; channel < 3; ++channel) channels[channel].push_back(value(random, 5));
    channels[3].push_back(value(random, 3));
    channels[4].push_back(value(random, 1));
    channels[5].push_back("0");
    for (int channel = 6; channel < 9; ++channel) channels[channel].push_back("1");
  }
  appendChannels(out, keyword, channels);
}

// "keyword (envelope)" and its block: 2 to 4 keys from low to high hundredths.
void appendEnvelope3(std::string& out, const char* keyword, std::uint32_t seed, std::uint64_t stream, int low,
                     int high) {
  Random random = Random::scattered(seed, stream);
  std::vector<std::string> values(static_cast<std::size_t>(2 + random.below(3)));
  for (std::string& text : values) text = hundredths(low + random.below(high - low + 1));
  out += std::string(keyword) + " (envelope)\n";
  appendEnvelopeBlock(out, values);
}

// A handler's data as handlers keep theirs, in a notation of its own: among
// its values, a quoted identifier in decimal, lines that read like the
// scene's own (lookalikes: item lines, reference lines), a brace block and a
// blank line. Only "EndPlugin" ends it.
void appendPluginBody(std::string& out, const std::string& opening, const std::string& name,
                      std::uint32_t named, const std::vector<std::string>& lookalikes) {
  out += opening + "\nVERSION 1.5\n# links kept by the handler\n\"" + std::to_string(named) +
         "  1\"\nBEGIN Links\n  Name " + name + "\n  ParentItem " + identifier(named) + "\nEND Links\n";
  for (const std::string& line : lookalikes) out += line + "\n";
  out += "{ Pose\n  ParentItem " + identifier(named) + "\n  { Keys\n    AddBone\n  }\n}\n\nEndPlugin\n";
}

// The item line of an object: a loaded file by its layer, or a null.
std::string objectLine3(const SceneShape& shape, const ItemPlan& plan, std::uint32_t id) {
  const std::string loaded = "LoadObject ", null = "AddNullObject ";
  if (plan.firstLine.rfind(loaded, 0) == 0) {
    return itemLine(shape, "LoadObjectLayer " + std::to_string(plan.layer), id,
                    plan.firstLine.substr(loaded.size()));
  }
  return itemLine(shape, "AddNullObject", id, plan.firstLine.substr(null.size()));
}

// A bone from "AddBone" through its parent and IK lines; bone motions hold
// their rest position.
void appendBone(std::string& out, const SceneShape& shape, const ScenePlan& scene, const BonePlan& bone,
                int index, int number) {
  const std::string length = hundredths(bone.length);
  out += itemLine(shape, "AddBone", scene.ids.bone(index, number)) + "\nBoneName " + bone.name +
         "\nShowBone 1 1\nBoneRestPosition 0 " + length + " 0\nBoneRestDirection 0 " + bone.pitch +
         " 0\nBoneRestLength " + length + "\nBoneStrength 1\nScaleBoneStrength 1\n";
  std::vector<std::string> channels[9] = {{"0"}, {length}, {"0"}, {"0"}, {bone.pitch},
                                          {"0"}, {"1"},    {"1"}, {"1"}};
  appendChannels(out, "BoneMotion", channels);
  out += "LockedChannels 448\n";
  appendItemBlend(out, shape);
  out += "PivotRotation 0 0 0\nParentItem " +
         identifier(bone.parent < 0 ? scene.ids.object(number) : scene.ids.bone(bone.parent, number)) + "\n";
  if (bone.goal != 0) {
    out += "GoalObject " + objectValue(shape, scene, bone.goal) + "\nFullTimeIK 1\nGoalStrength 25\n";
  }
}

// Format 8's last object ends with a primitive handler's body.
const char kPrimitiveBody[] =
    "Plugin PrimitiveHandler 1 Instancer\n  Version 3\n  Generator \"Surface\"\n  Count 0\nEndPlugin\n";

void appendObject3(std::string& out, const SceneShape& shape, const ScenePlan& scene, int number) {
  const ItemPlan& plan = scene.objects[static_cast<std::size_t>(number) - 1];
  Random random(shape.seed, plan.stream);
  const std::uint32_t self = scene.ids.object(number);
  out += "\n" + objectLine3(shape, plan, self) + "\nShowObject 6 10\n";
  appendMotion3(out, "ObjectMotion", random, plan.keys);
  appendItemBlend(out, shape);
  if (plan.animated) appendEnvelope3(out, "ObjectDissolve", shape.seed, plan.envelopeStream, 0, 100);
  if (plan.pluginData) {
    // Its own identifier in reference lines, as if it were its own parent.
    std::string own = objectValue(shape, scene, number);
    appendPluginBody(
        out, "Plugin CustomObjHandler 1 RigNotes", "Object_" + std::to_string(number), self,
        {"ParentItem " + identifier(self), "TargetItem " + identifier(scene.ids.object(scene.pickedObject)),
         "GoalObject " + own, "MorphTarget " + own, "ExcludeLight " + identifier(scene.ids.light(0)),
         itemLine(shape, "AddNullObject", self, "Notes"),
         itemLine(shape, "AddBone", scene.ids.bone(0, number))});
  }
  if (plan.parent != 0) out += "ParentItem " + identifier(parentId(scene, plan)) + "\n";
  if (plan.goal != 0) out += "GoalObject " + objectValue(shape, scene, plan.goal) + "\nGoalStrength 1\n";
  if (plan.morph != 0) {
    out += "MorphTarget " + objectValue(shape, scene, plan.morph) + "\n";
    if (shape.envelopes) {
      appendEnvelope3(out, "MorphAmount", shape.seed, plan.envelopeStream + 1, 0, 100);
    } else {
      out += "MorphAmount 0.5\n";
    }
    out += "MorphSurfaces 1\n";
  }
  if (plan.useBonesFrom != 0) out += "UseBonesFrom " + objectValue(shape, scene, plan.useBonesFrom) + "\n";
  if (!plan.bones.empty()) {
    out += "SubdivisionOrder 2\nBoneFalloffType 6\nFasterBones 1\n";
    for (std::size_t bone = 0; bone < plan.bones.size(); ++bone) {
      appendBone(out, shape, scene, plan.bones[bone], static_cast<int>(bone), number);
    }
  }
  out += "ShadowOptions 7\n";
  for (std::uint32_t light : plan.excludes) out += "ExcludeLight " + identifier(light) + "\n";
  if (shape.format == 8 && number == static_cast<int>(scene.objects.size())) out += kPrimitiveBody;
}

// From format 5 on every light is run by the distant light handler, its body
// a line of its own.
const char kDistantBody[] = "AngularDiameter 0.5\n";

void appendLight3(std::string& out, const SceneShape& shape, const ScenePlan& scene, int index) {
  const ItemPlan& plan = scene.lights[static_cast<std::size_t>(index)];
  Random random(shape.seed, plan.stream);
  const std::uint32_t self = scene.ids.light(index);
  out += "\n" + itemLine(shape, "AddLight", self) + "\nLightName " + plan.firstLine + "\nShowLight 0 7\n";
  appendMotion3(out, "LightMotion", random, plan.keys);
  appendItemBlend(out, shape);
  if (plan.parent != 0) out += "ParentItem " + identifier(parentId(scene, plan)) + "\n";
  if (plan.target != 0) out += "TargetItem " + identifier(scene.ids.object(plan.target)) + "\n";
  out += "LightColor 1 1 1\n";
  if (plan.animated) {
    appendEnvelope3(out, "LightIntensity", shape.seed, plan.envelopeStream, 20, 150);
  } else {
    out += "LightIntensity 1\n";
  }
  out += "AffectCaustics 1\n";
  if (plan.flare) {
    out += "LensFlare 1\n";
    appendEnvelope3(out, "FlareIntensity", shape.seed, plan.envelopeStream + 1, 0, 100);
    out += "FlareDissolve 0\nLensFlareOptions 7\n";
  }
  out += "ShadowType 1\nShadowColor 0 0 0\n";
  const std::string handler =
      std::string("Plugin LightHandler 1 ") + (plan.distant ? "DistantLight" : "PointLight");
  if (plan.pluginData) {
    appendPluginBody(out, handler, plan.firstLine, self,
                     {itemLine(shape, "AddLight", self), "LightName Decoy", "ParentItem " + identifier(self),
                      "TargetItem " + identifier(scene.ids.object(scene.pickedObject)),
                      itemLine(shape, "AddCamera", kFirstCamera)});
  } else {
    out += handler + "\n" + (spellsIdentifiers(shape) ? kDistantBody : "") + "EndPlugin\n";
  }
}

// A camera, its motion from a stream of its own; the first one's zoom may be
// an envelope.
void appendCamera3(std::string& out, const SceneShape& shape, int index, std::uint32_t parent,
                   std::uint32_t target) {
  Random random(shape.seed, kCameraStreams + static_cast<std::uint64_t>(index));
  out += "\n" + itemLine(shape, "AddCamera", kFirstCamera + static_cast<std::uint32_t>(index)) +
         "\nCameraName " + (index == 0 ? std::string("Camera") : "Camera_" + std::to_string(index + 1)) +
         "\nShowCamera 1 7\n";
  appendMotion3(out, "CameraMotion", random, 2);
  appendItemBlend(out, shape);
  if (parent != 0) out += "ParentItem " + identifier(parent) + "\n";
  if (target != 0) out += "TargetItem " + identifier(target) + "\n";
  if (shape.envelopes && index == 0) {
    appendEnvelope3(out, "ZoomFactor", shape.seed, kCameraStream, 200, 500);
  } else {
    out += "ZoomFactor 3.2\n";
  }
  out +=
      "ResolutionMultiplier 1\nFrameSize 640 480\nPixelAspect 1\nMaskPosition 0 0 640 480\nMotionBlur 0\n"
      "FieldRendering 0\nApertureHeight 0.015\nPlugin CameraHandler 1 Perspective\nEndPlugin\n";
}

// The head after "LWSC" and the format line, up to the blank line before the
// first object; format 8 adds its buffers.
const char kHead3[] =
    "\nFirstFrame 1\nLastFrame 60\nFrameStep 1\nPreviewFirstFrame 1\nPreviewLastFrame 60\n"
    "PreviewFrameStep 1\nCurrentFrame 1\nFramesPerSecond 30\n";
const char kBufferList[] =
    "BufferList\n  Buffer 1 \"Final Render\"\n  Buffer 2 \"Alpha\"\n  Buffer 3 \"Depth\"\nEndAttribute\n";

// The scene-level group from format 5 on, after its global light intensity.
const char kGroupRest[] =
    "GlobalLensFlareIntensity 1\nEnableLensFlares 1\nEnableShadowMaps 1\nDoubleSidedAreaLights 1\n"
    "EnableRadiosity 0\nRadiosityType 2\nRadiosityInterpolated 1\nRadiosityTransparency 0\n"
    "RadiosityIntensity 1\nRadiosityTolerance 0.2928932\nRadiosityRays 64\nSecondaryBounceRays 16\n"
    "RadiosityMinPixelSpacing 4\nRadiosityMaxPixelSpacing 100\nRadiosityMultiplier 1\nEnableCaustics 0\n"
    "CausticsIntensity 1\nCausticsAccuracy 100\nCausticsSoftness 20\n";

// The scene-level group, with no blank line: the ambient lines, but in
// format 8, which begins with the mipmap multiplier; the global light
// intensity, an envelope or (from format 5 on) a line; the rest from format 5 on.
void appendGroup(std::string& out, const SceneShape& shape) {
  out += shape.format == 8 ? "GlobalMipmapMultiplier 1\n" : "AmbientColor 1 1 1\nAmbientIntensity 0.25\n";
  if (shape.envelopes) {
    appendEnvelope3(out, "GlobalLightIntensity", shape.seed, kAmbientStream, 50, 150);
  } else if (spellsIdentifiers(shape)) {
    out += "GlobalLightIntensity 1\n";
  }
  if (spellsIdentifiers(shape)) out += kGroupRest;
}

// What runs on after the last camera's own lines: render settings, display
// settings and the graph editor's data.
const char kTail3[] =
    "AntiAliasing 0\nAdaptiveSampling 1\nAdaptiveThreshold 0.1\nFilterType 0\nDepthOfField 0\n\n"
    "SolidBackdrop 1\nBackdropColor 0 0 0\nZenithColor 0 0.1568627 0.3137255\nSkyColor 0.4705882 0.7058824 "
    "0.9411765\nGroundColor 0.1960784 0.1568627 0.1176471\nNadirColor 0.3921569 0.3137255 0.2352941\n"
    "FogType 0\nDitherIntensity 1\nAnimatedDither 0\n\nRenderMode 2\nRayTraceEffects 0\nDataOverlayLabel  \n"
    "SaveRGB 0\nSaveAlpha 0\n\nViewConfiguration 0\nDefineView 0\nViewType 9\nViewAimpoint 0 0 0\n"
    "ViewRotation 0 0 0\nViewZoomFactor 2\n\nGridNumber 40\nGridSize 0.5\nShowMotionPath 1\nShowSafeAreas 0\n"
    "ShowFieldChart 0\nCurrentObject 0\nCurrentLight 0\nCurrentCamera 0\n\nGraphEditorData\n"
    "{ GraphEd_Favorites\n}\n{ GraphEd_Expressions\n  Version 1\n}\n";

// The whole scene after its "LWSC" and format lines.
void appendScene3(std::string& out, const SceneShape& shape, const ScenePlan& plan) {
  out += kHead3;
  if (shape.format == 8) out += kBufferList;
  if (shape.pluginData) {
    const std::uint32_t picked = plan.ids.object(plan.pickedObject);
    appendPluginBody(
        out, "Plugin MasterHandler 1 SceneNotes", "Notes", picked,
        {itemLine(shape, "LoadObjectLayer 1", picked, "Objects/Notes.lwo"),
         itemLine(shape, "AddNullObject", picked, "Notes"), "AmbientColor 1 1 1",
         itemLine(shape, "AddLight", plan.ids.light(0)), itemLine(shape, "AddCamera", kFirstCamera)});
  }
  for (std::size_t i = 0; i < plan.objects.size(); ++i) {
    appendObject3(out, shape, plan, static_cast<int>(i) + 1);
  }
  out += "\n";
  appendGroup(out, shape);
  for (std::size_t j = 0; j < plan.lights.size(); ++j) appendLight3(out, shape, plan, static_cast<int>(j));
  for (std::size_t k = 0; k < plan.cameraParents.size(); ++k) {
    appendCamera3(out, shape, static_cast<int>(k), plan.cameraParents[k],
                  k == 0 && shape.references ? plan.ids.object(plan.pickedObject) : 0);
  }
  out += kTail3;
}

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
// option off (formats 1 and 2 counted as format 1), or appendObject3 and
// appendLight3 in format 3 and later: a blank line, the item's lines, a
// motion of nine channels of five lines and a key line per key, the blank
// line after it and, from format 5 on, the blend lines and a light's body.
int objectLines(const ItemPlan& plan, int format) {
  int parent = plan.parent != 0 ? 1 : 0;
  int later = format >= 5 ? countLines(kItemBlend) : 0;
  return format >= 3 ? 3 + 2 + 9 * (5 + plan.keys) + 1 + later + parent + 1
                     : 3 + 2 + 2 * plan.keys + 1 + parent + 2;
}
int lightLines(const ItemPlan& plan, int format) {
  int parent = plan.parent != 0 ? 1 : 0;
  int later = format >= 5 ? countLines(kItemBlend) + countLines(kDistantBody) : 0;
  return format >= 3 ? 4 + 2 + 9 * (5 + plan.keys) + 1 + later + parent + 7
                     : 4 + 2 + 2 * plan.keys + 1 + parent + 5;
}

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
  if (shape.format != 1 && shape.format != 2 && shape.format != 3 && shape.format != 5 && shape.format != 8)
    return "the format is 1, 2, 3, 5 or 8";
  if (shape.olderLights && shape.format != 1) return "older lights are a format-1 layout";
  if (shape.cameras < 1) return "a scene needs at least one camera";
  if (shape.format < 3 && (shape.bones != 0 || shape.cameras != 1 || shape.pluginData))
    return "bones, several cameras and plug-in data are layouts of format 3 and later";
  if (shape.bones < 0 || shape.bones > 4096) return "an object has 0 to 4096 bones";
  // A bone's identifier holds its object's last 4 hexadecimal digits, which
  // must differ from every other rigged object's, the copies' included.
  if (shape.bones > 0) {
    std::uint32_t highest = kFirstObject + static_cast<std::uint32_t>(shape.objects - 1);
    if (spellsIdentifiers(shape)) {
      std::vector<std::uint32_t> ids = identifiersOf(shape).objects;
      highest = *std::max_element(ids.begin(), ids.end());
    }
    if (highest - kFirstObject + static_cast<std::uint32_t>(branchObjects) > 0xffffu)
      return "bones need object identifiers below 10010000, the copies' included";
  }
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
    plan.distant = shape.format >= 5 || ((shape.format == 2 || shape.format == 3) && layout.chance(30));
    if (!shape.references) continue;
    Random references = Random::scattered(shape.seed, kReferenceStreams + kLightOffset + j);
    if (references.chance(40)) plan.target = referenceFor(references, 0, branchNumbers, objectCount);
  }
}

// The first bones of a rig: a leg whose shin IK solves comes first, so that
// small rigs have one; then the spine to the head, the other limbs, and the
// feet and hands, solved too. Later bones hang on an earlier one drawn at random.
struct RigBone {
  const char* name;
  int parent;
  bool solved;
};
constexpr RigBone kRig[] = {{"Root", -1, false},      {"L_Thigh", 0, false},  {"L_Shin", 1, true},
                            {"Spine", 0, false},      {"R_Thigh", 0, false},  {"R_Shin", 4, true},
                            {"Chest", 3, false},      {"Neck", 6, false},     {"Head", 7, false},
                            {"L_UpperArm", 6, false}, {"L_Forearm", 9, true}, {"R_UpperArm", 6, false},
                            {"R_Forearm", 11, true},  {"L_Foot", 2, true},    {"R_Foot", 5, true},
                            {"L_Hand", 10, true},     {"R_Hand", 12, true}};
constexpr int kRigBones = static_cast<int>(sizeof kRig / sizeof kRig[0]);

// Sets the options of format 3 and later from their own streams, after the
// tree, the identifiers and the options of every format: the rigs, the items
// hung on bones, the exclusions, whose bones objects use, the handlers' data
// and the cameras' parents.
void planFormat3(const SceneShape& shape, ScenePlan& scene, const std::vector<int>& branchNumbers,
                 const std::vector<int>& branchLights) {
  const int objectCount = static_cast<int>(scene.objects.size());
  const int lightCount = static_cast<int>(scene.lights.size());
  for (int number = 1; number <= objectCount && shape.bones > 0; ++number) {
    ItemPlan& plan = scene.objects[static_cast<std::size_t>(number) - 1];
    Random rig = Random::scattered(shape.seed, kRigStreams + static_cast<std::uint64_t>(number));
    bool inBranch = std::binary_search(branchNumbers.begin(), branchNumbers.end(), number);
    int bones = number == scene.pickedObject     ? shape.bones
                : rig.chance(inBranch ? 30 : 10) ? 1 + rig.below(shape.bones)
                                                 : 0;
    for (int bone = 0; bone < bones; ++bone) {
      BonePlan planned;
      bool solved = bone < kRigBones ? kRig[bone].solved : rig.chance(20);
      planned.name = bone < kRigBones ? kRig[bone].name : "Bone_" + std::to_string(bone);
      planned.parent = bone < kRigBones ? kRig[bone].parent : rig.below(bone);
      planned.length = 10 + rig.below(40);
      planned.pitch = value(rig, 1);
      if (solved) planned.goal = referenceFor(rig, number, branchNumbers, objectCount);
      plan.bones.push_back(std::move(planned));
    }
  }
  // An item whose parent object has bones hangs on one of them half of the time.
  auto hang = [&](ItemPlan& plan, std::uint64_t stream) {
    if (plan.parent == 0) return;
    const std::vector<BonePlan>& bones = scene.objects[static_cast<std::size_t>(plan.parent) - 1].bones;
    Random random = Random::scattered(shape.seed, kHangStreams + stream);
    if (!bones.empty() && random.chance(50)) plan.parentBone = random.below(static_cast<int>(bones.size()));
  };
  for (int number = 1; number <= objectCount; ++number) {
    hang(scene.objects[static_cast<std::size_t>(number) - 1], static_cast<std::uint64_t>(number));
  }
  for (int j = 0; j < lightCount; ++j) hang(scene.lights[static_cast<std::size_t>(j)], kLightOffset + j);

  // Exclusions name a branch light half of the time, and now and then radiosity.
  for (int number = 1; number <= objectCount && shape.references; ++number) {
    ItemPlan& plan = scene.objects[static_cast<std::size_t>(number) - 1];
    Random excludes = Random::scattered(shape.seed, kExcludeStreams + static_cast<std::uint64_t>(number));
    if (number == scene.pickedObject) {
      if (!branchLights.empty()) plan.excludes.push_back(scene.ids.light(branchLights.front()));
    } else if (excludes.chance(20)) {
      plan.excludes.push_back(scene.ids.light(
          !branchLights.empty() && excludes.chance(50)
              ? branchLights[static_cast<std::size_t>(excludes.below(static_cast<int>(branchLights.size())))]
              : excludes.below(lightCount)));
      if (excludes.chance(25)) plan.excludes.push_back(kRadiosity);
    }
  }
  // From format 5 on, some objects without bones use a rigged object's, or any other object's.
  std::vector<int> rigged;
  for (int number = 1; number <= objectCount; ++number) {
    if (!scene.objects[static_cast<std::size_t>(number) - 1].bones.empty()) rigged.push_back(number);
  }
  for (int number = 1; number <= objectCount && shape.references && shape.format >= 5; ++number) {
    ItemPlan& plan = scene.objects[static_cast<std::size_t>(number) - 1];
    Random source = Random::scattered(shape.seed, kBoneSourceStreams + static_cast<std::uint64_t>(number));
    if (!plan.bones.empty() || !source.chance(20)) continue;
    plan.useBonesFrom = !rigged.empty()
                            ? rigged[static_cast<std::size_t>(source.below(static_cast<int>(rigged.size())))]
                            : referenceFor(source, number, branchNumbers, objectCount);
  }
  for (int number = 1; number <= objectCount && shape.pluginData; ++number) {
    Random data = Random::scattered(shape.seed, kPluginStreams + static_cast<std::uint64_t>(number));
    scene.objects[static_cast<std::size_t>(number) - 1].pluginData =
        number == scene.pickedObject || data.chance(30);
  }
  for (int j = 0; j < lightCount && shape.pluginData; ++j) {
    Random data =
        Random::scattered(shape.seed, kPluginStreams + kLightOffset + static_cast<std::uint64_t>(j));
    scene.lights[static_cast<std::size_t>(j)].pluginData = data.chance(40);
  }
  // The second camera hangs on the branch's last object, later ones on the first camera.
  for (int k = 0; k < shape.cameras; ++k) {
    scene.cameraParents.push_back(k == 0   ? 0
                                  : k == 1 ? scene.ids.object(branchNumbers.back())
                                           : kFirstCamera);
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
        // The same file loaded again, as Layout saves a cloned object (format 3: its second layer).
        plan.firstLine =
            "LoadObject " +
            loadedFiles[static_cast<std::size_t>(random.below(static_cast<int>(loadedFiles.size())))];
        plan.layer = 2;
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
  if (shape.format >= 3) {
    scene.ids = identifiersOf(shape);
    std::vector<int> branchLights;
    for (int j = 0; j < shape.lights; ++j) {
      if (inBranch[static_cast<std::size_t>(j)]) branchLights.push_back(j);
    }
    planFormat3(shape, scene, branchNumbers, branchLights);
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

int planLines(const ScenePlan& plan, const SceneShape& shape) {
  int lines = 2 + countLines(kHead) + 3 + 2 + countLines(kCameraKeys) + 2 + countLines(kTail);
  if (shape.format >= 3) {
    // The head, the blank line and group after the objects, a camera and the tail.
    std::string fixed = std::string(kHead3) + (shape.format == 8 ? kBufferList : "") + "\n";
    appendGroup(fixed, shape);
    appendCamera3(fixed, shape, 0, 0, 0);
    lines = 2 + countLines(fixed) + countLines(kTail3) + (shape.format == 8 ? countLines(kPrimitiveBody) : 0);
  }
  for (const ItemPlan& object : plan.objects) lines += objectLines(object, shape.format);
  for (const ItemPlan& light : plan.lights) lines += lightLines(light, shape.format);
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
  if (shape.format >= 3) {
    appendScene3(out, shape, plan);
    scene.lines = countLines(out);
    return scene;
  }
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

std::optional<SceneShape> shapeForLines(int lines, int branchItems, int branchDepth, std::uint32_t seed,
                                        int format) {
  SceneShape shape;
  shape.branchItems = branchItems;
  shape.branchLights = branchItems / 10;
  shape.branchDepth = branchDepth;
  shape.seed = seed;
  shape.format = format;
  // About seventeen lines per block (format 3: eighty-eight, and seven more
  // from format 5 on); settle the count on the planned length, by whole
  // blocks and then one block at a time.
  const int blockLines = format >= 5 ? 95 : format == 3 ? 88 : 17;
  int items = std::max(2, lines / blockLines);
  for (int attempt = 0; attempt < 64; ++attempt) {
    shape.lights = std::max(shape.branchLights + 1, items / 12);
    shape.objects = std::max(1, items - shape.lights);
    if (!shapeProblem(shape).empty()) return std::nullopt;
    int error = lines - planLines(planScene(shape), shape);
    if (std::abs(error) < blockLines) return shape;
    int step = error / blockLines;
    items += step != 0 ? step : (error > 0 ? 1 : -1);
    if (items < 2) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace graftling::bench
