#include "host/activation.h"

#include <new>
#include <string>

#include "copy/scene_exchange.h"
#include "host/platform.h"
#include "host/service_slots.h"

namespace graftling {

namespace {

ControlDescription gPickerDescription;
PanelValue gPickerValue = {kValueTypeInteger, 0, {}};

// Destroys the panel when the activation leaves, however it leaves.
class PanelOwner {
 public:
  PanelOwner(const PanelServices* services, LWPanelID panel) : services_(services), panel_(panel) {}
  PanelOwner(const PanelOwner&) = delete;
  PanelOwner& operator=(const PanelOwner&) = delete;
  ~PanelOwner() { destroy(); }

  void destroy() {
    if (panel_ != nullptr) services_->destroy(panel_);
    panel_ = nullptr;
  }

 private:
  const PanelServices* services_;
  LWPanelID panel_;
};

template <typename Record>
bool lookUp(GlobalFunc global, const char* name, const Record*& slot) {
  slot = static_cast<const Record*>(global(name, 0));
  return slot != nullptr;
}

// Shows the panel; returns the item to copy, or 0 when there is none.
LWItemID pickObject(GlobalFunc global, const PanelServices* panels, PanelOwner& owner, LWPanelID panel,
                    LWItemID first) {
  gPickerDescription = ControlDescription{kControlItemPicker, global, kItemTypeObject, {}};
  LWControl* control = panels->addControl(panel, "LWListControl", &gPickerDescription, kPickerLabel);
  if (control == nullptr) {
    owner.destroy();
    showError("Duoooh!:", "Unable to create panel");
    return nullptr;
  }
  gPickerValue.value = reinterpret_cast<intptr_t>(first);
  control->set(control, kControlTagValue, &gPickerValue);
  int confirmed = panels->open(panel, 7);
  control->get(control, kControlTagValue, &gPickerValue);
  LWItemID picked = reinterpret_cast<LWItemID>(gPickerValue.value);
  // A cancelled panel copies nothing.
  return confirmed != 0 ? picked : nullptr;
}

int runActivation(long version, GlobalFunc global, void* local) {
  if (version != 1) return 1;
  // Slots of an earlier run must not show this run's errors before its own
  // "Info Messages" is found.
  gServices = ServiceSlots{};
  if (!lookUp(global, "Info Messages", gServices.messages) ||
      !lookUp(global, "LW Item Info", gServices.itemInfo) ||
      !lookUp(global, "LW Object Info", gServices.objectInfo) ||
      !lookUp(global, "LW Scene Info", gServices.sceneInfo)) {
    return 2;
  }
  LWItemID first = gServices.itemInfo->first(kItemTypeObject, nullptr);
  const PanelServices* panels = nullptr;
  if (!lookUp(global, "LWPanelServices", panels)) {
    showError("Unable to active global LWPanelServices", " please add plugin lwpanels.p");
    return 2;
  }
  LWPanelID panel = panels->create(kPanelTitle, const_cast<PanelServices*>(panels));
  if (panel == nullptr) {
    showError("Duoooh!:", "Unable to create panel");
    return 0;
  }
  PanelOwner owner(panels, panel);
  LWItemID picked = pickObject(global, panels, owner, panel, first);
  if (picked == nullptr) return 0;
  std::string tempFile = platform::createUniqueFile();
  if (tempFile.empty()) {
    showError("Graftling:", "Unable to create a temporary file");
    return 0;
  }
  exchangeScene(static_cast<const LayoutGeneric*>(local), tempFile.c_str(), picked);
  return 0;
}

}  // namespace

int activate(long version, GlobalFunc global, void* local) {
  // Nothing thrown may reach the host. Asking the host to load is a run's
  // last step, so whatever is caught here stopped the run before it. Until
  // "Info Messages" is found, showError shows nothing.
  try {
    return runActivation(version, global, local);
  } catch (const std::bad_alloc&) {
    showError("Graftling:", "Not enough memory to copy the branch");
  } catch (...) {
    showError("Graftling:", "Unexpected error; nothing was changed");
  }
  return 0;
}

}  // namespace graftling
