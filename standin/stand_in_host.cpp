#include "standin/stand_in_host.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

#include "host/platform.h"
#include "scene/scene_lines.h"

namespace graftling::standin {

namespace {

StandInHost* gHost = nullptr;

std::string lastComponent(std::string_view fileName) {
  std::size_t cut = fileName.find_last_of("/\\:");
  return std::string(cut == std::string_view::npos ? fileName : fileName.substr(cut + 1));
}

LWItemID handleFor(std::size_t item) {
  // Items get handles by their place in the scene's reading; 0 stays "none".
  return reinterpret_cast<LWItemID>(static_cast<std::uintptr_t>(item) + 1);
}

// Layout is C and throws nothing into the plug-in: a callback that runs out of
// storage gives the answer of a host call that failed.
template <typename Result, typename Body>
Result guarded(Result failed, Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return failed;
  }
}

template <typename Body>
void guarded(Body body) {
  try {
    body();
  } catch (const std::bad_alloc&) {
    // Only the host's own record of the call is lost.
  }
}

// The control record the host hands out; the plug-in sees only its head.
struct StandInControl {
  LWControl record;
};

}  // namespace

// The C entry points of the host's service tables.
struct Callbacks {
  static void* global(const char* name, int) {
    StandInHost& host = *gHost;
    std::string_view service = name != nullptr ? name : "";
    guarded([&] { host.lookups_.emplace_back(service); });
    if (host.missing_.count(std::string_view(service)) != 0) return nullptr;
    if (service == "Info Messages") return &messageFuncs;
    if (service == "LW Item Info") return &itemInfo;
    if (service == "LW Object Info") return &objectInfo;
    if (service == "LW Scene Info") return &host.sceneInfo_;
    if (service == "LWPanelServices") return &panelServices;
    return nullptr;
  }

  static void info(const char*, const char*) {}
  static void error(const char* first, const char* second) {
    guarded([&] {
      gHost->messages_.push_back(
          ShownMessage{first != nullptr ? first : "", second != nullptr ? second : ""});
    });
  }

  static LWItemID first(int itemType, LWItemID) {
    return guarded<LWItemID>(nullptr, [&]() -> LWItemID {
      if (itemType != kItemTypeObject || gHost->objects().empty()) return nullptr;
      return gHost->objects().front().handle;
    });
  }
  static const char* name(LWItemID item) {
    return guarded<const char*>("", [&] {
      const HostItem* found = gHost->itemFor(item);
      return found != nullptr ? found->name.c_str() : "";
    });
  }
  static const char* filename(LWItemID item) {
    return guarded<const char*>("", [&] {
      const HostItem* found = gHost->itemFor(item);
      return found != nullptr && found->kind == ItemKind::Object ? found->fileName.c_str() : "";
    });
  }

  static LWPanelID create(const char* title, void* data) {
    StandInHost& host = *gHost;
    if (host.failPanelCreate_) return nullptr;
    return guarded<LWPanelID>(nullptr, [&]() -> LWPanelID {
      host.panel_.title = title != nullptr ? title : "";
      ++host.panel_.created;
      host.panel_.createData = data;
      return &host.panel_;
    });
  }
  static void destroy(LWPanelID) { ++gHost->panel_.destroyed; }
  static int open(LWPanelID, int flags) {
    StandInHost& host = *gHost;
    ++host.panel_.opened;
    host.panel_.openFlags = flags;
    // A panel that cannot be shown is as if the user cancelled it at once.
    return guarded(0, [&] {
      PanelView view{host.panel_.title, host.panel_.label, host.controlValue_, host.objects()};
      PanelAnswer answer = host.panelUser_ ? host.panelUser_(view) : PanelAnswer{host.controlValue_, true};
      host.controlValue_ = answer.item;
      return answer.confirmed ? 1 : 0;
    });
  }
  static LWControl* addControl(LWPanelID, const char* type, ControlDescription* description,
                               const char* label) {
    StandInHost& host = *gHost;
    if (host.failAddControl_) return nullptr;
    return guarded<LWControl*>(nullptr, [&] {
      host.panel_.controlType = type != nullptr ? type : "";
      host.panel_.label = label != nullptr ? label : "";
      if (description != nullptr) host.panel_.description = records::readControlRecord(description);
      return &control.record;
    });
  }
  static void get(LWControl*, int tag, PanelValue* value) {
    if (tag != kControlTagValue) return;
    gHost->panel_.valueGot = records::readValueRecord(value);
    records::writeField<records::kValueItem>(value, gHost->controlValue_);
  }
  static void set(LWControl*, int tag, PanelValue* value) {
    if (tag != kControlTagValue) return;
    gHost->panel_.valueSet = records::readValueRecord(value);
    gHost->controlValue_ = gHost->panel_.valueSet.item;
  }

