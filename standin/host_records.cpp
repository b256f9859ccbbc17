#include "standin/host_records.h"

namespace graftling::standin::records {

ModuleRecord readModuleRecord(const void* record) {
  ModuleRecord read;
  read.sync = readField<kModuleSync, std::uint32_t>(record);
  read.version = readField<kModuleVersion, std::uint32_t>(record);
  read.machine = readField<kModuleMachine, std::uint32_t>(record);
  read.startup = readField<kModuleStartup, StartupFunc>(record);
  read.shutdown = readField<kModuleShutdown, ShutdownFunc>(record);
  read.servers = readField<kModuleServers, const void*>(record);
  return read;
}

std::vector<ServerEntry> readServerList(const void* servers) {
  std::vector<ServerEntry> entries;
  if (servers == nullptr) return entries;
  for (const auto* entry = static_cast<const unsigned char*>(servers);; entry += kServerEntrySize) {
    ServerEntry read;
    read.className = readField<kServerClass, const char*>(entry);
    if (read.className == nullptr) break;
    read.name = readField<kServerName, const char*>(entry);
    read.activate = readField<kServerActivate, ActivateFunc>(entry);
    entries.push_back(read);
  }
  return entries;
}

ControlRecord readControlRecord(const void* record) {
  ControlRecord read;
  read.type = readField<kControlType, std::uint32_t>(record);
  read.global = readField<kControlGlobal, GlobalFunc>(record);
  read.itemType = readField<kControlItemType, std::uint32_t>(record);
  read.reserved = readField<kControlReserved, std::array<std::uint32_t, 3>>(record);
  return read;
}

ValueRecord readValueRecord(const void* record) {
  ValueRecord read;
  read.type = readField<kValueType, std::uint32_t>(record);
  read.item = readField<kValueItem, LWItemID>(record);
  read.reserved = readField<kValueReserved, std::array<std::uint32_t, 8>>(record);
  return read;
}

}  // namespace graftling::standin::records
