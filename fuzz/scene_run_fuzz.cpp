// Any bytes as the host's scene and an object picked by the first byte, run
// through the activation and the stand-in host as Layout would run it. The
// scene the host holds afterwards is the input with lines inserted only, and
// a loaded one holds whole copies hung on the copies of their parents. Where
// the edit check foretells the run (formats 4 to 8, and refused formats), the
// host holds exactly the foretold scene and was shown exactly its message.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/scene_edit_check.h"
#include "host/activation.h"
#include "host/platform.h"
#include "standin/stand_in_host.h"

namespace {

std::filesystem::path gTempDir;

std::string describe(const std::vector<graftling::standin::ShownMessage>& messages) {
  std::string all;
  for (const graftling::standin::ShownMessage& message : messages)
    all += "[" + message.first + " / " + message.second + "]";
  return all;
}

// The host's run against the one the edit check foretells for the same pick.
void checkForetold(const graftling::standin::StandInHost& host, const std::string& input, std::size_t pick,
                   std::size_t objects) {
  using graftling::fuzzing::ExpectedRun;
  ExpectedRun expected = graftling::fuzzing::expectRun(input, pick);
  if (expected.objects != 0)
    FUZZ_CHECK_MSG(
        expected.objects == objects,
        std::to_string(expected.objects) + " objects read, the host lists " + std::to_string(objects));
  if (expected.outcome == ExpectedRun::Outcome::kLoaded) {
    FUZZ_CHECK_MSG(host.loads() == 1 && host.messages().empty(),
                   "expected a copy, got " + describe(host.messages()));
    FUZZ_CHECK_MSG(host.sceneText() == expected.text,
                   graftling::fuzzing::firstDifference(expected.text, host.sceneText()));
  } else if (expected.outcome == ExpectedRun::Outcome::kRefused) {
    std::vector<graftling::standin::ShownMessage> shown{{"Graftling:", expected.message}};
    FUZZ_CHECK_MSG(host.loads() == 0 && host.messages() == shown,
                   "expected " + describe(shown) + ", got " + describe(host.messages()) +
                       (host.loads() != 0 ? " and a loaded scene" : ""));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A private temporary folder: anything left in it was left by the plug-in.
  const char* dir = std::getenv("TMPDIR");
  std::filesystem::path base = dir != nullptr && *dir != '\0' ? dir : std::filesystem::temp_directory_path();
  gTempDir = base / ("graftling-fuzz-run-" + std::to_string(getpid()));
  std::filesystem::create_directories(gTempDir);
  graftling::platform::setEnvironment("TMPDIR", gTempDir.string());
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(gTempDir, ignored);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace graftling;
  std::string input(reinterpret_cast<const char*>(data), size);
  standin::StandInHost host(input, "Scenes/fuzz.lws");
  std::size_t objects = host.objects().size();
  std::size_t pickIndex = objects != 0 && size != 0 ? data[0] % objects : 0;
  LWItemID pick = objects != 0 && size != 0 ? host.objectHandle(static_cast<int>(pickIndex) + 1) : nullptr;
  host.setPanelUser([pick](const standin::PanelView&) { return standin::PanelAnswer{pick, true}; });

  FUZZ_CHECK(activate(1, host.global(), host.local()) == 0);
  FUZZ_CHECK(std::filesystem::is_empty(gTempDir));
  FUZZ_CHECK(host.panel().destroyed == 1);
  FUZZ_CHECK(host.loads() <= 1);
  FUZZ_CHECK(host.sceneFileName() == "Scenes/fuzz.lws");
  if (pick == nullptr) FUZZ_CHECK(host.saves() == 0);
  if (host.loads() == 0) FUZZ_CHECK(host.sceneText() == input);
  // A pick that loads nothing says why.
  FUZZ_CHECK(pick == nullptr || host.loads() != 0 || !host.messages().empty());
  // A run that loads a result copied at least the picked object.
  if (host.loads() == 1) FUZZ_CHECK(host.sceneText().size() > input.size());
  // The foretold run first: where it departs, it says how.
  if (pick != nullptr) checkForetold(host, input, pickIndex, objects);
  fuzzing::EditCheck check = fuzzing::checkInsertionsOnly(input, host.sceneText());
  FUZZ_CHECK_MSG(check.ok(), check.why);
  // A loaded result keeps the saved scene whole and hangs each copy right.
  if (host.loads() == 1) {
    fuzzing::EditCheck branch = fuzzing::checkCopiedBranch(input, host.sceneText());
    FUZZ_CHECK_MSG(branch.ok(), branch.why);
  }
  return 0;
}
