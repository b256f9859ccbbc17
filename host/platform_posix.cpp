#include <dlfcn.h>
#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "host/platform.h"

namespace graftling::platform {

std::string createUniqueFile(const std::string& directory) {
  std::string dir = directory;
  if (dir.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  }
  // The name is made in its final storage before the file exists: nothing
  // that can fail for lack of storage comes after the file is made.
  std::string name = dir + "/graftling-XXXXXX";
  int fd = mkstemp(name.data());
  if (fd < 0) return std::string();
  close(fd);
  return name;
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool replaceFile(const std::string& source, const std::string& target) {
  return std::rename(source.c_str(), target.c_str()) == 0;
}

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

std::optional<std::uint64_t> regularFileSize(std::FILE* stream) {
  struct stat status {};
  if (fstat(fileno(stream), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

// Terminals here take the program's bytes as they come.
unsigned useUtf8Console() { return 0; }
void restoreConsole(unsigned) {}

void setBinaryMode(std::FILE*) {}

std::string executablePath() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

bool setEnvironment(const char* name, const std::string& value) {
  return setenv(name, value.c_str(), 1) == 0;
}

int runShellCommand(const std::string& commandLine) {
  int status = std::system(commandLine.c_str());
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool limitFileSize(unsigned long long bytes) {
  std::signal(SIGXFSZ, bytes == 0 ? SIG_DFL : SIG_IGN);
  rlimit limit{};
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
  limit.rlim_cur = bytes == 0 ? limit.rlim_max : static_cast<rlim_t>(bytes);
  return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

std::size_t heapBlockSize(void* block) { return block != nullptr ? malloc_usable_size(block) : 0; }

namespace {
void* runWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return nullptr;
}
}  // namespace

bool runWithStack(std::size_t stackBytes, const std::function<void()>& work) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_t thread;
  bool started =
      pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
      pthread_create(&thread, &attributes, runWork, const_cast<std::function<void()>*>(&work)) == 0;
  pthread_attr_destroy(&attributes);
  return started && pthread_join(thread, nullptr) == 0;
}

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
