// A stand-in for Layout: holds a scene text, lists its items and answers the
// host services through the same C tables that Layout hands to a plug-in.
#ifndef GRAFTLING_STANDIN_STAND_IN_HOST_H_
#define GRAFTLING_STANDIN_STAND_IN_HOST_H_

#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_services.h"
#include "scene/scene_format.h"
#include "standin/host_records.h"

namespace graftling::standin {

// An item of the host's scene as the host lists it, read by the reader of the
// scene's format (or the nearest one) as the plug-in reads it.
struct HostItem {
  ItemKind kind = ItemKind::Object;
  int number = 0;             // among items of its kind, from 1; a bone's among its object's bones
  std::string fileName;       // an object's file name, or a null object's name
  std::string name;           // display name
  LWItemID parent = nullptr;  // the item its parent line names; a bone's object when it names none
  LWItemID handle = nullptr;
};

struct ShownMessage {
  std::string first;
  std::string second;
  bool operator==(const ShownMessage&) const = default;
};

// What the user sees when the panel opens, and what the user does.
struct PanelView {
  std::string title;
  std::string label;
  LWItemID preset = nullptr;
  std::span<const HostItem> objects;
};
struct PanelAnswer {
  LWItemID item = nullptr;
  bool confirmed = true;
};
using PanelUser = std::function<PanelAnswer(const PanelView&)>;

// What happened at the panel during the last activation.
struct PanelRecord {
  int created = 0;
  int destroyed = 0;
  int opened = 0;
  int openFlags = 0;
  std::string title;
  std::string controlType;
  std::string label;
  records::ControlRecord description;
  // The value record as the plug-in handed it to the last set, and to the
  // last get before the host filled it.
  records::ValueRecord valueSet;
  records::ValueRecord valueGot;
  void* createData = nullptr;
};

class StandInHost {
 public:
  // One host at a time: the C callbacks reach the host made last.
  StandInHost(std::string sceneText, std::string sceneFileName);
  StandInHost(const StandInHost&) = delete;
  StandInHost& operator=(const StandInHost&) = delete;
  ~StandInHost();

  const std::string& sceneText() const { return sceneText_; }
  const std::string& sceneFileName() const { return sceneFileName_; }
  // The scene's items are listed when first asked for, as the host reads the
  // scene it holds; a new scene is listed anew. Throws std::bad_alloc when
  // storage runs out.
  std::span<const HostItem> objects() const {
    return std::span<const HostItem>(listing().items).first(listing().objectCount);
  }
  // Every item of the scene: objects, then bones, lights and cameras, each
  // kind in file order.
  const std::vector<HostItem>& items() const { return listing().items; }
  // The handle of object number (1-based), or null when there is none.
  LWItemID objectHandle(int number) const;
  const HostItem* itemFor(LWItemID handle) const;

  const std::vector<ShownMessage>& messages() const { return messages_; }
  const std::vector<std::string>& lookups() const { return lookups_; }
  const PanelRecord& panel() const { return panel_; }
  int saves() const { return saves_; }
  int loads() const { return loads_; }

  // Lookups of this service give null, as when its plug-in is missing.
  void leaveOut(const std::string& service) { missing_.insert(service); }
  void failPanelCreation() { failPanelCreate_ = true; }
  void failControlCreation() { failAddControl_ = true; }
  // The host's save fails: it writes nothing, and removes the file it was
  // given or leaves it as it was.
  enum class FailedSave { RemovesTheFile, LeavesTheFile };
  void failSaving(FailedSave how) { failSave_ = how; }
  // The host renames its scene while saving, as a host may.
  void renameDuringSave(std::string name) { renameOnSave_ = std::move(name); }
  // Plays the user at the panel; by default the preset is confirmed.
  void setPanelUser(PanelUser user) { panelUser_ = std::move(user); }

  GlobalFunc global() const;
  LayoutGeneric* local();

  // The records an activation would look up, for code that fills the
  // plug-in's service slots itself.
  struct Services {
    const MessageFuncs* messages;
    const ItemInfo* itemInfo;
    const ObjectInfo* objectInfo;
    const SceneInfo* sceneInfo;
  };
  Services services() const;

  // Replaces the scene, as loading a scene file does.
  void setScene(std::string sceneText, std::string sceneFileName);

 private:
  friend struct Callbacks;
  struct Listing {
    std::vector<HostItem> items;
    std::size_t objectCount = 0;  // the objects stand first
  };
  // The items of a scene text, as the host numbers and names them.
  static Listing listItems(std::string_view sceneText);
  const Listing& listing() const;

  std::string sceneText_;
  std::string sceneFileName_;
  SceneInfo sceneInfo_{};
  mutable std::optional<Listing> listing_;
  std::vector<ShownMessage> messages_;
  std::vector<std::string> lookups_;
  std::set<std::string, std::less<>> missing_;
  std::optional<std::string> renameOnSave_;
  PanelUser panelUser_;
  PanelRecord panel_;
  bool failPanelCreate_ = false;
  bool failAddControl_ = false;
  std::optional<FailedSave> failSave_;
  LWItemID controlValue_ = nullptr;
  int saves_ = 0;
  int loads_ = 0;
};

// Whole-file byte I/O for the host and its tools; false on any failure.
bool readFileBytes(const std::string& path, std::string& bytes);
bool writeFileBytes(const std::string& path, const std::string& bytes);

}  // namespace graftling::standin

#endif  // GRAFTLING_STANDIN_STAND_IN_HOST_H_
