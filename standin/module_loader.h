// Loads a plug-in module file the way Layout does and runs its server.
#ifndef GRAFTLING_STANDIN_MODULE_LOADER_H_
#define GRAFTLING_STANDIN_MODULE_LOADER_H_

#include <string>
#include <vector>

#include "host/host_services.h"
#include "host/platform.h"
#include "standin/host_records.h"
#include "standin/stand_in_host.h"

namespace graftling::standin {

class LoadedModule {
 public:
  // Opens the file, reads _mod_descrip, checks its synchronisation value,
  // calls the startup callback and finds the "LayoutGeneric" server
  // "graftling". ok() tells whether all of it went through.
  explicit LoadedModule(const std::string& path);
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  ~LoadedModule();

  bool ok() const { return activate_ != nullptr; }
  const std::string& error() const { return error_; }
  // The module record and the server list as the host read them.
  const records::ModuleRecord& record() const { return record_; }
  const std::vector<records::ServerEntry>& servers() const { return servers_; }

  // Runs the server's activation against host; returns its result.
  int activate(StandInHost& host, long version = 1) const;
  // The same with a local record of the caller's, such as one that wraps
  // the host's own save and load.
  int activate(StandInHost& host, LayoutGeneric* local, long version) const;

 private:
  platform::Library library_;
  records::ModuleRecord record_;
  std::vector<records::ServerEntry> servers_;
  void* serverData_ = nullptr;
  ActivateFunc activate_ = nullptr;
  std::string error_;
};

}  // namespace graftling::standin

#endif  // GRAFTLING_STANDIN_MODULE_LOADER_H_
