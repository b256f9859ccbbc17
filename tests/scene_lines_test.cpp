#include "scene/scene_lines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "scene/line_kind.h"
#include "tests/alloc_failure.h"
#include "tests/test_files.h"

namespace graftling {
namespace {

using testing::AllocationFailure;
using testing::TempPath;

std::vector<std::string> texts(const SceneLines& list) {
  std::vector<std::string> all;
  for (const SceneLine* line = list.head; line != nullptr; line = line->next)
    all.emplace_back(line->text.view());
  return all;
}

// Every link of the list agrees with its neighbour.
void expectConsistentLinks(const SceneLines& list) {
  const SceneLine* previous = nullptr;
  for (const SceneLine* line = list.head; line != nullptr; line = line->next) {
    EXPECT_EQ(line->prev, previous);
    previous = line;
  }
}

TEST(SceneLinesTest, FileRoundTripsByteForByte) {
  const std::string cases[] = {
      "LWSC\r\n1\r\n\r\nLoadObject Objects/Arm.lwo\r\n",  // CR LF line ends
      "LWSC\n1\n\nViewMode 3",                            // no final newline
      std::string("LWSC\nLoad\0Object x\n\0\n", 21),      // NUL bytes
      "LWSC\n\x1a\nEnd\x1a",                              // 0x1A bytes
      "LWSC\n" + std::string(300, 'x') + "\n",            // a line of 300 bytes
      "100% %s %d\n",                                     // printf specials
      "",                                                 // empty file
  };
  for (const std::string& bytes : cases) {
    TempPath in, out;
    in.write(bytes);
    SceneLinesPtr list = loadSceneLines(in.c_str());
    ASSERT_NE(list, nullptr);
    expectConsistentLinks(*list);
    ASSERT_EQ(writeSceneLines(*list, out.c_str()), 1);
    EXPECT_EQ(out.read(), bytes);
  }
}

TEST(SceneLinesTest, LongLinesAreCutIntoPiecesOf255) {
  std::string line300 = std::string(300, 'a') + "\n";
  std::string line255 = std::string(255, 'b') + "\n";
  std::string line254crlf = std::string(254, 'c') + "\r\n";
  SceneLinesPtr list = parseSceneLines(line300 + line255 + line254crlf + "end");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(texts(*list), (std::vector<std::string>{std::string(255, 'a'), std::string(45, 'a') + "\n",
                                                    std::string(255, 'b'), "\n", std::string(254, 'c') + "\r",
                                                    "\n", "end"}));
}

// A file is read in blocks; pieces cut across their seams must come out as
// parsing the same bytes in memory cuts them.
TEST(SceneLinesTest, LoadingCutsAsParsingDoesAcrossReadBlocks) {
  std::mt19937 random(7);
  std::string bytes;
  while (bytes.size() < 100000) {
    std::size_t length = random() % 600;
    for (std::size_t i = 0; i < length; ++i) bytes += "ab\0 \r"[random() % 5];
    bytes += '\n';
  }
  bytes += "last";
  TempPath file;
  file.write(bytes);
  SceneLinesPtr loaded = loadSceneLines(file.c_str());
  SceneLinesPtr parsed = parseSceneLines(bytes);
  ASSERT_NE(loaded, nullptr);
  ASSERT_NE(parsed, nullptr);
  std::vector<std::string> pieces = texts(*parsed);
  EXPECT_EQ(texts(*loaded), pieces);
  std::string joined;
  for (const std::string& piece : pieces) {
    joined += piece;
    std::size_t lineFeed = piece.find('\n');
    bool whole = lineFeed == piece.size() - 1 || (lineFeed == std::string::npos && piece.size() == 255);
    ASSERT_TRUE(whole || &piece == &pieces.back()) << piece.size();
  }
  EXPECT_EQ(joined, bytes);
}

TEST(SceneLinesTest, LoadSaysWhetherItReadTheFile) {
  TempPath file;
  file.write("LWSC\n1\n");
  LoadStatus status = LoadStatus::OutOfStorage;
  SceneLinesPtr list = loadSceneLines(file.c_str(), status);
  EXPECT_EQ(status, LoadStatus::Loaded);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(texts(*list), (std::vector<std::string>{"LWSC\n", "1\n"}));

  // A missing file, and a folder, which some systems open and then fail to read.
  const std::string missing = file.path() + ".missing/scene.lws";
  const std::string folder = std::filesystem::path(file.path()).parent_path().string();
  for (const std::string& path : {missing, folder}) {
    status = LoadStatus::Loaded;
    EXPECT_EQ(loadSceneLines(path.c_str(), status), nullptr) << path;
    EXPECT_EQ(status, LoadStatus::Unreadable) << path;
  }
}

TEST(SceneLinesTest, WriteReportsAFileThatCannotBeMade) {
  SceneLinesPtr list = parseSceneLines("LWSC\n1\n");
  ASSERT_NE(list, nullptr);
  TempPath existing;
  EXPECT_EQ(writeSceneLines(*list, (existing.path() + ".missing/scene.lws").c_str()), 0);
}

TEST(SceneLinesTest, WriteReportsAFullDevice) {
  SceneLinesPtr list = parseSceneLines("LWSC\n1\n");
  ASSERT_NE(list, nullptr);
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full on this system";
  std::fclose(full);
  EXPECT_EQ(writeSceneLines(*list, "/dev/full"), 0);
}

TEST(SceneLinesTest, LoadFailsWholeWhenStorageRunsOutAnywhere) {
  TempPath file;
  file.write("LWSC\n1\n\nLoadObject Objects/A-rather-long-file-name.lwo\nShadowOptions 7\n\n");
  long allocations = 0;
  {
    AllocationFailure counting(0);
    SceneLinesPtr list = loadSceneLines(file.c_str());
    allocations = counting.count();
    ASSERT_NE(list, nullptr);
  }
  ASSERT_GT(allocations, 2);
  for (long n = 1; n <= allocations; ++n) {
    AllocationFailure failing(n);
    LoadStatus status = LoadStatus::Loaded;
    SceneLinesPtr list = loadSceneLines(file.c_str(), status);
    EXPECT_TRUE(failing.failed());
    EXPECT_EQ(list, nullptr) << "allocation " << n;
    EXPECT_EQ(status, LoadStatus::OutOfStorage) << "allocation " << n;
  }
}

TEST(SceneLinesTest, LineMakersGiveUnlinkedUnclassifiedLinesOrNothing) {
  SceneLinesPtr list = parseSceneLines("LWSC\nLoadObject a.lwo\n\n");
  SceneLine* object = list->head->next;
  ASSERT_EQ(object->kind, KindObject);
  LinePtr copy = duplicateLine(*object);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->text, object->text);
  EXPECT_EQ(copy->kind, KindHeader);
  EXPECT_EQ(copy->objectNumber, 0);
  EXPECT_EQ(copy->prev, nullptr);
  EXPECT_EQ(copy->next, nullptr);
  for (long n = 1; n <= 2; ++n) {
    AllocationFailure failing(n);
    EXPECT_EQ(makeLine("a text longer than any small-string buffer\n"), nullptr);
  }
  AllocationFailure failing(1);
  EXPECT_EQ(newLineRecord(), nullptr);
}

TEST(SceneLinesTest, InsertAfterLinksBothWays) {
  SceneLinesPtr list = parseSceneLines("a\nc\n");
  insertAfter(list->head, makeLine("b\n"));
  EXPECT_EQ(texts(*list), (std::vector<std::string>{"a\n", "b\n", "c\n"}));
  expectConsistentLinks(*list);
  EXPECT_EQ(list->head->next->next->prev->text, "b\n");
}

TEST(SceneLinesTest, ReleasingAMillionLinesDoesNotRecurse) {
  std::string bytes;
  for (int i = 0; i < 1000000; ++i) bytes += "x\n";
  SceneLinesPtr list = parseSceneLines(bytes);
  ASSERT_NE(list, nullptr);
  releaseSceneLines(std::move(list));
}

}  // namespace
}  // namespace graftling
