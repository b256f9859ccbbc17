#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "host/platform.h"
#include "standin/module_loader.h"
#include "standin/stand_in_host.h"
#include "tests/scene_text.h"
#include "tests/test_files.h"

namespace graftling {
namespace {

using namespace testing;
using standin::LoadedModule;
using standin::PanelAnswer;
using standin::PanelView;
using standin::ShownMessage;
using standin::StandInHost;
using standin::records::ControlRecord;
using standin::records::ValueRecord;

const char kSceneName[] = "Scenes/robot.lws";

std::string robotObjects() {
  return objectBlock("AddNullObject Base") + "\n" + objectBlock("LoadObject Objects/Arm.lwo", 1) + "\n" +
         objectBlock("LoadObject Objects/Hand.lwo", 2) + "\n";
}

std::string robotScene(const std::string& extraObjects = "") {
  return sceneHead() + robotObjects() + extraObjects + ambientLines() + lightBlock("Sun") + "\n" +
         sceneTail();
}

class ActivationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(module_.ok()) << module_.error(); }

  LoadedModule module_{GRAFTLING_MODULE_PATH};
};

TEST_F(ActivationTest, TheModuleRecordAndServerListReadAsTheHostReadsThem) {
  const standin::records::ModuleRecord& record = module_.record();
  EXPECT_EQ((std::vector<std::uint32_t>{record.sync, record.version, record.machine}),
            (std::vector<std::uint32_t>{0x04121994, 2, 0x300}));
  EXPECT_NE(record.startup, nullptr);
  EXPECT_NE(record.shutdown, nullptr);
  std::vector<std::string> servers;
  for (const standin::records::ServerEntry& server : module_.servers()) {
    servers.push_back(std::string(server.className) + " " + server.name);
    EXPECT_NE(server.activate, nullptr);
  }
  EXPECT_EQ(servers, (std::vector<std::string>{"LayoutGeneric graftling"}));
}

TEST_F(ActivationTest, OnlyVersionOneIsAccepted) {
  StandInHost host(robotScene(), kSceneName);
  EXPECT_EQ(module_.activate(host, 2), 1);
  EXPECT_TRUE(host.lookups().empty());
}

TEST_F(ActivationTest, MissingServicesRefuseWithTwo) {
  StandInHost host(robotScene(), kSceneName);
  host.leaveOut("LW Scene Info");
  EXPECT_EQ(module_.activate(host), 2);
  EXPECT_EQ(host.lookups(),
            (std::vector<std::string>{"Info Messages", "LW Item Info", "LW Object Info", "LW Scene Info"}));
  EXPECT_TRUE(host.messages().empty());

  StandInHost noPanels(robotScene(), kSceneName);
  noPanels.leaveOut("LWPanelServices");
  EXPECT_EQ(module_.activate(noPanels), 2);
  EXPECT_EQ(noPanels.messages(), (std::vector<ShownMessage>{{"Unable to active global LWPanelServices",
                                                             " please add plugin lwpanels.p"}}));
}

TEST_F(ActivationTest, PanelFailuresAreReported) {
  StandInHost noPanel(robotScene(), kSceneName);
  noPanel.failPanelCreation();
  EXPECT_EQ(module_.activate(noPanel), 0);
  EXPECT_EQ(noPanel.messages(), (std::vector<ShownMessage>{{"Duoooh!:", "Unable to create panel"}}));

  StandInHost noControl(robotScene(), kSceneName);
  noControl.failControlCreation();
  EXPECT_EQ(module_.activate(noControl), 0);
  EXPECT_EQ(noControl.messages(), (std::vector<ShownMessage>{{"Duoooh!:", "Unable to create panel"}}));
  EXPECT_EQ(noControl.panel().destroyed, 1);
  EXPECT_EQ(noControl.saves(), 0);
}

