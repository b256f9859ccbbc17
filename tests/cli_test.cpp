#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/platform.h"
#include "tests/scene_text.h"
#include "tests/test_files.h"

namespace graftling {
namespace {

using namespace testing;

struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};

// Runs the built graftling program with args (already quoted as needed) and
// input on its standard input.
ProgramRun runProgram(const std::string& args, const std::string& input = "") {
  TempPath in, out, err;
  in.write(input);
  std::string command = "\"" GRAFTLING_PROGRAM_PATH "\" " + args + " <\"" + in.path() + "\" >\"" +
                        out.path() + "\" 2>\"" + err.path() + "\"";
  int status = platform::runShellCommand(command);
  // Messages are text; the edited scene on standard output is bytes.
  return ProgramRun{status, out.read(), fromTextStream(err.read())};
}

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

// A base null with an arm, the arm's hand, and a lamp on the hand.
std::string armObjects() {
  return objectBlock("AddNullObject Base") + "\n" + objectBlock("LoadObject Objects/Arm.lwo", 1) + "\n" +
         objectBlock("LoadObject Objects/Hand.lwo", 2) + "\n";
}
std::string armLights() { return lightBlock("Key") + "\n" + lightBlock("Lamp", 3) + "\n"; }
std::string armScene() { return sceneHead() + armObjects() + ambientLines() + armLights() + sceneTail(); }
std::string armCopied() {
  return sceneHead() + armObjects() + objectBlock("LoadObject Objects/Arm.lwo", 1) +
         objectBlock("LoadObject Objects/Hand.lwo", 4) + "\n" + ambientLines() + armLights() +
         lightBlock("Lamp", 5) + "\n" + sceneTail();
}

TEST(CommandTest, CopyByNumberOrNameWritesTheEditedScene) {
  TempPath scene, byName;
  scene.write(armScene());
  ProgramRun byNumber = runProgram("copy " + quoted(scene.path()) + " --pick 2");
  EXPECT_EQ(byNumber.status, 0) << byNumber.err;
  EXPECT_EQ(byNumber.out, armCopied());
  EXPECT_EQ(byNumber.err, "");

  ProgramRun named =
      runProgram("copy " + quoted(scene.path()) + " --pick Arm.lwo -o " + quoted(byName.path()));
  EXPECT_EQ(named.status, 0) << named.err;
  EXPECT_EQ(named.out, "");
  EXPECT_EQ(byName.read(), armCopied());
  EXPECT_EQ(scene.read(), armScene());
}

TEST(CommandTest, TreeShowsTheNewBranchBesideTheOld) {
  TempPath scene;
  scene.write(armCopied());
  ProgramRun tree = runProgram("tree " + quoted(scene.path()));
  EXPECT_EQ(tree.status, 0);
  EXPECT_EQ(fromTextStream(tree.out), scene.path() +
                                          "\n"
                                          "1 Base\n"
                                          "├── 2 Arm.lwo\n"
                                          "│   └── 3 Hand.lwo\n"
                                          "│       └── light 2 Lamp\n"
                                          "└── 4 Arm.lwo (2)\n"
                                          "    └── 5 Hand.lwo (2)\n"
                                          "        └── light 3 Lamp\n"
                                          "light 1 Key\n"
                                          "camera 1 Camera\n");

  TempPath cycle;
  cycle.write(sceneHead() + objectBlock("AddNullObject A", 2) + "\n" + objectBlock("AddNullObject B", 1) +
              "\n" + sceneTail());
  EXPECT_EQ(fromTextStream(runProgram("tree " + quoted(cycle.path())).out),
            cycle.path() + "\ncamera 1 Camera\n1 A  (in a parent cycle)\n└── 2 B\n");
}

TEST(CommandTest, TreeDrawsAFormatTwoScene) {
  // Format 2 begins the camera's block with "AddCamera": its parent line is
  // the camera's, not the last light's, and the camera hangs on its parent.
  TempPath scene;
  scene.write(
      "LWSC\n2\n\nLoadObject Objects/Truck.lwo\nShowObject 8 7\nLoadObject Objects/Wheel.lwo\n"
      "ShowObject 8 7\nParentObject 1\nAmbientColor 255 255 255\nAmbIntensity 0.25\n\nAddLight\n"
      "LightName Lamp\nParentObject 1\nShadowType 1\n\nAddCamera\nCameraName Camera\nParentObject 2\n"
      "ShowCamera 1 7\n\n");
  ProgramRun tree = runProgram("tree " + quoted(scene.path()));
  EXPECT_EQ(tree.status, 0);
  EXPECT_EQ(fromTextStream(tree.out),
            scene.path() + "\n1 Truck.lwo\n├── 2 Wheel.lwo\n│   └── camera 1 Camera\n└── light 1 Lamp\n");
}

TEST(CommandTest, TreeDrawsBonesCamerasAndWhatHangsOnThem) {
  // Format 3: bones under their object and under each other, a hat and a
  // camera on the head bone, a lens on the first camera.
  TempPath scene;
  const std::string bones =
      boneBlock3("Root", "10000001") + boneBlock3("Spine", "40000001") + boneBlock3("Head", "40010001");
  scene.write(
      withCrLf(scene3({objectBlock3("AddNullObject Master"),
                       objectBlock3("LoadObjectLayer 1 Objects/Hero.lwo", "ParentItem 10000000\n", bones),
                       objectBlock3("LoadObjectLayer 1 Objects/Hat.lwo", "ParentItem 40020001\n"),
                       objectBlock3("AddNullObject Lens", "ParentItem 30000000\n")},
                      {lightBlock3("Rim", "ParentItem 10000001\n")},
                      {cameraBlock3("Camera"), cameraBlock3("CloseUp", "ParentItem 40020001\n")})));
  ProgramRun tree = runProgram("tree " + quoted(scene.path()));
  EXPECT_EQ(tree.status, 0) << tree.err;
  EXPECT_EQ(fromTextStream(tree.out), scene.path() +
                                          "\n"
                                          "1 Master\n"
                                          "└── 2 Hero.lwo\n"
                                          "    ├── bone 1 Root\n"
                                          "    │   └── bone 2 Spine\n"
                                          "    │       └── bone 3 Head\n"
                                          "    │           ├── 3 Hat.lwo\n"
                                          "    │           └── camera 2 CloseUp\n"
                                          "    └── light 1 Rim\n"
                                          "camera 1 Camera\n"
                                          "└── 4 Lens\n");
}

TEST(CommandTest, ThePanelAsksOnStandardInput) {
  TempPath scene;
  scene.write(armScene());
  ProgramRun retried = runProgram("copy " + quoted(scene.path()), "Wrist.lwo\n2\n");
  EXPECT_EQ(retried.status, 0);
  EXPECT_EQ(retried.out, armCopied());
  EXPECT_EQ(retried.err,
            "Graftling  ver.1.0 beta          by KBZ\n"
            "          parent Object \n"
            "  * 1  Base\n"
            "    2  Arm.lwo\n"
            "    3  Hand.lwo\n"
            "Pick an object [Enter: 1 Base; a number or a name; q: cancel]: "
            "No object is numbered or named \"Wrist.lwo\".\n"
            "Pick an object [Enter: 1 Base; a number or a name; q: cancel]: ");

  ProgramRun preset = runProgram("copy " + quoted(scene.path()), "\n");
  EXPECT_EQ(preset.status, 0);
  EXPECT_NE(preset.out, armScene());

  for (const char* cancel : {"q\n", ""}) {
    ProgramRun cancelled = runProgram("copy " + quoted(scene.path()), cancel);
    EXPECT_EQ(cancelled.status, 1);
    EXPECT_EQ(cancelled.out, "");
    EXPECT_NE(cancelled.err.find("graftling: nothing was copied\n"), std::string::npos);
  }
}

TEST(CommandTest, FailuresExitWithAStatusAndLeaveOutUntouched) {
  TempPath scene, noCamera, notScene, out;
  scene.write(armScene());
  noCamera.write(sceneHead() + armObjects() + ambientLines() + armLights() + "\n");
  notScene.write("LWO2 not a scene\n");
  const std::string previous = "previous contents\n";
  out.write(previous);
  const std::string toOut = " -o " + quoted(out.path());
  struct Case {
    std::string args;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {"copy " + quoted(scene.path()) + " --pick 9" + toOut, 2,
       "graftling: no object of " + scene.path() + " is numbered or named \"9\"\n"},
      {"copy " + quoted(notScene.path()) + " --pick 1" + toOut, 2,
       "graftling: " + notScene.path() + " is not a scene text: its first line is not \"LWSC\"\n"},
      {"copy " + quoted(noCamera.path()) + " --pick 1" + toOut, 1,
       "graftling: Graftling: No camera found in the saved scene\n"},
      {"copy " + quoted(scene.path()) + " --pick 1 --module " + quoted(scene.path() + ".missing.p") + toOut,
       2, ""},
      {"copy " + quoted(scene.path() + ".missing") + " --pick 1" + toOut, 2, ""},
  };
  for (const Case& c : cases) {
    ProgramRun run = runProgram(c.args);
    EXPECT_EQ(run.status, c.status) << c.args;
    if (!c.err.empty()) {
      EXPECT_EQ(run.err.substr(0, c.err.size()), c.err) << c.args;
    } else {
      EXPECT_EQ(run.err.rfind("graftling: ", 0), 0u) << c.args << ": " << run.err;
    }
    EXPECT_EQ(out.read(), previous) << c.args;
  }
}

TEST(CommandTest, AnOlderWritersLampIsCopiedWithItsBranch) {
  // The lamp below the hand ends with "ShadowCasting 1" and a blank line, as
  // older writers leave a light: it is copied up to that line.
  const std::string olderLamp = "AddLight\nLightName Lamp\nParentObject 3\nShadowCasting 1\n\n";
  const std::string lights = lightBlock("Key") + "\n" + olderLamp;
  TempPath scene, out;
  scene.write(sceneHead() + armObjects() + ambientLines() + lights + sceneTail());
  const std::string copied = sceneHead() + armObjects() + objectBlock("LoadObject Objects/Arm.lwo", 1) +
                             objectBlock("LoadObject Objects/Hand.lwo", 4) + "\n" + ambientLines() + lights +
                             "AddLight\nLightName Lamp\nParentObject 5\nShadowCasting 1\n\n" + sceneTail();

  ProgramRun toOut = runProgram("copy " + quoted(scene.path()) + " --pick 2 -o " + quoted(out.path()));
  EXPECT_EQ(toOut.status, 0);
  EXPECT_EQ(toOut.out, "");
  EXPECT_EQ(toOut.err, "");
  EXPECT_EQ(out.read(), copied);
}

// Layout writes names in Windows-1252. The tree shows them in UTF-8, a pick
// may spell them either way, and the copy keeps the file's bytes.
TEST(CommandTest, Windows1252NamesAreShownAndPickedAsTyped) {
  TempPath scene, out;
  const std::string objects = objectBlock("AddNullObject Base") + "\n" +
                              objectBlock("LoadObject Objects/verre lumi\xE8re.lwo", 1) + "\n";
  const std::string lights = lightBlock("Target Lumi\xE8re", 2) + "\n";
  scene.write(sceneHead() + objects + ambientLines() + lights + sceneTail());
  ProgramRun tree = runProgram("tree " + quoted(scene.path()));
  EXPECT_EQ(tree.status, 0);
  EXPECT_EQ(fromTextStream(tree.out), scene.path() +
                                          "\n1 Base\n"
                                          "└── 2 verre lumière.lwo\n"
                                          "    └── light 1 Target Lumière\n"
                                          "camera 1 Camera\n");

  const std::string copied = sceneHead() + objects +
                             objectBlock("LoadObject Objects/verre lumi\xE8re.lwo", 1) + ambientLines() +
                             lights + lightBlock("Target Lumi\xE8re", 3) + "\n" + sceneTail();
  std::vector<std::string> picks = {"\"verre lumi\xE8re.lwo\""};
#ifndef _WIN32
  // A Windows console hands the program its own code page's bytes; a UTF-8 terminal, UTF-8.
  picks.push_back("'verre lumière.lwo'");
#endif
  for (const std::string& pick : picks) {
    ProgramRun run =
        runProgram("copy " + quoted(scene.path()) + " --pick " + pick + " -o " + quoted(out.path()));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(out.read(), copied) << pick;
  }
  ProgramRun missing = runProgram("copy " + quoted(scene.path()) + " --pick \"lumi\xE8re.lwo\"");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err,
            "graftling: no object of " + scene.path() + " is numbered or named \"lumière.lwo\"\n");
}

