// Runs the suite with the temporary directory set to a private folder, so
// tests can tell whether the plug-in left a temporary file behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "host/platform.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::filesystem::path base = std::filesystem::temp_directory_path();
  std::filesystem::path dir;
  std::random_device random;
  do {
    dir = base / ("graftling-tests-" + std::to_string(random()));
  } while (!std::filesystem::create_directory(dir));
  for (const char* name : {"TMPDIR", "TMP", "TEMP"}) graftling::platform::setEnvironment(name, dir.string());
  int result = RUN_ALL_TESTS();
  std::filesystem::remove_all(dir);
  return result;
}