TEST_F(ActivationTest, ConfirmedPickCopiesTheBranchAndReloadsUnderTheSceneName) {
  StandInHost host(robotScene(), kSceneName);
  LWItemID preset = nullptr;
  host.setPanelUser([&](const PanelView& view) {
    preset = view.preset;
    return PanelAnswer{host.objectHandle(2), true};
  });
  EXPECT_EQ(module_.activate(host), 0);
  EXPECT_EQ(preset, host.objectHandle(1));
  EXPECT_TRUE(host.messages().empty());
  EXPECT_EQ(host.sceneText(), robotScene(objectBlock("LoadObject Objects/Arm.lwo", 1) +
                                         objectBlock("LoadObject Objects/Hand.lwo", 4) + "\n"));
  EXPECT_EQ(host.sceneFileName(), kSceneName);
  EXPECT_EQ(host.loads(), 1);
  EXPECT_EQ(countGraftlingTempFiles(), 0);

  const standin::PanelRecord& panel = host.panel();
  EXPECT_EQ(panel.title, "Graftling  ver.1.0 beta          by KBZ");
  EXPECT_EQ(panel.label, "          parent Object ");
  EXPECT_EQ(panel.controlType, "LWListControl");
  EXPECT_EQ(panel.description, (ControlRecord{16, host.global(), 0, {0, 0, 0}}));
  // The picker is preset with the first object, and the plug-in reads back
  // into the same record: its type word stays 2, its other words zero.
  EXPECT_EQ(panel.valueSet, (ValueRecord{2, host.objectHandle(1), {}}));
  EXPECT_EQ(panel.valueGot, (ValueRecord{2, host.objectHandle(1), {}}));
  EXPECT_EQ(panel.openFlags, 7);
  EXPECT_EQ(panel.createData, host.global()("LWPanelServices", 0));
  EXPECT_EQ(panel.destroyed, 1);
}

TEST_F(ActivationTest, CancelledOrEmptyPicksChangeNothing) {
  StandInHost cancelled(robotScene(), kSceneName);
  cancelled.setPanelUser([&](const PanelView&) { return PanelAnswer{cancelled.objectHandle(2), false}; });
  EXPECT_EQ(module_.activate(cancelled), 0);
  EXPECT_EQ(cancelled.sceneText(), robotScene());
  EXPECT_EQ(cancelled.saves(), 0);

  std::string empty = sceneHead() + ambientLines() + lightBlock("Sun") + "\n" + sceneTail();
  StandInHost noObjects(empty, kSceneName);
  LWItemID preset = reinterpret_cast<LWItemID>(1);
  noObjects.setPanelUser([&](const PanelView& view) {
    preset = view.preset;
    return PanelAnswer{view.preset, true};
  });
  EXPECT_EQ(module_.activate(noObjects), 0);
  EXPECT_EQ(preset, nullptr);
  EXPECT_EQ(noObjects.saves(), 0);
  EXPECT_EQ(noObjects.sceneText(), empty);
  EXPECT_EQ(countGraftlingTempFiles(), 0);
}

TEST_F(ActivationTest, TheSceneNameIsTakenBeforeTheSave) {
  StandInHost host(robotScene(), kSceneName);
  host.renameDuringSave("Scenes/renamed.lws");
  EXPECT_EQ(module_.activate(host), 0);
  EXPECT_EQ(host.loads(), 1);
  EXPECT_EQ(host.sceneFileName(), kSceneName);
}

// Exchange failures leave the host's scene as it was and no temporary file.
TEST_F(ActivationTest, AFailedSaveIsReported) {
  for (StandInHost::FailedSave how :
       {StandInHost::FailedSave::RemovesTheFile, StandInHost::FailedSave::LeavesTheFile}) {
    StandInHost unreadable(robotScene(), kSceneName);
    unreadable.failSaving(how);
    EXPECT_EQ(module_.activate(unreadable), 0);
    EXPECT_EQ(unreadable.saves(), 1);
    EXPECT_EQ(unreadable.messages(),
              (std::vector<ShownMessage>{{"Graftling:", "Unable to read the saved scene"}}));
    EXPECT_EQ(unreadable.loads(), 0);
    EXPECT_EQ(unreadable.sceneText(), robotScene());
    EXPECT_EQ(countGraftlingTempFiles(), 0);
  }
}

