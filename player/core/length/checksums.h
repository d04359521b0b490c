#pragma once
// The checksums that tell a real FLAC frame or Ogg page from bytes that
// only look like its start: CRC-8 of a FLAC frame header, CRC-16 of a whole
// FLAC frame, CRC-32 of an Ogg page. All three are MSB-first CRCs without
// reflection, starting from 0, computed through tables.

#include "player/core/length/byte_order.h"

#include <cstdint>

namespace qpt::length {

// Polynomial 0x07.
std::uint8_t crc8(Bytes bytes);
// Polynomial 0x8005; `crc` carries the value of the bytes before.
std::uint16_t crc16(Bytes bytes, std::uint16_t crc = 0);
// Polynomial 0x04C11DB7; `crc` carries the value of the bytes before.
std::uint32_t crc32(Bytes bytes, std::uint32_t crc = 0);

}  // namespace qpt::length
