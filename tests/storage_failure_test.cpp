// Every allocation of one activation through the loaded module fails in turn.
// The module links the C++ runtime dynamically here, so the test program's
// operator new serves the module too; the first test proves that it does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "scene/scene_lines.h"
#include "standin/module_loader.h"
#include "standin/session.h"
#include "standin/stand_in_host.h"
#include "tests/alloc_failure.h"
#include "tests/scene_text.h"
#include "tests/test_files.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace graftling {
namespace {

using namespace testing;
using standin::LoadedModule;
using standin::PanelAnswer;
using standin::PanelView;
using standin::ShownMessage;
using standin::StandInHost;

const char kSceneName[] = "Scenes/branch.lws";

// An item of the test scene; parent is an object number, 0 for none.
struct Item {
  std::string line;  // object line, or light name
  bool light;
  int parent;
};

// World (1) holds Root (2), which is picked. Below Root: A (3) with G (4),
// H (5) under G, B (6); Lamp hangs on A and Spot on G. The fill lights put
// the copies where the list's storage takes a new block within a
// descendant's copy.
const std::vector<Item> kItems = {
    {"AddNullObject World", false, 0},
    {"AddNullObject Root", false, 1},
    {"LoadObject Objects/A.lwo", false, 2},
    {"LoadObject Objects/G.lwo", false, 3},
    {"LoadObject Objects/H.lwo", false, 4},
    {"LoadObject Objects/B.lwo", false, 2},
    {"Sun", true, 0},
    {"Lamp", true, 3},
    {"Spot", true, 4},
    {"Fill 1", true, 0},
    {"Fill 2", true, 0},
    {"Fill 3", true, 0},
};
constexpr int kPicked = 2;
constexpr int kObjectCount = 6;

std::string objectsText() {
  std::string text;
  for (const Item& item : kItems) {
    if (!item.light) text += objectBlock(item.line, item.parent) + "\n";
  }
  return text;
}

std::string lightsText() {
  std::string text;
  for (const Item& item : kItems) {
    if (item.light) text += lightBlock(item.line, item.parent) + "\n";
  }
  return text;
}

std::string originalScene() {
  return sceneHead() + objectsText() + ambientLines() + lightsText() + sceneTail();
}

// The scene after a run that copied the picked branch except the items in
// skipped (indexes into kItems) and everything below them, built from the
// copy rules: depth first, children in list order, copies numbered on.
std::string expectedScene(const std::set<std::size_t>& skipped) {
  std::string objectCopies = objectBlock(kItems[kPicked - 1].line, kItems[kPicked - 1].parent);
  std::string lightCopies;
  int nextNumber = kObjectCount + 1;
  // An object whose children are being copied, and the next item to look at.
  struct Frame {
    int source;
    int copy;
    std::size_t next;
  };
  std::vector<Frame> stack = {{kPicked, nextNumber++, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == kItems.size()) {
      stack.pop_back();
      continue;
    }
    std::size_t index = frame.next++;
    const Item& item = kItems[index];
    if (item.parent != frame.source || skipped.count(index) != 0) continue;
    if (item.light) {
      lightCopies += lightBlock(item.line, frame.copy) + "\n";
    } else {
      objectCopies += objectBlock(item.line, frame.copy) + "\n";
      stack.push_back(Frame{static_cast<int>(index) + 1, nextNumber++, 0});
    }
  }
  return sceneHead() + objectsText() + objectCopies + ambientLines() + lightsText() + lightCopies +
         sceneTail();
}

// Whether nothing allocated so far is unreachable. LeakSanitizer tells; the
// heap's own counts include freed blocks it caches, so other builds leave the
// leak check to the sanitized build, which runs this same sweep.
bool leakedNothing() {
#if defined(__SANITIZE_ADDRESS__)
  return __lsan_do_recoverable_leak_check() == 0;
#else
  return true;
#endif
}

// Keeps a file left behind from failing every later run as well.
void removeGraftlingTempFiles() {
  const char* dir = std::getenv("TMPDIR");
  if (dir == nullptr) return;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    if (name.rfind("graftling-", 0) == 0 || name.rfind("gft", 0) == 0) std::filesystem::remove(entry.path());
  }
}

