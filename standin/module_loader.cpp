#include "standin/module_loader.h"

#include <cstring>

namespace graftling::standin {

LoadedModule::LoadedModule(const std::string& path) : library_(path) {
  if (!library_.isOpen()) {
    error_ = "cannot load " + path + ": " + library_.error();
    return;
  }
  descriptor_ = static_cast<const ModuleDescriptor*>(library_.symbol("_mod_descrip"));
  if (descriptor_ == nullptr) {
    error_ = path + " has no _mod_descrip: not a Layout plug-in";
    return;
  }
  if (descriptor_->sysSync != GRAFTLING_MODULE_SYNC) {
    error_ = path + ": the module record's synchronisation value is wrong";
    descriptor_ = nullptr;
    return;
  }
  serverData_ = descriptor_->startup != nullptr ? descriptor_->startup() : nullptr;
  if (serverData_ != reinterpret_cast<void*>(static_cast<intptr_t>(4))) {
    error_ = path + ": the module's startup failed";
    return;
  }
  for (const ServerRecord* server = descriptor_->serverDefs; server != nullptr && server->className != nullptr;
       ++server) {
    if (std::strcmp(server->className, "LayoutGeneric") == 0 && server->name != nullptr &&
        std::strcmp(server->name, "graftling") == 0) {
      activate_ = server->activate;
      return;
    }
  }
  error_ = path + R"( has no "LayoutGeneric" server named "graftling")";
}

LoadedModule::~LoadedModule() {
  if (serverData_ != nullptr && descriptor_->shutdown != nullptr) descriptor_->shutdown(serverData_);
}

int LoadedModule::activate(StandInHost& host, long version) const {
  return activate_(version, host.global(), host.local());
}

}  // namespace graftling::standin
