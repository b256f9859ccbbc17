// The few operating-system services the plug-in and its tools need. One file
// per platform implements them: platform_posix.cpp and platform_win32.cpp.
#ifndef GRAFTLING_HOST_PLATFORM_H_
#define GRAFTLING_HOST_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace graftling::platform {

// Creates a new, empty file under a unique name in directory (the system's
// temporary directory when empty) and returns its path; empty on failure.
std::string createUniqueFile(const std::string& directory = std::string());

bool removeFile(const std::string& path);

// Replaces target with source in one step, as far as the system allows.
bool replaceFile(const std::string& source, const std::string& target);

bool isTerminal(std::FILE* stream);

// The size of the regular file open in stream; none for anything else
// (folders, pipes, devices) or when the system cannot tell.
std::optional<std::uint64_t> regularFileSize(std::FILE* stream);

// Makes stream pass bytes unchanged (no CR LF translation on Windows).
void setBinaryMode(std::FILE* stream);

// The path of the running program, or empty when unknown.
std::string executablePath();

bool setEnvironment(const char* name, const std::string& value);

// Runs a command line through the system's shell; its exit status, or -1.
int runShellCommand(const std::string& commandLine);

// Limits the size of files this process writes; 0 lifts the limit. False
// where the system has no such limit.
bool limitFileSize(unsigned long long bytes);

// The bytes the C heap set aside for a block that malloc returned, its
// rounding included; for measuring how much memory a run holds.
std::size_t heapBlockSize(void* block);

// Runs work on a new thread whose stack holds stackBytes, and waits for it.
bool runWithStack(std::size_t stackBytes, const std::function<void()>& work);

// Has a console that shows this program's output read it as UTF-8, as the
// tree's lines are written, and returns the setting to give back with
// restoreConsole; 0 when nothing was changed (files, pipes, POSIX terminals).
unsigned useUtf8Console();
void restoreConsole(unsigned previous);

// An open C stream, closed when its owner goes. A writer that must know its
// data reached the file closes it itself: release(), then fclose.
struct StreamCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using Stream = std::unique_ptr<std::FILE, StreamCloser>;

// A loaded shared library; unloaded when the owner goes.
class Library {
 public:
  Library() = default;
  explicit Library(const std::string& path);
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library();

  bool isOpen() const { return handle_ != nullptr; }
  // The address of an exported symbol, or null.
  void* symbol(const char* name) const;
  // Why the last open failed, in the system's words.
  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace graftling::platform

#endif  // GRAFTLING_HOST_PLATFORM_H_
