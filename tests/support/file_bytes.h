// Whole files as bytes, and the little pieces tests build files from:
// integers in either byte order and the CRC-32 that PNG chunks carry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace calmora_test {

// Writes a whole file (throws when it cannot) / reads it back (empty when it
// cannot) / cuts it to `bytes`.
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
[[nodiscard]] std::vector<uint8_t> ReadFile(const std::string& path);
void TruncateFile(const std::string& path, size_t bytes);

void PutLe16(std::vector<uint8_t>& out, uint32_t value);
void PutLe32(std::vector<uint8_t>& out, uint32_t value);
void PutBe16(std::vector<uint8_t>& out, uint32_t value);
void PutBe32(std::vector<uint8_t>& out, uint32_t value);

// The CRC-32 of zlib and PNG.
[[nodiscard]] uint32_t Crc32(const uint8_t* data, size_t size);

}  // namespace calmora_test
