// What the graftling command does with the stand-in host: run the plug-in on
// a scene file, show the panel in a terminal, and draw the scene's hierarchy.
#ifndef GRAFTLING_STANDIN_SESSION_H_
#define GRAFTLING_STANDIN_SESSION_H_

#include <cstdio>
#include <optional>
#include <string>

#include "standin/stand_in_host.h"

namespace graftling::standin {

// Exit statuses of the command. kExitPartialCopy: the host loaded the edited
// scene, but the plug-in reported items of the branch that it could not copy.
enum ExitStatus { kExitOk = 0, kExitPluginError = 1, kExitUsage = 2, kExitPartialCopy = 3 };

struct CopyRequest {
  std::string scenePath;
  std::optional<std::string> pick;  // none: ask at the panel on input
  std::string outPath = "-";        // "-": standard output
  std::string modulePath;
};

struct Streams {
  std::FILE* in;
  std::FILE* out;
  std::FILE* err;
};

// Runs the module's "graftling" server on the scene and writes the host's
// scene afterwards to the output, whole and only when the host loaded one.
int runCopy(const CopyRequest& request, const Streams& streams);

// Prints the hierarchy of the scene at scenePath as the host lists it.
int runTree(const std::string& scenePath, const Streams& streams);

// The host's items drawn as a tree: objects and lights under their parents.
std::string renderTree(const StandInHost& host);

// The object that item names: an object number or a host name; null if none.
LWItemID resolveItem(const StandInHost& host, const std::string& item);

// Writes bytes to path through a new file beside it, renamed over path only
// once complete, so a failure never leaves path half-written.
bool writeAtomically(const std::string& path, const std::string& bytes);

// The graftling.p beside the running program.
std::string defaultModulePath();

}  // namespace graftling::standin

#endif  // GRAFTLING_STANDIN_SESSION_H_
