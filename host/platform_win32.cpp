#include <fcntl.h>
#include <io.h>
#include <malloc.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdlib>

#include "host/platform.h"

namespace graftling::platform {

std::string createUniqueFile(const std::string& directory) {
  std::string dir = directory;
  if (dir.empty()) {
    char tempPath[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof tempPath, tempPath);
    if (length == 0 || length > MAX_PATH) return std::string();
    dir.assign(tempPath, length);
  }
  // The result's storage is taken before the file exists: nothing that can
  // fail for lack of storage comes after the file is made.
  std::string result;
  result.reserve(MAX_PATH + 1);
  char name[MAX_PATH + 1];
  if (GetTempFileNameA(dir.c_str(), "gft", 0, name) == 0) return std::string();
  result.assign(name);
  return result;
}

bool removeFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool replaceFile(const std::string& source, const std::string& target) {
  return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool isTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

std::optional<std::uint64_t> regularFileSize(std::FILE* stream) {
  struct _stat64 status {};
  if (_fstat64(_fileno(stream), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG || status.st_size < 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

unsigned useUtf8Console() {
  UINT current = GetConsoleOutputCP();  // 0 without a console
  return current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8) != 0 ? current : 0;
}

void restoreConsole(unsigned previous) {
  if (previous != 0) SetConsoleOutputCP(previous);
}

void setBinaryMode(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

std::string executablePath() {
  char path[MAX_PATH + 1];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

bool setEnvironment(const char* name, const std::string& value) {
  return _putenv_s(name, value.c_str()) == 0;
}

// cmd /c drops the first and the last quote of a line that begins with one;
// a pair around the whole line leaves the caller's own quoting intact.
int runShellCommand(const std::string& commandLine) {
  return std::system(("\"" + commandLine + "\"").c_str());
}

bool limitFileSize(unsigned long long) { return false; }

std::size_t heapBlockSize(void* block) { return block != nullptr ? _msize(block) : 0; }

namespace {
DWORD WINAPI runWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return 0;
}
}  // namespace

bool runWithStack(std::size_t stackBytes, const std::function<void()>& work) {
  HANDLE thread = CreateThread(nullptr, stackBytes, runWork, const_cast<std::function<void()>*>(&work),
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return false;
  bool joined = WaitForSingleObject(thread, INFINITE) == WAIT_OBJECT_0;
  CloseHandle(thread);
  return joined;
}

Library::Library(const std::string& path) {
  handle_ = LoadLibraryA(path.c_str());
  if (handle_ == nullptr) error_ = "LoadLibrary failed with error " + std::to_string(GetLastError());
}

Library::~Library() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* Library::symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace graftling::platform
