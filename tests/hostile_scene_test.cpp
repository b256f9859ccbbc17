// Hostile scenes through the graftling program: each run ends in bounded time
// with status 0, 1, 2 or 3, and OUT is either untouched, with graftling's own
// message on standard error, or a whole result that is the scene with lines
// inserted only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/scene_edit_check.h"
#include "host/platform.h"
#include "tests/scene_text.h"
#include "tests/test_files.h"

namespace graftling {
namespace {

using namespace testing;

// The sanitized build runs the large scenes at a tenth of their size.
constexpr int kScale = 20000 / GRAFTLING_CHAIN_DEPTH;
const std::string kUntouched = "OUT before the run: must stay unless a whole result replaces it\n";

struct Hostile {
  std::string name;
  std::string scene;
  std::string pick;
  std::vector<int> statuses;  // the exit statuses this scene may give
  // The whole standard error of a failed run, "{scene}" standing for the
  // scene's path; empty where it is not fixed, but still graftling's own.
  std::string message = "";
};

const std::string kNotAScene = "graftling: {scene} is not a scene text: its first line is not \"LWSC\"\n";
const std::string kNotCopied = "graftling: Graftling: Unable to copy the picked object\n";

std::string scene(const std::string& objects, const std::string& lights = lightBlock("Sun") + "\n",
                  const std::string& tail = sceneTail()) {
  return sceneHead() + objects + ambientLines() + lights + tail;
}

std::string block(const std::string& objectLine, int parent = 0) {
  return objectBlock(objectLine, parent) + "\n";
}

std::string withParentText(const std::string& objectLine, const std::string& value) {
  return objectLine + "\nShowObject 8 7\nParentObject " + value + "\nShadowOptions 7\n\n";
}

// Bytes from a fixed linear congruential sequence: the same garbage every run.
std::string garbage(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t state = 12345;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

std::vector<Hostile> hostileScenes() {
  std::vector<Hostile> all;
  all.push_back({"empty file", "", "1", {2}, kNotAScene});
  all.push_back(
      {"LWSC alone", "LWSC", "1", {2}, "graftling: no object of {scene} is numbered or named \"1\"\n"});
  all.push_back({"a 10 MB line",
                 scene(block("AddNullObject Root") + "Comment " + std::string(10 << 20, 'x') + "\n" +
                       block("AddNullObject Child", 1)),
                 "1",
                 {0}});
  all.push_back({"binary garbage", garbage(1 << 16), "1", {2}, kNotAScene});
  all.push_back({"garbage after LWSC",
                 "LWSC\n" + garbage(1 << 16) + scene(block("AddNullObject Root")),
                 "1",
                 {0, 1, 2}});
  std::string nul = scene(block(std::string("AddNullObject A\0B", 17)) + block("AddNullObject \x1a", 1) +
                          block("AddNullObject C", 2) + "Stray \x1a\0\x1a line\n");
  all.push_back({"NUL and 0x1A bytes", nul, "2", {0}});
  all.push_back({"NUL and 0x1A in the picked name", nul, "1", {0, 1, 2}});
  all.push_back({"no ShadowOptions",
                 scene("AddNullObject A\nShowObject 8 7\n\nAddNullObject B\nParentObject 1\n\n"),
                 "1",
                 {0}});
  all.push_back(
      {"no lights", scene(block("AddNullObject A") + block("AddNullObject B", 1), ""), "1", {1}, kNotCopied});
  all.push_back({"no camera",
                 scene(block("AddNullObject A") + block("AddNullObject B", 1), lightBlock("Sun") + "\n",
                       "SolidBackdrop 1\n\n"),
                 "1",
                 {1},
                 "graftling: Graftling: No camera found in the saved scene\n"});
  all.push_back(
      {"ParentObject cycle",
       scene(block("AddNullObject A", 3) + block("AddNullObject B", 1) + block("AddNullObject C", 2)),
       "1",
       {0}});
  all.push_back({"own parent", scene(block("AddNullObject A", 1) + block("AddNullObject B", 1)), "1", {0}});
  all.push_back(
      {"huge, negative and non-numeric parents",
       scene(block("AddNullObject A") + withParentText("AddNullObject B", "99999999999999999999") +
             withParentText("AddNullObject C", "-1") + withParentText("AddNullObject D", "-2147483649") +
             withParentText("AddNullObject E", "one") + withParentText("AddNullObject F", "") +
             withParentText("AddNullObject G", "1x")),
       "1",
       {0}});

  const int leaves = 5000 / kScale;
  std::string hub = block("AddNullObject Hub");
  for (int i = 0; i < leaves; ++i) hub += block("AddNullObject Leaf", 1);
  all.push_back({std::to_string(leaves) + " children of one null", scene(hub), "1", {0}});

  const int depth = 20000 / kScale;
  std::string chain = block("AddNullObject Link");
  for (int i = 2; i <= depth; ++i)
    chain += "AddNullObject Link\nParentObject " + std::to_string(i - 1) + "\nShadowOptions 7\n\n";
  all.push_back({"a " + std::to_string(depth) + "-level chain", scene(chain), "1", {0}});
  return all;
}

class HostileSceneTest : public ::testing::TestWithParam<std::size_t> {
 protected:
  static const std::vector<Hostile>& scenes() {
    static const std::vector<Hostile> all = hostileScenes();
    return all;
  }
};

struct CopyRun {
  std::string scenePath;
  int status;
  double seconds;
  std::string err;
  std::string out;  // OUT afterwards
};

// Runs program as "graftling copy" on the hostile scene, writing to an OUT
// that holds kUntouched before.
CopyRun runCopy(const std::string& program, const Hostile& hostile) {
  TempPath scenePath, out, err;
  scenePath.write(hostile.scene);
  out.write(kUntouched);
  // timeout ends a run that hangs with status 124, which no case allows.
  std::string command = "timeout 600 \"" + program + "\" copy \"" + scenePath.path() + "\" --pick " +
                        hostile.pick + " -o \"" + out.path() + "\" </dev/null >/dev/null 2>\"" + err.path() +
                        "\"";
  auto start = std::chrono::steady_clock::now();
  int status = platform::runShellCommand(command);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return CopyRun{scenePath.path(), status, seconds, err.read(), out.read()};
}

// Whether err is what graftling writes when it fails: lines that each begin
// "graftling: ". A program that never started can end with the same status,
// when timeout hands it to /bin/sh, but not with this.
bool isGraftlingMessage(const std::string& err) {
  if (err.empty() || err.back() != '\n') return false;
  for (std::size_t line = 0; line < err.size(); line = err.find('\n', line) + 1) {
    if (err.compare(line, 11, "graftling: ") != 0) return false;
  }
  return true;
}

// What is wrong with run of hostile; empty when nothing is.
std::string faultOf(const Hostile& hostile, const CopyRun& run) {
  if (std::find(hostile.statuses.begin(), hostile.statuses.end(), run.status) == hostile.statuses.end())
    return "status " + std::to_string(run.status) + " after " + std::to_string(run.seconds) +
           " s: " + run.err;
  if (run.status == 0 || run.status == 3) {
    // A partial copy (3) is written and says what it left out.
    if (run.status == 0 && !run.err.empty()) return "a message after a copy: " + run.err;
    if (run.status == 3 && !isGraftlingMessage(run.err)) return "a partial copy says nothing: " + run.err;
    if (run.out == hostile.scene) return "OUT holds the scene unchanged";
    fuzzing::EditCheck check = fuzzing::checkInsertionsOnly(hostile.scene, run.out);
    return check.ok() ? "" : "OUT is not the scene with lines inserted only: " + check.why;
  }
  if (run.out != kUntouched) return "a failed run changed OUT";
  if (!isGraftlingMessage(run.err)) return "standard error holds no message of graftling's: " + run.err;
  std::string expected = hostile.message;
  if (std::size_t at = expected.find("{scene}"); at != std::string::npos)
    expected.replace(at, 7, run.scenePath);
  if (!expected.empty() && run.err != expected) return "the message " + run.err + " instead of " + expected;
  return "";
}

TEST_P(HostileSceneTest, EndsWithAWholeResultOrNone) {
  const Hostile& hostile = scenes()[GetParam()];
  EXPECT_EQ(faultOf(hostile, runCopy(GRAFTLING_PROGRAM_PATH, hostile)), "");
  EXPECT_EQ(countGraftlingTempFiles(), 0);
}

// A file that is no program for this system: timeout hands it to /bin/sh,
// which reads it as a script and exits 2, the status an empty scene gives.
TEST(HostileSceneHarnessTest, NoticesThatTheProgramNeverRan) {
  const std::vector<Hostile> all = hostileScenes();
  const Hostile& empty = all.front();
  ASSERT_EQ(empty.name, "empty file");
  TempPath notAProgram;
  // Begins as a Windows program does; the shell stops at a syntax error in
  // its first line, having run nothing.
  const char bytes[] = "MZ)\x90\0\x03 no program for this system\n";
  notAProgram.write(std::string(bytes, sizeof bytes - 1));
  std::filesystem::permissions(notAProgram.path(), std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::add);
  CopyRun run = runCopy(notAProgram.path(), empty);
  if (run.status != 2)
    GTEST_SKIP() << "/bin/sh here ends with status " << run.status << " on this file, not 2";
  EXPECT_EQ(run.err.rfind(notAProgram.path() + ": ", 0), 0u) << run.err;
  EXPECT_EQ(faultOf(empty, run), "standard error holds no message of graftling's: " + run.err);
}

std::string caseName(const ::testing::TestParamInfo<std::size_t>& info) {
  static const std::vector<Hostile> all = hostileScenes();
  std::string name;
  for (char c : all[info.param].name) name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Scenes, HostileSceneTest, ::testing::Range<std::size_t>(0, hostileScenes().size()),
                         caseName);

}  // namespace
}  // namespace graftling
