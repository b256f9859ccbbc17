// Temporary files for tests, removed when the test ends.
#ifndef GRAFTLING_TESTS_TEST_FILES_H_
#define GRAFTLING_TESTS_TEST_FILES_H_

#include <string>

namespace graftling::testing {

class TempPath {
 public:
  // A fresh, empty file; contents are written with write().
  TempPath();
  TempPath(const TempPath&) = delete;
  TempPath& operator=(const TempPath&) = delete;
  ~TempPath();

  const std::string& path() const { return path_; }
  const char* c_str() const { return path_.c_str(); }
  void write(const std::string& bytes) const;
  std::string read() const;

 private:
  std::string path_;
};

// Files in the system's temporary directory whose names graftling uses.
int countGraftlingTempFiles();

// What a program wrote to a text stream (a message, a listing), with the
// system's text line end read back as "\n": the bytes stay as they are where
// that end is "\n" itself, and CR LF becomes "\n" on Windows.
std::string fromTextStream(const std::string& bytes);

}  // namespace graftling::testing

#endif  // GRAFTLING_TESTS_TEST_FILES_H_
