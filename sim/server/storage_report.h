#pragma once
// What the standalone writer tells its operator about its storage: one line per component
// that changed after a request, and a summary of everything it holds with the CRC register
// of each (the register the updater compares images by).

#include <array>
#include <string>
#include <vector>

#include "sim/virtual_writer.h"

namespace brevant {

inline constexpr size_t kReportedComponents = 8;  // app, boot, X-Loader, WiFi app, WiFi NVS, scanner, display, writer

// A cheap picture of the storage (no checksums), compared after every request.
using StorageSnapshot = std::array<std::string, kReportedComponents>;

StorageSnapshot TakeSnapshot(const VirtualWriter& writer);

// Lines "  <component>: <new state>" for each component whose picture changed.
std::vector<std::string> SnapshotChanges(const StorageSnapshot& before, const StorageSnapshot& after);

// The summary: each component, what it holds and its CRC register.
std::string StorageSummary(const VirtualWriter& writer);

// One line about a request or a reply packet: code name, sequence, length, parameters.
std::string DescribePacket(const uint8_t* bytes, uint32_t n);

}  // namespace brevant
