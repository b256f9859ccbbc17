#include "standin/module_loader.h"

#include <cstring>

namespace graftling::standin {

namespace {

// What a host expects in the first word of any module record.
constexpr std::uint32_t kModuleSync = 0x04121994;

}  // namespace

LoadedModule::LoadedModule(const std::string& path) : library_(path) {
  if (!library_.isOpen()) {
    error_ = "cannot load " + path + ": " + library_.error();
    return;
  }
  const void* descriptor = library_.symbol("_mod_descrip");
  if (descriptor == nullptr) {
    error_ = path + " has no _mod_descrip: not a Layout plug-in";
    return;
  }
  record_ = records::readModuleRecord(descriptor);
  if (record_.sync != kModuleSync) {
    error_ = path + ": the module record's synchronisation value is wrong";
    return;
  }
  serverData_ = record_.startup != nullptr ? record_.startup() : nullptr;
  if (serverData_ != reinterpret_cast<void*>(static_cast<intptr_t>(4))) {
    error_ = path + ": the module's startup failed";
    return;
  }
  servers_ = records::readServerList(record_.servers);
  for (const records::ServerEntry& server : servers_) {
    if (std::strcmp(server.className, "LayoutGeneric") == 0 && server.name != nullptr &&
        std::strcmp(server.name, "graftling") == 0) {
      activate_ = server.activate;
      return;
    }
  }
  error_ = path + R"( has no "LayoutGeneric" server named "graftling")";
}

LoadedModule::~LoadedModule() {
  if (serverData_ != nullptr && record_.shutdown != nullptr) record_.shutdown(serverData_);
}

int LoadedModule::activate(StandInHost& host, long version) const {
  return activate(host, host.local(), version);
}

int LoadedModule::activate(StandInHost& host, LayoutGeneric* local, long version) const {
  return activate_(version, host.global(), local);
}

}  // namespace graftling::standin
