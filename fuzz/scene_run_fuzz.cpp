// Any bytes as the host's scene and an object picked by the first byte, run
// through the activation and the stand-in host as Layout would run it. The
// scene the host holds afterwards is the input with lines inserted only, and
// a loaded one holds whole copies hung on the copies of their parents.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/scene_edit_check.h"
#include "host/activation.h"
#include "host/platform.h"
#include "standin/stand_in_host.h"

namespace {

std::filesystem::path gTempDir;

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
  LWItemID pick =
      objects != 0 && size != 0 ? host.objectHandle(static_cast<int>(data[0] % objects) + 1) : nullptr;
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
  fuzzing::EditCheck check = fuzzing::checkInsertionsOnly(input, host.sceneText());
  FUZZ_CHECK_MSG(check.ok(), check.why);
  // A loaded result keeps the saved scene whole and hangs each copy right.
  if (host.loads() == 1) {
    fuzzing::EditCheck branch = fuzzing::checkCopiedBranch(input, host.sceneText());
    FUZZ_CHECK_MSG(branch.ok(), branch.why);
  }
  return 0;
}
