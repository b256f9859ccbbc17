#include "tests/test_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/platform.h"
#include "standin/stand_in_host.h"

namespace graftling::testing {

namespace {

std::filesystem::path temporaryDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp != nullptr && *tmp != '\0' ? std::filesystem::path(tmp) : std::filesystem::temp_directory_path();
}

}  // namespace

TempPath::TempPath() {
  static int serial = 0;
  std::filesystem::path file = temporaryDirectory() / ("scene-test-" + std::to_string(++serial) + ".lws");
  path_ = file.string();
  standin::writeFileBytes(path_, std::string());
}

TempPath::~TempPath() { platform::removeFile(path_); }

void TempPath::write(const std::string& bytes) const { ASSERT_TRUE(standin::writeFileBytes(path_, bytes)); }

std::string TempPath::read() const {
  std::string bytes;
  EXPECT_TRUE(standin::readFileBytes(path_, bytes));
  return bytes;
}

int countGraftlingTempFiles() {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(temporaryDirectory())) {
    std::string name = entry.path().filename().string();
    if (name.rfind("graftling-", 0) == 0 || name.rfind("gft", 0) == 0) ++count;
  }
  return count;
}

std::string fromTextStream(const std::string& bytes) {
  // The line end is what "\n" becomes when this program's runtime writes it
  // in text mode; the programs under test share that runtime.
  static const std::string lineEnd = [] {
    TempPath probe;
    if (std::FILE* text = std::fopen(probe.c_str(), "w")) {
      std::fputs("\n", text);
      std::fclose(text);
    }
    return probe.read();
  }();
  if (lineEnd.empty() || lineEnd == "\n") return bytes;
  std::string result;
  for (std::size_t at = 0; at < bytes.size();) {
    if (bytes.compare(at, lineEnd.size(), lineEnd) == 0) {
      result += '\n';
      at += lineEnd.size();
    } else {
      result += bytes[at++];
    }
  }
  return result;
}

}  // namespace graftling::testing