TEST(CommandTest, AFormatGraftlingDoesNotEditChangesNothing) {
  TempPath scene, out;
  const std::string layers =
      "LWSC\n9\n\nLoadObjectLayer 1 10000000 Objects/Body.lwo\nShowObject 8 7\nShadowOptions 7\n\n"
      "LoadObjectLayer 1 10000001 Objects/Wheel.lwo\nParentItem 10000000\nShadowOptions 7\n\n"
      "AmbientColor 255 255 255\nAmbIntensity 0.250000\n\nAddLight\nShadowType 1\n\n"
      "ShowCamera 1 7\n\n";
  scene.write(layers);
  const std::string previous = "previous contents\n";
  out.write(previous);
  ProgramRun copy = runProgram("copy " + quoted(scene.path()) + " --pick 1 -o " + quoted(out.path()));
  EXPECT_EQ(copy.status, 1);
  EXPECT_EQ(copy.err,
            "graftling: Graftling: Scene format 9 is not one graftling edits; nothing was changed\n");
  EXPECT_EQ(out.read(), previous);

  ProgramRun tree = runProgram("tree " + quoted(scene.path()));
  EXPECT_EQ(tree.status, 2);
  EXPECT_EQ(tree.out, "");
  EXPECT_EQ(tree.err,
            "graftling: " + scene.path() +
                ": scene format 9 is not one graftling reads; it reads formats 1, 2, 3, 4, 5, 6, 7 and 8\n");

  scene.write("LWSC\n3.1\n");
  EXPECT_EQ(runProgram("copy " + quoted(scene.path()) + " --pick 1").status, 2);
  EXPECT_EQ(
      runProgram("tree " + quoted(scene.path())).err,
      "graftling: " + scene.path() +
          ": scene format unknown is not one graftling reads; it reads formats 1, 2, 3, 4, 5, 6, 7 and 8\n");
}

