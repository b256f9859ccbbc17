// graftling-scenegen: writes a generated scene for trying and measuring runs.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/scene_generator.h"

namespace {

const char kUsage[] =
    "usage: graftling-scenegen [--lines N | --objects N --lights N] [--branch N] [--branch-lights N]\n"
    "                          [--depth N] [--seed N] [--envelopes] [--format N] [--older-lights]\n"
    "                          [--references] [--bones N] [--cameras N] [--plugin-data] [-o FILE]\n"
    "Writes a scene whose picked object has a branch of --branch items (itself included),\n"
    "--depth object levels deep. With --lines, a tenth of the branch are lights and the\n"
    "scene has about N lines before the lines that the layout options add. Tells the\n"
    "picked object, and an object without children outside the branch, on standard error.\n"
    "Layout options: --envelopes animates values as envelopes, --format 2 writes Layout\n"
    "5.6's layout, --format 3 the later Layouts', and --format 5 or 8 theirs with\n"
    "identifiers on item lines, not always in file order (default 1); --older-lights\n"
    "writes format-1 lights without ShadowType, --references adds TargetObject (format\n"
    "3 and later: TargetItem), GoalObject and MorphTarget lines, from format 3 on\n"
    "ExcludeLight lines and from format 5 on UseBonesFrom lines.\n"
    "Format 3 and later: --bones N rigs the picked object with N bones and some other\n"
    "objects with up to N, hanging items on them; --cameras N writes N cameras (default\n"
    "1); --plugin-data writes plug-in bodies whose lines read like scene lines.\n";

bool readNumber(const char* text, long& number) {
  char* end = nullptr;
  number = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && number >= 0 && number <= 100000000;
}

}  // namespace

int main(int argc, char** argv) {
  using graftling::bench::SceneShape;
  long lines = -1, branch = 10, depth = 4, branchLights = -1, objects = -1, lights = -1, seed = 1, format = 1;
  long bones = 0, cameras = 1;
  bool envelopes = false, olderLights = false, references = false, pluginData = false;
  const char* output = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    bool* flag = option == "--envelopes"      ? &envelopes
                 : option == "--older-lights" ? &olderLights
                 : option == "--references"   ? &references
                 : option == "--plugin-data"  ? &pluginData
                                              : nullptr;
    if (flag != nullptr) {
      *flag = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    const char* argument = argv[++i];
    if (option == "-o") {
      output = argument;
      continue;
    }
    long* target = option == "--lines"           ? &lines
                   : option == "--branch"        ? &branch
                   : option == "--depth"         ? &depth
                   : option == "--branch-lights" ? &branchLights
                   : option == "--objects"       ? &objects
                   : option == "--lights"        ? &lights
                   : option == "--seed"          ? &seed
                   : option == "--format"        ? &format
                   : option == "--bones"         ? &bones
                   : option == "--cameras"       ? &cameras
                                                 : nullptr;
    if (target == nullptr || !readNumber(argument, *target)) {
      std::fprintf(stderr, "graftling-scenegen: bad option %s %s\n%s", option.c_str(), argument, kUsage);
      return 2;
    }
  }

  SceneShape shape;
  if (lines >= 0) {
    std::optional<SceneShape> fitted = graftling::bench::shapeForLines(
        static_cast<int>(lines), static_cast<int>(branch), static_cast<int>(depth),
        static_cast<std::uint32_t>(seed), static_cast<int>(format));
    if (!fitted) {
      std::fprintf(stderr, "graftling-scenegen: a branch of %ld items does not fit in %ld lines\n", branch,
                   lines);
      return 1;
    }
    shape = *fitted;
  } else {
    shape = SceneShape{static_cast<int>(objects), static_cast<int>(lights),
                       static_cast<int>(branch),  static_cast<int>(branchLights < 0 ? 0 : branchLights),
                       static_cast<int>(depth),   static_cast<std::uint32_t>(seed)};
  }
  shape.envelopes = envelopes;
  shape.format = static_cast<int>(format);
  shape.olderLights = olderLights;
  shape.references = references;
  shape.bones = static_cast<int>(bones);
  shape.cameras = static_cast<int>(cameras);
  shape.pluginData = pluginData;
  std::string problem = graftling::bench::shapeProblem(shape);
  if (!problem.empty()) {
    std::fprintf(stderr, "graftling-scenegen: %s\n", problem.c_str());
    return 1;
  }

  graftling::bench::GeneratedScene scene = graftling::bench::generateScene(shape);
  std::FILE* out = output != nullptr ? std::fopen(output, "wb") : stdout;
  if (out == nullptr) {
    std::fprintf(stderr, "graftling-scenegen: cannot write %s\n", output);
    return 1;
  }
  bool written = std::fwrite(scene.text.data(), 1, scene.text.size(), out) == scene.text.size();
  written = (out == stdout ? std::fflush(out) : std::fclose(out)) == 0 && written;
  if (!written) {
    std::fputs("graftling-scenegen: writing the scene failed\n", stderr);
    return 1;
  }
  std::fprintf(stderr, "%d lines, %d objects, %d lights; pick object %d (%s), branch of %d items\n",
               scene.lines, shape.objects, shape.lights, scene.pickedObject, scene.pickedFileName.c_str(),
               shape.branchItems);
  if (scene.childlessObject != 0) std::fprintf(stderr, "object %d has no children\n", scene.childlessObject);
  return 0;
}