// Every message that ends a run without a load: each says why nothing was
// loaded. The two of a descendant that cannot be copied end it only for a
// direct child of the picked object.
const std::vector<ShownMessage> kWhyNothingWasLoaded = {
    {"Graftling:", "Unable to create a temporary file"},
    {"Graftling:", "Unable to read the saved scene"},
    {"Graftling:", "Picked object not found in the saved scene"},
    {"Graftling:", "Unable to copy the picked object"},
    {"Graftling:", "No camera found in the saved scene"},
    {"Graftling:", "Unable to write the edited scene"},
    {"Graftling:", "The copy would damage this scene; nothing was changed"},
    {"Graftling:", "Not enough memory to copy the branch"},
    {"Graftling:", "Unexpected error; nothing was changed"},
    {"ErrorLWPanelServices", "DontCreateObj"},
    {"ErrorLWPanelServices", "DontCreateLight"},
};
const ShownMessage kOutOfStorage{"Graftling:", "Not enough memory to copy the branch"};
const ShownMessage kUnreadable{"Graftling:", "Unable to read the saved scene"};

// The allocation counts at the moments of a run that the sweep tells apart,
// taken by the panel's user and by the host's save and load, wrapped.
struct Moments {
  long pick = -1;
  long saveBegins = -1;
  long saveEnds = -1;
  long loadBegins = -1;
};
Moments gMoments;
const AllocationFailure* gCounting = nullptr;
LayoutGeneric gHostLocal;

class StorageFailureTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(module_.ok()) << module_.error(); }

  // One activation that picks Root and closes the panel with OK; failAt 0
  // fails nothing.
  struct Run {
    int result = 0;
    std::string scene;
    std::vector<ShownMessage> messages;
    int saves = 0;
    int loads = 0;
    bool confirmed = false;
    Moments moments;
    long allocations = 0;
    bool failed = false;
  };
  Run activate(long failAt) {
    StandInHost host(originalScene(), kSceneName);
    Run run;
    LWItemID root = host.objectHandle(kPicked);
    host.setPanelUser([root, &run](const PanelView&) {
      gMoments.pick = gCounting->count();
      run.confirmed = true;
      return PanelAnswer{root, true};
    });
    gHostLocal = *host.local();
    LayoutGeneric local{[](const char* file) {
                          gMoments.saveBegins = gCounting->count();
                          int saved = gHostLocal.saveScene(file);
                          gMoments.saveEnds = gCounting->count();
                          return saved;
                        },
                        [](const char* file, const char* name) {
                          gMoments.loadBegins = gCounting->count();
                          return gHostLocal.loadScene(file, name);
                        }};
    gMoments = Moments{};
    {
      AllocationFailure failure(failAt);
      gCounting = &failure;
      run.result = module_.activate(host, &local, 1);
      gCounting = nullptr;
      run.allocations = failure.count();
      run.failed = failure.failed();
    }
    run.moments = gMoments;
    run.scene = host.sceneText();
    run.messages = host.messages();
    run.saves = host.saves();
    run.loads = host.loads();
    return run;
  }

  LoadedModule module_{GRAFTLING_MODULE_PATH};
};

// Allocations between the host's save and load callbacks are the module's
// own: it reads, edits and writes the scene then, and asks the host nothing
// that allocates.
TEST_F(StorageFailureTest, TheModulesAllocationsAreCounted) {
  Run run = activate(0);
  EXPECT_EQ(run.loads, 1);
  EXPECT_EQ(run.scene, expectedScene({}));
  // The module reads, copies and checks the scene between the two.
  EXPECT_GT(run.moments.loadBegins - run.moments.saveEnds, 100);
}

// The scenes a run leaves when it skips any set of the deeper descendants
// (G, H, Lamp, Spot).
std::set<std::string> partialScenes() {
  std::set<std::string> partial;
  const std::vector<std::size_t> deeper = {3, 4, 7, 8};
  for (unsigned mask = 1; mask < (1u << deeper.size()); ++mask) {
    std::set<std::size_t> skipped;
    for (std::size_t bit = 0; bit < deeper.size(); ++bit) {
      if ((mask & (1u << bit)) != 0) skipped.insert(deeper[bit]);
    }
    partial.insert(expectedScene(skipped));
  }
  return partial;
}

