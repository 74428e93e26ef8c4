#pragma once
// The checksum the writer is told about and that images are compared by: the reflected CRC-32
// register (polynomial 0xEDB88320), started at 0xFFFFFFFF and read without the final inversion,
// so its value is the complement of the usual CRC-32 check value.

#include <cstddef>
#include <cstdint>

namespace brevant {

class Crc32 {
public:
    explicit Crc32(uint32_t initial = 0xFFFFFFFF) : register_(initial) {}

    void Add(uint8_t byte);
    void Add(const uint8_t* data, size_t length);
    uint32_t Value() const { return register_; }

private:
    uint32_t register_;
};

}  // namespace brevant
