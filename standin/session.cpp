#include "standin/session.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "host/platform.h"
#include "scene/scene_format.h"
#include "standin/module_loader.h"
#include "standin/shown_names.h"

namespace graftling::standin {

namespace {

void complain(const Streams& streams, const std::string& text) {
  std::fprintf(streams.err, "graftling: %s\n", text.c_str());
}

// Reads the scene and checks that it is a scene text: its first line is "LWSC".
bool readScene(const std::string& path, std::string& bytes, const Streams& streams) {
  if (!readFileBytes(path, bytes)) {
    complain(streams, "cannot read " + path + ": " + std::strerror(errno));
    return false;
  }
  std::string_view first = std::string_view(bytes).substr(0, bytes.find('\n'));
  if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
  if (first != "LWSC") {
    complain(streams, path + " is not a scene text: its first line is not \"LWSC\"");
    return false;
  }
  return true;
}

bool isNumber(const std::string& text) {
  return !text.empty() && text.size() < 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string describe(const HostItem& item) {
  return std::to_string(item.number) + " " + shownText(item.name);
}

std::string readAnswerLine(std::FILE* in, bool& ended) {
  std::string line;
  int c = 0;
  while ((c = std::fgetc(in)) != EOF && c != '\n') line += static_cast<char>(c);
  ended = c == EOF && line.empty();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// Plays the panel in the terminal: lists the objects with the preset marked
// and reads the user's choice. End of input or "q" cancels.
PanelAnswer askAtPanel(const StandInHost& host, const PanelView& view, const Streams& streams) {
  std::fprintf(streams.err, "%s\n%s\n", view.title.c_str(), view.label.c_str());
  for (const HostItem& item : view.objects) {
    std::fprintf(streams.err, "  %c %d  %s\n", item.handle == view.preset ? '*' : ' ', item.number,
                 shownText(item.name).c_str());
  }
  const HostItem* preset = host.itemFor(view.preset);
  std::string presetText = preset != nullptr ? describe(*preset) : "none";
  for (;;) {
    std::fprintf(streams.err,
                 "Pick an object [Enter: %s; a number or a name; q: cancel]: ", presetText.c_str());
    std::fflush(streams.err);
    bool ended = false;
    std::string answer = readAnswerLine(streams.in, ended);
    if (ended || answer == "q") {
      std::fprintf(streams.err, "\n");
      return PanelAnswer{view.preset, false};
    }
    if (answer.empty()) return PanelAnswer{view.preset, true};
    if (LWItemID picked = resolveItem(host, answer)) return PanelAnswer{picked, true};
    std::fprintf(streams.err, "No object is numbered or named \"%s\".\n", shownText(answer).c_str());
  }
}

}  // namespace

bool writeAtomically(const std::string& path, const std::string& bytes) {
  std::size_t slash = path.find_last_of("/\\");
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  std::string temp = platform::createUniqueFile(dir);
  if (temp.empty()) return false;
  if (!writeFileBytes(temp, bytes) || !platform::replaceFile(temp, path)) {
    platform::removeFile(temp);
    return false;
  }
  return true;
}

LWItemID resolveItem(const StandInHost& host, const std::string& item) {
  if (isNumber(item)) return host.objectHandle(std::stoi(item));
  for (const HostItem& object : host.objects()) {
    if (object.name == item) return object.handle;
  }
  // A name as typed where it is shown: the bytes of the file came first.
  for (const HostItem& object : host.objects()) {
    if (shownText(object.name) == item) return object.handle;
  }
  return nullptr;
}

int runCopy(const CopyRequest& request, const Streams& streams) {
  std::string bytes;
  if (!readScene(request.scenePath, bytes, streams)) return kExitUsage;
  LoadedModule module(request.modulePath);
  if (!module.ok()) {
    complain(streams, module.error());
    return kExitUsage;
  }
  StandInHost host(std::move(bytes), request.scenePath);
  if (request.pick) {
    LWItemID picked = resolveItem(host, *request.pick);
    if (picked == nullptr) {
      complain(streams, "no object of " + request.scenePath + " is numbered or named \"" +
                            shownText(*request.pick) + "\"");
      return kExitUsage;
    }
    host.setPanelUser([picked](const PanelView&) { return PanelAnswer{picked, true}; });
  } else {
    host.setPanelUser([&](const PanelView& view) { return askAtPanel(host, view, streams); });
  }
  int result = module.activate(host);
  for (const ShownMessage& message : host.messages()) {
    complain(streams, shownText(message.first + " " + message.second));
  }
  if (result != 0) {
    complain(streams, "the plug-in refused to run (result " + std::to_string(result) + ")");
    return kExitPluginError;
  }
  if (host.loads() == 0) {
    if (host.messages().empty()) complain(streams, "nothing was copied");
    return kExitPluginError;
  }
  if (request.outPath == "-") {
    platform::setBinaryMode(streams.out);
    if (std::fwrite(host.sceneText().data(), 1, host.sceneText().size(), streams.out) !=
            host.sceneText().size() ||
        std::fflush(streams.out) != 0) {
      complain(streams, "cannot write the scene to standard output");
      return kExitUsage;
    }
  } else if (!writeAtomically(request.outPath, host.sceneText())) {
    complain(streams, "cannot write " + request.outPath);
    return kExitUsage;
  }
  // Messages beside a loaded scene name items the plug-in left out of the copy.
  return host.messages().empty() ? kExitOk : kExitPartialCopy;
}

std::string renderTree(const StandInHost& host) {
  struct Node {
    const HostItem* item;
    std::vector<std::size_t> children;
    bool shown = false;
  };
  std::vector<Node> nodes;
  std::map<LWItemID, std::size_t> nodeOf;
  for (const HostItem& item : host.items()) {
    nodeOf.emplace(item.handle, nodes.size());
    nodes.push_back(Node{&item, {}});
  }
  // Under each item: its bones, then objects, lights and cameras, each kind
  // in file order.
  std::vector<std::size_t> roots;
  for (ItemKind kind : {ItemKind::Bone, ItemKind::Object, ItemKind::Light, ItemKind::Camera}) {
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      if (nodes[i].item->kind != kind) continue;
      auto parent = nodeOf.find(nodes[i].item->parent);
      bool hasParent = parent != nodeOf.end() && parent->second != i;
      (hasParent ? nodes[parent->second].children : roots).push_back(i);
    }
  }
  std::string out;
  auto label = [](const HostItem& item) {
    static constexpr std::string_view kKinds[] = {"", "light ", "camera ", "bone "};
    return std::string(kKinds[static_cast<int>(item.kind)]) + std::to_string(item.number) + " " +
           shownText(item.name);
  };
  // Draws the branch below root; an explicit stack keeps deep chains off the native stack.
  auto draw = [&](std::size_t root, const std::string& note) {
    struct Step {
      std::size_t node;
      std::string prefix;
      bool last;
      bool top;
    };
    std::vector<Step> stack{{root, "", true, true}};
    while (!stack.empty()) {
      Step step = std::move(stack.back());
      stack.pop_back();
      Node& node = nodes[step.node];
      node.shown = true;
      out += step.top ? "" : step.prefix + (step.last ? "└── " : "├── ");
      out += label(*node.item) + (step.top ? note : "") + "\n";
      std::string childPrefix = step.top ? "" : step.prefix + (step.last ? "    " : "│   ");
      for (std::size_t k = node.children.size(); k-- > 0;) {
        if (!nodes[node.children[k]].shown) {
          stack.push_back(Step{node.children[k], childPrefix, k + 1 == node.children.size(), false});
        }
      }
    }
  };
  for (std::size_t root : roots) draw(root, "");
  // Items whose parents form a cycle hang under no root; show them too.
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (!nodes[i].shown) draw(i, "  (in a parent cycle)");
  }
  return out;
}

int runTree(const std::string& scenePath, const Streams& streams) {
  std::string bytes;
  if (!readScene(scenePath, bytes, streams)) return kExitUsage;
  // Only a format graftling edits is read as its copy reads it.
  std::size_t second = bytes.find('\n') + 1;
  std::string format =
      formatNameOf(std::string_view(bytes).substr(second, bytes.find('\n', second) - second));
  if (readerFor(format) == nullptr) {
    complain(streams, scenePath + ": scene format " + format +
                          " is not one graftling reads; it reads formats " + editedFormatsText());
    return kExitUsage;
  }
  StandInHost host(std::move(bytes), scenePath);
  std::string tree = scenePath + "\n" + renderTree(host);
  std::fputs(tree.c_str(), streams.out);
  return std::fflush(streams.out) == 0 ? kExitOk : kExitUsage;
}

std::string defaultModulePath() {
  std::string program = platform::executablePath();
  std::size_t slash = program.find_last_of("/\\");
  return (slash == std::string::npos ? std::string() : program.substr(0, slash + 1)) + "graftling.p";
}

}  // namespace graftling::standin