// A saved file is read as a scene only when its first line begins with "LWSC".
TEST_F(ActivationTest, ASaveThatIsNoSceneTextIsReported) {
  const std::string body = robotScene().substr(std::string("LWSC\n").size());
  const std::string notScenes[] = {
      "lwsc\n" + body,              // case counts
      " LWSC\n" + body,             // so does a leading space
      "\xEF\xBB\xBFLWSC\n" + body,  // and a byte order mark
      "LWS\nC\n" + body,            // the keyword split over two lines
      "\nLWSC\n" + body,            // a blank first line
      "LWSD\n" + body,
  };
  for (const std::string& scene : notScenes) {
    StandInHost host(scene, kSceneName);
    host.setPanelUser([&](const PanelView&) { return PanelAnswer{host.objectHandle(2), true}; });
    EXPECT_EQ(module_.activate(host), 0);
    EXPECT_EQ(host.messages(), (std::vector<ShownMessage>{{"Graftling:", "Unable to read the saved scene"}}))
        << scene.substr(0, 8);
    EXPECT_EQ(host.loads(), 0);
    EXPECT_EQ(host.sceneText(), scene);
    EXPECT_EQ(countGraftlingTempFiles(), 0);
  }

  // What follows "LWSC" on its line does not matter.
  const std::string arm =
      objectBlock("LoadObject Objects/Arm.lwo", 1) + objectBlock("LoadObject Objects/Hand.lwo", 4) + "\n";
  const std::pair<std::string, std::string> scenes[] = {
      {withCrLf(robotScene()), withCrLf(robotScene(arm))},
      {"LWSC 3\n" + body, "LWSC 3\n" + robotScene(arm).substr(std::string("LWSC\n").size())},
  };
  for (const auto& [scene, copied] : scenes) {
    StandInHost host(scene, kSceneName);
    host.setPanelUser([&](const PanelView&) { return PanelAnswer{host.objectHandle(2), true}; });
    EXPECT_EQ(module_.activate(host), 0);
    EXPECT_TRUE(host.messages().empty());
    EXPECT_EQ(host.sceneText(), copied);
  }
}

TEST_F(ActivationTest, AnEditedSceneThatCannotBeWrittenIsNotLoaded) {
  StandInHost tooLarge(robotScene(), kSceneName);
  // The saved scene fits; the edited one, which is longer, does not.
  if (!platform::limitFileSize(robotScene().size())) GTEST_SKIP() << "no file size limit on this system";
  EXPECT_EQ(module_.activate(tooLarge), 0);
  platform::limitFileSize(0);
  EXPECT_EQ(tooLarge.messages(),
            (std::vector<ShownMessage>{{"Graftling:", "Unable to write the edited scene"}}));
  EXPECT_EQ(tooLarge.loads(), 0);
  EXPECT_EQ(tooLarge.sceneText(), robotScene());
  EXPECT_EQ(countGraftlingTempFiles(), 0);
}

TEST_F(ActivationTest, NoTemporaryFileMeansNoSave) {
  StandInHost noTemp(robotScene(), kSceneName);
  // A folder that does not exist, under one that does, on every system.
  TempPath existing;
  const std::string missing = existing.path() + ".missing";
  std::string tmpdir = std::getenv("TMPDIR"), tmp = std::getenv("TMP");
  platform::setEnvironment("TMPDIR", missing);
  platform::setEnvironment("TMP", missing);
  EXPECT_EQ(module_.activate(noTemp), 0);
  platform::setEnvironment("TMPDIR", tmpdir);
  platform::setEnvironment("TMP", tmp);
  EXPECT_EQ(noTemp.messages(),
            (std::vector<ShownMessage>{{"Graftling:", "Unable to create a temporary file"}}));
  EXPECT_EQ(noTemp.saves(), 0);
  EXPECT_EQ(noTemp.sceneText(), robotScene());
}

}  // namespace
}  // namespace graftling
