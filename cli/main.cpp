// graftling: runs the graftling.p plug-in on a scene file from the shell.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/platform.h"
#include "standin/session.h"

namespace {

using namespace graftling::standin;
namespace platform = graftling::platform;

const char kUsage[] =
    "usage: graftling copy SCENE [--pick ITEM] [-o OUT] [--module PATH]\n"
    "       graftling tree SCENE [--module PATH]\n"
    "       graftling --help | --version\n"
    "\n"
    "copy  runs the plug-in on SCENE as Layout would: picks ITEM at its panel (an\n"
    "      object number, or a name as the host lists it, e.g. \"Arm.lwo (2)\"),\n"
    "      and writes the scene the host holds afterwards to OUT (default: -,\n"
    "      standard output). Without --pick the panel asks on standard input.\n"
    "tree  prints the objects and lights of SCENE under their parents.\n"
    "--module PATH  the plug-in module (default: graftling.p beside this program)\n"
    "\n"
    "Exit status:\n"
    "  0  copied; OUT holds the scene with the new branch\n"
    "  1  nothing copied: the plug-in refused or reported why, or the panel was\n"
    "     cancelled; OUT is not written\n"
    "  2  a usage error, an unreadable or non-scene file, an ITEM that names no\n"
    "     object, or a module that cannot be loaded; OUT is not written\n"
    "  3  copied, but the plug-in reported items it could not copy; OUT holds\n"
    "     the scene as the host loaded it\n";

// While it lives, a Windows console shows the program's UTF-8 as UTF-8; the
// console's own code page returns when it goes.
class Utf8Console {
 public:
  Utf8Console() : previous_(platform::useUtf8Console()) {}
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;
  ~Utf8Console() { platform::restoreConsole(previous_); }

 private:
  unsigned previous_;
};

// A usage error: what is wrong, and where to read how it is right.
int usageError(const std::string& why) {
  std::fprintf(stderr, "graftling: %s\nTry 'graftling --help'.\n", why.c_str());
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usageError("no command given");
  const std::string command = args[0];
  if (command == "--help" || command == "-h" || command == "--version") {
    if (args.size() > 1) return usageError(command + " takes no arguments");
    std::fputs(command == "--version" ? "graftling " GRAFTLING_VERSION "\n" : kUsage, stdout);
    return kExitOk;
  }
  if (command != "copy" && command != "tree") return usageError("unknown command \"" + command + "\"");

  CopyRequest request;
  request.modulePath = defaultModulePath();
  std::vector<std::string> positional;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool takesValue = arg == "--pick" || arg == "-o" || arg == "--module";
    if (takesValue && i + 1 >= args.size()) return usageError(arg + " needs a value");
    if (arg == "--pick" && command == "copy") {
      request.pick = args[++i];
    } else if (arg == "-o" && command == "copy") {
      request.outPath = args[++i];
    } else if (arg == "--module") {
      request.modulePath = args[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      // Built once, on the way out: the loop repeats no concatenation.
      // NOLINTNEXTLINE(performance-inefficient-string-concatenation)
      return usageError("unknown option \"" + arg + "\" for " + command);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 1) return usageError(command + " takes one SCENE");
  request.scenePath = positional[0];

  Utf8Console console;
  Streams streams{stdin, stdout, stderr};
  if (command == "tree") return runTree(request.scenePath, streams);
  return runCopy(request, streams);
}
