#include "player/core/length/checksums.h"

#include <array>

namespace qpt::length {

namespace {

// The table of an MSB-first CRC of `Bits` bits: entry b is the CRC of the
// byte b at the top of the register.
template <typename Word, int Bits>
constexpr std::array<Word, 256> crcTable(Word polynomial)
{
    constexpr Word top = Word(Word(1) << (Bits - 1));
    std::array<Word, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        Word r = Word(Word(b) << (Bits - 8));
        for (int i = 0; i < 8; ++i)
            r = Word((r & top) ? Word(r << 1) ^ polynomial : Word(r << 1));
        table[b] = r;
    }
    return table;
}

constexpr auto kCrc8 = crcTable<std::uint8_t, 8>(0x07);
constexpr auto kCrc16 = crcTable<std::uint16_t, 16>(0x8005);
constexpr auto kCrc32 = crcTable<std::uint32_t, 32>(0x04C11DB7);

}  // namespace

std::uint8_t crc8(Bytes bytes)
{
    std::uint8_t crc = 0;
    for (const std::uint8_t b : bytes)
        crc = kCrc8[crc ^ b];
    return crc;
}

std::uint16_t crc16(Bytes bytes, std::uint16_t crc)
{
    for (const std::uint8_t b : bytes)
        crc = std::uint16_t((crc << 8) ^ kCrc16[(crc >> 8) ^ b]);
    return crc;
}

std::uint32_t crc32(Bytes bytes, std::uint32_t crc)
{
    for (const std::uint8_t b : bytes)
        crc = (crc << 8) ^ kCrc32[(crc >> 24) ^ b];
    return crc;
}

}  // namespace qpt::length
