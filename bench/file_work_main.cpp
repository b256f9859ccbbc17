// graftling-filework: the file work of one `graftling copy` and nothing else,
// to time beside `cp` and the command: what no faster reading or copying can
// take away while the host and the plug-in exchange the scene as files.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/platform.h"
#include "standin/session.h"
#include "standin/stand_in_host.h"

namespace {

namespace platform = graftling::platform;
namespace standin = graftling::standin;

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
  // The files are read and written by the stand-in host's and the command's own code.
  std::string hostScene;
  if (!standin::readFileBytes(argv[1], hostScene)) return fail("cannot read SCENE");
  const std::size_t editedBytes = std::strtoull(argv[2], nullptr, 10);

  // The host's save, and the plug-in's read and write of the same file.
  std::string temp = platform::createUniqueFile();
  if (temp.empty() || !standin::writeFileBytes(temp, hostScene)) return fail("cannot save the scene");
  {
    std::string pluginScene;
    if (!standin::readFileBytes(temp, pluginScene)) return fail("cannot read the saved scene");
    std::string edited;
    edited.reserve(editedBytes);
    while (!pluginScene.empty() && edited.size() < editedBytes)
      edited.append(pluginScene, 0, std::min(pluginScene.size(), editedBytes - edited.size()));
    if (!standin::writeFileBytes(temp, edited)) return fail("cannot write the edited scene");
  }
  // The host's load, then the plug-in removes its file.
  if (!standin::readFileBytes(temp, hostScene)) return fail("cannot load the edited scene");
  platform::removeFile(temp);
  if (!standin::writeAtomically(argv[3], hostScene)) return fail("cannot write OUT");
  return 0;
}
