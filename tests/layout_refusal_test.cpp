// Scenes outside the layout Layout writes. Those the copy would damage are
// refused and the host loads nothing; those that other writers leave, with
// blocks that lack their end lines, copy soundly. The same scene in Layout's
// own layout always copies soundly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin/module_loader.h"
#include "standin/stand_in_host.h"
#include "tests/scene_text.h"
#include "tests/test_files.h"

namespace graftling {
namespace {

using namespace testing;
using standin::PanelAnswer;
using standin::PanelView;
using standin::ShownMessage;
using standin::StandInHost;

const std::vector<ShownMessage> kRefusal = {
    {"Graftling:", "The copy would damage this scene; nothing was changed"}};

std::string block(std::string_view objectLine, int parent = 0) {
  return objectBlock(objectLine, parent) + "\n";
}
std::string light(std::string_view name, int parent = 0) { return lightBlock(name, parent) + "\n"; }

// A block cut short before its end line, as another writer might leave it.
std::string withoutLastLine(const std::string& block) {
  std::size_t cut = block.rfind('\n', block.size() - 3);
  return block.substr(0, cut + 1) + "\n";
}

struct Layout {
  const char* name;
  int pick;              // the object picked, as the host numbers it
  std::string damaged;   // the odd scene
  std::string sound;     // the same items in Layout's layout
  std::string expected;  // sound, after the copy
  std::string copied;    // the odd scene after the copy; empty when it is refused
};

// Root (1) has a child A (2).
std::vector<Layout> layouts() {
  const std::string root = block("AddNullObject Root");
  const std::string rootCopy = objectBlock("AddNullObject Root");
  const std::string a = block("LoadObject Objects/A.lwo", 1);
  const std::string aCopy = block("LoadObject Objects/A.lwo", 3);
  const std::string sun = light("Sun");
  std::vector<Layout> all;

  all.push_back({"an object after the first light", 1,
                 sceneHead() + root + ambientLines() + sun + a + sceneTail(),
                 sceneHead() + root + a + ambientLines() + sun + sceneTail(),
                 sceneHead() + root + a + rootCopy + aCopy + ambientLines() + sun + sceneTail(), ""});

  // No blank lines around the ambient lines: the copy still follows A's block.
  std::string ambient = ambientLines();
  ambient.pop_back();
  all.push_back(
      {"two lines between the last object block and the first light", 2,
       sceneHead() + root + objectBlock("LoadObject Objects/A.lwo", 1) + ambient + sun + sceneTail(),
       sceneHead() + root + a + ambientLines() + sun + sceneTail(),
       sceneHead() + root + a + objectBlock("LoadObject Objects/A.lwo", 1) + ambientLines() + sun +
           sceneTail(),
       sceneHead() + root + objectBlock("LoadObject Objects/A.lwo", 1) +
           objectBlock("LoadObject Objects/A.lwo", 1) + ambient + sun + sceneTail()});

  const std::string b = block("LoadObject Objects/B.lwo");
  all.push_back({"an object block without \"ShadowOptions\"", 1,
                 sceneHead() + root + withoutLastLine(a) + b + ambientLines() + sun + sceneTail(),
                 sceneHead() + root + a + b + ambientLines() + sun + sceneTail(),
                 sceneHead() + root + a + b + rootCopy + block("LoadObject Objects/A.lwo", 4) +
                     ambientLines() + sun + sceneTail(),
                 sceneHead() + root + withoutLastLine(a) + b + rootCopy +
                     withoutLastLine(block("LoadObject Objects/A.lwo", 4)) + ambientLines() + sun +
                     sceneTail()});

  all.push_back({"a light block without \"ShadowType\"", 1,
                 sceneHead() + root + ambientLines() + withoutLastLine(light("Lamp", 1)) + sun + sceneTail(),
                 sceneHead() + root + ambientLines() + light("Lamp", 1) + sun + sceneTail(),
                 sceneHead() + root + rootCopy + ambientLines() + light("Lamp", 1) + sun + light("Lamp", 2) +
                     sceneTail(),
                 sceneHead() + root + rootCopy + ambientLines() + withoutLastLine(light("Lamp", 1)) + sun +
                     withoutLastLine(light("Lamp", 2)) + sceneTail()});

  all.push_back({"an item of the branch after the camera", 1,
                 sceneHead() + root + ambientLines() + sun + sceneTail() + light("Lamp", 1),
                 sceneHead() + root + ambientLines() + sun + light("Lamp", 1) + sceneTail(),
                 sceneHead() + root + rootCopy + ambientLines() + sun + light("Lamp", 1) + light("Lamp", 2) +
                     sceneTail(),
                 ""});
  return all;
}

class LayoutRefusalTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(module_.ok()) << module_.error(); }

  void run(StandInHost& host, int pick) {
    host.setPanelUser([&](const PanelView&) { return PanelAnswer{host.objectHandle(pick), true}; });
    EXPECT_EQ(module_.activate(host), 0);
    EXPECT_EQ(countGraftlingTempFiles(), 0);
  }

  standin::LoadedModule module_{GRAFTLING_MODULE_PATH};
};

TEST_F(LayoutRefusalTest, DamagingEditsAreRefusedAndSoundOnesMade) {
  for (const Layout& layout : layouts()) {
    SCOPED_TRACE(layout.name);
    StandInHost damaged(layout.damaged, "Scenes/odd.lws");
    run(damaged, layout.pick);
    bool refused = layout.copied.empty();
    EXPECT_EQ(damaged.messages(), refused ? kRefusal : std::vector<ShownMessage>{});
    EXPECT_EQ(damaged.loads(), refused ? 0 : 1);
    EXPECT_EQ(damaged.sceneText(), refused ? layout.damaged : layout.copied);

    StandInHost sound(layout.sound, "Scenes/sound.lws");
    run(sound, layout.pick);
    EXPECT_TRUE(sound.messages().empty());
    EXPECT_EQ(sound.loads(), 1);
    EXPECT_EQ(sound.sceneText(), layout.expected);
  }
}

}  // namespace
}  // namespace graftling
