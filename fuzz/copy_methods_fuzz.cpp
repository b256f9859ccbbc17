// Any bytes as a saved scene, the object picked by the first byte: the copy
// made the fastest way has exactly the step-by-step copy's outcome, its
// result, every message in order and the list's text byte for byte. Where the
// edit check foretells the copy of a scene text (formats 4 to 8, and refused
// formats), the copy has its result, its one message or none, and its text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "copy/hierarchy_copy.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/scene_edit_check.h"
#include "host/service_slots.h"
#include "scene/scene_lines.h"
#include "standin/stand_in_host.h"

namespace {

using namespace graftling;

struct Outcome {
  int result = 0;
  std::vector<standin::ShownMessage> messages;
  std::string text;
  CopyMethod used = CopyMethod::StepByStep;
  std::size_t objects = 0;  // the objects the host lists
};

// How many runs took each way, told at exit: both must be exercised.
long gRuns[2];

Outcome copyWith(const std::string& scene, std::size_t pickByte, CopyMethod method) {
  standin::StandInHost host(scene, "Scenes/fuzz.lws");
  Outcome outcome;
  std::size_t objects = host.objects().size();
  SceneLinesPtr list = parseSceneLines(scene);
  outcome.objects = objects;
  if (objects == 0 || list == nullptr) return outcome;
  standin::StandInHost::Services services = host.services();
  gServices = ServiceSlots{services.messages, services.itemInfo, services.objectInfo, services.sceneInfo};
  outcome.result = copyHierarchy(*list, host.objectHandle(static_cast<int>(pickByte % objects) + 1), method,
                                 &outcome.used);
  outcome.messages = host.messages();
  outcome.text = sceneText(*list);
  return outcome;
}

std::string describe(const std::vector<standin::ShownMessage>& messages) {
  std::string all;
  for (const standin::ShownMessage& message : messages)
    all += "[" + message.first + " / " + message.second + "]";
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::atexit([] {
    std::fprintf(stderr, "copy methods: %ld runs one pass, %ld step by step\n", gRuns[0], gRuns[1]);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string input(reinterpret_cast<const char*>(data), size);
  Outcome reference = copyWith(input, data[0], CopyMethod::StepByStep);
  Outcome fastest = copyWith(input, data[0], CopyMethod::Fastest);
  ++gRuns[fastest.used == CopyMethod::Fastest ? 0 : 1];
  FUZZ_CHECK_MSG(fastest.result == reference.result,
                 std::to_string(fastest.result) + " against " + std::to_string(reference.result));
  FUZZ_CHECK_MSG(fastest.messages == reference.messages,
                 describe(fastest.messages) + " against " + describe(reference.messages));
  FUZZ_CHECK(fastest.text == reference.text);
  // The saved scene of a run begins with "LWSC"; without it the host's exchange refuses before the copy.
  if (reference.objects == 0 || input.compare(0, 4, "LWSC") != 0) return 0;
  fuzzing::ExpectedRun expected = fuzzing::expectRun(input, data[0] % reference.objects);
  if (expected.objects != 0) FUZZ_CHECK(expected.objects == reference.objects);
  if (expected.outcome == fuzzing::ExpectedRun::Outcome::kLoaded) {
    FUZZ_CHECK_MSG(reference.result == 1 && reference.messages.empty(), describe(reference.messages));
    FUZZ_CHECK_MSG(reference.text == expected.text, fuzzing::firstDifference(expected.text, reference.text));
  } else if (expected.outcome == fuzzing::ExpectedRun::Outcome::kRefused) {
    std::vector<standin::ShownMessage> shown{{"Graftling:", expected.message}};
    FUZZ_CHECK_MSG(reference.result == 0 && reference.messages == shown,
                   describe(reference.messages) + " against " + describe(shown));
  }
  return 0;
}
