// Writes scenes in the layout Layout saves, with a branch of a chosen size and
// depth below one object, for measuring how a run grows with the scene.
#ifndef GRAFTLING_BENCH_SCENE_GENERATOR_H_
#define GRAFTLING_BENCH_SCENE_GENERATOR_H_

#include <cstdint>
#include <optional>
#include <string>

namespace graftling::bench {

// What to generate. The branch is the picked object and every object and
// light below it: the items one run copies.
struct SceneShape {
  int objects = 0;       // object blocks, branch objects included
  int lights = 0;        // light blocks, branch lights included
  int branchItems = 1;   // picked object and its descendants
  int branchLights = 0;  // how many of the branch items are lights
  int branchDepth = 0;   // object levels below the picked object
  std::uint32_t seed = 1;
};

struct GeneratedScene {
  std::string text;
  int lines = 0;               // end-of-line characters in text
  int pickedObject = 0;        // object number of the picked object
  std::string pickedFileName;  // its "LoadObject" value, unique in the scene
  int childlessObject = 0;     // the last object outside the branch that no item names as parent; 0 if none
};

// Why shape cannot be generated, or empty when it can.
std::string shapeProblem(const SceneShape& shape);

// The scene for a valid shape; the same shape always gives the same text.
GeneratedScene generateScene(const SceneShape& shape);

// A shape of about lines lines (within one block) whose branch has
// branchItems items, a tenth of them lights, and branchDepth object levels.
// None when the branch does not fit in a scene of that length.
std::optional<SceneShape> shapeForLines(int lines, int branchItems, int branchDepth, std::uint32_t seed = 1);

}  // namespace graftling::bench

#endif  // GRAFTLING_BENCH_SCENE_GENERATOR_H_