TEST(CommandTest, UsageErrorsSayWhatIsWrongInOneLine) {
  TempPath scene;
  scene.write(armScene());
  const std::string path = quoted(scene.path());
  const std::string tryHelp = "Try 'graftling --help'.\n";
  struct Case {
    std::string args;
    std::string err;
  };
  const Case cases[] = {
      {"", "graftling: no command given\n"},
      {"paste " + path, "graftling: unknown command \"paste\"\n"},
      {"copy", "graftling: copy takes one SCENE\n"},
      {"copy " + path + " " + path, "graftling: copy takes one SCENE\n"},
      {"copy " + path + " --pick", "graftling: --pick needs a value\n"},
      {"copy " + path + " --bogus", "graftling: unknown option \"--bogus\" for copy\n"},
      {"tree " + path + " --pick 1", "graftling: unknown option \"--pick\" for tree\n"},
      {"tree " + path + " -o out.lws", "graftling: unknown option \"-o\" for tree\n"},
      {"--help copy", "graftling: --help takes no arguments\n"},
      {"--version " + path, "graftling: --version takes no arguments\n"},
  };
  for (const Case& c : cases) {
    ProgramRun run = runProgram(c.args);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_EQ(run.out, "") << c.args;
    EXPECT_EQ(run.err, c.err + tryHelp) << c.args;
  }
}

