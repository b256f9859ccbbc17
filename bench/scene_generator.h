// Writes scenes in the layout Layout saves, with a branch of a chosen size and
// depth below one object, for measuring how a run grows with the scene.
#ifndef GRAFTLING_BENCH_SCENE_GENERATOR_H_
#define GRAFTLING_BENCH_SCENE_GENERATOR_H_

#include <cstdint>
#include <optional>
#include <string>

namespace graftling::bench {

// What to generate. The branch is the picked object and every object and
// light below it: the items one run copies. The layout options after seed
// leave the tree as it is; all off, a shape gives the scenes it always gave.
struct SceneShape {
  int objects = 0;       // object blocks, branch objects included
  int lights = 0;        // light blocks, branch lights included
  int branchItems = 1;   // picked object and its descendants
  int branchLights = 0;  // how many of the branch items are lights
  int branchDepth = 0;   // object levels below the picked object
  std::uint32_t seed = 1;
  // Animated values as envelopes: the scene's AmbIntensity (ending the object
  // section), the camera's ZoomFactor, LgtIntensity (the last light's always)
  // and FlareIntensity (the first light's always) of some lights, ObjDissolve
  // of some objects (the last one always), Metamorph of the objects that morph.
  // Format 3 names them GlobalLightIntensity (after the ambient lines), the
  // first camera's ZoomFactor, LightIntensity, FlareIntensity, ObjectDissolve
  // and MorphAmount, each with its "{ Envelope" block.
  bool envelopes = false;
  // 1, or 2 for Layout 5.6's layout: no "ShadowOptions" and no blank lines
  // among objects, motions closed by "Pre/PostBehavior", an "AddCamera" block.
  // 3 for the later Layouts' layout: "LoadObjectLayer", a blank line before
  // each item, nine "Channel" envelopes per motion, "ParentItem" identifiers,
  // lights run by "Plugin LightHandler" and cameras by "AddCamera".
  // 5 and 8 keep format 3's layout, and every item line carries its
  // identifier, objects' and lights' not always in file order; every
  // reference names an identifier; items hold a blank line among their own
  // lines, and the scene-level group runs 20 to 30 lines. Format 8 has no
  // "AmbientColor", and adds a "BufferList" to the head and a primitive
  // handler's body to the last object.
  int format = 1;
  // Format-1 lights as older writers saved them: "ShadowCasting 1" instead of
  // "ShadowType", and "EnableShadowMaps 0" before the first light.
  bool olderLights = false;
  // "TargetObject" in some lights, "GoalObject" and "MorphTarget" in some
  // objects, naming objects in and outside the branch, never the item itself.
  // The picked object always has both: a goal in its branch when the branch
  // has another object, a morph target outside it when one exists. Format 3
  // and later aim with "TargetItem", the first camera at the picked object,
  // and have "ExcludeLight" in some objects (the picked object's names the
  // branch's first light, when it has one); formats 5 and 8 also have
  // "UseBonesFrom" in some objects without bones.
  bool references = false;
  // Format 3 and later: bones in the picked object (this many) and in some
  // other objects (up to this many), some solved by IK towards a
  // "GoalObject"; objects and lights whose parent object has bones hang on
  // one of them half of the time. At most 4096 bones per object.
  int bones = 0;
  // Format 3 and later: the cameras; the second hangs on the branch's last
  // object, any later one on the first camera. Formats 1 and 2 have one.
  int cameras = 1;
  // Format 3 and later: plug-in bodies whose lines look like scene lines
  // (item lines, reference lines naming items, brace blocks, blank lines): a
  // scene handler's in the head, an object handler's in some objects (always
  // the picked object), a light handler's in some lights.
  bool pluginData = false;
};

struct GeneratedScene {
  std::string text;
  int lines = 0;         // end-of-line characters in text
  int pickedObject = 0;  // object number of the picked object
  // Its file name as the host gives it, unique in the scene: its "LoadObject"
  // value, or after "LoadObjectLayer 1" (and from format 5 on, its identifier).
  std::string pickedFileName;
  int childlessObject = 0;  // the last object outside the branch that no item names as parent; 0 if none
};

// Why shape cannot be generated, or empty when it can.
std::string shapeProblem(const SceneShape& shape);

// The scene for a valid shape; the same shape always gives the same text.
GeneratedScene generateScene(const SceneShape& shape);

// A shape of about lines lines (within one block) whose branch has
// branchItems items, a tenth of them lights, and branchDepth object levels,
// with every layout option off, in format 1, 2, 3, 5 or 8 (format 2's lines
// counted as format 1 writes them). None when the branch does not fit in a
// scene of that length.
std::optional<SceneShape> shapeForLines(int lines, int branchItems, int branchDepth, std::uint32_t seed = 1,
                                        int format = 1);

}  // namespace graftling::bench

#endif  // GRAFTLING_BENCH_SCENE_GENERATOR_H_
