// graftling-filework: the file work of one `graftling copy` and nothing else,
// to time beside `cp` and the command: what no faster reading or copying can
// take away while the host and the plug-in exchange the scene as files.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "host/platform.h"

namespace {

namespace platform = graftling::platform;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The whole file, read at once into storage of its size, as the command reads.
bool readWhole(const std::string& path, std::string& bytes) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  std::optional<std::uint64_t> size = platform::regularFileSize(file.get());
  if (!size) return false;
  bytes.resize(static_cast<std::size_t>(*size));
  return std::fread(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

bool writeWhole(const std::string& path, const std::string& bytes) {
  std::FILE* raw = std::fopen(path.c_str(), "wb");
  if (raw == nullptr) return false;
  File file(raw);
  if (std::fwrite(bytes.data(), 1, bytes.size(), raw) != bytes.size()) return false;
  return std::fclose(file.release()) == 0;
}

int fail(const char* what) {
  std::fprintf(stderr, "graftling-filework: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs(
        "usage: graftling-filework SCENE EDITED-BYTES OUT\n"
        "Reads SCENE, saves it to a temporary file as the host does, reads that back and\n"
        "writes EDITED-BYTES there as the plug-in does, reads the result as the host loads\n"
        "it, and writes it to OUT through a file renamed over OUT, as `graftling copy` does.\n",
        stderr);
    return 2;
  }
  const std::string out = argv[3];
  std::string hostScene;
  if (!readWhole(argv[1], hostScene)) return fail("cannot read SCENE");
  const std::size_t editedBytes = std::strtoull(argv[2], nullptr, 10);

  // The host's save, and the plug-in's read and write of the same file.
  std::string temp = platform::createUniqueFile();
  if (temp.empty() || !writeWhole(temp, hostScene)) return fail("cannot save the scene");
  {
    std::string pluginScene;
    if (!readWhole(temp, pluginScene)) return fail("cannot read the saved scene");
    std::string edited;
    edited.reserve(editedBytes);
    while (edited.size() < editedBytes)
      edited.append(pluginScene, 0, std::min(pluginScene.size(), editedBytes - edited.size()));
    if (!writeWhole(temp, edited)) return fail("cannot write the edited scene");
  }
  // The host's load, then the plug-in removes its file.
  if (!readWhole(temp, hostScene)) return fail("cannot load the edited scene");
  platform::removeFile(temp);

  std::size_t slash = out.find_last_of("/\\");
  std::string beside = platform::createUniqueFile(slash == std::string::npos ? "." : out.substr(0, slash));
  if (beside.empty() || !writeWhole(beside, hostScene) || !platform::replaceFile(beside, out))
    return fail("cannot write OUT");
  return 0;
}
