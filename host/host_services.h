// The host's service records as the plug-in sees them: plain C tables of
// function pointers, read by position. Only the marked positions are called.
//
// Four records are read by the host rather than called: the module record,
// the server list, the control description and the value record. On a
// 32-bit host each of their fields is one 32-bit word. For a 64-bit host no
// word layout is given; these declarations ASSUME the natural C layout: the
// integer fields 32 bits, addresses and handles pointer-sized (64 bits), each
// field aligned to its own size and each record padded to a multiple of its
// largest field. In bytes (offset:size, then the record's size):
//   ModuleDescriptor    sysSync 0:4, sysVersion 4:4, sysMachine 8:4,
//                       startup 16:8, shutdown 24:8, serverDefs 32:8; 40
//   ServerRecord        className 0:8, name 8:8, activate 16:8; 24
//   ControlDescription  type 0:4, global 8:8, itemType 16:4, reserved 20:12; 32
//   PanelValue          type 0:4, value 8:8, reserved 16:32; 48
// The asserts at the end hold these declarations to both layouts; the
// stand-in host reads the records by these offsets, not through this header.
#ifndef GRAFTLING_HOST_HOST_SERVICES_H_
#define GRAFTLING_HOST_HOST_SERVICES_H_

// A C header: typedef, (void) and <stdint.h> are its language, not old C++.
// NOLINTBEGIN(modernize-use-using, modernize-redundant-void-arg, modernize-deprecated-headers)
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// An opaque host item; 0 means none. Pointer-sized, so one word on 32 bits.
typedef void* LWItemID;

// The host's global-lookup function: a service record by name, or null.
typedef void* (*GlobalFunc)(const char* serviceName, int useMode);

typedef void (*ReservedFunc)(void);

enum { kItemTypeObject = 0 };

// "Info Messages"
typedef struct MessageFuncs {
  void (*info)(const char* first, const char* second);
  void (*error)(const char* first, const char* second);
} MessageFuncs;

// "LW Item Info"
typedef struct ItemInfo {
  LWItemID (*first)(int itemType, LWItemID parent);
  ReservedFunc reserved2[7];
  const char* (*name)(LWItemID item);
} ItemInfo;

// "LW Object Info"
typedef struct ObjectInfo {
  const char* (*filename)(LWItemID item);
} ObjectInfo;

// "LW Scene Info"
typedef struct SceneInfo {
  const char* name;
  const char* filename;
} SceneInfo;

// A panel control; the control handle is its own record.
typedef struct LWControl LWControl;

enum { kValueTypeInteger = 2, kControlTagValue = 4 };

// The value record: ten 32-bit words on a 32-bit host.
typedef struct PanelValue {
  int32_t type;
  intptr_t value;
  int32_t reserved[8];
} PanelValue;

struct LWControl {
  ReservedFunc reserved1;
  void (*get)(LWControl* control, int tag, PanelValue* value);
  void (*set)(LWControl* control, int tag, PanelValue* value);
};

enum { kControlItemPicker = 16 };

// Describes the picker control: six 32-bit words on a 32-bit host.
typedef struct ControlDescription {
  int32_t type;
  GlobalFunc global;
  int32_t itemType;
  int32_t reserved[3];
} ControlDescription;

typedef void* LWPanelID;

// "LWPanelServices"
typedef struct PanelServices {
  LWPanelID (*create)(const char* title, void* data);
  void (*destroy)(LWPanelID panel);
  int (*open)(LWPanelID panel, int flags);
  ReservedFunc reserved4[5];
  LWControl* (*addControl)(LWPanelID panel, const char* typeName, ControlDescription* description,
                           const char* label);
} PanelServices;

// The "LayoutGeneric" local record handed to the activation.
typedef struct LayoutGeneric {
  int (*saveScene)(const char* fileName);
  int (*loadScene)(const char* fileName, const char* sceneName);
} LayoutGeneric;

typedef int (*ActivateFunc)(long version, GlobalFunc global, void* local);

typedef struct ServerRecord {
  const char* className;
  const char* name;
  ActivateFunc activate;
} ServerRecord;

// The record the host reads first: six 32-bit words on a 32-bit host.
typedef struct ModuleDescriptor {
  uint32_t sysSync;
  uint32_t sysVersion;
  uint32_t sysMachine;
  void* (*startup)(void);
  void (*shutdown)(void* serverData);
  ServerRecord* serverDefs;
} ModuleDescriptor;

#define GRAFTLING_MODULE_SYNC 0x04121994u
#define GRAFTLING_MODULE_VERSION 2u
#define GRAFTLING_MODULE_MACHINE 0x300u

#ifdef __cplusplus
}  // extern "C"
#endif

#if defined(__cplusplus)
#if UINTPTR_MAX == 0xffffffffu
static_assert(sizeof(ModuleDescriptor) == 6 * 4, "the module record is six words");
static_assert(offsetof(ModuleDescriptor, sysVersion) == 1 * 4 &&
                  offsetof(ModuleDescriptor, sysMachine) == 2 * 4 &&
                  offsetof(ModuleDescriptor, startup) == 3 * 4 &&
                  offsetof(ModuleDescriptor, shutdown) == 4 * 4 &&
                  offsetof(ModuleDescriptor, serverDefs) == 5 * 4,
              "the module record's words in order");
static_assert(sizeof(ServerRecord) == 3 * 4, "a server entry is three words");
static_assert(offsetof(ServerRecord, name) == 1 * 4 && offsetof(ServerRecord, activate) == 2 * 4,
              "a server entry's words in order");
static_assert(sizeof(ControlDescription) == 6 * 4, "the control description is six words");
static_assert(offsetof(ControlDescription, global) == 1 * 4 &&
                  offsetof(ControlDescription, itemType) == 2 * 4 &&
                  offsetof(ControlDescription, reserved) == 3 * 4,
              "the control description's words in order");
static_assert(sizeof(PanelValue) == 10 * 4, "the value record is ten 32-bit words");
static_assert(offsetof(PanelValue, value) == 1 * 4 && offsetof(PanelValue, reserved) == 2 * 4,
              "the value record's words in order");
#elif UINTPTR_MAX == 0xffffffffffffffffu
static_assert(sizeof(ModuleDescriptor) == 40 && offsetof(ModuleDescriptor, sysVersion) == 4 &&
                  offsetof(ModuleDescriptor, sysMachine) == 8 && offsetof(ModuleDescriptor, startup) == 16 &&
                  offsetof(ModuleDescriptor, shutdown) == 24 && offsetof(ModuleDescriptor, serverDefs) == 32,
              "the module record in the assumed 64-bit layout");
static_assert(sizeof(ServerRecord) == 24 && offsetof(ServerRecord, name) == 8 &&
                  offsetof(ServerRecord, activate) == 16,
              "a server entry in the assumed 64-bit layout");
static_assert(sizeof(ControlDescription) == 32 && offsetof(ControlDescription, global) == 8 &&
                  offsetof(ControlDescription, itemType) == 16 &&
                  offsetof(ControlDescription, reserved) == 20,
              "the control description in the assumed 64-bit layout");
static_assert(sizeof(PanelValue) == 48 && offsetof(PanelValue, value) == 8 &&
                  offsetof(PanelValue, reserved) == 16,
              "the value record in the assumed 64-bit layout");
#else
#error "the host records' layout is known for 32-bit and 64-bit addresses only"
#endif
#endif

// NOLINTEND(modernize-use-using, modernize-redundant-void-arg, modernize-deprecated-headers)

#endif  // GRAFTLING_HOST_HOST_SERVICES_H_