  static int saveScene(const char* fileName) {
    StandInHost& host = *gHost;
    ++host.saves_;
    if (host.failSave_) {
      if (*host.failSave_ == StandInHost::FailedSave::RemovesTheFile) std::remove(fileName);
      return 0;
    }
    return guarded(0, [&] {
      bool written = writeFileBytes(fileName, host.sceneText_);
      if (host.renameOnSave_) {
        host.sceneFileName_ = *host.renameOnSave_;
        host.sceneInfo_.filename = host.sceneFileName_.c_str();
      }
      return written ? 1 : 0;
    });
  }
  static int loadScene(const char* fileName, const char* sceneName) {
    StandInHost& host = *gHost;
    ++host.loads_;
    // A load that fails keeps the scene the host had.
    return guarded(0, [&] {
      std::string bytes;
      if (!readFileBytes(fileName, bytes)) return 0;
      host.setScene(std::move(bytes), sceneName != nullptr ? sceneName : "");
      return 1;
    });
  }

  static inline MessageFuncs messageFuncs{info, error};
  static inline ItemInfo itemInfo{first, {}, name};
  static inline ObjectInfo objectInfo{filename};
  static inline PanelServices panelServices{create, destroy, open, {}, addControl};
  static inline StandInControl control{{nullptr, get, set}};
  static inline LayoutGeneric layoutGeneric{saveScene, loadScene};
};

StandInHost::StandInHost(std::string sceneText, std::string sceneFileName) {
  gHost = this;
  setScene(std::move(sceneText), std::move(sceneFileName));
}

StandInHost::~StandInHost() {
  if (gHost == this) gHost = nullptr;
}

void StandInHost::setScene(std::string sceneText, std::string sceneFileName) {
  sceneText_ = std::move(sceneText);
  sceneFileName_ = std::move(sceneFileName);
  sceneInfo_.name = sceneFileName_.c_str();
  sceneInfo_.filename = sceneFileName_.c_str();
  listing_.reset();
}

const StandInHost::Listing& StandInHost::listing() const {
  if (!listing_) listing_ = listItems(sceneText_);
  return *listing_;
}

StandInHost::Listing StandInHost::listItems(std::string_view sceneText) {
  Listing found;
  // The listing only reads the lines, which view the host's own text.
  SceneLinesPtr lines = viewSceneLines(sceneText);
  if (lines == nullptr) throw std::bad_alloc();
  const SceneReader& reader = nearestReader(formatNameOf(*lines));
  SceneDescription scene = reader.read(*lines);
  std::map<std::string, int, std::less<>> loadsOfFile;
  for (ItemKind kind : {ItemKind::Object, ItemKind::Bone, ItemKind::Light, ItemKind::Camera}) {
    for (std::size_t i = 0; i < scene.items.size(); ++i) {
      const SceneItem& item = scene.items[i];
      if (item.kind != kind) continue;
      HostItem listed;
      listed.kind = item.kind;
      listed.number = item.index + 1;
      listed.handle = handleFor(i);
      std::size_t parent = item.parent != kNone ? scene.references[item.parent].target : kNone;
      if (parent == kNone && item.kind == ItemKind::Bone) parent = item.object;
      if (parent != kNone) listed.parent = handleFor(parent);
      if (item.kind == ItemKind::Object) {
        listed.fileName = std::string(reader.objectFileName(item.line));
        listed.name = lastComponent(listed.fileName);
        int load = ++loadsOfFile[listed.fileName];
        if (load >= 2) listed.name += " (" + std::to_string(load) + ")";
        ++found.objectCount;
      } else {
        static constexpr std::string_view kUnnamed[] = {"", "Light", "Camera", "Bone"};
        std::string_view name = reader.itemName(item);
        listed.name = std::string(name.empty() ? kUnnamed[static_cast<int>(item.kind)] : name);
      }
      found.items.push_back(std::move(listed));
    }
  }
  return found;
}

LWItemID StandInHost::objectHandle(int number) const {
  if (number < 1 || number > static_cast<int>(objects().size())) return nullptr;
  return objects()[static_cast<std::size_t>(number) - 1].handle;
}

const HostItem* StandInHost::itemFor(LWItemID handle) const {
  for (const HostItem& item : items()) {
    if (item.handle == handle) return &item;
  }
  return nullptr;
}

GlobalFunc StandInHost::global() const { return &Callbacks::global; }

LayoutGeneric* StandInHost::local() { return &Callbacks::layoutGeneric; }

StandInHost::Services StandInHost::services() const {
  return Services{&Callbacks::messageFuncs, &Callbacks::itemInfo, &Callbacks::objectInfo, &sceneInfo_};
}

bool readFileBytes(const std::string& path, std::string& bytes) {
  platform::Stream file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  // Read at once into storage of the file's size, grown only if the file grows.
  std::string all;
  if (std::optional<std::uint64_t> size = platform::regularFileSize(file.get())) {
    all.resize(static_cast<std::size_t>(*size));
  }
  std::size_t used = std::fread(all.data(), 1, all.size(), file.get());
  char buffer[65536];
  std::size_t got = 0;
  while (used == all.size() && (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    all.append(buffer, got);
    used += got;
  }
  if (std::ferror(file.get()) != 0) return false;
  all.resize(used);
  bytes = std::move(all);
  return true;
}

bool writeFileBytes(const std::string& path, const std::string& bytes) {
  std::FILE* raw = std::fopen(path.c_str(), "wb");
  if (raw == nullptr) return false;
  platform::Stream file(raw);
  if (std::fwrite(bytes.data(), 1, bytes.size(), raw) != bytes.size()) return false;
  if (std::fflush(raw) != 0) return false;
  return std::fclose(file.release()) == 0;
}

}  // namespace graftling::standin
