// Runs that stop after the user closed the panel with an object picked: each
// shows why, and the host loads nothing. The activation is the one linked
// into this program, so that storage fails and exceptions arise inside it on
// every system, a Windows module's own C++ runtime notwithstanding.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/activation.h"
#include "host/platform.h"
#include "host/service_slots.h"
#include "scene/scene_lines.h"
#include "standin/stand_in_host.h"
#include "tests/alloc_failure.h"
#include "tests/scene_text.h"
#include "tests/test_files.h"

namespace graftling {
namespace {

using namespace testing;
using standin::PanelAnswer;
using standin::PanelView;
using standin::ShownMessage;
using standin::StandInHost;

const char kSceneName[] = "Scenes/robot.lws";
const ShownMessage kOutOfStorage{"Graftling:", "Not enough memory to copy the branch"};
const ShownMessage kUnexpected{"Graftling:", "Unexpected error; nothing was changed"};

std::string robotScene() {
  return sceneHead() + objectBlock("AddNullObject Base") + "\n" +
         objectBlock("LoadObject Objects/Arm.lwo", 1) + "\n" + ambientLines() + lightBlock("Sun") + "\n" +
         sceneTail();
}

// The host's own save and load, for local records that wrap them.
LayoutGeneric gHostLocal;
// Armed by a wrapped save once the host has saved.
std::optional<AllocationFailure> gFailure;
long gFailAfterSave = 0;

struct Outcome {
  int result = 0;
  std::vector<ShownMessage> messages;
  int saves = 0;
  int loads = 0;
  std::string scene;
  int tempFiles = 0;
};

Outcome outcomeOf(int result, const StandInHost& host) {
  return Outcome{result,       host.messages(),  host.saves(),
                 host.loads(), host.sceneText(), countGraftlingTempFiles()};
}

// The user picks the Arm and closes the panel with OK.
void pickArm(StandInHost& host) {
  LWItemID arm = host.objectHandle(2);
  host.setPanelUser([arm](const PanelView&) { return PanelAnswer{arm, true}; });
}

// Allocations from the panel's close up to the host's save are the temporary
// file's name, which both systems make in storage of its own.
TEST(ActivationFailureTest, RunningOutOfStorageForTheTemporaryNameIsReported) {
  long nameAllocations = 0;
  {
    AllocationFailure counting(0);
    std::string name = platform::createUniqueFile();
    nameAllocations = counting.count();
    platform::removeFile(name);
  }
  ASSERT_GT(nameAllocations, 0);
  for (long n = 1; n <= nameAllocations; ++n) {
    StandInHost host(robotScene(), kSceneName);
    std::optional<AllocationFailure> failure;
    LWItemID arm = host.objectHandle(2);
    host.setPanelUser([&failure, arm, n](const PanelView&) {
      failure.emplace(n);
      return PanelAnswer{arm, true};
    });
    int result = activate(1, host.global(), host.local());
    EXPECT_TRUE(failure && failure->failed()) << "allocation " << n;
    failure.reset();
    Outcome run = outcomeOf(result, host);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.messages, std::vector<ShownMessage>{kOutOfStorage}) << "allocation " << n;
    EXPECT_EQ(run.saves, 0);
    EXPECT_EQ(run.loads, 0);
    EXPECT_EQ(run.scene, robotScene());
    EXPECT_EQ(run.tempFiles, 0);
  }
}

// Every allocation of reading the saved scene fails in turn.
TEST(ActivationFailureTest, RunningOutOfStorageWhileReadingTheSaveIsReported) {
  long readAllocations = 0;
  {
    TempPath saved;
    saved.write(robotScene());
    AllocationFailure counting(0);
    ASSERT_NE(loadSceneLines(saved.c_str()), nullptr);
    readAllocations = counting.count();
  }
  ASSERT_GT(readAllocations, 3);
  for (long n = 1; n <= readAllocations; ++n) {
    StandInHost host(robotScene(), kSceneName);
    pickArm(host);
    gHostLocal = *host.local();
    gFailAfterSave = n;
    LayoutGeneric local{[](const char* file) {
                          int saved = gHostLocal.saveScene(file);
                          gFailure.emplace(gFailAfterSave);
                          return saved;
                        },
                        gHostLocal.loadScene};
    int result = activate(1, host.global(), &local);
    EXPECT_TRUE(gFailure && gFailure->failed()) << "allocation " << n;
    gFailure.reset();
    Outcome run = outcomeOf(result, host);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.messages, std::vector<ShownMessage>{kOutOfStorage}) << "allocation " << n;
    EXPECT_EQ(run.saves, 1);
    EXPECT_EQ(run.loads, 0);
    EXPECT_EQ(run.scene, robotScene());
    EXPECT_EQ(run.tempFiles, 0);
  }
}

TEST(ActivationFailureTest, AnyOtherExceptionIsReportedAsUnexpected) {
  // From the host's save, after the panel closed.
  StandInHost host(robotScene(), kSceneName);
  pickArm(host);
  gHostLocal = *host.local();
  LayoutGeneric throwingSave{[](const char*) -> int { throw std::runtime_error("the save broke"); },
                             gHostLocal.loadScene};
  Outcome run = outcomeOf(activate(1, host.global(), &throwingSave), host);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.messages, std::vector<ShownMessage>{kUnexpected});
  EXPECT_EQ(run.loads, 0);
  EXPECT_EQ(run.scene, robotScene());
  EXPECT_EQ(run.tempFiles, 0);
  EXPECT_EQ(host.panel().destroyed, 1);

  // From the panel, while it is open.
  StandInHost panel(robotScene(), kSceneName);
  panel.setPanelUser([](const PanelView&) -> PanelAnswer { throw std::logic_error("the panel broke"); });
  run = outcomeOf(activate(1, panel.global(), panel.local()), panel);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.messages, std::vector<ShownMessage>{kUnexpected});
  EXPECT_EQ(run.saves, 0);
  EXPECT_EQ(panel.panel().destroyed, 1);
}

// Lookups that throw: the one run finds "Info Messages" first, the other
// finds nothing. The slots an earlier run left must not speak for this one.
GlobalFunc gHostGlobal = nullptr;
void* throwingLookup(const char*, int) { throw std::runtime_error("no services"); }
void* throwingAfterMessages(const char* name, int mode) {
  if (std::string(name) == "Info Messages") return gHostGlobal(name, mode);
  throw std::runtime_error("no item services");
}

TEST(ActivationFailureTest, ExceptionsAreSilentUntilInfoMessagesIsFound) {
  StandInHost host(robotScene(), kSceneName);
  StandInHost::Services earlier = host.services();
  gServices = ServiceSlots{earlier.messages, earlier.itemInfo, earlier.objectInfo, earlier.sceneInfo};
  EXPECT_EQ(activate(1, throwingLookup, host.local()), 0);
  EXPECT_TRUE(host.messages().empty());

  gHostGlobal = host.global();
  EXPECT_EQ(activate(1, throwingAfterMessages, host.local()), 0);
  EXPECT_EQ(host.messages(), std::vector<ShownMessage>{kUnexpected});
  EXPECT_EQ(host.saves(), 0);
}

}  // namespace
}  // namespace graftling
