#pragma once
// What this build carries for every machine type a writer can report: names, the versions
// of the built-in images and the resource id of each component's image. Constant tables only.

#include <cstdint>

namespace brevant {

using MachineType = uint32_t;

// Types above this are held as it ("UnKnown").
inline constexpr MachineType kHighestMachineType = 22;
inline constexpr uint32_t kCatalogueSize = 22;   // records for types 0..21
inline constexpr uint32_t kMachineNameCount = 23;  // names for types 0..22

struct MachineDescriptor {
    uint32_t machineType;
    const char* machineName;
    uint32_t bootImageVersion;
    uint32_t bootImageBuild;
    uint32_t appImageVersion;
    uint32_t appImageBuild;
    uint32_t bootModeAppVersion;
    uint32_t spare1;
    uint32_t keyboardScannerResourceId;
    uint32_t keyboardScannerVersion;
    uint32_t firstFontResourceId;
    uint32_t secondFontResourceId;
    uint32_t bitmapResourceId;
    uint32_t spare2;
    uint32_t spare3;
    uint32_t appResourceId;
    uint32_t bootResourceId;
    uint32_t xLoaderResourceId;
    uint32_t wifiAppResourceId;
    uint32_t wifiNvsResourceId;
};

extern const MachineDescriptor MachineCatalogue[kCatalogueSize];
extern const char* const MachineNames[kMachineNameCount];

// The models whose images this build carries, ending at the first record with an empty name.
extern const MachineDescriptor BuiltInVersionList[3];

// Descriptor of a machine type; callers pass only types the update run accepted (18..20).
const MachineDescriptor& DescriptorFor(MachineType type);

// Short name used when refusing a machine; any type above 22 is named as 22.
const char* MachineNameFor(MachineType type);

}  // namespace brevant
