// The fuzz targets' assertion: a failed check aborts, so libFuzzer keeps the
// input that broke it.
#ifndef GRAFTLING_FUZZ_FUZZ_CHECK_H_
#define GRAFTLING_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>
#include <string>

namespace graftling::fuzzing {

[[noreturn]] inline void fail(const char* what, const std::string& detail, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s %s\n", file, line, what, detail.c_str());
  std::abort();
}

}  // namespace graftling::fuzzing

#define FUZZ_CHECK(condition) \
  ((condition) ? void(0) : ::graftling::fuzzing::fail(#condition, std::string(), __FILE__, __LINE__))
#define FUZZ_CHECK_MSG(condition, detail) \
  ((condition) ? void(0) : ::graftling::fuzzing::fail(#condition, (detail), __FILE__, __LINE__))

#endif  // GRAFTLING_FUZZ_FUZZ_CHECK_H_