TEST_F(StorageFailureTest, EveryAllocationFailingLeavesTheSceneWholeAndNothingBehind) {
  const std::string original = originalScene();
  const std::string complete = expectedScene({});
  const std::set<std::string> partial = partialScenes();
  // Reading the saved scene makes as many allocations here as in the module.
  long readAllocations = 0;
  {
    TempPath saved;
    saved.write(original);
    AllocationFailure counting(0);
    ASSERT_NE(loadSceneLines(saved.c_str()), nullptr);
    readAllocations = counting.count();
  }

  Run clean = activate(0);
  ASSERT_EQ(clean.scene, complete);
  ASSERT_TRUE(clean.messages.empty());
  ASSERT_GT(clean.allocations, 100);
  const Moments at = clean.moments;
  // The run's parts, in order: before the save (the temporary file's name),
  // the host's save, the module's read, its edit and write, the host's load.
  ASSERT_LT(at.pick, at.saveBegins);
  ASSERT_LT(at.saveBegins, at.saveEnds);
  ASSERT_LT(at.saveEnds + readAllocations, at.loadBegins);

  int unchanged = 0, whole = 0, withoutDescendants = 0;
  for (long n = 1; n <= clean.allocations; ++n) {
    {
      Run run = activate(n);
      EXPECT_TRUE(run.failed) << "allocation " << n << " was never made";
      EXPECT_EQ(run.result, 0) << "allocation " << n;
      if (run.scene == original) {
        ++unchanged;
      } else if (run.scene == complete) {
        ++whole;
        EXPECT_TRUE(run.messages.empty()) << "allocation " << n;
      } else {
        ++withoutDescendants;
        EXPECT_EQ(partial.count(run.scene), 1u) << "allocation " << n << " left the scene\n" << run.scene;
        EXPECT_FALSE(run.messages.empty()) << "a missing descendant is reported, allocation " << n;
      }
      if (run.loads == 0) {
        EXPECT_EQ(run.scene, original) << "allocation " << n;
      }
      // A pick that loads nothing says why, last.
      if (run.confirmed && run.loads == 0) {
        EXPECT_FALSE(run.messages.empty()) << "allocation " << n;
        if (!run.messages.empty()) {
          EXPECT_EQ(std::count(kWhyNothingWasLoaded.begin(), kWhyNothingWasLoaded.end(), run.messages.back()),
                    1)
              << "allocation " << n << ": " << run.messages.back().first << " " << run.messages.back().second;
        }
      }
      // Where the failure fell tells which message.
      if (n > at.pick && n <= at.saveBegins) {
        EXPECT_EQ(run.messages, std::vector<ShownMessage>{kOutOfStorage}) << "allocation " << n;
        EXPECT_EQ(run.saves, 0) << "allocation " << n;
      } else if (n > at.saveBegins && n <= at.saveEnds) {
        EXPECT_EQ(run.messages, std::vector<ShownMessage>{kUnreadable}) << "allocation " << n;
      } else if (n > at.saveEnds && n <= at.saveEnds + readAllocations) {
        EXPECT_EQ(run.messages, std::vector<ShownMessage>{kOutOfStorage}) << "allocation " << n;
      }
      if (n > at.pick && n <= at.loadBegins) {
        EXPECT_TRUE(run.confirmed) << "allocation " << n;
      }
      EXPECT_EQ(countGraftlingTempFiles(), 0) << "allocation " << n;
      removeGraftlingTempFiles();
    }
    EXPECT_TRUE(leakedNothing()) << "allocation " << n;
  }
  // Failures in the module's edit leave the scene; failures in the host's
  // own records do not; failures below a child cost only that branch.
  EXPECT_GT(unchanged, 100);
  EXPECT_GT(whole, 0);
  EXPECT_GT(withoutDescendants, 0);
}

// A descendant left out for lack of storage is the one way a run loads a
// partial copy: the command then writes it and exits 3, naming what it left.
TEST_F(StorageFailureTest, TheCommandWritesAPartialCopyAndExitsThree) {
  TempPath scene, out, err;
  scene.write(originalScene());
  const std::set<std::string> partial = partialScenes();
  standin::CopyRequest request{scene.path(), std::to_string(kPicked), out.path(), GRAFTLING_MODULE_PATH};
  for (long n = 1;; ++n) {
    std::FILE* errors = std::fopen(err.c_str(), "wb");
    ASSERT_NE(errors, nullptr);
    int status = -1;
    bool reached = true;
    try {
      AllocationFailure failure(n);
      status = standin::runCopy(request, standin::Streams{stdin, stdout, errors});
      reached = failure.failed();
    } catch (const std::bad_alloc&) {
      // The command's own storage ran out, before or after the plug-in ran.
    }
    std::fclose(errors);
    removeGraftlingTempFiles();
    ASSERT_TRUE(reached) << "no failed allocation left a descendant out";
    if (status != standin::kExitPartialCopy) continue;
    EXPECT_EQ(partial.count(out.read()), 1u) << out.read();
    std::string said = err.read();
    EXPECT_EQ(said.rfind("graftling: ErrorLWPanelServices DontCreate", 0), 0u) << said;
    return;
  }
}

}  // namespace
}  // namespace graftling
