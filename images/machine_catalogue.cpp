#include "images/machine_catalogue.h"

namespace brevant {

namespace {

constexpr MachineDescriptor NameOnly(uint32_t type, const char* name) {
    return MachineDescriptor{type, name, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

// The three models the built-in images serve. Type 18 has no boot code versions, so its boot
// code is never older than the image; type 20 has no WiFi module.
constexpr MachineDescriptor kQuintarDiag{18, "Quintar Diag", 0, 0, 0, 0, 0, 0, 174, 14760, 172, 173,
                                         171, 0, 0, 169, 170, 189, 190, 191};
constexpr MachineDescriptor kBrevant{19, "Brevant/Brevant II", 0x01000000, 35673, 0x02000000, 35675, 0, 0,
                                     174, 14760, 172, 173, 171, 0, 0, 169, 170, 189, 190, 191};
constexpr MachineDescriptor kCaptioner{20, "Brevant Captioner/Student", 0x01000000, 35673, 0x02000000, 35675,
                                       0, 0, 174, 14760, 172, 173, 171, 0, 0, 169, 170, 189, 0, 0};

}  // namespace

const MachineDescriptor MachineCatalogue[kCatalogueSize] = {
    NameOnly(0, "Not Real"),
    NameOnly(1, "Avel Tolva"),
    NameOnly(2, "Avel Dravo"),
    NameOnly(3, "Avel Tolva G2"),
    NameOnly(4, "Avel Tolva A3"),
    NameOnly(5, "Pellora merrow"),
    NameOnly(6, "Pellora Ostrel"),
    NameOnly(7, "Avel Dravo Student"),
    NameOnly(8, "Avel Dravo Professional"),
    NameOnly(9, "Avel Dravo Student GJ"),
    NameOnly(10, "Avel Dravo Professional GJ"),
    NameOnly(11, "Pellora Ostrel Full"),
    NameOnly(12, "Avel Dravo Student"),
    NameOnly(13, "Avel Dravo Professional"),
    NameOnly(14, "Avel Dravo Student GJ"),
    NameOnly(15, "Avel Dravo Professional GJ"),
    NameOnly(16, "Faldera"),
    NameOnly(17, "Rilo"),
    kQuintarDiag,
    kBrevant,
    kCaptioner,
    NameOnly(21, "Sensor Board (reserved)"),
};

// Entries 18..21 differ from the catalogue names on purpose: these are the refusal names.
const char* const MachineNames[kMachineNameCount] = {
    "Not Real",
    "Avel Tolva",
    "Avel Dravo",
    "Avel Tolva G2",
    "Avel Tolva A3",
    "Pellora merrow",
    "Pellora Ostrel",
    "Avel Dravo Student",
    "Avel Dravo Professional",
    "Avel Dravo Student GJ",
    "Avel Dravo Professional GJ",
    "Pellora Ostrel Full",
    "Avel Dravo Student",
    "Avel Dravo Professional",
    "Avel Dravo Student GJ",
    "Avel Dravo Professional GJ",
    "Faldera",
    "Rilo",
    "quintar Diag",
    "Brevant",
    "quintar Student",
    "Sensor Board",
    "UnKnown",
};

const MachineDescriptor BuiltInVersionList[3] = {
    {19, "Brevant/Brevant II", 0x01000000, 35673, 0x02000000, 35675, 0, 0, 0, 14760, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {20, "Brevant Captioner/Student", 0x01000000, 35673, 0x02000000, 35675, 0, 0, 0, 14760, 0, 0, 0, 0, 0, 0, 0, 0,
     0, 0},
    NameOnly(0, ""),
};

const MachineDescriptor& DescriptorFor(MachineType type) {
    // Out-of-range types only reach here through a caller's mistake; the empty record 0
    // then makes every step a no-op instead of reading past the table.
    return type < kCatalogueSize ? MachineCatalogue[type] : MachineCatalogue[0];
}

const char* MachineNameFor(MachineType type) {
    return MachineNames[type > kHighestMachineType ? kHighestMachineType : type];
}

}  // namespace brevant
