#include <gtest/gtest.h>

#include <new>
#include <string>

#include "host/platform.h"
#include "tests/alloc_failure.h"
#include "tests/test_files.h"

namespace graftling {
namespace {

using testing::AllocationFailure;
using testing::countGraftlingTempFiles;

// Found by the storage-failure sweep: the name's storage failed after the
// file had been made, and the file stayed in the user's temporary folder.
TEST(UniqueFileTest, RunningOutOfStorageLeavesNoFile) {
  long allocations = 0;
  {
    AllocationFailure counting(0);
    std::string made = platform::createUniqueFile();
    allocations = counting.count();
    ASSERT_FALSE(made.empty());
    platform::removeFile(made);
  }
  ASSERT_GT(allocations, 0);
  for (long n = 1; n <= allocations; ++n) {
    std::string made;
    try {
      AllocationFailure failure(n);
      made = platform::createUniqueFile();
    } catch (const std::bad_alloc&) {
      // Running out is allowed; leaving the file is not.
    }
    if (!made.empty()) platform::removeFile(made);
    EXPECT_EQ(countGraftlingTempFiles(), 0) << "allocation " << n;
  }
}

}  // namespace
}  // namespace graftling
