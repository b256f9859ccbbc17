// The records that the host reads from a module, by byte offset and size as
// the host knows them, not through the module's own declarations: a slip in
// those declarations then fails the tests instead of agreeing with itself.
// On 32 bits every field is one 32-bit word. On 64 bits the layout is the
// natural C layout of the same fields: 32-bit integers, 64-bit addresses and
// handles, each aligned to its own size.
#ifndef GRAFTLING_STANDIN_HOST_RECORDS_H_
#define GRAFTLING_STANDIN_HOST_RECORDS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/host_services.h"

namespace graftling::standin::records {

static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "a host runs with 32-bit or 64-bit addresses");
inline constexpr bool kAddresses64 = sizeof(void*) == 8;

// The 32-bit build's number or the 64-bit build's.
constexpr std::size_t bits32or64(std::size_t on32, std::size_t on64) { return kAddresses64 ? on64 : on32; }

// Where a field lies in its record, in bytes.
struct Field {
  std::size_t offset;
  std::size_t size;
};

inline constexpr std::size_t kAddress = bits32or64(4, 8);

// The module record, _mod_descrip.
inline constexpr Field kModuleSync{0, 4};
inline constexpr Field kModuleVersion{4, 4};
inline constexpr Field kModuleMachine{8, 4};
inline constexpr Field kModuleStartup{bits32or64(12, 16), kAddress};
inline constexpr Field kModuleShutdown{bits32or64(16, 24), kAddress};
inline constexpr Field kModuleServers{bits32or64(20, 32), kAddress};

// An entry of the server list; the entries lie kServerEntrySize apart.
inline constexpr Field kServerClass{0, kAddress};
inline constexpr Field kServerName{bits32or64(4, 8), kAddress};
inline constexpr Field kServerActivate{bits32or64(8, 16), kAddress};
inline constexpr std::size_t kServerEntrySize = bits32or64(12, 24);

// The control description handed with a new control.
inline constexpr Field kControlType{0, 4};
inline constexpr Field kControlGlobal{bits32or64(4, 8), kAddress};
inline constexpr Field kControlItemType{bits32or64(8, 16), 4};
inline constexpr Field kControlReserved{bits32or64(12, 20), 12};  // three words

// The value record handed to a control's get and set.
inline constexpr Field kValueType{0, 4};
inline constexpr Field kValueItem{bits32or64(4, 8), kAddress};
inline constexpr Field kValueReserved{bits32or64(8, 16), 32};  // eight words

// The bytes of field F in the record at base, as a Value of exactly F's size.
template <Field F, typename Value>
Value readField(const void* base) {
  static_assert(sizeof(Value) == F.size, "the field's size");
  Value value;
  std::memcpy(&value, static_cast<const unsigned char*>(base) + F.offset, sizeof value);
  return value;
}

// Puts value's bytes into field F of the record at base.
template <Field F, typename Value>
void writeField(void* base, const Value& value) {
  static_assert(sizeof(Value) == F.size, "the field's size");
  std::memcpy(static_cast<unsigned char*>(base) + F.offset, &value, sizeof value);
}

using StartupFunc = void* (*)();
using ShutdownFunc = void (*)(void*);

// What the host read from each record.
struct ModuleRecord {
  std::uint32_t sync = 0;
  std::uint32_t version = 0;
  std::uint32_t machine = 0;
  StartupFunc startup = nullptr;
  ShutdownFunc shutdown = nullptr;
  const void* servers = nullptr;
};

struct ServerEntry {
  const char* className = nullptr;
  const char* name = nullptr;
  ActivateFunc activate = nullptr;
};

struct ControlRecord {
  std::uint32_t type = 0;
  GlobalFunc global = nullptr;
  std::uint32_t itemType = 0;
  std::array<std::uint32_t, 3> reserved{};
  bool operator==(const ControlRecord&) const = default;
};

struct ValueRecord {
  std::uint32_t type = 0;
  LWItemID item = nullptr;
  std::array<std::uint32_t, 8> reserved{};
  bool operator==(const ValueRecord&) const = default;
};

ModuleRecord readModuleRecord(const void* record);
// The entries of the list at servers up to the one whose class name is null.
std::vector<ServerEntry> readServerList(const void* servers);
ControlRecord readControlRecord(const void* record);
ValueRecord readValueRecord(const void* record);

}  // namespace graftling::standin::records

#endif  // GRAFTLING_STANDIN_HOST_RECORDS_H_
