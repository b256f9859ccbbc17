#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "host/platform.h"

namespace graftling::platform {

std::string createUniqueFile(const std::string& directory) {
  std::string dir = directory;
  if (dir.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  }
  std::string pattern = dir + "/graftling-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return std::string();
  close(fd);
  return std::string(name.data());
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool replaceFile(const std::string& source, const std::string& target) {
  return std::rename(source.c_str(), target.c_str()) == 0;
}

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

bool setEnvironment(const char* name, const std::string& value) { return setenv(name, value.c_str(), 1) == 0; }

Library::Library(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    error_ = why != nullptr ? why : "unknown error";
  }
}

Library::~Library() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* Library::symbol(const char* name) const { return handle_ != nullptr ? dlsym(handle_, name) : nullptr; }

}  // namespace graftling::platform