TEST(CommandTest, VersionAndHelp) {
  ProgramRun version = runProgram("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(fromTextStream(version.out), "graftling " GRAFTLING_VERSION "\n");
  EXPECT_EQ(version.err, "");

  for (const char* option : {"--help", "-h"}) {
    ProgramRun help = runProgram(option);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    std::string text = fromTextStream(help.out);
    EXPECT_EQ(text.rfind("usage: graftling copy SCENE [--pick ITEM] [-o OUT] [--module PATH]\n", 0), 0u)
        << text;
    std::size_t statuses = text.find("Exit status:\n");
    ASSERT_NE(statuses, std::string::npos) << text;
    EXPECT_EQ(text.substr(statuses),
              "Exit status:\n"
              "  0  copied; OUT holds the scene with the new branch\n"
              "  1  nothing copied: the plug-in refused or reported why, or the panel was\n"
              "     cancelled; OUT is not written\n"
              "  2  a usage error, an unreadable or non-scene file, an ITEM that names no\n"
              "     object, or a module that cannot be loaded; OUT is not written\n"
              "  3  copied, but the plug-in reported items it could not copy; OUT holds\n"
              "     the scene as the host loaded it\n");
  }
}

TEST(CommandTest, CopyInPlaceReplacesTheScene) {
  TempPath scene;
  scene.write(withCrLf(armScene()));
  ProgramRun run = runProgram("copy " + quoted(scene.path()) + " --pick Arm.lwo -o " + quoted(scene.path()));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(scene.read(), withCrLf(armCopied()));
}

}  // namespace
}  // namespace graftling
